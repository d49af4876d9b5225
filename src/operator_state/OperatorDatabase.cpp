#include "OperatorDatabase.h"

#include <stdexcept>
#include <utility>

namespace operator_state {
namespace {

const QString kDepartmentsSql = QStringLiteral("SELECT ISN, GNOS FROM N_DEPART ORDER BY GNOS");

// How far the window's first show steps into each list.
constexpr int kShownRows = 7;

db::ConnectionOptions explicitMode(db::ConnectionOptions options)
{
    options.mode = db::TransactionMode::Explicit;
    return options;
}

// Opens a department list, steps forward through at most seven rows, then
// onto the row whose key is `kept` (exact match; without one the list stays
// where the stepping left it).
std::vector<Department> openList(db::Query& query, std::optional<std::int32_t> kept)
{
    query.close();
    query.open();
    std::vector<Department> rows;
    int keptRow = -1;
    for (; !query.eof(); query.next()) {
        rows.push_back({query.field(u"ISN").asInteger(), query.field(u"GNOS").asString()});
        if (kept && rows.back().isn == *kept && keptRow < 0)
            keptRow = query.recNo();
    }
    query.first();
    for (int i = 0; i < kShownRows && !query.eof(); ++i)
        query.next();
    if (keptRow >= 0) {
        query.first();
        while (query.recNo() < keptRow)
            query.next();
    }
    return rows;
}

std::optional<std::int32_t> currentKey(const db::Query& query)
{
    if (!query.isOpen() || query.isEmpty())
        return std::nullopt;
    return query.field(u"ISN").asInteger();
}

}  // namespace

OperatorDatabase::OperatorDatabase(db::ConnectionOptions options, PrintLock& printLock, QObject* parent)
    : QObject(parent),
      printLock_(printLock),
      connection_(std::make_unique<db::Connection>(explicitMode(std::move(options)))),
      sendingDepartments_(std::make_unique<db::Query>(*connection_, kDepartmentsSql)),
      hiddenDepartments_(std::make_unique<db::Query>(*connection_, kDepartmentsSql))
{
}

OperatorDatabase::~OperatorDatabase() = default;

void OperatorDatabase::checkHeld(const PrintLock::Held& held) const
{
    if (!held.guards(printLock_))
        throw std::logic_error("the operator's database is used under another lock than its print lock");
}

db::Connection& OperatorDatabase::connection(const PrintLock::Held& held)
{
    checkHeld(held);
    return *connection_;
}

void OperatorDatabase::openDepartmentLists(const PrintLock::Held& held)
{
    checkHeld(held);
    openLists({});
}

OperatorDatabase::DepartmentPositions OperatorDatabase::departmentPositions(const PrintLock::Held& held) const
{
    checkHeld(held);
    return {currentKey(*sendingDepartments_), currentKey(*hiddenDepartments_)};
}

void OperatorDatabase::reopenDepartmentLists(const PrintLock::Held& held, const DepartmentPositions& kept)
{
    checkHeld(held);
    openLists(kept);
    emit departmentListsChanged();
}

void OperatorDatabase::openLists(const DepartmentPositions& kept)
{
    std::vector<Department> sending = openList(*sendingDepartments_, kept.sending);
    std::vector<Department> hidden = openList(*hiddenDepartments_, kept.hidden);
    QMutexLocker locker(&listsMutex_);
    sendingList_ = std::move(sending);
    hiddenList_ = std::move(hidden);
}

std::vector<Department> OperatorDatabase::sendingDepartmentList() const
{
    QMutexLocker locker(&listsMutex_);
    return sendingList_;
}

std::vector<Department> OperatorDatabase::hiddenDepartmentList() const
{
    QMutexLocker locker(&listsMutex_);
    return hiddenList_;
}

}  // namespace operator_state
