#include "PageDocument.h"

namespace engine {

QRectF TextRun::box() const
{
    return QRectF(baseline.x(), baseline.y() - ascent, width, lineHeight);
}

std::vector<const TextRun*> Page::textRuns(const QString& source) const
{
    std::vector<const TextRun*> runs;
    for (const DrawItem& item : items)
        if (const auto* run = std::get_if<TextRun>(&item); run && (source.isEmpty() || run->source == source))
            runs.push_back(run);
    return runs;
}

const FillRect* Page::fillOf(const QString& source) const
{
    for (const DrawItem& item : items)
        if (const auto* fill = std::get_if<FillRect>(&item); fill && fill->source == source)
            return fill;
    return nullptr;
}

}  // namespace engine
