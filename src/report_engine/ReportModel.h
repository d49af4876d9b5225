#pragma once
// The report model: a report with its page setup, one dataset and its bands;
// each band with its print elements. Report forms declare the layout once
// and set handlers (plain callables); handlers may change the model during
// a run, and the run uses each value as it stands when the band or element
// prints. What they set stays set after the run.

#include "DataSet.h"
#include "PrintProgress.h"
#include "ReportFont.h"

#include <QHash>
#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <QRectF>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <vector>

namespace engine {

class Band;
class Expression;
class OutputDevice;
class Report;

// A fault of the layout or of the output device, raised by the engine.
class EngineError : public std::runtime_error {
public:
    explicit EngineError(const QString& message) : std::runtime_error(message.toStdString()) {}
};

enum class BandKind { PageHeader, Title, ColumnHeader, Detail, Summary, Child };
enum class Alignment { Left, Right, Center };
enum class SystemDataKind { DetailNumber, PageNumber };
enum class OutputBin { Auto, First };

enum class PrintResult {
    NoPrinter,   // the device is not usable: nothing happened
    NotPrinted,  // the report's BeforePrint left printReport false
    Printed,
    Cancelled,
};

// A rectangle given in millimetres (layouts that give positions in mm).
inline QRectF mmRect(qreal left, qreal top, qreal width, qreal height)
{
    return QRectF(mmToPixels(left), mmToPixels(top), mmToPixels(width), mmToPixels(height));
}

struct PageSetup {
    QPageSize paper{QPageSize::A4};
    QPageLayout::Orientation orientation = QPageLayout::Portrait;
    QMarginsF marginsMm{10, 10, 10, 10};  // left, top, right, bottom

    QSizeF paperSizePx() const;  // as oriented
    QMarginsF marginsPx() const;
};

struct PrinterSettings {
    int copies = 1;  // below 1 prints one copy
    OutputBin outputBin = OutputBin::Auto;
};

// What an element's value text depends on at the moment it prints.
struct PrintContext {
    const ReportDataSet* record = nullptr;  // positioned on the current record; null when none
    int recordNumber = 0;
    int pageNumber = 0;
    const QHash<const Expression*, double>* sums = nullptr;
};

// Positions are report pixels (1/96 inch) from the band's top-left corner.
class Element {
public:
    virtual ~Element() = default;
    Element(const Element&) = delete;
    Element& operator=(const Element&) = delete;

    const QString& name() const { return name_; }
    Band& band() const { return band_; }

    bool isEnabled() const { return enabled_; }
    void setEnabled(bool enabled) { enabled_ = enabled; }
    qreal left() const { return geometry_.left(); }
    qreal top() const { return geometry_.top(); }
    qreal width() const { return geometry_.width(); }
    qreal height() const { return geometry_.height(); }
    void setLeft(qreal left) { geometry_.moveLeft(left); }
    void setTop(qreal top) { geometry_.moveTop(top); }
    void setWidth(qreal width) { geometry_.setWidth(width); }
    void setHeight(qreal height) { geometry_.setHeight(height); }
    const QRectF& geometry() const { return geometry_; }
    void setGeometry(const QRectF& geometry) { geometry_ = geometry; }

protected:
    Element(Band& band, QString name, const QRectF& geometry);

private:
    Band& band_;
    QString name_;
    QRectF geometry_;
    bool enabled_ = true;
};

// Labels, field texts, expressions and system data.
class TextElement : public Element {
public:
    // Receives the text about to print and may replace it for this printing.
    using PrintHandler = std::function<void(TextElement& sender, QString& value)>;

    Alignment alignment() const { return alignment_; }
    void setAlignment(Alignment alignment) { alignment_ = alignment; }
    // Placed against the band's left or right edge, or centred in it, by
    // alignment, whatever the width.
    bool alignToBand() const { return alignToBand_; }
    void setAlignToBand(bool on) { alignToBand_ = on; }
    // The width follows the text, each paragraph on one line; the element
    // keeps its left edge, right edge or centre by alignment.
    bool autoSize() const { return autoSize_; }
    void setAutoSize(bool on) { autoSize_ = on; }
    bool wordWrap() const { return wordWrap_; }
    void setWordWrap(bool on) { wordWrap_ = on; }
    // Grows downwards, and its band with it, to show all lines.
    bool autoStretch() const { return autoStretch_; }
    void setAutoStretch(bool on) { autoStretch_ = on; }

    // The element's own font, or the report font when it has none.
    const FontSpec& font() const;
    void setFont(const FontSpec& font) { font_ = font; }
    void useReportFont() { font_.reset(); }
    void setFontCharset(int charset);  // takes an own font first when needed
    bool hasOwnFont() const { return font_.has_value(); }

    const PrintHandler& onPrint() const { return onPrint_; }
    void setOnPrint(PrintHandler handler) { onPrint_ = std::move(handler); }

