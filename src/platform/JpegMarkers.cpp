#include "platform/JpegMarkers.h"

#include <cstddef>

namespace quorvane::JpegMarkers {

bool storesUntransformedRgb(const std::string& jpeg) {
    const auto byte = [&](std::size_t at) { return at < jpeg.size() ? static_cast<unsigned char>(jpeg[at]) : 0; };
    bool marked = false; // JFIF or Adobe
    for (std::size_t at = 2; byte(at) == 0xFF && at + 4 <= jpeg.size();) {
        const unsigned char marker = byte(at + 1);
        const std::size_t length = std::size_t(byte(at + 2)) << 8 | byte(at + 3);
        if ((marker == 0xE0 && jpeg.compare(at + 4, 4, "JFIF") == 0) ||
            (marker == 0xEE && jpeg.compare(at + 4, 5, "Adobe") == 0)) {
            marked = true;
        }
        const bool frame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frame) {
            return !marked && byte(at + 9) == 3 && byte(at + 10) == 'R' && byte(at + 13) == 'G' && byte(at + 16) == 'B';
        }
        if (marker == 0xDA || length < 2) {
            return false;
        }
        at += 2 + length;
    }
    return false;
}

} // namespace quorvane::JpegMarkers
