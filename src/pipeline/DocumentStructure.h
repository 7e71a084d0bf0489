#pragma once

// Carries a tagged PDF's structure tree into the searchable copy: the headings, paragraphs, tables,
// figures with their alternative text and the reading order that screen readers and reflowing
// readers follow. The copy draws each kept page's content from a form XObject, so the marks in
// that content are pointed at the form; content that a corrected raster replaced has no marks left,
// and its elements stay without it.

#include "platform/PdfDocument.h"

#include <functional>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <vector>

namespace quorvane::DocumentStructure {

struct CarriedPage {
    QPDFObjectHandle source;  // the source's page
    QPDFObjectHandle output;  // the page of the copy that shows it
    QPDFObjectHandle content; // the form that draws the source content on it; null for a raster
    bool recognisedText = false; // the page's own content marks its invisible text as MCID 0
};

// The output's copy of a source annotation; null when it was not copied.
using AnnotationCopies = std::function<QPDFObjectHandle(QPDFObjGen)>;

// Copies the source's structure tree and /MarkInfo into `output`, whose pages and annotations are
// in place. Elements on pages the output lacks lose those contents. The recognised text of a page
// becomes a paragraph among the elements of its page, so that readers that follow the tags read it. Throws
// PlatformError when the tree could not be copied; the output is then left untagged, as before.
void carryOver(const PdfDocument& source, QPDF& output, const std::vector<CarriedPage>& pages,
               const AnnotationCopies& annotationCopies);

} // namespace quorvane::DocumentStructure
