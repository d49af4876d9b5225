// Layout tables: the model built from design rows in either unit, and put
// back as designed after a print's handlers changed it.

#include "LayoutDesign.h"

#include <gtest/gtest.h>

using namespace engine;

namespace {

using enum Sizing;
using enum FontStyle;

// One band of each unit's table, with a text element of each sizing.
struct DesignedReport {
    explicit DesignedReport(LayoutUnit layoutUnit) : unit(layoutUnit)
    {
        report.setFont(FontSpec{QStringLiteral("Arial"), 10, false, false, kBalticCharset});
        Band& detail = addBand(report, band, unit);
        Band& child = addBand(report, childBand, unit);
        for (const ElementDesign& design : elements)
            addElement(design.kind == ElementKind::Shape ? child : detail, design, unit);
    }

    void restore()
    {
        restoreDesign(report.band(QStringLiteral("Detail")), band, unit);
        for (const ElementDesign& design : elements)
            restoreDesign(report.element(design.name.toString()), design, unit);
    }

    LayoutUnit unit;
    BandDesign band{BandKind::Detail, u"Detail", 20, {true, false, 2}};
    BandDesign childBand{BandKind::Child, u"Certificate", 5.3, {}, u"Detail"};
    ElementDesign elements[4] = {
        {ElementKind::Label, u"Caption", 1.9, 0.8, 16.4, 4.5, {}, Alignment::Right, FitsText, u"Nosūtītājs", {},
         true},
        {ElementKind::FieldText, u"Name", 25.4, 0, 69.6, 4, {8, BoldItalic}, Alignment::Left, GrowsDown,
         u"PRECE"},
        {ElementKind::UnboundFieldText, u"Date", 4.2, 19.3, 14.6, 5.3, {7, Italic}, Alignment::Center, Fixed,
         u"DATUMS"},
        {ElementKind::Shape, u"Rule", 90, 10.8, 42.1, 0.5, {}, Alignment::Left, Fixed},
    };
    Report report;
};

TEST(LayoutDesignTest, MillimetresLandOnTheNearestWholePixelAndPixelsStayAsGiven)
{
    DesignedReport millimetres(LayoutUnit::Millimetres);
    EXPECT_EQ(millimetres.report.element(QStringLiteral("Caption")).geometry(), QRectF(7, 3, 62, 17));
    EXPECT_EQ(millimetres.report.element(QStringLiteral("Name")).geometry(), QRectF(96, 0, 263, 15));
    EXPECT_EQ(millimetres.report.band(QStringLiteral("Detail")).height(), 76);
    EXPECT_EQ(millimetres.report.band(QStringLiteral("Certificate")).height(), 20);

    DesignedReport pixels(LayoutUnit::Pixels);
    EXPECT_EQ(pixels.report.element(QStringLiteral("Caption")).geometry(), QRectF(1.9, 0.8, 16.4, 4.5));
    EXPECT_EQ(pixels.report.band(QStringLiteral("Certificate")).height(), 5.3);
}

TEST(LayoutDesignTest, EveryDesignValueReachesTheModel)
{
    DesignedReport designed(LayoutUnit::Pixels);
    const Report& report = designed.report;

    const auto& caption = report.element<Label>(QStringLiteral("Caption"));
    EXPECT_EQ(caption.caption(), QStringLiteral("Nosūtītājs"));
    EXPECT_FALSE(caption.hasOwnFont());  // the report font as it stands
    EXPECT_EQ(caption.alignment(), Alignment::Right);
    EXPECT_TRUE(caption.alignToBand());
    EXPECT_TRUE(caption.autoSize());
    EXPECT_FALSE(caption.autoStretch());

    const auto& name = report.element<FieldText>(QStringLiteral("Name"));
    EXPECT_EQ(name.dataField(), QStringLiteral("PRECE"));
    EXPECT_TRUE(name.hasDataSet());
    EXPECT_EQ(name.font(), (FontSpec{QStringLiteral("Arial"), 8, true, true, kBalticCharset}));
    EXPECT_FALSE(name.autoSize());
    EXPECT_TRUE(name.autoStretch());
    EXPECT_TRUE(name.wordWrap());

    const auto& date = report.element<FieldText>(QStringLiteral("Date"));
    EXPECT_FALSE(date.hasDataSet());
    EXPECT_EQ(date.font(), (FontSpec{QStringLiteral("Arial"), 7, false, true, kBalticCharset}));
    EXPECT_FALSE(date.autoSize());
    EXPECT_FALSE(date.autoStretch());

    EXPECT_EQ(report.element<Shape>(QStringLiteral("Rule")).penWidth(), kShapePenWidth);
    EXPECT_EQ(report.band(QStringLiteral("Certificate")).parent(), &report.band(QStringLiteral("Detail")));
    EXPECT_TRUE(report.band(QStringLiteral("Detail")).frame().drawTop);
    EXPECT_EQ(report.band(QStringLiteral("Detail")).frame().widthPt, 2);
}

TEST(LayoutDesignTest, RestoringUndoesWhatAPrintChanged)
{
    DesignedReport designed(LayoutUnit::Millimetres);
    Report& report = designed.report;
    auto& caption = report.element<Label>(QStringLiteral("Caption"));
    auto& name = report.element<FieldText>(QStringLiteral("Name"));
    caption.setCaption(QStringLiteral("changed"));
    caption.setFontCharset(kCyrillicCharset);
    caption.setLeft(300);
    name.setEnabled(false);
    name.setFontCharset(kCyrillicCharset);
    name.setWidth(10);
    report.band(QStringLiteral("Detail")).setHeight(200);
    report.band(QStringLiteral("Detail")).setEnabled(false);

    designed.restore();

    EXPECT_EQ(caption.caption(), QStringLiteral("Nosūtītājs"));
    EXPECT_FALSE(caption.hasOwnFont());
    EXPECT_EQ(caption.geometry(), QRectF(7, 3, 62, 17));
    EXPECT_TRUE(name.isEnabled());
    EXPECT_EQ(name.font().charset, kBalticCharset);
    EXPECT_EQ(name.width(), 263);
    EXPECT_EQ(report.band(QStringLiteral("Detail")).height(), 76);
    EXPECT_TRUE(report.band(QStringLiteral("Detail")).isEnabled());
}

TEST(LayoutDesignTest, ARowOfAnotherKindThanItsElementIsRefused)
{
    DesignedReport designed(LayoutUnit::Pixels);
    ElementDesign asLabel = designed.elements[1];
    asLabel.kind = ElementKind::Label;
    EXPECT_THROW(restoreDesign(designed.report.element(QStringLiteral("Name")), asLabel, LayoutUnit::Pixels),
                 EngineError);
}

}  // namespace
