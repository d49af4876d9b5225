// The fixed providers of the catalogue on a small fixture: their columns and
// rows, the updates and inserts, the provider cycle's parameter lists, and
// two sessions side by side.

#include "ServiceFixture.h"

#include "Query.h"

#include <QJsonDocument>

#include <algorithm>
#include <thread>

using namespace servicetest;

namespace {

const char* const kRows = R"(
INSERT INTO N_ISI (ISN) VALUES (1);
INSERT INTO N_DEPART (ISN, GNOS, KARTIBA, GRUPA) VALUES (1, 'Noliktava', 10, '|N|');
INSERT INTO N_DEPART (ISN, GNOS, KARTIBA, GRUPA) VALUES (2, 'Centrs', 20, '|R|');
INSERT INTO N_DEPART (ISN, GNOS, KARTIBA, GRUPA) VALUES (5, 'Āgenskalns', 25, '|R|');
INSERT INTO N_DEPART (ISN, GNOS, KARTIBA, GRUPA) VALUES (3, 'Jūrmala', 30, '|R|J|');
INSERT INTO N_DEPART (ISN, GNOS, KARTIBA, GRUPA) VALUES (4, 'Bez grupas', 5, NULL);
INSERT INTO N_DEPART (ISN, GNOS, KARTIBA, GRUPA) VALUES (6, 'Zeltiņi', 1, '|Z|');
INSERT INTO N_KLIENT (ISN, GNOS) VALUES (1, 'Piegādātājs');
INSERT INTO N_KLPREC (ISN, GNOS, ARTIKULS, ISPRKLIENT, TARA, PARDCENA1, NODOKLIS) VALUES (1, 'Piens', '1001', 1, NULL, 0.89, 21);
INSERT INTO N_KLPREC (ISN, GNOS, ARTIKULS, ISPRKLIENT, TARA, PARDCENA1, NODOKLIS) VALUES (2, 'Kaste', 'T1', 1, 'T', 1.5, 21);
INSERT INTO N_KLPREC (ISN, GNOS, ARTIKULS, ISPRKLIENT, TARA, PARDCENA1, NODOKLIS) VALUES (3, 'Palete', 'T2', 1, 'F', 9, 21);
INSERT INTO N_KLPREC (ISN, GNOS, ARTIKULS, ISPRKLIENT, TARA, PARDCENA1, NODOKLIS) VALUES (4, 'Kaste liela', NULL, 1, 'T', NULL, 12);
INSERT INTO N_KLPREC (ISN, GNOS, ARTIKULS, ISPRKLIENT, ALKOHOLS) VALUES (7, 'Degvīns', '4001', 1, 40);
INSERT INTO N_KLPREC (ISN, GNOS, ARTIKULS, ISPRKLIENT, ALKOHOLS) VALUES (8, 'Kvass', '4002', 1, 0);
INSERT INTO N_MASINA (ISN, GNOS) VALUES (1, 'Volvo, J. Bērziņš');
INSERT INTO N_MASINA (ISN, GNOS) VALUES (2, 'MAN, A. Kalniņš');
INSERT INTO N_MASINA (ISN, GNOS) VALUES (3, 'Audi, P. Ozols');
INSERT INTO O_PARPAV (ISN, DATUMS, PZ_SERIJA, PZ_BLOK, ISNODALANO, ISNODALAUZ, ISMASINA) VALUES (10, '2026-12-09', 'PL', NULL, 1, 2, 3);
INSERT INTO O_PARPAV (ISN, DATUMS, PZ_SERIJA, PZ_BLOK, ISNODALANO, ISNODALAUZ) VALUES (11, '2026-12-09', 'PL', '', 1, 2);
INSERT INTO O_PARPAV (ISN, DATUMS, PZ_SERIJA, PZ_BLOK, ISNODALANO, ISNODALAUZ) VALUES (12, '2026-12-09', 'PL', 'T', 1, 2);
INSERT INTO O_PARPAV (ISN, DATUMS, PZ_SERIJA, PZ_BLOK, ISNODALANO, ISNODALAUZ) VALUES (13, '2026-12-09', 'XX', NULL, 1, 2);
INSERT INTO O_PARPAV (ISN, DATUMS, PZ_SERIJA, PZ_BLOK, ISNODALANO, ISNODALAUZ) VALUES (14, '2026-12-09', 'PL', NULL, 2, 2);
INSERT INTO O_PARPAV (ISN, DATUMS, PZ_SERIJA, PZ_BLOK, ISNODALANO, ISNODALAUZ) VALUES (15, '2026-12-09', 'PL', NULL, 1, 3);
INSERT INTO O_PARPAV (ISN, DATUMS, PZ_SERIJA, PZ_BLOK, ISNODALANO, ISNODALAUZ) VALUES (16, '2026-12-08', 'PL', NULL, 1, 2);
INSERT INTO O_PARPRC (ISN, ISPARVPAV, ISPRECE, DAUDZUMS) VALUES (101, 10, 1, 2);
INSERT INTO O_PARPRC (ISN, ISPARVPAV, ISPRECE, DAUDZUMS) VALUES (102, 10, 7, 1);
INSERT INTO O_PARPRC (ISN, ISPARVPAV, ISPRECE, DAUDZUMS) VALUES (103, 10, 8, 6);
INSERT INTO O_PASPAV (ISN, ISNODALA, DATUMS, PIEGADPIRCEJS) VALUES (1, 2, '2026-12-09', 1);
INSERT INTO O_PASPRC (ISN, ISPASPAV, ISPRECE, APSTIPRIN_DAUDZ, ATKR_DAUDZ) VALUES (1, 1, 1, 5, 0);
INSERT INTO N_SERTIF (ISN, GNOS) VALUES (2, 'S-2 valid here');
INSERT INTO N_SERTIF (ISN, GNOS) VALUES (3, 'S-3 valid everywhere');
INSERT INTO N_SERTIF (ISN, GNOS) VALUES (4, 'S-4 expired');
INSERT INTO N_SERTIF (ISN, GNOS) VALUES (5, 'S-5 other department');
INSERT INTO N_SERTIF (ISN, GNOS) VALUES (6, 'S-6 not yet valid');
INSERT INTO N_SERTPREC (ISSERTIF, ISPRECE, ISNODALA, DER_NO, DER_LIDZ) VALUES (2, 1, 2, DATEADD(-1 DAY TO CURRENT_DATE), CURRENT_DATE);
INSERT INTO N_SERTPREC (ISSERTIF, ISPRECE, ISNODALA, DER_NO, DER_LIDZ) VALUES (3, 1, NULL, NULL, NULL);
INSERT INTO N_SERTPREC (ISSERTIF, ISPRECE, ISNODALA, DER_NO, DER_LIDZ) VALUES (4, 1, 2, NULL, DATEADD(-1 DAY TO CURRENT_DATE));
INSERT INTO N_SERTPREC (ISSERTIF, ISPRECE, ISNODALA, DER_NO, DER_LIDZ) VALUES (5, 1, 3, NULL, NULL);
INSERT INTO N_SERTPREC (ISSERTIF, ISPRECE, ISNODALA, DER_NO, DER_LIDZ) VALUES (6, 1, 2, DATEADD(1 DAY TO CURRENT_DATE), NULL);
)";

