// End to end: the demo's alcohol waybill as a PDF file, read back as text.

#include "My_proc.h"
#include "PrParvAlkoholaPZForm.h"
#include "TestDatabase.h"
#include "Value.h"

#include <QDate>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace alcoholwaybill {
namespace {

QString pdfText(const QString& pdf)
{
#ifdef PDFTOTEXT_EXECUTABLE
    const QString program = PDFTOTEXT_EXECUTABLE;
#else
    const QString program = "pdftotext";
#endif
    QProcess pdftotext;
    pdftotext.start(program, {"-enc", "UTF-8", pdf, "-"});
    if (!pdftotext.waitForFinished(30000) || pdftotext.exitCode() != 0)
        return {};
    return QString::fromUtf8(pdftotext.readAllStandardOutput());
}

// Demo waybill 2 (dated today): mineral water, beer with certificate 8 and
// the deposit bottle, from the central warehouse to the Purvciems shop.
TEST(AlcoholWaybillPdfTest, DemoWaybillPrintsItsTexts)
{
    testsupport::TestDatabase database({testsupport::sourcePath("db/demo-data.sql")});
    const auto connection = database.connect(db::TransactionMode::Explicit);
    reports::TPrParvAlkoholaPZ form(*connection);
    QTemporaryDir dir;
    const QString pdf = dir.filePath("alcohol.pdf");
    engine::PdfDevice device(pdf);

    ASSERT_EQ(form.printWaybill(2, 1, device), engine::PrintResult::Printed);

    const QString text = pdfText(pdf);
    const QString today = common::DateInWords(db::toDayCount(QDateTime(QDate::currentDate(), QTime())));
    for (const QString& expected : {
             QString("Pavadzīme"),
             QString("9171800418"),
             QString("Centrālā noliktava"),
             QString("Veikals \"Purvciems\""),
             QString("Iveco Daily (saldētava) Reģ.Nr.AG0457781 Auto HP-3306 Māris Ozoliņš"),
             QString("Minerālūdens gāzēts, 1,5 l"),
             QString("Sertif :Kvalitātes sert. VA-2025/12 SIA \"Vidzemes Alus\", alus"),
             QString("Stikla pudele 0,5 l (depozīta)"),
             QString("65,68"),
             QString("** Sešdesmit pieci lati 68 santīmi"),
             QString("PVN 0 %"),
             today + "/izsniegšanas datums/",
             today + "/piegādes datums/",
             QString("(paraksts Z.V)"),  // pdftotext joins the runs of spaces
         })
        EXPECT_TRUE(text.contains(expected)) << expected.toStdString() << "\n--- in ---\n" << text.toStdString();
}

}  // namespace
}  // namespace alcoholwaybill
