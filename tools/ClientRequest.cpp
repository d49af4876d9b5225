#include "ClientRequest.h"

#include <QDate>
#include <QDateTime>
#include <QRegularExpression>
#include <QTime>

#include <algorithm>

namespace client {

namespace {

const QString kProviderPrefix = QStringLiteral("DataSetProvider_");

UsageError badValue(const QString& name, const QString& value, const char* type)
{
    return UsageError(QStringLiteral("%1: '%2' is not a %3").arg(name, value, QLatin1String(type)));
}

QJsonValue typedValue(const QString& name, const QString& type, const QString& value)
{
    bool ok = false;
    if (type == u"integer") {
        const qlonglong n = value.toLongLong(&ok);
        if (!ok)
            throw badValue(name, value, "whole number");
        return n;
    }
    if (type == u"float") {
        const double d = QString(value).replace(QLatin1Char(','), QLatin1Char('.')).toDouble(&ok);
        if (!ok)
            throw badValue(name, value, "number");
        return d;
    }
    const bool valid = type == u"text" || (type == u"date" && QDate::fromString(value, Qt::ISODate).isValid())
                       || (type == u"timestamp" && QDateTime::fromString(value, Qt::ISODateWithMs).isValid())
                       || (type == u"time" && QTime::fromString(value, Qt::ISODateWithMs).isValid());
    if (!valid)
        throw badValue(name, value, type == u"date" ? "date (yyyy-mm-dd)" : type == u"time" ? "time (hh:mm:ss)"
                                                                                            : "timestamp (yyyy-mm-ddThh:mm:ss)");
    return value;
}

QString providerName(const QString& name)
{
    return name.startsWith(kProviderPrefix) ? name : kProviderPrefix + name;
}

// Control characters (ART_PRECE holds a line break) shown as escapes, so a
// row stays on one line.
QString shown(const QJsonValue& value)
{
    switch (value.type()) {
    case QJsonValue::Null: return {};
    case QJsonValue::Double:
        return value.toVariant().typeId() == QMetaType::LongLong ? QString::number(value.toInteger())
                                                                 : QString::number(value.toDouble(), 'g', 15);
    default: break;
    }
    QString text = value.toString();
    text.replace(QLatin1Char('\r'), QLatin1String("\\r")).replace(QLatin1Char('\n'), QLatin1String("\\n"));
    text.replace(QLatin1Char('\t'), QLatin1String("\\t"));
    return text;
}

QString table(const QStringList& header, const QList<QStringList>& rows)
{
    QList<qsizetype> widths;
    for (const QString& name : header)
        widths << name.size();
    for (const QStringList& row : rows) {
        for (qsizetype i = 0; i < row.size(); ++i)
            widths[i] = std::max(widths[i], row[i].size());
    }
    auto line = [&](const QStringList& cells) {
        QStringList padded;
        for (qsizetype i = 0; i < cells.size(); ++i)
            padded << (i + 1 < cells.size() ? cells[i].leftJustified(widths[i]) : cells[i]);
        QString text = padded.join(QLatin1String("  "));
        while (text.endsWith(QLatin1Char(' ')))
            text.chop(1);
        return text + QLatin1Char('\n');
    };
    QStringList rules;
    for (qsizetype width : widths)
        rules << QString(width, QLatin1Char('-'));
    QString text = line(header) + line(rules);
    for (const QStringList& row : rows)
        text += line(row);
    return text;
}

QString rowsTable(const QJsonObject& result)
{
    QStringList header;
    for (const QJsonValue& column : result.value(u"columns").toArray())
        header << column[u"name"].toString();
    QList<QStringList> rows;
    for (const QJsonValue& row : result.value(u"rows").toArray()) {
        QStringList cells;
        for (const QJsonValue& value : row.toArray())
            cells << shown(value);
        rows << cells;
    }
    return table(header, rows) + QStringLiteral("(%1 rows)\n").arg(rows.size());
}

QString catalogueTable(const QJsonArray& catalogue)
{
    QList<QStringList> rows;
    for (const QJsonValue& provider : catalogue) {
        QStringList params;
        for (const QJsonValue& param : provider[u"parameters"].toArray()) {
            const QJsonValue type = param[u"type"];
            params << param[u"name"].toString() + QLatin1Char(' ')
                          + (type.isNull() ? QStringLiteral("(as sent)") : type.toString());
        }
        rows << QStringList{provider[u"name"].toString(), provider[u"use"].toString(), params.join(QLatin1String(", "))};
    }
    return table({QStringLiteral("PROVIDER"), QStringLiteral("USE"), QStringLiteral("PARAMETERS")}, rows);
}

}  // namespace

QJsonObject parameterEntry(const QString& assignment)
{
    static const std::pair<const char*, const char*> kPrefixes[] = {
        {"int:", "integer"}, {"float:", "float"}, {"text:", "text"},
        {"date:", "date"},   {"timestamp:", "timestamp"}, {"time:", "time"},
    };
    static const QRegularExpression kTypePrefix(QStringLiteral("^([A-Za-z]+):"));
    const qsizetype equals = assignment.indexOf(QLatin1Char('='));
    if (equals <= 0)
        throw UsageError(QStringLiteral("'%1' is no NAME=VALUE").arg(assignment));
    const QString name = assignment.left(equals);
    const QString value = assignment.mid(equals + 1);
    QJsonObject entry{{QStringLiteral("name"), name}};
    if (value == u"null") {
        entry.insert(QStringLiteral("value"), QJsonValue::Null);
        return entry;
    }
    for (const auto& [prefix, type] : kPrefixes) {
        if (value.startsWith(QLatin1String(prefix))) {
            const QString typeName = QLatin1String(type);
            entry.insert(QStringLiteral("type"), typeName);
            entry.insert(QStringLiteral("value"), typedValue(name, typeName, value.mid(qstrlen(prefix))));
            return entry;
        }
    }
    if (const QRegularExpressionMatch prefix = kTypePrefix.match(value); prefix.hasMatch())
        throw UsageError(QStringLiteral("%1: unknown type '%2' (int, float, text, date, timestamp, time; "
                                        "text:%3 sends the value as a text)")
                             .arg(name, prefix.captured(1), value));
    entry.insert(QStringLiteral("value"), value);
    return entry;
}

Request requestFor(const QStringList& arguments, const QString& requestKey)
{
    const QString command = arguments.value(0);
    const qsizetype given = arguments.size() - 1;
    if (!requestKey.isEmpty() && command != u"execute")
        throw UsageError(QStringLiteral("--request-key goes with execute"));
    if (command == u"echo" || command == u"reverse") {
        if (given != 1)
            throw UsageError(QStringLiteral("%1 needs one text (quote a text with blanks)").arg(command));
        return {command == u"echo" ? QStringLiteral("EchoString") : QStringLiteral("ReverseString"),
                QJsonArray{arguments[1]}};
    }
    if (command == u"providers") {
        if (given != 0)
            throw UsageError(QStringLiteral("providers takes no arguments"));
        return {command, QJsonValue::Undefined};
    }
    if (command == u"open" || command == u"execute") {
        if (given == 0)
            throw UsageError(QStringLiteral("%1 needs a provider").arg(command));
        QJsonArray params;
        for (const QString& assignment : arguments.mid(2))
            params.append(parameterEntry(assignment));
        QJsonObject request{{QStringLiteral("provider"), providerName(arguments[1])}};
        if (!params.isEmpty())
            request.insert(QStringLiteral("params"), params);
        if (!requestKey.isEmpty())
            request.insert(QStringLiteral("requestKey"), requestKey);
        return {command, request};
    }
    throw UsageError(command.isEmpty()
                         ? QStringLiteral("no command given")
                         : QStringLiteral("'%1' is no command (open, execute, echo, reverse, providers)").arg(command));
}

QString formatResult(const Request& request, const QJsonValue& result)
{
    if (request.method == u"open")
        return rowsTable(result.toObject());
    if (request.method == u"execute") {
        const QJsonObject executed = result.toObject();
        QString text = QStringLiteral("%1 rows affected\n").arg(executed.value(u"rowsAffected").toInteger());
        for (auto it = executed.begin(); it != executed.end(); ++it) {
            if (it.key() != u"rowsAffected")
                text += it.key() + QStringLiteral(": ") + shown(it.value()) + QLatin1Char('\n');
        }
        return text;
    }
    if (request.method == u"providers")
        return catalogueTable(result.toArray());
    return result.toString() + QLatin1Char('\n');
}

}  // namespace client
