#pragma once

// Renders one PDF page, upright as displayed, to the raster that recognition works on: grey for
// a page that cannot show colour, RGB otherwise.

#include "core/Raster.h"
#include "platform/PdfDocument.h"

#include <chrono>
#include <optional>

namespace quorvane::PDFPageRasterizer {

inline constexpr double targetDPI = 300.0;
inline constexpr double maxPixelDimension = 4096.0;
// The longest a page may take to draw, in the renderer's processor time (a busy machine does not
// make a page run out of it). Ten times the slowest real page we have met, and at least a minute:
// only a runaway page (a pattern that paints itself millions of times) comes near it.
inline constexpr std::chrono::milliseconds renderTimeLimit = std::chrono::seconds(60);

// floor(W x scale) x floor(H x scale) pixels of the display bounds, scale = dpi / 72 capped so
// that the longer side stays within maxPixelDimension; white wherever the page draws nothing.
// Nothing when the page has no area or cannot be rendered. A page that runs over `timeLimit`, or
// that stops the renderer, throws OCRError::rasterizationFailed with the reason.
std::optional<Raster> render(const PdfPage& page, double dpi, std::chrono::milliseconds timeLimit = renderTimeLimit);

} // namespace quorvane::PDFPageRasterizer
