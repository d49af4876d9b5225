#include "ReportRun.h"

#include "PrintDevices.h"
#include "PrintProgress.h"

#include <QScopeGuard>

#include <algorithm>
#include <cmath>
#include <limits>

namespace engine {

namespace {

constexpr qreal kEpsilon = 1e-6;

struct RunCancelled {};

std::vector<const Expression*> expressionsOf(const Report& report)
{
    std::vector<const Expression*> found;
    for (const auto& band : report.bands())
        for (const auto& element : band->elements())
            if (const auto* expression = dynamic_cast<const Expression*>(element.get()))
                found.push_back(expression);
    return found;
}

bool isOpen(const ReportDataSet* dataSet)
{
    return dataSet && dataSet->isOpen();
}

}  // namespace

ReportRun::ReportRun(Report& report, ProgressScope& progress)
    : report_(report),
      progress_(progress),
      margins_(report.page().marginsPx()),
      expressions_(expressionsOf(report))
{
    document_.pageSize = report.page().paperSizePx();
    pageBottom_ = document_.pageSize.height() - margins_.bottom();
}

RunOutcome ReportRun::execute()
{
    RunOutcome outcome;
    try {
        printBands();
    } catch (const RunCancelled&) {
        outcome.cancelled = true;
        return outcome;
    } catch (...) {
        outcome.error = std::current_exception();
    }
    outcome.document = std::move(document_);
    return outcome;
}

void ReportRun::printBands()
{
    ReportDataSet* dataSet = report_.dataSet();
    if (isOpen(dataSet)) {
        dataSet->first();
        hasRecords_ = !dataSet->eof();
    }
    if (hasRecords_) {
        printRecords(*dataSet);
    } else if (report_.printIfEmpty()) {
        printBand(report_.band(BandKind::Title));
        printBand(report_.band(BandKind::Detail));
        printBand(report_.band(BandKind::Summary));
    }
}

void ReportRun::printRecords(ReportDataSet& dataSet)
{
    printBand(report_.band(BandKind::Title));
    printBand(report_.band(BandKind::ColumnHeader));
    repeatColumnHeader_ = true;
    while (dataSet.isOpen() && !dataSet.eof()) {
        if (progress_.cancelRequested())
            throw RunCancelled{};
        ++recordNumber_;
        printBand(report_.band(BandKind::Detail));
        dataSet.next();
        progress_.recordPrinted(recordNumber_);
    }
    printBand(report_.band(BandKind::Summary));
}

void ReportRun::printBand(Band* band, bool mayBreak)
{
    if (!band)
        return;
    bool printIt = band->isEnabled();
    if (band->beforePrint())
        band->beforePrint()(*band, printIt);
    if (printIt)
        placeBand(*band, mayBreak);
    printBand(band->child(), mayBreak);
}

void ReportRun::placeBand(Band& band, bool mayBreak)
{
    if (document_.pages.empty())
        startPage();
    if (mayBreak && band.height() > pageBottom_ - y_ + kEpsilon)
        startPage();
    if (band.kind() == BandKind::Detail)
        addToSums();
    const ReportDataSet* dataSet = report_.dataSet();
    const BandLayout layout = layOutBand(band, context(), dataSet ? dataSet->codePage() : QString());
    emitBand(band, layout, mayBreak);
}

// Page and column headers print without breaking: they start the page.
void ReportRun::startPage()
{
    document_.pages.emplace_back();
    ++pageNumber_;
    y_ = margins_.top();
    if (pageNumber_ > 1 || report_.firstPageHeader())
        printBand(report_.band(BandKind::PageHeader), false);
    if (repeatColumnHeader_)
        printBand(report_.band(BandKind::ColumnHeader), false);
}

void ReportRun::addToSums()
{
    const ReportDataSet* record = context().record;
    if (!record)
        return;
    for (const Expression* expression : expressions_) {
        const QString& field = expression->sumField();
        if (!record->hasField(field))
            throw EngineError(QStringLiteral("%1: the dataset has no field %2").arg(expression->name(), field));
        const QVariant value = record->value(field);
        if (value.isNull())
            continue;
        bool isNumber = false;
        const double number = value.toDouble(&isNumber);
        if (!isNumber)
            throw EngineError(QStringLiteral("%1: %2 is not a number").arg(expression->name(), field));
        sums_[expression] += number;
    }
}

PrintContext ReportRun::context() const
{
    const ReportDataSet* dataSet = report_.dataSet();
    return PrintContext{hasRecords_ && isOpen(dataSet) ? dataSet : nullptr, recordNumber_, pageNumber_, &sums_};
}

void ReportRun::emitBand(const Band& band, const BandLayout& layout, bool mayBreak)
{
    const qreal top = y_;
    const qreal limit = mayBreak ? pageBottom_ : std::numeric_limits<qreal>::infinity();
    const qreal firstPart = std::min(layout.height, limit - top);
    addFill(band.name(), QRectF(margins_.left(), top, band.width(), std::max<qreal>(firstPart, 0)));
    std::vector<Carry> carried = emitPieces(layout, top, limit);
    // After the elements, so that their backgrounds do not cut into the
    // lines; inside the band, so that the next band's background does not
    // cover half of the bottom one.
    const qreal halfFrame = pointsToPixels(band.frame().widthPt) / 2;
    if (band.frame().drawTop)
        addFrameLine(band, top + halfFrame);
    qreal bottom = top + layout.height;
    while (!carried.empty()) {
        startPage();
        bottom = emitContinuation(band, carried);
    }
    if (band.frame().drawBottom)
        addFrameLine(band, bottom - halfFrame);
    y_ = bottom;
}

namespace {

qsizetype linesOf(const BandPiece& piece)
{
    const auto* text = std::get_if<TextPiece>(&piece);
    return text ? text->shownLines : 1;
}

// Where the part of a piece still to print starts, relative to its band.
qreal topOf(const BandPiece& piece, qsizetype line)
{
    const auto* text = std::get_if<TextPiece>(&piece);
    return text ? text->lineTop(line) : pieceRect(piece).top();
}

// The bottom of `count` lines from `line` on, or of the whole piece.
qreal bottomOf(const BandPiece& piece, qsizetype line, qsizetype count)
{
    const auto* text = std::get_if<TextPiece>(&piece);
    return text ? text->lineTop(line + count) : pieceRect(piece).bottom();
}

// The lines from `line` on (or the whole piece) that end within `bottom`.
qsizetype linesWithin(const BandPiece& piece, qsizetype line, qreal bottom)
{
    const auto* text = std::get_if<TextPiece>(&piece);
    if (!text)
        return pieceRect(piece).bottom() <= bottom + kEpsilon ? 1 : 0;
    qsizetype count = 0;
    while (line + count < text->shownLines && text->lineTop(line + count + 1) <= bottom + kEpsilon)
        ++count;
    return count;
}

}  // namespace

// Places the band's pieces from `top`; returns what of the pieces that grew
// or moved lies past `limit`, to go on to the next page.
std::vector<ReportRun::Carry> ReportRun::emitPieces(const BandLayout& layout, qreal top, qreal limit)
{
    std::vector<Carry> carried;
    const QPointF origin(margins_.left(), top);
    for (const BandPiece& piece : layout.pieces) {
        if (!pieceMoves(piece) || top + pieceRect(piece).bottom() <= limit + kEpsilon) {
            emitWhole(piece, origin);
            continue;
        }
        const qsizetype here = linesWithin(piece, 0, limit - top);
        if (const auto* text = std::get_if<TextPiece>(&piece); text && here > 0) {
            const QRectF fill(origin + text->rect.topLeft(), QPointF(origin.x() + text->rect.right(), limit));
            addFill(text->source, fill);
            addLines(*text, 0, here, fill.topLeft());
        }
        if (here < linesOf(piece))
            carried.push_back({&piece, here});
    }
    return carried;
}

// On a new page: what was carried, keeping its places relative to the
// highest of it, which starts the page, as far as it fits (at least one
// line, so that every page makes progress); returns the band's new bottom.
qreal ReportRun::emitContinuation(const Band& band, std::vector<Carry>& carried)
{
    const qreal top = y_;
    qreal cut = std::numeric_limits<qreal>::infinity();
    for (const Carry& carry : carried)
        cut = std::min(cut, topOf(*carry.piece, carry.nextLine));
    std::vector<qsizetype> counts;
    for (const Carry& carry : carried)
        counts.push_back(linesWithin(*carry.piece, carry.nextLine, cut + pageBottom_ - top));
    if (std::all_of(counts.begin(), counts.end(), [](qsizetype count) { return count == 0; })) {
        const auto first = std::find_if(carried.begin(), carried.end(), [cut](const Carry& carry) {
            return topOf(*carry.piece, carry.nextLine) == cut;
        });
        counts[first - carried.begin()] = 1;
    }
    qreal height = 0;
    for (std::size_t i = 0; i < carried.size(); ++i)
        if (counts[i] > 0)
            height = std::max(height, bottomOf(*carried[i].piece, carried[i].nextLine, counts[i]) - cut);
    addFill(band.name(), QRectF(margins_.left(), top, band.width(), height));
    for (std::size_t i = 0; i < carried.size(); ++i) {
        if (counts[i] == 0)
            continue;
        Carry& carry = carried[i];
        if (const auto* text = std::get_if<TextPiece>(carry.piece)) {
            const QRectF fill(margins_.left() + text->rect.left(), top + text->lineTop(carry.nextLine) - cut,
                              text->rect.width(), counts[i] * text->block.lineHeight);
            addFill(text->source, fill);
            addLines(*text, carry.nextLine, counts[i], fill.topLeft());
        } else {
            emitWhole(*carry.piece, QPointF(margins_.left(), top - cut));
        }
        carry.nextLine += counts[i];
    }
    std::erase_if(carried, [](const Carry& c) { return c.nextLine >= linesOf(*c.piece); });
    return top + height;
}

void ReportRun::emitWhole(const BandPiece& piece, QPointF origin)
{
    if (const auto* text = std::get_if<TextPiece>(&piece)) {
        const QRectF fill = text->rect.translated(origin);
        addFill(text->source, fill);
        addLines(*text, 0, text->shownLines, fill.topLeft());
    } else if (const auto* shape = std::get_if<ShapePiece>(&piece)) {
        ShapeOutline outline = shape->outline;
        outline.rect.translate(origin);
        page().items.push_back(outline);
    } else if (const auto* picture = std::get_if<PicturePiece>(&piece)) {
        Picture placed = picture->picture;
        placed.rect.translate(origin);
        addFill(picture->source, placed.rect);
        page().items.push_back(placed);
    }
}

void ReportRun::addFill(const QString& source, const QRectF& rect)
{
    if (rect.width() > 0 && rect.height() > 0)
        page().items.push_back(FillRect{rect, source});
}

void ReportRun::addLines(const TextPiece& piece, qsizetype from, qsizetype count, QPointF topLeft)
{
    const TextBlock& block = piece.block;
    for (qsizetype i = 0; i < count; ++i) {
        const qsizetype line = from + i;
        if (block.lines[line].isEmpty())
            continue;
        const QPointF baseline(topLeft.x() + piece.lineOffset(line),
                               topLeft.y() + i * block.lineHeight + block.ascent);
        page().items.push_back(TextRun{baseline, block.lines[line], block.font, block.widths[line],
                                       block.ascent, block.lineHeight, piece.source});
    }
}

void ReportRun::addFrameLine(const Band& band, qreal y)
{
    page().items.push_back(FrameLine{QLineF(margins_.left(), y, margins_.left() + band.width(), y),
                                     pointsToPixels(band.frame().widthPt), band.name()});
}

PrintResult Report::print(OutputDevice& device)
{
    if (printing_.exchange(true))
        throw EngineError(QStringLiteral("a print of this report is already running"));
    const auto done = qScopeGuard([this] { printing_.store(false); });
    if (!device.isUsable())
        return PrintResult::NoPrinter;
    bool printReport = true;
    if (beforePrint_)
        beforePrint_(*this, printReport);
    if (!printReport)
        return PrintResult::NotPrinted;

    device.beginJob(PrintJob{title_, std::max(1, printerSettings_.copies), page_.paper, page_.orientation,
                             printerSettings_.outputBin});
    RunOutcome run;
    try {
        ProgressScope progress(progress_, isOpen(dataSet_) ? dataSet_->recordCount() : 0);
        run = ReportRun(*this, progress).execute();
        if (run.cancelled || !device.paint(run.document, [&progress] { return progress.cancelRequested(); })) {
            device.abandonJob();
            return PrintResult::Cancelled;
        }
        device.endJob();
    } catch (...) {
        device.abandonJob();
        throw;
    }
    if (afterPrint_)
        afterPrint_(*this);
    if (run.error)
        std::rethrow_exception(run.error);
    return PrintResult::Printed;
}

}  // namespace engine
