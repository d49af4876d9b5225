#include "PrParvietPZSettings.h"

namespace reports::parvietpz {

QString textOf(const db::Query& query, QStringView name)
{
    return query.field(name).asString();
}

bool isOn(const db::Query& query, QStringView name)
{
    return textOf(query, name) == u"T";
}

std::int32_t integerOf(const db::Query& query, QStringView name)
{
    return query.field(name).asInteger();
}

QStringList firstRowTexts(db::Connection& connection, const QString& statement)
{
    db::Query query(connection, statement);
    query.open();
    QStringList texts;
    for (int i = 0; i < static_cast<int>(query.columns().size()); ++i)
        texts.append(query.field(i).asString());
    return texts;
}

}  // namespace reports::parvietpz
