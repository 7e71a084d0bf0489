#include "pipeline/ImagePDFBuilder.h"

#include "core/Geometry.h"
#include "core/OCRError.h"
#include "pipeline/DocumentLimits.h"
#include "pipeline/PageTaskPool.h"
#include "platform/FileNames.h"
#include "platform/JpegMarkers.h"
#include "platform/PrivateTemporaryFolder.h"
#include "platform/SpillFile.h"
#include "platform/SystemMemory.h"
#include "platform/TiffStructure.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSemaphore>
#include <QThread>
#include <QtConcurrent>
#include <qpdf/Pipeline.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFSystemError.hh>
#include <qpdf/QPDFWriter.hh>
#include <qpdf/QUtil.hh>
#include <vips/vips8>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <exception>
#include <fcntl.h>
#include <map>
#include <memory>
#include <mutex>
#include <numeric>
#include <optional>
#include <string>
#include <string_view>
#include <unistd.h>

namespace quorvane::ImagePDFBuilder {

namespace {

using vips::VImage;

// An image ready to become a PDF image XObject. Its bytes, already encoded for the PDF filter, wait
// on disk: a stack of colour scans can be gigabytes even compressed.
struct EncodedImage {
    SpillFile::Piece data;
    int width = 0;
    int height = 0;
    int components = 3;       // 1 grey, 3 RGB
    int bitsPerComponent = 8; // 1 for pure black-and-white images
    bool jpeg = false;        // DCTDecode; otherwise FlateDecode with PNG predictors
    Size page;                // points
    // What the colours mean, when the file says; else sRGB is assumed. Shared by the pages of a file.
    std::shared_ptr<const std::string> iccProfile;
};

// Display and scanner profiles take a few kilobytes, the largest printer profiles a few megabytes.
constexpr std::size_t maxIccProfileBytes = std::size_t(8) << 20;

// The ICC profiles of one file's pages, each held once: a TIFF's pages usually share one, and
// pages waiting to be written must not hold a copy each.
class ProfileShelf {
public:
    std::shared_ptr<const std::string> keep(std::string_view profile) {
        std::lock_guard lock(m_mutex);
        for (const auto& kept : m_profiles) {
            if (*kept == profile) {
                return kept;
            }
        }
        return m_profiles.emplace_back(std::make_shared<const std::string>(profile));
    }

private:
    std::mutex m_mutex;
    std::vector<std::shared_ptr<const std::string>> m_profiles;
};

// The decoders that read the supported formats. A file that only another decoder reads (a PDF, an
// SVG, a text matrix) is not an image here, whatever its name says. Debian's libvips reads BMP
// through ImageMagick.
const QStringList& imageLoaders() {
    static const QStringList loaders = {"VipsForeignLoadJpegFile",   "VipsForeignLoadPngFile",
                                        "VipsForeignLoadTiffFile",   "VipsForeignLoadNsgifFile",
                                        "VipsForeignLoadGifFile",    "VipsForeignLoadHeifFile",
                                        "VipsForeignLoadMagickFile", "VipsForeignLoadMagick7File"};
    return loaders;
}

bool vipsReady() {
    static const bool ready = [] { // once, under the static-init guard
        if (VIPS_INIT("quorvane") != 0) {
            return false;
        }
        // libvips answers a file it has opened before by its name alone: a scan saved over under
        // the same name would keep its old pages and pixels for as long as the program runs.
        vips_cache_set_max(0);
        return true;
    }();
    return ready;
}

std::string readAll(const QString& path) {
    QFile file;
    if (!FileNames::openForReading(file, path)) {
        throw OCRError::cannotOpenImage();
    }
    const QByteArray bytes = file.readAll();
    return bytes.toStdString();
}

// 8-bit grey or RGB without alpha; transparent parts lie on white as they would on a page.
VImage flattenedEightBit(VImage image) {
    const bool grey = image.bands() < 3;
    image = image.colourspace(grey ? VIPS_INTERPRETATION_B_W : VIPS_INTERPRETATION_sRGB);
    if (image.format() != VIPS_FORMAT_UCHAR) {
        image = image.cast(VIPS_FORMAT_UCHAR);
    }
    if (image.has_alpha()) {
        image = image.flatten(VImage::option()->set("background", std::vector<double>{255.0}));
    }
    if (image.bands() > 3) {
        image = image.extract_band(0, VImage::option()->set("n", 3));
    } else if (image.bands() == 2) {
        image = image[0];
    }
    return image;
}

// An RGB image whose three channels agree everywhere is stored as grey: the same pixels, a third
// of the data.
VImage greyWhenNeutral(const VImage& image) {
    if (image.bands() == 3 && ((image[0] == image[1]) & (image[1] == image[2])).min() == 255) {
        return image[0];
    }
    return image;
}

// The ICC profile that the file's colours are in, when it describes the pixels as stored (an RGB
// profile for colour, a grey one for grey): viewers that manage colour show the file so, and the
// page must too. A scanner's or camera's own profile, or Adobe RGB, shows sRGB red as a duller
// red without it. None otherwise: decoding turns a CMYK, Lab or linear-light file's pixels into
// sRGB, and a profile that says another size than it has is damaged.
std::shared_ptr<const std::string> iccProfile(const VImage& header, int components, ProfileShelf& shelf) {
    const auto interpretation = header.interpretation();
    if (header.get_typeof(VIPS_META_ICC_NAME) == 0 ||
        (interpretation != VIPS_INTERPRETATION_sRGB && interpretation != VIPS_INTERPRETATION_RGB16 &&
         interpretation != VIPS_INTERPRETATION_B_W && interpretation != VIPS_INTERPRETATION_GREY16)) {
        return nullptr;
    }
    size_t size = 0;
    const auto* data = static_cast<const unsigned char*>(header.get_blob(VIPS_META_ICC_NAME, &size));
    if (size < 128 || size > maxIccProfileBytes ||
        (std::size_t(data[0]) << 24 | std::size_t(data[1]) << 16 | std::size_t(data[2]) << 8 | data[3]) !=
            size) {
        return nullptr;
    }
    const std::string_view profile(reinterpret_cast<const char*>(data), size);
    const std::string_view colourSpace = profile.substr(16, 4);
    const bool describesPixels =
        (components == 3 && colourSpace == "RGB ") || (components == 1 && colourSpace == "GRAY");
    return describesPixels ? shelf.keep(profile) : nullptr;
}

bool isBilevel(const VImage& image) {
    return image.bands() == 1 && ((image > 0) & (image < 255)).max() == 0;
}

quint32 bigEndian32(const std::string& bytes, size_t at) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data() + at);
    return (quint32(p[0]) << 24) | (quint32(p[1]) << 16) | (quint32(p[2]) << 8) | quint32(p[3]);
}