    // The text the element prints before its OnPrint handler.
    virtual QString valueText(const PrintContext& context) const = 0;

protected:
    using Element::Element;

private:
    Alignment alignment_ = Alignment::Left;
    bool alignToBand_ = false;
    bool autoSize_ = true;
    bool wordWrap_ = true;
    bool autoStretch_ = false;
    std::optional<FontSpec> font_;
    PrintHandler onPrint_;
};

class Label : public TextElement {
public:
    Label(Band& band, QString name, QString caption, const QRectF& geometry);

    const QString& caption() const { return caption_; }
    void setCaption(const QString& caption) { caption_ = caption; }
    QString valueText(const PrintContext&) const override { return caption_; }

private:
    QString caption_;
};

// The value of a field of the report's dataset (or of none: prints empty).
class FieldText : public TextElement {
public:
    FieldText(Band& band, QString name, QString dataField, const QRectF& geometry);

    const QString& dataField() const { return dataField_; }
    void setDataField(const QString& field) { dataField_ = field; }
    bool hasDataSet() const { return hasDataSet_; }
    void setHasDataSet(bool on) { hasDataSet_ = on; }
    // Formats a number field instead of its display format.
    const QString& mask() const { return mask_; }
    void setMask(const QString& mask) { mask_ = mask; }
    QString valueText(const PrintContext& context) const override;
    // Whether the field holds a number for the current record.
    bool valueIsNumber(const PrintContext& context) const;

private:
    QVariant value(const PrintContext& context) const;  // null when it prints empty

    QString dataField_;
    QString mask_;
    bool hasDataSet_ = true;
};

// "SUM(ReportSQL.FIELD)": the sum of the field over the printed detail
// records of the run, formatted by its mask. The dataset name is the
// report's dataset's; the field name matches without regard to case.
class Expression : public TextElement {
public:
    Expression(Band& band, QString name, const QString& expression, const QRectF& geometry);

    const QString& expression() const { return expression_; }
    void setExpression(const QString& expression);  // throws EngineError if not such a sum
    const QString& sumField() const { return sumField_; }
    const QString& mask() const { return mask_; }
    void setMask(const QString& mask) { mask_ = mask; }
    QString valueText(const PrintContext& context) const override;

private:
    QString expression_;
    QString sumField_;
    QString mask_;
};

// `text` followed by the record number (1 for the first record) or the page
// number, in plain digits.
class SystemData : public TextElement {
public:
    SystemData(Band& band, QString name, SystemDataKind kind, QString text, const QRectF& geometry);

    SystemDataKind kind() const { return kind_; }
    const QString& text() const { return text_; }
    void setText(const QString& text) { text_ = text; }
    QString valueText(const PrintContext& context) const override;

private:
    SystemDataKind kind_;
    QString text_;
};

// A rectangle outlined with a pen, filled white.
class Shape : public Element {
public:
    Shape(Band& band, QString name, const QRectF& geometry);

    qreal penWidth() const { return penWidth_; }  // report pixels
    void setPenWidth(qreal width) { penWidth_ = width; }

private:
    qreal penWidth_ = 1;
};

// The picture held in a blob field, scaled into the rectangle; nothing when
// it has no dataset or field, or the field holds no picture.
class FieldPicture : public Element {
public:
    FieldPicture(Band& band, QString name, QString dataField, const QRectF& geometry);

    const QString& dataField() const { return dataField_; }
    bool hasDataSet() const { return hasDataSet_; }
    void setHasDataSet(bool on) { hasDataSet_ = on; }

private:
    QString dataField_;
    bool hasDataSet_ = false;
};

struct Frame {
    bool drawTop = false;
    bool drawBottom = false;
    qreal widthPt = 1;  // points
};

class Band {
public:
    // Starts as the band's Enabled; the band prints only if it stays true.
    using PrintHandler = std::function<void(Band& sender, bool& printBand)>;

    Band(Report& report, BandKind kind, QString name, qreal height);
    Band(const Band&) = delete;
    Band& operator=(const Band&) = delete;

    Report& report() const { return report_; }
    BandKind kind() const { return kind_; }
    const QString& name() const { return name_; }
    qreal height() const { return height_; }
    void setHeight(qreal height) { height_ = height; }
    qreal width() const;  // the page width less the margins
    bool isEnabled() const { return enabled_; }
    void setEnabled(bool enabled) { enabled_ = enabled; }
    Frame& frame() { return frame_; }
    const Frame& frame() const { return frame_; }
    const PrintHandler& beforePrint() const { return beforePrint_; }
    void setBeforePrint(PrintHandler handler) { beforePrint_ = std::move(handler); }

    // The child band printed right after each printing of this band.
    Band* child() const { return child_; }
    Band* parent() const { return parent_; }

