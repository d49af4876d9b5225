// The steps a handheld takes to build a waybill.

#include "WaybillFixture.h"

namespace servicetest {

void WaybillTest::buildAWaybillAsAHandheld()
{
    // The goods to collect and the lines of the first item.
    EXPECT_EQ(integerColumn(open("DataSetProvider_PRECE"), "ISPRECE"), (std::vector<qint64>{2, 1}));
    const QJsonObject milkLines = open("DataSetProvider_EMPLOYEE", QJsonObject{{"ISPRECE", 1}, {"GRUPA", "R"}});
    ASSERT_EQ(integerColumn(milkLines, "ISN"), std::vector<qint64>{1001});
    const int receiver = cell(milkLines, 0, "ISNODALA").toInt();

    // Create the waybill and find its key among the open ones.
    EXPECT_EQ(execute("DataSetProvider_O_PARPAVins", newWaybill(receiver)), 1);
    const QJsonObject openWaybill{{"DATUMS", "2026-12-09"}, {"ISNODALANO", 0}, {"ISNODALAUZ", receiver}};
    const QJsonObject listed = open("DataSetProvider_O_PARPAV", openWaybill);
    ASSERT_EQ(listed["rows"].toArray().size(), 1);
    const int waybill = cell(listed, 0, "ISN").toInt();

    // A line for each goods item, its key read back; the collected
    // quantities recorded on the order lines.
    const auto addLine = [&](int goods, double quantity) {
        EXPECT_EQ(execute("DataSetProvider_O_PARPRCins",
                          QJsonObject{{"ISPARVPAV", waybill}, {"ISPRECE", goods}, {"PARD_CENA", 0.89}, {"CENA", 0.7},
                                      {"DAUDZUMS", quantity}, {"NODOKLIS", 21}, {"ISSERTIF", 0}}),
                  1);
        return cell(open("DataSetProvider_O_PARPRCnew"), 0, "ISN").toInt();
    };
    const int milkLine = addLine(1, 10);
    EXPECT_EQ(execute("DataSetProvider_O_PASPRCupd", QJsonObject{{"ATKR_DAUDZ", 10}, {"ISPASPRC", 0}, {"ISN", 1001}}), 1);
    addLine(2, 1);
    EXPECT_EQ(execute("DataSetProvider_O_PASPRCupd", QJsonObject{{"ATKR_DAUDZ", 1}, {"ISPASPRC", 0}, {"ISN", 1002}}), 1);

    // A certificate for the milk line, and the car.
    const QJsonObject certificates = open("DataSetProvider_sertifikati", QJsonObject{{"ISPRECE", 1}, {"ISDEPART", receiver}});
    ASSERT_EQ(integerColumn(certificates, "ISSERTIF"), std::vector<qint64>{2});
    EXPECT_EQ(execute("DataSetProvider_O_PARPRCupd", QJsonObject{{"ISSERTIF", 2}, {"ISN", milkLine}}), 1);
    const int car = cell(open("DataSetProvider_soferi"), 0, "ISN").toInt();
    EXPECT_EQ(execute("DataSetProvider_O_PARPAVupd", QJsonObject{{"ISMASINA", car}, {"ISN", waybill}}), 1);

    // The collected milk has left the pending lists; the spirit, collected
    // in part, stays.
    EXPECT_TRUE(open("DataSetProvider_EMPLOYEE")["rows"].toArray().isEmpty());
    EXPECT_EQ(integerColumn(open("DataSetProvider_PRECE"), "ISPRECE"), std::vector<qint64>{2});
    const QJsonObject after = open("DataSetProvider_O_PARPAV", openWaybill);
    EXPECT_EQ(after["rows"].toArray(), (QJsonArray{QJsonArray{waybill, car, 1, 2}}));
    EXPECT_EQ(select("SELECT NR_PAVADZ, ISNODALANO, ISMASINA FROM O_PARPAV"),
              (std::vector<std::vector<db::Value>>{{"9171900001", std::int32_t{1}, std::int32_t{car}}}));
    EXPECT_EQ(select(QString("SELECT ISSERTIF, ISPRECE FROM O_PARPRC WHERE ISN = %1").arg(milkLine)),
              (std::vector<std::vector<db::Value>>{{std::int32_t{2}, std::int32_t{1}}}));
}

}  // namespace servicetest
