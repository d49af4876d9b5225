// kelvo-bench-load: 100 handhelds at once. Each is a thread with its own
// connection to a kelvo-server on a copy of the warehouse and runs the
// handheld's round for a fixed time: goods list, pending lines of an item,
// open waybills, a new waybill, five lines, the collected quantities, a
// certificate, a car. The same round by one handheld alone, without pauses,
// first gives the single-client times. Then the 100 work as staff do, with a
// pause before each request (a person reads the screen and taps, a quarter
// to three quarters of a second, which is still faster than staff work):
// the times under load. The 100 connect at the same moment, and the time
// until the last of them has its first answer is the connection storm's.
// Last, the 100 send without pauses, so that the server is always busy: its
// throughput, and whether anything goes wrong when it is overrun. There a
// request waits about 100 handhelds / requests a second whatever the server
// does, so its times are figures, not targets.
//
// The handhelds ask for the goods list in every round but leave it undecoded:
// decoding 0.4 MB a round is a handheld's own work, on a processor of its
// own, and here 100 of them doing it would take the cores the server is
// measured on. They pick their goods items from the list's goods as the
// warehouse had them at the start.
//
// Each handheld collects only goods items whose key falls to it and makes
// its waybills for its own receiving department and day, as staff split the
// warehouse between them. What they share is the server, the database and
// the waybill counter. The inserts carry request keys and the handhelds go
// on with the keys the inserts answer. After each line insert they still
// read the newest line key from the generator, as clients did before the
// inserts answered their keys, to count how many of those reads another
// handheld's insert had moved on. Afterwards both kinds of line keys are
// checked against the lines' waybills, and the database for duplicate
// waybill numbers.

#include "BenchCommandLine.h"
#include "BenchMain.h"
#include "BenchOutput.h"
#include "BenchServer.h"
#include "Connection.h"
#include "DbError.h"
#include "Percentiles.h"
#include "Query.h"
#include "Random.h"
#include "RpcLineClient.h"
#include "WarehouseFacts.h"

#include <QElapsedTimer>
#include <QMutex>
#include <QUuid>

#include <algorithm>
#include <barrier>
#include <chrono>
#include <iterator>
#include <map>
#include <optional>
#include <stdexcept>
#include <thread>
#include <utility>
#include <vector>

namespace {

using bench::Reply;
using bench::RpcLineClient;
using Clock = std::chrono::steady_clock;

constexpr int kClients = 100;
constexpr auto kLoadTime = std::chrono::seconds(60);
constexpr auto kSingleTime = std::chrono::seconds(10);
constexpr auto kSaturatedTime = std::chrono::seconds(30);
constexpr int kLinesPerWaybill = 5;
constexpr int kMaxErrorsShown = 5;

// What every handheld knows before it starts.
struct MixSetup {
    QDate workingDay;
    std::vector<double> goodsItems;  // the goods list's items at the start
    std::vector<std::int32_t> receivers;  // shops a waybill may go to
};

struct Stats {
    std::map<QString, bench::Samples> latency;  // by provider suffix
    std::map<QString, int> errors;             // by provider suffix
    QStringList firstErrors;
    int waybillsCreated = 0;
    size_t answeredInTime = 0;  // answers that came before the phase's end
    // From the moment all connect to the first answer of the session.
    bench::Samples firstAnswer;
    // The line key each waybill line insert answered, and the one the
    // generator read after it gave, with the waybill it was inserted into.
    std::vector<std::pair<qint64, qint64>> lineKeys;
    std::vector<std::pair<qint64, qint64>> generatorKeys;

