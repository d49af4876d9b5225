#pragma once
// kelvo-server as a process of its own, for the tests that need the whole
// server: headless, on loopback, without the console, and with a home folder
// of the test's own, so that the settings it stores stay with the test.

#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

namespace testsupport {

// Starts `program` serving `database` on 127.0.0.1:`port`, with `arguments`
// after the common ones; the caller waits for it to start.
void startHeadlessServer(QProcess& server, const QString& program, const QTemporaryDir& home,
                         const QString& database, quint16 port, const QStringList& arguments = {});

}  // namespace testsupport
