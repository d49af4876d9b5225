#pragma once
// A kelvo-server started by a benchmark: headless, embedded, on a copy of the
// warehouse (an embedded database file is held by one process, and the bench
// reads or checks the original and the copy itself), on a free loopback port,
// with a settings store of its own holding the warehouse's working date
// range, the operator's departments and the waybill counter. Stopped with
// SIGTERM; the copy and the store go with the object.

#include "WarehouseFacts.h"

#include <QProcess>
#include <QTemporaryDir>

namespace bench {

class BenchServer {
public:
    // Copies `warehouse` into a temporary folder beside it.
    BenchServer(const QString& program, const QString& warehouse, const WarehouseFacts& facts);
    ~BenchServer();
    BenchServer(const BenchServer&) = delete;
    BenchServer& operator=(const BenchServer&) = delete;

    // Starts the server and waits until its port answers. Throws
    // std::runtime_error when it does not start within 30 s.
    void start();
    // SIGTERM, then waits up to 10 s (killing it after that).
    void stop();

    quint16 port() const { return port_; }
    // The server's database: read it only once the server has stopped.
    QString database() const { return folder_.filePath(QStringLiteral("warehouse.fdb")); }

private:
    void writeSettingsStore(const WarehouseFacts& facts) const;
    QString runtimeFolder() const;

    QString program_;
    QTemporaryDir folder_;
    QProcess process_;
    quint16 port_ = 0;
};

}  // namespace bench
