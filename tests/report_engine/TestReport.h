#pragma once
// A small report of the tests' own on an in-memory dataset, with one band
// of each kind and the element kinds the layouts use.

#include "DataSet.h"
#include "PrintDevices.h"
#include "ReportModel.h"

#include <QStringList>

namespace engine::test {

struct TestReport {
    TestReport();

    void addRecord(const QString& name, double quantity, const QString& certificateText = {});
    void addRecords(int count);  // "Item 1", "Item 2", ... each of quantity 1
    PrintResult print() { return report.print(device); }
    const RecordingDevice::Job& job() const { return device.jobs().at(0); }
    const PageDocument& document() const { return job().document; }

    // Page space below the top margin down to the bottom margin.
    qreal pageSpace() const;
    qreal top() const { return report.page().marginsPx().top(); }

    MemoryDataSet data{{"NAME", "QTY", "CERT"}};
    Report report;
    // Page header: "Test header" and "Page n" against the band's right edge.
    Band& pageHeader = report.addBand(BandKind::PageHeader, "PageHeader", 40);
    Band& title = report.addBand(BandKind::Title, "Title", 60);
    // Column header with frame lines above and below.
    Band& columns = report.addBand(BandKind::ColumnHeader, "Columns", 20);
    // Detail: record number, NAME (stretching, 300 px wide), QTY.
    Band& detail = report.addBand(BandKind::Detail, "Detail", 20);
    // Child of the detail band; prints only for a record with a CERT.
    Band& certificate = report.addChildBand("Certificate", detail, 16);
    // Summary: "Total" and SUM(ReportSQL.QTY) with mask "#0.000".
    Band& summary = report.addBand(BandKind::Summary, "Summary", 30);
    Band& footer = report.addChildBand("Footer", summary, 40);

    int beforePrintRuns = 0;
    int afterPrintRuns = 0;
    RecordingDevice device;
};

// The bands whose backgrounds a page shows, in painting order.
QStringList bandsOn(const Page& page, const Report& report);
// Texts of one element's lines on a page, or on every page in order.
QStringList textsOf(const Page& page, const QString& element);
QStringList textsOf(const PageDocument& document, const QString& element);
// Every band background of one band, in order over all pages.
std::vector<const FillRect*> fillsOf(const PageDocument& document, const QString& band);

}  // namespace engine::test
