// A load of handhelds over TCP, all at once, each building a fixed number of
// waybills with lines and collecting quantities on order lines of its own;
// afterwards the rows in the database are counted against what the clients
// were told: no waybill, waybill line or collected quantity lost or doubled,
// no number given twice.

#include "ServedSessions.h"
#include "ServiceFixture.h"
#include "WaybillCounter.h"

#include <QJsonDocument>

#include <map>
#include <set>
#include <thread>

using namespace servicetest;

namespace {

constexpr int kHandhelds = 10;
constexpr int kGoods = 3;
constexpr int kWaybillsPerHandheld = 15;
const QString kDay = QStringLiteral("2026-12-09");

// Handheld h delivers to department 11 + h, which ordered every goods item
// once in order 201 + h, on order line orderLine(h, goods).
int receiverOf(int handheld)
{
    return 11 + handheld;
}

int orderLine(int handheld, int goods)
{
    return 10000 + 10 * handheld + goods;
}

QString warehouse()
{
    QStringList script{
        "INSERT INTO N_ISI (ISN) VALUES (1)",
        "INSERT INTO N_DEPART (ISN, GNOS, KARTIBA, GRUPA) VALUES (1, 'Noliktava', 10, '|N|')",
        "INSERT INTO N_KLIENT (ISN, GNOS) VALUES (1, 'Piegādātājs')",
    };
    for (int goods = 1; goods <= kGoods; ++goods) {
        script << QStringLiteral("INSERT INTO N_KLPREC (ISN, GNOS, ARTIKULS, ISPRKLIENT, PARDCENA1, NODOKLIS) "
                                 "VALUES (%1, 'Prece %1', '100%1', 1, 1.5, 21)")
                      .arg(goods);
    }
    for (int h = 0; h < kHandhelds; ++h) {
        script << QStringLiteral("INSERT INTO N_DEPART (ISN, GNOS, KARTIBA, GRUPA) VALUES (%1, 'Veikals %1', %1, '|R|')")
                      .arg(receiverOf(h))
               << QStringLiteral("INSERT INTO O_PASPAV (ISN, ISNODALA, ISNODALAUZ, DATUMS, PIEGADPIRCEJS) "
                                 "VALUES (%1, %2, 1, '%3', 1)")
                      .arg(201 + h)
                      .arg(receiverOf(h))
                      .arg(kDay);
        for (int goods = 1; goods <= kGoods; ++goods) {
            script << QStringLiteral("INSERT INTO O_PASPRC (ISN, ISPASPAV, ISPRECE, DAUDZUMS, APSTIPRIN_DAUDZ, "
                                     "ATKR_DAUDZ, CENA, NODOKLIS) VALUES (%1, %2, %3, 1000000, 1000000, 0, 1, 21)")
                          .arg(orderLine(h, goods))
                          .arg(201 + h)
                          .arg(goods);
        }
    }
    return script.join(QStringLiteral(";\n"));
}

// What the server told one handheld.
struct Tally {
    std::map<qint64, int> linesOfWaybill;  // waybill key -> lines inserted
    std::map<qint64, double> collected;    // order line key -> last quantity recorded
    int waybillsCreated = 0;
    int errors = 0;
    QString firstError;
};

class Handheld {
public:
    Handheld(quint16 port, int number) : client_(port), number_(number) {}

    Tally run()
    {
        for (int waybill = 0; waybill < kWaybillsPerHandheld && tally_.errors == 0; ++waybill)
            buildAWaybill();
        return tally_;
    }

private:
    void buildAWaybill()
    {
        const int receiver = receiverOf(number_);
        const QJsonObject waybill{{"DATUMS", kDay}, {"ISNODALANO", 0}, {"ISNODALAUZ", receiver}};
        if (execute("DataSetProvider_O_PARPAVins", QJsonObject{{"DATUMS", kDay}, {"ISNODALANO", 0},
                                                               {"ISNODALAUZ", receiver}, {"NR_PAVADZ", ""}}) != 1)
            return;
        ++tally_.waybillsCreated;
        const qint64 key = newWaybill(open("DataSetProvider_O_PARPAV", waybill));
        if (key == 0)
            return;
        tally_.linesOfWaybill[key] = 0;
        for (int goods = 1; goods <= kGoods; ++goods) {
            tally_.linesOfWaybill[key] += static_cast<int>(execute(
                "DataSetProvider_O_PARPRCins", QJsonObject{{"ISPARVPAV", key}, {"ISPRECE", goods}, {"PARD_CENA", 1.5},
                                                           {"CENA", 1}, {"DAUDZUMS", 1}, {"NODOKLIS", 21}, {"ISSERTIF", 0}}));
            open("DataSetProvider_O_PARPRCnew");
            const double quantity = tally_.collected[orderLine(number_, goods)] + 1;
            if (execute("DataSetProvider_O_PASPRCupd",
                        QJsonObject{{"ATKR_DAUDZ", quantity}, {"ISPASPRC", 0}, {"ISN", orderLine(number_, goods)}}) == 1)
                tally_.collected[orderLine(number_, goods)] = quantity;
        }
        open("DataSetProvider_EMPLOYEE", QJsonObject{{"ISPRECE", 1 + number_ % kGoods}, {"GRUPA", "R"}});
    }

