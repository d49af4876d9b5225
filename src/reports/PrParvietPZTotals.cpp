// The end of the waybill: free text, totals with the amounts in words,
// accounting lines, VAT label, the issuer's date and the footers.

#include "PrParvietPZForm.h"

#include "My_proc.h"
#include "NumberFormat.h"
#include "PrParvietPZSettings.h"
#include "Sumlat.h"

#include <cmath>

namespace reports {

using parvietpz::firstRowTexts;
using parvietpz::isOn;
using parvietpz::textOf;

namespace {

const QStringView kTotalsBlock[] = {
    u"shSummaVardiem", u"lbSummaBezPVN", u"lbSumSummaBezPVN", u"lbPVN21",
    u"lbSumPVNSumma",  u"QRShape1",      u"lbKopSumma",       u"lbSumKopSumma",
};

// The waybill's accounts when both are set, else the installation's
// defaults, as one pair: "prefix" + debit + " K-" + credit.
QString accountLine(db::Connection& connection, const db::Query& waybill, QStringView prefix, QStringView debitField,
                    QStringView creditField, const QString& defaultsStatement)
{
    QString debit = textOf(waybill, debitField);
    QString credit = textOf(waybill, creditField);
    if (debit.isEmpty() || credit.isEmpty()) {
        const QStringList defaults = firstRowTexts(connection, defaultsStatement);
        debit = defaults.value(0);
        credit = defaults.value(1);
    }
    return prefix.toString() + debit + QStringLiteral(" K-") + credit;
}

}  // namespace

void TPrParvietPZ::setEndText()
{
    label(QStringLiteral("BrivTekstsBeigas")).setCaption(textOf(N_ISI, u"ISIPARVTEXTSBEIGAS"));
}

// Shown by either words setting; with both, the words line holds both
// amounts, sale first, and the figures are the purchase ones.
void TPrParvietPZ::setTotalsBlock(const db::Query& settings2)
{
    const bool saleWords = isOn(settings2, u"ISIPARVPARDVARDI");
    const bool purchaseWords = isOn(settings2, u"PARVIEPVARDI");
    for (QStringView name : kTotalsBlock)
        QuickRep1.element(name.toString()).setEnabled(saleWords || purchaseWords);
    if (!saleWords && !purchaseWords)
        return;
    engine::Label& words = label(QStringLiteral("shSummaVardiem"));
    words.setCaption({});
    const auto showTotals = [this](QStringView withoutVat, QStringView vat, QStringView withVat) {
        const auto amount = [this](QStringView field) {
            return engine::formatNumber(ReportSQL.field(field).asFloat(), QStringLiteral("0.00"));
        };
        label(QStringLiteral("lbSumSummaBezPVN")).setCaption(amount(withoutVat));
        label(QStringLiteral("lbSumPVNSumma")).setCaption(amount(vat));
        label(QStringLiteral("lbSumKopSumma")).setCaption(amount(withVat));
    };
    if (saleWords) {
        words.setCaption(QStringLiteral("Pārd.summa vārdiem : ")
                         + common::AmountInWords(ReportSQL.field(u"KOPSUMMA").asFloat()));
        showTotals(u"BEZPVNSUMMA", u"PVNSUMMA", u"KOPSUMMA");
    }
    if (purchaseWords) {
        words.setCaption(words.caption() + QStringLiteral(" Iep.summa vārdiem : ")
                         + common::AmountInWords(ReportSQL.field(u"KOPIEPARPVNSUMMA").asFloat()));
        showTotals(u"IEPBEZPVNSUMMA", u"KOPIEPPVNSUMMA", u"KOPIEPARPVNSUMMA");
    }
}

void TPrParvietPZ::QRLabel3Print(QString& value)
{
    value = firstRowTexts(PRECES_DB, QStringLiteral("SELECT ISIORGNOS FROM N_ISI")).value(0)
            + QStringLiteral(" kontējumi :");
}

void TPrParvietPZ::shSummaKontiPrint(QString& value)
{
    value = accountLine(PRECES_DB, ReportSQL, u"Bez PVN D-", u"IEP_D", u"IEP_K",
                        QStringLiteral("SELECT FUSPARVIEP_D, FUSPARVIEP_K FROM N_ISI"));
}

void TPrParvietPZ::shPVNKontiPrint(QString& value)
{
    value = accountLine(PRECES_DB, ReportSQL, u"PVN D-", u"IEPPVN_D", u"IEPPVN_K",
                        QStringLiteral("SELECT FUSPARVIEPPVN_D, FUSPARVIEPPVN_K FROM N_ISI"));
}

void TPrParvietPZ::lbPVN21Print(QString& value)
{
    value = QStringLiteral("PVN ") + engine::formatNumber(vatRate()) + u'%';
}

// The delivery date when there is one, else the waybill date.
void TPrParvietPZ::DatVardIzsniedzaPrint(QString& value)
{
    const double delivery = ReportSQL.field(u"DAT_PIEGADE").asFloat();
    value = common::DateInWords(std::trunc(delivery) != 0 ? delivery : ReportSQL.field(u"DATUMS").asFloat());
}

void TPrParvietPZ::shISIORGNOSPrint(QString& value)
{
    value = firstRowTexts(PRECES_DB, QStringLiteral("SELECT ISIPZFOOT1 FROM N_ISI")).value(0);
}

void TPrParvietPZ::QRLabel2Print(QString& value)
{
    value = firstRowTexts(PRECES_DB, QStringLiteral("SELECT ISIPZFOOT2 FROM N_ISI")).value(0);
}

}  // namespace reports
