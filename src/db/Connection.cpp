#include "Connection.h"

#include "FbApi.h"
#include "Query.h"
#include "SqlText.h"

#include <ibase.h>

#include <QFile>

#include <dlfcn.h>
#include <link.h>

#include <algorithm>
#include <mutex>
#include <string>
#include <vector>

namespace db {

namespace fb {

Firebird::IMaster* master()
{
    static Firebird::IMaster* const instance = Firebird::fb_get_master_interface();
    return instance;
}

Firebird::IUtil* util()
{
    static Firebird::IUtil* const instance = master()->getUtilInterface();
    return instance;
}

DbError toDbError(const Firebird::FbException& e)
{
    Firebird::IStatus* status = e.getStatus();
    char text[4096];
    util()->formatStatus(text, sizeof text, status);
    std::vector<long> codes;
    // The vector holds clusters of (isc_arg_gds, code), (isc_arg_string, ...),
    // ending at isc_arg_end; collect the codes.
    for (const ISC_STATUS* v = status->getErrors(); *v != isc_arg_end;) {
        const ISC_STATUS kind = *v++;
        if (kind == isc_arg_gds)
            codes.push_back(static_cast<long>(*v));
        v += (kind == isc_arg_cstring) ? 2 : 1;
    }
    return DbError(QString::fromUtf8(text), std::move(codes));
}

}  // namespace fb

namespace {

QString codecNameFor(const ConnectionOptions& options)
{
    const QString charset = options.charset.toUpper();
    if (charset == QLatin1String("NONE"))
        return options.codePage;
    if (charset == QLatin1String("UTF8") || charset == QLatin1String("UNICODE_FSS"))
        return QStringLiteral("UTF-8");
    if (charset.startsWith(QLatin1String("WIN")))
        return QStringLiteral("windows-") + charset.mid(3);
    if (charset.startsWith(QLatin1String("ISO8859_")))
        return QStringLiteral("ISO-8859-") + charset.mid(8);
    return charset;
}

void addCommonDpb(fb::Status& st, Firebird::IXpbBuilder* dpb, const ConnectionOptions& options)
{
    dpb->insertString(&st, isc_dpb_user_name, options.user.toUtf8().constData());
    if (!options.password.isEmpty())
        dpb->insertString(&st, isc_dpb_password, options.password.toUtf8().constData());
    if (!options.role.isEmpty())
        dpb->insertString(&st, isc_dpb_sql_role_name, options.role.toUtf8().constData());
    dpb->insertString(&st, isc_dpb_lc_ctype, options.charset.toUtf8().constData());
}

std::vector<unsigned char> transactionParameters(TransactionMode mode)
{
    if (mode == TransactionMode::AutoCommit)
        return {isc_tpb_version3, isc_tpb_read_committed, isc_tpb_rec_version, isc_tpb_wait, isc_tpb_write,
                isc_tpb_autocommit};
    return {isc_tpb_version3, isc_tpb_concurrency, isc_tpb_wait, isc_tpb_write};
}

// A UnitOfWork's: the isolation of the auto-commit statements, committed
// only at its end.
const std::vector<unsigned char> kUnitOfWorkParameters{isc_tpb_version3, isc_tpb_read_committed, isc_tpb_rec_version,
                                                       isc_tpb_wait, isc_tpb_write};

void startTransaction(Connection::Impl& impl, const std::vector<unsigned char>& tpb)
{
    fb::Status st;
    impl.transaction.reset(fb::call([&] {
        return impl.attachment->startTransaction(&st, static_cast<unsigned>(tpb.size()), tpb.data());
    }));
}

}  // namespace

Firebird::ITransaction* Connection::Impl::activeTransaction(Connection& connection)
{
    connection.attach();
    if (!transaction)
        startTransaction(*this, transactionParameters(connection.options().mode));
    return transaction.get();
}

// --- Transaction ---

bool Transaction::isActive() const
{
    return static_cast<bool>(connection_.impl_->transaction);
}

void Transaction::start()
{
    connection_.impl_->activeTransaction(connection_);
}

void Transaction::commit()
{
    end(true);
}

void Transaction::rollback()
{
    end(false);
}

void Transaction::closeDatasets()
{
    auto datasets = std::move(connection_.impl_->datasets);
    connection_.impl_->datasets.clear();
    for (Query* q : datasets)
        q->close();
}

void Transaction::end(bool commit)
{
    auto& impl = *connection_.impl_;
    if (!impl.transaction)
        return;
    closeDatasets();
    fb::Status st;
    try {
        // A failed commit leaves the transaction for a rollback; a failed
        // rollback leaves nothing to do.
        if (commit)
            impl.transaction.endOrKeep([&](Firebird::ITransaction* t) { t->commit(&st); });
        else
            impl.transaction.end([&](Firebird::ITransaction* t) { t->rollback(&st); });
    } catch (const Firebird::FbException& e) {
        DbError error = fb::toDbError(e);
        // Nothing can be rolled back on a connection that is gone.
        if (error.connectionLost())
            impl.transaction.reset();
        impl.resumeAfterUnitOfWork();
        throw error;
    }
    impl.resumeAfterUnitOfWork();
}

// --- UnitOfWork ---

UnitOfWork::UnitOfWork(Connection& connection) : connection_(connection)
{
    auto& impl = *connection_.impl_;
    if (connection_.options().mode == TransactionMode::Explicit || impl.inUnitOfWork)
        throw DbError(QStringLiteral("A unit of work needs a connection whose statements commit one by one"));
    connection_.attach();
    impl.suspended = std::move(impl.transaction);
    try {
        startTransaction(impl, kUnitOfWorkParameters);
    } catch (const DbError&) {
        impl.transaction = std::move(impl.suspended);
        throw;
    }
    impl.inUnitOfWork = true;
}

UnitOfWork::~UnitOfWork()
{
    if (ended_ || !connection_.impl_->inUnitOfWork)
        return;
    try {
        connection_.transaction_.rollback();
    } catch (const DbError&) {
        // A rollback that fails leaves nothing behind to undo.
    }
}

void UnitOfWork::commit()
{
    connection_.transaction_.commit();
    ended_ = true;
}

// --- Connection ---

Connection::Connection(ConnectionOptions options)
    : options_(std::move(options)), impl_(std::make_unique<Impl>()), transaction_(*this)
{
    const QString codec = codecNameFor(options_);
    const auto flags = QStringConverter::Flag::Stateless;
    impl_->encoder = QStringEncoder(codec.toLatin1().constData(), flags);
    impl_->decoder = QStringDecoder(codec.toLatin1().constData(), flags);
    if (!impl_->encoder.isValid() || !impl_->decoder.isValid())
        throw DbError(QStringLiteral("Unknown code page or character set: %1").arg(codec));
    if (codec != QLatin1String("UTF-8"))
        impl_->eightBitCodePage = codec;
}

Connection::~Connection()
{
    detach();
}

bool Connection::isAttached() const
{
    return static_cast<bool>(impl_->attachment);
}

void Connection::attach()
{
    if (impl_->attachment)
        return;
    fb::Status st;
    fb::call([&] {
        fb::Owned<Firebird::IXpbBuilder> dpb(
            fb::util()->getXpbBuilder(&st, Firebird::IXpbBuilder::DPB, nullptr, 0));
        addCommonDpb(st, dpb.get(), options_);
        if (!impl_->provider)
            impl_->provider.reset(fb::master()->getDispatcher());
        impl_->attachment.reset(impl_->provider->attachDatabase(
            &st, options_.database.toUtf8().constData(), dpb->getBufferLength(&st), dpb->getBuffer(&st)));
    });
}

bool Connection::ping()
{
    if (!impl_->attachment)
        return false;
    fb::Status st;
    try {
        impl_->attachment->ping(&st);
        return true;
    } catch (const Firebird::FbException&) {
        return false;
    }
}

void Connection::detach()
{
    // A unit of work's transaction (rolled back), then the one it set aside.
    while (impl_->transaction) {
        try {
            transaction_.end(options_.mode == TransactionMode::AutoCommit && !impl_->inUnitOfWork);
        } catch (const DbError&) {
            // Released all the same.
            impl_->transaction.reset();
            impl_->resumeAfterUnitOfWork();
        }
    }
    transaction_.closeDatasets();
    if (impl_->attachment) {
        fb::Status st;
        try {
            impl_->attachment.end([&](Firebird::IAttachment* a) { a->detach(&st); });
        } catch (const Firebird::FbException&) {
            // Released all the same.
        }
        ++impl_->generation;
    }
    impl_->provider.reset();
}

QByteArray Connection::encode(const QString& text) const
{
    return impl_->encoder.encode(text);
}

QString Connection::decode(const char* bytes, qsizetype size) const
{
    return impl_->decoder.decode(QByteArrayView(bytes, size));
}

QString Connection::eightBitCodePage() const
{
    return impl_->eightBitCodePage;
}

void Connection::runScript(const QString& script)
{
    // Each statement runs on its own: later ones see the tables earlier ones made.
    for (const QString& statement : splitScript(script)) {
        Firebird::ITransaction* tra = impl_->activeTransaction(*this);
        const QByteArray sql = encode(statement);
        fb::Status st;
        fb::call([&] {
            impl_->attachment->execute(&st, tra, static_cast<unsigned>(sql.size()), sql.constData(), SQL_DIALECT_V6,
                                       nullptr, nullptr, nullptr, nullptr);
        });
        if (options_.mode == TransactionMode::Explicit)
            transaction_.commit();
    }
}

void Connection::runScriptFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw DbError(QStringLiteral("Cannot read script %1: %2").arg(path, file.errorString()));
    runScript(QString::fromUtf8(file.readAll()));
}