    Label& addLabel(const QString& name, const QString& caption, const QRectF& geometry);
    FieldText& addFieldText(const QString& name, const QString& dataField, const QRectF& geometry);
    Expression& addExpression(const QString& name, const QString& expression, const QRectF& geometry);
    SystemData& addSystemData(const QString& name, SystemDataKind kind, const QString& text,
                              const QRectF& geometry);
    Shape& addShape(const QString& name, const QRectF& geometry);
    FieldPicture& addFieldPicture(const QString& name, const QString& dataField, const QRectF& geometry);

    // In the order they print.
    const std::vector<std::unique_ptr<Element>>& elements() const { return elements_; }

private:
    friend class Report;
    template <class T, class... Args>
    T& add(const QString& name, Args&&... args);

    Report& report_;
    BandKind kind_;
    QString name_;
    qreal height_;
    bool enabled_ = true;
    Frame frame_;
    PrintHandler beforePrint_;
    Band* parent_ = nullptr;
    Band* child_ = nullptr;
    std::vector<std::unique_ptr<Element>> elements_;
};

class Report {
public:
    using BeforePrintHandler = std::function<void(Report& sender, bool& printReport)>;
    using AfterPrintHandler = std::function<void(Report& sender)>;

    Report();
    ~Report();
    Report(const Report&) = delete;
    Report& operator=(const Report&) = delete;

    PageSetup& page() { return page_; }
    const PageSetup& page() const { return page_; }
    PrinterSettings& printerSettings() { return printerSettings_; }
    const PrinterSettings& printerSettings() const { return printerSettings_; }
    // The print job's document name.
    const QString& title() const { return title_; }
    void setTitle(const QString& title) { title_ = title; }
    bool printIfEmpty() const { return printIfEmpty_; }
    void setPrintIfEmpty(bool on) { printIfEmpty_ = on; }
    // The page header prints on the first page too.
    bool firstPageHeader() const { return firstPageHeader_; }
    void setFirstPageHeader(bool on) { firstPageHeader_ = on; }
    // For text elements without a font of their own.
    const FontSpec& font() const { return font_; }
    void setFont(const FontSpec& font) { font_ = font; }

    // Not owned; may be replaced, closed and opened by the handlers.
    ReportDataSet* dataSet() const { return dataSet_; }
    void setDataSet(ReportDataSet* dataSet) { dataSet_ = dataSet; }

    // One band of each kind but Child; names are unique in the report.
    Band& addBand(BandKind kind, const QString& name, qreal height);
    Band& addChildBand(const QString& name, Band& parent, qreal height);
    Band* band(BandKind kind) const;  // null when the report has none
    const std::vector<std::unique_ptr<Band>>& bands() const { return bands_; }

    // Lookup by name; throw EngineError when missing or of another kind.
    Band& band(const QString& name) const;
    Element& element(const QString& name) const;
    template <class T>
    T& element(const QString& name) const;
    Element* findElement(const QString& name) const { return elements_.value(name); }

    const BeforePrintHandler& beforePrint() const { return beforePrint_; }
    void setBeforePrint(BeforePrintHandler handler) { beforePrint_ = std::move(handler); }
    const AfterPrintHandler& afterPrint() const { return afterPrint_; }
    void setAfterPrint(AfterPrintHandler handler) { afterPrint_ = std::move(handler); }

    qreal bandWidth() const;

    // One print cycle to `device`; see ReportRun.h. Returns when the job has
    // been handed over. Errors of handlers and of the device reach the caller
    // after the failure rules have run. A second print of the same report
    // while one runs (another thread, or a handler) throws EngineError.
    PrintResult print(OutputDevice& device);

    PrintProgress& progress() { return progress_; }

private:
    friend class Band;
    void registerName(const QString& name);
    void registerElement(Element& element);

    PageSetup page_;
    PrinterSettings printerSettings_;
    QString title_;
    bool printIfEmpty_ = false;
    bool firstPageHeader_ = true;
    FontSpec font_;
    ReportDataSet* dataSet_ = nullptr;
    std::vector<std::unique_ptr<Band>> bands_;
    QHash<QString, Band*> bandsByName_;
    QHash<QString, Element*> elements_;
    BeforePrintHandler beforePrint_;
    AfterPrintHandler afterPrint_;
    PrintProgress progress_;
    std::atomic_bool printing_{false};
};

template <class T>
T& Report::element(const QString& name) const
{
    if (auto* typed = dynamic_cast<T*>(&element(name)))
        return *typed;
    throw EngineError(QStringLiteral("report element %1 is not of the kind asked for").arg(name));
}

template <class T, class... Args>
T& Band::add(const QString& name, Args&&... args)
{
    auto element = std::make_unique<T>(*this, name, std::forward<Args>(args)...);
    T& added = *element;
    report_.registerElement(added);
    elements_.push_back(std::move(element));
    return added;
}

}  // namespace engine
