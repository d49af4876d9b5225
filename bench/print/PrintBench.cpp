// Benchmark 4: a general and an alcohol waybill of 300 lines printed to PDF,
// 2 copies. Each print is split into its database share (the report query
// alone, run with the statement and parameters the form used), its layout
// (a print to a recording device less the database share) and its PDF (a
// print to a PDF file less the print to a recording device). Target: layout
// and PDF together under the database share plus 1 ms per line.
//   kelvo-bench-print SOURCE_DIR   (the tree holding db/schema.sql)

#include "BenchMain.h"
#include "BenchOutput.h"
#include "Connection.h"
#include "DbError.h"
#include "Percentiles.h"
#include "PrParvAlkoholaPZForm.h"
#include "PrParvietPZForm.h"
#include "PrintDevices.h"
#include "Query.h"

#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <functional>
#include <memory>

namespace {

constexpr int kLines = 300;
constexpr int kCopies = 2;
constexpr int kRuns = 7;
// Demo waybills: 1 prints on the general form, 2 on the alcohol form.
constexpr std::int32_t kGeneralWaybill = 1;
constexpr std::int32_t kAlcoholWaybill = 2;

double millisecondsOf(const std::function<void()>& work)
{
    QElapsedTimer timer;
    timer.start();
    work();
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

// Fills the waybill up to kLines lines with copies of its own lines, so the
// goods, certificates and comments stay those the demo data has.
void growWaybill(db::Connection& connection, std::int32_t waybill)
{
    db::Query lines(connection, QStringLiteral("SELECT ISN FROM O_PARPRC WHERE ISPARVPAV = :W ORDER BY ISN"));
    lines.param(u"W").setValue(waybill);
    lines.open();
    std::vector<std::int32_t> originals;
    for (; !lines.eof(); lines.next())
        originals.push_back(lines.field(u"ISN").asInteger());
    db::Query last(connection, QStringLiteral("SELECT MAX(ISN) FROM O_PARPRC"));
    last.open();
    std::int32_t isn = last.field(0).asInteger();

    db::Query copy(connection, QStringLiteral(
        "INSERT INTO O_PARPRC (ISN, ISPARVPAV, ISPRECE, CENA, PARD_CENA, DAUDZUMS, NODOKLIS, ISSERTIF, PRECKOMENT) "
        "SELECT :ISN, ISPARVPAV, ISPRECE, CENA, PARD_CENA, DAUDZUMS + :N, NODOKLIS, ISSERTIF, PRECKOMENT "
        "FROM O_PARPRC WHERE ISN = :ORIGINAL"));
    for (int n = static_cast<int>(originals.size()); n < kLines; ++n) {
        copy.param(u"ISN").setValue(++isn);
        copy.param(u"N").setValue(n);
        copy.param(u"ORIGINAL").setValue(originals[static_cast<std::size_t>(n) % originals.size()]);
        copy.execute();
    }
}

// The report query alone, prepared once as the form's own stays prepared
// from print to print.
double reportQueryMilliseconds(db::Connection& connection, db::Query& query)
{
    const double ms = millisecondsOf([&] { query.open(); });
    if (query.recordCount() < kLines)
        throw std::runtime_error("the report query has fewer rows than the waybill has lines");
    query.close();
    if (connection.transaction().isActive())
        connection.transaction().commit();
    return ms;
}

bool measure(const QString& name, db::Connection& connection, reports::WaybillForm& form, std::int32_t waybill,
             const QDir& output)
{
    bench::Samples database, recorded, pdf;
    std::unique_ptr<db::Query> alone;
    std::size_t pages = 0;
    for (int run = 0; run < kRuns; ++run) {
        engine::RecordingDevice recording;
        recorded.add(millisecondsOf([&] { form.printWaybill(waybill, kCopies, recording); }));
        if (recording.jobs().size() != 1 || recording.jobs().front().settings.copies != kCopies)
            throw std::runtime_error("the form did not print one job of the copies asked for");
        pages = recording.jobs().front().document.pages.size();
        if (!alone) {
            alone = std::make_unique<db::Query>(connection, form.reportSql().sql());
            alone->setParams(form.reportSql().params());
        }
        database.add(reportQueryMilliseconds(connection, *alone));
        engine::PdfDevice file(output.filePath(name + QStringLiteral(".pdf")));
        pdf.add(millisecondsOf([&] { form.printWaybill(waybill, kCopies, file); }));
    }
    const double databaseMs = database.median();
    const double layoutMs = std::max(0.0, recorded.median() - databaseMs);
    const double pdfMs = std::max(0.0, pdf.median() - recorded.median());
    // Every figure is of one print of kLines lines in kCopies copies.
    const QString prefix = QStringLiteral("print.%1.").arg(name);
    bench::printFigure(prefix + QStringLiteral("pages_per_copy"), static_cast<double>(pages), "pages", 0);
    bench::printFigure(prefix + QStringLiteral("total_median"), pdf.median(), "ms");
    bench::printFigure(prefix + QStringLiteral("database_median"), databaseMs, "ms");
    bench::printFigure(prefix + QStringLiteral("layout_median"), layoutMs, "ms");
    bench::printFigure(prefix + QStringLiteral("pdf_median"), pdfMs, "ms");
    bench::printFigure(prefix + QStringLiteral("layout_pdf_per_line"), (layoutMs + pdfMs) / kLines, "ms", 3);
    return bench::printTarget(
        prefix + QStringLiteral("layout+pdf < database + %1 ms").arg(kLines),
        layoutMs + pdfMs < databaseMs + kLines * 1.0);
}

int run(const QString& sourceDir)
{
    QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/kelvo-bench-print-XXXXXX"));
    if (!dir.isValid())
        throw std::runtime_error("no temporary folder");
    db::ConnectionOptions options;
    options.database = dir.filePath(QStringLiteral("print.fdb"));
    const QDir source(sourceDir);
    db::Connection::createDatabase(options, {source.filePath(QStringLiteral("db/schema.sql")),
                                             source.filePath(QStringLiteral("db/demo-data.sql"))});
    {
        db::Connection setup(options);
        setup.attach();
        growWaybill(setup, kGeneralWaybill);
        growWaybill(setup, kAlcoholWaybill);
    }

    options.mode = db::TransactionMode::Explicit;
    db::Connection precesDb(options);
    precesDb.attach();
    const QDir output(dir.path());

    reports::TPrParvietPZ general(precesDb);
    const bool generalMet = measure(QStringLiteral("general"), precesDb, general, kGeneralWaybill, output);
    reports::TPrParvAlkoholaPZ alcohol(precesDb);
    const bool alcoholMet = measure(QStringLiteral("alcohol"), precesDb, alcohol, kAlcoholWaybill, output);
    return generalMet && alcoholMet ? 0 : 1;
}

}  // namespace

int main(int argc, char* argv[])
{
    QGuiApplication app(argc, argv);
    return bench::runBench("print bench", [&] { return run(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath()); });
}
