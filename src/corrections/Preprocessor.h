#pragma once

// Cleans a page raster before recognition: removes colour and lifts contrast, and at the stronger
// settings lightens shadows, smooths noise and removes specks. Conservative only lifts contrast,
// so faint stamps and signatures are never erased.

#include "core/OCROptions.h"
#include "core/Raster.h"

namespace quorvane::Preprocessor {

// Denoising smooths variations below this fraction of the grey range and sharpens edges by
// `sharpness`.
inline constexpr double noiseLevel = 0.02;
inline constexpr double sharpness = 0.4;

// A cleaned grey raster of the same size; the very same raster when the strength is off. Never
// fails: a raster that cannot be cleaned comes back as it is.
Raster apply(const Raster& raster, PreprocessStrength strength);

} // namespace quorvane::Preprocessor
