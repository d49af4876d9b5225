#pragma once
// A service session on a fresh embedded database, with its own operator
// settings and a settings store in a temporary folder.

#include "OperatorValues.h"
#include "RpcSession.h"
#include "SettingsStore.h"
#include "TestDatabase.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QTemporaryDir>

#include <functional>
#include <memory>

#include <gtest/gtest.h>

namespace servicetest {

QByteArray requestLine(const QJsonValue& id, const QString& method, const QJsonValue& params = QJsonValue::Undefined);
QJsonObject parseLine(const QByteArray& line);
// Column `name` of an open result, as 64-bit integers (null as 0).
std::vector<qint64> integerColumn(const QJsonObject& result, const QString& name);
// The value in column `name` of row `row`.
QJsonValue cell(const QJsonObject& result, int row, const QString& name);

class ServiceTest : public ::testing::Test {
protected:
    ServiceTest();

    // One request through `on`, or else through `transport`; the whole
    // response object.
    QJsonObject call(const QString& method, const QJsonValue& params = QJsonValue::Undefined, service::RpcSession* on = nullptr);
    // The result of a request that must succeed.
    QJsonValue result(const QString& method, const QJsonValue& params = QJsonValue::Undefined, service::RpcSession* on = nullptr);
    QJsonObject open(const QString& provider, const QJsonValue& params = QJsonValue::Undefined, service::RpcSession* on = nullptr);
    qint64 execute(const QString& provider, const QJsonValue& params = QJsonValue::Undefined, service::RpcSession* on = nullptr);
    // The error code of a request that must fail.
    int errorCode(const QString& method, const QJsonValue& params = QJsonValue::Undefined, service::RpcSession* on = nullptr);

    // A query on the test's own connection.
    std::vector<std::vector<db::Value>> select(const QString& sql);
    // Waits until another attachment runs a statement that starts so: it is
    // waiting on a lock. False when none does within a minute.
    bool statementRuns(const QString& statementStart) const;
    QVariant storedCounter() const;

    testsupport::TestDatabase database;
    QTemporaryDir storeDir{testsupport::scratchFolderTemplate()};
    operator_state::SettingsStore store;
    operator_state::OperatorValues operatorValues;
    service::ServiceContext context;
    service::RpcSession session{context};
    // How a request line reaches the fixture's session and its answer comes
    // back; at first directly.
    std::function<QByteArray(const QByteArray&)> transport = [this](const QByteArray& line) {
        return session.handle(line);
    };

private:
    // Attached at the first select and kept: an attach costs more than most
    // of the statements a test checks its rows with.
    std::unique_ptr<db::Connection> ownConnection_;
};

}  // namespace servicetest
