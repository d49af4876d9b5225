#include "ProtocolCodec.h"

#include "JsonText.h"

#include <QDateTime>
#include <QLocale>
#include <QStringEncoder>
#include <QJsonDocument>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <optional>
#include <utility>

namespace service::codec {

namespace {

QString protocolTypeName(db::Type type)
{
    switch (type) {
    case db::Type::Integer:
    case db::Type::BigInt: return QStringLiteral("integer");
    case db::Type::Double: return QStringLiteral("float");
    case db::Type::Text:
    case db::Type::TextBlob: return QStringLiteral("text");
    case db::Type::BinaryBlob: return QStringLiteral("blob");
    default: return db::typeName(type);  // null, decimal, date, time, timestamp
    }
}

db::Value integer(qint64 v)
{
    if (v >= std::numeric_limits<std::int32_t>::min() && v <= std::numeric_limits<std::int32_t>::max())
        return db::Value(static_cast<std::int32_t>(v));
    return db::Value(static_cast<std::int64_t>(v));
}

bool isWholeNumber(const QJsonValue& v)
{
    return v.toVariant().typeId() == QMetaType::LongLong;
}

InvalidParams badValue(const QString& name, const QString& why)
{
    return InvalidParams(QStringLiteral("Parameter '%1': %2").arg(name, why));
}

db::Value untypedValue(const QString& name, const QJsonValue& v)
{
    switch (v.type()) {
    case QJsonValue::Null:
    case QJsonValue::Undefined: return {};
    case QJsonValue::Double: return isWholeNumber(v) ? integer(v.toInteger()) : db::Value(v.toDouble());
    case QJsonValue::String: return db::Value(v.toString());
    default: throw badValue(name, QStringLiteral("a boolean, an array or an object is no parameter value"));
    }
}

// A JSON scalar as it was written, for messages.
QString jsonText(const QJsonValue& v)
{
    return QString::fromUtf8(json::jsonText(v));
}

// A number may also come as its text; a number written with a fraction of
// zero (2.0) is whole as well.
std::optional<qint64> wholeNumber(const QJsonValue& v)
{
    if (v.isString()) {
        bool ok = false;
        const qint64 n = v.toString().trimmed().toLongLong(&ok);
        return ok ? std::optional<qint64>(n) : std::nullopt;
    }
    if (isWholeNumber(v))
        return v.toInteger();
    const double d = v.toDouble();
    if (v.isDouble() && std::trunc(d) == d && d >= -9.2233720368547758e18 && d < 9.2233720368547758e18)
        return static_cast<qint64>(d);
    return std::nullopt;
}

std::optional<double> anyNumber(const QJsonValue& v)
{
    bool ok = v.isDouble();
    // As the text of a number, the regional decimal comma is read as well.
    const double d = v.isString() ? v.toString().trimmed().replace(u',', u'.').toDouble(&ok) : v.toDouble();
    return ok && std::isfinite(d) ? std::optional<double>(d) : std::nullopt;
}

std::optional<db::Value> converted(db::Type type, const QJsonValue& v)
{
    const QString text = v.toString();
    switch (type) {
    case db::Type::Integer:
        if (auto n = wholeNumber(v))
            return integer(*n);
        break;
    case db::Type::Double:
        if (auto d = anyNumber(v))
            return db::Value(*d);
        break;
    case db::Type::Text: return db::Value(v.isString() ? text : jsonText(v));
    case db::Type::Date:
        if (const QDate date = QDate::fromString(text, Qt::ISODate); date.isValid())
            return db::Value(date);
        break;
    case db::Type::Timestamp:
        if (const QDateTime dateTime = QDateTime::fromString(text, Qt::ISODateWithMs); dateTime.isValid())
            return db::Value(dateTime);
        break;
    case db::Type::Time:
        if (const QTime time = QTime::fromString(text, Qt::ISODateWithMs); time.isValid())
            return db::Value(time);
        break;
    default: break;
    }
    return std::nullopt;
}

// The value of a typed parameter; null stays null.
db::Value typedValue(const QString& name, db::Type type, const QJsonValue& v)
{
    if (untypedValue(name, v).isNull())
        return {};
    if (auto value = converted(type, v))
        return *value;
    throw badValue(name, QStringLiteral("%1 is not a valid %2").arg(jsonText(v), protocolTypeName(type)));
}

db::Type paramType(const QString& name, const QString& typeName)
{
    static const std::pair<const char*, db::Type> kTypes[] = {
        {"integer", db::Type::Integer}, {"float", db::Type::Double}, {"text", db::Type::Text},
        {"date", db::Type::Date},       {"timestamp", db::Type::Timestamp}, {"time", db::Type::Time},
    };
    for (const auto& [protocolName, type] : kTypes) {
        if (typeName == QLatin1String(protocolName))
            return type;
    }
    throw badValue(name, QStringLiteral("unknown type '%1'").arg(typeName));
}

bool declaredInteger(const std::vector<DeclaredParam>& declared, const QString& name)
{
    return std::any_of(declared.begin(), declared.end(), [&](const DeclaredParam& p) {
        return p.type == db::Type::Integer && p.name.compare(name, Qt::CaseInsensitive) == 0;
    });
}

// A parameter sent with the type `type`, or without one (undefined or null).
db::Param decodedParam(const QString& name, const QJsonValue& type, const QJsonValue& value,
                       const std::vector<DeclaredParam>& declared)
{
    db::Param param(name);
    const bool untyped = type.isUndefined() || type.isNull();
    if (declaredInteger(declared, name) && !untypedValue(name, value).isNull()) {
        if (!wholeNumber(value))
            throw badValue(name, QStringLiteral("%1 is not a whole number").arg(jsonText(value)));
        if (untyped) {
            param.setType(db::Type::Integer);
            param.setValue(typedValue(name, db::Type::Integer, value));
            return param;
        }
    }
    if (untyped) {
        param.setValue(untypedValue(name, value));
    } else {
        const db::Type sentType = paramType(name, type.toString());
        param.setType(sentType);
        param.setValue(typedValue(name, sentType, value));
    }
    return param;
}

db::Param listedParam(const QJsonValue& entry, const std::vector<DeclaredParam>& declared)
{
    const QJsonObject object = entry.toObject();
    const QString name = object.value(u"name").toString();
    if (!entry.isObject() || name.isEmpty())
        throw InvalidParams(QStringLiteral("A parameter of the list is an object with a name"));
    return decodedParam(name, object.value(u"type"), object.value(u"value"), declared);
}

// Milliseconds only where there are some.
Qt::DateFormat isoFormat(const QTime& time)
{
    return time.msec() ? Qt::ISODateWithMs : Qt::ISODate;
}

// The text a value that is neither null nor a number is sent as.
QString scalarText(const db::Value& value)
{
    switch (value.type()) {
    case db::Type::Date: return value.toDateTime().date().toString(Qt::ISODate);
    case db::Type::Time: {
        const QTime time = value.toDateTime().time();
        return time.toString(isoFormat(time));
    }
    case db::Type::Timestamp: {
        const QDateTime dateTime = value.toDateTime();
        return dateTime.toString(isoFormat(dateTime.time()));
    }
    case db::Type::BinaryBlob: return QString::fromLatin1(value.toBytes().toBase64());
    default: return value.toString();
    }
}

// The escape of a character JSON does not take as it is: the quote, the
// backslash and the control characters.
void appendEscape(QByteArray& out, char16_t c)
{
    static const char kHex[] = "0123456789abcdef";
    out.append('\\');
    switch (c) {
    case u'"': out.append('"'); break;
    case u'\\': out.append('\\'); break;
    case u'\b': out.append('b'); break;
    case u'\f': out.append('f'); break;
    case u'\n': out.append('n'); break;
    case u'\r': out.append('r'); break;
    case u'\t': out.append('t'); break;
    default: out.append("u00").append(kHex[c >> 4]).append(kHex[c & 0xf]); break;
    }
}

bool needsEscape(char16_t c)
{
    return c < 0x20 || c == u'"' || c == u'\\';
}

void appendUtf8(QByteArray& out, QStringView text)
{
    if (text.isEmpty())
        return;
    const qsizetype start = out.size();
    QStringEncoder utf8(QStringEncoder::Utf8, QStringConverter::Flag::Stateless);
    out.resize(start + utf8.requiredSpace(text.size()));
    out.truncate(utf8.appendToBuffer(out.data() + start, text) - out.constData());
}

// A JSON string as QJsonDocument writes it: UTF-8 as it is, only the quote,
// the backslash and the control characters escaped. The runs between
// escapes are encoded straight into the answer.
void appendString(QByteArray& out, QStringView text)
{
    out.append('"');
    qsizetype run = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (const char16_t c = text[i].unicode(); needsEscape(c)) {
            appendUtf8(out, text.sliced(run, i - run));
            appendEscape(out, c);
            run = i + 1;
        }
    }
    appendUtf8(out, text.sliced(run));
    out.append('"');
}

void appendInteger(QByteArray& out, std::int64_t n)
{
    char digits[24];
    out.append(digits, std::to_chars(digits, digits + sizeof digits, n).ptr - digits);
}

// A number as QJsonDocument writes it: a whole number up to 2^53 as its
// digits (-0 as 0), as QJsonValue keeps it, though the shortest form of
// 100000 is 1e+05; others in their shortest form. JSON has no NaN nor
// infinity, so those are null.
void appendDouble(QByteArray& out, double d)
{
    constexpr double kExactWhole = 9007199254740992.0;  // 2^53
    if (std::trunc(d) == d && std::fabs(d) <= kExactWhole)
        appendInteger(out, static_cast<std::int64_t>(d));
    else if (std::isfinite(d))
        out.append(QByteArray::number(d, 'g', QLocale::FloatingPointShortest));
    else
        out.append("null");
}

void appendValue(QByteArray& out, const db::Value& value)
{
    switch (value.type()) {
    case db::Type::Null: out.append("null"); break;
    case db::Type::Integer:
    case db::Type::BigInt: appendInteger(out, value.toInt64()); break;
    case db::Type::Double:
    case db::Type::Decimal: appendDouble(out, value.toDouble()); break;
    default: appendString(out, scalarText(value)); break;
    }
}

void appendRow(QByteArray& out, const std::vector<db::Value>& row)
{
    out.append('[');
    for (std::size_t i = 0; i < row.size(); ++i) {
        if (i)
            out.append(',');
        appendValue(out, row[i]);
    }
    out.append(']');
}

// A column as QJsonDocument writes the object {name, required, [scale],
// size, type}, its keys in that order.
void appendColumn(QByteArray& out, const db::Column& column)
{
    out.append("{\"name\":");
    appendString(out, column.name);
    out.append(column.nullable ? ",\"required\":false" : ",\"required\":true");
    if (column.type == db::Type::Decimal) {
        out.append(",\"scale\":");
        appendInteger(out, column.scale);
    }
    out.append(",\"size\":");
    appendInteger(out, column.type == db::Type::Text ? column.size : 0);
    out.append(",\"type\":");
    appendString(out, protocolTypeName(column.type));
    out.append('}');
}

}  // namespace

