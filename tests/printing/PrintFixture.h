#pragma once
// The print request's world on the demo warehouse: the operator's values,
// database and print lock on their own connection, a print station (with
// both report forms) whose devices the test chooses, and a service context
// that prints through it.

#include "OperatorDatabase.h"
#include "OperatorValues.h"
#include "PrParvAlkoholaPZForm.h"
#include "PrParvietPZForm.h"
#include "PrintLock.h"
#include "PrintStation.h"
#include "ServiceContext.h"
#include "SettingsStore.h"
#include "TestDatabase.h"

#include <QByteArray>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace servicetest {

// The request line of a print request for `waybill`.
QByteArray printRequestLine(std::int32_t waybill);

class PrintFixture : public ::testing::Test {
protected:
    explicit PrintFixture(printing::DeviceFactory devices);

    // PZ_BLOK of the waybill, read on a connection of the test's own.
    QString blocked(std::int32_t waybill) const;

    testsupport::TestDatabase database;
    QTemporaryDir storeDir{testsupport::scratchFolderTemplate()};
    operator_state::SettingsStore store;
    operator_state::OperatorValues operatorValues;
    operator_state::PrintLock printLock;
    operator_state::OperatorDatabase operatorDatabase;
    printing::PrintStation station;
    service::ServiceContext context;
};

}  // namespace servicetest