    void add(const Stats& other)
    {
        for (const auto& [kind, samples] : other.latency)
            latency[kind].add(samples);
        for (const auto& [kind, count] : other.errors)
            errors[kind] += count;
        for (const QString& e : other.firstErrors) {
            if (firstErrors.size() < kMaxErrorsShown)
                firstErrors << e;
        }
        waybillsCreated += other.waybillsCreated;
        answeredInTime += other.answeredInTime;
        firstAnswer.add(other.firstAnswer);
        lineKeys.insert(lineKeys.end(), other.lineKeys.begin(), other.lineKeys.end());
        generatorKeys.insert(generatorKeys.end(), other.generatorKeys.begin(), other.generatorKeys.end());
    }
    bench::Samples of(const QString& kind) const
    {
        const auto it = latency.find(kind);
        return it == latency.end() ? bench::Samples() : it->second;
    }
    int errorCount() const
    {
        int n = 0;
        for (const auto& [kind, count] : errors)
            n += count;
        return n;
    }
};

// The pause of a handheld's staff before each request but the session's
// first; none when `longest` is zero.
struct Pace {
    std::chrono::milliseconds shortest{0};
    std::chrono::milliseconds longest{0};
};
constexpr Pace kStaffPace{std::chrono::milliseconds(250), std::chrono::milliseconds(750)};
constexpr Pace kNoPauses{};

QJsonArray typed(std::initializer_list<std::tuple<const char*, const char*, QJsonValue>> params)
{
    QJsonArray list;
    for (const auto& [name, type, value] : params)
        list.append(RpcLineClient::param(QLatin1String(name), QLatin1String(type), value));
    return list;
}

// A column of an open result, by name.
int column(const Reply& r, const char* name)
{
    const QJsonArray columns = r.result.toObject().value(QLatin1String("columns")).toArray();
    for (int i = 0; i < columns.size(); ++i) {
        if (columns[i].toObject().value(QLatin1String("name")).toString() == QLatin1String(name))
            return i;
    }
    return -1;
}

std::vector<double> columnValues(const Reply& r, const char* name)
{
    std::vector<double> values;
    const int c = column(r, name);
    if (c < 0)
        return values;
    for (const QJsonValue& row : r.rows())
        values.push_back(row.toArray().at(c).toDouble());
    return values;
}

std::vector<double> ownGoods(const std::vector<double>& items, int index, int count)
{
    std::vector<double> own;
    std::copy_if(items.begin(), items.end(), std::back_inserter(own),
                 [&](double item) { return static_cast<qint64>(item) % count == index; });
    return own;
}

class Handheld {
public:
    Handheld(const MixSetup& setup, int index, int count, Clock::time_point until, Pace pace)
        : index_(index), count_(count), until_(until), pace_(pace), items_(setup.goodsItems),
          own_(ownGoods(setup.goodsItems, index, count)), random_(static_cast<std::uint32_t>(index + 1)), receiver_(setup.receivers[static_cast<size_t>(index) % setup.receivers.size()]),
          day_(setup.workingDay.addDays(-(index / static_cast<int>(setup.receivers.size()))))
    {
    }

