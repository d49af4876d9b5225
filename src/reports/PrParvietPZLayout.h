#pragma once
// The design layout of the general transfer waybill: the report's page
// setup, its bands and every element with its design position, size, font,
// alignment, sizing and text. The preparation of each print starts from this
// design and then applies the print's own settings.

#include "ReportModel.h"

#include <QStringView>

#include <optional>
#include <span>

namespace reports::parvietpz {

enum class ElementKind { Label, FieldText, Sum, RecordNumber, PageNumber, Shape };

enum class Sizing {
    Fixed,    // keeps its width, wraps its text within it
    Fits,     // the width follows the text
    Stretch,  // keeps its width and grows downwards for long text
};

enum class FontStyle { Regular, Bold, Italic };

struct ElementDesign {
    ElementKind kind;
    QStringView name;
    qreal left, top, width, height;
    qreal pointSize;
    FontStyle style;
    engine::Alignment alignment;
    Sizing sizing;
    // A label's caption, a field text's field, a sum's expression, a system
    // data element's leading text.
    QStringView text;
    QStringView mask = {};
    bool alignToBand = false;
};

// One column of the lines table: its caption in the column header band, its
// value in the detail band and, for some, its total in the summary band.
struct ColumnDesign {
    QStringView switchName;  // "0": always shown
    ElementDesign caption;
    ElementDesign value;
    std::optional<ElementDesign> total;
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
