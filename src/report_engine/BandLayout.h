#pragma once
// One printing of a band laid out relative to the band's top-left corner:
// the element handlers run, texts are measured and broken into lines, and
// stretching elements set the band's grown height. Placing the result on
// pages is the run's business (ReportRun).

#include "PageDocument.h"
#include "ReportModel.h"
#include "TextLayout.h"

#include <variant>
#include <vector>

namespace engine {

struct TextPiece {
    QString source;
    QRectF rect;  // as printed: sized by AutoSize, grown by AutoStretch
    TextBlock block;
    qsizetype shownLines = 0;  // the lines that are drawn
    Alignment alignment = Alignment::Left;
    bool stretched = false;  // grew to show all lines; they may go on to a new page

    qreal lineOffset(qsizetype line) const;  // of the line's left end from the element's
};

struct ShapePiece {
    QString source;
    ShapeOutline outline;
};

struct PicturePiece {
    QString source;
    Picture picture;
};

using BandPiece = std::variant<TextPiece, ShapePiece, PicturePiece>;

struct BandLayout {
    qreal height = 0;  // at least the band's height; more when an element stretched
    std::vector<BandPiece> pieces;  // enabled elements, in the band's order
};

// `codePage` is the dataset's, for the Cyrillic font script rule.
BandLayout layOutBand(Band& band, const PrintContext& context, const QString& codePage);

}  // namespace engine
