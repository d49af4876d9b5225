#include "ServerProcess.h"

namespace testsupport {

void startHeadlessServer(QProcess& server, const QString& program, const QTemporaryDir& home,
                         const QString& database, quint16 port, const QStringList& arguments)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("HOME", home.path());
    environment.insert("XDG_CONFIG_HOME", home.filePath("config"));
    server.setProcessEnvironment(environment);
    server.start(program, QStringList{"--headless", "--listen", "127.0.0.1", "--port", QString::number(port),
                                      "--database", database, "--console", "off"}
                              + arguments);
}

}  // namespace testsupport
