#include "PageChecks.h"

#include <QPainterPath>

#include <algorithm>
#include <optional>

namespace engine::test {

namespace {

// Two texts whose glyphs have less than this in common merely touch.
constexpr qreal kTouchingInk = 0.25;
// A background or rule laid down over less than a report pixel of a text's
// glyphs trims the tail of a letter, as the layouts' close rows do; more
// hides part of the text.
constexpr qreal kTrimmedInk = 1;

// The outlines of the glyphs, as exact as they are drawn (the font metrics'
// tight bounds are whole pixels).
QRectF inkOf(const TextRun& run)
{
    QPainterPath glyphs;
    glyphs.addText(run.baseline, run.font, run.text);
    return glyphs.boundingRect();
}

bool covers(const QRectF& a, const QRectF& b, qreal slack)
{
    const QRectF common = a.intersected(b);
    return common.width() > slack && common.height() > slack;
}

bool isOverlay(const Overlays& overlays, const QString& a, const QString& b)
{
    return std::any_of(overlays.begin(), overlays.end(), [&](const auto& pair) {
        return (pair.first == a && pair.second == b) || (pair.first == b && pair.second == a);
    });
}

QString describe(const TextRun& run)
{
    return QStringLiteral("%1 \"%2\"").arg(run.source, run.text);
}

struct Cover {
    QRectF rect;
    QString what;    // as the finding names it
    QString source;  // for the overlays
};

// What a drawn item lays over the texts drawn before it, if anything.
std::optional<Cover> coverOf(const DrawItem& item)
{
    if (const auto* fill = std::get_if<FillRect>(&item))
        return Cover{fill->rect, QStringLiteral("the background of ") + fill->source, fill->source};
    if (const auto* frame = std::get_if<FrameLine>(&item)) {
        const qreal half = frame->width / 2;
        const QRectF rect = QRectF(frame->line.p1(), frame->line.p2()).normalized().adjusted(-half, -half, half, half);
        return Cover{rect, QStringLiteral("the frame line of ") + frame->source, frame->source};
    }
    if (const auto* shape = std::get_if<ShapeOutline>(&item)) {
        const qreal half = shape->penWidth / 2;
        return Cover{shape->rect.adjusted(-half, -half, half, half), QStringLiteral("a shape"), QString()};
    }
    return std::nullopt;
}

}  // namespace

QStringList overprints(const PageDocument& document, const Overlays& overlays)
{
    QStringList found;
    for (std::size_t p = 0; p < document.pages.size(); ++p) {
        const QString where = QStringLiteral("page %1: ").arg(p + 1);
        std::vector<std::pair<const TextRun*, QRectF>> drawn;  // in painting order
        for (const DrawItem& item : document.pages[p].items) {
            if (const auto* run = std::get_if<TextRun>(&item)) {
                const QRectF ink = inkOf(*run);
                for (const auto& [earlier, earlierInk] : drawn)
                    if (covers(ink, earlierInk, kTouchingInk) && !isOverlay(overlays, earlier->source, run->source))
                        found.append(where + describe(*earlier) + QStringLiteral(" under ") + describe(*run));
                drawn.emplace_back(run, ink);
            } else if (const std::optional<Cover> cover = coverOf(item)) {
                for (const auto& [earlier, earlierInk] : drawn)
                    if (covers(cover->rect, earlierInk, kTrimmedInk)
                        && !isOverlay(overlays, earlier->source, cover->source))
                        found.append(where + describe(*earlier) + QStringLiteral(" under ") + cover->what);
            }
        }
    }
    return found;
}

::testing::AssertionResult noTextOverprinted(const PageDocument& document, const Overlays& overlays)
{
    const QStringList found = overprints(document, overlays);
    if (found.isEmpty())
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "texts printed over: " << found.join(QStringLiteral("; ")).toStdString();
}

}  // namespace engine::test