    // The one open waybill of the handheld's that has no lines yet and was
    // not seen before; 0 (and an error) when there is not exactly one.
    qint64 newWaybill(const QJsonObject& openWaybills)
    {
        const std::vector<qint64> keys = integerColumn(openWaybills, "ISN");
        const std::vector<qint64> lines = integerColumn(openWaybills, "SKAITS_KOPA");
        std::vector<qint64> fresh;
        for (size_t i = 0; i < keys.size(); ++i) {
            if (lines[i] == 0 && !tally_.linesOfWaybill.contains(keys[i]))
                fresh.push_back(keys[i]);
        }
        if (fresh.size() == 1)
            return fresh.front();
        fail(QStringLiteral("%1 new waybills among the open ones").arg(fresh.size()));
        return 0;
    }

    QJsonObject open(const QString& provider, const QJsonValue& params = QJsonValue::Undefined)
    {
        QJsonObject request{{"provider", provider}};
        if (!params.isUndefined())
            request.insert("params", params);
        return result("open", request).toObject();
    }

    qint64 execute(const QString& provider, const QJsonObject& params)
    {
        return result("execute", QJsonObject{{"provider", provider}, {"params", params}})["rowsAffected"].toInteger();
    }

    QJsonValue result(const QString& method, const QJsonObject& params)
    {
        const QJsonObject response = client_.ask(requestLine(++id_, method, params));
        if (!response.contains("result") || response["id"].toInteger() != id_)
            fail(QString::fromUtf8(QJsonDocument(response).toJson(QJsonDocument::Compact)));
        return response["result"];
    }

    void fail(const QString& why)
    {
        if (tally_.errors++ == 0)
            tally_.firstError = why;
    }

    reliability::LineClient client_;
    const int number_;
    qint64 id_ = 0;
    Tally tally_;
};

class LoadTest : public ServiceTest {
protected:
    LoadTest()
    {
        database.run(warehouse());
        operatorValues.setSendingDepartment(1);
        operatorValues.setDateFrom({2026, 12, 9});
        operatorValues.setDateTo({2026, 12, 9});
    }

    std::vector<Tally> runHandhelds()
    {
        const reliability::ServedSessions server(context);
        std::vector<Tally> tallies(kHandhelds);
        std::vector<std::thread> threads;
        for (int h = 0; h < kHandhelds; ++h)
            threads.emplace_back([&, h] { tallies[h] = Handheld(server.port(), h).run(); });
        for (std::thread& thread : threads)
            thread.join();
        return tallies;
    }

    template <typename Key, typename Value>
    std::map<Key, Value> selectMap(const QString& sql)
    {
        std::map<Key, Value> rows;
        for (const std::vector<db::Value>& row : select(sql)) {
            if constexpr (std::is_floating_point_v<Value>)
                rows[row[0].toInt64()] = row[1].toDouble();
            else
                rows[row[0].toInt64()] = static_cast<Value>(row[1].toInt64());
        }
        return rows;
    }
};

TEST_F(LoadTest, EveryWaybillLineAndCollectedQuantityIsThereOnce)
{
    const std::vector<Tally> tallies = runHandhelds();

    int waybills = 0;
    std::map<qint64, int> linesOfWaybill;
    std::map<qint64, double> collected;
    std::map<qint64, int> receiverOfWaybill;
    for (int h = 0; h < kHandhelds; ++h) {
        const Tally& tally = tallies[h];
        EXPECT_EQ(tally.errors, 0) << "handheld " << h << ": " << tally.firstError.toStdString();
        EXPECT_EQ(tally.waybillsCreated, kWaybillsPerHandheld) << "handheld " << h;
        waybills += tally.waybillsCreated;
        for (const auto& [key, lines] : tally.linesOfWaybill) {
            linesOfWaybill[key] = lines;
            receiverOfWaybill[key] = receiverOf(h);
        }
        collected.insert(tally.collected.begin(), tally.collected.end());
    }

    EXPECT_EQ((selectMap<qint64, int>("SELECT ISN, ISNODALAUZ FROM O_PARPAV")), receiverOfWaybill);
    EXPECT_EQ((selectMap<qint64, int>("SELECT ISPARVPAV, COUNT(*) FROM O_PARPRC GROUP BY ISPARVPAV")), linesOfWaybill);
    EXPECT_EQ((selectMap<qint64, double>("SELECT ISN, ATKR_DAUDZ FROM O_PASPRC")), collected);
    // Every waybill has a number of its own, and the counter stands after
    // the last one.
    EXPECT_EQ(select("SELECT COUNT(DISTINCT NR_PAVADZ) FROM O_PARPAV"),
              (std::vector<std::vector<db::Value>>{{std::int64_t{waybills}}}));
    EXPECT_EQ(storedCounter().toString(),
              service::waybillNumberText(service::kFirstWaybillNumber + static_cast<std::uint64_t>(waybills)));
}

}  // namespace
