#pragma once
// One run of a report laid out into a page document.
//
// The print cycle (Report::print):
//  1. An unusable device: nothing happens, no handler runs.
//  2. The report's BeforePrint runs with printReport true; false ends here.
//     An error it raises reaches the caller; no job is opened.
//  3. The job is opened (title, copies, paper, orientation, output bin).
//  4. The dataset, if open and not empty: title, column header, then for each
//     record the detail band, then the summary band (each followed by its
//     child band). Open but empty, or not open: with PrintIfEmpty the title,
//     the detail (with empty field texts) and the summary print once; the
//     column header does not. Otherwise nothing prints.
//  5. The pages go to the device and the job is closed (a job without pages
//     is dropped). Then AfterPrint runs, once however many copies.
// An error while the bands print ends the run: the pages made so far are
// printed, AfterPrint runs and the error reaches the caller. A cancel
// abandons the job, skips AfterPrint, and print() returns Cancelled.
//
// A band prints when its BeforePrint leaves printBand true; when it does
// not fit in the space left, a new page starts first (page header at the top
// margin, then the column header). Sums add the record's values when the
// detail band prints. Stretching elements grow the band and move what lies
// below them down (BandLayout.h); what of that lies past the page's end
// continues on a new page below its page header and column header. A band's
// frame lines are drawn after its elements, so that no background cuts into
// them.

#include "BandLayout.h"
#include "PageDocument.h"
#include "ReportModel.h"

#include <exception>

namespace engine {

class ProgressScope;

struct RunOutcome {
    PageDocument document;
    std::exception_ptr error;  // what ended the run early; the pages so far are in document
    bool cancelled = false;
};

class ReportRun {
public:
    ReportRun(Report& report, ProgressScope& progress);
    RunOutcome execute();

private:
    // What of a band still has to go on a further page: the lines of a text
    // piece from `nextLine` on, or a whole shape or picture.
    struct Carry {
        const BandPiece* piece;
        qsizetype nextLine = 0;
    };

    void printBands();
    void printRecords(ReportDataSet& dataSet);
    void printBand(Band* band, bool mayBreak = true);
    void placeBand(Band& band, bool mayBreak);
    void startPage();
    void addToSums();
    PrintContext context() const;
    Page& page() { return document_.pages.back(); }

    void emitBand(const Band& band, const BandLayout& layout, bool mayBreak);
    std::vector<Carry> emitPieces(const BandLayout& layout, qreal top, qreal limit);
    qreal emitContinuation(const Band& band, std::vector<Carry>& carried);
    void emitWhole(const BandPiece& piece, QPointF origin);
    void addFill(const QString& source, const QRectF& rect);
    void addLines(const TextPiece& piece, qsizetype from, qsizetype count, QPointF topLeft);
    void addFrameLine(const Band& band, qreal y);

    Report& report_;
    ProgressScope& progress_;
    PageDocument document_;
    QMarginsF margins_;
    qreal pageBottom_ = 0;
    qreal y_ = 0;
    int pageNumber_ = 0;
    int recordNumber_ = 0;
    bool hasRecords_ = false;
    bool repeatColumnHeader_ = false;
    std::vector<const Expression*> expressions_;
    QHash<const Expression*, double> sums_;
};

}  // namespace engine
