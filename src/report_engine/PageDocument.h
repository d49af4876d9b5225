#pragma once
// The result of a run: pages of positioned draw items in report pixels
// (1/96 inch) from the paper's top-left corner. Items are in painting order;
// painters draw them as they stand and never change them.

#include <QFont>
#include <QImage>
#include <QLineF>
#include <QRectF>
#include <QSizeF>
#include <QString>

#include <variant>
#include <vector>

namespace engine {

// A white background of a band or an element (`source` is its name).
struct FillRect {
    QRectF rect;
    QString source;
};

// One line of an element's text, measured at layout.
struct TextRun {
    QPointF baseline;  // left end of the baseline
    QString text;
    QFont font;
    qreal width = 0;
    qreal ascent = 0;
    qreal lineHeight = 0;
    QString source;

    QRectF box() const;  // the line's box: from baseline less ascent, one line high
};

// A band's frame line, `width` in report pixels.
struct FrameLine {
    QLineF line;
    qreal width = 0;
    QString source;
};

// A shape: its rectangle filled white and outlined with a pen.
struct ShapeOutline {
    QRectF rect;
    qreal penWidth = 1;
};

struct Picture {
    QRectF rect;
    QImage image;  // scaled into rect when painted
};

using DrawItem = std::variant<FillRect, TextRun, FrameLine, ShapeOutline, Picture>;

struct Page {
    std::vector<DrawItem> items;

    // Text runs in painting order, all or those of one element.
    std::vector<const TextRun*> textRuns(const QString& source = {}) const;
    // The first fill of a band or element, null when it did not print here.
    const FillRect* fillOf(const QString& source) const;
};

struct PageDocument {
    QSizeF pageSize;  // report pixels
    std::vector<Page> pages;
};

}  // namespace engine
