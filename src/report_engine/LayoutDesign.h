#pragma once
// Layout tables: a report form describes its bands and elements as rows of
// design values, and the engine builds the model from them and can put it
// back as designed. A layout states once the unit all its numbers are in.

#include "ReportModel.h"

#include <QStringView>

namespace engine {

// The unit of a layout's positions, sizes and band heights.
enum class LayoutUnit {
    Pixels,       // report pixels, as the model holds them
    Millimetres,  // to 0.1 mm of a layout drawn in whole pixels: placed on the nearest whole pixel
};

enum class ElementKind {
    Label,             // shows its text as its caption
    FieldText,         // shows the dataset field its text names
    UnboundFieldText,  // names a field but no dataset: its print handler writes the whole text
    Sum,               // the sum expression its text gives, "SUM(ReportSQL.FIELD)"
    RecordNumber,      // its text followed by the record number
    PageNumber,        // its text followed by the page number
    Shape,             // a rectangle outlined with a pen of kShapePenWidth
};

// How a text element's width and height follow its text.
enum class Sizing {
    Fixed,      // keeps its width and height, wrapping its text within the width
    FitsText,   // the width follows the text (AutoSize)
    GrowsDown,  // keeps its width and grows downwards, its band with it (AutoStretch)
};

enum class FontStyle { Regular, Bold, Italic, BoldItalic };

// The report font at another size and style; size 0 is the report font
// itself, as it stands when the element prints.
struct FontDesign {
    qreal points = 0;
    FontStyle style = FontStyle::Regular;
};

// Report pixels.
inline constexpr qreal kShapePenWidth = 2;

// Text elements wrap their lines at spaces and hyphens.
struct ElementDesign {
    ElementKind kind;
    QStringView name;
    qreal left, top, width, height;  // from the band's top-left corner
    FontDesign font;
    Alignment alignment;
    Sizing sizing;
    QStringView text;  // caption, field, sum expression or leading text, by kind
    QStringView mask = {};  // number pattern of a field text or a sum
    bool alignToBand = false;
};

struct BandDesign {
    BandKind kind;
    QStringView name;
    qreal height;
    Frame frame = {};
    QStringView parent = {};  // of a child band, printed after each printing of its parent
};

Band& addBand(Report& report, const BandDesign& design, LayoutUnit unit);
Element& addElement(Band& band, const ElementDesign& design, LayoutUnit unit);

// Put a band's height, enabled state and frame, or an element's every
// design value and its enabled state, back as designed.
void restoreDesign(Band& band, const BandDesign& design, LayoutUnit unit);
void restoreDesign(Element& element, const ElementDesign& design, LayoutUnit unit);

}  // namespace engine