    // Connects from `start` on, all handhelds at the same moment.
    Stats run(quint16 port, Clock::time_point start)
    {
        if (!client_.connectTo(port)) {
            fail(QStringLiteral("connect"), QStringLiteral("cannot connect"));
            return stats_;
        }
        // The session's first request: its time includes the session's attach.
        Reply r;
        if (ask(QStringLiteral("NODGRUPA"), false, {}, r)) {
            stats_.firstAnswer.add(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
            for (const QJsonValue& row : r.rows())
                groups_ += row.toArray().at(0).toString().split(QLatin1Char('|'), Qt::SkipEmptyParts);
            groups_.removeDuplicates();
        }
        while (Clock::now() < until_ && !broken_ && !groups_.isEmpty())
            round();
        return stats_;
    }

private:
    // Sends one request unless the time is up; false when it was not sent or
    // failed. An insert carries a request key, as a client that may have to
    // send it again does.
    bool ask(const QString& kind, bool execute, const QJsonValue& params, Reply& reply,
             bench::Decode decode = bench::Decode::Whole)
    {
        if (std::exchange(asked_, true))
            pause();
        if (broken_ || Clock::now() >= until_)
            return false;
        const QString provider = QStringLiteral("DataSetProvider_") + kind;
        const QString requestKey = kind.endsWith(QLatin1String("ins")) ? QUuid::createUuid().toString(QUuid::WithoutBraces)
                                                                       : QString();
        reply = execute ? client_.execute(provider, params, requestKey) : client_.open(provider, params, decode);
        if (!reply.ok()) {
            fail(kind, QStringLiteral("%1 %2").arg(reply.errorCode).arg(reply.errorMessage));
            broken_ = reply.errorCode == -1;
            return false;
        }
        stats_.latency[kind].add(reply.milliseconds);
        if (Clock::now() <= until_)
            ++stats_.answeredInTime;
        return true;
    }

    void pause()
    {
        if (pace_.longest.count() == 0)
            return;
        const auto pause = std::chrono::milliseconds(
            random_.between(static_cast<int>(pace_.shortest.count()), static_cast<int>(pace_.longest.count())));
        std::this_thread::sleep_until(std::min(Clock::now() + pause, until_));
    }

    void fail(const QString& kind, const QString& message)
    {
        ++stats_.errors[kind];
        if (stats_.firstErrors.size() < kMaxErrorsShown)
            stats_.firstErrors << kind + QStringLiteral(": ") + message;
    }

    QJsonArray waybillList() const
    {
        return typed({{"DATUMS", "date", day_.toString(Qt::ISODate)},
                      {"ISNODALANO", "integer", 0},
                      {"ISNODALAUZ", "integer", receiver_}});
    }

    // A key an insert answered.
    std::optional<qint64> answeredKey(const QString& kind, const Reply& r)
    {
        const QJsonValue key = r.result.toObject().value(QLatin1String("ISN"));
        if (!key.isDouble()) {
            fail(kind, QStringLiteral("no ISN in the answer"));
            return std::nullopt;
        }
        return key.toInteger();
    }

    // One round of the handheld; it ends early when a request fails or the
    // time is up.
    void round()
    {
        Reply goods, lines;
        if (!ask(QStringLiteral("PRECE"), false, {}, goods, bench::Decode::OutcomeOnly))
            return;
        // Without goods of its own the handheld still builds a waybill, but
        // collects nothing.
        const bool mayCollect = !own_.empty();
        const auto item = static_cast<qint64>(random_.pick(mayCollect ? own_ : items_));
        const QString group = groups_[random_.between(0, static_cast<int>(groups_.size()) - 1)];
        if (!ask(QStringLiteral("EMPLOYEE"), false, typed({{"ISPRECE", "integer", item}, {"GRUPA", "text", group}}),
                 lines))
            return;
        const std::optional<qint64> waybill = createWaybill();
        if (!waybill)
            return;
        const std::vector<qint64> lineKeys = addLines(*waybill, item, items_);
        if (lineKeys.size() < kLinesPerWaybill || (mayCollect && !collect(lines, lineKeys.front()))
            || !attachCertificate(item, lineKeys.front()))
            return;
        chooseCar(*waybill);
    }

    // The open waybills shown, then the new one: its key from the insert.
    std::optional<qint64> createWaybill()
    {
        Reply listed, inserted;
        if (!ask(QStringLiteral("O_PARPAV"), false, waybillList(), listed)
            || !ask(QStringLiteral("O_PARPAVins"), true,
                    typed({{"DATUMS", "date", day_.toString(Qt::ISODate)},
                           {"ISNODALANO", "integer", 0},
                           {"ISNODALAUZ", "integer", receiver_},
                           {"NR_PAVADZ", "text", QString()}}),
                    inserted))
            return std::nullopt;
        ++stats_.waybillsCreated;
        return answeredKey(QStringLiteral("O_PARPAVins"), inserted);
    }

    // Inserts the lines, the item first, each with the key it answered; and
    // reads the generator after each, for the count of keys it gets wrong.
    std::vector<qint64> addLines(qint64 waybill, qint64 item, const std::vector<double>& items)
    {
        std::vector<qint64> lineKeys;
        Reply inserted, generator;
        for (int n = 0; n < kLinesPerWaybill; ++n) {
            const auto goodsItem = n == 0 ? item : static_cast<qint64>(random_.pick(items));
            if (!ask(QStringLiteral("O_PARPRCins"), true,
                     typed({{"ISPARVPAV", "integer", waybill}, {"ISPRECE", "integer", goodsItem},
                            {"PARD_CENA", "float", 1.85}, {"CENA", "float", 1.4},
                            {"DAUDZUMS", "float", random_.between(1, 24)}, {"NODOKLIS", "float", 21},
                            {"ISSERTIF", "integer", 0}}),
                     inserted))
                break;
            const std::optional<qint64> key = answeredKey(QStringLiteral("O_PARPRCins"), inserted);
            if (!key)
                break;
            lineKeys.push_back(*key);
            stats_.lineKeys.emplace_back(waybill, *key);
            if (!ask(QStringLiteral("O_PARPRCnew"), false, {}, generator))
                break;
            const std::vector<double> read = columnValues(generator, "ISN");
            if (read.empty()) {
                fail(QStringLiteral("O_PARPRCnew"), QStringLiteral("no row"));
                break;
            }
            stats_.generatorKeys.emplace_back(waybill, static_cast<qint64>(read.front()));
        }
        return lineKeys;
    }

    // Records the pending lines as collected, linked to the waybill line.
    bool collect(const Reply& lines, qint64 lineKey)
    {
        const std::vector<double> orderLines = columnValues(lines, "ISN");
        const std::vector<double> confirmed = columnValues(lines, "APSTIPRIN_DAUDZ");
        Reply reply;
        for (size_t i = 0; i < orderLines.size() && i < kLinesPerWaybill; ++i) {
            if (!ask(QStringLiteral("O_PASPRCupd"), true,
                     typed({{"ATKR_DAUDZ", "float", confirmed[i]}, {"ISPASPRC", "integer", lineKey},
                            {"ISN", "integer", orderLines[i]}}),
                     reply))
                return false;
        }
        return true;
    }

    bool attachCertificate(qint64 item, qint64 lineKey)
    {
        Reply reply;
        if (!ask(QStringLiteral("sertifikati"), false,
                 typed({{"ISPRECE", "integer", item}, {"ISDEPART", "integer", receiver_}}), reply))
            return false;
        const std::vector<double> certificates = columnValues(reply, "ISSERTIF");
        return certificates.empty()
               || ask(QStringLiteral("O_PARPRCupd"), true,
                      typed({{"ISSERTIF", "integer", certificates.front()}, {"ISN", "integer", lineKey}}), reply);
    }

    void chooseCar(qint64 waybill)
    {
        Reply reply;
        if (!ask(QStringLiteral("soferi"), false, {}, reply) || reply.rows().isEmpty())
            return;
        const std::vector<double> cars = columnValues(reply, "ISN");
        ask(QStringLiteral("O_PARPAVupd"), true,
            typed({{"ISMASINA", "integer", random_.pick(cars)}, {"ISN", "integer", waybill}}), reply);
    }

    const int index_;
    const int count_;
    const Clock::time_point until_;
    const Pace pace_;
    const std::vector<double>& items_;
    const std::vector<double> own_;  // the items whose key falls to this handheld
    bench::Random random_;
    const std::int32_t receiver_;
    const QDate day_;
    RpcLineClient client_;
    QStringList groups_;
    Stats stats_;
    bool asked_ = false;
    bool broken_ = false;
};

struct Phase {
    Stats stats;
    double seconds = 0;  // until the last thread ended
};

// `clients` handhelds at once for `duration`, all connecting at the same
// moment; each thread ends at the deadline or, at the latest, when its
// request in flight times out.
Phase runHandhelds(const MixSetup& setup, quint16 port, int clients, std::chrono::seconds duration, Pace pace)
{
    Phase phase;
    QMutex mutex;
    QElapsedTimer timer;
    timer.start();
    const Clock::time_point until = Clock::now() + duration;
    Clock::time_point start;
    std::barrier gate(clients, [&start]() noexcept { start = Clock::now(); });
    std::vector<std::thread> threads;
    for (int i = 0; i < clients; ++i) {
        threads.emplace_back([&, i] {
            Handheld handheld(setup, i, clients, until, pace);
            gate.arrive_and_wait();
            const Stats stats = handheld.run(port, start);
            QMutexLocker lock(&mutex);
            phase.stats.add(stats);
        });
    }
    for (std::thread& t : threads)
        t.join();
    phase.seconds = static_cast<double>(timer.elapsed()) / 1000.0;
    return phase;
}

MixSetup mixSetup(db::Connection& c, const bench::WarehouseFacts& f)
{
    MixSetup setup;
    setup.workingDay = f.lastDay;
    db::Query shops(c, QStringLiteral("SELECT ISN FROM N_DEPART WHERE ISN NOT IN (:SENDER, :HIDDEN) "
                                      "AND GRUPA NOT LIKE '%|Noliktavas|%' ORDER BY ISN"));
    shops.param(u"SENDER").setValue(f.sendingDepartment);
    shops.param(u"HIDDEN").setValue(f.hiddenDepartment);
    for (shops.open(); !shops.eof(); shops.next())
        setup.receivers.push_back(shops.field(0).asInteger());
    if (setup.receivers.empty())
        throw std::runtime_error("the warehouse has no shops");
    db::Query goods(c, QStringLiteral("SELECT DISTINCT O_PASPRC.ISPRECE FROM O_PASPRC, O_PASPAV WHERE ")
                           + bench::pendingLinesOfWorkingRange());
    bench::bindWorkingRange(goods, f);
    for (goods.open(); !goods.eof(); goods.next())
        setup.goodsItems.push_back(goods.field(0).asInteger());
    if (setup.goodsItems.empty())
        throw std::runtime_error("the warehouse has no goods to collect");
    return setup;
}

std::int64_t scalar(db::Connection& c, const QString& sql)
{
    db::Query q(c, sql);
    q.open();
    return q.field(0).asInt64();
}

// Line keys that name a line of another waybill than the one the line was
// inserted into (for the generator's reads: another handheld's insert had
// moved it on in between).
int foreignLineKeys(db::Connection& c, const std::vector<std::pair<qint64, qint64>>& lineKeys)
{
    db::Query line(c, QStringLiteral("SELECT ISPARVPAV FROM O_PARPRC WHERE ISN = :ISN"));
    int foreign = 0;
    for (const auto& [waybill, key] : lineKeys) {
        line.param(u"ISN").setValue(static_cast<std::int64_t>(key));
        line.open();
        if (line.isEmpty() || line.field(0).asInt64() != waybill)
            ++foreign;
    }
    return foreign;
}

// Throughput counts the answers within the phase's time; the latencies
// include the requests still in flight at its end.
void reportPhase(const QString& name, const Phase& phase, std::chrono::seconds duration)
{
    bench::printFigure(name + QStringLiteral(".requests_per_second"),
                       static_cast<double>(phase.stats.answeredInTime) / static_cast<double>(duration.count()), "req/s", 1);
    bench::printFigure(name + QStringLiteral(".errors"), phase.stats.errorCount(), "errors", 0);
    for (const auto& [kind, count] : phase.stats.errors)
        bench::printFigure(QStringLiteral("%1.%2.errors").arg(name, kind), count, "errors", 0);
    for (const QString& e : phase.stats.firstErrors)
        bench::note("%s error: %s", qPrintable(name), qPrintable(e));
    bench::printFigure(name + QStringLiteral(".first_answer_median"), phase.stats.firstAnswer.median(), "ms", 1);
    bench::printFigure(name + QStringLiteral(".first_answer_max"), phase.stats.firstAnswer.percentile(100), "ms", 1);
    for (const auto& [kind, samples] : phase.stats.latency) {
        bench::printFigure(QStringLiteral("%1.%2.requests").arg(name, kind), static_cast<double>(samples.count()),
                           "requests", 0);
        bench::printFigure(QStringLiteral("%1.%2.median").arg(name, kind), samples.median(), "ms", 3);
        bench::printFigure(QStringLiteral("%1.%2.p99").arg(name, kind), samples.p99(), "ms", 3);
    }
}

int run(const bench::BenchCommandLine& args)
{
    const bench::WarehouseFacts facts = bench::requireFacts(args.database);
    db::ConnectionOptions options;
    options.database = args.database;
    MixSetup setup;
    std::int64_t waybillsBefore = 0;
    {
        db::Connection original(options);
        setup = mixSetup(original, facts);
        waybillsBefore = scalar(original, QStringLiteral("SELECT COUNT(*) FROM O_PARPAV"));
    }

    bench::BenchServer server(args.server, args.database, facts);
    server.start();
    const Phase single = runHandhelds(setup, server.port(), 1, kSingleTime, kNoPauses);
    reportPhase(QStringLiteral("load.single"), single, kSingleTime);
    const Phase load = runHandhelds(setup, server.port(), kClients, kLoadTime, kStaffPace);
    bench::printFigure(QStringLiteral("load.clients"), kClients, "clients", 0);
    bench::printFigure(QStringLiteral("load.pause_shortest"), static_cast<double>(kStaffPace.shortest.count()), "ms", 0);
    bench::printFigure(QStringLiteral("load.pause_longest"), static_cast<double>(kStaffPace.longest.count()), "ms", 0);
    bench::printFigure(QStringLiteral("load.duration"), load.seconds, "s", 1);
    reportPhase(QStringLiteral("load"), load, kLoadTime);
    const Phase saturated = runHandhelds(setup, server.port(), kClients, kSaturatedTime, kNoPauses);
    bench::printFigure(QStringLiteral("load.saturated.duration"), saturated.seconds, "s", 1);
    reportPhase(QStringLiteral("load.saturated"), saturated, kSaturatedTime);
    server.stop();

    options.database = server.database();
    db::Connection served(options);
    const std::int64_t duplicates = scalar(
        served, QStringLiteral("SELECT COUNT(*) FROM (SELECT NR_PAVADZ FROM O_PARPAV WHERE PZ_SERIJA = 'PL' "
                               "GROUP BY NR_PAVADZ HAVING COUNT(*) > 1)"));
    const std::int64_t waybillsAdded = scalar(served, QStringLiteral("SELECT COUNT(*) FROM O_PARPAV")) - waybillsBefore;
    Stats all = single.stats;
    all.add(load.stats);
    all.add(saturated.stats);
    const int foreign = foreignLineKeys(served, all.lineKeys);
    const int foreignGenerator = foreignLineKeys(served, all.generatorKeys);
    // The pending-lines times under load depend on it: with a cache
    // smaller than the database the requests wait on each other for it.
    const std::int64_t pageBuffers = scalar(served, QStringLiteral("SELECT MON$PAGE_BUFFERS FROM MON$DATABASE"));
    served.detach();
    bench::printFigure(QStringLiteral("load.page_buffers"), static_cast<double>(pageBuffers), "pages", 0);
    bench::printFigure(QStringLiteral("load.line_keys_answered"), static_cast<double>(all.lineKeys.size()), "keys", 0);
    bench::printFigure(QStringLiteral("load.line_keys_of_other_waybills"), foreign, "keys", 0);
    bench::printFigure(QStringLiteral("load.generator_keys_read"), static_cast<double>(all.generatorKeys.size()), "keys", 0);
    bench::printFigure(QStringLiteral("load.generator_keys_of_other_waybills"), foreignGenerator, "keys", 0);
    bench::printFigure(QStringLiteral("load.waybills_created"), all.waybillsCreated, "waybills", 0);
    bench::printFigure(QStringLiteral("load.waybills_in_database"), static_cast<double>(waybillsAdded), "waybills", 0);
    bench::printFigure(QStringLiteral("load.duplicate_waybill_numbers"), static_cast<double>(duplicates), "numbers", 0);

    const double singleMedian = single.stats.of(QStringLiteral("EMPLOYEE")).median();
    const double loadP99 = load.stats.of(QStringLiteral("EMPLOYEE")).p99();
    const double singleGoodsMedian = single.stats.of(QStringLiteral("PRECE")).median();
    const double loadGoodsP99 = load.stats.of(QStringLiteral("PRECE")).p99();
    bool met = bench::printTarget(QStringLiteral("load.errors == 0"), all.errorCount() == 0);
    met &= bench::printTarget(QStringLiteral("load.duplicate_waybill_numbers == 0"), duplicates == 0);
    met &= bench::printTarget(QStringLiteral("load.line_keys_of_other_waybills == 0"), foreign == 0);
    met &= bench::printTarget(QStringLiteral("load.EMPLOYEE.p99 < 10 x load.single.EMPLOYEE.median"),
                              singleMedian > 0 && loadP99 < 10 * singleMedian);
    met &= bench::printTarget(QStringLiteral("load.PRECE.p99 <= 3 x load.single.PRECE.median"),
                              singleGoodsMedian > 0 && loadGoodsP99 <= 3 * singleGoodsMedian);
    met &= bench::printTarget(QStringLiteral("load.first_answer_max <= 300 ms"),
                              load.stats.firstAnswer.count() == kClients
                                  && load.stats.firstAnswer.percentile(100) <= 300);
    return met ? 0 : 1;
}

}  // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    return bench::runBench("load bench", [&] { return run(bench::parseBenchCommandLine(app)); });
}