class ProvidersTest : public ServiceTest {
protected:
    ProvidersTest()
    {
        database.run(QString::fromUtf8(kRows));
        operatorValues.setSendingDepartment(1);
    }

    std::vector<qint64> sorted(std::vector<qint64> values)
    {
        std::sort(values.begin(), values.end());
        return values;
    }
};

QJsonObject column(const char* name, const char* type, int size, bool required)
{
    return {{"name", name}, {"type", type}, {"size", size}, {"required", required}};
}

QJsonObject certificatesOf(int goods, int department)
{
    return {{"ISPRECE", goods}, {"ISDEPART", department}};
}

}  // namespace

TEST_F(ProvidersTest, TareListsTheTareGoodsWithTheirColumns)
{
    const QJsonObject tare = open("DataSetProvider_TARA");
    EXPECT_EQ(tare.value("columns").toArray(),
              (QJsonArray{column("ARTIKULS", "text", 16, false), column("GNOS", "text", 250, true),
                          column("ISN", "integer", 0, true), column("PARDCENA1", "float", 0, false),
                          column("NODOKLIS", "float", 0, false)}));
    const QJsonArray rows = tare.value("rows").toArray();
    ASSERT_EQ(rows.size(), 2);
    const int kaste = rows.at(0).toArray().at(2).toInt() == 2 ? 0 : 1;
    EXPECT_EQ(rows.at(kaste), (QJsonArray{"T1", "Kaste", 2, 1.5, 21}));
    EXPECT_EQ(rows.at(1 - kaste), (QJsonArray{QJsonValue::Null, "Kaste liela", 4, QJsonValue::Null, 12}));
}

