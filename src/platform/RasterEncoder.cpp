#include "platform/RasterEncoder.h"

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <qpdf/Pl_Flate.hh>
#include <qpdf/Pl_String.hh>

#include <exception>
#include <string>
#include <vector>

namespace quorvane::RasterEncoder {

namespace {

bool isUncoloured(const Raster& rgb) {
    cv::Mat channels[3];
    cv::split(rgb, channels);
    return cv::countNonZero(channels[0] != channels[1]) == 0 &&
           cv::countNonZero(channels[1] != channels[2]) == 0;
}

bool isBlackAndWhite(const cv::Mat& grey) {
    return cv::countNonZero((grey != 0) & (grey != 255)) == 0;
}

// One bit per pixel, rows padded to whole bytes, 1 for white, deflated.
QByteArray bilevelStream(const cv::Mat& grey) {
    const int rowBytes = (grey.cols + 7) / 8;
    std::string packed(std::size_t(rowBytes) * std::size_t(grey.rows), '\0');
    for (int y = 0; y < grey.rows; ++y) {
        const uchar* pixels = grey.ptr<uchar>(y);
        char* row = packed.data() + std::size_t(y) * std::size_t(rowBytes);
        for (int x = 0; x < grey.cols; ++x) {
            if (pixels[x] != 0) {
                row[x / 8] = char(row[x / 8] | (0x80 >> (x % 8)));
            }
        }
    }
    std::string deflated;
    Pl_String sink("bilevel", nullptr, deflated);
    Pl_Flate flate("deflate", &sink, Pl_Flate::a_deflate);
    flate.write(reinterpret_cast<const unsigned char*>(packed.data()), packed.size());
    flate.finish();
    return QByteArray::fromStdString(deflated);
}

QByteArray jpegStream(const cv::Mat& pixels, bool colour) {
    cv::Mat ordered = pixels;
    if (colour) {
        cv::cvtColor(pixels, ordered, cv::COLOR_RGB2BGR); // the order OpenCV's codecs expect
    }
    std::vector<uchar> bytes;
    if (!cv::imencode(".jpg", ordered, bytes,
                      {cv::IMWRITE_JPEG_QUALITY, jpegQuality, cv::IMWRITE_JPEG_OPTIMIZE, 1})) {
        return {};
    }
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
}

} // namespace

std::optional<EncodedRaster> encode(const Raster& raster) {
    if (raster.empty() || raster.depth() != CV_8U || (raster.channels() != 1 && raster.channels() != 3)) {
        return std::nullopt;
    }
    try {
        EncodedRaster encoded{raster.cols, raster.rows};
        cv::Mat pixels = raster;
        if (raster.channels() == 3 && isUncoloured(raster)) {
            cv::extractChannel(raster, pixels, 0);
        }
        encoded.colour = pixels.channels() == 3;
        if (!encoded.colour && isBlackAndWhite(pixels)) {
            encoded.bitsPerComponent = 1;
            encoded.filter = EncodedRaster::Filter::flate;
            encoded.data = bilevelStream(pixels);
        } else {
            encoded.data = jpegStream(pixels, encoded.colour);
        }
        if (encoded.data.isEmpty()) {
            return std::nullopt;
        }
        return encoded;
    } catch (const std::exception&) {
        return std::nullopt; // OpenCV's and QPDF's errors, and memory running out
    }
}

} // namespace quorvane::RasterEncoder
