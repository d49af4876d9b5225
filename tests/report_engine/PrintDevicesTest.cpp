// Output devices end to end: the text of the PDF they write, copies as
// repeated page sets, jobs that leave no file, and printers that are not
// there.

#include "CaseName.h"
#include "TestReport.h"
#include "TextLayout.h"

#include <QFile>
#include <QImage>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

using namespace engine;
using namespace engine::test;

namespace {

// The text of each page, as pdftotext extracts it.
QStringList pdfPages(const QString& path)
{
    QProcess pdftotext;
    pdftotext.start("pdftotext", {"-layout", path, "-"});
    EXPECT_TRUE(pdftotext.waitForFinished(30000)) << "pdftotext did not run";
    QStringList pages = QString::fromUtf8(pdftotext.readAllStandardOutput()).split('\f');
    if (!pages.isEmpty() && pages.last().trimmed().isEmpty())
        pages.removeLast();
    return pages;
}

// A report of two pages.
void fillTwoPages(TestReport& t)
{
    t.addRecords(int((t.pageSpace() - 120) / 20) + 1);
}

struct DeviceCase {
    const char* name;
    std::function<std::unique_ptr<OutputDevice>(const QString& path)> make;
};

class PdfText : public ::testing::TestWithParam<DeviceCase> {};

TEST_P(PdfText, CopiesAreRepeatedPageSetsNumberedFromOne)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("report.pdf");
    TestReport t;
    fillTwoPages(t);
    t.report.printerSettings().copies = 3;
    const auto device = GetParam().make(path);
    ASSERT_EQ(t.report.print(*device), PrintResult::Printed);
    EXPECT_EQ(t.beforePrintRuns, 1);
    EXPECT_EQ(t.afterPrintRuns, 1);

    const QStringList pages = pdfPages(path);
    ASSERT_EQ(pages.size(), 6);
    for (int i = 0; i < pages.size(); ++i) {
        const bool firstOfCopy = i % 2 == 0;
        EXPECT_TRUE(pages[i].contains(QString("Page %1").arg(i % 2 + 1))) << qPrintable(pages[i]);
        EXPECT_TRUE(pages[i].contains("Test header"));
        EXPECT_EQ(pages[i].contains("Title of the test report"), firstOfCopy);
        EXPECT_EQ(pages[i].contains("End of report"), !firstOfCopy);
        EXPECT_EQ(pages[i].contains("Total") && pages[i].contains("47,000"), !firstOfCopy);
    }
}

// Qt's own PDF output cannot make copies, so the printer device repeats the
// pages itself, as it does for a printer without copy support.
INSTANTIATE_TEST_SUITE_P(
    PrintDevices, PdfText,
    ::testing::Values(DeviceCase{"pdf_writer", [](const QString& path) { return std::make_unique<PdfDevice>(path); }},
                      DeviceCase{"printer_without_copies",
                                 [](const QString& path) {
                                     auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
                                     printer->setOutputFormat(QPrinter::PdfFormat);
                                     printer->setOutputFileName(path);
                                     return std::make_unique<PrinterDevice>(std::move(printer));
                                 }}),
    testsupport::CaseName());

// A background painted after a text covers the part of it that lies within.
TEST(PrintDevices, LaterBackgroundsCoverEarlierInk)
{
    const TextBlock text = layOutText("XXXXXXXX", toQFont(FontSpec{.pointSize = 20, .bold = true}), std::nullopt);
    Page page;
    page.items.push_back(TextRun{QPointF(10, 10 + text.ascent), text.lines[0], text.font, text.widths[0],
                                 text.ascent, text.lineHeight, "Text"});
    page.items.push_back(FillRect{QRectF(60, 0, 200, 100), "Cover"});
    QImage image(200, 60, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        paintPage(painter, page);
    }
    const auto inkBetween = [&image](int fromX, int toX) {
        int dark = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = fromX; x < toX; ++x)
                dark += qGray(image.pixel(x, y)) < 128;
        return dark;
    };
    EXPECT_GT(inkBetween(10, 60), 0);
    EXPECT_EQ(inkBetween(60, 200), 0);
}

TEST(PrintDevices, APdfJobWithoutPagesOrCancelledLeavesNoFile)
{
    QTemporaryDir dir;
    {
        TestReport empty;
        PdfDevice device(dir.filePath("empty.pdf"));
        EXPECT_EQ(empty.report.print(device), PrintResult::Printed);
        EXPECT_EQ(empty.afterPrintRuns, 1);
        EXPECT_FALSE(QFile::exists(dir.filePath("empty.pdf")));
    }
    TestReport cancelled;
    cancelled.addRecords(20);
    QObject::connect(&cancelled.report.progress(), &PrintProgress::recordPrinted,
                     [&](int printed, int) {
                         if (printed == 3)
                             cancelled.report.progress().requestCancel();
                     });
    PdfDevice device(dir.filePath("cancelled.pdf"));
    EXPECT_EQ(cancelled.report.print(device), PrintResult::Cancelled);
    EXPECT_FALSE(QFile::exists(dir.filePath("cancelled.pdf")));
}

TEST(PrintDevices, AFileThatCannotBeWrittenFailsBeforeTheBandsPrint)
{
    TestReport t;
    t.addRecords(3);
    PdfDevice device("/nonexistent-folder/report.pdf");
    EXPECT_THROW(t.report.print(device), EngineError);
    EXPECT_EQ(t.beforePrintRuns, 1);
    EXPECT_EQ(t.afterPrintRuns, 0);
}

TEST(PrintDevices, APrinterThatIsNotThereIsNotUsable)
{
    EXPECT_FALSE(PrinterDevice("No such printer, surely").isUsable());
    if (!QPrinterInfo::defaultPrinter().isNull())
        GTEST_SKIP() << "this machine has a default printer";
    TestReport t;
    t.addRecords(3);
    PrinterDevice defaultPrinter;
    EXPECT_EQ(t.report.print(defaultPrinter), PrintResult::NoPrinter);
    EXPECT_EQ(t.beforePrintRuns, 0);
}

}  // namespace
