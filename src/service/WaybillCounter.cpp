#include "WaybillCounter.h"

#include "Log.h"
#include "Query.h"
#include "SettingsStore.h"

#include <charconv>

namespace service {

std::optional<std::int64_t> storedCounterValue(const QVariant& stored)
{
    if (stored.typeId() != QMetaType::QString)
        return std::nullopt;
    QByteArray text = stored.toString().toLatin1();
    // from_chars takes a minus sign but no plus sign.
    if (text.startsWith('+') && text.size() > 1 && text[1] != '-')
        text.remove(0, 1);
    std::int64_t value = 0;
    const char* end = text.constData() + text.size();
    const auto [stop, error] = std::from_chars(text.constData(), end, value, 10);
    if (text.isEmpty() || error != std::errc() || stop != end)
        return std::nullopt;
    return value;
}

std::uint64_t followingWaybillNumber(std::uint64_t number)
{
    return number < kLastWaybillNumber ? number + 1 : kFirstWaybillNumber;
}

WaybillNumbers waybillNumbers(const QVariant& stored, const NewestNumberInDatabase& newestInDatabase)
{
    std::uint64_t given = kFirstWaybillNumber;
    if (const std::optional<std::int64_t> value = storedCounterValue(stored))
        given = static_cast<std::uint64_t>(*value);
    else if (const std::optional<std::uint64_t> newest = newestInDatabase())
        given = followingWaybillNumber(*newest);
    return {given, followingWaybillNumber(given)};
}

std::optional<std::uint64_t> newestWaybillNumber(db::Connection& connection)
{
    // "91719" and five digits, except 9171900000: the range as text.
    db::Query newest(connection, QStringLiteral("SELECT FIRST 1 NR_PAVADZ FROM O_PARPAV "
                                                "WHERE PZ_SERIJA = 'PL' AND NR_PAVADZ SIMILAR TO '91719[0-9]{5}' "
                                                "AND NR_PAVADZ <> '9171900000' ORDER BY ISN DESC"));
    newest.open();
    if (newest.isEmpty())
        return std::nullopt;
    return newest.field(0).asString().toULongLong();
}

std::uint64_t issueWaybillNumber(operator_state::SettingsStore& store, const NewestNumberInDatabase& newestInDatabase)
{
    WaybillNumbers numbers{};
    std::optional<std::optional<std::uint64_t>> recoveredAfter;  // set when the database was asked
    const bool kept = store.update([&](operator_state::SettingsStore::Values& values) {
        numbers = waybillNumbers(values.value(kWaybillCounterName), [&] {
            recoveredAfter = newestInDatabase();
            return *recoveredAfter;
        });
        values.insert(kWaybillCounterName, waybillNumberText(numbers.next));
    });
    if (!kept)
        throw WaybillNumberError(
            QStringLiteral("The waybill number counter %1 cannot be stored in the settings store: "
                           "no waybill was created")
                .arg(kWaybillCounterName)
                .toStdString());
    if (recoveredAfter)
        logging::warning("waybill_counter.recovered",
                         {{"store", store.location()},
                          {"newest_in_database", *recoveredAfter ? QVariant(waybillNumberText(**recoveredAfter))
                                                                 : QVariant(QStringLiteral("none"))},
                          {"given", waybillNumberText(numbers.given)}});
    return numbers.given;
}

}  // namespace service
