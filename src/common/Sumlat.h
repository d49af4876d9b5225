#pragma once
// Money amounts in Latvian words, as the waybills state their totals.

#include <QString>

namespace common {

// Writes an amount as "** " + the whole units in words + the currency word +
// the two-digit cents in figures + the sub-unit word, e.g.
// "** Viens simts divdesmit trīs lati 45 santīmi".
//
// amount: its sign is ignored. 0 gives empty text; an amount below 0.01 or
// above 999 999 999.99 gives "baigais piķis ...".
// currencyCode: empty, "LS" or "LVL" (any case, blanks and control
// characters around it ignored) mean lats with full singular and plural
// wording; "USD" and "DEM" get their own sub-unit words, "LATI" takes
// subUnitWord, any other code is printed as the currency word with no
// sub-unit word.
//
// Cents: the amount is written as a decimal of 15 significant digits, which
// gives back every amount of up to 15 digits as it was meant (2.675, not the
// binary 2.67499999...), and that decimal is rounded to two places, an exact
// half upwards (away from zero): 2.675 gives 68 cents, 0.125 gives 13.
//
// Keeps no state; safe from any thread.
QString AmountInWords(double amount, const QString& currencyCode = {}, const QString& subUnitWord = {});

}  // namespace common