std::vector<db::Param> decodeParams(const QJsonValue& params, const std::vector<DeclaredParam>& declared)
{
    std::vector<db::Param> list;
    if (params.isArray()) {
        for (const QJsonValue& entry : params.toArray())
            list.push_back(listedParam(entry, declared));
    } else if (params.isObject()) {
        const QJsonObject object = params.toObject();
        for (auto it = object.begin(); it != object.end(); ++it)
            list.push_back(decodedParam(it.key(), QJsonValue::Undefined, it.value(), declared));
    } else if (!params.isUndefined() && !params.isNull()) {
        throw InvalidParams(QStringLiteral("The parameters are an array or an object"));
    }
    return list;
}

QByteArray encodeRows(const RowsSource& rows)
{
    QByteArray out = "{\"columns\":[";
    for (std::size_t i = 0; i < rows.columns.size(); ++i) {
        if (i)
            out.append(',');
        appendColumn(out, rows.columns[i]);
    }
    out.append("],\"rows\":[");
    // Room for the usual rows at once rather than doubling all the way up.
    out.reserve(out.size() + static_cast<qsizetype>(rows.rowCount * rows.columns.size()) * 12);
    bool first = true;
    rows.forEachRow([&](const std::vector<db::Value>& row) {
        if (!std::exchange(first, false))
            out.append(',');
        appendRow(out, row);
    });
    out.append("]}");
    return out;
}

