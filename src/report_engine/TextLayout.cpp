#include "TextLayout.h"

#include <QFontMetricsF>
#include <QHash>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>
#include <mutex>
#include <utility>
#include <vector>

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

// The widths of texts measured before, by font: captions, units and many
// values come again and again, and measuring a text costs it a shaping.
// Shared by the threads of the process (one print runs at a time), and
// forgotten wholesale when a font has many.
class MeasuredWidths {
public:
    explicit MeasuredWidths(const QFont& font) : metrics_(font), font_(font) {}

    const QFontMetricsF& metrics() const { return metrics_; }

    qreal of(const QString& text) const
    {
        {
            std::lock_guard lock(mutex());
            QHash<QString, qreal>& widths = widthsOf(font_);
            if (const auto found = widths.constFind(text); found != widths.cend())
                return *found;
        }
        const qreal width = metrics_.horizontalAdvance(text);
        std::lock_guard lock(mutex());
        QHash<QString, qreal>& widths = widthsOf(font_);
        if (widths.size() >= kMaxTexts)
            widths.clear();
        widths.insert(text, width);
        return width;
    }

private:
    static constexpr qsizetype kMaxTexts = 20000;
    static constexpr std::size_t kMaxFonts = 64;

    static std::mutex& mutex()
    {
        static std::mutex m;
        return m;
    }

    // Call with the mutex held.
    static QHash<QString, qreal>& widthsOf(const QFont& font)
    {
        static std::vector<std::pair<QFont, QHash<QString, qreal>>> fonts;
        for (auto& [known, widths] : fonts) {
            if (known == font)
                return widths;
        }
        if (fonts.size() >= kMaxFonts)
            fonts.clear();
        return fonts.emplace_back(font, QHash<QString, qreal>()).second;
    }

    QFontMetricsF metrics_;
    QFont font_;
};

class LineBreaker {
public:
    LineBreaker(const MeasuredWidths& widths, qreal width) : widths_(widths), width_(width) {}

    // Appends the lines of one paragraph.
    void breakParagraph(const QString& paragraph, TextBlock& block) const
    {
        qsizetype start = 0;
        do {
            // Most texts fit their box: one measurement then.
            const QString rest = start == 0 ? paragraph : paragraph.sliced(start);
            const qreal restWidth = widths_.of(rest);
            if (restWidth <= width_ + kEpsilon) {
                block.lines.append(rest);
                block.widths.append(restWidth);
                return;
            }
            const qsizetype end = lineEnd(paragraph, start);
            const QString line = withoutTrailingSpaces(paragraph.sliced(start, end - start)).toString();
            block.lines.append(line);
            block.widths.append(widths_.of(line));
            start = end;
        } while (start < paragraph.size());
    }

private:
    bool fits(QStringView text) const
    {
        return widths_.metrics().horizontalAdvance(withoutTrailingSpaces(text).toString()) <= width_ + kEpsilon;
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

    const MeasuredWidths& widths_;
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
    const MeasuredWidths widths(font);
    const QFontMetricsF& metrics = widths.metrics();
    TextBlock block{font, metrics.ascent() + metrics.descent(), metrics.ascent(), {}, {}};
    if (text.isEmpty())
        return block;
    // Most texts are one paragraph: no splitting then.
    static const QRegularExpression lineBreak(QStringLiteral("\r\n|\r|\n"));
    const bool oneParagraph = !text.contains(u'\n') && !text.contains(u'\r');
    const QStringList paragraphs = oneParagraph ? QStringList{text} : text.split(lineBreak);
    for (const QString& paragraph : paragraphs) {
        if (wrapWidth && !paragraph.isEmpty()) {
            LineBreaker(widths, *wrapWidth).breakParagraph(paragraph, block);
        } else {
            block.lines.append(paragraph);
            block.widths.append(widths.of(paragraph));
        }
    }
    return block;
}

}  // namespace engine