void Connection::createDatabase(const ConnectionOptions& options, const QStringList& scriptFiles)
{
    fb::Status st;
    fb::call([&] {
        fb::Owned<Firebird::IXpbBuilder> dpb(
            fb::util()->getXpbBuilder(&st, Firebird::IXpbBuilder::DPB, nullptr, 0));
        fb::Owned<Firebird::IProvider> provider(fb::master()->getDispatcher());
        addCommonDpb(st, dpb.get(), options);
        dpb->insertInt(&st, isc_dpb_page_size, 8192);
        dpb->insertInt(&st, isc_dpb_sql_dialect, 3);
        dpb->insertString(&st, isc_dpb_set_db_charset, "WIN1257");
        fb::Owned<Firebird::IAttachment> attachment(provider->createDatabase(
            &st, options.database.toUtf8().constData(), dpb->getBufferLength(&st), dpb->getBuffer(&st)));
        attachment.end([&](Firebird::IAttachment* a) { a->detach(&st); });
    });
    if (scriptFiles.isEmpty())
        return;
    ConnectionOptions scriptOptions = options;
    scriptOptions.mode = TransactionMode::AutoCommit;
    Connection connection(scriptOptions);
    for (const QString& file : scriptFiles)
        connection.runScriptFile(file);
}

void Connection::dropDatabase()
{
    attach();
    if (impl_->transaction)
        transaction_.end(false);
    fb::Status st;
    // A database that cannot be dropped (another attachment uses it) stays
    // attached.
    fb::call([&] { impl_->attachment.endOrKeep([&](Firebird::IAttachment* a) { a->dropDatabase(&st); }); });
    ++impl_->generation;
}

