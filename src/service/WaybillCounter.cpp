#include "WaybillCounter.h"

#include "SettingsStore.h"

namespace service {

WaybillNumbers waybillNumbers(const QVariant& stored)
{
    std::int64_t value = static_cast<std::int64_t>(kFirstWaybillNumber);
    if (stored.typeId() == QMetaType::QString) {
        bool ok = false;
        const qlonglong parsed = stored.toString().toLongLong(&ok, 10);
        if (ok)
            value = parsed;
    }
    const auto given = static_cast<std::uint64_t>(value);
    return {given, given < kLastWaybillNumber ? given + 1 : kFirstWaybillNumber};
}

std::uint64_t issueWaybillNumber(operator_state::SettingsStore& store)
{
    std::uint64_t given = 0;
    const bool kept = store.update([&](operator_state::SettingsStore::Values& values) {
        const WaybillNumbers numbers = waybillNumbers(values.value(kWaybillCounterName));
        given = numbers.given;
        values.insert(kWaybillCounterName, waybillNumberText(numbers.next));
    });
    if (!kept)
        throw WaybillNumberError(
            QStringLiteral("The waybill number counter %1 cannot be stored in the settings store: "
                           "no waybill was created")
                .arg(kWaybillCounterName)
                .toStdString());
    return given;
}

}  // namespace service
