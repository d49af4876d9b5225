#include "TestReport.h"

namespace engine::test {

TestReport::TestReport()
{
    report.setTitle("Test report");
    report.setDataSet(&data);
    report.setBeforePrint([this](Report&, bool&) { ++beforePrintRuns; });
    report.setAfterPrint([this](Report&) { ++afterPrintRuns; });

    pageHeader.addLabel("HeaderText", "Test header", QRectF(0, 2, 100, 17));
    SystemData& pageNo = pageHeader.addSystemData("PageNo", SystemDataKind::PageNumber, "Page ",
                                                  QRectF(0, 2, 80, 17));
    pageNo.setAlignment(Alignment::Right);
    pageNo.setAlignToBand(true);

    title.addLabel("TitleText", "Title of the test report", QRectF(0, 10, 200, 20));

    columns.frame() = Frame{true, true, 2};
    columns.addLabel("NameCaption", "Name", QRectF(40, 2, 60, 17));

    SystemData& lineNo = detail.addSystemData("LineNo", SystemDataKind::DetailNumber, "", QRectF(0, 2, 30, 16));
    lineNo.setAutoSize(false);
    FieldText& name = detail.addFieldText("Name", "NAME", QRectF(40, 2, 300, 16));
    name.setAutoSize(false);
    name.setAutoStretch(true);
    FieldText& quantity = detail.addFieldText("Qty", "QTY", QRectF(400, 2, 100, 16));
    quantity.setAutoSize(false);
    quantity.setAlignment(Alignment::Right);

    certificate.addFieldText("Cert", "CERT", QRectF(40, 0, 400, 16)).setAutoSize(false);
    certificate.setBeforePrint([this](Band&, bool& printBand) {
        printBand = data.recordCount() > 0 && !data.value("CERT").toString().isEmpty();
    });

    summary.frame().drawTop = true;
    summary.addLabel("TotalCaption", "Total", QRectF(300, 5, 60, 17));
    Expression& total = summary.addExpression("Total", "SUM(ReportSQL.QTY)", QRectF(400, 5, 100, 17));
    total.setAutoSize(false);
    total.setAlignment(Alignment::Right);
    total.setMask("#0.000");

    footer.addLabel("FooterText", "End of report", QRectF(0, 10, 100, 17));
}

void TestReport::addRecord(const QString& name, double quantity, const QString& certificateText)
{
    data.addRow({name, quantity, certificateText});
    data.open();
}

void TestReport::addRecords(int count)
{
    for (int i = 1; i <= count; ++i)
        addRecord(QStringLiteral("Item %1").arg(i), 1);
}

qreal TestReport::pageSpace() const
{
    const QMarginsF margins = report.page().marginsPx();
    return report.page().paperSizePx().height() - margins.top() - margins.bottom();
}

QStringList bandsOn(const Page& page, const Report& report)
{
    QStringList bands;
    for (const DrawItem& item : page.items) {
        const auto* fill = std::get_if<FillRect>(&item);
        if (fill && report.findElement(fill->source) == nullptr)
            bands.append(fill->source);
    }
    return bands;
}

QStringList textsOf(const Page& page, const QString& element)
{
    QStringList texts;
    for (const TextRun* run : page.textRuns(element))
        texts.append(run->text);
    return texts;
}

QStringList textsOf(const PageDocument& document, const QString& element)
{
    QStringList texts;
    for (const Page& page : document.pages)
        texts += textsOf(page, element);
    return texts;
}

std::vector<const FillRect*> fillsOf(const PageDocument& document, const QString& band)
{
    std::vector<const FillRect*> fills;
    for (const Page& page : document.pages)
        for (const DrawItem& item : page.items)
            if (const auto* fill = std::get_if<FillRect>(&item); fill && fill->source == band)
                fills.push_back(fill);
    return fills;
}

}  // namespace engine::test