// The image data of a PNG is a zlib stream of predicted rows, exactly what FlateDecode with PNG
// predictors reads: libpng's adaptive filtering and compression serve the PDF unchanged.
std::string pngImageData(const std::string& png, const EncodedImage& expected) {
    static const char signature[] = "\x89PNG\r\n\x1a\n";
    if (png.size() < 8 || png.compare(0, 8, signature, 8) != 0) {
        throw std::runtime_error("not a PNG");
    }
    std::string data;
    bool headerMatches = false;
    for (size_t at = 8; at + 12 <= png.size();) {
        const size_t length = bigEndian32(png, at);
        const std::string type = png.substr(at + 4, 4);
        if (at + 12 + length > png.size()) {
            break;
        }
        if (type == "IHDR" && length >= 13) {
            const auto* h = reinterpret_cast<const unsigned char*>(png.data() + at + 8);
            const int colourType = expected.components == 1 ? 0 : 2;
            headerMatches = bigEndian32(png, at + 8) == quint32(expected.width) &&
                            bigEndian32(png, at + 12) == quint32(expected.height) &&
                            h[8] == expected.bitsPerComponent && h[9] == colourType && h[12] == 0;
        } else if (type == "IDAT") {
            data.append(png, at + 8, length);
        } else if (type == "tRNS") { // a colour that stands for transparent: only decoding shows it on white
            throw std::runtime_error("transparent colour");
        }
        at += 12 + length;
    }
    if (!headerMatches || data.empty()) {
        throw std::runtime_error("unexpected PNG layout");
    }
    return data;
}

