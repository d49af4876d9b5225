#include "KelvoServerMethodsUnit.h"

#include "DbError.h"
#include "Log.h"
#include "OperatorValues.h"
#include "ScanThreads.h"
#include "SharedRuns.h"
#include "SpareConnections.h"
#include "WaybillCounter.h"

#include <QStringList>

#include <algorithm>

namespace service {

namespace {

QString clauses(const QStringList& parts)
{
    return parts.join(QLatin1Char(' '));
}

QString quotedDate(const QDate& date)
{
    // The form the database reads as day, month, year, whatever the
    // machine's locale; written by hand, as every request builds two and
    // QDate::toString goes through the calendar and locale machinery.
    return QString::asprintf("'%02d.%02d.%04d'", date.day(), date.month(), date.year());
}

QString dateRange(const operator_state::OperatorSnapshot& operatorValues)
{
    return QStringLiteral("AND O_PASPAV.DATUMS BETWEEN ") + quotedDate(operatorValues.dateFrom)
           + QStringLiteral(" AND ") + quotedDate(operatorValues.dateTo);
}

QString notHiddenDepartment(const operator_state::OperatorSnapshot& operatorValues)
{
    return QStringLiteral("AND O_PASPAV.ISNODALA != ") + QString::number(operatorValues.hiddenDepartment);
}

db::Param& requiredParam(db::Query& dataSet, QStringView name)
{
    if (db::Param* param = dataSet.findParam(name))
        return *param;
    throw InvalidParams(QStringLiteral("Parameter '%1' missing").arg(name));
}

std::int32_t integerParam(db::Query& dataSet, QStringView name)
{
    const db::Param& param = requiredParam(dataSet, name);
    try {
        return param.value().toInt();
    } catch (const std::invalid_argument& e) {
        throw InvalidParams(QStringLiteral("Parameter '%1': %2").arg(name, QString::fromUtf8(e.what())));
    }
}

void setParam(db::Query& dataSet, QStringView name, db::Type type, db::Value value)
{
    db::Param& param = requiredParam(dataSet, name);
    param.setType(type);
    param.setValue(std::move(value));
}

std::vector<db::Param> designedParams(const ProviderEntry& entry)
{
    std::vector<db::Param> params;
    for (const DeclaredParam& p : entry.params) {
        params.emplace_back(p.name);
        if (p.type)
            params.back().setType(*p.type);
    }
    return params;
}

// The statement runs only with every parameter it names.
void checkStatementParams(db::Query& dataSet)
{
    for (const QString& name : dataSet.sqlParameterNames())
        requiredParam(dataSet, name);
}

}  // namespace

namespace {

std::unique_ptr<db::Connection> sessionConnection(const ServiceContext& context)
{
    if (context.spareConnections)
        return context.spareConnections->take();
    db::ConnectionOptions options = context.employeeConnection;
    options.mode = db::TransactionMode::AutoCommit;
    auto connection = std::make_unique<db::Connection>(options);
    connection->attach();
    return connection;
}

}  // namespace

TKelvoServerMethods_EMPLOYEE::TKelvoServerMethods_EMPLOYEE(const ServiceContext& context)
    : context_(context), connection_(sessionConnection(context))
{
    for (const ProviderEntry& entry : providerCatalogue()) {
        auto dataSet = std::make_unique<db::Query>(*connection_, entry.statement);
        dataSet->setParams(designedParams(entry));
        for (const PersistentField& field : entry.fields) {
            if (field.calculated)
                dataSet->addCalculatedField(field.name, field.type, field.size);
        }
        if (entry.calcFields)
            dataSet->setOnCalcFields([this, handler = entry.calcFields](db::Query& q) { (this->*handler)(q); });
        providers_.push_back({&entry, std::move(dataSet)});
    }
    requestKeys_ = std::make_unique<RequestKeys>(*connection_);
}

TKelvoServerMethods_EMPLOYEE::~TKelvoServerMethods_EMPLOYEE()
{
    // The statements go before their connection.
    providers_.clear();
    requestKeys_.reset();
    if (context_.spareConnections)
        context_.spareConnections->giveBack(std::move(connection_));
    else
        connection_->detach();
}

QString TKelvoServerMethods_EMPLOYEE::EchoString(const QString& value) const
{
    return value;
}

QString TKelvoServerMethods_EMPLOYEE::ReverseString(const QString& value) const
{
    QString reversed = value;
    std::reverse(reversed.begin(), reversed.end());
    return reversed;
}

// A lost connection fails the request in flight; detaching now lets the next
// request attach anew.
template <typename Run>
auto TKelvoServerMethods_EMPLOYEE::guarded(Run&& run)
{
    try {
        return run();
    } catch (const db::DbError& e) {
        if (e.connectionLost())
            connection_->detach();
        throw;
    }
}

template <typename Take>
auto TKelvoServerMethods_EMPLOYEE::openPrepared(Provider& provider, Take&& take)
{
    db::Query& dataSet = *provider.dataSet;
    dataSet.open();
    if (provider.entry->afterOpen)
        (this->*provider.entry->afterOpen)(dataSet);
    auto result = take(answerRows(provider));
    dataSet.close();
    return result;
}

Rows TKelvoServerMethods_EMPLOYEE::open(QStringView providerName, std::vector<db::Param> params)
{
    Provider& p = provider(providerName, ProviderUse::Open);
    return guarded([&] {
        takeParams(p, std::move(params));
        runHandler(p);
        return openPrepared(p, [](const RowsSource& source) {
            Rows rows{source.columns, {}};
            rows.rows.reserve(source.rowCount);
            source.forEachRow([&](const std::vector<db::Value>& row) { rows.rows.push_back(row); });
            return rows;
        });
    });
}

QByteArray TKelvoServerMethods_EMPLOYEE::openText(QStringView providerName, std::vector<db::Param> params,
                                                  const RowsText& answerText)
{
    Provider& p = provider(providerName, ProviderUse::Open);
    takeParams(p, std::move(params));
    const db::Query& dataSet = runHandler(p);
    if (!p.entry->scansWholeRange)
        return guarded([&] { return openPrepared(p, answerText); });
    // Only the session whose run it is sees its failure as its own.
    const auto run = [&] { return guarded([&] { return runOnScanThread([&] { return openPrepared(p, answerText); }); }); };
    if (!context_.sharedRuns)
        return run();
    const QString key = p.entry->providerName() + QLatin1Char('\n') + dataSet.sql() + QLatin1Char('\n')
                        + paramsHash(dataSet.params());
    return context_.sharedRuns->answer(key, run);
}

namespace {

constexpr int kRunsOnConcurrentUpdates = 5;

Executed runStatement(db::Query& statement)
{
    Executed executed{statement.execute(), {}};
    for (int i = 0; i < static_cast<int>(statement.columns().size()); ++i)
        executed.returned.emplace_back(statement.columns()[static_cast<size_t>(i)].name, statement.value(i));
    statement.close();
    return executed;
}

// A statement that waited on another connection's update of the same row
// fails when that one commits. In auto-commit mode the failed statement has
// left nothing behind, so it runs again and changes the row as committed, as
// it would have had the two come one after the other. Its handler is not run
// again: a waybill keeps the number it was given.
Executed executeAfterConcurrentUpdates(db::Query& statement)
{
    for (int run = 1;; ++run) {
        try {
            return runStatement(statement);
        } catch (const db::DbError& e) {
            if (!e.updateConflict() || run == kRunsOnConcurrentUpdates)
                throw;
        }
    }
}

}  // namespace

Executed TKelvoServerMethods_EMPLOYEE::execute(QStringView providerName, std::vector<db::Param> params)
{
    Provider& p = provider(providerName, ProviderUse::Execute);
    return guarded([&] {
        takeParams(p, std::move(params));
        return executeAfterConcurrentUpdates(runHandler(p));
    });
}

// A conflict with another connection's update fails the whole unit of work
// of a keyed execute, so the whole unit runs again, as in auto-commit mode
// the statement alone would; the handler still runs only once.
QByteArray TKelvoServerMethods_EMPLOYEE::executeOnce(const QString& requestKey, QStringView providerName,
                                                     std::vector<db::Param> params, const AnswerText& answerText)
{
    Provider& p = provider(providerName, ProviderUse::Execute);
    return guarded([&]() -> QByteArray {
        takeParams(p, std::move(params));
        const RequestFingerprint request{p.entry->providerName(), paramsHash(p.dataSet->params())};
        requestKeys_->removeExpiredNowAndThen();
        bool handled = false;
        for (int run = 1;; ++run) {
            try {
                return runKeyed(p, requestKey, request, handled, answerText);
            } catch (const db::DbError& e) {
                if (!e.updateConflict() || run == kRunsOnConcurrentUpdates)
                    throw;
            }
        }
    });
}

// The key's row, the handler's statement and the kept answer in one unit of
// work; a kept answer instead when the key was answered before.
QByteArray TKelvoServerMethods_EMPLOYEE::runKeyed(Provider& provider, const QString& requestKey,
                                                  const RequestFingerprint& request, bool& handled,
                                                  const AnswerText& answerText)
{
    db::UnitOfWork unit(*connection_);
    const RequestKeys::Claim claim = requestKeys_->claim(requestKey, request);
    switch (claim.outcome) {
    case RequestKeys::Outcome::NoTable:
        unit.commit();  // nothing was done in it
        return answerText(executeUnkept(provider, requestKey, handled));
    case RequestKeys::Outcome::Kept:
        if (claim.kept.provider != request.provider || claim.kept.paramsHash != request.paramsHash)
            throw InvalidParams(QStringLiteral("The request key '%1' was used for %2 with other parameters; "
                                               "a new request needs a key of its own")
                                    .arg(requestKey, claim.kept.provider));
        logging::info("request.repeated", {{"key", requestKey}, {"provider", request.provider}});
        return claim.answer;
    case RequestKeys::Outcome::Claimed:
        break;
    }
    db::Query& statement = handled ? *provider.dataSet : runHandler(provider);
    handled = true;
    const QByteArray answer = answerText(runStatement(statement));
    requestKeys_->keep(requestKey, answer);
    unit.commit();
    return answer;
}

Executed TKelvoServerMethods_EMPLOYEE::executeUnkept(Provider& provider, const QString& requestKey, bool handled)
{
    if (!toldKeysMissing_)
        logging::warning("request_keys.missing", {{"key", requestKey},
                                                  {"provider", provider.entry->providerName()},
                                                  {"detail", QStringLiteral("the database has no table KELVO_REQUESTS: "
                                                                            "the request runs, a resent one again")}});
    toldKeysMissing_ = true;
    return executeAfterConcurrentUpdates(handled ? *provider.dataSet : runHandler(provider));
}

const db::Query& TKelvoServerMethods_EMPLOYEE::dataSet(QStringView suffix) const
{
    for (const Provider& p : providers_) {
        if (p.entry->suffix == suffix)
            return *p.dataSet;
    }
    throw std::out_of_range("no dataset SQLDataSet_" + suffix.toString().toStdString());
}

TKelvoServerMethods_EMPLOYEE::Provider& TKelvoServerMethods_EMPLOYEE::provider(QStringView providerName,
                                                                               ProviderUse use)
{
    const auto p = std::find_if(providers_.begin(), providers_.end(),
                                [&](const Provider& candidate) { return candidate.entry->providerName() == providerName; });
    if (p == providers_.end())
        throw InvalidParams(QStringLiteral("Unknown provider '%1'").arg(providerName));
    if (p->entry->use != use)
        throw InvalidParams(QStringLiteral("Provider '%1' is used with %2")
                                .arg(providerName, p->entry->use == ProviderUse::Open ? u"open" : u"execute"));
    return *p;
}

db::Query& TKelvoServerMethods_EMPLOYEE::takeParams(Provider& provider, std::vector<db::Param> params)
{
    db::Query& dataSet = *provider.dataSet;
    if (!params.empty())
        dataSet.setParams(std::move(params));
    return dataSet;
}

db::Query& TKelvoServerMethods_EMPLOYEE::runHandler(Provider& provider)
{
    db::Query& dataSet = *provider.dataSet;
    if (provider.entry->prepare)
        (this->*provider.entry->prepare)(dataSet, context_.operatorValues->snapshot());
    checkStatementParams(dataSet);
    return dataSet;
}

RowsSource TKelvoServerMethods_EMPLOYEE::answerRows(Provider& provider)
{
    db::Query& dataSet = *provider.dataSet;
    RowsSource result;
    std::vector<int> sources;  // the dataset column of each answer column
    if (provider.entry->fields.empty()) {
        result.columns = dataSet.columns();
        for (int i = 0; i < static_cast<int>(result.columns.size()); ++i)
            sources.push_back(i);
    } else {
        for (const PersistentField& field : provider.entry->fields) {
            db::Column column;
            column.name = field.name;
            column.type = field.type;
            column.size = field.size;
            column.nullable = !field.required;
            column.calculated = field.calculated;
            result.columns.push_back(column);
            const int source = dataSet.fieldIndex(field.name);
            if (source < 0)
                throw db::DbError(QStringLiteral("Field '%1' not found").arg(field.name));
            sources.push_back(source);
        }
    }
    std::vector<db::Type> types;
    for (const db::Column& column : result.columns)
        types.push_back(column.type);
    result.rowCount = static_cast<std::size_t>(dataSet.recordCount());
    result.forEachRow = [&dataSet, sources, types](const RowSink& sink) {
        // One row's values, refilled for each row.
        std::vector<db::Value> row(sources.size());
        for (dataSet.first(); !dataSet.eof(); dataSet.next()) {
            for (std::size_t i = 0; i < sources.size(); ++i)
                row[i] = dataSet.value(sources[i]).convertedTo(types[i]);
            sink(row);
        }
    };
    return result;
}

// --- Handlers ---

void TKelvoServerMethods_EMPLOYEE::SQLDataSet_EMPLOYEEBeforeOpen(db::Query& dataSet,
                                                                 const operator_state::OperatorSnapshot& operatorValues)
{
    const std::int32_t goods = integerParam(dataSet, u"ISPRECE");
    // A null group stays null, so that it matches no department.
    const db::Value& sentGroup = requiredParam(dataSet, u"GRUPA").value();
    const db::Value group = sentGroup.isNull() ? db::Value() : db::Value(sentGroup.toString());
    dataSet.setSql(clauses({
        QStringLiteral("SELECT N_DEPART.KARTIBA, N_DEPART.GNOS NODALAUZ, O_PASPRC.ISN, O_PASPRC.DAUDZUMS, "
                       "O_PASPRC.APSTIPRIN_DAUDZ, O_PASPRC.ATKR_DAUDZ, O_PASPRC.ISPRECE, O_PASPRC.CENA, "
                       "O_PASPRC.NODOKLIS, O_PASPRC.ISSERTIF, O_PASPRC.ISPASPAV, O_PASPAV.ISNODALA, "
                       "O_PASPAV.ISNODALAUZ"),
        QStringLiteral("FROM O_PASPRC, O_PASPAV, N_DEPART"),
        QStringLiteral("WHERE O_PASPAV.ISN = O_PASPRC.ISPASPAV"),
        QStringLiteral("AND O_PASPAV.ISNODALA = N_DEPART.ISN"),
        QStringLiteral("AND O_PASPAV.PIEGADPIRCEJS = 1"),
        notHiddenDepartment(operatorValues),
        QStringLiteral("AND O_PASPRC.ISPRECE = :ISPRECE"),
        QStringLiteral("AND N_DEPART.ISN IN (SELECT ISN FROM N_DEPART WHERE GRUPA LIKE '%|' || :GRUPA || '|%')"),
        dateRange(operatorValues),
        QStringLiteral("AND O_PASPRC.ATKR_DAUDZ<O_PASPRC.APSTIPRIN_DAUDZ"),
        QStringLiteral("AND (O_PASPRC.ISPASPRC_SAIST IS NULL OR O_PASPRC.ISPASPRC_SAIST=0)"),
        QStringLiteral("ORDER BY N_DEPART.KARTIBA, N_DEPART.GNOS, O_PASPAV.DATUMS"),
    }));
    setParam(dataSet, u"ISPRECE", db::Type::Integer, goods);
    setParam(dataSet, u"GRUPA", db::Type::Text, group);
}

void TKelvoServerMethods_EMPLOYEE::SQLDataSet_PRECEBeforeOpen(db::Query& dataSet,
                                                              const operator_state::OperatorSnapshot& operatorValues)
{
    dataSet.setSql(clauses({
        QStringLiteral("SELECT DISTINCT N_KLPREC.GNOS PRECE, N_KLPREC.ARTIKULS, N_KLPREC.ARTIKULS2, O_PASPRC.ISPRECE, "
                       "N_KLIENT.GNOS KLIENTS, N_KLPREC.ISPRKLIENT, N_KLPREC.SKKASTE, "
                       "COALESCE(N_KLPREC.ALKOHOLS, 0) ALKOHOLS"),
        QStringLiteral("FROM O_PASPRC, O_PASPAV, N_KLPREC, N_KLIENT"),
        QStringLiteral("WHERE O_PASPAV.ISN = O_PASPRC.ISPASPAV"),
        QStringLiteral("AND O_PASPRC.ISPRECE = N_KLPREC.ISN"),
        QStringLiteral("AND N_KLPREC.ISPRKLIENT = N_KLIENT.ISN"),
        QStringLiteral("AND O_PASPAV.PIEGADPIRCEJS = 1"),
        notHiddenDepartment(operatorValues),
        QStringLiteral("AND O_PASPRC.ATKR_DAUDZ<O_PASPRC.APSTIPRIN_DAUDZ"),
        QStringLiteral("AND (O_PASPRC.ISPASPRC_SAIST IS NULL OR O_PASPRC.ISPASPRC_SAIST=0)"),
        dateRange(operatorValues),
        QStringLiteral("ORDER BY N_KLPREC.GNOS"),
    }));
}

void TKelvoServerMethods_EMPLOYEE::SQLDataSet_PRECECalcFields(db::Query& dataSet)
{
    // The field cuts the text at its size of 200.
    dataSet.setCalculated(u"ART_PRECE", dataSet.field(u"ARTIKULS").asString() + QStringLiteral("\r\n")
                                            + dataSet.field(u"PRECE").asString());
}

void TKelvoServerMethods_EMPLOYEE::SQLDataSet_O_PARPAVBeforeOpen(db::Query& dataSet,
                                                                 const operator_state::OperatorSnapshot& operatorValues)
{
    setParam(dataSet, u"ISNODALANO", db::Type::Integer, operatorValues.sendingDepartment);
}

void TKelvoServerMethods_EMPLOYEE::DataSetProvider_O_PARPAVinsBeforeExecute(db::Query& dataSet,
                                                                            const operator_state::OperatorSnapshot& operatorValues)
{
    // The number is given first (a list without NR_PAVADZ fails before the
    // counter moves), the sending department last.
    db::Param& number = requiredParam(dataSet, u"NR_PAVADZ");
    number.setType(db::Type::Text);
    number.setValue(waybillNumberText(
        issueWaybillNumber(*context_.settingsStore, [this] { return newestWaybillNumber(*connection_); })));
    setParam(dataSet, u"ISNODALANO", db::Type::Integer, operatorValues.sendingDepartment);
}

void TKelvoServerMethods_EMPLOYEE::SQLDataSet_drukatAfterOpen(db::Query& dataSet)
{
    if (!context_.printWaybill)
        return;
    // On an empty result both read as 0.
    try {
        context_.printWaybill(dataSet.field(u"ISN").asInteger(), dataSet.field(u"SKAITS").asInteger());
    } catch (const db::DbError&) {
        throw;
    } catch (const std::exception& e) {
        throw PrintError(e.what());
    }
}

}  // namespace service
