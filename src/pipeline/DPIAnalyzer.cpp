#include "pipeline/DPIAnalyzer.h"

#include <algorithm>
#include <qpdf/QPDFObjectHandle.hh>

namespace quorvane::DPIAnalyzer {

namespace {

constexpr double assumedPageExtent = 792.0; // points: a letter page's longer side
constexpr double lowestPlausible = 50.0;
constexpr double highestPlausible = 2400.0;

// The estimate of one XObject entry, or nothing when it is not an image with a usable size.
std::optional<double> estimateOf(QPDFObjectHandle value) {
    QPDFObjectHandle dictionary = value.isStream() ? value.getDict() : value;
    if (!dictionary.isDictionary() || !dictionary.getKey("/Subtype").isNameAndEquals("/Image")) {
        return std::nullopt;
    }
    QPDFObjectHandle width = dictionary.getKey("/Width");
    QPDFObjectHandle height = dictionary.getKey("/Height");
    if (!width.isInteger() || !height.isInteger() || width.getIntValue() < 2 || height.getIntValue() < 2) {
        return std::nullopt;
    }
    const double longer = static_cast<double>(std::max(width.getIntValue(), height.getIntValue()));
    return longer / assumedPageExtent * 72.0;
}

} // namespace

std::optional<double> effectiveDPI(const PdfPage& page) {
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
        // Entries in name order: the order QPDF keeps a dictionary in.
        for (auto [name, value] : xobjects.ditems()) {
            const auto estimate = estimateOf(value);
            if (estimate && *estimate > lowestPlausible && *estimate < highestPlausible) {
                return estimate;
            }
        }
    } catch (const std::exception&) {
        // A damaged resource dictionary gives no estimate.
    }
    return std::nullopt;
}

} // namespace quorvane::DPIAnalyzer
