#pragma once
// Report fonts: the font an element asks for, the QFont it is measured and
// drawn with, and the font script rule for 8-bit texts.

#include <QFont>
#include <QString>

namespace engine {

// Font scripts (character sets) the layouts use.
inline constexpr int kDefaultCharset = 1;
inline constexpr int kBalticCharset = 186;
inline constexpr int kCyrillicCharset = 204;

struct FontSpec {
    QString family = QStringLiteral("Arial");
    qreal pointSize = 10;
    bool bold = false;
    bool italic = false;
    int charset = kDefaultCharset;

    bool operator==(const FontSpec&) const = default;
};

// Report pixels are 1/96 inch.
constexpr qreal pointsToPixels(qreal points) { return points * 96.0 / 72.0; }
constexpr qreal mmToPixels(qreal mm) { return mm * 96.0 / 25.4; }

// The QFont of a report font. Its size is whole report pixels, the point size
// rounded at 96 dpi (8 pt = 11 px, 10 pt = 13 px) as the layouts were fitted
// to; pixel sizes also scale with the painter's transform on every device.
// No hinting, so advances are the font's design metrics at any resolution.
QFont toQFont(const FontSpec& fontSpec);

// True when `family` resolves to a family with Arial's metrics (Arial itself,
// Liberation Sans, Arimo); otherwise says so on standard error. The host
// calls it once at start-up (needs a QGuiApplication).
bool checkReportFont(const QString& family = QStringLiteral("Arial"));

// The text an element in a font of `charset` shows. A Cyrillic script shows
// an 8-bit text as Windows-1251: the text is encoded back with the code page
// it was decoded from and decoded as Windows-1251. With no code page (texts
// from a Unicode connection) or another script the text is unchanged.
QString showInScript(const QString& text, int charset, const QString& codePage);

}  // namespace engine
