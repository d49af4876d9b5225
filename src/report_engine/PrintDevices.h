#pragma once
// Output devices: they take the page document of a run and paint it, and
// never change it. Report::print drives them:
//   isUsable() -> beginJob() -> paint() -> endJob()   (abandonJob() on cancel or error)

#include "PageDocument.h"
#include "ReportModel.h"

#include <QPageLayout>
#include <QPageSize>
#include <QPainter>

#include <functional>
#include <memory>

class QPagedPaintDevice;
class QPdfWriter;
class QPrinter;
class QPrinterInfo;

namespace engine {

struct PrintJob {
    QString title;   // the job's document name
    int copies = 1;  // at least 1
    QPageSize paper{QPageSize::A4};
    QPageLayout::Orientation orientation = QPageLayout::Portrait;
    OutputBin outputBin = OutputBin::Auto;
};

class OutputDevice {
public:
    using CancelCheck = std::function<bool()>;

    virtual ~OutputDevice() = default;
    // False when there is nothing to print on: printing then does nothing.
    virtual bool isUsable() const = 0;
    // Throws EngineError when the job cannot be opened.
    virtual void beginJob(const PrintJob& job) = 0;
    // Paints every page, and the copies the device makes itself; returns
    // false when `cancelled` says so between pages.
    virtual bool paint(const PageDocument& document, const CancelCheck& cancelled) = 0;
    // Closes the job and hands it over; a job without pages is dropped.
    virtual void endJob() = 0;
    virtual void abandonJob() = 0;
};

// Draws one page with `painter` in report pixels.
void paintPage(QPainter& painter, const Page& page);

// Paints with QPainter, scaled from report pixels to the device's own
// resolution, the page set `repeats` times.
class PaintingDevice : public OutputDevice {
public:
    bool paint(const PageDocument& document, const CancelCheck& cancelled) override;
    void endJob() override;

protected:
    void beginPainting(QPagedPaintDevice& target, int repeats);  // throws EngineError
    void stopPainting();
    bool hasPainted() const { return pagesPainted_ > 0; }

private:
    QPainter painter_;
    QPagedPaintDevice* target_ = nullptr;
    int repeats_ = 1;
    int pagesPainted_ = 0;
};

// A printer through QPrinter: one job named by the title, the copy count
// handed to the spooler; where the printer cannot make copies itself the
// pages are sent that many times instead (never both).
class PrinterDevice : public PaintingDevice {
public:
    // The named printer; empty: the system's default printer. Unusable when
    // there is no such printer.
    explicit PrinterDevice(const QString& printerName = {});
    // A printer the caller has set up (e.g. Qt's PDF output); always usable.
    explicit PrinterDevice(std::unique_ptr<QPrinter> printer);
    ~PrinterDevice() override;

    bool isUsable() const override;
    void beginJob(const PrintJob& job) override;
    void abandonJob() override;

private:
    QPrinterInfo printerInfo() const;

    QString printerName_;
    bool choosesByName_;
    std::unique_ptr<QPrinter> printer_;
};

// A PDF file through QPdfWriter; copies are repeated page sets in one file.
// A job without pages, or an abandoned one, leaves no file.
class PdfDevice : public PaintingDevice {
public:
    explicit PdfDevice(QString filePath);
    ~PdfDevice() override;

    bool isUsable() const override { return !filePath_.isEmpty(); }
    void beginJob(const PrintJob& job) override;
    void endJob() override;
    void abandonJob() override;

private:
    QString filePath_;
    std::unique_ptr<QPdfWriter> writer_;
};

// Keeps every job it is given, for tests and measurements.
class RecordingDevice : public OutputDevice {
public:
    enum class JobState { Open, Ended, Abandoned };
    struct Job {
        PrintJob settings;
        PageDocument document;
        JobState state = JobState::Open;
    };

    explicit RecordingDevice(bool usable = true) : usable_(usable) {}

    bool isUsable() const override { return usable_; }
    void beginJob(const PrintJob& job) override { jobs_.push_back(Job{job, {}, JobState::Open}); }
    bool paint(const PageDocument& document, const CancelCheck& cancelled) override;
    void endJob() override { jobs_.back().state = JobState::Ended; }
    void abandonJob() override { jobs_.back().state = JobState::Abandoned; }

    const std::vector<Job>& jobs() const { return jobs_; }

private:
    bool usable_;
    std::vector<Job> jobs_;
};

}  // namespace engine
