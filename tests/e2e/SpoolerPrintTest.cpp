// A print request through a real CUPS spooler whose default printer is a PDF
// queue: one job with the operator's copy count, its copies made by the
// spooler (the PDF holds the waybill that many times).

#include "OperatorDatabase.h"
#include "OperatorValues.h"
#include "PrParvAlkoholaPZForm.h"
#include "PrParvietPZForm.h"
#include "PrintStation.h"
#include "TestDatabase.h"

#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QThread>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>

#include <pwd.h>
#include <unistd.h>

namespace {

// Spooler work takes its time on a busy machine: every wait below is for a
// state, with a deadline far beyond what a quiet machine needs.
constexpr std::chrono::seconds kDeadline{120};

bool waitUntil(const std::function<bool()>& done)
{
    QDeadlineTimer deadline(kDeadline);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QThread::msleep(100);
    }
    return true;
}

struct Run {
    int exitCode = -1;
    QString out;
    QString err;
};

Run run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60000))
        return {};
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput()), QString::fromUtf8(process.readAllStandardError())};
}

// The page log line of the spooler's first job named `title`, waited for.
QString pageLogLine(const QString& cupsDir, const QString& title)
{
    QString found;
    waitUntil([&] {
        QFile log(cupsDir + QStringLiteral("/log/page_log"));
        if (!log.open(QIODevice::ReadOnly))
            return false;
        for (const QString& line : QString::fromUtf8(log.readAll()).split(QLatin1Char('\n'))) {
            if (line.contains(title))
                found = line;
        }
        return !found.isEmpty();
    });
    return found;
}

// Whether the spooler lists `job` ("kelvo-pdf-7") among its completed jobs:
// the queue's backend has then finished writing the PDF.
bool jobCompleted(const QString& job)
{
    const Run completed = run(QStringLiteral("lpstat"), {QStringLiteral("-W"), QStringLiteral("completed"),
                                                         QStringLiteral("-o"), QStringLiteral("kelvo-pdf")});
    const QRegularExpression line(QStringLiteral("^%1\\s").arg(QRegularExpression::escape(job)),
                                  QRegularExpression::MultilineOption);
    return completed.exitCode == 0 && line.match(completed.out).hasMatch();
}

// The PDF files cups-pdf wrote for this user since `since`.
QStringList pdfsSince(const QDateTime& since)
{
    const QDir out(QString::fromLocal8Bit(getpwuid(getuid())->pw_dir) + QStringLiteral("/PDF"));
    QStringList files;
    for (const QFileInfo& file : out.entryInfoList({QStringLiteral("*.pdf")}, QDir::Files)) {
        if (file.lastModified() >= since)
            files << file.filePath();
    }
    return files;
}

// The page count of a whole PDF; -1 while the reader finds it damaged (a
// file still being written reads as damaged and short).
int pdfPages(const QString& path)
{
    const Run info = run(QStringLiteral("pdfinfo"), {path});
    const auto match = QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(info.out);
    if (info.exitCode != 0 || !info.err.trimmed().isEmpty() || !match.hasMatch())
        return -1;
    return match.captured(1).toInt();
}

TEST(SpoolerPrintTest, TheWaybillReachesTheDefaultPrinterAsOneJobWithTheOperatorsCopies)
{
    const QString cupsDir = qEnvironmentVariable("KELVO_TEST_CUPS_DIR");
    ASSERT_FALSE(cupsDir.isEmpty());
    const testsupport::TestDatabase database({testsupport::sourcePath(QStringLiteral("db/demo-data.sql"))});
    operator_state::OperatorValues values;
    values.setCopies(2);
    operator_state::PrintLock printLock;
    operator_state::OperatorDatabase operatorDatabase(database.options(db::TransactionMode::Explicit), printLock);
    operatorDatabase.openDepartmentLists(printLock.acquire());
    printing::PrintStation station(values, operatorDatabase, printing::targetDevices({}));
    const qsizetype pagesOfOneCopy = station.PrParvietPZ(printLock.acquire()).pageDocument(1).pages.size();
    ASSERT_GT(pagesOfOneCopy, 0);

    const QDateTime started = QDateTime::currentDateTime().addSecs(-1);
    station.printRequest(1, 0);

    // "printer job user copies pages title"
    const QStringList job = pageLogLine(cupsDir, QStringLiteral("PĀRVIETOŠANAS PAVADZĪME")).split(QLatin1Char(' '));
    ASSERT_GE(job.size(), 5) << "no job reached the spooler";
    EXPECT_EQ(job[0], QStringLiteral("kelvo-pdf"));
    EXPECT_EQ(job[3], QStringLiteral("2"));

    const QString jobName = job[0] + QLatin1Char('-') + job[1];
    ASSERT_TRUE(waitUntil([&] { return jobCompleted(jobName); })) << "the spooler never completed " << jobName.toStdString();
    QStringList pdfs;
    ASSERT_TRUE(waitUntil([&] {
        pdfs = pdfsSince(started);
        return pdfs.size() == 1 && pdfPages(pdfs.front()) >= 0;
    })) << "the queue wrote no whole PDF, or more than one: " << pdfs.join(QLatin1Char(' ')).toStdString();
    EXPECT_EQ(pdfPages(pdfs.front()), 2 * pagesOfOneCopy);
    QFile::remove(pdfs.front());
}

}  // namespace
