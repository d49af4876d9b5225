#include "PrintDevices.h"

#include <QFile>
#include <QPdfWriter>
#include <QPrinter>
#include <QPrinterInfo>

#include <algorithm>
#include <utility>
#include <vector>

namespace engine {

namespace {

// Where a page has ink so far, in horizontal strips. A white background over
// blank paper changes nothing, so it is left out: most backgrounds lie on
// blank paper, and painting them would cost about as much as the texts.
class InkMap {
public:
    void add(const QRectF& rect)
    {
        // Glyphs may reach a little past their line's box.
        const QRectF inked = rect.adjusted(-kOverhang, -kOverhang, kOverhang, kOverhang);
        const auto [first, last] = stripsOf(inked);
        if (last >= strips_.size())
            strips_.resize(last + 1);
        for (std::size_t i = first; i <= last; ++i)
            strips_[i].push_back(inked);
    }

    bool intersects(const QRectF& rect) const
    {
        const auto [first, last] = stripsOf(rect);
        for (std::size_t i = first; i <= last && i < strips_.size(); ++i)
            for (const QRectF& inked : strips_[i])
                if (inked.intersects(rect))
                    return true;
        return false;
    }

private:
    static constexpr qreal kStrip = 32;
    static constexpr qreal kOverhang = 2;

    static std::pair<std::size_t, std::size_t> stripsOf(const QRectF& rect)
    {
        const auto strip = [](qreal y) { return std::size_t(std::max<qreal>(0, y) / kStrip); };
        return {strip(rect.top()), strip(rect.bottom())};
    }

    std::vector<std::vector<QRectF>> strips_;
};

// The painter's font and pen are set only when they change: setting them
// again for every text run costs a PDF as much as drawing the text.
class ItemPainter {
public:
    ItemPainter(QPainter& painter, InkMap& ink) : painter_(painter), ink_(ink) {}

    void operator()(const FillRect& fill)
    {
        if (ink_.intersects(fill.rect))
            painter_.fillRect(fill.rect, Qt::white);
    }
    void operator()(const TextRun& run)
    {
        if (!fontSet_ || run.font != font_) {
            painter_.setFont(run.font);
            font_ = run.font;
            fontSet_ = true;
        }
        static const QPen textPen(Qt::black);
        usePen(textPen);
        painter_.drawText(run.baseline, run.text);
        ink_.add(run.box());
    }
    void operator()(const FrameLine& frame)
    {
        usePen(QPen(Qt::black, frame.width, Qt::SolidLine, Qt::FlatCap));
        painter_.drawLine(frame.line);
        const qreal half = frame.width / 2;
        ink_.add(QRectF(frame.line.p1(), frame.line.p2()).normalized().adjusted(-half, -half, half, half));
    }
    void operator()(const ShapeOutline& shape)
    {
        usePen(QPen(Qt::black, shape.penWidth));
        painter_.setBrush(Qt::white);
        painter_.drawRect(shape.rect);
        const qreal half = shape.penWidth / 2;
        ink_.add(shape.rect.adjusted(-half, -half, half, half));
    }
    void operator()(const Picture& picture)
    {
        painter_.drawImage(picture.rect, picture.image);
        ink_.add(picture.rect);
    }

private:
    void usePen(const QPen& pen)
    {
        if (painter_.pen() != pen)
            painter_.setPen(pen);
    }

    QPainter& painter_;
    InkMap& ink_;
    QFont font_;
    bool fontSet_ = false;
};

QPageLayout fullPageLayout(const PrintJob& job)
{
    return QPageLayout(job.paper, job.orientation, QMarginsF(0, 0, 0, 0));
}

}  // namespace

void paintPage(QPainter& painter, const Page& page)
{
    InkMap ink;
    ItemPainter paint(painter, ink);
    for (const DrawItem& item : page.items)
        std::visit(paint, item);
}

void PaintingDevice::beginPainting(QPagedPaintDevice& target, int repeats)
{
    if (!painter_.begin(&target))
        throw EngineError(QStringLiteral("the print job could not be started"));
    target_ = &target;
    repeats_ = repeats;
    pagesPainted_ = 0;
}

bool PaintingDevice::paint(const PageDocument& document, const CancelCheck& cancelled)
{
    for (int copy = 0; copy < repeats_; ++copy) {
        for (const Page& page : document.pages) {
            if (cancelled())
                return false;
            if (pagesPainted_ > 0 && !target_->newPage())
                throw EngineError(QStringLiteral("the printer refused a new page"));
            painter_.resetTransform();
            painter_.scale(target_->logicalDpiX() / 96.0, target_->logicalDpiY() / 96.0);
            paintPage(painter_, page);
            ++pagesPainted_;
        }
    }
    return true;
}

void PaintingDevice::endJob()
{
    if (!hasPainted()) {
        abandonJob();
        return;
    }
    stopPainting();
}

void PaintingDevice::stopPainting()
{
    if (painter_.isActive())
        painter_.end();
    target_ = nullptr;
}

PrinterDevice::PrinterDevice(const QString& printerName) : printerName_(printerName), choosesByName_(true) {}

PrinterDevice::PrinterDevice(std::unique_ptr<QPrinter> printer)
    : choosesByName_(false), printer_(std::move(printer))
{
}

PrinterDevice::~PrinterDevice()
{
    stopPainting();
}

QPrinterInfo PrinterDevice::printerInfo() const
{
    return printerName_.isEmpty() ? QPrinterInfo::defaultPrinter() : QPrinterInfo::printerInfo(printerName_);
}

bool PrinterDevice::isUsable() const
{
    return !choosesByName_ || !printerInfo().isNull();
}

void PrinterDevice::beginJob(const PrintJob& job)
{
    if (choosesByName_)
        printer_ = std::make_unique<QPrinter>(printerInfo(), QPrinter::HighResolution);
    QPrinter& printer = *printer_;
    printer.setDocName(job.title);
    printer.setFullPage(true);
    printer.setPageLayout(fullPageLayout(job));
    printer.setPaperSource(job.outputBin == OutputBin::First ? QPrinter::Upper : QPrinter::Auto);
    printer.setDuplex(QPrinter::DuplexNone);
    const bool spoolerCopies = printer.supportsMultipleCopies();
    printer.setCopyCount(spoolerCopies ? job.copies : 1);
    beginPainting(printer, spoolerCopies ? 1 : job.copies);
}

void PrinterDevice::abandonJob()
{
    if (printer_)
        printer_->abort();
    stopPainting();
}

PdfDevice::PdfDevice(QString filePath) : filePath_(std::move(filePath)) {}

PdfDevice::~PdfDevice()
{
    stopPainting();
}

void PdfDevice::beginJob(const PrintJob& job)
{
    writer_ = std::make_unique<QPdfWriter>(filePath_);
    writer_->setTitle(job.title);
    writer_->setCreator(QStringLiteral("Kelvo"));
    writer_->setPageLayout(fullPageLayout(job));
    try {
        beginPainting(*writer_, job.copies);
    } catch (const EngineError&) {
        writer_.reset();
        throw EngineError(QStringLiteral("cannot write the PDF file %1").arg(filePath_));
    }
}

void PdfDevice::endJob()
{
    PaintingDevice::endJob();
    writer_.reset();
}

void PdfDevice::abandonJob()
{
    stopPainting();
    writer_.reset();
    QFile::remove(filePath_);
}

bool RecordingDevice::paint(const PageDocument& document, const CancelCheck& cancelled)
{
    if (cancelled())
        return false;
    jobs_.back().document = document;
    return true;
}

}  // namespace engine
