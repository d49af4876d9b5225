#include "RequestKeys.h"

#include "DbError.h"
#include "Log.h"

#include <QCryptographicHash>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <limits>

namespace service {

namespace {

constexpr auto kRemovalInterval = std::chrono::hours(1);

// Steady clock time of the last removal, in seconds; none yet: the minimum.
std::atomic<std::int64_t> lastRemoval{std::numeric_limits<std::int64_t>::min()};

std::int64_t steadySeconds()
{
    return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// A value as text that tells every value of its type from every other.
QString valueText(const db::Value& value)
{
    switch (value.type()) {
    case db::Type::Null: return QStringLiteral("null");
    case db::Type::Double:
    case db::Type::Decimal: return QString::number(value.toDouble(), 'g', 17);
    case db::Type::Date: return value.toDateTime().date().toString(Qt::ISODate);
    case db::Type::Time: return value.toDateTime().time().toString(Qt::ISODateWithMs);
    case db::Type::Timestamp: return value.toDateTime().toString(Qt::ISODateWithMs);
    case db::Type::BinaryBlob: return QString::fromLatin1(value.toBytes().toBase64());
    default: return value.toString();
    }
}

}  // namespace

bool isValidRequestKey(const QString& key)
{
    return !key.isEmpty() && key.size() <= kMaxRequestKeyLength
           && std::all_of(key.begin(), key.end(), [](QChar c) { return c.unicode() > 0x20 && c.unicode() < 0x7f; });
}

QString paramsHash(const std::vector<db::Param>& params)
{
    std::vector<const db::Param*> byName;
    for (const db::Param& param : params)
        byName.push_back(&param);
    std::sort(byName.begin(), byName.end(), [](const db::Param* a, const db::Param* b) {
        return a->name().compare(b->name(), Qt::CaseInsensitive) < 0;
    });
    QCryptographicHash hash(QCryptographicHash::Sha256);
    for (const db::Param* param : byName) {
        // Unit and record separators cannot occur in names or type names.
        const QString entry = param->name().toUpper() + u'\x1f' + db::typeName(param->type()) + u'\x1f'
                              + db::typeName(param->value().type()) + u'\x1f' + valueText(param->value()) + u'\x1e';
        hash.addData(entry.toUtf8());
    }
    return QString::fromLatin1(hash.result().toHex());
}

RequestKeys::RequestKeys(db::Connection& connection)
    : connection_(connection),
      insert_(connection, QStringLiteral("INSERT INTO KELVO_REQUESTS (REQUEST_KEY, PROVIDER, PARAMS_HASH) "
                                         "VALUES (:REQUEST_KEY, :PROVIDER, :PARAMS_HASH)")),
      select_(connection, QStringLiteral("SELECT PROVIDER, PARAMS_HASH, ANSWER FROM KELVO_REQUESTS "
                                         "WHERE REQUEST_KEY = :REQUEST_KEY")),
      answer_(connection, QStringLiteral("UPDATE KELVO_REQUESTS SET ANSWER = :ANSWER WHERE REQUEST_KEY = :REQUEST_KEY")),
      expired_(connection, QStringLiteral("DELETE FROM KELVO_REQUESTS WHERE CREATED < CURRENT_TIMESTAMP - %1")
                               .arg(kRequestKeyDays))
{
}

RequestKeys::Claim RequestKeys::claim(const QString& key, const RequestFingerprint& request)
{
    insert_.param(u"REQUEST_KEY").setValue(key);
    insert_.param(u"PROVIDER").setValue(request.provider);
    insert_.param(u"PARAMS_HASH").setValue(request.paramsHash);
    try {
        insert_.execute();
        return {};
    } catch (const db::DbError& e) {
        if (e.unknownTable())
            return {Outcome::NoTable, {}, {}};
        if (!e.duplicateKey())
            throw;
    }
    // The first request with the key has committed: its row is there.
    select_.param(u"REQUEST_KEY").setValue(key);
    select_.open();
    if (select_.isEmpty() || select_.field(u"ANSWER").isNull())
        throw db::DbError(QStringLiteral("The request key '%1' has no kept answer").arg(key));
    Claim kept{Outcome::Kept,
               {select_.field(u"PROVIDER").asString(), select_.field(u"PARAMS_HASH").asString()},
               select_.field(u"ANSWER").asString().toUtf8()};
    select_.close();
    return kept;
}

void RequestKeys::keep(const QString& key, const QByteArray& answer)
{
    answer_.param(u"ANSWER").setValue(QString::fromUtf8(answer));
    answer_.param(u"REQUEST_KEY").setValue(key);
    answer_.execute();
}

void RequestKeys::removeExpired()
{
    try {
        if (const std::int64_t removed = expired_.execute())
            logging::info("request_keys.removed", {{"keys", static_cast<qint64>(removed)}, {"days", kRequestKeyDays}});
    } catch (const db::DbError& e) {
        if (!e.unknownTable())
            throw;
    }
}

void RequestKeys::removeExpiredNowAndThen()
{
    const std::int64_t now = steadySeconds();
    std::int64_t last = lastRemoval.load();
    const std::int64_t interval = std::chrono::duration_cast<std::chrono::seconds>(kRemovalInterval).count();
    if ((last != std::numeric_limits<std::int64_t>::min() && now - last < interval)
        || !lastRemoval.compare_exchange_strong(last, now))
        return;
    try {
        removeExpired();
    } catch (const db::DbError& e) {
        // The keys wait for the next time; the request goes on.
        if (e.connectionLost())
            throw;
        logging::warning("request_keys.removal_failed", {{"message", e.message()}});
    }
}

RequestKeysCheck checkRequestKeys(const db::ConnectionOptions& options)
{
    try {
        db::ConnectionOptions autoCommit = options;
        autoCommit.mode = db::TransactionMode::AutoCommit;
        db::Connection connection(autoCommit);
        db::Query table(connection, QStringLiteral("SELECT COUNT(*) FROM RDB$RELATIONS "
                                                   "WHERE RDB$RELATION_NAME = 'KELVO_REQUESTS'"));
        table.open();
        if (table.field(0).asInteger() == 0)
            return {false, QStringLiteral("the database has no table KELVO_REQUESTS (db/request-keys.sql adds it)")};
        table.close();
        RequestKeys(connection).removeExpired();
        lastRemoval = steadySeconds();
        return {true, QStringLiteral("requests that carry a request key are carried out once")};
    } catch (const db::DbError& e) {
        return {false, e.message()};
    }
}

}  // namespace service
