#pragma once
// A database value as the client layer carries it: null, integers, doubles,
// scaled decimals (carried as double; the column knows the scale), text,
// dates and times, and blobs.

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QString>
#include <QTime>

#include <cstdint>
#include <variant>

namespace db {

enum class Type {
    Null,
    Integer,   // 32-bit
    BigInt,    // 64-bit
    Double,
    Decimal,   // NUMERIC / DECIMAL, read as double
    Text,      // CHAR keeps its trailing blanks
    Date,
    Time,
    Timestamp,
    TextBlob,
    BinaryBlob,
};

QString typeName(Type type);

class Value {
public:
    Value() = default;
    Value(std::int32_t v) : type_(Type::Integer), data_(std::int64_t{v}) {}
    Value(std::int64_t v) : type_(Type::BigInt), data_(v) {}
    Value(double v) : type_(Type::Double), data_(v) {}
    Value(const QString& v) : type_(Type::Text), data_(v) {}
    Value(const char* v) : Value(QString::fromUtf8(v)) {}
    Value(const QDate& v) : type_(Type::Date), data_(v) {}
    Value(const QTime& v) : type_(Type::Time), data_(v) {}
    Value(const QDateTime& v) : type_(Type::Timestamp), data_(v) {}

    static Value decimal(double v) { Value r(v); r.type_ = Type::Decimal; return r; }
    static Value textBlob(const QString& v) { Value r(v); r.type_ = Type::TextBlob; return r; }
    static Value binaryBlob(const QByteArray& v);

    Type type() const { return type_; }
    bool isNull() const { return type_ == Type::Null; }
    bool isNumber() const;
    bool isText() const { return type_ == Type::Text || type_ == Type::TextBlob; }

    // Conversions as a dataset field gives them: null is empty text and 0;
    // numbers as text use the regional decimal comma; dates dd.MM.yyyy.
    QString toString() const;
    std::int64_t toInt64() const;       // throws std::invalid_argument when not a number
    std::int32_t toInt() const;         // same, and when out of 32-bit range
    double toDouble() const;            // throws std::invalid_argument when not a number
    QDateTime toDateTime() const;       // null: invalid QDateTime
    QByteArray toBytes() const;         // binary blob bytes; text as UTF-8

    // Converts to another type, e.g. the text "12" to an integer; throws
    // std::invalid_argument when the value does not convert.
    Value convertedTo(Type target) const;

    bool operator==(const Value& other) const = default;

private:
    using Data = std::variant<std::monostate, std::int64_t, double, QString, QDate, QTime, QDateTime, QByteArray>;
    Type type_ = Type::Null;
    Data data_;
};

// Date-times as a count of days since 30 December 1899, the fraction being the
// time of day (the representation the reports compute with).
double toDayCount(const QDateTime& dateTime);
QDateTime fromDayCount(double days);

// A double in its shortest general form (up to 15 significant digits) with
// the regional decimal comma.
QString formatGeneral(double value);

}  // namespace db
