#include "pipeline/DPIAnalyzer.h"

#include <algorithm>
#include <cmath>
#include <qpdf/QPDFObjectHandle.hh>

namespace quorvane::DPIAnalyzer {

namespace {

constexpr double lowestPlausible = 50.0;
constexpr double highestPlausible = 2400.0;
// A scan fitted onto a page of other proportions (an A4 scan on a letter page) still covers it.
constexpr double proportionTolerance = 0.10;

// Width and height of an image XObject, or nothing when it is not an image with a usable size.
std::optional<std::pair<double, double>> imageSize(QPDFObjectHandle value) {
    QPDFObjectHandle dictionary = value.isStream() ? value.getDict() : value;
    if (!dictionary.isDictionary() || !dictionary.getKey("/Subtype").isNameAndEquals("/Image")) {
        return std::nullopt;
    }
    QPDFObjectHandle width = dictionary.getKey("/Width");
    QPDFObjectHandle height = dictionary.getKey("/Height");
    if (!width.isInteger() || !height.isInteger() || width.getIntValue() < 2 || height.getIntValue() < 2) {
        return std::nullopt;
    }
    return std::pair{double(width.getIntValue()), double(height.getIntValue())};
}

std::optional<double> coveringResolution(std::pair<double, double> pixels, const Rect& page) {
    const double pixelsLong = std::max(pixels.first, pixels.second);
    const double pixelsShort = std::min(pixels.first, pixels.second);
    const double pageLong = std::max(std::abs(page.width), std::abs(page.height));
    const double pageShort = std::min(std::abs(page.width), std::abs(page.height));
    if (pageShort <= 0) {
        return std::nullopt;
    }
    const double pageProportion = pageLong / pageShort;
    if (std::abs(pixelsLong / pixelsShort - pageProportion) > proportionTolerance * pageProportion) {
        return std::nullopt;
    }
    // Scanners and converters round sizes to whole pixels and points: whole dots per inch.
    return std::round(std::max(pixelsLong / pageLong, pixelsShort / pageShort) * 72.0);
}

} // namespace

std::optional<double> effectiveDPI(const PdfPage& page) {
    std::optional<double> best;
    try {
        // The page's resources, its own or inherited from the page tree (which makes them its own).
        auto object = page.pageObject();
        QPDFObjectHandle resources = object.getAttribute("/Resources", false);
        if (!resources.isDictionary()) {
            return std::nullopt;
        }
        QPDFObjectHandle xobjects = resources.getKey("/XObject");
        if (!xobjects.isDictionary()) {
            return std::nullopt;
        }
        const Rect cropBox = page.cropBox();
        for (auto [name, value] : xobjects.ditems()) {
            const auto pixels = imageSize(value);
            const auto estimate = pixels ? coveringResolution(*pixels, cropBox) : std::nullopt;
            if (estimate && *estimate > lowestPlausible && *estimate < highestPlausible) {
                best = std::max(best.value_or(0), *estimate);
            }
        }
    } catch (const std::exception&) {
        // A damaged resource dictionary gives no estimate.
    }
    return best;
}

} // namespace quorvane::DPIAnalyzer
