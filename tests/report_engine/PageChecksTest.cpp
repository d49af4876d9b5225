// The check of printed pages itself: what it finds and what it lets pass.

#include "PageChecks.h"
#include "ReportFont.h"

#include <QFontMetricsF>

#include <gtest/gtest.h>

using namespace engine;
using namespace engine::test;

namespace {

TextRun runAt(const QString& source, const QString& text, QPointF topLeft)
{
    const QFont font = toQFont(FontSpec{});
    const QFontMetricsF metrics(font);
    return TextRun{topLeft + QPointF(0, metrics.ascent()), text, font, metrics.horizontalAdvance(text),
                   metrics.ascent(), metrics.ascent() + metrics.descent(), source};
}

PageDocument pageOf(std::vector<DrawItem> items)
{
    return PageDocument{QSizeF(800, 1100), {Page{std::move(items)}}};
}

qreal lineHeight()
{
    const QFontMetricsF metrics(toQFont(FontSpec{}));
    return metrics.ascent() + metrics.descent();
}

TEST(PageChecks, FindsATextPrintedOverAnother)
{
    const PageDocument document = pageOf({runAt("Price", "12,345", {100, 50}), runAt("Sum", "131072,01", {130, 52})});
    EXPECT_EQ(overprints(document),
              QStringList{"page 1: Price \"12,345\" under Sum \"131072,01\""});
    EXPECT_FALSE(noTextOverprinted(document));
}

TEST(PageChecks, FindsATextUnderABackgroundOrARuleLaidDownAfterIt)
{
    const PageDocument document = pageOf({runAt("Third", "line three", {0, 30}),
                                          FillRect{QRectF(0, 38, 300, 3), "Columns"},
                                          runAt("Caption", "Nosaukums", {0, 60}),
                                          FrameLine{QLineF(0, 70, 300, 70), 2.67, "Columns"}});
    EXPECT_EQ(overprints(document), QStringList({"page 1: Third \"line three\" under the background of Columns",
                                                 "page 1: Caption \"Nosaukums\" under the frame line of Columns"}));
}

TEST(PageChecks, LetsLinesThatTouchAndListedOverlaysPass)
{
    const PageDocument document = pageOf({
        runAt("Name", "Ģirts Ļoti Ņēma", {0, 0}),
        runAt("Name", "Āgrā jūlijā", {0, lineHeight()}),
        runAt("Caption", "Nosūtītājs :", {0, 2 * lineHeight()}),
        runAt("Value", "SIA Org", {60, 2 * lineHeight()}),
        FillRect{QRectF(0, 3 * lineHeight(), 300, 20), "NextBand"},
    });
    EXPECT_EQ(overprints(document, {{"Value", "Caption"}}), QStringList());
    EXPECT_EQ(overprints(document).size(), 1);
}

}  // namespace
