// The pending order lines and the goods list as the operator's settings
// shape them, and the parameters the handlers bind.

#include "KelvoServerMethodsUnit.h"
#include "ServiceFixture.h"

using namespace servicetest;

namespace {

// Departments with their groups; key 0 is the one hidden while no hidden
// department is chosen. Orders 109 and 110 are not customer deliveries,
// 111 and 112 lie just outside 1 to 10 December; order 113 is dated
// between orders 101 and 103 of the same department, though stored and
// keyed after both.
const char* const kRows = R"(
INSERT INTO N_DEPART (ISN, GNOS, KARTIBA, GRUPA) VALUES (1, 'Noliktava', 10, '|N|');
INSERT INTO N_DEPART (ISN, GNOS, KARTIBA, GRUPA) VALUES (2, 'Centrs', 20, '|R|');
INSERT INTO N_DEPART (ISN, GNOS, KARTIBA, GRUPA) VALUES (3, 'Bulduri', 20, '|R|J|');
INSERT INTO N_DEPART (ISN, GNOS, KARTIBA, GRUPA) VALUES (4, 'Jūrmala', 15, '|J|');
INSERT INTO N_DEPART (ISN, GNOS, KARTIBA, GRUPA) VALUES (5, 'Bez joslām', 30, 'R');
INSERT INTO N_DEPART (ISN, GNOS, KARTIBA, GRUPA) VALUES (6, 'Bez grupas', 40, NULL);
INSERT INTO N_DEPART (ISN, GNOS, KARTIBA, GRUPA) VALUES (7, 'Tukšā', 50, '|x||y|');
INSERT INTO N_DEPART (ISN, GNOS, KARTIBA, GRUPA) VALUES (0, 'Nulle', 60, '|R|');
INSERT INTO N_KLIENT (ISN, GNOS) VALUES (1, 'Zemgales Piens');
INSERT INTO N_KLIENT (ISN, GNOS) VALUES (2, 'Vidzemes Alus');
INSERT INTO N_KLPREC (ISN, GNOS, ARTIKULS, ARTIKULS2, ISPRKLIENT, SKKASTE, ALKOHOLS) VALUES (1, 'Piens', '1001', '4750001', 1, 12, NULL);
INSERT INTO N_KLPREC (ISN, GNOS, ARTIKULS, ARTIKULS2, ISPRKLIENT, SKKASTE, ALKOHOLS) VALUES (2, 'Alus', '2001', NULL, 2, 20, 5);
INSERT INTO N_KLPREC (ISN, GNOS, ARTIKULS, ISPRKLIENT) VALUES (3, 'Maize', '3001', 1);
INSERT INTO N_KLPREC (ISN, GNOS, ARTIKULS, ISPRKLIENT) VALUES (4, 'Sula', '3002', 1);
INSERT INTO N_KLPREC (ISN, GNOS, ARTIKULS, ISPRKLIENT) VALUES (5, 'Siers', NULL, 1);
INSERT INTO N_KLPREC (ISN, GNOS, ARTIKULS, ISPRKLIENT) VALUES (6, 'Krējums', '3004', 1);
INSERT INTO N_KLPREC (ISN, GNOS, ARTIKULS, ISPRKLIENT) VALUES (9, 'Olas ' || LPAD('', 240, 'x'), '9001', 1);
INSERT INTO O_PASPAV (ISN, ISNODALA, DATUMS, PIEGADPIRCEJS) VALUES (101, 2, '2026-12-01', 1);
INSERT INTO O_PASPAV (ISN, ISNODALA, DATUMS, PIEGADPIRCEJS) VALUES (102, 3, '2026-12-05', 1);
INSERT INTO O_PASPAV (ISN, ISNODALA, DATUMS, PIEGADPIRCEJS) VALUES (103, 2, '2026-12-10', 1);
INSERT INTO O_PASPAV (ISN, ISNODALA, DATUMS, PIEGADPIRCEJS) VALUES (104, 4, '2026-12-05', 1);
INSERT INTO O_PASPAV (ISN, ISNODALA, DATUMS, PIEGADPIRCEJS) VALUES (105, 5, '2026-12-05', 1);
INSERT INTO O_PASPAV (ISN, ISNODALA, DATUMS, PIEGADPIRCEJS) VALUES (106, 6, '2026-12-05', 1);
INSERT INTO O_PASPAV (ISN, ISNODALA, DATUMS, PIEGADPIRCEJS) VALUES (107, 7, '2026-12-05', 1);
INSERT INTO O_PASPAV (ISN, ISNODALA, DATUMS, PIEGADPIRCEJS) VALUES (108, 0, '2026-12-05', 1);
INSERT INTO O_PASPAV (ISN, ISNODALA, DATUMS, PIEGADPIRCEJS) VALUES (109, 2, '2026-12-05', 0);
INSERT INTO O_PASPAV (ISN, ISNODALA, DATUMS, PIEGADPIRCEJS) VALUES (110, 2, '2026-12-05', NULL);
INSERT INTO O_PASPAV (ISN, ISNODALA, DATUMS, PIEGADPIRCEJS) VALUES (111, 2, '2026-11-30', 1);
INSERT INTO O_PASPAV (ISN, ISNODALA, DATUMS, PIEGADPIRCEJS) VALUES (112, 2, '2026-12-11', 1);
INSERT INTO O_PASPAV (ISN, ISNODALA, DATUMS, PIEGADPIRCEJS) VALUES (113, 2, '2026-12-03', 1);
INSERT INTO O_PASPRC (ISN, ISPASPAV, ISPRECE, DAUDZUMS, APSTIPRIN_DAUDZ, ATKR_DAUDZ, CENA, NODOKLIS, ISSERTIF, ISPASPRC_SAIST) VALUES (1001, 101, 1, 12, 10, 0, 0.79, 21, 3, NULL);
INSERT INTO O_PASPRC (ISN, ISPASPAV, ISPRECE, APSTIPRIN_DAUDZ, ATKR_DAUDZ) VALUES (1002, 102, 1, 10, 5);
INSERT INTO O_PASPRC (ISN, ISPASPAV, ISPRECE, APSTIPRIN_DAUDZ, ATKR_DAUDZ, ISPASPRC_SAIST) VALUES (1003, 103, 1, 10, 0, 0);
INSERT INTO O_PASPRC (ISN, ISPASPAV, ISPRECE, APSTIPRIN_DAUDZ, ATKR_DAUDZ) VALUES (1004, 104, 1, 10, 0);
INSERT INTO O_PASPRC (ISN, ISPASPAV, ISPRECE, APSTIPRIN_DAUDZ, ATKR_DAUDZ) VALUES (1005, 105, 1, 10, 0);
INSERT INTO O_PASPRC (ISN, ISPASPAV, ISPRECE, APSTIPRIN_DAUDZ, ATKR_DAUDZ) VALUES (1006, 106, 1, 10, 0);
INSERT INTO O_PASPRC (ISN, ISPASPAV, ISPRECE, APSTIPRIN_DAUDZ, ATKR_DAUDZ) VALUES (1007, 107, 1, 10, 0);
INSERT INTO O_PASPRC (ISN, ISPASPAV, ISPRECE, APSTIPRIN_DAUDZ, ATKR_DAUDZ) VALUES (1008, 108, 1, 10, 0);
INSERT INTO O_PASPRC (ISN, ISPASPAV, ISPRECE, APSTIPRIN_DAUDZ, ATKR_DAUDZ) VALUES (1009, 109, 1, 10, 0);
INSERT INTO O_PASPRC (ISN, ISPASPAV, ISPRECE, APSTIPRIN_DAUDZ, ATKR_DAUDZ) VALUES (1010, 110, 1, 10, 0);
INSERT INTO O_PASPRC (ISN, ISPASPAV, ISPRECE, APSTIPRIN_DAUDZ, ATKR_DAUDZ) VALUES (1011, 111, 1, 10, 0);
INSERT INTO O_PASPRC (ISN, ISPASPAV, ISPRECE, APSTIPRIN_DAUDZ, ATKR_DAUDZ) VALUES (1012, 112, 1, 10, 0);
INSERT INTO O_PASPRC (ISN, ISPASPAV, ISPRECE, APSTIPRIN_DAUDZ, ATKR_DAUDZ) VALUES (1013, 101, 1, 10, 10);
INSERT INTO O_PASPRC (ISN, ISPASPAV, ISPRECE, APSTIPRIN_DAUDZ, ATKR_DAUDZ) VALUES (1014, 101, 1, 10, 12);
INSERT INTO O_PASPRC (ISN, ISPASPAV, ISPRECE, APSTIPRIN_DAUDZ, ATKR_DAUDZ, ISPASPRC_SAIST) VALUES (1015, 101, 1, 10, 0, 1013);
INSERT INTO O_PASPRC (ISN, ISPASPAV, ISPRECE, APSTIPRIN_DAUDZ, ATKR_DAUDZ) VALUES (1016, 102, 2, 10, 0);
INSERT INTO O_PASPRC (ISN, ISPASPAV, ISPRECE, APSTIPRIN_DAUDZ, ATKR_DAUDZ) VALUES (1020, 101, 3, 10, 10);
INSERT INTO O_PASPRC (ISN, ISPASPAV, ISPRECE, APSTIPRIN_DAUDZ, ATKR_DAUDZ, ISPASPRC_SAIST) VALUES (1021, 101, 3, 10, 0, 5);
INSERT INTO O_PASPRC (ISN, ISPASPAV, ISPRECE, APSTIPRIN_DAUDZ, ATKR_DAUDZ) VALUES (1022, 109, 4, 10, 0);
INSERT INTO O_PASPRC (ISN, ISPASPAV, ISPRECE, APSTIPRIN_DAUDZ, ATKR_DAUDZ) VALUES (1023, 110, 4, 10, 0);
INSERT INTO O_PASPRC (ISN, ISPASPAV, ISPRECE, APSTIPRIN_DAUDZ, ATKR_DAUDZ) VALUES (1024, 103, 5, 10, 0);
INSERT INTO O_PASPRC (ISN, ISPASPAV, ISPRECE, APSTIPRIN_DAUDZ, ATKR_DAUDZ) VALUES (1025, 111, 6, 10, 0);
INSERT INTO O_PASPRC (ISN, ISPASPAV, ISPRECE, APSTIPRIN_DAUDZ, ATKR_DAUDZ) VALUES (1026, 112, 6, 10, 0);
INSERT INTO O_PASPRC (ISN, ISPASPAV, ISPRECE, APSTIPRIN_DAUDZ, ATKR_DAUDZ) VALUES (1027, 108, 9, 10, 0);
INSERT INTO O_PASPRC (ISN, ISPASPAV, ISPRECE, APSTIPRIN_DAUDZ, ATKR_DAUDZ) VALUES (1028, 113, 1, 10, 0);
)";

