#pragma once
// The command line of the service and load benchmarks:
//   --server PROGRAM    the kelvo-server to start
//   --database FILE     the generated warehouse (kelvo-bench-warehouse)

#include <QCommandLineParser>
#include <QCoreApplication>

namespace bench {

struct BenchCommandLine {
    QString server;
    QString database;
};

inline BenchCommandLine parseBenchCommandLine(const QCoreApplication& app)
{
    QCommandLineParser parser;
    const QCommandLineOption server(QStringLiteral("server"), QStringLiteral("The kelvo-server program."),
                                    QStringLiteral("PROGRAM"));
    const QCommandLineOption database(QStringLiteral("database"), QStringLiteral("The generated warehouse."),
                                      QStringLiteral("FILE"), QStringLiteral("var/bench-warehouse.fdb"));
    parser.addOptions({server, database});
    parser.addHelpOption();
    parser.process(app);
    if (!parser.isSet(server))
        parser.showHelp(2);
    return {parser.value(server), parser.value(database)};
}

}  // namespace bench
