#include "ServedSessions.h"

#include "ServerClass.h"

#include <QDeadlineTimer>
#include <QJsonDocument>

#include <stdexcept>

namespace reliability {

ServedSessions::ServerThread::ServerThread(host::ServerClass serverClass, host::ListenOptions options)
    : serverClass_(std::move(serverClass)), options_(std::move(options))
{
}

void ServedSessions::ServerThread::run()
{
    std::unique_ptr<host::TServerContainer1> container;
    try {
        container = std::make_unique<host::TServerContainer1>(serverClass_, options_);
    } catch (...) {
        port_.set_exception(std::current_exception());
        return;
    }
    port_.set_value(container->port());
    exec();
}

ServedSessions::ServedSessions(const service::ServiceContext& context, qsizetype maxLineBytes)
    : thread_(host::DSServerClass1GetClass(context), host::ListenOptions{QHostAddress::LocalHost, 0, 200, maxLineBytes})
{
    std::future<quint16> port = thread_.port();
    thread_.start();
    port_ = port.get();
}

ServedSessions::~ServedSessions()
{
    thread_.quit();
    thread_.wait();
}

LineClient::LineClient(quint16 port)
{
    socket_.connectToHost(QHostAddress::LocalHost, port);
    socket_.waitForConnected(10000);
}

void LineClient::send(const QByteArray& line)
{
    socket_.write(line + '\n');
    socket_.waitForBytesWritten(10000);
}

QByteArray LineClient::nextLine(int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!socket_.canReadLine()) {
        if (!socket_.waitForReadyRead(static_cast<int>(deadline.remainingTime())))
            return {};
    }
    return socket_.readLine().chopped(1);
}

QJsonObject LineClient::ask(const QByteArray& line)
{
    send(line);
    return QJsonDocument::fromJson(nextLine()).object();
}

bool LineClient::closedByServer(int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (socket_.state() != QAbstractSocket::UnconnectedState && !deadline.hasExpired()) {
        socket_.readAll();
        socket_.waitForDisconnected(static_cast<int>(deadline.remainingTime()));
    }
    return socket_.state() == QAbstractSocket::UnconnectedState;
}

}  // namespace reliability
