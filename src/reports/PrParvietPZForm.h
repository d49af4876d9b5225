#pragma once
// The general transfer waybill ("PĀRVIETOŠANAS PAVADZĪME"): one waybill of
// O_PARPAV with its lines, whose columns, header form, totals and texts each
// installation switches through its settings in N_ISI and N_ISI2.
//
// One instance lives for the whole program and every print reuses it. It
// works on the operator connection PRECES_DB and its transaction PRECES_TR;
// two prints must never overlap (the host's print lock keeps them apart).
//
// A print: QuickRep1BeforePrint prepares the layout from the design and the
// settings and fetches the waybill, the engine prints the bands line by line
// (ReportSQLCalcFields computes each line's texts, the print handlers adjust
// texts as they print), and QuickRep1AfterPrint blocks the waybill and
// commits PRECES_TR.

#include "Connection.h"
#include "PageDocument.h"
#include "PrintDevices.h"
#include "Query.h"
#include "QueryDataSet.h"
#include "ReportModel.h"

#include <cstdint>
#include <functional>

namespace reports {

class TPrParvietPZ {
public:
    // The operator window's VAT rate in percent, for the VAT label.
    using VatRateSource = std::function<double()>;

    // `precesDb`: the operator connection (explicit transaction mode). Without
    // a `vatRate` the VAT label shows a rate of 0.
    explicit TPrParvietPZ(db::Connection& precesDb, VatRateSource vatRate = {});
    TPrParvietPZ(const TPrParvietPZ&) = delete;
    TPrParvietPZ& operator=(const TPrParvietPZ&) = delete;

    // ISN of the waybill to print; set before each print.
    std::int32_t WaybillIsn = 0;
    // Line comments go into the name column; decided by each preparation.
    bool ShowLineComments = false;

    // The caller may set the page orientation and the copies on it.
    engine::Report QuickRep1;

    // What the print request does: sets WaybillIsn, portrait orientation and
    // the copies, and prints on `device`. Errors of the preparation, of the
    // lines and of the after-print update reach the caller.
    engine::PrintResult printWaybill(std::int32_t waybillIsn, int copies, engine::OutputDevice& device);

    // The pages one print of the waybill makes (no pages for an empty
    // waybill); the waybill is blocked as by any print.
    engine::PageDocument pageDocument(std::int32_t waybillIsn);

    // The report's dataset, as the last preparation left it.
    const db::Query& reportSql() const { return ReportSQL; }

private:
    // Report events.
    void QuickRep1BeforePrint();
    void QuickRep1AfterPrint();

    // Preparation steps (PrParvietPZForm.cpp).
    void openReportSql();

    // Column layout (PrParvietPZColumns.cpp).
    void setBandHeights();
    void setNameColumnCharset();
    void overrideColumnWidths();
    void setNameCaption(const db::Query& settings2);
    void placeColumns();
    void PlaceColumn(QStringView switchName, engine::Element& caption, int& x, engine::Element& value);
    void PlaceColumnWithTotal(QStringView switchName, engine::Element& caption, int& x, engine::Element& total,
                              engine::Element& value);
    QString switchWithFallback(QStringView switchName);
    void setSalePriceFormat(const db::Query& settings2);

    // Line fields (PrParvietPZLineFields.cpp).
    void ReportSQLCalcFields(db::Query& line);
    QString goodsNameText(const db::Query& line);
    QString ReceivedWaybillText(std::int32_t goodsKey, std::int32_t departmentKey, const db::Value& date);
    void DTDerigsLidzPrint(QString& value);

    // Header block (PrParvietPZHeader.cpp).
    void setTitleNumberAndDate();
    void setSenderAndReceiver();
    void showDriverLine();
    void applyOneBlockHeader();
    void setInternalNumber(const db::Query& settings2);
    bool isOneBlockHeader() const;
    void QRDBText1Print(QString& value);
    void QRDBText3Print(QString& value);
    void SanNodala1Print(QString& value);
    void QRLabel16Print(QString& value);

    // Totals, accounting lines and footer (PrParvietPZTotals.cpp).
    void setEndText();
    void setTotalsBlock(const db::Query& settings2);
    void QRLabel3Print(QString& value);
    void shSummaKontiPrint(QString& value);
    void shPVNKontiPrint(QString& value);
    void lbPVN21Print(QString& value);
    void DatVardIzsniedzaPrint(QString& value);
    void shISIORGNOSPrint(QString& value);
    void QRLabel2Print(QString& value);

    void declareReportFields();
    void bindHandlers();
    void bindPrint(const QString& element, void (TPrParvietPZ::*handler)(QString&));
    engine::Label& label(const QString& name) const;

    db::Connection& PRECES_DB;
    VatRateSource vatRate_;
    db::Query ReportSQL;
    db::Query N_ISI;
    QueryDataSet reportData_{ReportSQL};
};

}  // namespace reports
