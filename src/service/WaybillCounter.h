#pragma once
// The waybill number counter "TekPZNr_PL" in the per-user settings store: a
// text value holding, in decimal digits, the number the next created waybill
// receives. Numbers run from 9171900001 to 9171999999 and then wrap.
//
// A store that was lost or holds no readable counter (a new machine, another
// user account, a damaged file, an installation that brings the waybills of
// its old server) must not start the numbers again: the counter then
// continues after the newest "PL" waybill of the range in the goods
// database.

#include <QString>
#include <QVariant>

#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>

namespace db {
class Connection;
}
namespace operator_state {
class SettingsStore;
}

namespace service {

inline const QString kWaybillCounterName = QStringLiteral("TekPZNr_PL");
constexpr std::uint64_t kFirstWaybillNumber = 9171900001;
constexpr std::uint64_t kLastWaybillNumber = 9171999999;

// The stored counter as a signed 64-bit whole number: a text of decimal
// digits with an optional sign, nothing around them. None for a value that
// is absent, not text, empty, no whole number or outside the range.
std::optional<std::int64_t> storedCounterValue(const QVariant& stored);

// The number after `number` as the counter counts: compared as unsigned, one
// more below 9171999999, else (9171999999 itself, anything above it, any
// number that was negative) 9171900001.
std::uint64_t followingWaybillNumber(std::uint64_t number);

struct WaybillNumbers {
    std::uint64_t given;  // the number the waybill receives
    std::uint64_t next;   // the value stored for the next waybill
};

// The number of the most recently created waybill whose number lies in the
// counter's range, none when there is no such waybill.
using NewestNumberInDatabase = std::function<std::optional<std::uint64_t>()>;

// From the stored value (null: absent). A stored number is given as it is,
// however small, read signed and written unsigned. Without one the number
// follows the newest in the database (`newestInDatabase` is asked only then),
// or is 9171900001 when the database has none.
WaybillNumbers waybillNumbers(const QVariant& stored, const NewestNumberInDatabase& newestInDatabase);

// The newest waybill number of the range in the goods database: series
// "PL", ten digits from 9171900001 to 9171999999, the one of the highest
// key (keys are issued in the order waybills are created).
std::optional<std::uint64_t> newestWaybillNumber(db::Connection& connection);

// The counter could not be kept: the number is not issued and the counter is
// left as it was.
class WaybillNumberError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Issues the next number: reads, increments and writes the counter in one
// step that is atomic across the threads and processes sharing the store;
// a counter that has to be recovered reads the database inside that step,
// so two sessions (or two servers of the same user) that find the store
// empty never both recover the same number.
// Throws WaybillNumberError when the store cannot be opened or the advanced
// counter cannot be written, since the next waybill would get the same
// number; the database's errors as they come.
std::uint64_t issueWaybillNumber(operator_state::SettingsStore& store, const NewestNumberInDatabase& newestInDatabase);

// Decimal digits, no sign, no separators.
inline QString waybillNumberText(std::uint64_t number)
{
    return QString::number(number);
}

}  // namespace service
