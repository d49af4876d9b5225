#include "BandLayout.h"

#include <QRegularExpression>

#include <algorithm>
#include <numeric>
#include <optional>

namespace engine {

namespace {

// Texts and elements that overlap by less than this are taken to touch, not
// to lie over each other (they were measured in fractions).
constexpr qreal kTouch = 0.5;

qreal alignedOffset(Alignment alignment, qreal room)
{
    switch (alignment) {
    case Alignment::Left: return 0;
    case Alignment::Right: return room;
    case Alignment::Center: return room / 2;
    }
    return 0;
}

// Left edge of an element `width` wide: against the band by its alignment,
// or, when its width follows its text, keeping its left edge, right edge or
// centre.
qreal placedLeft(const TextElement& element, qreal width, bool followsText)
{
    if (element.alignToBand())
        return alignedOffset(element.alignment(), element.band().width() - width);
    if (followsText)
        return element.left() + alignedOffset(element.alignment(), element.width() - width);
    return element.left();
}

// As the number patterns write numbers: digits with an optional minus, a
// decimal comma and an exponent.
bool readsAsNumber(const QString& text)
{
    static const QRegularExpression number(QStringLiteral(R"(^-?\d+(,\d+)?(E[+-]?\d+)?$)"));
    return number.match(text).hasMatch();
}

// A label has no value but its caption, which the form may have set to a
// number; a field text prints a number only from a number field.
bool printsNumber(const TextElement& element, const PrintContext& context, const QString& text)
{
    if (!readsAsNumber(text))
        return false;
    if (const auto* field = dynamic_cast<const FieldText*>(&element))
        return field->valueIsNumber(context);
    return true;
}

// A piece as laid out, and how far it grew and moved.
struct Placement {
    BandPiece piece;
    qreal designTop = 0;
    qreal designBottom = 0;  // of its lines within its element's height, or of its element
    qreal growth = 0;        // added below by stretching
    qreal drop = 0;          // a number gone down below the text it would lie over
    qreal shift = 0;         // moved down by what grew or went down above it
    // A number wider than its element: the element's own extent across.
    std::optional<std::pair<qreal, qreal>> ownSpan;

