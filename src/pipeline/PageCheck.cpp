#include "pipeline/PageCheck.h"

#include "core/OCRError.h"
#include "pipeline/CoordinateMapper.h"
#include "platform/PdfContent.h"

#include <cmath>

namespace quorvane::PageCheck {

namespace {

// "612", "0.5", "1e+23".
QString points(double value) { return QString::number(value, 'g', std::abs(value) < 1e9 ? 10 : 3); }

// The page's own content and the forms it draws directly.
bool contentTooLarge(QPDFPageObjectHelper page) {
    QPDFObjectHandle dict = page.getObjectHandle();
    if (PdfContent::decodedSizeExceeds(dict.getKey("/Contents"), largestContent)) {
        return true;
    }
    QPDFObjectHandle resources = page.getAttribute("/Resources", false);
    QPDFObjectHandle xObjects = resources.isDictionary() ? resources.getKey("/XObject") : QPDFObjectHandle::newNull();
    if (!xObjects.isDictionary()) {
        return false;
    }
    for (const auto& key : xObjects.getKeys()) {
        QPDFObjectHandle object = xObjects.getKey(key);
        if (object.isStream() && object.getDict().getKey("/Subtype").isNameAndEquals("/Form") &&
            PdfContent::decodedSizeExceeds(object, largestContent)) {
            return true;
        }
    }
    return false;
}

} // namespace

void checkUsable(const PdfPage& page) {
    const int index = page.index();
    try {
        if (!page.pageObject().getObjectHandle().isDictionary()) {
            throw OCRError::damagedPage(index, QStringLiteral("its page dictionary cannot be read."));
        }
        const Rect bounds = CoordinateMapper::displayBounds(page);
        if (!(bounds.width > 0) || !(bounds.height > 0)) {
            throw OCRError::damagedPage(index, QStringLiteral("it has no area (its page box is %1 × %2 points).")
                                                   .arg(points(bounds.width), points(bounds.height)));
        }
        if (!(bounds.width <= longestSide) || !(bounds.height <= longestSide)) {
            throw OCRError::damagedPage(
                index, QStringLiteral("its page box is %1 × %2 points, larger than any real page.")
                           .arg(points(bounds.width), points(bounds.height)));
        }
        if (contentTooLarge(page.pageObject())) {
            throw OCRError::documentTooLarge(
                QStringLiteral("Page %1 holds more than %2 MB of content once decompressed, more than a page can "
                               "take. Remove that page, or split the document and process the other parts.")
                    .arg(index + 1)
                    .arg(largestContent >> 20));
        }
    } catch (const OCRError&) {
        throw;
    } catch (const std::exception&) {
        throw OCRError::damagedPage(index, QStringLiteral("its page dictionary cannot be read."));
    }
}

} // namespace quorvane::PageCheck