struct Range {
    QDate from, to;
};
const Range kDecember{{2026, 12, 1}, {2026, 12, 10}};

class PendingLinesTest : public ServiceTest {
protected:
    PendingLinesTest() { database.run(QString::fromUtf8(kRows)); }

    void setOperator(std::optional<std::int32_t> hidden, const Range& range)
    {
        operatorValues.setHiddenDepartment(hidden);
        operatorValues.setDateFrom(range.from);
        operatorValues.setDateTo(range.to);
    }

    QJsonObject pendingLines(const QJsonValue& goods, const QJsonValue& group)
    {
        return open("DataSetProvider_EMPLOYEE", QJsonObject{{"ISPRECE", goods}, {"GRUPA", group}});
    }
};

QStringList columnNames(const QJsonObject& result)
{
    QStringList names;
    for (const QJsonValue& c : result.value("columns").toArray())
        names << c["name"].toString();
    return names;
}

}  // namespace

TEST_F(PendingLinesTest, PendingLinesFollowTheRangeTheHiddenDepartmentAndTheGroup)
{
    struct Case {
        const char* what;
        std::optional<std::int32_t> hidden;
        Range range;
        int goods;
        QJsonValue group;
        std::vector<qint64> lines;
    };
    const Case cases[] = {
        {"by KARTIBA, name, date; both ends in; key 0 hidden", std::nullopt, kDecember, 1, "R",
         {1002, 1001, 1028, 1003}},
        {"department 2 hidden, key 0 shown", 2, kDecember, 1, "R", {1002, 1008}},
        {"second group of a department", std::nullopt, kDecember, 1, "J", {1004, 1002}},
        {"empty group: two bars in a row", std::nullopt, kDecember, 1, "", {1007}},
        {"null group: no department", std::nullopt, kDecember, 1, QJsonValue::Null, {}},
        {"group beside an empty one", std::nullopt, kDecember, 1, "y", {1007}},
        {"a group no department has", std::nullopt, kDecember, 1, "Bez grupas", {}},
        {"one day", std::nullopt, {{2026, 12, 5}, {2026, 12, 5}}, 1, "R", {1002}},
        {"start after end", std::nullopt, {kDecember.to, kDecember.from}, 1, "R", {}},
        {"another goods item", std::nullopt, kDecember, 2, "R", {1016}},
    };
    for (const Case& c : cases) {
        setOperator(c.hidden, c.range);
        EXPECT_EQ(integerColumn(pendingLines(c.goods, c.group), "ISN"), c.lines) << c.what;
    }
}

