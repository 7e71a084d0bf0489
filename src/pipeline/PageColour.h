#pragma once

// Whether a PDF page can only draw shades of grey, so that it may be rendered in grey (in half
// the time of colour) without losing anything. Most scans of paper are one-bit or grey images.

#include "platform/PdfDocument.h"

namespace quorvane::PageColour {

// True only when nothing on the page can bring colour: every image is grey or a stencil mask,
// the content sets colours only as grey, and there are no annotations, shadings, patterns, Type 3
// fonts, inline images or transparency groups. Any doubt, a damaged object included, says false.
bool drawsOnlyGrey(const PdfPage& page);

} // namespace quorvane::PageColour
