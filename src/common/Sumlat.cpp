#include "Sumlat.h"

#include <array>
#include <cmath>
#include <cstdint>

namespace common {
namespace {

using WordTable = std::array<const char*, 10>;

// Indexed by digit; every word ends with the blank that separates it from
// the next.
constexpr WordTable units = {"", "viens ", "divi ", "trīs ", "četri ", "pieci ",
                             "seši ", "septiņi ", "astoņi ", "deviņi "};
constexpr WordTable teens = {"desmit ", "vienpadsmit ", "divpadsmit ", "trīspadsmit ",
                             "četrpadsmit ", "piecpadsmit ", "sešpadsmit ", "septiņpadsmit ",
                             "astoņpadsmit ", "deviņpadsmit "};
constexpr WordTable tens = {"", "", "divdesmit ", "trīsdesmit ", "četrdesmit ", "piecdesmit ",
                            "sešdesmit ", "septiņdesmit ", "astoņdesmit ", "deviņdesmit "};
constexpr WordTable hundreds = {"", "viens simts ", "divi simti ", "trīs simti ", "četri simti ",
                                "pieci simti ", "seši simti ", "septiņi simti ", "astoņi simti ",
                                "deviņi simti "};

constexpr double lowestAmount = 0.01;
constexpr double highestAmount = 999999999.99;

struct Currency {
    QString word;
    QString subUnitWord;
    bool isLats = false;
};

struct GroupWords {
    QString words;
    bool singular = false;  // the group ends in "viens " (1, 21, 101, but not 11)
};

// Leading and trailing blanks and control characters removed.
QString trimmedCode(const QString& code)
{
    qsizetype first = 0;
    qsizetype last = code.size();
    while (first < last && code[first] <= u' ')
        ++first;
    while (last > first && code[last - 1] <= u' ')
        --last;
    return code.sliced(first, last - first);
}

// Only a to z are capitalised: the codes are Latin abbreviations.
QString asciiUpper(QString text)
{
    for (QChar& c : text) {
        if (c >= u'a' && c <= u'z')
            c = QChar(c.unicode() - u'a' + u'A');
    }
    return text;
}

Currency currencyFor(const QString& code, const QString& callersSubUnitWord)
{
    const QString key = asciiUpper(trimmedCode(code));
    if (key.isEmpty() || key == u"LS" || key == u"LVL")
        return {QStringLiteral("lati"), {}, true};
    const QString word = asciiUpper(code);
    if (key == u"USD")
        return {word, QStringLiteral("centi")};
    if (key == u"DEM")
        return {word, QStringLiteral("feniņi")};
    if (key == u"LATI")
        return {word, callersSubUnitWord};
    return {word, {}};
}

// The amount in cents, rounded from its 15-significant-digit decimal form.
// Within the written limits that form never takes an exponent.
std::int64_t roundedCents(double amount)
{
    const QString decimal = QString::number(amount, 'g', 15);
    const qsizetype point = decimal.indexOf(u'.');
    const QString whole = point < 0 ? decimal : decimal.left(point);
    const QString fraction = (point < 0 ? QString() : decimal.sliced(point + 1)).leftJustified(3, u'0');
    const bool roundUp = fraction[2] >= u'5';
    return whole.toLongLong() * 100 + fraction.left(2).toInt() + (roundUp ? 1 : 0);
}

GroupWords groupWords(int group)
{
    const int h = group / 100;
    const int t = group / 10 % 10;
    const int u = group % 10;
    if (t == 1)
        return {QString::fromUtf8(hundreds[h]) + QString::fromUtf8(teens[u]), false};
    return {QString::fromUtf8(hundreds[h]) + QString::fromUtf8(tens[t]) + QString::fromUtf8(units[u]), u == 1};
}

// A group of millions or thousands with its scale word; nothing for 000.
QString scaledGroup(int group, const char* singular, const char* plural)
{
    const GroupWords g = groupWords(group);
    if (g.words.isEmpty())
        return {};
    return g.words + QString::fromUtf8(g.singular ? singular : plural);
}

QString capitalised(QString text)
{
    if (!text.isEmpty())
        text[0] = text[0].toUpper();
    return text;
}

QString subUnitWordFor(const Currency& currency, int cents)
{
    if (!currency.isLats)
        return currency.subUnitWord;
    const bool singular = cents % 10 == 1 && cents != 11;
    return singular ? QStringLiteral("santīms") : QStringLiteral("santīmi");
}

}  // namespace

QString AmountInWords(double amount, const QString& currencyCode, const QString& subUnitWord)
{
    const double a = std::abs(amount);
    if (a == 0)
        return {};
    if (!(a >= lowestAmount && a <= highestAmount))
        return QStringLiteral("baigais piķis ...");

    Currency currency = currencyFor(currencyCode, subUnitWord);
    const std::int64_t totalCents = roundedCents(a);
    const int whole = static_cast<int>(totalCents / 100);
    const int cents = static_cast<int>(totalCents % 100);
    const QString tail = QStringLiteral("%1 ").arg(cents, 2, 10, QChar(u'0')) + subUnitWordFor(currency, cents);

    if (whole == 0)
        return QStringLiteral("** Nulle ") + currency.word + u' ' + tail;

    const GroupWords unitGroup = groupWords(whole % 1000);
    if (currency.isLats && unitGroup.singular)
        currency.word = QStringLiteral("lats");
    const QString text = scaledGroup(whole / 1000000, "miljons ", "miljoni ")
                         + scaledGroup(whole / 1000 % 1000, "tūkstotis ", "tūkstoši ")
                         + unitGroup.words + currency.word + u' ';
    return QStringLiteral("** ") + capitalised(text) + tail;
}

}  // namespace common
