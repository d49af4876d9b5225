#pragma once
// The waybill number counter "TekPZNr_PL" in the per-user settings store: a
// text value holding, in decimal digits, the number the next created waybill
// receives. Numbers run from 9171900001 to 9171999999 and then wrap.

#include <QString>
#include <QVariant>

#include <cstdint>
#include <stdexcept>

namespace operator_state {
class SettingsStore;
}

namespace service {

inline const QString kWaybillCounterName = QStringLiteral("TekPZNr_PL");
constexpr std::uint64_t kFirstWaybillNumber = 9171900001;
constexpr std::uint64_t kLastWaybillNumber = 9171999999;

struct WaybillNumbers {
    std::uint64_t given;  // the number the waybill receives
    std::uint64_t next;   // the value stored for the next waybill
};

// From the stored value (null: absent). A value that is not text, empty, no
// whole number or outside the signed 64-bit range counts as 9171900001. The
// number is read signed and compared and written unsigned, so a negative
// value is given as a number above the range and the counter wraps; a number
// below the range is given and incremented as it is.
WaybillNumbers waybillNumbers(const QVariant& stored);

// The counter could not be kept: the number is not issued and the counter is
// left as it was.
class WaybillNumberError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Issues the next number: reads, increments and writes the counter in one
// step that is atomic across the threads and processes sharing the store.
// Throws WaybillNumberError when the store cannot be opened or the advanced
// counter cannot be written, since the next waybill would get the same number.
std::uint64_t issueWaybillNumber(operator_state::SettingsStore& store);

// Decimal digits, no sign, no separators.
inline QString waybillNumberText(std::uint64_t number)
{
    return QString::number(number);
}

}  // namespace service
