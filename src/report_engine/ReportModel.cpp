#include "ReportModel.h"

#include "NumberFormat.h"

#include <QRegularExpression>

namespace engine {

QSizeF PageSetup::paperSizePx() const
{
    const QRectF sheet = QPageLayout(paper, orientation, QMarginsF()).fullRect(QPageLayout::Millimeter);
    return QSizeF(mmToPixels(sheet.width()), mmToPixels(sheet.height()));
}

QMarginsF PageSetup::marginsPx() const
{
    return QMarginsF(mmToPixels(marginsMm.left()), mmToPixels(marginsMm.top()),
                     mmToPixels(marginsMm.right()), mmToPixels(marginsMm.bottom()));
}

Element::Element(Band& band, QString name, const QRectF& geometry)
    : band_(band), name_(std::move(name)), geometry_(geometry)
{
}

const FontSpec& TextElement::font() const
{
    return font_ ? *font_ : band().report().font();
}

void TextElement::setFontCharset(int charset)
{
    FontSpec own = font();
    own.charset = charset;
    font_ = own;
}

Label::Label(Band& band, QString name, QString caption, const QRectF& geometry)
    : TextElement(band, std::move(name), geometry), caption_(std::move(caption))
{
}

FieldText::FieldText(Band& band, QString name, QString dataField, const QRectF& geometry)
    : TextElement(band, std::move(name), geometry), dataField_(std::move(dataField))
{
}

QVariant FieldText::value(const PrintContext& context) const
{
    const ReportDataSet* record = context.record;
    if (!hasDataSet_ || !record)
        return {};
    try {
        return record->hasField(dataField_) ? record->value(dataField_) : QVariant();
    } catch (const std::exception&) {
        return {};  // a field that cannot be read prints empty
    }
}

QString FieldText::valueText(const PrintContext& context) const
{
    const QVariant fieldValue = value(context);
    if (fieldValue.isNull())
        return {};
    const QString pattern = mask_.isEmpty() ? context.record->displayFormat(dataField_) : mask_;
    return displayText(fieldValue, pattern);  // a pattern it cannot follow is a layout fault: throws
}

bool FieldText::valueIsNumber(const PrintContext& context) const
{
    return isNumber(value(context));
}

Expression::Expression(Band& band, QString name, const QString& expression, const QRectF& geometry)
    : TextElement(band, std::move(name), geometry)
{
    setExpression(expression);
}

void Expression::setExpression(const QString& expression)
{
    static const QRegularExpression sum(QStringLiteral(R"(^\s*SUM\s*\(\s*(?:\w+\s*\.\s*)?(\w+)\s*\)\s*$)"),
                                        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = sum.match(expression);
    if (!match.hasMatch())
        throw EngineError(QStringLiteral("%1: only SUM(DataSet.FIELD) expressions are supported, not \"%2\"")
                              .arg(name(), expression));
    expression_ = expression;
    sumField_ = match.captured(1);
}

QString Expression::valueText(const PrintContext& context) const
{
    const double sum = context.sums ? context.sums->value(this, 0.0) : 0.0;
    return formatNumber(sum, mask_);
}

SystemData::SystemData(Band& band, QString name, SystemDataKind kind, QString text, const QRectF& geometry)
    : TextElement(band, std::move(name), geometry), kind_(kind), text_(std::move(text))
{
}

QString SystemData::valueText(const PrintContext& context) const
{
    const int number = kind_ == SystemDataKind::DetailNumber ? context.recordNumber : context.pageNumber;
    return text_ + QString::number(number);
}

Shape::Shape(Band& band, QString name, const QRectF& geometry) : Element(band, std::move(name), geometry) {}

FieldPicture::FieldPicture(Band& band, QString name, QString dataField, const QRectF& geometry)
    : Element(band, std::move(name), geometry), dataField_(std::move(dataField))
{
}

Band::Band(Report& report, BandKind kind, QString name, qreal height)
    : report_(report), kind_(kind), name_(std::move(name)), height_(height)
{
}

qreal Band::width() const
{
    return report_.bandWidth();
}

Label& Band::addLabel(const QString& name, const QString& caption, const QRectF& geometry)
{
    return add<Label>(name, caption, geometry);
}

FieldText& Band::addFieldText(const QString& name, const QString& dataField, const QRectF& geometry)
{
    return add<FieldText>(name, dataField, geometry);
}

Expression& Band::addExpression(const QString& name, const QString& expression, const QRectF& geometry)
{
    return add<Expression>(name, expression, geometry);
}

SystemData& Band::addSystemData(const QString& name, SystemDataKind kind, const QString& text,
                                const QRectF& geometry)
{
    return add<SystemData>(name, kind, text, geometry);
}

Shape& Band::addShape(const QString& name, const QRectF& geometry)
{
    return add<Shape>(name, geometry);
}

FieldPicture& Band::addFieldPicture(const QString& name, const QString& dataField, const QRectF& geometry)
{
    return add<FieldPicture>(name, dataField, geometry);
}

Report::Report() = default;
Report::~Report() = default;

Band& Report::addBand(BandKind kind, const QString& name, qreal height)
{
    if (kind == BandKind::Child)
        throw EngineError(QStringLiteral("%1: child bands are added with addChildBand").arg(name));
    if (band(kind))
        throw EngineError(QStringLiteral("%1: the report already has a band of this kind").arg(name));
    registerName(name);
    bands_.push_back(std::make_unique<Band>(*this, kind, name, height));
    bandsByName_.insert(name, bands_.back().get());
    return *bands_.back();
}

Band& Report::addChildBand(const QString& name, Band& parent, qreal height)
{
    if (parent.child_)
        throw EngineError(QStringLiteral("%1 already has a child band").arg(parent.name()));
    registerName(name);
    bands_.push_back(std::make_unique<Band>(*this, BandKind::Child, name, height));
    Band& child = *bands_.back();
    bandsByName_.insert(name, &child);
    child.parent_ = &parent;
    parent.child_ = &child;
    return child;
}

Band* Report::band(BandKind kind) const
{
    for (const auto& band : bands_)
        if (band->kind() == kind && kind != BandKind::Child)
            return band.get();
    return nullptr;
}

Band& Report::band(const QString& name) const
{
    if (Band* found = bandsByName_.value(name))
        return *found;
    throw EngineError(QStringLiteral("the report has no band %1").arg(name));
}

Element& Report::element(const QString& name) const
{
    if (Element* found = elements_.value(name))
        return *found;
    throw EngineError(QStringLiteral("the report has no element %1").arg(name));
}

qreal Report::bandWidth() const
{
    const QMarginsF margins = page_.marginsPx();
    return page_.paperSizePx().width() - margins.left() - margins.right();
}

void Report::registerName(const QString& name)
{
    if (name.isEmpty() || bandsByName_.contains(name) || elements_.contains(name))
        throw EngineError(QStringLiteral("report names must be unique and not empty: \"%1\"").arg(name));
}

void Report::registerElement(Element& element)
{
    registerName(element.name());
    elements_.insert(element.name(), &element);
}

}  // namespace engine
