#pragma once
// Printed pages as a reader sees them: no text drawn over another text, and
// none hidden under a background, frame line or shape laid down after it.
// Texts are compared by their ink (the bounds of their glyphs), not by their
// line boxes, so lines that merely touch pass, and so does a background that
// trims less than a report pixel off the tail of a letter.

#include "PageDocument.h"

#include <gtest/gtest.h>

#include <QString>

#include <utility>
#include <vector>

namespace engine::test {

// Elements that a layout itself places one over the other, by name, in
// either order; for a background, the name of its band or element.
using Overlays = std::vector<std::pair<QString, QString>>;

// Every text run on `document` that another one, or something laid down
// later, covers, one line each ("page 1: Price \"12,345\" under Sum
// \"131072,01\""), leaving out the pairs in `overlays`.
QStringList overprints(const PageDocument& document, const Overlays& overlays = {});

// Success when overprints() finds nothing; else the list.
::testing::AssertionResult noTextOverprinted(const PageDocument& document, const Overlays& overlays = {});

}  // namespace engine::test
