#pragma once

// Carries a PDF's outline (bookmarks) over into the searchable copy.

#include "platform/PdfDocument.h"

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFMatrix.hh>
#include <vector>

namespace quorvane::DocumentOutline {

// Copies the outline of `source` into `output`, whose pages are already in place: labels with their
// colour and style, the expanded or collapsed state, nesting and order. Each destination (a /Dest, a GoTo
// action, or a named destination) points at the output page with the same index, with the same view and
// point, moved by that page's placement (how it draws the source page; none when missing). Entries that open
// a web page keep their address. Entries that lead nowhere (no destination, or a page the output lacks) stay
// only as parents of entries that do. Loops and damage in the source's outline are left out rather than
// followed. Returns whether an outline was installed; `output` is unchanged when there was nothing to copy.
// Throws PlatformError, `output` unchanged, when the outline is there but cannot be copied.
bool copyOutline(const PdfDocument& source, QPDF& output, const std::vector<QPDFMatrix>& placements = {});

} // namespace quorvane::DocumentOutline