QByteArray encodeRows(const Rows& rows)
{
    return encodeRows(RowsSource{rows.columns, rows.rows.size(), [&](const RowSink& sink) {
                                     for (const std::vector<db::Value>& row : rows.rows)
                                         sink(row);
                                 }});
}

QByteArray encodeExecuted(const Executed& executed)
{
    QJsonObject answer{{u"rowsAffected"_qs, static_cast<qint64>(executed.rowsAffected)}};
    for (const auto& [name, value] : executed.returned) {
        // Written as the values of rows are.
        QByteArray text;
        appendValue(text, value);
        answer.insert(name, QJsonDocument::fromJson('[' + text + ']').array().first());
    }
    return json::jsonText(answer);
}

QJsonArray encodeCatalogue()
{
    QJsonArray catalogue;
    for (const ProviderEntry& entry : providerCatalogue()) {
        QJsonArray params;
        for (const DeclaredParam& param : entry.params) {
            params.append(QJsonObject{
                {u"name"_qs, param.name},
                {u"type"_qs, param.type ? QJsonValue(protocolTypeName(*param.type)) : QJsonValue(QJsonValue::Null)},
            });
        }
        catalogue.append(QJsonObject{
            {u"name"_qs, entry.providerName()},
            {u"use"_qs, entry.use == ProviderUse::Open ? u"open"_qs : u"execute"_qs},
            {u"parameters"_qs, params},
        });
    }
    return catalogue;
}

}  // namespace service::codec