TEST_F(ProvidersTest, OpenWaybillsAreThoseOfTheDateFromTheOperatorsDepartmentToTheReceiver)
{
    // The client's ISNODALANO (2) gives way to the operator's (1); each way
    // of sending the date reads the same.
    const QJsonValue dates[] = {
        "2026-12-09",
        "09.12.2026",
        QJsonObject{{"type", "date"}, {"value", "2026-12-09"}},
        QJsonObject{{"type", "timestamp"}, {"value", "2026-12-09T00:00:00"}},
        QJsonObject{{"type", "text"}, {"value", "09.12.2026"}},
    };
    for (const QJsonValue& date : dates) {
        QJsonObject datums = date.isObject() ? date.toObject() : QJsonObject{{"value", date}};
        datums.insert("name", "DATUMS");
        const QJsonObject waybills =
            open("DataSetProvider_O_PARPAV",
                 QJsonArray{datums, QJsonObject{{"name", "ISNODALANO"}, {"value", 2}},
                            QJsonObject{{"name", "ISNODALAUZ"}, {"type", "integer"}, {"value", 2}}});
        const QString sent = QString::fromUtf8(QJsonDocument(QJsonArray{date}).toJson(QJsonDocument::Compact));
        EXPECT_EQ(sorted(integerColumn(waybills, "ISN")), (std::vector<qint64>{10, 11})) << sent.toStdString();
    }
    const QJsonObject waybills =
        open("DataSetProvider_O_PARPAV", QJsonObject{{"DATUMS", "2026-12-09"}, {"ISNODALANO", 0}, {"ISNODALAUZ", 2}});
    QStringList names;
    for (const QJsonValue& c : waybills.value("columns").toArray())
        names << c["name"].toString();
    EXPECT_EQ(names, QStringList({"ISN", "ISMASINA", "SKAITS_ALKO", "SKAITS_KOPA"}));
    const int first = cell(waybills, 0, "ISN").toInt() == 10 ? 0 : 1;
    EXPECT_EQ(cell(waybills, first, "ISMASINA"), 3);
    EXPECT_EQ(cell(waybills, first, "SKAITS_ALKO"), 1);
    EXPECT_EQ(cell(waybills, first, "SKAITS_KOPA"), 3);
    EXPECT_EQ(cell(waybills, 1 - first, "ISMASINA"), QJsonValue::Null);
    EXPECT_EQ(cell(waybills, 1 - first, "SKAITS_KOPA"), 0);
}

TEST_F(ProvidersTest, PrintRequestReturnsTheWaybillAndItsAlcoholLines)
{
    const QJsonObject printed = open("DataSetProvider_drukat", QJsonObject{{"ISN", 10}});
    EXPECT_EQ(printed.value("rows").toArray(), (QJsonArray{QJsonArray{10, 1}}));
    EXPECT_EQ(open("DataSetProvider_drukat", QJsonObject{{"ISN", 11}}).value("rows").toArray(),
              (QJsonArray{QJsonArray{11, 0}}));
}

TEST_F(ProvidersTest, CarsComeByName)
{
    const QJsonObject cars = open("DataSetProvider_soferi");
    EXPECT_EQ(integerColumn(cars, "ISN"), (std::vector<qint64>{3, 2, 1}));
    EXPECT_EQ(cell(cars, 0, "GNOS"), "Audi, P. Ozols");
}

TEST_F(ProvidersTest, DepartmentGroupsComeOnceInTheDepartmentsOrder)
{
    const QJsonObject groups = open("DataSetProvider_NODGRUPA");
    EXPECT_EQ(groups.value("columns").toArray(), QJsonArray{column("GRUPA", "text", 250, false)});
    EXPECT_EQ(groups.value("rows").toArray(),
              (QJsonArray{QJsonArray{"|Z|"}, QJsonArray{"|N|"}, QJsonArray{"|R|"}, QJsonArray{"|R|J|"}}));
}

