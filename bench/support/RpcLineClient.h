#pragma once
// A client of the server's protocol for the benchmarks: newline-delimited
// JSON-RPC 2.0 over one loopback TCP connection, blocking, owned by one
// thread. The time of a call runs from sending the request to the last byte
// of its response line; decoding the response comes after the clock stops.
// A result may be left undecoded: on a machine shared with the server, a
// crowd of simulated handhelds decoding large answers takes the cores the
// server would have (real handhelds decode on processors of their own).

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpSocket>

namespace bench {

// Whether a response's result is decoded, or only told from an error (the
// server writes a result line as {"id":...,"jsonrpc":"2.0","result":...} and
// an error line beginning with {"error":).
enum class Decode { Whole, OutcomeOnly };

struct Reply {
    QJsonValue result;
    int errorCode = 0;     // JSON-RPC error code; 0 on success
    QString errorMessage;  // also set for transport failures (errorCode -1)
    double milliseconds = 0;
    bool ok() const { return errorCode == 0; }
    // The rows of an open result.
    QJsonArray rows() const { return result.toObject().value(QLatin1String("rows")).toArray(); }
};

class RpcLineClient {
public:
    explicit RpcLineClient(int timeoutMs = 30000) : timeoutMs_(timeoutMs) {}

    bool connectTo(quint16 port)
    {
        socket_.connectToHost(QStringLiteral("127.0.0.1"), port);
        if (!socket_.waitForConnected(timeoutMs_))
            return false;
        socket_.setSocketOption(QAbstractSocket::LowDelayOption, 1);
        return true;
    }

    Reply call(const QString& method, const QJsonValue& params, Decode decode = Decode::Whole)
    {
        QJsonObject request{{QStringLiteral("jsonrpc"), QStringLiteral("2.0")},
                            {QStringLiteral("id"), ++lastId_},
                            {QStringLiteral("method"), method}};
        if (!params.isUndefined() && !params.isNull())
            request.insert(QStringLiteral("params"), params);
        return exchange(QJsonDocument(request).toJson(QJsonDocument::Compact) + '\n', decode);
    }

    // One entry of a typed parameter list.
    static QJsonObject param(const QString& name, const QString& type, const QJsonValue& value)
    {
        return {{QStringLiteral("name"), name}, {QStringLiteral("type"), type}, {QStringLiteral("value"), value}};
    }

    // params: an array of param() entries or an object by name; null or
    // undefined sends none.
    Reply open(const QString& provider, const QJsonValue& params = {}, Decode decode = Decode::Whole)
    {
        return call(QStringLiteral("open"), providerRequest(provider, params), decode);
    }
    // With a request key the server carries the request out once, however
    // often it comes.
    Reply execute(const QString& provider, const QJsonValue& params, const QString& requestKey = {})
    {
        QJsonObject request = providerRequest(provider, params);
        if (!requestKey.isEmpty())
            request.insert(QStringLiteral("requestKey"), requestKey);
        return call(QStringLiteral("execute"), request);
    }

private:
    static QJsonObject providerRequest(const QString& provider, const QJsonValue& params)
    {
        QJsonObject o{{QStringLiteral("provider"), provider}};
        if (!params.isUndefined() && !params.isNull())
            o.insert(QStringLiteral("params"), params);
        return o;
    }

    Reply exchange(const QByteArray& line, Decode decode)
    {
        Reply reply;
        QElapsedTimer timer;
        timer.start();
        socket_.write(line);
        while (socket_.bytesToWrite() > 0 && socket_.waitForBytesWritten(remaining(timer))) {
        }
        while (!socket_.canReadLine() && socket_.state() == QAbstractSocket::ConnectedState
               && socket_.waitForReadyRead(remaining(timer))) {
        }
        if (!socket_.canReadLine()) {
            reply.errorCode = -1;
            reply.errorMessage = QStringLiteral("no response: ") + socket_.errorString();
            return reply;
        }
        const QByteArray response = socket_.readLine();
        reply.milliseconds = static_cast<double>(timer.nsecsElapsed()) / 1e6;
        if (decode == Decode::OutcomeOnly && response.startsWith("{\"id\":") && response.contains(",\"jsonrpc\":\"2.0\",\"result\":"))
            return reply;
        const QJsonObject o = QJsonDocument::fromJson(response).object();
        if (o.contains(QLatin1String("error"))) {
            const QJsonObject error = o.value(QLatin1String("error")).toObject();
            reply.errorCode = error.value(QLatin1String("code")).toInt(-1);
            reply.errorMessage = error.value(QLatin1String("message")).toString();
        } else if (!o.contains(QLatin1String("result"))) {
            reply.errorCode = -1;
            reply.errorMessage = QStringLiteral("unreadable response: ") + QString::fromUtf8(response.left(200));
        }
        reply.result = o.value(QLatin1String("result"));
        return reply;
    }

    int remaining(const QElapsedTimer& timer) const
    {
        return std::max<int>(1, timeoutMs_ - static_cast<int>(timer.elapsed()));
    }

    QTcpSocket socket_;
    int timeoutMs_;
    int lastId_ = 0;
};

}  // namespace bench
