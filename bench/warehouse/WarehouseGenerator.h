#pragma once
// A generated warehouse of realistic size for the benchmarks: 60 departments
// in 8 groups, 5,000 goods items, 300 clients, 40,000 customer orders over two
// years with 400,000 lines (a few percent pending in the working range, the
// last three weeks), 20,000 transfer waybills with 200,000 lines,
// certificates with their validity, cars and the installation settings.
//
// Deterministic: one fixed seed and the generator's own distributions, so the
// same day gives the same rows on every machine.

#include "WarehouseFacts.h"

#include <QString>

namespace bench {

// Raise when the generated rows change, so kept warehouses are made anew.
constexpr int kWarehouseVersion = 2;

struct WarehouseSize {
    int goods = 5000;
    int clients = 300;
    int orders = 40000;
    int orderLines = 400000;  // 10 per order on average
    int waybills = 20000;
    int waybillLines = 200000;
    int cars = 25;
    int certificates = 1500;
    int historyDays = 730;
    int workingDays = 21;
};

// Creates `database` (which must not exist) from `schema` and fills it; the
// history ends on `lastDay`.
WarehouseFacts generateWarehouse(const QString& database, const QString& schema, const QDate& lastDay,
                                 const WarehouseSize& size = {});

}  // namespace bench
