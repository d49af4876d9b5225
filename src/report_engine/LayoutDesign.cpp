#include "LayoutDesign.h"

#include <cmath>

namespace engine {

namespace {

qreal toPixels(qreal length, LayoutUnit unit)
{
    switch (unit) {
    case LayoutUnit::Pixels: return length;
    case LayoutUnit::Millimetres: return std::round(mmToPixels(length));
    }
    throw EngineError(QStringLiteral("unknown layout unit"));
}

QRectF geometryOf(const ElementDesign& design, LayoutUnit unit)
{
    return QRectF(toPixels(design.left, unit), toPixels(design.top, unit), toPixels(design.width, unit),
                  toPixels(design.height, unit));
}

// The element a design row names, as the class its kind is built as.
template <class T>
T& designedAs(Element& element)
{
    if (auto* typed = dynamic_cast<T*>(&element))
        return *typed;
    throw EngineError(QStringLiteral("report element %1 is not of its design's kind").arg(element.name()));
}

void applyText(TextElement& element, const ElementDesign& design)
{
    const QString text = design.text.toString();
    switch (design.kind) {
    case ElementKind::Label: designedAs<Label>(element).setCaption(text); break;
    case ElementKind::FieldText:
    case ElementKind::UnboundFieldText: {
        auto& field = designedAs<FieldText>(element);
        field.setDataField(text);
        field.setHasDataSet(design.kind == ElementKind::FieldText);
        field.setMask(design.mask.toString());
        break;
    }
    case ElementKind::Sum: {
        auto& sum = designedAs<Expression>(element);
        sum.setExpression(text);
        sum.setMask(design.mask.toString());
        break;
    }
    case ElementKind::RecordNumber:
    case ElementKind::PageNumber: designedAs<SystemData>(element).setText(text); break;
    case ElementKind::Shape: break;
    }
}

void applyFont(TextElement& element, const FontDesign& design)
{
    if (design.points == 0) {
        element.useReportFont();
        return;
    }
    FontSpec font = element.band().report().font();
    font.pointSize = design.points;
    font.bold = design.style == FontStyle::Bold || design.style == FontStyle::BoldItalic;
    font.italic = design.style == FontStyle::Italic || design.style == FontStyle::BoldItalic;
    element.setFont(font);
}

Element& newElement(Band& band, const ElementDesign& design, const QRectF& geometry)
{
    const QString name = design.name.toString();
    const QString text = design.text.toString();
    switch (design.kind) {
    case ElementKind::Label: return band.addLabel(name, text, geometry);
    case ElementKind::FieldText:
    case ElementKind::UnboundFieldText: return band.addFieldText(name, text, geometry);
    case ElementKind::Sum: return band.addExpression(name, text, geometry);
    case ElementKind::RecordNumber: return band.addSystemData(name, SystemDataKind::DetailNumber, text, geometry);
    case ElementKind::PageNumber: return band.addSystemData(name, SystemDataKind::PageNumber, text, geometry);
    case ElementKind::Shape: return band.addShape(name, geometry);
    }
    throw EngineError(QStringLiteral("unknown element kind of %1").arg(name));
}

}  // namespace

Band& addBand(Report& report, const BandDesign& design, LayoutUnit unit)
{
    const QString name = design.name.toString();
    const qreal height = toPixels(design.height, unit);
    Band& band = design.kind == BandKind::Child
                     ? report.addChildBand(name, report.band(design.parent.toString()), height)
                     : report.addBand(design.kind, name, height);
    band.frame() = design.frame;
    return band;
}

Element& addElement(Band& band, const ElementDesign& design, LayoutUnit unit)
{
    Element& element = newElement(band, design, geometryOf(design, unit));
    restoreDesign(element, design, unit);
    return element;
}

void restoreDesign(Band& band, const BandDesign& design, LayoutUnit unit)
{
    band.setHeight(toPixels(design.height, unit));
    band.setEnabled(true);
    band.frame() = design.frame;
}

void restoreDesign(Element& element, const ElementDesign& design, LayoutUnit unit)
{
    element.setGeometry(geometryOf(design, unit));
    element.setEnabled(true);
    if (design.kind == ElementKind::Shape) {
        designedAs<Shape>(element).setPenWidth(kShapePenWidth);
        return;
    }
    auto& text = designedAs<TextElement>(element);
    applyText(text, design);
    applyFont(text, design.font);
    text.setAlignment(design.alignment);
    text.setAlignToBand(design.alignToBand);
    text.setAutoSize(design.sizing == Sizing::FitsText);
    text.setAutoStretch(design.sizing == Sizing::GrowsDown);
    text.setWordWrap(true);
}

}  // namespace engine
