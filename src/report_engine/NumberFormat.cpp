#include "NumberFormat.h"

#include <QDate>
#include <QDateTime>
#include <QTime>

#include <cmath>
#include <cstdio>
#include <stdexcept>

namespace engine {

namespace {

constexpr QChar kDecimalSeparator = u',';

struct Pattern {
    int minIntegerDigits = 0;
    int minDecimals = 0;
    int maxDecimals = 0;
};

Pattern parsePattern(const QString& text)
{
    Pattern p;
    const qsizetype point = text.indexOf(u'.');
    const QString integerPart = point < 0 ? text : text.left(point);
    const QString decimalPart = point < 0 ? QString() : text.mid(point + 1);
    for (QChar c : integerPart) {
        if (c != u'#' && c != u'0')
            throw std::invalid_argument("unsupported number pattern: " + text.toStdString());
        if (c == u'0')
            ++p.minIntegerDigits;
    }
    for (QChar c : decimalPart) {
        if (c == u'0' && p.minDecimals == p.maxDecimals)
            ++p.minDecimals;
        else if (c != u'#')
            throw std::invalid_argument("unsupported number pattern: " + text.toStdString());
        ++p.maxDecimals;
    }
    return p;
}

// |value| rounded to `decimals` places as a string of digits with the
// decimal point implied `decimals` places from the right.
QString roundedDigits(double value, int decimals)
{
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.14e", std::fabs(value));
    QString digits = QString::fromLatin1(buf, 1) + QString::fromLatin1(buf + 2, 14);
    const int exponent = std::atoi(buf + 17);
    const int shift = exponent - 14 + decimals;  // digits × 10^shift is the result
    if (shift >= 0)
        return digits + QString(shift, u'0');
    const int keep = int(digits.size()) + shift;
    if (keep < 0)
        return QStringLiteral("0");
    const bool roundUp = digits[keep] >= u'5';
    digits.truncate(keep);
    for (int i = keep - 1; roundUp && i >= -1; --i) {
        if (i < 0) {
            digits.prepend(u'1');
            break;
        }
        if (digits[i] != u'9') {
            digits[i] = QChar(digits[i].unicode() + 1);
            break;
        }
        digits[i] = u'0';
    }
    return digits.isEmpty() ? QStringLiteral("0") : digits;
}

QString generalForm(double value)
{
    if (value == 0)
        return QStringLiteral("0");  // also for -0
    QString text = QString::number(value, 'g', 15);
    text.replace(u'.', kDecimalSeparator);
    return text.replace(u'e', u'E');
}

}  // namespace

QString formatNumber(double value, const QString& pattern)
{
    if (pattern.isEmpty() || !std::isfinite(value))
        return generalForm(value);
    const Pattern p = parsePattern(pattern);
    QString digits = roundedDigits(value, p.maxDecimals);
    if (digits.size() <= p.maxDecimals)
        digits = QString(p.maxDecimals - digits.size() + 1, u'0') + digits;
    QString integerPart = digits.left(digits.size() - p.maxDecimals);
    QString decimals = digits.right(p.maxDecimals);
    while (decimals.size() > p.minDecimals && decimals.endsWith(u'0'))
        decimals.chop(1);
    while (integerPart.size() > p.minIntegerDigits && integerPart.startsWith(u'0'))
        integerPart.remove(0, 1);
    if (integerPart.size() < p.minIntegerDigits)
        integerPart = QString(p.minIntegerDigits - integerPart.size(), u'0') + integerPart;
    const bool isZero = digits.count(u'0') == digits.size();
    QString text = (value < 0 && !isZero) ? QStringLiteral("-") : QString();
    text += integerPart;
    if (!decimals.isEmpty())
        text += kDecimalSeparator + decimals;
    return text;
}

bool isNumber(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::Int: case QMetaType::UInt: case QMetaType::LongLong:
    case QMetaType::ULongLong: case QMetaType::Double: case QMetaType::Float:
    case QMetaType::Short: case QMetaType::UShort:
        return true;
    default:
        return false;
    }
}

QString displayText(const QVariant& value, const QString& numberPattern)
{
    if (value.isNull())
        return {};
    if (isNumber(value))
        return formatNumber(value.toDouble(), numberPattern);
    switch (value.typeId()) {
    case QMetaType::QDate:
        return value.toDate().toString(QStringLiteral("dd.MM.yyyy"));
    case QMetaType::QTime:
        return value.toTime().toString(QStringLiteral("HH:mm:ss"));
    case QMetaType::QDateTime: {
        const QDateTime dt = value.toDateTime();
        const QString date = dt.date().toString(QStringLiteral("dd.MM.yyyy"));
        return dt.time() == QTime(0, 0) ? date : date + u' ' + dt.time().toString(QStringLiteral("HH:mm:ss"));
    }
    default:
        return value.toString();
    }
}

}  // namespace engine