EncodedImage losslessImage(const VImage& image, SpillFile& spill) {
    EncodedImage encoded;
    encoded.width = image.width();
    encoded.height = image.height();
    encoded.components = image.bands();
    encoded.bitsPerComponent = isBilevel(image) ? 1 : 8;
    void* buffer = nullptr;
    size_t size = 0;
    // Row filters help photographs; on one-bit data they cost time for nothing. The strongest
    // compression took four times as long as the default on a 300-DPI letter page (0.6 s) for
    // a 5% smaller image.
    const bool bilevel = encoded.bitsPerComponent == 1;
    image.write_to_buffer(".png", &buffer, &size,
                          VImage::option()
                              ->set("bitdepth", encoded.bitsPerComponent)
                              ->set("compression", 6)
                              ->set("filter", bilevel ? VIPS_FOREIGN_PNG_FILTER_NONE : VIPS_FOREIGN_PNG_FILTER_ALL)
                              ->set("strip", true));
    const std::string png(static_cast<const char*>(buffer), size);
    g_free(buffer);
    encoded.data = spill.append(pngImageData(png, encoded));
    return encoded;
}

EncodedImage jpegImage(const VImage& image, SpillFile& spill) {
    EncodedImage encoded;
    encoded.width = image.width();
    encoded.height = image.height();
    encoded.components = image.bands();
    encoded.jpeg = true;
    void* buffer = nullptr;
    size_t size = 0;
    // Quality 95 keeps full-resolution colour (libvips turns chroma subsampling off from 90 up).
    image.write_to_buffer(".jpg", &buffer, &size,
                          VImage::option()->set("Q", 95)->set("optimize_coding", true)->set("strip", true));
    const std::string jpeg(static_cast<const char*>(buffer), size);
    g_free(buffer);
    encoded.data = spill.append(jpeg);
    return encoded;
}

// An image in plain grey or RGB that needs neither turning nor scaling keeps its file's own
// encoding: a JPEG goes in byte for byte (no second generation of compression loss, and no bigger
// than the file), a PNG with the image data of its file where a PDF reads that layout (which also
// spares encoding it again: a second for a page of colour scan).
bool canEmbedAsIs(const VImage& header, const VImage& decoded) {
    const bool upright =
        header.get_typeof(VIPS_META_ORIENTATION) == 0 || header.get_int(VIPS_META_ORIENTATION) == 1;
    const bool plainColour = (header.bands() == 1 && header.interpretation() == VIPS_INTERPRETATION_B_W) ||
                             (header.bands() == 3 && header.interpretation() == VIPS_INTERPRETATION_sRGB);
    return upright && plainColour && header.width() == decoded.width() && header.height() == decoded.height();
}

// The mean difference per sample allowed between a TIFF page's JPEG data joined into one file and
// the page as libtiff decodes it.
constexpr double maxJoinedJpegDifference = 0.25;

