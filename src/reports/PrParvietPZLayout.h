#pragma once
// The design layout of the general transfer waybill: the report's page
// setup, its bands and every element with its design position, size, font,
// alignment, sizing and text. The preparation of each print starts from this
// design and then applies the print's own settings.

#include "LayoutDesign.h"
#include "ReportModel.h"

#include <QStringView>

#include <optional>
#include <span>

namespace reports::parvietpz {

// One column of the lines table: its caption in the column header band, its
// value in the detail band and, for some, its total in the summary band.
struct ColumnDesign {
    QStringView switchName;  // "0": always shown
    engine::ElementDesign caption;
    engine::ElementDesign value;
    std::optional<engine::ElementDesign> total;
};

// Names of the bands.
inline constexpr QStringView kPageHeaderBand = u"QRBand5";
inline constexpr QStringView kTitleBand = u"QRTitle";
inline constexpr QStringView kColumnHeaderBand = u"bndAiluVirsr";
inline constexpr QStringView kDetailBand = u"bndDetalas";
inline constexpr QStringView kSummaryBand = u"bndSummas";
inline constexpr QStringView kEndBand = u"ChildBand1";

// Sets up an empty report: page, title, font, bands and elements as designed.
void buildLayout(engine::Report& report);

// Puts every band height and every element's position, size, font, text and
// enabled state back as designed.
void restoreDesign(engine::Report& report);

// The 25 columns in placement order.
std::span<const ColumnDesign> columnCatalogue();

}  // namespace reports::parvietpz
