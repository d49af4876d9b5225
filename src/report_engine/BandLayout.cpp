#include "BandLayout.h"

#include <algorithm>

namespace engine {

namespace {

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
// or keeping its left edge, right edge or centre when AutoSize resized it.
qreal placedLeft(const TextElement& element, qreal width)
{
    if (element.alignToBand())
        return alignedOffset(element.alignment(), element.band().width() - width);
    if (element.autoSize())
        return element.left() + alignedOffset(element.alignment(), element.width() - width);
    return element.left();
}

TextPiece layOutTextElement(TextElement& element, const PrintContext& context, const QString& codePage)
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
    const qreal width = sized ? block.widest() : element.width();
    const qreal height = sized ? std::max(element.height(), block.lineHeight) : element.height();

    TextPiece piece{element.name(), QRectF(placedLeft(element, width), element.top(), width, height),
                    std::move(block), 0, element.alignment(), false};
    piece.shownLines = piece.block.linesWithin(height);
    if (element.autoStretch() && piece.shownLines < piece.block.lines.size()) {
        piece.stretched = true;
        piece.shownLines = piece.block.lines.size();
        piece.rect.setHeight(piece.shownLines * piece.block.lineHeight);
    }
    return piece;
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

void addPiece(Element& element, const PrintContext& context, const QString& codePage, BandLayout& layout)
{
    if (auto* text = dynamic_cast<TextElement*>(&element)) {
        layout.pieces.push_back(layOutTextElement(*text, context, codePage));
    } else if (auto* shape = dynamic_cast<Shape*>(&element)) {
        layout.pieces.push_back(ShapePiece{shape->name(), ShapeOutline{shape->geometry(), shape->penWidth()}});
    } else if (auto* picture = dynamic_cast<FieldPicture*>(&element)) {
        if (auto piece = layOutPicture(*picture, context))
            layout.pieces.push_back(std::move(*piece));
    }
}

}  // namespace

qreal TextPiece::lineOffset(qsizetype line) const
{
    return alignedOffset(alignment, rect.width() - block.widths[line]);
}

BandLayout layOutBand(Band& band, const PrintContext& context, const QString& codePage)
{
    BandLayout layout;
    for (const auto& element : band.elements())
        if (element->isEnabled())
            addPiece(*element, context, codePage, layout);
    layout.height = band.height();
    for (const BandPiece& piece : layout.pieces)
        if (const auto* text = std::get_if<TextPiece>(&piece); text && text->stretched)
            layout.height = std::max(layout.height, text->rect.bottom());
    return layout;
}

}  // namespace engine
