#include "QueryDataSet.h"

#include "DbError.h"

namespace reports {

QVariant toVariant(const db::Value& value)
{
    using db::Type;
    switch (value.type()) {
    case Type::Null: return {};
    case Type::Integer: return value.toInt();
    case Type::BigInt: return QVariant::fromValue<qlonglong>(value.toInt64());
    case Type::Double:
    case Type::Decimal: return value.toDouble();
    case Type::Text:
    case Type::TextBlob: return value.toString();
    case Type::Date: return value.toDateTime().date();
    case Type::Time: return value.toDateTime().time();
    case Type::Timestamp: return value.toDateTime();
    case Type::BinaryBlob: return value.toBytes();
    }
    return {};
}

QVariant QueryDataSet::value(const QString& name) const
{
    return toVariant(query_.field(name).value());
}

}  // namespace reports
