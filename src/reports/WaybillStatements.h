#pragma once
// Statements on a waybill that both waybill forms, and the print request,
// run on the operator connection, each on a query of its own for the call.

#include "Connection.h"
#include "Value.h"

#include <QString>

#include <cstdint>

namespace reports {

// Blocks a printed waybill, so that it leaves the clients' list of open
// waybills. Errors of the statement reach the caller.
void blockWaybill(db::Connection& connection, std::int32_t waybillIsn);

// What a car with neither a name nor a state number prints, which includes
// a key that finds no car.
enum class NamelessCar {
    Empty,        // no text at all (the general waybill)
    FixedPieces,  // the fixed pieces with whatever else the row holds (the alcohol waybill)
};

// The car row of `carKey` in N_MASINA as one line: name, " Reģ.Nr." and
// registration, " Auto " and state number, a blank and the driver, nothing
// trimmed. Errors of the statement reach the caller.
QString carAndDriverText(db::Connection& connection, const db::Value& carKey, NamelessCar nameless);

}  // namespace reports
