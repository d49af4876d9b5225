#include "Value.h"

#include <QLocale>

#include <cmath>
#include <limits>
#include <stdexcept>

namespace db {

namespace {

const QDate kDayZero(1899, 12, 30);

std::invalid_argument notConvertible(const Value& value, const char* target)
{
    // Messages go to clients and logs: numbers with a decimal point, whatever
    // the regional settings.
    const QString text = value.type() == Type::Double || value.type() == Type::Decimal
                             ? QString::number(value.toDouble(), 'g', 15)
                             : value.toString();
    return std::invalid_argument(QStringLiteral("'%1' is not a valid %2").arg(text, QLatin1String(target)).toStdString());
}

// Text as a number the way the regional settings read it: decimal comma or
// point, surrounding blanks ignored.
std::optional<double> parseNumber(const QString& text)
{
    QString t = text.trimmed();
    t.replace(QLatin1Char(','), QLatin1Char('.'));
    bool ok = false;
    const double v = t.toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return std::nullopt;
    return v;
}

}  // namespace

QString typeName(Type type)
{
    switch (type) {
    case Type::Null: return QStringLiteral("null");
    case Type::Integer: return QStringLiteral("integer");
    case Type::BigInt: return QStringLiteral("bigint");
    case Type::Double: return QStringLiteral("float");
    case Type::Decimal: return QStringLiteral("decimal");
    case Type::Text: return QStringLiteral("text");
    case Type::Date: return QStringLiteral("date");
    case Type::Time: return QStringLiteral("time");
    case Type::Timestamp: return QStringLiteral("timestamp");
    case Type::TextBlob: return QStringLiteral("textblob");
    case Type::BinaryBlob: return QStringLiteral("blob");
    }
    return {};
}

Value Value::binaryBlob(const QByteArray& v)
{
    Value r;
    r.type_ = Type::BinaryBlob;
    r.data_ = v;
    return r;
}

bool Value::isNumber() const
{
    return type_ == Type::Integer || type_ == Type::BigInt || type_ == Type::Double || type_ == Type::Decimal;
}

QString Value::toString() const
{
    switch (type_) {
    case Type::Null: return {};
    case Type::Integer:
    case Type::BigInt: return QString::number(std::get<std::int64_t>(data_));
    case Type::Double:
    case Type::Decimal: return formatGeneral(std::get<double>(data_));
    case Type::Text:
    case Type::TextBlob: return std::get<QString>(data_);
    case Type::Date: return std::get<QDate>(data_).toString(QStringLiteral("dd.MM.yyyy"));
    case Type::Time: return std::get<QTime>(data_).toString(QStringLiteral("hh:mm:ss"));
    case Type::Timestamp: {
        const QDateTime& dt = std::get<QDateTime>(data_);
        // A timestamp at midnight reads as its date alone.
        if (dt.time() == QTime(0, 0))
            return dt.date().toString(QStringLiteral("dd.MM.yyyy"));
        return dt.toString(QStringLiteral("dd.MM.yyyy hh:mm:ss"));
    }
    case Type::BinaryBlob: return QString::fromUtf8(std::get<QByteArray>(data_));
    }
    return {};
}

double Value::toDouble() const
{
    switch (type_) {
    case Type::Null: return 0;
    case Type::Integer:
    case Type::BigInt: return static_cast<double>(std::get<std::int64_t>(data_));
    case Type::Double:
    case Type::Decimal: return std::get<double>(data_);
    case Type::Text:
    case Type::TextBlob:
        if (auto v = parseNumber(std::get<QString>(data_)))
            return *v;
        throw notConvertible(*this, "number");
    case Type::Date:
    case Type::Timestamp: return toDayCount(toDateTime());
    case Type::Time: return std::get<QTime>(data_).msecsSinceStartOfDay() / 86400000.0;
    case Type::BinaryBlob: break;
    }
    throw notConvertible(*this, "number");
}

std::int64_t Value::toInt64() const
{
    switch (type_) {
    case Type::Null: return 0;
    case Type::Integer:
    case Type::BigInt: return std::get<std::int64_t>(data_);
    case Type::Text:
    case Type::TextBlob: {
        bool ok = false;
        const qlonglong v = std::get<QString>(data_).trimmed().toLongLong(&ok);
        if (ok)
            return v;
        throw notConvertible(*this, "integer");
    }
    default: {
        const double d = std::round(toDouble());
        if (d < -9.2233720368547758e18 || d >= 9.2233720368547758e18)
            throw notConvertible(*this, "integer");
        return static_cast<std::int64_t>(d);
    }
    }
}

std::int32_t Value::toInt() const
{
    const std::int64_t v = toInt64();
    if (v < std::numeric_limits<std::int32_t>::min() || v > std::numeric_limits<std::int32_t>::max())
        throw notConvertible(*this, "integer");
    return static_cast<std::int32_t>(v);
}

QDateTime Value::toDateTime() const
{
    switch (type_) {
    case Type::Date: return QDateTime(std::get<QDate>(data_), QTime(0, 0));
    case Type::Timestamp: return std::get<QDateTime>(data_);
    case Type::Time: return QDateTime(kDayZero, std::get<QTime>(data_));
    case Type::Text:
    case Type::TextBlob: {
        const QString t = std::get<QString>(data_).trimmed();
        for (const char* f : {"dd.MM.yyyy hh:mm:ss", "dd.MM.yyyy", "yyyy-MM-ddThh:mm:ss", "yyyy-MM-dd"}) {
            QDateTime dt = QDateTime::fromString(t, QLatin1String(f));
            if (dt.isValid())
                return dt;
        }
        throw notConvertible(*this, "date");
    }
    case Type::Null: return {};
    default: return fromDayCount(toDouble());
    }
}

QByteArray Value::toBytes() const
{
    if (type_ == Type::BinaryBlob)
        return std::get<QByteArray>(data_);
    return toString().toUtf8();
}

Value Value::convertedTo(Type target) const
{
    if (type_ == target || type_ == Type::Null)
        return *this;
    switch (target) {
    case Type::Null: return {};
    case Type::Integer: return Value(toInt());
    case Type::BigInt: return Value(toInt64());
    case Type::Double: return Value(toDouble());
    case Type::Decimal: return decimal(toDouble());
    case Type::Text: return Value(toString());
    case Type::TextBlob: return textBlob(toString());
    case Type::Date: return Value(toDateTime().date());
    case Type::Time: return Value(toDateTime().time());
    case Type::Timestamp: return Value(toDateTime());
    case Type::BinaryBlob: return binaryBlob(toBytes());
    }
    return *this;
}

double toDayCount(const QDateTime& dateTime)
{
    const double days = static_cast<double>(kDayZero.daysTo(dateTime.date()));
    const double fraction = dateTime.time().msecsSinceStartOfDay() / 86400000.0;
    // Before day zero the fraction still counts forwards from midnight, so
    // its sign follows the day's.
    return days < 0 ? days - fraction : days + fraction;
}

QDateTime fromDayCount(double days)
{
    const double whole = std::trunc(days);
    const double fraction = std::fabs(days - whole);
    const auto ms = static_cast<int>(std::llround(fraction * 86400000.0));
    QDateTime dt(kDayZero.addDays(static_cast<qint64>(whole)), QTime(0, 0));
    return dt.addMSecs(std::min(ms, 86399999));
}

QString formatGeneral(double value)
{
    QString s = QString::number(value, 'g', 15);
    s.replace(QLatin1Char('.'), QLatin1Char(','));
    return s;
}

}  // namespace db
