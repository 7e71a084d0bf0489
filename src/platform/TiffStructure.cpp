#include "platform/TiffStructure.h"

#include "platform/FileNames.h"

#include <QFile>
#include <QSet>
#include <tiffio.h>

#include <algorithm>
#include <memory>
#include <optional>

namespace quorvane::TiffStructure {

namespace {

using TiffFile = std::unique_ptr<TIFF, decltype(&TIFFClose)>;

// Null when libtiff cannot read it; libvips has read the file already and says what is wrong with
// it, so libtiff's own messages are not wanted. Read, not mapped: a mapped file that shrinks kills
// the process.
TiffFile openTiff(const QByteArray& localPath) {
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    const auto quiet = [](TIFF*, void*, const char*, const char*, va_list) { return 1; };
    TIFFOpenOptionsSetErrorHandlerExtR(options, quiet, nullptr);
    TIFFOpenOptionsSetWarningHandlerExtR(options, quiet, nullptr);
    TiffFile tiff(TIFFOpenExt(localPath.constData(), "rm", options), &TIFFClose);
    TIFFOpenOptionsFree(options);
    return tiff;
}

// The size in bytes of one value of a TIFF field's type; 1 for a type this reader does not know.
quint64 typeSize(quint64 type) {
    switch (type) {
    case TIFF_SHORT:
    case TIFF_SSHORT:
        return 2;
    case TIFF_LONG:
    case TIFF_SLONG:
    case TIFF_FLOAT:
    case TIFF_IFD:
        return 4;
    case TIFF_RATIONAL:
    case TIFF_SRATIONAL:
    case TIFF_DOUBLE:
    case TIFF_LONG8:
    case TIFF_SLONG8:
    case TIFF_IFD8:
        return 8;
    default:
        return 1;
    }
}

// A JPEG stream taken apart: the segments before its scan, and the scan's coded data.
struct JpegParts {
    std::string markers; // application segments (JFIF, Adobe), in order
    std::string tables;  // quantisation and Huffman tables
    std::string frame;   // the baseline frame header
    std::string scan;    // the scan header
    std::string data;    // the entropy-coded data, without the end marker
};

// Nothing when the stream is not one baseline scan without restarts. A stream of tables alone
// (a TIFF's JPEGTables) ends at its end marker, with no frame.
std::optional<JpegParts> jpegParts(const std::string& bytes) {
    if (bytes.size() < 4 || quint8(bytes[0]) != 0xFF || quint8(bytes[1]) != 0xD8) {
        return std::nullopt;
    }
    JpegParts parts;
    std::size_t at = 2;
    while (at + 2 <= bytes.size() && quint8(bytes[at]) == 0xFF) {
        const quint8 marker = quint8(bytes[at + 1]);
        if (marker == 0xD9) { // the end, of a stream of tables
            return parts;
        }
        if (at + 4 > bytes.size()) {
            return std::nullopt;
        }
        const std::size_t length = std::size_t(quint8(bytes[at + 2])) << 8 | quint8(bytes[at + 3]);
        if (length < 2 || at + 2 + length > bytes.size()) {
            return std::nullopt;
        }
        const std::string segment = bytes.substr(at, 2 + length);
        at += 2 + length;
        if (marker == 0xDB || marker == 0xC4) {
            parts.tables += segment;
        } else if (marker >= 0xE0 && marker <= 0xEF) {
            parts.markers += segment;
        } else if ((marker == 0xC0 || marker == 0xC1) && parts.frame.empty() && length >= 8) {
            parts.frame = segment;
        } else if (marker == 0xDA && !parts.frame.empty()) {
            parts.scan = segment;
            parts.data = bytes.substr(at);
            if (parts.data.size() >= 2 && quint8(parts.data[parts.data.size() - 2]) == 0xFF &&
                quint8(parts.data.back()) == 0xD9) {
                parts.data.resize(parts.data.size() - 2);
            }
            return parts;
        } else if (marker != 0xFE) { // a comment says nothing; restarts and other frames are not joined
            return std::nullopt;
        }
    }
    return std::nullopt;
}

quint16 frameValue(const std::string& frame, std::size_t at) {
    return quint16(quint8(frame[at]) << 8 | quint8(frame[at + 1]));
}

// A frame header without the number of lines, which is each strip's own.
std::string withoutHeight(const std::string& frame) {
    return frame.substr(0, 5) + frame.substr(7);
}

} // namespace

bool holdsJpegData(const QByteArray& localPath, int page) {
    const TiffFile tiff = openTiff(localPath);
    uint16_t compression = COMPRESSION_NONE;
    return tiff && TIFFSetDirectory(tiff.get(), tdir_t(page)) == 1 &&
           TIFFGetField(tiff.get(), TIFFTAG_COMPRESSION, &compression) == 1 &&
           (compression == COMPRESSION_JPEG || compression == COMPRESSION_OJPEG);
}

std::vector<int> pageDirectories(const QByteArray& localPath, int directories) {
    std::vector<int> pages{0};
    const TiffFile tiff = openTiff(localPath);
    int directory = 1;
    for (; tiff && directory < directories && TIFFReadDirectory(tiff.get()) == 1; ++directory) {
        uint32_t type = 0;
        if (TIFFGetField(tiff.get(), TIFFTAG_SUBFILETYPE, &type) != 1 ||
            (type & FILETYPE_REDUCEDIMAGE) == 0) {
            pages.push_back(directory);
        }
    }
    for (; directory < directories; ++directory) {
        pages.push_back(directory);
    }
    return pages;
}

bool isCutShort(const QByteArray& localPath) {
    QFile file;
    if (!FileNames::openForReading(file, FileNames::decode(localPath))) {
        return false; // libvips says what is wrong
    }
    const quint64 size = quint64(file.size());
    const bool bigEndian = file.read(2) == "MM";
    // An unsigned number of `bytes` at `offset`, in the file's byte order; none beyond the end.
    const auto number = [&](quint64 offset, int bytes) -> std::optional<quint64> {
        const QByteArray data = offset < size && file.seek(qint64(offset)) ? file.read(bytes) : QByteArray();
        if (data.size() != bytes) {
            return std::nullopt;
        }
        quint64 value = 0;
        for (int i = 0; i < bytes; ++i) {
            value = value << 8 | quint8(data[bigEndian ? i : bytes - 1 - i]);
        }
        return value;
    };
    const bool big = number(2, 2) == 43; // BigTIFF
    const int offsetBytes = big ? 8 : 4, countBytes = big ? 8 : 2, entryBytes = big ? 20 : 12;
    QSet<quint64> seen;
    quint64 entriesRead = 0;
    std::optional<quint64> next = number(big ? 8 : 4, offsetBytes);
    while (next && *next != 0 && !seen.contains(*next)) {
        seen.insert(*next);
        const auto entries = number(*next, countBytes);
        if (!entries || *entries > size / quint64(entryBytes)) {
            return true;
        }
        // Directories share no bytes. A chain that holds more entries than the file has room for
        // overlaps itself, as only a crafted file does, and would take hours to read.
        entriesRead += *entries;
        if (entriesRead > size / quint64(entryBytes)) {
            return true;
        }
        const quint64 first = *next + quint64(countBytes);
        for (quint64 i = 0; i < *entries; ++i) {
            const quint64 entry = first + i * quint64(entryBytes);
            const auto type = number(entry + 2, 2);
            const auto count = number(entry + 4, offsetBytes);
            if (!type || !count || *count > size) {
                return true;
            }
            // Values that do not fit in the entry are kept elsewhere, at the offset it holds.
            const quint64 bytes = *count * typeSize(*type);
            if (bytes > quint64(offsetBytes)) {
                const auto at = number(entry + 4 + quint64(offsetBytes), offsetBytes);
                if (!at || *at > size || bytes > size - *at) {
                    return true;
                }
            }
        }
        next = number(first + *entries * quint64(entryBytes), offsetBytes);
    }
    return !next;
}

std::optional<std::string> pageAsJpeg(const QByteArray& localPath, int page) {
    const TiffFile tiff = openTiff(localPath);
    uint16_t compression = COMPRESSION_NONE, planar = PLANARCONFIG_CONTIG;
    uint32_t width = 0, height = 0, rowsPerStrip = 0;
    if (!tiff || TIFFSetDirectory(tiff.get(), tdir_t(page)) != 1 || TIFFIsTiled(tiff.get()) ||
        TIFFGetField(tiff.get(), TIFFTAG_COMPRESSION, &compression) != 1 || compression != COMPRESSION_JPEG ||
        TIFFGetField(tiff.get(), TIFFTAG_IMAGEWIDTH, &width) != 1 ||
        TIFFGetField(tiff.get(), TIFFTAG_IMAGELENGTH, &height) != 1 ||
        (TIFFGetField(tiff.get(), TIFFTAG_PLANARCONFIG, &planar) == 1 && planar != PLANARCONFIG_CONTIG)) {
        return std::nullopt;
    }
    if (width > 0xFFFF || height > 0xFFFF) { // more than a JPEG frame can say
        return std::nullopt;
    }
    if (TIFFGetField(tiff.get(), TIFFTAG_ROWSPERSTRIP, &rowsPerStrip) != 1 || rowsPerStrip > height) {
        rowsPerStrip = height;
    }
    std::string tables;
    uint32_t tablesSize = 0;
    void* tablesData = nullptr;
    if (TIFFGetField(tiff.get(), TIFFTAG_JPEGTABLES, &tablesSize, &tablesData) == 1 &&
        tablesData != nullptr) {
        const auto shared = jpegParts(std::string(static_cast<const char*>(tablesData), tablesSize));
        if (!shared) {
            return std::nullopt;
        }
        tables = shared->tables;
    }

    const uint32_t strips = TIFFNumberOfStrips(tiff.get());
    // A damaged file may claim strips of any size: no more is read than the file holds.
    const auto status = FileNames::status(FileNames::decode(localPath));
    qint64 unread = status ? status->st_size : 0;
    std::optional<JpegParts> first;
    std::string data;
    for (uint32_t strip = 0; strip < strips; ++strip) {
        const tmsize_t size = TIFFRawStripSize(tiff.get(), strip);
        if (size <= 0 || size > unread) {
            return std::nullopt;
        }
        unread -= size;
        std::string bytes(std::size_t(size), '\0');
        if (TIFFReadRawStrip(tiff.get(), strip, bytes.data(), size) != size) {
            return std::nullopt;
        }
        auto parts = jpegParts(bytes);
        const uint32_t rows = std::min(rowsPerStrip, height - strip * rowsPerStrip);
        if (!parts || frameValue(parts->frame, 5) != rows || frameValue(parts->frame, 7) != width) {
            return std::nullopt;
        }
        if (!first) {
            first = parts;
        } else if (withoutHeight(parts->frame) != withoutHeight(first->frame) || parts->scan != first->scan ||
                   (!parts->tables.empty() && parts->tables != first->tables)) {
            return std::nullopt;
        } else {
            data += char(0xFF);
            data += char(0xD0 + (strip - 1) % 8); // a restart between strips
        }
        data += parts->data;
    }
    if (!first) {
        return std::nullopt;
    }

    // A strip is a whole number of rows of blocks (MCUs); a restart interval counts their blocks.
    std::string& frame = first->frame;
    const int components = quint8(frame[9]);
    int blockWidth = 8, blockHeight = 8;
    for (int c = 0; c < components && components > 1 && 10 + 3 * c + 1 < int(frame.size()); ++c) {
        const quint8 sampling = quint8(frame[std::size_t(10 + 3 * c + 1)]);
        blockWidth = std::max(blockWidth, 8 * (sampling >> 4));
        blockHeight = std::max(blockHeight, 8 * (sampling & 0x0F));
    }
    const quint64 interval = quint64((width + blockWidth - 1) / blockWidth) * (rowsPerStrip / blockHeight);
    if (strips > 1 && (rowsPerStrip % blockHeight != 0 || interval == 0 || interval > 0xFFFF)) {
        return std::nullopt;
    }
    frame[5] = char(height >> 8);
    frame[6] = char(height & 0xFF);
    std::string jpeg = "\xFF\xD8" + first->markers + tables + first->tables + frame;
    if (strips > 1) {
        jpeg += std::string("\xFF\xDD\x00\x04", 4) + char(interval >> 8) + char(interval & 0xFF);
    }
    return jpeg + first->scan + data + "\xFF\xD9";
}

} // namespace quorvane::TiffStructure