TEST_F(PendingLinesTest, PendingLinesCarryTheirColumnsInOrder)
{
    setOperator(std::nullopt, kDecember);
    const QJsonObject lines = pendingLines("1", "R");  // ISPRECE read as an integer
    EXPECT_EQ(columnNames(lines), QStringList({"KARTIBA", "NODALAUZ", "ISN", "DAUDZUMS", "APSTIPRIN_DAUDZ", "ATKR_DAUDZ",
                                               "ISPRECE", "CENA", "NODOKLIS", "ISSERTIF", "ISPASPAV", "ISNODALA",
                                               "ISNODALAUZ"}));
    EXPECT_EQ(lines["columns"][8], (QJsonObject{{"name", "NODOKLIS"}, {"type", "decimal"}, {"size", 0},
                                                {"required", false}, {"scale", 2}}));
    EXPECT_EQ(lines["rows"][1].toArray(),
              (QJsonArray{20, "Centrs", 1001, 12, 10, 0, 1, 0.79, 21, 3, 101, 2, QJsonValue::Null}));
}

TEST_F(PendingLinesTest, GoodsListHasEachItemWithPendingLinesOnceByName)
{
    struct Case {
        const char* what;
        std::optional<std::int32_t> hidden;
        Range range;
        std::vector<qint64> goods;
    };
    const Case cases[] = {
        {"no hidden department: key 0 hidden", std::nullopt, kDecember, {2, 1, 5}},
        {"department 2 hidden", 2, kDecember, {2, 9, 1}},
        {"last day only", std::nullopt, {kDecember.to, kDecember.to}, {1, 5}},
        {"start after end", std::nullopt, {kDecember.to, kDecember.from}, {}},
    };
    for (const Case& c : cases) {
        setOperator(c.hidden, c.range);
        EXPECT_EQ(integerColumn(open("DataSetProvider_PRECE"), "ISPRECE"), c.goods) << c.what;
    }
}

