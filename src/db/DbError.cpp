#include "DbError.h"

#include <algorithm>
#include <array>

namespace db {

namespace {
// Firebird's "broken connection" codes: network_error, net_read_err,
// net_write_err, lost_db_connection, att_shutdown, shutdown.
constexpr std::array<long, 6> kConnectionLostCodes{335544721, 335544726, 335544727, 335544741, 335544856, 335544528};
// update_conflict, reported under deadlock.
constexpr long kUpdateConflictCode = 335544451;
// unique_key_violation, no_dup.
constexpr std::array<long, 2> kDuplicateKeyCodes{335544665, 335544349};
// dsql_relation_err: "Table unknown".
constexpr long kUnknownTableCode = 335544580;
}  // namespace

DbError::DbError(const QString& message, std::vector<long> codes)
    : std::runtime_error(message.toStdString()), message_(message), codes_(std::move(codes))
{
}

bool DbError::hasCode(long code) const
{
    return std::find(codes_.begin(), codes_.end(), code) != codes_.end();
}

bool DbError::connectionLost() const
{
    return lost_ || std::any_of(kConnectionLostCodes.begin(), kConnectionLostCodes.end(),
                       [this](long code) { return hasCode(code); });
}

bool DbError::updateConflict() const
{
    return hasCode(kUpdateConflictCode);
}

bool DbError::duplicateKey() const
{
    return std::any_of(kDuplicateKeyCodes.begin(), kDuplicateKeyCodes.end(), [this](long code) { return hasCode(code); });
}

bool DbError::unknownTable() const
{
    return hasCode(kUnknownTableCode);
}

}  // namespace db
