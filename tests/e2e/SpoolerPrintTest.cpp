// A print request through a real CUPS spooler whose default printer is a PDF
// queue: one job with the operator's copy count, its copies made by the
// spooler (the PDF holds the waybill that many times).

#include "OperatorSettings.h"
#include "PrParvAlkoholaPZForm.h"
#include "PrParvietPZForm.h"
#include "PrintStation.h"
#include "TestDatabase.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QThread>

#include <gtest/gtest.h>

#include <pwd.h>
#include <unistd.h>

namespace {

// The page log line of the spooler's first job named `title`, waited for.
QString pageLogLine(const QString& cupsDir, const QString& title)
{
    for (int i = 0; i < 300; ++i) {
        QFile log(cupsDir + QStringLiteral("/log/page_log"));
        if (log.open(QIODevice::ReadOnly)) {
            for (const QString& line : QString::fromUtf8(log.readAll()).split(QLatin1Char('\n'))) {
                if (line.contains(title))
                    return line;
            }
        }
        QThread::msleep(100);
    }
    return {};
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

int pdfPages(const QString& path)
{
    QProcess info;
    info.start(QStringLiteral("pdfinfo"), {path});
    info.waitForFinished();
    const auto match = QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(QString::fromUtf8(info.readAll()));
    return match.hasMatch() ? match.captured(1).toInt() : -1;
}

TEST(SpoolerPrintTest, TheWaybillReachesTheDefaultPrinterAsOneJobWithTheOperatorsCopies)
{
    const QString cupsDir = qEnvironmentVariable("KELVO_TEST_CUPS_DIR");
    ASSERT_FALSE(cupsDir.isEmpty());
    const testsupport::TestDatabase database({testsupport::sourcePath(QStringLiteral("db/demo-data.sql"))});
    host::OperatorSettings settings(database.options(db::TransactionMode::Explicit));
    settings.setCopies(2);
    settings.openDepartmentLists();
    reports::TPrParvietPZ general(settings.operatorConnection());
    reports::TPrParvAlkoholaPZ alcohol(settings.operatorConnection());
    service::PrintStation station(settings, general, alcohol, service::targetDevices({}, settings.operatorConnection()));
    const qsizetype pagesOfOneCopy = general.pageDocument(1).pages.size();
    ASSERT_GT(pagesOfOneCopy, 0);

    const QDateTime started = QDateTime::currentDateTime().addSecs(-1);
    station.printRequest(1, 0);

    // "printer job user copies pages title"
    const QStringList job = pageLogLine(cupsDir, QStringLiteral("PĀRVIETOŠANAS PAVADZĪME")).split(QLatin1Char(' '));
    ASSERT_GE(job.size(), 5) << "no job reached the spooler";
    EXPECT_EQ(job[0], QStringLiteral("kelvo-pdf"));
    EXPECT_EQ(job[3], QStringLiteral("2"));

    QStringList pdfs;
    for (int i = 0; i < 100 && pdfs.isEmpty(); ++i, QThread::msleep(100))
        pdfs = pdfsSince(started);
    ASSERT_EQ(pdfs.size(), 1) << "the queue wrote no PDF, or more than one";
    EXPECT_EQ(pdfPages(pdfs.front()), 2 * pagesOfOneCopy);
    QFile::remove(pdfs.front());
}

}  // namespace
