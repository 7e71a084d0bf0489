#pragma once

// A page bitmap: 8-bit RGB, three channels in R, G, B order (CV_8UC3), or 8-bit grey (CV_8UC1)
// for a page that has no colour; white where the page draws nothing. Grey pages, most scans,
// stay one channel from rendering to recognition: a third of the memory, and no conversions
// between the steps. Copies share their pixels; "the same raster" is the same data.

#include <opencv2/core.hpp>

namespace quorvane {

using Raster = cv::Mat;

inline bool isSameRaster(const Raster& a, const Raster& b) { return a.data == b.data && a.size == b.size; }

} // namespace quorvane
