#include "platform/LeptonicaImage.h"

#include <leptonica/allheaders.h>
#include <opencv2/core.hpp>

#include <bit>
#include <cstring>

namespace quorvane::LeptonicaImage {

// Leptonica stores pixels in 32-bit words, most significant byte first; on a little-endian
// machine each word's bytes lie in memory in reverse, which the conversions below rely on.
static_assert(std::endian::native == std::endian::little);

void Destroy::operator()(Pix* pix) const { pixDestroy(&pix); }

namespace {

uchar* row(Pix* pix, int y) {
    return reinterpret_cast<uchar*>(pixGetData(pix) + static_cast<size_t>(y) * static_cast<size_t>(pixGetWpl(pix)));
}

// An 8-bit image of the raster's rows in one pass over uninitialised memory: byte x of a row is
// `level(row, x)`; null as soon as that is negative.
template <typename Level>
Image greyImage(const Raster& raster, Level level) {
    Image pix(pixCreateNoInit(raster.cols, raster.rows, 8));
    if (!pix) {
        return nullptr;
    }
    const size_t rowBytes = static_cast<size_t>(pixGetWpl(pix.get())) * 4;
    for (int y = 0; y < raster.rows; ++y) {
        const uchar* source = raster.ptr<uchar>(y);
        uchar* target = row(pix.get(), y);
        std::memset(target + rowBytes - 4, 0, 4); // the row's padding, as in a zero-filled image
        for (int x = 0; x < raster.cols; ++x) {
            const int value = level(source, x);
            if (value < 0) {
                return nullptr;
            }
            target[x ^ 3] = static_cast<uchar>(value); // byte x of the row, in Leptonica's order
        }
    }
    return pix;
}

// The grey image of an RGB raster, or null as soon as a pixel has colour.
Image greyIfUncoloured(const Raster& raster) {
    return greyImage(raster, [](const uchar* row, int x) {
        const uchar* pixel = row + 3 * x;
        return pixel[0] == pixel[1] && pixel[1] == pixel[2] ? int(pixel[0]) : -1;
    });
}

Image fromGrey(const Raster& raster) {
    return greyImage(raster, [](const uchar* row, int x) { return int(row[x]); });
}

} // namespace

Image fromRaster(const Raster& raster) {
    const int channels = raster.channels();
    if (raster.empty() || raster.depth() != CV_8U || (channels != 1 && channels != 3 && channels != 4)) {
        return nullptr;
    }
    if (channels == 1) {
        return fromGrey(raster);
    }
    if (channels == 3) {
        if (Image grey = greyIfUncoloured(raster)) {
            return grey;
        }
    }
    Image pix(pixCreate(raster.cols, raster.rows, 32)); // zero-filled
    if (!pix) {
        return nullptr;
    }
    cv::Mat words(raster.rows, raster.cols, CV_8UC4, pixGetData(pix.get()),
                  static_cast<size_t>(pixGetWpl(pix.get())) * 4);
    if (channels == 3) {
        // Red, green, blue into the word's high three bytes (memory bytes 3, 2, 1); the low byte
        // stays 0 as in Tesseract's own conversion.
        const int fromTo[] = {0, 3, 1, 2, 2, 1};
        cv::mixChannels(&raster, 1, &words, 1, fromTo, 3);
    } else {
        raster.copyTo(words); // same size and type: written into Leptonica's buffer
        if (words.data != reinterpret_cast<uchar*>(pixGetData(pix.get()))) {
            return nullptr;
        }
        pixEndianByteSwap(pix.get());
    }
    return pix;
}

} // namespace quorvane::LeptonicaImage
