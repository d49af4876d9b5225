#pragma once
// The alcohol transfer waybill: the fixed-layout waybill printed for a
// transfer waybill that holds alcohol goods. One form lives for the whole
// process and serves every alcohol print in turn.
//
// The print request sets WaybillIsn and QuickRep1.printerSettings().copies,
// then calls print(). QuickRep1BeforePrint rebuilds and opens ReportSQL on
// the operator connection and sets the driver line; the element handlers
// write the dates, the total in words, the VAT caption and the issuer name
// while the bands print.

#include "PrintDevices.h"
#include "Query.h"
#include "QueryDataSet.h"
#include "ReportModel.h"

#include <QString>

#include <cstdint>
#include <functional>

namespace reports {

class TPrParvAlkoholaPZ {
public:
    // The VAT rate (percent) of the operator window, read at every print.
    using VatRateSource = std::function<double()>;

    // `PRECES_DB`: the operator connection (explicit transaction PRECES_TR),
    // which the report query and every lookup of a print run on. Without
    // `vatRate` the rate is 0.
    explicit TPrParvAlkoholaPZ(db::Connection& PRECES_DB, VatRateSource vatRate = {});
    TPrParvAlkoholaPZ(const TPrParvAlkoholaPZ&) = delete;
    TPrParvAlkoholaPZ& operator=(const TPrParvAlkoholaPZ&) = delete;

    // One print cycle of QuickRep1 to `device`. Errors of the report query
    // and of the car query reach the caller.
    engine::PrintResult print(engine::OutputDevice& device);
    // The pages one print cycle lays out, as a recording device keeps them.
    engine::PageDocument printToDocument();

    // The O_PARPAV row to print; kept between prints.
    std::int32_t WaybillIsn = 0;
    // The issuer's name for the signature block; empty keeps the blank line.
    QString IssuerName;

    // The waybill's lines: rebuilt before every print, left open after it.
    db::Query ReportSQL;
    engine::Report QuickRep1;

private:
    void QuickRep1BeforePrint(engine::Report& sender, bool& printReport);
    void ReportSQLCalcFields(db::Query& dataSet);
    void ChildBand2BeforePrint(engine::Band& sender, bool& printBand);
    void lbVisrDatumsPrint(engine::TextElement& sender, QString& value);
    void QRDBText15Print(engine::TextElement& sender, QString& value);
    void QRDBText16Print(engine::TextElement& sender, QString& value);
    void QRLabel41Print(engine::TextElement& sender, QString& value);
    void QRDBText7Print(engine::TextElement& sender, QString& value);
    void QRLabel31Print(engine::TextElement& sender, QString& value);
    void QRLabel35Print(engine::TextElement& sender, QString& value);

    void prepareReportQuery();
    void bindHandlers();
    QString dateInWords(QStringView field) const;

    db::Connection& PRECES_DB_;
    VatRateSource vatRate_;
    QueryDataSet reportData_{ReportSQL};
};

}  // namespace reports
