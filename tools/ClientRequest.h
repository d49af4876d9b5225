#pragma once
// What kelvo-client sends and shows: the JSON-RPC request of a command line,
// and the answers as text.

#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <stdexcept>

namespace client {

class UsageError : public std::runtime_error {
public:
    explicit UsageError(const QString& message) : std::runtime_error(message.toStdString()) {}
};

// NAME=VALUE as one entry of a parameter list. VALUE may carry a type
// prefix: int:12, float:1.5, text:abc, date:2026-12-09,
// timestamp:2026-12-09T14:30:00, time:14:30:00; "null" is a null; without a
// prefix the value is sent as a text. A value that begins with letters and
// a colon names a type, and another than those is refused (text:... sends
// such a text). Throws UsageError.
QJsonObject parameterEntry(const QString& assignment);

struct Request {
    QString method;
    QJsonValue params;
};

// `arguments`: the command and its arguments, e.g. {"open", "PRECE"}. A
// provider may be named without its DataSetProvider_ prefix. `requestKey`
// (only with execute) makes the server carry the request out once however
// often it is sent. Throws UsageError saying what is missing or wrong.
Request requestFor(const QStringList& arguments, const QString& requestKey = {});

// The result of a request as the user reads it: rows as an aligned table,
// the catalogue as a table, the count of an execute with the keys an insert
// returned, a text as it is.
QString formatResult(const Request& request, const QJsonValue& result);

}  // namespace client
