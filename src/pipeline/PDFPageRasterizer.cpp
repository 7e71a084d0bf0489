#include "pipeline/PDFPageRasterizer.h"

#include "pipeline/CoordinateMapper.h"
#include "pipeline/PageColour.h"
#include "core/OCRError.h"
#include "platform/RenderProcess.h"

#include <cmath>
#include <opencv2/imgproc.hpp>
#include <poppler/cpp/poppler-page.h>

namespace quorvane::PDFPageRasterizer {

namespace {

int degreesOf(poppler::page::orientation_enum orientation) {
    switch (orientation) {
    case poppler::page::landscape:
        return 90;
    case poppler::page::upside_down:
        return 180;
    case poppler::page::seascape:
        return 270;
    case poppler::page::portrait:
        break;
    }
    return 0;
}

// The extra clockwise quarter turns that bring Poppler's idea of the page rotation to ours. They
// agree for every ordinary page; they differ when /Rotate is not an integer (Poppler ignores it)
// and the display bounds must win, or the raster would not show what its size promises.
int extraTurns(const PdfPage& page, const poppler::page& popplerPage) {
    int ours = page.rotation();
    if (ours != 90 && ours != 180 && ours != 270) {
        ours = 0;
    }
    return (ours - degreesOf(popplerPage.orientation()) + 360) % 360 / 90;
}

} // namespace

std::optional<Raster> render(const PdfPage& page, double dpi, std::chrono::milliseconds timeLimit) {
    const Rect bounds = CoordinateMapper::displayBounds(page);
    const double width = bounds.width, height = bounds.height;
    if (!(width > 0) || !(height > 0) || !(dpi > 0) || !std::isfinite(dpi)) {
        return std::nullopt;
    }
    double scale = dpi / 72.0;
    if (std::max(width, height) * scale > maxPixelDimension) {
        scale = maxPixelDimension / std::max(width, height);
    }
    // A sliver of a page (an image of 3 × 60000 pixels) still gets its one pixel across.
    const double pixelWidth = std::max(1.0, std::floor(width * scale));
    const double pixelHeight = std::max(1.0, std::floor(height * scale));

    try {
        const auto popplerPage = page.popplerPage();
        if (!popplerPage) {
            return std::nullopt;
        }
        // Most scans are grey; Poppler draws them in grey in half the time of colour.
        const bool grey = PageColour::drawsOnlyGrey(page);
        // Poppler shows the crop box with the page's rotation applied; the slice starting at the
        // top-left corner is exactly the raster we promise.
        const RenderProcess::Request request{.pageIndex = page.index(),
                                             .resolution = scale * 72.0,
                                             .columns = static_cast<int>(pixelWidth),
                                             .rows = static_cast<int>(pixelHeight),
                                             .quarterTurns = extraTurns(page, *popplerPage),
                                             .grey = grey};
        auto pixels = page.document().renderProcess().render(request, timeLimit);
        if (!pixels || grey) {
            return pixels;
        }
        Raster rgb;
        cv::cvtColor(*pixels, rgb, cv::COLOR_BGR2RGB);
        return rgb;
    } catch (const RenderProcess::Stopped& stopped) {
        throw OCRError::rasterizationFailed(page.index(), stopped.reason());
    } catch (const std::exception&) {
        return std::nullopt; // out of memory for the bitmap, or OpenCV refusing it
    }
}

} // namespace quorvane::PDFPageRasterizer
