// kelvo-bench-warehouse DATABASE SCHEMA: makes the benchmarks' warehouse, or
// keeps the one there when it is of this generator's version and newer than
// the schema, and prints how long the making took.

#include "BenchOutput.h"
#include "Connection.h"
#include "DbError.h"
#include "WarehouseFacts.h"
#include "WarehouseGenerator.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

namespace {

bool reusable(const QString& database, const QString& schema)
{
    const auto facts = bench::readFacts(database);
    return facts && facts->version == bench::kWarehouseVersion && QFileInfo::exists(database)
           && QFileInfo(schema).lastModified() <= QFileInfo(bench::factsPath(database)).lastModified();
}

// Made under a temporary name and renamed when complete, so an interrupted
// run leaves no warehouse that looks finished.
void generate(const QString& database, const QString& schema)
{
    const QString part = database + QStringLiteral(".part");
    QFile::remove(bench::factsPath(database));
    QFile::remove(database);
    QFile::remove(part);
    QDir().mkpath(QFileInfo(database).absolutePath());
    QElapsedTimer timer;
    timer.start();
    const bench::WarehouseFacts facts = bench::generateWarehouse(part, schema, QDate::currentDate());
    if (!QFile::rename(part, database))
        throw std::runtime_error("cannot rename " + part.toStdString());
    bench::writeFacts(database, facts);
    const double seconds = timer.elapsed() / 1000.0;
    bench::printFigure(QStringLiteral("warehouse.generation"), seconds, "s", 1);
    bench::printTarget(QStringLiteral("warehouse.generation <= 600 s"), seconds <= 600);
}

}  // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3) {
        bench::note("usage: kelvo-bench-warehouse DATABASE SCHEMA");
        return 2;
    }
    const QString database = QFileInfo(args[1]).absoluteFilePath();
    int status = 0;
    try {
        if (reusable(database, args[2]))
            bench::note("warehouse: reusing %s", qPrintable(database));
        else
            generate(database, args[2]);
        bench::printFigure(QStringLiteral("warehouse.size"), QFileInfo(database).size() / 1048576.0, "MB", 1);
    } catch (const db::DbError& e) {
        bench::note("warehouse: %s", qPrintable(e.message()));
        status = 1;
    } catch (const std::exception& e) {
        bench::note("warehouse: %s", e.what());
        status = 1;
    }
    db::shutdownClient();
    return status;
}
