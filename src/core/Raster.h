#pragma once

// A page bitmap: 8-bit RGB, three channels in R, G, B order (CV_8UC3), or 8-bit grey (CV_8UC1)
// for a page that has no colour; white where the page draws nothing. Grey pages, most scans,
// stay one channel from rendering to recognition: a third of the memory, and no conversions
// between the steps. Copies share their pixels; "the same raster" is the same data.

#include <cmath>
#include <opencv2/core.hpp>

namespace quorvane {

using Raster = cv::Mat;

// The scale that gives a bitmap of `width` x `height` pixels as many pixels as a letter page whose
// longer side is `longSide`: reduced copies of a receipt's strip keep as much detail as a page's.
// 1 or more when the bitmap has no more pixels than that.
inline double letterPixelsScale(int width, int height, double longSide) {
    return std::sqrt(longSide * longSide * 8.5 / 11 / (double(width) * height));
}

} // namespace quorvane