    bool changed() const { return growth > 0 || drop > 0 || shift > 0; }
};

template <class Piece>
auto& rectOf(Piece& piece)
{
    return std::visit(
        [](auto& p) -> auto& {
            using T = std::decay_t<decltype(p)>;
            if constexpr (std::is_same_v<T, TextPiece>)
                return p.rect;
            else if constexpr (std::is_same_v<T, ShapePiece>)
                return p.outline.rect;
            else
                return p.picture.rect;
        },
        piece);
}

// `designHeight`: what the piece takes up as designed, for a text the lines
// its element's height holds.
Placement placed(BandPiece piece, qreal designHeight)
{
    Placement placement{std::move(piece)};
    const QRectF& rect = rectOf(placement.piece);
    placement.designTop = rect.top();
    placement.designBottom = rect.top() + designHeight;
    return placement;
}

Placement layOutTextElement(TextElement& element, const PrintContext& context, const QString& codePage)
{
    QString text = element.valueText(context);
    if (element.onPrint())
        element.onPrint()(element, text);
    const FontSpec& font = element.font();
    text = showInScript(text, font.charset, codePage);

    const bool sized = element.autoSize();
    const std::optional<qreal> wrapWidth =
        sized || !element.wordWrap() ? std::nullopt : std::optional<qreal>(element.width());
    TextBlock block = layOutText(text, toQFont(font), wrapWidth);
    // A number that the width would break stays whole on one line.
    const bool numberTooWide = wrapWidth && block.lines.size() > 1 && printsNumber(element, context, text);
    if (numberTooWide)
        block = layOutText(text, block.font, std::nullopt);
    const bool followsText = sized || numberTooWide;
    const qreal width = followsText ? block.widest() : element.width();
    const qreal height = sized ? std::max(element.height(), block.lineHeight) : element.height();

    TextPiece piece{element.name(), QRectF(placedLeft(element, width, followsText), element.top(), width, height),
                    std::move(block), 0, element.alignment(), false};
    piece.shownLines = piece.block.linesWithin(height);
    const qsizetype designLines = piece.shownLines;
    if (element.autoStretch() && piece.shownLines < piece.block.lines.size()) {
        piece.shownLines = piece.block.lines.size();
        piece.rect.setHeight(piece.shownLines * piece.block.lineHeight);
    }
    const qreal lineHeight = piece.block.lineHeight;
    Placement placement = placed(std::move(piece), designLines * lineHeight);
    placement.growth = (std::get<TextPiece>(placement.piece).shownLines - designLines) * lineHeight;
    if (numberTooWide) {
        const qreal ownLeft = placedLeft(element, element.width(), false);
        placement.ownSpan = std::pair(ownLeft, ownLeft + element.width());
    }
    return placement;
}

std::optional<PicturePiece> layOutPicture(const FieldPicture& element, const PrintContext& context)
{
    if (!element.hasDataSet() || !context.record)
        return std::nullopt;
    try {
        if (!context.record->hasField(element.dataField()))
            return std::nullopt;
        const QImage image = QImage::fromData(context.record->value(element.dataField()).toByteArray());
        if (image.isNull())
            return std::nullopt;
        return PicturePiece{element.name(), Picture{element.geometry(), image}};
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

void addPiece(Element& element, const PrintContext& context, const QString& codePage,
              std::vector<Placement>& placements)
{
    if (auto* text = dynamic_cast<TextElement*>(&element)) {
        placements.push_back(layOutTextElement(*text, context, codePage));
    } else if (auto* shape = dynamic_cast<Shape*>(&element)) {
        placements.push_back(placed(ShapePiece{shape->name(), ShapeOutline{shape->geometry(), shape->penWidth()}},
                                    shape->height()));
    } else if (auto* picture = dynamic_cast<FieldPicture*>(&element)) {
        if (auto piece = layOutPicture(*picture, context))
            placements.push_back(placed(std::move(*piece), picture->height()));
    }
}

bool overlap(qreal from1, qreal to1, qreal from2, qreal to2)
{
    return std::min(to1, to2) - std::max(from1, from2) > kTouch;
}

// The boxes of a text piece's drawn lines.
std::vector<QRectF> lineBoxes(const TextPiece& piece)
{
    std::vector<QRectF> boxes;
    for (qsizetype line = 0; line < piece.shownLines; ++line)
        if (piece.block.widths[line] > 0)
            boxes.emplace_back(piece.rect.left() + piece.lineOffset(line), piece.lineTop(line),
                               piece.block.widths[line], piece.block.lineHeight);
    return boxes;
}

// A number reaching out of its element goes down below the lines of the
// texts of its row and above that the part outside its element would lie
// over; what lies lower moves down below it afterwards.
void dropClearOfOtherTexts(Placement& number, const std::vector<Placement>& placements, qreal rowSlack)
{
    auto& piece = std::get<TextPiece>(number.piece);
    if (piece.shownLines == 0)
        return;
    const auto [ownLeft, ownRight] = *number.ownSpan;
    const qreal left = piece.rect.left(), right = piece.rect.right();
    for (;;) {
        const qreal top = piece.rect.top(), bottom = top + piece.block.lineHeight;
        std::optional<qreal> below;
        for (const Placement& other : placements) {
            const auto* text = std::get_if<TextPiece>(&other.piece);
            if (!text || &other == &number || other.designTop >= number.designTop + rowSlack)
                continue;
            for (const QRectF& box : lineBoxes(*text)) {
                const bool across = overlap(left, std::min(ownLeft, right), box.left(), box.right())
                                    || overlap(std::max(ownRight, left), right, box.left(), box.right());
                if (across && overlap(top, bottom, box.top(), box.bottom()))
                    below = std::max(below.value_or(box.bottom()), box.bottom());
            }
        }
        if (!below)
            return;
        number.drop += *below - top;
        piece.rect.moveTop(*below);
    }
}

// Rows of the band, top down: pieces starting less than `rowSlack` below the
// first piece of their row.
std::vector<std::vector<std::size_t>> rowsOf(const std::vector<Placement>& placements, qreal rowSlack)
{
    std::vector<std::size_t> order(placements.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return placements[a].designTop < placements[b].designTop; });
    std::vector<std::vector<std::size_t>> rows;
    for (std::size_t i : order) {
        if (rows.empty() || placements[i].designTop - placements[rows.back().front()].designTop >= rowSlack)
            rows.emplace_back();
        rows.back().push_back(i);
    }
    return rows;
}

// A row moves down with a piece above it that grew or moved by more than the
// space the layout left between it and one of the row's pieces, by as much
// as that piece went down at its bottom, so that it keeps its place below.
void moveDownBelowWhatGrew(std::vector<Placement>& placements, qreal rowSlack)
{
    std::vector<const Placement*> above;
    for (const std::vector<std::size_t>& row : rowsOf(placements, rowSlack)) {
        qreal shift = 0;
        for (std::size_t i : row) {
            const QRectF& rect = rectOf(placements[i].piece);
            for (const Placement* upper : above) {
                const QRectF& upperRect = rectOf(upper->piece);
                if (!overlap(upperRect.left(), upperRect.right(), rect.left(), rect.right()))
                    continue;
                const qreal gap = std::max<qreal>(0, placements[i].designTop - upper->designBottom);
                const qreal down = upper->shift + upper->drop + upper->growth;
                if (down > gap + kTouch)
                    shift = std::max(shift, down);
            }
        }
        for (std::size_t i : row)
            placements[i].shift = shift;
        for (std::size_t i : row)
            above.push_back(&placements[i]);
    }
    for (Placement& placement : placements)
        rectOf(placement.piece).translate(0, placement.shift);
}

void markMoving(Placement& placement)
{
    std::visit([&placement](auto& piece) { piece.moves = placement.changed(); }, placement.piece);
}

}  // namespace

const QRectF& pieceRect(const BandPiece& piece)
{
    return rectOf(piece);
}

bool pieceMoves(const BandPiece& piece)
{
    return std::visit([](const auto& p) { return p.moves; }, piece);
}

qreal TextPiece::lineOffset(qsizetype line) const
{
    return alignedOffset(alignment, rect.width() - block.widths[line]);
}

BandLayout layOutBand(Band& band, const PrintContext& context, const QString& codePage)
{
    std::vector<Placement> placements;
    for (const auto& element : band.elements())
        if (element->isEnabled())
            addPiece(*element, context, codePage, placements);
    const bool anyWide = std::any_of(placements.begin(), placements.end(), [](const Placement& p) { return p.ownSpan; });
    const bool anyGrew = std::any_of(placements.begin(), placements.end(), [](const Placement& p) { return p.growth > 0; });
    BandLayout layout{band.height(), {}};
    if (anyWide || anyGrew) {
        const qreal rowSlack = layOutText({}, toQFont(band.report().font()), std::nullopt).lineHeight / 2;
        for (Placement& placement : placements)
            if (placement.ownSpan)
                dropClearOfOtherTexts(placement, placements, rowSlack);
        moveDownBelowWhatGrew(placements, rowSlack);
        const qreal frameClearance = band.frame().drawBottom ? pointsToPixels(band.frame().widthPt) : 0;
        for (Placement& placement : placements)
            if (placement.changed())
                layout.height = std::max(layout.height, rectOf(placement.piece).bottom() + frameClearance);
    }
    for (Placement& placement : placements) {
        markMoving(placement);
        layout.pieces.push_back(std::move(placement.piece));
    }
    return layout;
}

}  // namespace engine
