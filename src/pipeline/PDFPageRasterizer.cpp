#include "pipeline/PDFPageRasterizer.h"

#include "pipeline/CoordinateMapper.h"
#include "pipeline/PageColour.h"

#include <cmath>
#include <opencv2/imgproc.hpp>
#include <poppler/cpp/poppler-image.h>
#include <poppler/cpp/poppler-page-renderer.h>
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

// The extra turn that brings Poppler's idea of the page rotation to ours. They agree for every
// ordinary page; they differ when /Rotate is not an integer (Poppler ignores it) and the display
// bounds must win, or the raster would not show what its size promises.
poppler::rotation_enum extraTurn(const PdfPage& page, const poppler::page& popplerPage) {
    int ours = page.rotation();
    if (ours != 90 && ours != 180 && ours != 270) {
        ours = 0;
    }
    switch ((ours - degreesOf(popplerPage.orientation()) + 360) % 360) {
    case 90:
        return poppler::rotate_90;
    case 180:
        return poppler::rotate_180;
    case 270:
        return poppler::rotate_270;
    default:
        return poppler::rotate_0;
    }
}

} // namespace

std::optional<Raster> render(const PdfPage& page, double dpi) {
    const Rect bounds = CoordinateMapper::displayBounds(page);
    const double width = bounds.width, height = bounds.height;
    if (!(width > 0) || !(height > 0) || !(dpi > 0) || !std::isfinite(dpi)) {
        return std::nullopt;
    }
    double scale = dpi / 72.0;
    if (std::max(width, height) * scale > maxPixelDimension) {
        scale = maxPixelDimension / std::max(width, height);
    }
    const double pixelWidth = std::floor(width * scale), pixelHeight = std::floor(height * scale);
    if (!(pixelWidth > 0) || !(pixelHeight > 0)) {
        return std::nullopt;
    }
    const int columns = static_cast<int>(pixelWidth), rows = static_cast<int>(pixelHeight);

    try {
        const auto popplerPage = page.popplerPage();
        if (!popplerPage) {
            return std::nullopt;
        }
        poppler::page_renderer renderer;
        renderer.set_render_hint(poppler::page_renderer::antialiasing, true);
        renderer.set_render_hint(poppler::page_renderer::text_antialiasing, true);
        renderer.set_paper_color(0xffffffff); // opaque white wherever the page draws nothing
        // Most scans are grey; Poppler draws them in grey in half the time of colour.
        const bool grey = PageColour::drawsOnlyGrey(page);
        renderer.set_image_format(grey ? poppler::image::format_gray8 : poppler::image::format_bgr24);

        // Poppler shows the crop box with the page's rotation applied; the slice starting at the
        // top-left corner is exactly the raster we promise.
        const double resolution = scale * 72.0;
        const poppler::image image = renderer.render_page(popplerPage.get(), resolution, resolution, 0, 0,
                                                          columns, rows, extraTurn(page, *popplerPage));
        if (!image.is_valid() || image.width() != columns || image.height() != rows ||
            image.format() != (grey ? poppler::image::format_gray8 : poppler::image::format_bgr24)) {
            return std::nullopt;
        }
        const cv::Mat pixels(rows, columns, grey ? CV_8UC1 : CV_8UC3, const_cast<char*>(image.const_data()),
                             static_cast<size_t>(image.bytes_per_row()));
        // Copied out of Poppler's buffer, which goes with `image`.
        if (grey) {
            return pixels.clone();
        }
        Raster rgb;
        cv::cvtColor(pixels, rgb, cv::COLOR_BGR2RGB);
        return rgb;
    } catch (const std::exception&) {
        return std::nullopt; // out of memory for the bitmap, or OpenCV refusing it
    }
}

} // namespace quorvane::PDFPageRasterizer
