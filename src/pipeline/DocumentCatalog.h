#pragma once

// Carries the parts of a PDF's catalog that belong to the document rather than to a page into the
// searchable copy: its attached files, its page labels, its layers' default visibility, its
// language, and how a reader opens it.

#include "platform/PdfDocument.h"

#include <qpdf/QPDF.hh>

namespace quorvane::DocumentCatalog {

// Copies into `output`, whose pages are already in place, the source's attached files (/Names
// /EmbeddedFiles), its optional content (/OCProperties: without it, a layer hidden by default
// would show on every page), /Lang, /ViewerPreferences, /PageLayout and /PageMode, and its page
// labels when the output has the source's pages. Scripts, open actions and the structure tree
// stay behind: they speak of the source's objects, which the copy does not have.
// Throws PlatformError naming the parts that could not be copied and why; the others are copied.
void carryOver(const PdfDocument& source, QPDF& output);

} // namespace quorvane::DocumentCatalog