TEST_F(PendingLinesTest, GoodsListHasThePersistentColumnsAndTheArticleWithTheName)
{
    setOperator(2, kDecember);
    const QJsonObject goods = open("DataSetProvider_PRECE");
    const auto column = [](const char* name, const char* type, int size, bool required) {
        return QJsonObject{{"name", name}, {"type", type}, {"size", size}, {"required", required}};
    };
    EXPECT_EQ(goods["columns"].toArray(),
              (QJsonArray{column("PRECE", "text", 250, true), column("ARTIKULS", "text", 16, false),
                          column("ARTIKULS2", "text", 13, false), column("ISPRECE", "integer", 0, true),
                          column("KLIENTS", "text", 60, true), column("ISPRKLIENT", "integer", 0, false),
                          column("ART_PRECE", "text", 200, false), column("SKKASTE", "float", 0, false),
                          column("ALKOHOLS", "float", 0, false)}));
    EXPECT_EQ(goods["rows"][0].toArray(),
              (QJsonArray{"Alus", "2001", QJsonValue::Null, 2, "Vidzemes Alus", 2, "2001\r\nAlus", 20, 5}));
    EXPECT_EQ(goods["rows"][2].toArray(),
              (QJsonArray{"Piens", "1001", "4750001", 1, "Zemgales Piens", 1, "1001\r\nPiens", 12, 0}));
    const QString longName = QStringLiteral("Olas ") + QString(240, 'x');
    EXPECT_EQ(goods["rows"][1][0], longName);
    EXPECT_EQ(goods["rows"][1][6], ("9001\r\n" + longName).left(200));

    setOperator(std::nullopt, kDecember);
    EXPECT_EQ(cell(open("DataSetProvider_PRECE"), 2, "ART_PRECE"), "\r\nSiers");
}

