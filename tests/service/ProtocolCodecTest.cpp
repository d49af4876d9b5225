// The answer of `open` written as JSON text: each value, parsed back, is the
// one the protocol sends, and the bytes are those QJsonDocument writes for
// it, so clients see the same answers as before.

#include "CaseName.h"
#include "ProtocolCodec.h"

#include <QJsonDocument>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

using service::Rows;

namespace {

struct ValueCase {
    const char* name;
    db::Value value;
    QJsonValue expected;
};

void PrintTo(const ValueCase& c, std::ostream* os) { *os << c.name; }

QString text(const char16_t* s) { return QString::fromUtf16(s); }

const ValueCase kCases[] = {
    {"null", db::Value(), QJsonValue::Null},
    {"int32", db::Value(std::int32_t{-42}), QJsonValue(qint64{-42})},
    {"int64Max", db::Value(std::numeric_limits<std::int64_t>::max()),
     QJsonValue(std::numeric_limits<qint64>::max())},
    {"int64Min", db::Value(std::numeric_limits<std::int64_t>::min()),
     QJsonValue(std::numeric_limits<qint64>::min())},
    {"tenth", db::Value(0.1), 0.1},
    {"sumOfTenths", db::Value(0.1 + 0.2), 0.1 + 0.2},
    {"large", db::Value(1e20), 1e20},
    {"tiny", db::Value(5e-324), 5e-324},
    {"negativeZero", db::Value(-0.0), -0.0},
    {"wholeDouble", db::Value(24.0), 24.0},
    // Whole numbers up to 2^53 are written as integers, though the shortest
    // form of 100000 is 1e+05.
    {"wholeOfSixDigits", db::Value(100000.0), 100000.0},
    {"negativeWholeOfSixDigits", db::Value(-100000.0), -100000.0},
    {"fractionOfSixDigits", db::Value(100000.5), 100000.5},
    {"wholeAtTwoToThe53", db::Value(9007199254740992.0), 9007199254740992.0},
    {"negativeWholeAtTwoToThe53", db::Value(-9007199254740992.0), -9007199254740992.0},
    {"wholeBeyondTwoToThe53", db::Value(1e16), 1e16},
    // JSON has no NaN nor infinity: they are sent as null.
    {"nan", db::Value(std::numeric_limits<double>::quiet_NaN()), QJsonValue::Null},
    {"infinity", db::Value(std::numeric_limits<double>::infinity()), QJsonValue::Null},
    {"minusInfinity", db::Value(-std::numeric_limits<double>::infinity()), QJsonValue::Null},
    {"decimal", db::Value::decimal(21.35), 21.35},
    {"emptyText", db::Value(QString()), QString()},
    {"quoteAndBackslash", db::Value(u"\"\\"_qs), u"\"\\"_qs},
    {"escapesBetweenRuns", db::Value(u"\"Rīga\"\r\nā\\ē"_qs), u"\"Rīga\"\r\nā\\ē"_qs},
    {"controlCharacters", db::Value(text(u"\u0001\b\f\n\r\t\u001f\u007f")), text(u"\u0001\b\f\n\r\t\u001f\u007f")},
    {"nulCharacter", db::Value(QString(QChar(0))), QString(QChar(0))},
    {"lineSeparators", db::Value(text(u"a\u2028b\u2029c")), text(u"a\u2028b\u2029c")},
    {"nonAscii", db::Value(u"Veikals \"Jūrmala\" €"_qs), u"Veikals \"Jūrmala\" €"_qs},
    {"outsideBmp", db::Value(text(u"\U0001F37A")), text(u"\U0001F37A")},
    {"textBlob", db::Value::textBlob(u"4004\r\nBalzams \"Rīgas Melnais\"\t45%"_qs),
     u"4004\r\nBalzams \"Rīgas Melnais\"\t45%"_qs},
    {"binaryBlob", db::Value::binaryBlob(QByteArray("\x00\xff\x10\"", 4)),
     QString::fromLatin1(QByteArray("\x00\xff\x10\"", 4).toBase64())},
    {"date", db::Value(QDate(2026, 12, 9)), u"2026-12-09"_qs},
    {"time", db::Value(QTime(14, 30, 0)), u"14:30:00"_qs},
    {"timeWithMs", db::Value(QTime(14, 30, 0, 250)), u"14:30:00.250"_qs},
    {"timestamp", db::Value(QDateTime(QDate(2026, 12, 9), QTime(14, 30, 0))), u"2026-12-09T14:30:00"_qs},
};

Rows oneColumn(std::vector<std::vector<db::Value>> rows)
{
    db::Column column;
    column.name = u"V"_qs;
    return {{column}, std::move(rows)};
}

QJsonObject parsed(const QByteArray& json)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << qPrintable(error.errorString()) << " in " << json.constData();
    return document.object();
}

