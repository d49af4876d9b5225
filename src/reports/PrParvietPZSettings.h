#pragma once
// Reading the installation settings and the waybill's fields as the general
// waybill does: a switch is on at the exact text "T", counts are integers
// with a null as 0, and one-off statements run on a query of their own that
// lives for the one read.

#include "Connection.h"
#include "Query.h"

#include <QStringList>

#include <cstdint>

namespace reports::parvietpz {

// Field `name` of the current row. Throws db::DbError when there is none.
QString textOf(const db::Query& query, QStringView name);
bool isOn(const db::Query& query, QStringView name);
// Throws std::invalid_argument for a text that is not a whole number.
std::int32_t integerOf(const db::Query& query, QStringView name);

// The first row of `statement` as texts, one per column (empty texts when
// there is no row). Errors of the statement are thrown.
QStringList firstRowTexts(db::Connection& connection, const QString& statement);

}  // namespace reports::parvietpz
