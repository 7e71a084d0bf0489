#pragma once

// Renders one PDF page, upright as displayed, to the raster that recognition works on: grey for
// a page that cannot show colour, RGB otherwise.

#include "core/Raster.h"
#include "platform/PdfDocument.h"

#include <optional>

namespace quorvane::PDFPageRasterizer {

inline constexpr double targetDPI = 300.0;
inline constexpr double maxPixelDimension = 4096.0;

// floor(W x scale) x floor(H x scale) pixels of the display bounds, scale = dpi / 72 capped so
// that the longer side stays within maxPixelDimension; white wherever the page draws nothing.
// Nothing when the page has no area or cannot be rendered.
std::optional<Raster> render(const PdfPage& page, double dpi);

} // namespace quorvane::PDFPageRasterizer
