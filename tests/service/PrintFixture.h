#pragma once
// The print request's world on the demo warehouse: operator settings on their
// own connection, both report forms, a print station whose devices the test
// chooses, and a service context that prints through it.

#include "OperatorSettings.h"
#include "PrParvAlkoholaPZForm.h"
#include "PrParvietPZForm.h"
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
    explicit PrintFixture(service::DeviceFactory devices);

    // PZ_BLOK of the waybill, read on a connection of the test's own.
    QString blocked(std::int32_t waybill) const;

    testsupport::TestDatabase database;
    QTemporaryDir storeDir{testsupport::scratchFolderTemplate()};
    host::SettingsStore store;
    host::OperatorSettings operatorSettings;
    reports::TPrParvietPZ general;
    reports::TPrParvAlkoholaPZ alcohol;
    service::PrintStation station;
    service::ServiceContext context;
};

}  // namespace servicetest
