// What one element prints: field value texts, lines that fit its height,
// the font script rule, pictures.

#include "CaseName.h"
#include "TestReport.h"
#include "TextLayout.h"

#include <QBuffer>
#include <QDate>
#include <QImage>
#include <QStringDecoder>

#include <gtest/gtest.h>

using namespace engine;
using namespace engine::test;

namespace {

// A detail band holding the element under test, over one record.
struct ProbeReport {
    ProbeReport()
    {
        report.setDataSet(&data);
        data.setDisplayFormat("PRICE", "#0.00");
        data.addRow({2.5, QString("Text"), QVariant(), QDate(2017, 8, 22)});
        data.open();
    }

    QStringList printed(const QString& element)
    {
        EXPECT_EQ(report.print(device), PrintResult::Printed);
        const PageDocument& document = device.jobs().back().document;
        return document.pages.empty() ? QStringList() : textsOf(document, element);
    }

    MemoryDataSet data{{"PRICE", "NAME", "NOTHING", "DATUMS"}};
    Report report;
    Band& detail = report.addBand(BandKind::Detail, "Detail", 60);
    RecordingDevice device;
};

struct FieldCase {
    const char* name;
    QString field;
    QString mask;
    bool hasDataSet;
    QString expected;
};

class FieldValueText : public ::testing::TestWithParam<FieldCase> {};

TEST_P(FieldValueText, ShowsTheFieldsDisplayTextOrNothing)
{
    const FieldCase& c = GetParam();
    ProbeReport probe;
    FieldText& field = probe.detail.addFieldText("Probe", c.field, QRectF(0, 0, 100, 17));
    field.setMask(c.mask);
    field.setHasDataSet(c.hasDataSet);
    const QStringList expected = c.expected.isEmpty() ? QStringList() : QStringList{c.expected};
    EXPECT_EQ(probe.printed("Probe"), expected);
}

INSTANTIATE_TEST_SUITE_P(
    ElementText, FieldValueText,
    ::testing::Values(FieldCase{"number_by_display_format", "PRICE", "", true, "2,50"},
                      FieldCase{"mask_replaces_display_format", "price", "#0.000", true, "2,500"},
                      FieldCase{"text_ignores_mask", "NAME", "#0.00", true, "Text"},
                      FieldCase{"date", "DATUMS", "", true, "22.08.2017"},
                      FieldCase{"null_is_empty", "NOTHING", "", true, ""},
                      FieldCase{"missing_field_is_empty", "NO_SUCH_FIELD", "", true, ""},
                      FieldCase{"no_dataset_is_empty", "PRICE", "", false, ""}),
    testsupport::CaseName());

TEST(ElementText, APatternTheEngineCannotFollowEndsTheRun)
{
    ProbeReport probe;
    probe.detail.addFieldText("Probe", "PRICE", QRectF(0, 0, 100, 17)).setMask("#,##0.00");
    EXPECT_THROW(probe.report.print(probe.device), std::invalid_argument);
}

TEST(ElementText, AFieldTextOfAClosedDatasetPrintsEmpty)
{
    ProbeReport probe;
    probe.report.setPrintIfEmpty(true);
    probe.detail.addFieldText("Probe", "NAME", QRectF(0, 0, 100, 17));
    probe.data.close();
    EXPECT_TRUE(probe.printed("Probe").isEmpty());
}

TEST(ElementText, SummaryBandsReadTheLastRecord)
{
    ProbeReport probe;
    probe.data.addRow({7.0, QString("Last"), QVariant(), QVariant()});
    probe.data.open();
    Band& summary = probe.report.addBand(BandKind::Summary, "Summary", 20);
    summary.addFieldText("Probe", "NAME", QRectF(0, 0, 100, 17));
    EXPECT_EQ(probe.printed("Probe"), QStringList{"Last"});
}

struct FitCase {
    const char* name;
    bool autoSize;
    bool autoStretch;
    qreal heightInLines;
    int expectedLines;  // of the three-line text
};

class LinesThatFit : public ::testing::TestWithParam<FitCase> {};

TEST_P(LinesThatFit, OnlyLinesWhollyWithinTheElementAreDrawn)
{
    const FitCase& c = GetParam();
    ProbeReport probe;
    const qreal lineHeight = layOutText("x", toQFont(probe.report.font()), std::nullopt).lineHeight;
    Label& label = probe.detail.addLabel("Probe", "one\ntwo\nthree", QRectF(0, 0, 100, c.heightInLines * lineHeight));
    label.setAutoSize(c.autoSize);
    label.setAutoStretch(c.autoStretch);
    EXPECT_EQ(probe.printed("Probe").size(), c.expectedLines);
}

INSTANTIATE_TEST_SUITE_P(ElementText, LinesThatFit,
                         ::testing::Values(FitCase{"lower_than_a_line_prints_nothing", false, false, 0.9, 0},
                                           FitCase{"exactly_two_lines", false, false, 2.0, 2},
                                           FitCase{"partial_third_line_is_not_drawn", false, false, 2.9, 2},
                                           FitCase{"auto_size_raises_to_one_line", true, false, 0.3, 1},
                                           FitCase{"auto_stretch_shows_all", false, true, 0.9, 3}),
                         testsupport::CaseName());

struct ScriptCase {
    const char* name;
    QString codePage;
    int charset;
    QString expected;
};

class FontScript : public ::testing::TestWithParam<ScriptCase> {};

// The bytes C0 E1 E2 read as Windows-1257 are "Ąįā"; shown in a Cyrillic
// font of an 8-bit connection they read as Windows-1251: "Абв".
TEST_P(FontScript, CyrillicShowsEightBitTextsAsWindows1251)
{
    const ScriptCase& c = GetParam();
    ProbeReport probe;
    probe.data.clear();
    const QString baltic = QStringDecoder("windows-1257").decode(QByteArray("\xC0\xE1\xE2"));
    probe.data.addRow({0.0, baltic, QVariant(), QVariant()});
    probe.data.setCodePage(c.codePage);
    probe.data.open();
    probe.detail.addFieldText("Probe", "NAME", QRectF(0, 0, 100, 17)).setFontCharset(c.charset);
    EXPECT_EQ(probe.printed("Probe"), QStringList{c.expected});
}

INSTANTIATE_TEST_SUITE_P(ElementText, FontScript,
                         ::testing::Values(ScriptCase{"cyrillic_8bit", "windows-1257", kCyrillicCharset, "Абв"},
                                           ScriptCase{"cyrillic_unicode", "", kCyrillicCharset, "Ąįā"},
                                           ScriptCase{"baltic_8bit", "windows-1257", kBalticCharset, "Ąįā"}),
                         testsupport::CaseName());

TEST(ElementText, AnElementWithoutAFontUsesTheReportFont)
{
    ProbeReport probe;
    Label& label = probe.detail.addLabel("Probe", "x", QRectF(0, 0, 10, 10));
    probe.report.setFont(FontSpec{.pointSize = 12, .bold = true});
    EXPECT_EQ(label.font().pointSize, 12);
    label.setFontCharset(kCyrillicCharset);
    probe.report.setFont(FontSpec{.pointSize = 8});
    EXPECT_EQ(label.font().pointSize, 12);  // its own font now, taken when the script was set
    EXPECT_TRUE(label.font().bold);
}

TEST(ElementText, AFieldPictureDrawsItsBlobAndNothingWithoutADataset)
{
    QImage image(4, 4, QImage::Format_RGB32);
    image.fill(Qt::red);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");

    MemoryDataSet data({"LOGO"});
    data.addRow({png});
    data.open();
    Report report;
    report.setDataSet(&data);
    Band& detail = report.addBand(BandKind::Detail, "Detail", 40);
    detail.addFieldPicture("Bound", "LOGO", QRectF(0, 0, 30, 30)).setHasDataSet(true);
    detail.addFieldPicture("Unbound", "LOGO", QRectF(40, 0, 30, 30));
    RecordingDevice device;
    ASSERT_EQ(report.print(device), PrintResult::Printed);

    std::vector<Picture> pictures;
    for (const DrawItem& item : device.jobs()[0].document.pages[0].items)
        if (const auto* picture = std::get_if<Picture>(&item))
            pictures.push_back(*picture);
    ASSERT_EQ(pictures.size(), 1u);
    EXPECT_EQ(pictures[0].image.pixelColor(1, 1), QColor(Qt::red));
}

TEST(ElementText, LayoutFaultsAreReportedByName)
{
    Report report;
    Band& detail = report.addBand(BandKind::Detail, "Detail", 20);
    detail.addLabel("Same", "a", QRectF());
    EXPECT_THROW(detail.addLabel("Same", "b", QRectF()), EngineError);
    EXPECT_THROW(report.addBand(BandKind::Detail, "Another", 20), EngineError);
    EXPECT_THROW(detail.addExpression("Avg", "AVG(ReportSQL.QTY)", QRectF()), EngineError);
    EXPECT_THROW(report.element<FieldText>("Same"), EngineError);
    EXPECT_THROW(report.element("Missing"), EngineError);
    EXPECT_EQ(&report.element<Label>("Same"), report.findElement("Same"));
    EXPECT_EQ(detail.addExpression("Sum", "sum( ReportSQL.qty )", QRectF()).sumField(), "qty");
}

}  // namespace
