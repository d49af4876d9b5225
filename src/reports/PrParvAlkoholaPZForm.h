#pragma once
// The alcohol transfer waybill: the fixed-layout waybill printed for a
// transfer waybill that holds alcohol goods. One form lives for the whole
// process and serves every alcohol print in turn.
//
// QuickRep1BeforePrint rebuilds and opens ReportSQL on the operator
// connection and sets the driver line; the element handlers write the dates,
// the total in words, the VAT caption and the issuer name while the bands
// print.

#include "Query.h"
#include "QueryDataSet.h"
#include "ReportModel.h"
#include "WaybillForm.h"

#include <QString>

#include <cstdint>

namespace reports {

class TPrParvAlkoholaPZ : public WaybillForm {
public:
    // `PRECES_DB`: the operator connection (explicit transaction PRECES_TR),
    // which the report query and every lookup of a print run on.
    explicit TPrParvAlkoholaPZ(db::Connection& PRECES_DB, VatRateSource vatRate = {});

    // Errors of the report query and of the car query reach the caller.
    engine::PrintResult printWaybill(std::int32_t waybillIsn, int copies, engine::OutputDevice& device) override;
    engine::Report& report() override { return QuickRep1; }
    const db::Query& reportSql() const override { return ReportSQL; }

    // The O_PARPAV row to print; kept between prints.
    std::int32_t WaybillIsn = 0;
    // The issuer's name for the signature block; empty keeps the blank line.
    QString IssuerName;

    // The waybill's lines: rebuilt before every print, left open after it.
    db::Query ReportSQL;
    engine::Report QuickRep1;

private:
    void QuickRep1BeforePrint();
    void ReportSQLCalcFields(db::Query& dataSet);
    void ChildBand2BeforePrint(bool& printBand);
    void lbVisrDatumsPrint(QString& value);
    void QRDBText15Print(QString& value);
    void QRDBText16Print(QString& value);
    void QRLabel41Print(QString& value);
    void QRDBText7Print(QString& value);
    void QRLabel31Print(QString& value);
    void QRLabel35Print(QString& value);

    void prepareReportQuery();
    void bindHandlers();
    QString dateInWords(QStringView field) const;

    db::Connection& PRECES_DB_;
    QueryDataSet reportData_{ReportSQL};
};

}  // namespace reports
