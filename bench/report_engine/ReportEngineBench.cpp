// A report of 2,000 detail records (about 50 pages): the engine's layout
// alone, and layout plus PDF, each against painting the same number of text
// runs straight onto a QPdfWriter without the engine, in the same process.
// Each run prints other goods (their articles and names differ), as one
// waybill after another does, so that no run finds the texts of the one
// before it measured. Target: layout plus PDF within 1.1 times the straight
// painting; the exit status is 1 when it is missed.

#include "PrintDevices.h"
#include "ReportModel.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QPdfWriter>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

using namespace engine;

namespace {

constexpr int kRecords = 2000;
constexpr int kRepeats = 5;
constexpr double kMaxRatio = 1.1;

struct Column {
    const char* caption;
    const char* field;
    qreal left;
    qreal width;
    Alignment alignment;
    const char* mask;
};

const Column kColumns[] = {
    {"Artikuls", "ART", 40, 80, Alignment::Left, ""},
    {"Preces nosaukums", "NAME", 122, 250, Alignment::Left, ""},
    {"Mērv.", "UNIT", 374, 40, Alignment::Left, ""},
    {"Daudzums", "QTY", 416, 70, Alignment::Right, "#0.000"},
    {"Cena", "PRICE", 488, 70, Alignment::Right, "#0.00"},
    {"Summa", "SUM", 560, 80, Alignment::Right, "#0.00"},
};

QString goodsName(int i)
{
    return QStringLiteral("Prece numur %1, iepakojumā %2 gab.").arg(i).arg(i % 24 + 1);
}

// The records of run `run`: goods numbered on from those of the run before.
std::unique_ptr<MemoryDataSet> makeData(int run)
{
    auto data = std::make_unique<MemoryDataSet>(QStringList{"ART", "NAME", "UNIT", "QTY", "PRICE", "SUM"});
    for (int i = 1; i <= kRecords; ++i) {
        const int goods = run * kRecords + i;
        const double quantity = i % 17 + 0.5, price = (i % 89) * 1.37;
        data->addRow({QStringLiteral("A%1").arg(100000 + goods), goodsName(goods), QStringLiteral("gab."), quantity,
                      price, quantity * price});
    }
    data->open();
    return data;
}

void layOut(Report& report)
{
    Band& header = report.addBand(BandKind::PageHeader, "PageHeader", 40);
    header.addLabel("Heading", "PĀRVIETOŠANAS PAVADZĪME", QRectF(0, 4, 0, 20)).setFont({.pointSize = 12, .bold = true});
    SystemData& page = header.addSystemData("PageNo", SystemDataKind::PageNumber, "Lappuse : ", QRectF(0, 4, 90, 17));
    page.setAlignment(Alignment::Right);
    page.setAlignToBand(true);

    Band& columns = report.addBand(BandKind::ColumnHeader, "Columns", 24);
    columns.frame() = Frame{true, true, 2};
    Band& detail = report.addBand(BandKind::Detail, "Detail", 24);
    SystemData& lineNo = detail.addSystemData("LineNo", SystemDataKind::DetailNumber, "", QRectF(0, 4, 38, 16));
    lineNo.setAutoSize(false);
    for (const Column& c : kColumns) {
        columns.addLabel(QStringLiteral("HD%1").arg(c.field), c.caption, QRectF(c.left, 4, c.width, 17))
            .setFont({.pointSize = 8, .bold = true});
        FieldText& value = detail.addFieldText(QStringLiteral("DT%1").arg(c.field), c.field,
                                               QRectF(c.left, 4, c.width, 16));
        value.setAutoSize(false);
        value.setAlignment(c.alignment);
        value.setMask(c.mask);
        value.setFont({.pointSize = 9});
    }
    Band& summary = report.addBand(BandKind::Summary, "Summary", 24);
    summary.frame().drawTop = true;
    summary.addExpression("SUMQTY", "SUM(ReportSQL.QTY)", QRectF(416, 4, 70, 17)).setMask("#0.000");
    summary.addExpression("SUMSUM", "SUM(ReportSQL.SUM)", QRectF(560, 4, 80, 17)).setMask("#0.00");
}

// Best of several runs, in milliseconds; `work` is given the run's number.
double bestOf(const std::function<void(int)>& work)
{
    static int runs = 0;
    double best = 1e300;
    for (int i = 0; i < kRepeats; ++i) {
        QElapsedTimer timer;
        timer.start();
        work(runs++);
        best = std::min(best, timer.nsecsElapsed() / 1e6);
    }
    return best;
}

// `runs` text runs over `pages` pages in rows of the detail's columns,
// painted with QPainter alone.
void paintDirectly(const QString& path, int pages, int runs)
{
    QPdfWriter writer(path);
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF()));
    QPainter painter(&writer);
    const QFont font = toQFont({.pointSize = 9});
    const int perPage = (runs + pages - 1) / pages;
    const int perRow = int(std::size(kColumns));
    for (int run = 0, page = 0; run < runs; ++page) {
        if (page > 0)
            writer.newPage();
        painter.resetTransform();
        painter.scale(writer.logicalDpiX() / 96.0, writer.logicalDpiY() / 96.0);
        painter.setFont(font);
        for (int onPage = 0; onPage < perPage && run < runs; ++onPage, ++run) {
            const Column& column = kColumns[run % perRow];
            const QPointF at(38 + column.left, 80 + (onPage / perRow) * 24);
            painter.drawText(at, run % perRow == 1 ? goodsName(run) : QString::number(run * 1.37, 'f', 2));
        }
    }
}

std::size_t textRunsOf(const PageDocument& document)
{
    std::size_t runs = 0;
    for (const Page& page : document.pages)
        runs += page.textRuns().size();
    return runs;
}

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    checkReportFont();
    QTemporaryDir dir;

    Report report;
    layOut(report);
    // The records of every run made before any is timed.
    std::vector<std::unique_ptr<MemoryDataSet>> data;
    for (int run = 0; run < 2 * kRepeats; ++run)
        data.push_back(makeData(run));
    const auto printRun = [&](int run, OutputDevice& device) {
        report.setDataSet(data[std::size_t(run)].get());
        report.print(device);
    };

    RecordingDevice recorder;
    const double layoutMs = bestOf([&](int run) { printRun(run, recorder); });
    const PageDocument& document = recorder.jobs().back().document;
    const int pages = int(document.pages.size());
    const int runs = int(textRunsOf(document));

    const double layoutAndPdfMs = bestOf([&](int run) {
        PdfDevice pdf(dir.filePath("engine.pdf"));
        printRun(run, pdf);
    });
    const double directMs = bestOf([&](int) { paintDirectly(dir.filePath("direct.pdf"), pages, runs); });

    // One figure a line, "name: value unit", as scripts/run-bench shows them.
    std::printf("report engine records: %d\nreport engine pages: %d\nreport engine text runs: %d\n", kRecords,
                pages, runs);
    std::printf("report engine direct QPdfWriter painting (best of %d): %.1f ms\n", kRepeats, directMs);
    std::printf("report engine layout alone: %.1f ms\n", layoutMs);
    std::printf("report engine layout alone / direct painting: %.2f x\n", layoutMs / directMs);
    std::printf("report engine layout + PDF: %.1f ms\n", layoutAndPdfMs);
    std::printf("report engine layout + PDF / direct painting: %.2f x\n", layoutAndPdfMs / directMs);
    const bool met = layoutAndPdfMs <= kMaxRatio * directMs;
    std::printf("target report engine layout + PDF <= %.1f x direct painting: %s\n", kMaxRatio, met ? "met" : "missed");
    return met ? 0 : 1;
}
