// End to end: a waybill of the demo database printed to a PDF file, read
// back with pdftotext.

#include "PrParvietPZForm.h"
#include "PrintDevices.h"
#include "TestDatabase.h"

#include <gtest/gtest.h>

#include <QDate>
#include <QProcess>
#include <QTemporaryDir>

namespace {

#ifdef PDFTOTEXT_EXECUTABLE
QString pdfText(const QString& pdf)
{
    QProcess pdftotext;
    pdftotext.start(QStringLiteral(PDFTOTEXT_EXECUTABLE), {pdf, QStringLiteral("-")});
    EXPECT_TRUE(pdftotext.waitForFinished(30000));
    return QString::fromUtf8(pdftotext.readAllStandardOutput());
}
#endif

// Demo waybill 5: series PL, from the central warehouse to the shop
// "Centrs", with the organisation on both sides, its own accounts, three
// lines (one with a certificate, one with a comment), the sale amount in
// words, the driver line and the internal number.
TEST(GeneralWaybillPdf, PrintsAWholeDemoWaybill)
{
#ifndef PDFTOTEXT_EXECUTABLE
    GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
#else
    const testsupport::TestDatabase database({testsupport::sourcePath(QStringLiteral("db/demo-data.sql"))});
    auto precesDb = database.connect(db::TransactionMode::Explicit);
    reports::TPrParvietPZ form(*precesDb);
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("waybill.pdf"));
    engine::PdfDevice device(pdf);
    ASSERT_EQ(form.printWaybill(5, 1, device), engine::PrintResult::Printed);

    const QString text = pdfText(pdf);
    const QString yesterday = QDate::currentDate().addDays(-1).toString(QStringLiteral("dd.MM.yyyy"));
    for (const QString& expected : {
             QStringLiteral("Lappuse : 1"), QStringLiteral("9171800416-") + yesterday,
             QStringLiteral("Ieksējais Nr 5"), QStringLiteral("Preču pārvietošanas pavadzīme"),
             QStringLiteral("PL-9171800416"), QStringLiteral("SIA \"Dzintarkrasts\""),
             QStringLiteral("Veikals \"Centrs\""), QStringLiteral("Apraksts : Preču pārvietošana starp struktūrvienībām"),
             QStringLiteral("Renault Master Reģ.Nr.AE8812094 Auto LD-915 Ilze Liepiņa"),
             QStringLiteral("Nr. Pēc"), QStringLiteral("Daudzums"), QStringLiteral("Pārd.summa"),
             QStringLiteral("Sviests 82% tauku, 200 g \\ Atbilstības"), QStringLiteral("sert. PVD-2025/0412"),
             QStringLiteral("Kliņģeris ar rozīnēm, 1 kg \\ Svētku"),
             QStringLiteral("Preces pieņemtas bez iebildumiem"), QStringLiteral("Pārd.summa vārdiem : **"),
             QStringLiteral("Bez PVN D-2131 K-2130"), QStringLiteral("PVN D-5721 K-5722"), QStringLiteral("PVN 0%"),
             QStringLiteral("SIA \"Dzintarkrasts\" kontējumi :"), QStringLiteral("Izsniedza :"),
             QStringLiteral("www.dzintarkrasts.lv, birojs@dzintarkrasts.lv"), QStringLiteral("Otrā piegāde")})
        EXPECT_TRUE(text.contains(expected)) << qPrintable(expected) << "\n--- in ---\n" << qPrintable(text);
    // columns switched off do not print
    EXPECT_FALSE(text.contains(u"Iep.cena"));
    EXPECT_FALSE(text.contains(u"Preces grupa"));
#endif
}

}  // namespace