// A TIFF page's JPEG data as it is, when joined into one JPEG file it decodes cleanly to the page's
// pixels; nothing otherwise, and the page is encoded afresh. Decoders fill in colour stored at
// half resolution each their own way (by up to 39 levels at the edges of coloured areas of a map,
// 0.01 on average), which a join gone wrong would far exceed.
std::optional<EncodedImage> tiffJpegAsItIs(const QByteArray& localPath, int page, const VImage& header,
                                           const VImage& decoded, const VImage& pixels, SpillFile& spill) {
    if (!canEmbedAsIs(header, decoded)) {
        return std::nullopt;
    }
    std::optional<std::string> jpeg;
    int components = 0;
    try {
        jpeg = TiffStructure::pageAsJpeg(localPath, page);
        if (!jpeg || JpegMarkers::storesUntransformedRgb(*jpeg)) {
            return std::nullopt;
        }
        const VImage joined = VImage::new_from_buffer(jpeg->data(), jpeg->size(), "",
                                                      VImage::option()->set("fail_on", VIPS_FAIL_ON_WARNING));
        if (joined.width() != pixels.width() || joined.height() != pixels.height() ||
            (joined.bands() != pixels.bands() && pixels.bands() != 1) ||
            (joined.cast(VIPS_FORMAT_INT) - pixels).abs().avg() > maxJoinedJpegDifference) {
            return std::nullopt;
        }
        components = joined.bands();
    } catch (const std::exception&) { // vips::VError, or memory for what a damaged file claims
        return std::nullopt;
    }
    EncodedImage encoded{
        .width = pixels.width(), .height = pixels.height(), .components = components, .jpeg = true};
    encoded.data = spill.append(*jpeg);
    return encoded;
}

// The file's own image data, when a PDF reads it as it is; nothing otherwise.
std::optional<EncodedImage> asItIs(const QByteArray& localPath, const char* loader, const VImage& header,
                                   const VImage& decoded, const VImage& pixels, SpillFile& spill) {
    const bool jpeg = qstrcmp(loader, "VipsForeignLoadJpegFile") == 0;
    // A PNG of an RGB picture in grey is better stored as grey: a third of its data.
    const bool png = qstrcmp(loader, "VipsForeignLoadPngFile") == 0 && pixels.bands() == header.bands();
    if (!(jpeg || png) || !canEmbedAsIs(header, decoded)) {
        return std::nullopt;
    }
    EncodedImage encoded{
        .width = decoded.width(), .height = decoded.height(), .components = header.bands(), .jpeg = jpeg};
    const std::string file = readAll(FileNames::decode(localPath));
    if (jpeg) {
        if (JpegMarkers::storesUntransformedRgb(file)) {
            return std::nullopt;
        }
        encoded.data = spill.append(file);
        return encoded;
    }
    for (const int bits : {8, 1}) {
        encoded.bitsPerComponent = bits;
        std::string data;
        try {
            data = pngImageData(file, encoded);
        } catch (const std::runtime_error&) { // another layout: encoded afresh
            continue;
        }
        encoded.data = spill.append(data);
        return encoded;
    }
    return std::nullopt;
}

// How many pages of this size may be converted at once: one per page thread, as long as the memory
// available holds them. A page in flight holds its pixels and about twice their size in
// compressed data.
int pagesAtOnce(const VImage& header) {
    const double longer = std::max(header.width(), header.height());
    const double scale = std::min(1.0, maxEmbeddedDimension / std::max(1.0, longer));
    const double bytesPerPage =
        3.0 * header.width() * scale * header.height() * scale * std::min(header.bands(), 3);
    const auto available = SystemMemory::availableBytes();
    const double fit =
        available ? std::max(1.0, std::floor(double(*available) / bytesPerPage)) : pageThreadCount();
    return int(std::min<double>(fit, pageThreadCount()));
}

// The pages an image file becomes, by the TIFF directory each is in: every page of a TIFF (a fax, a
// stack of scans) but the reduced levels of a pyramid, the first frame of anything else (the later
// frames of an animated GIF are not pages).
std::vector<int> pageDirectoriesOf(const QByteArray& localPath, const VImage& header, const char* loader) {
    if (qstrcmp(loader, "VipsForeignLoadTiffFile") != 0) {
        return {0};
    }
    if (TiffStructure::isCutShort(localPath)) {
        throw OCRError::cannotOpenImage();
    }
    const int directories =
        header.get_typeof(VIPS_META_N_PAGES) == 0 ? 1 : std::max(1, header.get_int(VIPS_META_N_PAGES));
    return TiffStructure::pageDirectories(localPath, directories);
}

