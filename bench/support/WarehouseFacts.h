#pragma once
// What the benchmarks know of the generated warehouse, kept in a small JSON
// file beside the database (var/bench-warehouse.json): the day its history
// ends, the working date range, the operator's departments and the next
// waybill number. The file is written last, so a database without it is an
// unfinished one.

#include <QDate>
#include <QString>

#include <cstdint>
#include <optional>

namespace db {
class Query;
}

namespace bench {

struct WarehouseFacts {
    int version = 0;           // of the generator that made the warehouse
    QDate lastDay;             // the warehouse's "today": the order history ends here
    QDate firstWorkingDay;     // the working range runs from here to lastDay
    std::int32_t sendingDepartment = 0;
    std::int32_t hiddenDepartment = 0;
    std::int64_t nextWaybillNumber = 0;  // TekPZNr_PL after the generated waybills
};

QString factsPath(const QString& database);
std::optional<WarehouseFacts> readFacts(const QString& database);
// The facts of a warehouse the benches run on; throws when it was never made.
WarehouseFacts requireFacts(const QString& database);
void writeFacts(const QString& database, const WarehouseFacts& facts);

// The conditions of the order lines still to be collected in the working
// range, as the goods list reads them (O_PASPRC with its O_PASPAV), with the
// parameters :HIDDEN, :DATEFROM and :DATETO that bindWorkingRange sets.
QString pendingLinesOfWorkingRange();
void bindWorkingRange(db::Query& query, const WarehouseFacts& facts);

}  // namespace bench
