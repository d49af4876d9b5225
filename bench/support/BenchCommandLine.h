#pragma once
// The command line of the service and load benchmarks:
//   --server PROGRAM    the kelvo-server to start
//   --database FILE     the generated warehouse (kelvo-bench-warehouse)
//   --remote DATABASE   a copy of it served by a Firebird server, as
//                       host/port:path (service bench; SYSDBA with
//                       kelvo-server's default password)

#include <QCommandLineParser>
#include <QCoreApplication>

namespace bench {

struct BenchCommandLine {
    QString server;
    QString database;
    QString remote;  // empty: none
};

inline BenchCommandLine parseBenchCommandLine(const QCoreApplication& app)
{
    QCommandLineParser parser;
    const QCommandLineOption server(QStringLiteral("server"), QStringLiteral("The kelvo-server program."),
                                    QStringLiteral("PROGRAM"));
    const QCommandLineOption database(QStringLiteral("database"), QStringLiteral("The generated warehouse."),
                                      QStringLiteral("FILE"), QStringLiteral("var/bench-warehouse.fdb"));
    const QCommandLineOption remote(QStringLiteral("remote"),
                                    QStringLiteral("A copy of the warehouse on a Firebird server (host/port:path)."),
                                    QStringLiteral("DATABASE"));
    parser.addOptions({server, database, remote});
    parser.addHelpOption();
    parser.process(app);
    if (!parser.isSet(server))
        parser.showHelp(2);
    return {parser.value(server), parser.value(database), parser.value(remote)};
}

}  // namespace bench
