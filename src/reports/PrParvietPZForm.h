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
#include "Query.h"
#include "QueryDataSet.h"
#include "ReportModel.h"
#include "WaybillForm.h"

#include <cstdint>

namespace reports {

class TPrParvietPZ : public WaybillForm {
public:
    // `precesDb`: the operator connection (explicit transaction mode).
    explicit TPrParvietPZ(db::Connection& precesDb, VatRateSource vatRate = {});

    // ISN of the waybill to print; set before each print.
    std::int32_t WaybillIsn = 0;
    // Line comments go into the name column; decided by each preparation.
    bool ShowLineComments = false;

    // printWaybill sets its page orientation and copies on every print.
    engine::Report QuickRep1;

    // Prints in portrait. Errors of the preparation, of the lines and of the
    // after-print update reach the caller; an empty waybill prints no page
    // and is blocked as by any print.
    engine::PrintResult printWaybill(std::int32_t waybillIsn, int copies, engine::OutputDevice& device) override;
    engine::Report& report() override { return QuickRep1; }
    const db::Query& reportSql() const override { return ReportSQL; }

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
    engine::Label& label(const QString& name) const;

    db::Connection& PRECES_DB;
    db::Query ReportSQL;
    db::Query N_ISI;
    QueryDataSet reportData_{ReportSQL};
};

}  // namespace reports