TEST_F(PendingLinesTest, AChangeOfTheOperatorTakesEffectWithTheNextRequest)
{
    setOperator(std::nullopt, kDecember);
    EXPECT_EQ(integerColumn(pendingLines(1, "R"), "ISN"), (std::vector<qint64>{1002, 1001, 1028, 1003}));
    operatorValues.setHiddenDepartment(3);
    EXPECT_EQ(integerColumn(pendingLines(1, "R"), "ISN"), (std::vector<qint64>{1001, 1028, 1003, 1008}));
    operatorValues.setDateTo({2026, 12, 9});
    EXPECT_EQ(integerColumn(open("DataSetProvider_EMPLOYEE"), "ISN"), (std::vector<qint64>{1001, 1028, 1008}));
}

// --- The parameters the handlers bind ---

class HandlerTest : public ServiceTest {
protected:
    HandlerTest()
    {
        operatorValues.setDateFrom({2026, 3, 1});
        operatorValues.setDateTo({2026, 12, 9});
        operatorValues.setHiddenDepartment(7);
        operatorValues.setSendingDepartment(11);
    }

    std::vector<db::Param> params(std::initializer_list<std::pair<const char*, db::Value>> values)
    {
        std::vector<db::Param> list;
        for (const auto& [name, value] : values) {
            list.emplace_back(QString::fromLatin1(name));
            list.back().setValue(value);
        }
        return list;
    }

    service::TKelvoServerMethods_EMPLOYEE methods{context};
};

// The hidden department and the dates are part of the statement; the goods
// item is bound as an integer, the group as text, and nothing else sent is.
TEST_F(HandlerTest, PendingLinesBindTheGoodsItemAndTheGroupOnly)
{
    methods.open(u"DataSetProvider_EMPLOYEE", params({{"GRUPA", "Rīga"}, {"ISPRECE", "12"}, {"EXTRA", 1}}));
    const db::Query& dataSet = methods.dataSet(u"EMPLOYEE");
    ASSERT_EQ(dataSet.params().size(), 2u);
    EXPECT_EQ(dataSet.params()[0].name(), "ISPRECE");
    EXPECT_EQ(dataSet.params()[0].type(), db::Type::Integer);
    EXPECT_EQ(dataSet.params()[0].value(), db::Value(std::int32_t{12}));
    EXPECT_EQ(dataSet.params()[1].name(), "GRUPA");
    EXPECT_EQ(dataSet.params()[1].type(), db::Type::Text);
    EXPECT_EQ(dataSet.params()[1].value(), db::Value("Rīga"));
}

TEST_F(HandlerTest, GoodsListBindsNothingAndSortsByName)
{
    methods.open(u"DataSetProvider_PRECE", {});
    EXPECT_TRUE(methods.dataSet(u"PRECE").params().empty());
    // Firebird 3 sorts for DISTINCT by the first column, the name, already:
    // no row shows the sort clause.
    EXPECT_TRUE(methods.dataSet(u"PRECE").sql().endsWith(u"ORDER BY N_KLPREC.GNOS"));
}

TEST_F(HandlerTest, OpenWaybillsTakeTheOperatorsSendingDepartment)
{
    methods.open(u"DataSetProvider_O_PARPAV",
                 params({{"DATUMS", "09.12.2026"}, {"ISNODALANO", "99"}, {"ISNODALAUZ", std::int32_t{3}}}));
    const db::Query& dataSet = methods.dataSet(u"O_PARPAV");
    ASSERT_EQ(dataSet.params().size(), 3u);
    EXPECT_EQ(dataSet.params()[0].value(), db::Value("09.12.2026"));
    EXPECT_EQ(dataSet.params()[1].name(), "ISNODALANO");
    EXPECT_EQ(dataSet.params()[1].type(), db::Type::Integer);
    EXPECT_EQ(dataSet.params()[1].value(), db::Value(std::int32_t{11}));
    EXPECT_EQ(dataSet.params()[2].value(), db::Value(std::int32_t{3}));

    operatorValues.setSendingDepartment(std::nullopt);
    methods.open(u"DataSetProvider_O_PARPAV", {});
    EXPECT_EQ(dataSet.params()[1].value(), db::Value(std::int32_t{0}));
}
