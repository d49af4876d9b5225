#include "TextLayout.h"

#include <QFontMetricsF>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>

namespace engine {

namespace {

// Slack for widths and heights that equal their box but were measured in
// fractions.
constexpr qreal kEpsilon = 1e-6;

QStringView withoutTrailingSpaces(QStringView text)
{
    qsizetype n = text.size();
    while (n > 0 && text[n - 1] == u' ')
        --n;
    return text.first(n);
}

class LineBreaker {
public:
    LineBreaker(const QFontMetricsF& metrics, qreal width) : metrics_(metrics), width_(width) {}

    // Appends the lines of one paragraph.
    void breakParagraph(QStringView paragraph, TextBlock& block) const
    {
        qsizetype start = 0;
        do {
            // Most texts fit their box: one measurement then.
            const QString rest = paragraph.sliced(start).toString();
            const qreal restWidth = metrics_.horizontalAdvance(rest);
            if (restWidth <= width_ + kEpsilon) {
                block.lines.append(rest);
                block.widths.append(restWidth);
                return;
            }
            const qsizetype end = lineEnd(paragraph, start);
            const QString line = withoutTrailingSpaces(paragraph.sliced(start, end - start)).toString();
            block.lines.append(line);
            block.widths.append(metrics_.horizontalAdvance(line));
            start = end;
        } while (start < paragraph.size());
    }

private:
    bool fits(QStringView text) const
    {
        return metrics_.horizontalAdvance(withoutTrailingSpaces(text).toString()) <= width_ + kEpsilon;
    }

    // End of the line starting at `start`: the last break opportunity that
    // fits, else as many characters as fit (at least one).
    qsizetype lineEnd(QStringView text, qsizetype start) const
    {
        qsizetype best = 0;
        for (qsizetype i = start; i < text.size(); ++i) {
            const bool opportunity = text[i] == u' ' || text[i] == u'-' || i + 1 == text.size();
            if (!opportunity)
                continue;
            if (!fits(text.sliced(start, i + 1 - start)))
                break;
            best = i + 1;
        }
        return best > 0 ? best : charactersThatFit(text, start);
    }

    qsizetype charactersThatFit(QStringView text, qsizetype start) const
    {
        qsizetype low = 1, high = text.size() - start;  // low always accepted
        while (low < high) {
            const qsizetype mid = (low + high + 1) / 2;
            if (fits(text.sliced(start, mid)))
                low = mid;
            else
                high = mid - 1;
        }
        return start + low;
    }

    const QFontMetricsF& metrics_;
    qreal width_;
};

}  // namespace

qreal TextBlock::widest() const
{
    return widths.isEmpty() ? 0 : *std::max_element(widths.begin(), widths.end());
}

qsizetype TextBlock::linesWithin(qreal height) const
{
    if (lineHeight <= 0)
        return 0;
    const auto fitting = qsizetype(std::floor((height + kEpsilon) / lineHeight));
    return std::clamp<qsizetype>(fitting, 0, lines.size());
}

TextBlock layOutText(const QString& text, const QFont& font, std::optional<qreal> wrapWidth)
{
    const QFontMetricsF metrics(font);
    TextBlock block{font, metrics.ascent() + metrics.descent(), metrics.ascent(), {}, {}};
    if (text.isEmpty())
        return block;
    static const QRegularExpression lineBreak(QStringLiteral("\r\n|\r|\n"));
    const QStringList paragraphs = text.split(lineBreak);
    for (const QString& paragraph : paragraphs) {
        if (wrapWidth && !paragraph.isEmpty()) {
            LineBreaker(metrics, *wrapWidth).breakParagraph(paragraph, block);
        } else {
            block.lines.append(paragraph);
            block.widths.append(metrics.horizontalAdvance(paragraph));
        }
    }
    return block;
}

}  // namespace engine