TEST_F(ProvidersTest, CertificatesAreThoseValidTodayForTheGoodsInTheDepartment)
{
    const QJsonObject certificates = open("DataSetProvider_sertifikati", certificatesOf(1, 2));
    EXPECT_EQ(certificates.value("rows").toArray(),
              (QJsonArray{QJsonArray{2, "S-2 valid here"}, QJsonArray{3, "S-3 valid everywhere"}}));
    EXPECT_EQ(integerColumn(open("DataSetProvider_sertifikati", certificatesOf(1, 3)), "ISSERTIF"),
              (std::vector<qint64>{3, 5}));
    EXPECT_TRUE(open("DataSetProvider_sertifikati", certificatesOf(2, 2)).value("rows").toArray().isEmpty());
}

TEST_F(ProvidersTest, UpdatesAndInsertsChangeTheirRowsAndANamelessKeyChangesNothing)
{
    // A typed number may come as its text, with the regional decimal comma.
    EXPECT_EQ(execute("DataSetProvider_O_PASPRCupd",
                      QJsonArray{QJsonObject{{"name", "ATKR_DAUDZ"}, {"type", "float"}, {"value", "2,5"}},
                                 QJsonObject{{"name", "ISPASPRC"}, {"type", "integer"}, {"value", "0"}},
                                 QJsonObject{{"name", "ISN"}, {"type", "integer"}, {"value", 1}}}),
              1);
    EXPECT_EQ(execute("DataSetProvider_O_PARPAVupd", QJsonObject{{"ISMASINA", 2}, {"ISN", 11}}), 1);
    EXPECT_EQ(execute("DataSetProvider_O_PARPRCupd", QJsonObject{{"ISSERTIF", 3}, {"ISN", 101}}), 1);
    EXPECT_EQ(execute("DataSetProvider_O_PARPRCins",
                      QJsonObject{{"ISPARVPAV", 11}, {"ISPRECE", 1}, {"PARD_CENA", 0.89}, {"CENA", 0.7},
                                  {"DAUDZUMS", 12}, {"NODOKLIS", 21}, {"ISSERTIF", 0}}),
              1);
    for (const char* provider : {"DataSetProvider_O_PASPRCupd", "DataSetProvider_O_PARPAVupd", "DataSetProvider_O_PARPRCupd"})
        EXPECT_EQ(execute(provider, QJsonObject{{"ATKR_DAUDZ", 1}, {"ISPASPRC", 0}, {"ISMASINA", 1}, {"ISSERTIF", 1},
                                                {"ISN", 999}}),
                  0)
            << provider;

    EXPECT_EQ(select("SELECT ATKR_DAUDZ, ISPASPRC_SAIST FROM O_PASPRC WHERE ISN = 1"),
              (std::vector<std::vector<db::Value>>{{2.5, std::int32_t{0}}}));
    EXPECT_EQ(select("SELECT ISMASINA FROM O_PARPAV WHERE ISN = 11").at(0).at(0), db::Value(std::int32_t{2}));
    EXPECT_EQ(select("SELECT ISSERTIF FROM O_PARPRC WHERE ISN = 101").at(0).at(0), db::Value(std::int32_t{3}));
    const auto line = select("SELECT ISN, ISPRECE, PARD_CENA, CENA, DAUDZUMS, NODOKLIS, ISSERTIF FROM O_PARPRC "
                             "WHERE ISPARVPAV = 11");
    ASSERT_EQ(line.size(), 1u);
    EXPECT_EQ(line[0][1], db::Value(std::int32_t{1}));
    EXPECT_EQ(line[0][4], db::Value(12.0));
    EXPECT_EQ(line[0][5], db::Value::decimal(21));
    // The newest line's key is the generator's current value.
    EXPECT_EQ(open("DataSetProvider_O_PARPRCnew").value("rows").toArray(),
              QJsonArray{QJsonArray{line[0][0].toInt()}});
}

