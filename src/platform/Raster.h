#pragma once

// A page bitmap: 8-bit RGB, three channels in R, G, B order (CV_8UC3), white where the page
// draws nothing. Copies share their pixels; "the same raster" is the same data.

#include <opencv2/core.hpp>

namespace quorvane {

using Raster = cv::Mat;

inline bool isSameRaster(const Raster& a, const Raster& b) { return a.data == b.data && a.size == b.size; }

} // namespace quorvane
