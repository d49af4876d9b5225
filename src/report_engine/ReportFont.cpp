#include "ReportFont.h"

#include <QFontInfo>
#include <QStringList>
#include <QStringDecoder>
#include <QStringEncoder>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>
#include <vector>

namespace engine {

namespace {

QFont makeQFont(const FontSpec& fontSpec)
{
    QFont font(fontSpec.family);
    font.setPixelSize(std::max(1, int(std::lround(pointsToPixels(fontSpec.pointSize)))));
    font.setBold(fontSpec.bold);
    font.setItalic(fontSpec.italic);
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

}  // namespace

// A report uses a handful of fonts for thousands of texts: each font is made
// once a thread, so that its metrics are looked up once and painters see the
// same font again.
QFont toQFont(const FontSpec& fontSpec)
{
    thread_local std::vector<std::pair<FontSpec, QFont>> made;
    const auto found = std::find_if(made.begin(), made.end(), [&](const auto& m) { return m.first == fontSpec; });
    if (found != made.end())
        return found->second;
    if (made.size() >= 64)
        made.clear();
    made.emplace_back(fontSpec, makeQFont(fontSpec));
    return made.back().second;
}

bool checkReportFont(const QString& family)
{
    const QString resolved = QFontInfo(QFont(family)).family();
    static const QStringList metricCompatible = {
        QStringLiteral("Arial"), QStringLiteral("Liberation Sans"), QStringLiteral("Arimo")};
    if (metricCompatible.contains(resolved, Qt::CaseInsensitive))
        return true;
    std::fprintf(stderr,
                 "warning: report font \"%s\" resolves to \"%s\", which lacks Arial's metrics; "
                 "printed texts will not fit their boxes as laid out (install fonts-liberation)\n",
                 qPrintable(family), qPrintable(resolved));
    return false;
}

QString showInScript(const QString& text, int charset, const QString& codePage)
{
    if (charset != kCyrillicCharset || codePage.isEmpty() || text.isEmpty())
        return text;
    QStringEncoder encoder(codePage.toLatin1().constData());
    QStringDecoder decoder("windows-1251");
    if (!encoder.isValid() || !decoder.isValid())
        return text;
    const QByteArray bytes = encoder(text);
    return decoder(bytes);
}

}  // namespace engine
