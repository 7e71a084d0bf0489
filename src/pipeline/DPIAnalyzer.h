#pragma once

// Estimates the resolution of the scan embedded in a page.

#include "platform/PdfDocument.h"

#include <optional>

namespace quorvane::DPIAnalyzer {

// max(Width, Height) / 792 x 72 of the first image XObject of the page's own resources whose
// estimate lies strictly between 50 and 2400; nothing when there is none.
std::optional<double> effectiveDPI(const PdfPage& page);

} // namespace quorvane::DPIAnalyzer
