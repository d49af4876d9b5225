// The lines table: band heights, which columns print and where, the two
// widths the settings override, the name column's caption and font script,
// and the decimals of the sale price with VAT.

#include "PrParvietPZForm.h"

#include "DbError.h"
#include "My_proc.h"
#include "PrParvietPZLayout.h"
#include "PrParvietPZSettings.h"

namespace reports {

using parvietpz::integerOf;
using parvietpz::isOn;

void TPrParvietPZ::setBandHeights()
{
    QuickRep1.band(parvietpz::kColumnHeaderBand.toString()).setHeight(36);
    QuickRep1.band(parvietpz::kDetailBand.toString()).setHeight(15);
    QuickRep1.band(parvietpz::kSummaryBand.toString()).setHeight(22);
}

void TPrParvietPZ::setNameColumnCharset()
{
    QuickRep1.element<engine::TextElement>(QStringLiteral("DTNosaukums"))
        .setFontCharset(common::ReportFontCharset(PRECES_DB));
}

// The settings give a width in characters of 8 px each.
void TPrParvietPZ::overrideColumnWidths()
{
    auto& articleCaption = QuickRep1.element<engine::TextElement>(QStringLiteral("HDArtikuls"));
    auto& articleValue = QuickRep1.element<engine::TextElement>(QStringLiteral("DTArtikuls"));
    if (const int characters = integerOf(N_ISI, u"ISIIZRARTIKGARUMS"); characters > 0) {
        articleCaption.setWidth(characters * articleValue.font().pointSize);
        articleValue.setWidth(articleCaption.width());
    }
    auto& nameCaption = QuickRep1.element<engine::TextElement>(QStringLiteral("HDNosaukums"));
    auto& nameValue = QuickRep1.element<engine::TextElement>(QStringLiteral("DTNosaukums"));
    if (const int characters = integerOf(N_ISI, u"ISIPARVGNOSGARUMS"); characters > 0) {
        nameCaption.setWidth(characters * nameCaption.font().pointSize);
        nameValue.setWidth(nameCaption.width());
    }
}

// The caption names the parts of the name column in the order they come.
void TPrParvietPZ::setNameCaption(const db::Query& settings2)
{
    QString caption = isOn(N_ISI, u"ISIPARVSERTIF") ? QStringLiteral("Preces nosaukums / Sertifikāts")
                                                    : QStringLiteral("Preces nosaukums");
    if (isOn(settings2, u"PARVKOMENTPIENOS")) {
        caption += QStringLiteral(" / Komentārs");
        ShowLineComments = true;
    }
    if (isOn(N_ISI, u"ISIPARVSANNR"))
        caption += QStringLiteral(" / Saņ. P/Z sērija, Nr, datums, nodaļa");
    label(QStringLiteral("HDNosaukums")).setCaption(caption);
}

// Shown columns stand side by side from the left edge in catalogue order;
// hidden ones leave no gap. Only a caption's width moves the edge on, so a
// wider value or total fills the 1 px gap to the next column.
void TPrParvietPZ::placeColumns()
{
    int x = 0;
    for (const parvietpz::ColumnDesign& column : parvietpz::columnCatalogue()) {
        const QStringView switchName = column.switchName;
        engine::Element& caption = QuickRep1.element(column.caption.name.toString());
        engine::Element& value = QuickRep1.element(column.value.name.toString());
        if (column.total)
            PlaceColumnWithTotal(switchName, caption, x, QuickRep1.element(column.total->name.toString()), value);
        else
            PlaceColumn(switchName, caption, x, value);
    }
}

namespace {

constexpr QStringView kAlwaysShown = u"0";

void placeOrHide(bool shown, engine::Element& caption, int& x, std::initializer_list<engine::Element*> others)
{
    caption.setEnabled(shown);
    for (engine::Element* element : others)
        element->setEnabled(shown);
    if (!shown)
        return;
    caption.setTop(2);
    caption.setLeft(x);
    for (engine::Element* element : others) {
        element->setLeft(x);
        element->setTop(2);
    }
    x += static_cast<int>(caption.width()) + 1;
}

}  // namespace

void TPrParvietPZ::PlaceColumn(QStringView switchName, engine::Element& caption, int& x, engine::Element& value)
{
    const bool shown = switchName == kAlwaysShown || switchWithFallback(switchName) == u"T";
    placeOrHide(shown, caption, x, {&value});
}

void TPrParvietPZ::PlaceColumnWithTotal(QStringView switchName, engine::Element& caption, int& x,
                                        engine::Element& total, engine::Element& value)
{
    const bool shown = switchName == kAlwaysShown || parvietpz::textOf(N_ISI, switchName) == u"T";
    placeOrHide(shown, caption, x, {&value, &total});
}

// Switches that N_ISI lacks are looked for in N_ISI2; a switch missing from
// both fails with the database's error.
QString TPrParvietPZ::switchWithFallback(QStringView switchName)
{
    try {
        return parvietpz::textOf(N_ISI, switchName);
    } catch (const db::DbError&) {
        const QString statement = QStringLiteral("SELECT %1 LAUKS FROM N_ISI2").arg(switchName);
        return parvietpz::firstRowTexts(PRECES_DB, statement).value(0);
    }
}

void TPrParvietPZ::setSalePriceFormat(const db::Query& settings2)
{
    const int decimals = integerOf(settings2, u"PARVPARDARPVNZIMES");
    const QString format = decimals != 0 ? QStringLiteral("#0.") + QString(std::max(decimals, 0), u'0')
                                         : QStringLiteral("#0.000");
    ReportSQL.setDisplayFormat(u"PARDCENAARPVN", format);
}

}  // namespace reports
