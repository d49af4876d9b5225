#pragma once
// A fresh database for each general waybill test with one small waybill:
// waybill 5 from the warehouse "Noliktava" (department 1) to the shop
// "Veikals" (department 2), dated 1 March 2026, with one line of milk.
// Every column switch is off; tests switch on what they show. The form
// prints on its own operator connection, as in the server.

#include "CaseName.h"
#include "Connection.h"
#include "PageDocument.h"
#include "PrParvietPZForm.h"
#include "TestDatabase.h"

#include <gtest/gtest.h>

#include <QRect>
#include <QStringList>

#include <memory>
#include <optional>
#include <string>

namespace gwtest {

inline constexpr int kWaybill = 5;

class GeneralWaybillTest : public ::testing::Test {
protected:
    GeneralWaybillTest();

    void run(const QString& script) const { database.run(script); }
    void setIsi(const QString& assignments) const;   // UPDATE N_ISI SET ...
    void setIsi2(const QString& assignments) const;  // UPDATE N_ISI2 SET ...
    // A value of waybill 5 as another connection sees it.
    QString waybillField(const QString& column) const;

    // Every page it prints is checked for texts printed over.
    engine::PageDocument print();

    // Where an element printed first, relative to its band's top-left
    // corner, in whole pixels; nothing when it did not print.
    std::optional<QRect> placeOf(const engine::PageDocument& document, const QString& element) const;

    testsupport::TestDatabase database;
    std::unique_ptr<db::Connection> precesDb;
    reports::TPrParvietPZ form;
};

using testsupport::CaseName;

// The lines an element printed, on every page in order.
QStringList linesOf(const engine::PageDocument& document, const QString& element);
// Those lines joined by `separator`.
QString textOf(const engine::PageDocument& document, const QString& element,
               const QString& separator = QStringLiteral("\n"));
// Whether the element laid down its background anywhere.
bool printed(const engine::PageDocument& document, const QString& element);
// Whether a shape printed (shape outlines carry no element name).
bool hasShape(const engine::PageDocument& document);

}  // namespace gwtest
