#pragma once
// What the print request needs of a waybill form, alike for the general and
// the alcohol transfer waybill: print one waybill in a number of copies on a
// device. Each form lives for the whole process and serves every print of
// its kind in turn; two prints of one form must never overlap.
//
// Every form keeps the key of the waybill to print in its member WaybillIsn,
// prints its report QuickRep1 from its query ReportSQL, and names its
// handlers after the element and the event (QuickRep1BeforePrint,
// QRDBText7Print). An element's print handler receives the text about to
// print and may replace it for that printing.

#include "PageDocument.h"
#include "PrintDevices.h"
#include "Query.h"
#include "ReportModel.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <utility>

namespace reports {

class WaybillForm {
public:
    // The operator window's VAT rate in percent, read at every print.
    using VatRateSource = std::function<double()>;

    virtual ~WaybillForm() = default;
    WaybillForm(const WaybillForm&) = delete;
    WaybillForm& operator=(const WaybillForm&) = delete;

    // Sets WaybillIsn and the copies, then runs one print cycle of QuickRep1
    // on `device`. Errors of the report query, of the handlers and of the
    // device reach the caller.
    virtual engine::PrintResult printWaybill(std::int32_t waybillIsn, int copies, engine::OutputDevice& device) = 0;

    // The pages one print of the waybill lays out (none when nothing
    // printed); the print has every other effect a print has.
    engine::PageDocument pageDocument(std::int32_t waybillIsn);

    // QuickRep1, whose progress a window may follow.
    virtual engine::Report& report() = 0;
    // ReportSQL as the last print left it.
    virtual const db::Query& reportSql() const = 0;

protected:
    // Without a `vatRate` the rate is 0.
    explicit WaybillForm(VatRateSource vatRate) : vatRate_(std::move(vatRate)) {}

    double vatRate() const { return vatRate_ ? vatRate_() : 0.0; }

private:
    VatRateSource vatRate_;
};

// Binds the print event of text element `element` of `form`'s QuickRep1 to
// `handler`.
template <class Form>
void bindPrint(Form& form, const QString& element, void (Form::*handler)(QString& value))
{
    form.QuickRep1.template element<engine::TextElement>(element).setOnPrint(
        [&form, handler](engine::TextElement&, QString& value) { (form.*handler)(value); });
}

}  // namespace reports
