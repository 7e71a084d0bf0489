#include "corrections/Preprocessor.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>

namespace quorvane::Preprocessor {

namespace {

// The steps one strength runs, in the order they are applied.
struct Steps {
    double shadowAmount = 0; // 0..1, how far a shadowed background is lifted towards white; 0: not run
    double contrast = 1;     // scale of each grey level's distance from mid grey
    bool denoise = false;
    bool despeckle = false;  // 3 x 3 median
};

Steps steps(PreprocessStrength strength) {
    switch (strength) {
    case PreprocessStrength::off: return {};
    case PreprocessStrength::conservative: return {0, 1.05, false, false};
    case PreprocessStrength::standard: return {0.4, 1.2, true, false};
    case PreprocessStrength::aggressive: return {0.6, 1.4, true, true};
    }
    return {};
}

// The shadow's background is estimated on a raster this many times smaller: shadows are broad,
// and the estimate then costs almost nothing.
constexpr int backgroundScale = 8;
// A closing this wide (in reduced pixels, 56 page pixels, about a 14-point line at 300 DPI)
// fills in text strokes, leaving the paper's own brightness.
constexpr int backgroundKernel = 7;
// Backgrounds darker than this are a dark area of the page itself, not paper in shadow; lifting
// them fully would turn black into grey.
constexpr double darkestPaper = 64;

cv::Mat toGrey(const Raster& raster) {
    cv::Mat grey;
    switch (raster.channels()) {
    case 1: grey = raster.clone(); break;
    case 3: cv::cvtColor(raster, grey, cv::COLOR_RGB2GRAY); break;
    case 4: cv::cvtColor(raster, grey, cv::COLOR_RGBA2GRAY); break;
    default: break;
    }
    return grey;
}

// The paper's brightness around each pixel: text filled in, smoothed, at full size.
cv::Mat paperBrightness(const cv::Mat& grey) {
    cv::Mat small;
    const cv::Size reduced(std::max(1, grey.cols / backgroundScale), std::max(1, grey.rows / backgroundScale));
    cv::resize(grey, small, reduced, 0, 0, cv::INTER_AREA);
    const cv::Mat kernel = cv::getStructuringElement(cv::MORPH_RECT, {backgroundKernel, backgroundKernel});
    cv::morphologyEx(small, small, cv::MORPH_CLOSE, kernel, {-1, -1}, 1, cv::BORDER_REPLICATE);
    cv::blur(small, small, {5, 5}, {-1, -1}, cv::BORDER_REPLICATE);
    cv::max(small, darkestPaper, small);
    cv::Mat full;
    cv::resize(small, full, grey.size(), 0, 0, cv::INTER_LINEAR);
    return full;
}

// Lifts the paper's brightness b to b + amount * (255 - b) and the pixels on it in proportion,
// which brightens shadowed regions and leaves white paper as it is. As the same factor applies to
// every channel, doing this after the grey conversion gives the same result as before it.
void liftShadows(cv::Mat& grey, double amount) {
    const cv::Mat paper = paperBrightness(grey);
    cv::Mat flattened; // each pixel as it would look on white paper
    cv::divide(grey, paper, flattened, 255.0);
    cv::addWeighted(grey, 1 - amount, flattened, amount, 0, grey);
}

void stretchContrast(cv::Mat& grey, double contrast) {
    cv::Mat table(1, 256, CV_8U);
    for (int level = 0; level < 256; ++level) {
        table.at<uchar>(level) = cv::saturate_cast<uchar>((level - 127.5) * contrast + 127.5);
    }
    cv::LUT(grey, table, grey);
}

// Variations smaller than the noise level are replaced by the local mean; elsewhere (edges) the
// difference from the local mean is amplified by the sharpness.
void reduceNoise(cv::Mat& grey) {
    cv::Mat mean;
    cv::blur(grey, mean, {3, 3}, {-1, -1}, cv::BORDER_REPLICATE);
    cv::Mat difference;
    cv::absdiff(grey, mean, difference);
    const cv::Mat smooth = difference <= noiseLevel * 255;
    mean.copyTo(grey, smooth);
    cv::addWeighted(grey, 1 + sharpness, mean, -sharpness, 0, grey);
}

} // namespace

Raster apply(const Raster& raster, PreprocessStrength strength) {
    if (strength == PreprocessStrength::off || raster.empty() || raster.depth() != CV_8U) {
        return raster;
    }
    const Steps chosen = steps(strength);
    try {
        cv::Mat grey = toGrey(raster);
        if (grey.empty()) {
            return raster;
        }
        if (chosen.shadowAmount > 0) {
            liftShadows(grey, chosen.shadowAmount);
        }
        stretchContrast(grey, chosen.contrast);
        if (chosen.denoise) {
            reduceNoise(grey);
        }
        if (chosen.despeckle) {
            cv::medianBlur(grey, grey, 3);
        }
        return grey;
    } catch (const cv::Exception&) {
        return raster;
    } catch (const std::bad_alloc&) {
        return raster;
    }
}

} // namespace quorvane::Preprocessor
