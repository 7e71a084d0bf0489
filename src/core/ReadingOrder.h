#pragma once

// Puts the lines recognised on one page into the order a person reads them: column by column
// from left to right, and within a column from top to bottom, left to right within a row. Where
// lines across the page (a title, a heading, a list) stand above and below columns, the page is
// read band by band from the top, and each band column by column. A table is read row by row: one
// whose figures stand in a column of their own, as a receipt's do, or one of text in columns as
// wide as their contents; so is a list of terms each beside its entry (a glossary).

#include "core/OCRRecords.h"

#include <vector>

namespace quorvane::ReadingOrder {

// The same lines, each once and unchanged, in reading order. Their bounding boxes decide it; their
// texts only tell figures from words, labels from text and how wide a character is. One line that
// runs across two blocks side by side (two addresses) comes back as its two halves, one in each.
std::vector<OCRLine> order(std::vector<OCRLine> lines);

} // namespace quorvane::ReadingOrder
