#pragma once
// The JSON forms of the protocol: parameter lists sent by clients, columns
// and rows of an answer, the provider catalogue.
//
// Types: integer, float, text, date ("2026-12-09"), timestamp
// ("2026-12-09T14:30:00"), time ("14:30:00"); decimal (with its scale) and
// blob occur in columns only. An untyped value follows the JSON value: a
// whole number is an integer, another number a float, a string a text, null
// a null.

#include "KelvoServerMethodsUnit.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>

#include <vector>

namespace service::codec {

// `P`: an array of {"name", "type" (optional), "value"} or an object from
// name to value; undefined or null: no parameters. Throws InvalidParams for
// a value that is a boolean, an array or an object, an unknown type, or a
// value that does not convert to its type.
//
// `declared`: the parameters of the provider. A value for one it declares
// an integer must be a whole number (a JSON number without a fraction, or
// the digits as a string), whatever type it is sent with; one sent without
// a type is read as an integer, so both forms of `P` read it alike and
// nothing is rounded.
std::vector<db::Param> decodeParams(const QJsonValue& params, const std::vector<DeclaredParam>& declared = {});

// The JSON text {"columns": [...], "rows": [[...], ...]}, written straight
// from the columns and rows (a large answer built as JSON objects first
// costs about as much as its query, a small one a good part of its time),
// byte for byte as QJsonDocument writes the same values: NaN and
// infinities, which JSON lacks, as null.
QByteArray encodeRows(const RowsSource& rows);
// The same for rows held in memory.
QByteArray encodeRows(const Rows& rows);
// {"rowsAffected": n} with what the statement returned beside it, e.g.
// {"ISN":12,"NR_PAVADZ":"9171900003","rowsAffected":1}.
QByteArray encodeExecuted(const Executed& executed);
// Name, use (open or execute) and parameters with their declared types.
QJsonArray encodeCatalogue();

}  // namespace service::codec
