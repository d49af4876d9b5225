#include "WarehouseFacts.h"

#include "Query.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

#include <stdexcept>

namespace bench {

QString factsPath(const QString& database)
{
    const QFileInfo info(database);
    return info.dir().filePath(info.completeBaseName() + QStringLiteral(".json"));
}

std::optional<WarehouseFacts> readFacts(const QString& database)
{
    QFile file(factsPath(database));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QJsonObject o = QJsonDocument::fromJson(file.readAll()).object();
    WarehouseFacts facts;
    facts.version = o.value(u"version").toInt();
    facts.lastDay = QDate::fromString(o.value(u"lastDay").toString(), Qt::ISODate);
    facts.firstWorkingDay = QDate::fromString(o.value(u"firstWorkingDay").toString(), Qt::ISODate);
    facts.sendingDepartment = o.value(u"sendingDepartment").toInt();
    facts.hiddenDepartment = o.value(u"hiddenDepartment").toInt();
    facts.nextWaybillNumber = o.value(u"nextWaybillNumber").toInteger();
    if (!facts.lastDay.isValid() || !facts.firstWorkingDay.isValid())
        return std::nullopt;
    return facts;
}

WarehouseFacts requireFacts(const QString& database)
{
    const std::optional<WarehouseFacts> facts = readFacts(database);
    if (!facts)
        throw std::runtime_error("no generated warehouse at " + database.toStdString());
    return *facts;
}

void writeFacts(const QString& database, const WarehouseFacts& facts)
{
    const QJsonObject o{
        {QStringLiteral("version"), facts.version},
        {QStringLiteral("lastDay"), facts.lastDay.toString(Qt::ISODate)},
        {QStringLiteral("firstWorkingDay"), facts.firstWorkingDay.toString(Qt::ISODate)},
        {QStringLiteral("sendingDepartment"), facts.sendingDepartment},
        {QStringLiteral("hiddenDepartment"), facts.hiddenDepartment},
        {QStringLiteral("nextWaybillNumber"), static_cast<qint64>(facts.nextWaybillNumber)},
    };
    QSaveFile file(factsPath(database));
    if (!file.open(QIODevice::WriteOnly) || file.write(QJsonDocument(o).toJson()) < 0 || !file.commit())
        throw std::runtime_error("cannot write " + file.fileName().toStdString());
}

QString pendingLinesOfWorkingRange()
{
    return QStringLiteral("O_PASPAV.ISN = O_PASPRC.ISPASPAV AND O_PASPAV.PIEGADPIRCEJS = 1 "
                          "AND O_PASPAV.ISNODALA != :HIDDEN AND O_PASPAV.DATUMS BETWEEN :DATEFROM AND :DATETO "
                          "AND O_PASPRC.ATKR_DAUDZ < O_PASPRC.APSTIPRIN_DAUDZ "
                          "AND (O_PASPRC.ISPASPRC_SAIST IS NULL OR O_PASPRC.ISPASPRC_SAIST = 0)");
}

void bindWorkingRange(db::Query& query, const WarehouseFacts& facts)
{
    query.param(u"HIDDEN").setValue(facts.hiddenDepartment);
    query.param(u"DATEFROM").setValue(facts.firstWorkingDay);
    query.param(u"DATETO").setValue(facts.lastDay);
}

}  // namespace bench