class ProtocolCodecValueTest : public testing::TestWithParam<ValueCase> {};

TEST_P(ProtocolCodecValueTest, ParsesBackToTheValueWrittenAsQJsonDocumentWritesIt)
{
    const ValueCase& c = GetParam();
    const QByteArray json = service::codec::encodeRows(oneColumn({{c.value}}));

    const QJsonValue value = parsed(json).value(u"rows").toArray().at(0).toArray().at(0);
    EXPECT_EQ(value, c.expected) << json.constData();
    if (c.expected.isDouble()) {
        EXPECT_EQ(std::signbit(value.toDouble()), std::signbit(c.expected.toDouble())) << json.constData();
    }

    const QByteArray expectedRows = QJsonDocument(QJsonArray{QJsonArray{c.expected}}).toJson(QJsonDocument::Compact);
    EXPECT_TRUE(json.endsWith(",\"rows\":" + expectedRows + '}')) << json.constData();
}

INSTANTIATE_TEST_SUITE_P(Values, ProtocolCodecValueTest, testing::ValuesIn(kCases),
                         testsupport::CaseName());

// Each column type with the name the protocol gives it.
const std::pair<db::Type, const char16_t*> kColumnTypes[] = {
    {db::Type::Null, u"null"},       {db::Type::Integer, u"integer"},  {db::Type::BigInt, u"integer"},
    {db::Type::Double, u"float"},    {db::Type::Decimal, u"decimal"},  {db::Type::Text, u"text"},
    {db::Type::TextBlob, u"text"},   {db::Type::BinaryBlob, u"blob"},  {db::Type::Date, u"date"},
    {db::Type::Time, u"time"},       {db::Type::Timestamp, u"timestamp"}};

// A column as the protocol describes it, built as a JSON object.
QJsonObject columnObject(const db::Column& column)
{
    const auto type = std::find_if(std::begin(kColumnTypes), std::end(kColumnTypes),
                                   [&](const auto& entry) { return entry.first == column.type; });
    QJsonObject object{{u"name"_qs, column.name},
                       {u"type"_qs, text(type->second)},
                       {u"size"_qs, column.type == db::Type::Text ? column.size : 0},
                       {u"required"_qs, !column.nullable}};
    if (column.type == db::Type::Decimal)
        object.insert(u"scale"_qs, column.scale);
    return object;
}

TEST(ProtocolCodecTest, ManyRowsAndColumnsAreTheDocumentQJsonWouldWrite)
{
    Rows rows;
    QJsonArray expectedRows;
    // Columns of every kind the protocol names, required or not, one with
    // a name that needs escapes.
    int index = 0;
    for (const ValueCase& c : kCases) {
        db::Column column;
        column.name = index == 1 ? text(u"Nosaukums \"ā\"\t") : QString::fromLatin1(c.name);
        column.type = kColumnTypes[index % std::size(kColumnTypes)].first;
        column.size = 60 + index;
        column.scale = index % 4;
        column.nullable = index % 3 != 0;
        rows.columns.push_back(column);
        ++index;
    }
    for (int r = 0; r < 3; ++r) {
        std::vector<db::Value> row;
        QJsonArray expectedRow;
        for (const ValueCase& c : kCases) {
            row.push_back(c.value);
            expectedRow.append(c.expected);
        }
        rows.rows.push_back(row);
        expectedRows.append(expectedRow);
    }
    QJsonArray expectedColumns;
    for (const db::Column& column : rows.columns)
        expectedColumns.append(columnObject(column));

    const QJsonObject expected{{u"columns"_qs, expectedColumns}, {u"rows"_qs, expectedRows}};
    EXPECT_EQ(service::codec::encodeRows(rows), QJsonDocument(expected).toJson(QJsonDocument::Compact));
}

TEST(ProtocolCodecTest, NoRowsAndNoColumns)
{
    EXPECT_EQ(service::codec::encodeRows(oneColumn({})),
              R"({"columns":[{"name":"V","required":false,"size":0,"type":"null"}],"rows":[]})");
    EXPECT_EQ(service::codec::encodeRows(Rows{}), R"({"columns":[],"rows":[]})");
}

}  // namespace
