#pragma once
// Number and value texts as the reports print them, with the Latvian
// regional settings the system expects whatever the machine's locale:
// decimal separator ",", short date dd.MM.yyyy.

#include <QString>
#include <QVariant>

namespace engine {

// Formats `value` by a pattern of '#' and '0' digits with an optional '.'
// ("#0.000", "#0.00", "#0", "0.00", "#0." and n zeros): '0' is a digit always
// shown, '#' one shown only when significant, '.' the decimal separator. The
// value is rounded half away from zero on its 15-digit decimal form, so 1.005
// gives "1,01" as a person reading it expects. No thousands grouping.
// An empty pattern gives the shortest general form (up to 15 significant
// digits, no trailing zeros). Throws std::invalid_argument for other patterns.
QString formatNumber(double value, const QString& pattern = {});

// The text a field value prints as: empty for a null, a number by
// `numberPattern` (see formatNumber), a date as dd.MM.yyyy (with the time
// when it is not midnight), a text as it stands.
QString displayText(const QVariant& value, const QString& numberPattern = {});

bool isNumber(const QVariant& value);

}  // namespace engine
