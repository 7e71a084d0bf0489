#pragma once

// Figures that Tesseract cut in two at their decimal point. A till receipt's amounts, set flush
// right in a fixed-pitch font, line their points up, and the layout analysis takes that line for a
// column's edge: "19.26" comes back as the lines "19." and "26" side by side, and a search for
// the amount finds nothing.

#include "core/OCRRecords.h"

#include <vector>

namespace quorvane::CutFigures {

// The lines with every such pair joined into one: two lines in one row, less than a character
// apart, the left ending in a digit and the right starting with one, a point or comma between.
void join(std::vector<OCRLine>& lines);

} // namespace quorvane::CutFigures
