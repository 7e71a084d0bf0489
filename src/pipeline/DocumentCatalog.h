#pragma once

// Carries the parts of a PDF's catalog that belong to the document rather than to a page into the
// searchable copy: its attached files and scripts, its page labels, its layers' default visibility,
// its language, its output intents, and how and where a reader opens it.

#include "platform/PdfDocument.h"

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFMatrix.hh>
#include <vector>

namespace quorvane::DocumentCatalog {

// `value` as a value of `output`: indirect objects are copied with whatever they reach; a page or
// the page tree named where none belongs becomes null (the copy has pages of its own).
QPDFObjectHandle copied(QPDF& output, QPDFObjectHandle value);

// Copies into `output`, whose pages are already in place, the source's attached files and scripts
// (/Names /EmbeddedFiles and /JavaScript), its optional content (/OCProperties: without it, a
// layer hidden by default would show on every page), /Lang, /ViewerPreferences, /PageLayout,
// /PageMode and /URI (where relative links lead), its /OutputIntents when the output has none of
// its own, the page it opens at (pointed at the output page with the same index, its view moved by
// that page's placement), and its page labels when the output has the source's pages. (The
// structure tree: DocumentStructure.)
// Throws PlatformError naming the parts that could not be copied and why; the others are copied.
void carryOver(const PdfDocument& source, QPDF& output, const std::vector<QPDFMatrix>& placements = {});

} // namespace quorvane::DocumentCatalog
