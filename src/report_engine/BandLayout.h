#pragma once
// One printing of a band laid out relative to the band's top-left corner:
// the element handlers run, texts are measured and broken into lines, numbers
// too wide for their elements reach out of them, and stretching elements
// grow, moving what lies below them down. Placing the result on pages is the
// run's business (ReportRun).

#include "PageDocument.h"
#include "ReportModel.h"
#include "TextLayout.h"

#include <variant>
#include <vector>

namespace engine {

struct TextPiece {
    QString source;
    QRectF rect;  // as printed: sized by AutoSize or a number's width, grown by AutoStretch, moved down
    TextBlock block;
    qsizetype shownLines = 0;  // the lines that are drawn
    Alignment alignment = Alignment::Left;
    bool moves = false;  // grew or moved down: what lies past the page's end goes on to the next page

    qreal lineOffset(qsizetype line) const;  // of the line's left end from the element's
    qreal lineTop(qsizetype line) const { return rect.top() + line * block.lineHeight; }
};

struct ShapePiece {
    QString source;
    ShapeOutline outline;
    bool moves = false;
};

struct PicturePiece {
    QString source;
    Picture picture;
    bool moves = false;
};

using BandPiece = std::variant<TextPiece, ShapePiece, PicturePiece>;

// Where a piece prints, relative to its band, and whether it grew or moved.
const QRectF& pieceRect(const BandPiece& piece);
bool pieceMoves(const BandPiece& piece);

struct BandLayout {
    qreal height = 0;  // at least the band's height; more when its content grew
    std::vector<BandPiece> pieces;  // enabled elements, in the band's order
};

// The rules that keep every text of a band whole and clear of the others:
//  - A number (a number field's value, a sum, a system number, or a label's
//    caption that reads as a number, as the number patterns write them) that
//    is wider than its element prints on one line, reaching out of the
//    element on the side its alignment leaves free, as AutoSize would place
//    it. Where that would put it over another text of the band, it goes down
//    below that text.
//  - An element that stretches or goes down by more than the space the
//    layout left below it moves the elements below it down with it, by as
//    much as its bottom went down, so that they keep their places below it.
//    Elements below are those starting lower whose extent across overlaps
//    it; the elements that start in the same row as a moved one (within half
//    a line of the report font) move with it, so that captions stay beside
//    their values. What the growth does not reach stays where it is.
//  - The band grows to hold what grew or moved, clear of its bottom frame
//    line.
// Where nothing stretches and no number is too wide, every element stays at
// its design position and the band keeps its height.
//
// `codePage` is the dataset's, for the Cyrillic font script rule.
BandLayout layOutBand(Band& band, const PrintContext& context, const QString& codePage);

}  // namespace engine