// The resolution a file states for one axis (vips keeps pixels per millimetre), when it is one a
// scanner uses: 72 and 96 are what cameras and editors write without measuring anything, and
// always the same across and down, unlike a fax.
std::optional<double> scanResolution(double pixelsPerMillimetre, double lowest) {
    const double dpi = std::round(pixelsPerMillimetre * 25.4); // PNG stores whole pixels per metre
    return dpi >= lowest && dpi <= maxScanDPI ? std::optional(dpi) : std::nullopt;
}

// The page is the size the image was scanned at when the file says so; otherwise each decoded
// pixel is 1/imageDPI inch.
Size pageSize(const VImage& header, const VImage& decoded) {
    const double lowest = std::round(header.xres() * 25.4) != std::round(header.yres() * 25.4) ? minFaxDPI
                                                                                               : minScanDPI;
    const auto xDPI = scanResolution(header.xres(), lowest), yDPI = scanResolution(header.yres(), lowest);
    if (!xDPI || !yDPI) {
        const double scale = std::min(1.0, maxPixelDimension / std::max(decoded.width(), decoded.height()));
        return {decoded.width() * scale * 72.0 / imageDPI, decoded.height() * scale * 72.0 / imageDPI};
    }
    Size page{header.width() * 72.0 / *xDPI, header.height() * 72.0 / *yDPI};
    const int orientation =
        header.get_typeof(VIPS_META_ORIENTATION) == 0 ? 1 : header.get_int(VIPS_META_ORIENTATION);
    if (orientation >= 5 && orientation <= 8) { // turned a quarter: the decoded image is upright
        std::swap(page.width, page.height);
    }
    return page;
}

// One page (frame) of the file, upright, its longer side at most maxEmbeddedDimension; the decoder
// shrinks while it reads where the format allows. A file cut short is reported as damaged rather
// than shown with a blank part. `directory`: where the page is in a TIFF.
EncodedImage decodeAndEncodePage(const QByteArray& localPath, const VImage& header, const char* loader,
                                 int directory, int pageCount, SpillFile& spill, ProfileShelf& profiles) {
    const QByteArray pagePath =
        pageCount > 1 ? localPath + "[page=" + QByteArray::number(directory) + "]" : localPath;
    const VImage pageHeader = pageCount > 1 ? VImage::new_from_file(pagePath.constData()) : header;
    const int limit = static_cast<int>(maxEmbeddedDimension);
    const bool tiff = qstrcmp(loader, "VipsForeignLoadTiffFile") == 0;
    const auto fitted = [limit] {
        return VImage::option()
            ->set("height", limit)
            ->set("size", VIPS_SIZE_DOWN)
            ->set("fail_on", VIPS_FAIL_ON_TRUNCATED);
    };
    // A TIFF page is read at its full resolution: libvips makes a pyramid's thumbnail from one of its
    // reduced levels, however large it is asked to be.
    const VImage thumbnail =
        tiff ? VImage::new_from_file(pagePath.constData(), VImage::option()
                                                               ->set("access", VIPS_ACCESS_SEQUENTIAL)
                                                               ->set("fail_on", VIPS_FAIL_ON_TRUNCATED))
                   .thumbnail_image(limit, fitted())
             : VImage::thumbnail(pagePath.constData(), limit, fitted());
    if (thumbnail.width() <= 0 || thumbnail.height() <= 0) {
        throw OCRError::cannotOpenImage();
    }
    // Decoding happens here, once, for every page: a damaged one fails now, before anything is written.
    const VImage pixels = greyWhenNeutral(flattenedEightBit(thumbnail).copy_memory());
    const bool jpegTiff = tiff && TiffStructure::holdsJpegData(localPath, directory);
    std::optional<EncodedImage> encoded =
        jpegTiff ? tiffJpegAsItIs(localPath, directory, pageHeader, thumbnail, pixels, spill)
                 : asItIs(localPath, loader, pageHeader, thumbnail, pixels, spill);
    if (!encoded) {
        const bool lossy = jpegTiff || qstrcmp(loader, "VipsForeignLoadJpegFile") == 0;
        encoded = lossy ? jpegImage(pixels, spill) : losslessImage(pixels, spill);
    }
    encoded->page = pageSize(pageHeader, thumbnail);
    encoded->iccProfile = iccProfile(pageHeader, encoded->components, profiles);
    return *encoded;
}

