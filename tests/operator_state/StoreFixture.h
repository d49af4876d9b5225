#pragma once
// A test with a home of its own: HOME and XDG_CONFIG_HOME point into a
// temporary folder (on tmpfs where there is one) for as long as the test
// runs, so the per-user settings store is the test's.

#include "CaseName.h"
#include "TestDatabase.h"

#include <QByteArray>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace testsupport {

class StoreTest : public ::testing::Test {
protected:
    StoreTest();
    ~StoreTest() override;

    // Where the store of the current user is kept.
    QString storeFile() const;
    bool storeExists() const;
    // Puts `content` in the store's place as it stands.
    void writeStoreFile(const QByteArray& content) const;
    // The stored object; empty when there is none or it does not parse.
    QJsonObject storedObject() const;
    // XDG_CONFIG_HOME under a regular file: the store cannot be opened.
    void blockStore();

    QTemporaryDir home{testsupport::scratchFolderTemplate()};

private:
    QByteArray savedHome_;
    QByteArray savedConfigHome_;
};

}  // namespace testsupport
