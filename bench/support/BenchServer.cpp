#include "BenchServer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

#include <stdexcept>

namespace bench {

namespace {

quint16 freeLoopbackPort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        throw std::runtime_error("no free loopback port");
    return probe.serverPort();
}

bool answers(quint16 port)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    return socket.waitForConnected(200);
}

}  // namespace

BenchServer::BenchServer(const QString& program, const QString& warehouse, const WarehouseFacts& facts)
    : program_(program), folder_(QFileInfo(warehouse).absolutePath() + QStringLiteral("/bench-run-XXXXXX"))
{
    if (!folder_.isValid() || !QFile::copy(warehouse, database()))
        throw std::runtime_error("cannot copy " + warehouse.toStdString() + " for the server");
    QFile::setPermissions(database(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    writeSettingsStore(facts);
}

BenchServer::~BenchServer()
{
    stop();
}

// The operator's settings as the server restores them at start: the working
// range of the warehouse, its central warehouse as the sending department,
// one shop hidden, and the counter past the generated waybill numbers.
void BenchServer::writeSettingsStore(const WarehouseFacts& facts) const
{
    const QString dir = folder_.filePath(QStringLiteral("config/ZEMBRIK/Tolvira"));
    const QString dateFormat = QStringLiteral("dd.MM.yyyy");
    const QJsonObject values{
        {QStringLiteral("Datums"), facts.firstWorkingDay.toString(dateFormat)},
        {QStringLiteral("Datums2"), facts.lastDay.toString(dateFormat)},
        {QStringLiteral("Nodala"), facts.sendingDepartment},
        {QStringLiteral("Nerad_nodala"), facts.hiddenDepartment},
        {QStringLiteral("Kopijas"), 1},
        {QStringLiteral("TekPZNr_PL"), QString::number(facts.nextWaybillNumber)},
    };
    QFile file(dir + QStringLiteral("/Dravun.json"));
    if (!QDir().mkpath(dir) || !file.open(QIODevice::WriteOnly) || file.write(QJsonDocument(values).toJson()) < 0)
        throw std::runtime_error("cannot write the server's settings store in " + dir.toStdString());
}

// Qt wants one, private to the user, even when nothing uses it.
QString BenchServer::runtimeFolder() const
{
    const QString dir = folder_.filePath(QStringLiteral("runtime"));
    QDir().mkpath(dir);
    QFile::setPermissions(dir, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    return dir;
}

void BenchServer::start()
{
    port_ = freeLoopbackPort();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), folder_.filePath(QStringLiteral("config")));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeFolder());
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    process_.setProcessEnvironment(environment);
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process_.setStandardOutputFile(QProcess::nullDevice());
    process_.start(program_, {QStringLiteral("--headless"), QStringLiteral("--database"), database(),
                              QStringLiteral("--listen"), QStringLiteral("127.0.0.1"), QStringLiteral("--port"),
                              QString::number(port_), QStringLiteral("--print-to"),
                              folder_.filePath(QStringLiteral("prints")), QStringLiteral("--console"),
                              QStringLiteral("off")});
    if (!process_.waitForStarted(10000))
        throw std::runtime_error("cannot start " + program_.toStdString() + ": " + process_.errorString().toStdString());
    for (int attempt = 0; attempt < 150; ++attempt) {
        if (answers(port_))
            return;
        if (process_.waitForFinished(0) || process_.state() == QProcess::NotRunning)
            throw std::runtime_error("kelvo-server ended at start with status " + std::to_string(process_.exitCode()));
        QThread::msleep(200);
    }
    throw std::runtime_error("kelvo-server does not answer on its port");
}

void BenchServer::stop()
{
    if (process_.state() == QProcess::NotRunning)
        return;
    process_.terminate();
    if (!process_.waitForFinished(10000)) {
        process_.kill();
        process_.waitForFinished(5000);
    }
}

}  // namespace bench