// The loader libvips picks for the file, when it is one of ours; throws OCRError::cannotOpenImage.
const char* imageLoader(const QByteArray& localPath) {
    if (!vipsReady()) {
        throw OCRError::cannotOpenImage();
    }
    const char* loader = vips_foreign_find_load(localPath.constData());
    if (loader == nullptr || !imageLoaders().contains(QString::fromLatin1(loader))) {
        vips_error_clear();
        throw OCRError::cannotOpenImage();
    }
    return loader;
}

// Page `onlyPage` alone, or every page; empty when `stopped` answered true before the last one.
std::vector<EncodedImage> decodeAndEncode(const QString& imagePath, SpillFile& spill,
                                          const std::function<bool()>& stopped, std::optional<int> onlyPage) {
    const QByteArray localPath = FileNames::encode(imagePath);
    const char* loader = imageLoader(localPath);
    std::vector<EncodedImage> pages;
    try {
        const VImage header = VImage::new_from_file(localPath.constData());
        const std::vector<int> directories = pageDirectoriesOf(localPath, header, loader);
        const int pageCount = int(directories.size());
        // A file of more pages than a job may have is refused before any of them is decoded.
        DocumentLimits::checkPageCount(pageCount, DocumentLimits::maxPages);
        if (onlyPage && (*onlyPage < 0 || *onlyPage >= pageCount)) {
            throw OCRError::cannotOpenImage();
        }
        const int firstPage = onlyPage.value_or(0);
        pages.resize(onlyPage ? 1 : pageCount);
        // On every core that memory allows: compressing a page of colour scan takes a second. The first
        // failure in page order is the one reported, and no page after it is converted.
        std::vector<std::exception_ptr> failures(pages.size());
        std::atomic<int> firstFailure = int(pages.size());
        QList<int> indices(qsizetype(pages.size()));
        std::iota(indices.begin(), indices.end(), 0);
        std::atomic<bool> stop = false;
        ProfileShelf profiles;
        QSemaphore slots(pagesAtOnce(header));
        const auto convert = [&](int index) {
            slots.acquire();
            const QSemaphoreReleaser release(slots);
            if (stop || (stopped && stopped())) {
                stop = true;
                return;
            }
            if (index > firstFailure) {
                return;
            }
            try {
                pages[index] = decodeAndEncodePage(localPath, header, loader, directories[firstPage + index],
                                                   pageCount, spill, profiles);
            } catch (...) {
                failures[index] = std::current_exception();
                int first = firstFailure;
                while (index < first && !firstFailure.compare_exchange_weak(first, index)) {
                }
            }
        };
        // A page thread that waited for the others could wait for ever: it may be the only one.
        if (pageTaskPool()->contains(QThread::currentThread())) {
            std::for_each(indices.begin(), indices.end(), convert);
        } else {
            QtConcurrent::blockingMap(pageTaskPool(), indices, convert);
        }
        if (stop) {
            return {};
        }
        for (const auto& failure : failures) {
            if (failure) {
                std::rethrow_exception(failure);
            }
        }
    } catch (const OCRError&) {
        throw;
    } catch (const PlatformError& error) { // the temporary folder takes no more
        throw OCRError::outputWriteFailed(error.message());
    } catch (const std::exception&) { // vips::VError, a decoder out of memory, an odd PNG
        throw OCRError::cannotOpenImage();
    }
    return pages;
}