int heldClientObjects()
{
    return fb::heldObjects;
}

namespace {

// The shutdown unloads the embedded engine and the modules it loaded (trace,
// character sets) while a thread of the engine may still be on its way out,
// which then runs into code no longer mapped and crashes the process as it
// exits. The modules the client library loaded from its own folders stay
// mapped until the process ends.
void keepEngineModulesLoaded()
{
    std::vector<std::string> modules;
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void* found) {
            const std::string path = info->dlpi_name;
            if (path.find("/firebird/") != std::string::npos)
                static_cast<std::vector<std::string>*>(found)->push_back(path);
            return 0;
        },
        &modules);
    // Not inside the walk, which holds the loader's lock.
    for (const std::string& module : modules)
        dlopen(module.c_str(), RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
}

}  // namespace

void shutdownClient()
{
    keepEngineModulesLoaded();
    fb::Owned<Firebird::IProvider> provider(fb::master()->getDispatcher());
    fb::Status st;
    try {
        provider->shutdown(&st, 0, fb_shutrsn_app_stopped);
    } catch (const Firebird::FbException&) {
        // Nothing is left to do at exit.
    }
}

void leaveTerminationSignalsToTheProcess()
{
    static std::once_flag registered;
    std::call_once(registered, [] {
        ISC_STATUS_ARRAY status;
        // A non-zero answer to the confirmation call cancels the shutdown.
        fb_shutdown_callback(
            status, [](const int reason, const int, void*) { return reason == fb_shutrsn_signal ? 1 : 0; },
            fb_shut_confirmation, nullptr);
    });
}

}  // namespace db