TEST_F(ProvidersTest, AClientsListReplacesTheWholeListAndNoneKeepsIt)
{
    EXPECT_EQ(integerColumn(open("DataSetProvider_sertifikati", certificatesOf(1, 2)), "ISSERTIF"),
              (std::vector<qint64>{2, 3}));
    EXPECT_EQ(integerColumn(open("DataSetProvider_sertifikati"), "ISSERTIF"), (std::vector<qint64>{2, 3}));
    EXPECT_EQ(integerColumn(open("DataSetProvider_sertifikati", QJsonArray{}), "ISSERTIF"), (std::vector<qint64>{2, 3}));

    const QJsonObject onlyDepartment{{"provider", "DataSetProvider_sertifikati"}, {"params", QJsonObject{{"ISDEPART", 3}}}};
    EXPECT_EQ(errorCode("open", onlyDepartment), -32602);
    EXPECT_EQ(errorCode("open", QJsonObject{{"provider", "DataSetProvider_sertifikati"}}), -32602);

    const QJsonArray typed{QJsonObject{{"name", "ISPRECE"}, {"type", "integer"}, {"value", "1"}},
                           QJsonObject{{"name", "ISDEPART"}, {"type", "float"}, {"value", 3}}};
    EXPECT_EQ(integerColumn(open("DataSetProvider_sertifikati", typed), "ISSERTIF"), (std::vector<qint64>{3, 5}));

    // Another session has its own lists: the designed one, without values.
    service::RpcSession other(context);
    EXPECT_TRUE(open("DataSetProvider_sertifikati", {}, &other).value("rows").toArray().isEmpty());
    EXPECT_EQ(integerColumn(open("DataSetProvider_sertifikati"), "ISSERTIF"), (std::vector<qint64>{3, 5}));
}

TEST_F(ProvidersTest, TheNewestLineKeyMovesWithAnotherSessionsInsert)
{
    service::RpcSession other(context);
    const QJsonArray before = open("DataSetProvider_O_PARPRCnew").value("rows").toArray();
    EXPECT_EQ(open("DataSetProvider_O_PARPRCnew").value("rows").toArray(), before);
    execute("DataSetProvider_O_PARPRCins",
            QJsonObject{{"ISPARVPAV", 10}, {"ISPRECE", 1}, {"PARD_CENA", 1}, {"CENA", 1}, {"DAUDZUMS", 1},
                        {"NODOKLIS", 21}, {"ISSERTIF", 0}},
            &other);
    const QJsonArray after = open("DataSetProvider_O_PARPRCnew").value("rows").toArray();
    EXPECT_EQ(after.at(0).toArray().at(0).toInteger(), before.at(0).toArray().at(0).toInteger() + 1);
}

TEST_F(ProvidersTest, TwoSessionsAreServedAtTheSameTime)
{
    service::RpcSession first(context), second(context);
    auto work = [&](service::RpcSession& s, int goods, std::vector<qint64> expected, int& failures) {
        for (int i = 0; i < 40; ++i) {
            const QByteArray line = requestLine(i, "open",
                                                QJsonObject{{"provider", "DataSetProvider_sertifikati"},
                                                            {"params", certificatesOf(goods, 2)}});
            const QJsonObject response = parseLine(s.handle(line));
            if (integerColumn(response["result"].toObject(), "ISSERTIF") != expected || response["id"] != i)
                ++failures;
        }
    };
    int firstFailures = 0, secondFailures = 0;
    std::thread a([&] { work(first, 1, {2, 3}, firstFailures); });
    std::thread b([&] { work(second, 2, {}, secondFailures); });
    a.join();
    b.join();
    EXPECT_EQ(firstFailures, 0);
    EXPECT_EQ(secondFailures, 0);
}

// The session's update waits on another connection's uncommitted update of
// the same row; once that one commits, the session's update is carried out
// on the committed row instead of failing with an update conflict.
TEST_F(ProvidersTest, AnUpdateThatWaitedOnAnotherCommittedUpdateIsCarriedOut)
{
    const auto holder = database.connect(db::TransactionMode::Explicit);
    db::Query(*holder, QStringLiteral("UPDATE O_PARPRC SET ISSERTIF = 2 WHERE ISN = 101")).execute();

    QJsonObject response;
    std::thread handheld([&] {
        response = parseLine(session.handle(requestLine(
            1, "execute",
            QJsonObject{{"provider", "DataSetProvider_O_PARPRCupd"}, {"params", QJsonObject{{"ISSERTIF", 3}, {"ISN", 101}}}})));
    });
    const bool waits = statementRuns("UPDATE O_PARPRC");
    holder->transaction().commit();
    handheld.join();
    ASSERT_TRUE(waits);

    EXPECT_EQ(response.value("result").toObject().value("rowsAffected").toInt(), 1)
        << QJsonDocument(response).toJson(QJsonDocument::Compact).toStdString();
    EXPECT_EQ(select("SELECT ISSERTIF FROM O_PARPRC WHERE ISN = 101").at(0).at(0), db::Value(std::int32_t{3}));
}
