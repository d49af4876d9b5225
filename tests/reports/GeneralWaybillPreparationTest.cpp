// The print as a whole: the report statement, which lines print, the
// blocking after the print, failures, and prints following one another.

#include "GeneralWaybillFixture.h"

#include "DbError.h"
#include "PrintDevices.h"

namespace gwtest {
namespace {

using PreparationTest = GeneralWaybillTest;

// The key is written into the statement, which sets no order: the lines
// print as they were stored, which is neither the order of their keys, nor
// of their goods items' keys or names, nor of their quantities.
TEST_F(PreparationTest, PrintsTheWaybillsOwnLinesAsTheyWereStored)
{
    setIsi(QStringLiteral("ISIPARVGNOS = 'T'"));
    run(QStringLiteral(
        "INSERT INTO N_KLPREC (ISN, GNOS, ISPRGRUPA) VALUES (3, 'Ābols', 1);"
        "INSERT INTO N_KLPREC (ISN, GNOS, ISPRGRUPA) VALUES (2, 'Zivs', 1);"
        "INSERT INTO O_PARPAV (ISN, DATUMS, NR_PAVADZ, PZ_SERIJA, ISNODALANO, ISNODALAUZ)"
        " VALUES (6, '2026-03-01', '43', 'PL', 1, 2);"
        "INSERT INTO O_PARPRC (ISN, ISPARVPAV, ISPRECE, DAUDZUMS) VALUES (9, 5, 3, 1);"
        "INSERT INTO O_PARPRC (ISN, ISPARVPAV, ISPRECE, DAUDZUMS) VALUES (3, 5, 2, 2);"
        "INSERT INTO O_PARPRC (ISN, ISPARVPAV, ISPRECE, DAUDZUMS) VALUES (4, 6, 2, 5);"));
    EXPECT_EQ(linesOf(print(), QStringLiteral("DTNosaukums")), QStringList({"Piens", "Ābols", "Zivs"}));
    EXPECT_TRUE(form.reportSql().params().empty());
}

TEST_F(PreparationTest, PrintsOneJobWithTheCopiesInPortrait)
{
    form.QuickRep1.page().orientation = QPageLayout::Landscape;
    engine::RecordingDevice device;
    EXPECT_EQ(form.printWaybill(kWaybill, 3, device), engine::PrintResult::Printed);
    ASSERT_EQ(device.jobs().size(), 1u);
    const engine::PrintJob& job = device.jobs().front().settings;
    EXPECT_EQ(job.copies, 3);
    EXPECT_EQ(job.orientation, QPageLayout::Portrait);
    EXPECT_EQ(job.title, QStringLiteral("PĀRVIETOŠANAS PAVADZĪME"));
    EXPECT_EQ(job.outputBin, engine::OutputBin::First);
    EXPECT_EQ(device.jobs().front().document.pages.size(), 1u);
}

TEST_F(PreparationTest, AfterPrintingTheWaybillIsBlockedAndTheTransactionCommitted)
{
    run(QStringLiteral("UPDATE O_PARPAV SET PZ_BLOK = 'F' WHERE ISN = 5"));
    print();
    EXPECT_EQ(waybillField(QStringLiteral("PZ_BLOK")), QStringLiteral("T"));  // seen from another connection
    EXPECT_FALSE(precesDb->transaction().isActive());
}

TEST_F(PreparationTest, AWaybillWithoutLinesPrintsNothingAndIsBlockedAllTheSame)
{
    run(QStringLiteral("DELETE FROM O_PARPRC"));
    EXPECT_TRUE(print().pages.empty());
    EXPECT_EQ(waybillField(QStringLiteral("PZ_BLOK")), QStringLiteral("T"));
}

struct DroppedLineCase {
    const char* name;
    const char* script;  // makes the second line (goods item 2) lose a join
    QStringList goodsPrinted;  // sorted
};

class DroppedLineTest : public GeneralWaybillTest, public ::testing::WithParamInterface<DroppedLineCase> {};

// The statement joins the goods item, its group and both departments: a line
// missing any of them does not print.
TEST_P(DroppedLineTest, LinesMissingAJoinedRowDoNotPrint)
{
    setIsi(QStringLiteral("ISIPARVGNOS = 'T'"));
    run(QStringLiteral(
        "INSERT INTO N_PRGRUP (ISN, GNOS) VALUES (2, 'Maize');"
        "INSERT INTO N_KLPREC (ISN, GNOS, ISPRGRUPA) VALUES (2, 'Maize', 2);"
        "INSERT INTO O_PARPRC (ISN, ISPARVPAV, ISPRECE, DAUDZUMS) VALUES (2, 5, 2, 1);"));
    run(QString::fromUtf8(GetParam().script));
    QStringList goods = linesOf(print(), QStringLiteral("DTNosaukums"));
    goods.sort();  // the statement sets no order
    EXPECT_EQ(goods, GetParam().goodsPrinted);
}

INSTANTIATE_TEST_SUITE_P(
    Joins, DroppedLineTest,
    ::testing::Values(DroppedLineCase{"Complete", "UPDATE N_PRGRUP SET KODS = 'M' WHERE ISN = 2", {"Maize", "Piens"}},
                      DroppedLineCase{"GoodsGroupMissing", "DELETE FROM N_PRGRUP WHERE ISN = 2", {"Piens"}},
                      DroppedLineCase{"GoodsItemMissing", "DELETE FROM N_KLPREC WHERE ISN = 2", {"Piens"}},
                      DroppedLineCase{"ReceivingDepartmentMissing", "DELETE FROM N_DEPART WHERE ISN = 2", {}},
                      DroppedLineCase{"SendingDepartmentMissing", "DELETE FROM N_DEPART WHERE ISN = 1", {}}),
    CaseName());

struct FailureCase {
    const char* name;
    const char* script;
};

class FailedPreparationTest : public GeneralWaybillTest, public ::testing::WithParamInterface<FailureCase> {};

// The print ends with the database's error before anything is printed, and
// the waybill stays open.
TEST_P(FailedPreparationTest, EndsThePrintBeforeAnythingPrints)
{
    run(QString::fromUtf8(GetParam().script));
    engine::RecordingDevice device;
    EXPECT_THROW(form.printWaybill(kWaybill, 1, device), db::DbError);
    EXPECT_TRUE(device.jobs().empty());
    EXPECT_EQ(waybillField(QStringLiteral("PZ_BLOK")), QString());
}

INSTANTIATE_TEST_SUITE_P(
    Failures, FailedPreparationTest,
    ::testing::Values(
        // both tries of the report statement fail
        FailureCase{"ReportStatement", "DROP TABLE N_PRGRUP"},
        FailureCase{"SecondSettingsTable", "DROP TABLE N_ISI2"},
        // a switch read from N_ISI2 when N_ISI lacks it, missing there too
        FailureCase{"SwitchMissingFromBothTables", "ALTER TABLE N_ISI2 DROP ISIPARVTEMPERATURA"},
        // a column with a total reads its switch from N_ISI only
        FailureCase{"SwitchOfAColumnWithATotalMissing", "ALTER TABLE N_ISI DROP ISIPARVKASTES;"
                                                        "ALTER TABLE N_ISI2 ADD ISIPARVKASTES CHAR(1);"
                                                        "UPDATE N_ISI2 SET ISIPARVKASTES = 'T'"}),
    CaseName());

// Each print reads the settings anew and starts from the design layout, so
// a second print with other settings follows its own.
TEST_F(PreparationTest, ASecondPrintFollowsItsOwnSettings)
{
    setIsi(QStringLiteral("ISIPARVNRPK = 'T', ISIPARVART = 'T', ISIIZRARTIKGARUMS = 15"));
    const engine::PageDocument first = print();
    EXPECT_EQ(placeOf(first, QStringLiteral("HDArtikuls"))->left(), 50);
    EXPECT_EQ(placeOf(first, QStringLiteral("HDArtikuls"))->width(), 120);
    EXPECT_EQ(placeOf(first, QStringLiteral("HDDaudzums"))->left(), 171);

    setIsi(QStringLiteral("ISIPARVNRPK = 'F', ISIPARVART = 'T', ISIIZRARTIKGARUMS = 0"));
    const engine::PageDocument second = print();
    EXPECT_FALSE(printed(second, QStringLiteral("HDNrPK")));
    EXPECT_EQ(placeOf(second, QStringLiteral("HDArtikuls"))->left(), 0);
    EXPECT_EQ(placeOf(second, QStringLiteral("HDArtikuls"))->width(), 103);
    EXPECT_EQ(placeOf(second, QStringLiteral("DTArtikuls"))->width(), 103);
    EXPECT_EQ(placeOf(second, QStringLiteral("HDDaudzums"))->left(), 104);
}

}  // namespace
}  // namespace gwtest