// A page showing the image on white, scaled into the whole media box: the size it was scanned at.
// `profiles`: the ICC profile streams already in the PDF, by the profile they hold, so that the
// pages of a TIFF share theirs.
void addImagePage(QPDF& pdf, const EncodedImage& image, const SpillFile& spill,
                  std::map<const std::string*, QPDFObjectHandle>& profiles) {
    const double width = image.page.width;
    const double height = image.page.height;

    auto xobject = QPDFObjectHandle::newStream(&pdf);
    QPDFObjectHandle decodeParms = QPDFObjectHandle::newNull();
    if (!image.jpeg) {
        decodeParms = QPDFObjectHandle::newDictionary();
        decodeParms.replaceKey("/Predictor", QPDFObjectHandle::newInteger(15));
        decodeParms.replaceKey("/Colors", QPDFObjectHandle::newInteger(image.components));
        decodeParms.replaceKey("/BitsPerComponent", QPDFObjectHandle::newInteger(image.bitsPerComponent));
        decodeParms.replaceKey("/Columns", QPDFObjectHandle::newInteger(image.width));
    }
    // Read back only while the writer copies it out, one page at a time.
    xobject.replaceStreamData(
        [&spill, piece = image.data](Pipeline* out) {
            spill.read(piece, [out](std::string_view bytes) {
                out->write(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
            });
            out->finish();
        },
        QPDFObjectHandle::newName(image.jpeg ? "/DCTDecode" : "/FlateDecode"), decodeParms);
    auto dict = xobject.getDict();
    dict.replaceKey("/Type", QPDFObjectHandle::newName("/XObject"));
    dict.replaceKey("/Subtype", QPDFObjectHandle::newName("/Image"));
    dict.replaceKey("/Width", QPDFObjectHandle::newInteger(image.width));
    dict.replaceKey("/Height", QPDFObjectHandle::newInteger(image.height));
    const auto device = QPDFObjectHandle::newName(image.components == 1 ? "/DeviceGray" : "/DeviceRGB");
    if (!image.iccProfile) {
        dict.replaceKey("/ColorSpace", device);
    } else {
        auto profile = profiles.find(image.iccProfile.get());
        if (profile == profiles.end()) {
            auto stream = QPDFObjectHandle::newStream(&pdf, *image.iccProfile);
            stream.getDict().replaceKey("/N", QPDFObjectHandle::newInteger(image.components));
            stream.getDict().replaceKey("/Alternate", device);
            profile = profiles.emplace(image.iccProfile.get(), stream).first;
        }
        dict.replaceKey("/ColorSpace", QPDFObjectHandle::newArray(std::vector<QPDFObjectHandle>{
                                           QPDFObjectHandle::newName("/ICCBased"), profile->second}));
    }
    dict.replaceKey("/BitsPerComponent", QPDFObjectHandle::newInteger(image.bitsPerComponent));

    const std::string w = QUtil::double_to_string(width, 4), h = QUtil::double_to_string(height, 4);
    const std::string content =
        "q 1 g 0 0 " + w + " " + h + " re f Q\nq " + w + " 0 0 " + h + " 0 0 cm /Im0 Do Q\n";

    auto xobjects = QPDFObjectHandle::newDictionary();
    xobjects.replaceKey("/Im0", xobject);
    auto resources = QPDFObjectHandle::newDictionary();
    resources.replaceKey("/XObject", xobjects);
    auto page = pdf.makeIndirectObject(QPDFObjectHandle::newDictionary());
    page.replaceKey("/Type", QPDFObjectHandle::newName("/Page"));
    page.replaceKey("/MediaBox",
                    QPDFObjectHandle::newArray(std::vector<QPDFObjectHandle>{
                        QPDFObjectHandle::newInteger(0), QPDFObjectHandle::newInteger(0),
                        QPDFObjectHandle::newReal(width, 4), QPDFObjectHandle::newReal(height, 4)}));
    page.replaceKey("/Resources", resources);
    page.replaceKey("/Contents", QPDFObjectHandle::newStream(&pdf, content));
    QPDFPageDocumentHelper(pdf).addPage(QPDFPageObjectHelper(page), false);
}

// Writes the pages into a new file at `path` (never replacing one) and returns 0, or the
// system's error number when the file cannot be made or written; throws when the PDF cannot be
// built. Nothing is left at `path` after a failure.
int writeNewPdf(const std::vector<EncodedImage>& images, const SpillFile& spill, const QString& path) {
    QPDF pdf;
    pdf.emptyPDF();
    std::map<const std::string*, QPDFObjectHandle> profiles;
    for (const EncodedImage& image : images) {
        addImagePage(pdf, image, spill, profiles);
    }
    const QByteArray localPath = QFile::encodeName(path);
    const int fd = ::open(localPath.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        return errno;
    }
    FILE* file = ::fdopen(fd, "wb");
    if (file == nullptr) {
        const int error = errno;
        ::close(fd);
        ::unlink(localPath.constData());
        return error;
    }
    int error = 0;
    errno = 0; // QPDF leaves a failed write to the stream's error flag; errno then says why
    try {
        QPDFWriter writer(pdf);
        writer.setOutputFile(localPath.constData(), file, false);
        // The image data is already compressed as it should be; only the small content streams get Flate.
        writer.setDecodeLevel(qpdf_dl_none);
        writer.write();
    } catch (const QPDFSystemError& failure) {
        error = failure.getErrno() != 0 ? failure.getErrno() : EIO;
    } catch (...) {
        std::fclose(file);
        ::unlink(localPath.constData());
        throw;
    }
    if (error == 0 && (std::fflush(file) != 0 || std::ferror(file) != 0)) {
        error = errno != 0 ? errno : EIO;
    }
    if (std::fclose(file) != 0 && error == 0) {
        error = errno;
    }
    if (error != 0) {
        ::unlink(localPath.constData());
    }
    return error;
}

} // namespace

