#pragma once
// Breaking an element's text into lines and measuring them, once, in report
// pixels. Painters draw the lines exactly as stored here.

#include <QFont>
#include <QList>
#include <QStringList>

#include <optional>

namespace engine {

struct TextBlock {
    QFont font;
    qreal lineHeight = 0;  // ascent + descent: lines stand one below the other
    qreal ascent = 0;
    QStringList lines;
    QList<qreal> widths;  // of each line as drawn

    qreal widest() const;
    // Lines that fit wholly within `height`.
    qsizetype linesWithin(qreal height) const;
};

// Each paragraph (ended by CR, LF or CR LF) starts a new line. Without
// `wrapWidth` a paragraph stays on one line; with it, lines are broken after a
// space or a hyphen so that they fit, and a word wider than `wrapWidth` is
// broken between characters. A broken line drops its trailing spaces; other
// lines keep their text as it stands. An empty text has no lines.
TextBlock layOutText(const QString& text, const QFont& font, std::optional<qreal> wrapWidth);

}  // namespace engine
