#include "platform/TiffStructure.h"

#include <QFile>
#include <QSet>
#include <tiffio.h>

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

} // namespace

bool holdsJpegData(const QByteArray& localPath, int page) {
    const TiffFile tiff = openTiff(localPath);
    uint16_t compression = COMPRESSION_NONE;
    return tiff && TIFFSetDirectory(tiff.get(), tdir_t(page)) == 1 &&
           TIFFGetField(tiff.get(), TIFFTAG_COMPRESSION, &compression) == 1 &&
           (compression == COMPRESSION_JPEG || compression == COMPRESSION_OJPEG);
}

bool isCutShort(const QByteArray& localPath) {
    QFile file(QFile::decodeName(localPath));
    if (!file.open(QIODevice::ReadOnly)) {
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
    std::optional<quint64> next = number(big ? 8 : 4, offsetBytes);
    while (next && *next != 0 && !seen.contains(*next)) {
        seen.insert(*next);
        const auto entries = number(*next, countBytes);
        if (!entries || *entries > size / quint64(entryBytes)) {
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

} // namespace quorvane::TiffStructure