const QStringList& supportedExtensions() {
    static const QStringList extensions = {"png", "jpg", "jpeg", "heic", "heif", "tiff", "tif", "bmp", "gif"};
    return extensions;
}

bool isSupportedImage(const QString& path) {
    const QString extension = QFileInfo(path).suffix().toLower();
    return !extension.isEmpty() && supportedExtensions().contains(extension);
}

int pageCount(const QString& imagePath) {
    const QByteArray localPath = FileNames::encode(imagePath);
    const char* loader = imageLoader(localPath);
    try {
        return int(pageDirectoriesOf(localPath, VImage::new_from_file(localPath.constData()), loader).size());
    } catch (const vips::VError&) {
        throw OCRError::cannotOpenImage();
    }
}

QString makePDF(const QString& imagePath, const std::function<bool()>& stopped, std::optional<int> onlyPage) {
    SpillFile spill;
    const std::vector<EncodedImage> pages = decodeAndEncode(imagePath, spill, stopped, onlyPage);
    if (pages.empty()) {
        return {};
    }
    try {
        const QString path = QDir(PrivateTemporaryFolder::path())
                                 .filePath(PrivateTemporaryFolder::newFileName("quorvane-image", ".pdf"));
        if (const int error = writeNewPdf(pages, spill, path); error != 0) {
            throw OCRError::outputWriteFailed(PrivateTemporaryFolder::problem(error));
        }
        return path;
    } catch (const OCRError&) {
        throw;
    } catch (const PlatformError& error) { // the private folder cannot be made
        throw OCRError::outputWriteFailed(error.message());
    } catch (const std::exception&) {
        throw OCRError::outputWriteFailed("could not create PDF context for image");
    }
}

} // namespace quorvane::ImagePDFBuilder
