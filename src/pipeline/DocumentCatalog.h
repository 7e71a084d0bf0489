#pragma once

// Carries the parts of a PDF's catalog that belong to the document rather than to a page into the
// searchable copy: its attached files, its page labels, its layers' default visibility, its
// language, and how and where a reader opens it.

#include "platform/PdfDocument.h"

#include <qpdf/QPDF.hh>

namespace quorvane::DocumentCatalog {

// Copies into `output`, whose pages are already in place, the source's attached files (/Names
// /EmbeddedFiles), its optional content (/OCProperties: without it, a layer hidden by default
// would show on every page), /Lang, /ViewerPreferences, /PageLayout and /PageMode, the page it
// opens at (pointed at the output page with the same index), and its page labels when the output
// has the source's pages. Document scripts stay behind, and so does the structure tree, whose
// marks point into content streams that the copy holds in other objects.
// Throws PlatformError naming the parts that could not be copied and why; the others are copied.
void carryOver(const PdfDocument& source, QPDF& output);

} // namespace quorvane::DocumentCatalog
