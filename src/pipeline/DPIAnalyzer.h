#pragma once

// Estimates the resolution of the scan embedded in a page.

#include "platform/PdfDocument.h"

#include <optional>

namespace quorvane::DPIAnalyzer {

// The resolution, in whole dots per inch, of the scan that covers the page: among the image
// XObjects of the page's own resources whose proportions are the crop box's (either way up),
// their pixels over the page's inches along the side they fill; the highest such estimate that
// lies strictly between 50 and 2400, since a page's text is as sharp as its sharpest layer.
// Nothing when there is none: a logo, a strip or a photo on a text page does not tell how the
// page was scanned.
std::optional<double> effectiveDPI(const PdfPage& page);

} // namespace quorvane::DPIAnalyzer
