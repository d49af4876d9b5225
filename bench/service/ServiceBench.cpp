// kelvo-bench-service: what the server adds to a request. For four
// providers, the time of a request over TCP through kelvo-server against the
// same statement run straight through the db layer, on the same warehouse,
// with the same parameters, and against what a handheld would do without
// kelvo-server: the statement, prepared once, sent by a Firebird client to a
// Firebird server over loopback (--remote). They are taken in turn so that
// whatever else the machine does weighs on all alike.
//
// The server holds its own copy of the warehouse (an embedded database file
// is held by one process); the bench reads the original in-process. Both
// copies are the same rows and both are warmed up before anything is timed.

#include "BenchCommandLine.h"
#include "BenchMain.h"
#include "BenchOutput.h"
#include "BenchServer.h"
#include "Connection.h"
#include "DbError.h"
#include "Percentiles.h"
#include "Query.h"
#include "RpcLineClient.h"
#include "WarehouseFacts.h"

#include <QElapsedTimer>

#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <vector>

namespace {

using bench::RpcLineClient;
using bench::Samples;

// The date as the server writes it into the statements it builds.
QString statementDate(const QDate& date)
{
    return date.toString(QStringLiteral("dd.MM.yyyy"));
}

// The statement the server builds for the goods list, for these settings.
QString goodsListSql(const bench::WarehouseFacts& f)
{
    return QStringLiteral(
               "SELECT DISTINCT N_KLPREC.GNOS PRECE, N_KLPREC.ARTIKULS, N_KLPREC.ARTIKULS2, O_PASPRC.ISPRECE, "
               "N_KLIENT.GNOS KLIENTS, N_KLPREC.ISPRKLIENT, N_KLPREC.SKKASTE, COALESCE(N_KLPREC.ALKOHOLS, 0) ALKOHOLS "
               "FROM O_PASPRC, O_PASPAV, N_KLPREC, N_KLIENT "
               "WHERE O_PASPAV.ISN = O_PASPRC.ISPASPAV AND O_PASPRC.ISPRECE = N_KLPREC.ISN "
               "AND N_KLPREC.ISPRKLIENT = N_KLIENT.ISN AND O_PASPAV.PIEGADPIRCEJS = 1 AND O_PASPAV.ISNODALA != %1 "
               "AND O_PASPRC.ATKR_DAUDZ<O_PASPRC.APSTIPRIN_DAUDZ "
               "AND (O_PASPRC.ISPASPRC_SAIST IS NULL OR O_PASPRC.ISPASPRC_SAIST=0) "
               "AND O_PASPAV.DATUMS BETWEEN '%2' AND '%3' ORDER BY N_KLPREC.GNOS")
        .arg(f.hiddenDepartment)
        .arg(statementDate(f.firstWorkingDay), statementDate(f.lastDay));
}

// The statement the server builds for the pending lines of an item.
QString pendingLinesSql(const bench::WarehouseFacts& f)
{
    return QStringLiteral(
               "SELECT N_DEPART.KARTIBA, N_DEPART.GNOS NODALAUZ, O_PASPRC.ISN, O_PASPRC.DAUDZUMS, "
               "O_PASPRC.APSTIPRIN_DAUDZ, O_PASPRC.ATKR_DAUDZ, O_PASPRC.ISPRECE, O_PASPRC.CENA, O_PASPRC.NODOKLIS, "
               "O_PASPRC.ISSERTIF, O_PASPRC.ISPASPAV, O_PASPAV.ISNODALA, O_PASPAV.ISNODALAUZ "
               "FROM O_PASPRC, O_PASPAV, N_DEPART "
               "WHERE O_PASPAV.ISN = O_PASPRC.ISPASPAV AND O_PASPAV.ISNODALA = N_DEPART.ISN "
               "AND O_PASPAV.PIEGADPIRCEJS = 1 AND O_PASPAV.ISNODALA != %1 AND O_PASPRC.ISPRECE = :ISPRECE "
               "AND N_DEPART.ISN IN (SELECT ISN FROM N_DEPART WHERE GRUPA LIKE '%|' || :GRUPA || '|%') "
               "AND O_PASPAV.DATUMS BETWEEN '%2' AND '%3' AND O_PASPRC.ATKR_DAUDZ<O_PASPRC.APSTIPRIN_DAUDZ "
               "AND (O_PASPRC.ISPASPRC_SAIST IS NULL OR O_PASPRC.ISPASPRC_SAIST=0) "
               "ORDER BY N_DEPART.KARTIBA, N_DEPART.GNOS, O_PASPAV.DATUMS")
        .arg(f.hiddenDepartment)
        .arg(statementDate(f.firstWorkingDay), statementDate(f.lastDay));
}

const QString kOpenWaybillsSql = QStringLiteral(
    "SELECT ISN, ISMASINA, (SELECT COUNT(*) FROM O_PARPRC, N_KLPREC WHERE O_PARPRC.ISPRECE = N_KLPREC.ISN "
    "AND N_KLPREC.ALKOHOLS > 0 AND O_PARPRC.ISPARVPAV = O_PARPAV.ISN) SKAITS_ALKO, "
    "(SELECT COUNT(*) FROM O_PARPRC WHERE O_PARPRC.ISPARVPAV = O_PARPAV.ISN) SKAITS_KOPA "
    "FROM O_PARPAV WHERE O_PARPAV.DATUMS = :DATUMS AND O_PARPAV.ISNODALANO = :ISNODALANO "
    "AND O_PARPAV.ISNODALAUZ = :ISNODALAUZ AND (O_PARPAV.PZ_BLOK = '' OR O_PARPAV.PZ_BLOK IS NULL) "
    "AND O_PARPAV.PZ_SERIJA = 'PL'");

const QString kGeneratorSql = QStringLiteral("SELECT GEN_ID(O_PARPRCGEN,0) ISN FROM N_ISI");

// One request as both sides send it: the typed list the client sends and
// the values the server ends up binding.
struct Request {
    QJsonArray clientParams;
    std::vector<std::pair<QString, db::Value>> boundParams;
};

struct ProviderCase {
    QString provider;
    QString sql;
    std::vector<Request> requests;  // taken in turn
    int samples;
    // What the server's median may be beside the direct one's: within
    // `limit` times it, at most `limit` ms more, or at most the median of an
    // empty round trip (EchoString) and `limit` ms more.
    enum class Target { Ratio, AddedMs, AddedOverEcho } target;
    double limit;
};

std::vector<Request> pendingLinesRequests(db::Connection& c, const bench::WarehouseFacts& f)
{
    // Items with pending lines and a group of a department they are pending in.
    db::Query q(c, QStringLiteral("SELECT O_PASPRC.ISPRECE, N_DEPART.GRUPA FROM O_PASPRC, O_PASPAV, N_DEPART "
                                  "WHERE O_PASPAV.ISNODALA = N_DEPART.ISN AND ")
                       + bench::pendingLinesOfWorkingRange() + QStringLiteral(" ORDER BY O_PASPRC.ISN"));
    bench::bindWorkingRange(q, f);
    q.open();
    std::vector<Request> requests;
    const int step = std::max(1, q.recordCount() / 200);
    for (int i = 0; i < q.recordCount(); i += step) {
        while (q.recNo() < i)
            q.next();
        const std::int32_t item = q.field(u"ISPRECE").asInteger();
        const QString group = q.field(u"GRUPA").asString().split(QLatin1Char('|'), Qt::SkipEmptyParts).value(0);
        requests.push_back({QJsonArray{RpcLineClient::param(QStringLiteral("ISPRECE"), QStringLiteral("integer"), item),
                                       RpcLineClient::param(QStringLiteral("GRUPA"), QStringLiteral("text"), group)},
                            {{QStringLiteral("ISPRECE"), item}, {QStringLiteral("GRUPA"), group}}});
    }
    return requests;
}

std::vector<Request> openWaybillsRequests(db::Connection& c, const bench::WarehouseFacts& f)
{
    // The days and receiving departments that have open waybills.
    db::Query q(c, QStringLiteral("SELECT DISTINCT DATUMS, ISNODALAUZ FROM O_PARPAV WHERE DATUMS >= :SINCE "
                                  "AND ISNODALANO = :SENDER AND PZ_SERIJA = 'PL' AND PZ_BLOK IS NULL"));
    q.param(u"SINCE").setValue(f.lastDay.addDays(-1));
    q.param(u"SENDER").setValue(f.sendingDepartment);
    q.open();
    std::vector<Request> requests;
    for (; !q.eof(); q.next()) {
        const QDate date = q.field(u"DATUMS").value().toDateTime().date();
        const std::int32_t receiver = q.field(u"ISNODALAUZ").asInteger();
        requests.push_back(
            {QJsonArray{RpcLineClient::param(QStringLiteral("DATUMS"), QStringLiteral("date"), date.toString(Qt::ISODate)),
                        RpcLineClient::param(QStringLiteral("ISNODALANO"), QStringLiteral("integer"), 0),
                        RpcLineClient::param(QStringLiteral("ISNODALAUZ"), QStringLiteral("integer"), receiver)},
             {{QStringLiteral("DATUMS"), date},
              {QStringLiteral("ISNODALANO"), f.sendingDepartment},
              {QStringLiteral("ISNODALAUZ"), receiver}}});
    }
    return requests;
}

// The same statement, prepared once, opened with the request's values.
class DirectRun {
public:
    DirectRun(db::Connection& c, const QString& sql) : query_(c, sql) {}
    int open(const Request& r)
    {
        for (const auto& [name, value] : r.boundParams)
            query_.param(name).setValue(value);
        query_.open();
        const int rows = query_.recordCount();
        query_.close();
        return rows;
    }

private:
    db::Query query_;
};

double timed(const std::function<void()>& f)
{
    QElapsedTimer timer;
    timer.start();
    f();
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

struct Measured {
    Samples direct;
    Samples directUnprepared;  // prepared anew each time, as a rebuilt statement is
    Samples remote;            // prepared once, through a Firebird server
    Samples server;
    int rows = 0;
    qsizetype responseBytes = 0;
    QString failure;
};

Measured measure(db::Connection& c, db::Connection* remoteConnection, RpcLineClient& client, const ProviderCase& pc)
{
    Measured m;
    DirectRun direct(c, pc.sql);
    std::optional<DirectRun> remote;
    if (remoteConnection)
        remote.emplace(*remoteConnection, pc.sql);
    const int warmUp = std::max(3, pc.samples / 20);
    for (int i = 0; i < warmUp + pc.samples && m.failure.isEmpty(); ++i) {
        const Request& r = pc.requests[static_cast<size_t>(i) % pc.requests.size()];
        int directRows = 0;
        const double directMs = timed([&] { directRows = direct.open(r); });
        const double unpreparedMs = timed([&] { DirectRun(c, pc.sql).open(r); });
        int remoteRows = directRows;
        const double remoteMs = remote ? timed([&] { remoteRows = remote->open(r); }) : 0;
        const bench::Reply reply = client.open(pc.provider, r.clientParams.isEmpty() ? QJsonValue() : QJsonValue(r.clientParams));
        if (!reply.ok()) {
            m.failure = QStringLiteral("%1: %2").arg(reply.errorCode).arg(reply.errorMessage);
        } else if (const int serverRows = static_cast<int>(reply.rows().size()); serverRows != directRows) {
            m.failure = QStringLiteral("the server returned %1 rows, the statement %2").arg(serverRows).arg(directRows);
        } else if (remoteRows != directRows) {
            m.failure = QStringLiteral("the Firebird server returned %1 rows, the statement %2").arg(remoteRows).arg(directRows);
        }
        if (i < warmUp)
            continue;
        m.direct.add(directMs);
        m.directUnprepared.add(unpreparedMs);
        if (remote)
            m.remote.add(remoteMs);
        m.server.add(reply.milliseconds);
        m.rows = std::max(m.rows, directRows);
    }
    return m;
}

bool report(const ProviderCase& pc, const Measured& m, double echoMedian)
{
    const QString name = QStringLiteral("service.") + pc.provider.mid(QStringLiteral("DataSetProvider_").size());
    auto figure = [&](const char* what, double value, const char* unit, int decimals = 3) {
        bench::printFigure(name + QLatin1Char('.') + QLatin1String(what), value, unit, decimals);
    };
    if (!m.failure.isEmpty())
        bench::note("%s: %s", qPrintable(pc.provider), qPrintable(m.failure));
    figure("rows", m.rows, "rows", 0);
    figure("direct_median", m.direct.median(), "ms");
    figure("direct_p99", m.direct.p99(), "ms");
    figure("direct_unprepared_median", m.directUnprepared.median(), "ms");
    if (m.remote.count() > 0) {
        figure("remote_median", m.remote.median(), "ms");
        figure("remote_p99", m.remote.p99(), "ms");
    }
    figure("server_median", m.server.median(), "ms");
    figure("server_p99", m.server.p99(), "ms");
    const double ratio = m.server.median() / m.direct.median();
    const double added = m.server.median() - m.direct.median();
    figure("ratio", ratio, "x");
    figure("added", added, "ms");
    const bool ran = m.failure.isEmpty();
    bool met = bench::printTarget(QStringLiteral("%1.server_median <= %1.remote_median").arg(name),
                                  ran && m.remote.count() > 0 && m.server.median() <= m.remote.median());
    switch (pc.target) {
    case ProviderCase::Target::Ratio:
        met &= bench::printTarget(QStringLiteral("%1.ratio <= %2").arg(name).arg(pc.limit), ran && ratio <= pc.limit);
        break;
    case ProviderCase::Target::AddedMs:
        met &= bench::printTarget(QStringLiteral("%1.added <= %2 ms").arg(name).arg(pc.limit), ran && added <= pc.limit);
        break;
    case ProviderCase::Target::AddedOverEcho:
        met &= bench::printTarget(QStringLiteral("%1.added <= service.EchoString.server_median + %2 ms").arg(name).arg(pc.limit),
                                  ran && added <= echoMedian + pc.limit);
        break;
    }
    return met;
}

// The protocol alone: a server method that touches no database.
double reportEcho(RpcLineClient& client)
{
    Samples echo;
    for (int i = 0; i < 2100; ++i) {
        const bench::Reply reply = client.call(QStringLiteral("EchoString"), QJsonArray{QStringLiteral("kelvo")});
        if (i >= 100 && reply.ok())
            echo.add(reply.milliseconds);
    }
    bench::printFigure(QStringLiteral("service.EchoString.server_median"), echo.median(), "ms", 3);
    bench::printFigure(QStringLiteral("service.EchoString.server_p99"), echo.p99(), "ms", 3);
    return echo.median();
}

int run(const bench::BenchCommandLine& args)
{
    const bench::WarehouseFacts facts = bench::requireFacts(args.database);
    db::ConnectionOptions options;
    options.database = args.database;
    db::Connection connection(options);

    const std::vector<ProviderCase> cases = {
        {QStringLiteral("DataSetProvider_PRECE"), goodsListSql(facts), {Request{}}, 100,
         ProviderCase::Target::Ratio, 1.15},
        {QStringLiteral("DataSetProvider_EMPLOYEE"), pendingLinesSql(facts), pendingLinesRequests(connection, facts),
         2000, ProviderCase::Target::AddedOverEcho, 0.05},
        {QStringLiteral("DataSetProvider_O_PARPAV"), kOpenWaybillsSql, openWaybillsRequests(connection, facts), 2000,
         ProviderCase::Target::AddedOverEcho, 0.05},
        {QStringLiteral("DataSetProvider_O_PARPRCnew"), kGeneratorSql, {Request{}}, 2000,
         ProviderCase::Target::AddedMs, 0.2},
    };

    std::unique_ptr<db::Connection> remote;
    if (!args.remote.isEmpty()) {
        db::ConnectionOptions remoteOptions;
        remoteOptions.database = args.remote;
        remoteOptions.password = QStringLiteral("plovnigur");
        remote = std::make_unique<db::Connection>(remoteOptions);
        remote->attach();
    } else {
        bench::note("service bench: no Firebird server to compare with (--remote)");
    }

    bench::BenchServer server(args.server, args.database, facts);
    server.start();
    RpcLineClient client;
    if (!client.connectTo(server.port()))
        throw std::runtime_error("cannot connect to kelvo-server");
    const double echoMedian = reportEcho(client);
    int missed = 0;
    for (const ProviderCase& pc : cases) {
        if (pc.requests.empty())
            throw std::runtime_error("the warehouse offers no requests for " + pc.provider.toStdString());
        if (!report(pc, measure(connection, remote.get(), client, pc), echoMedian))
            ++missed;
    }
    if (remote)
        remote->detach();
    return missed == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    return bench::runBench("service bench", [&] { return run(bench::parseBenchCommandLine(app)); });
}
