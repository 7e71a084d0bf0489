#include "pipeline/CoordinateMapper.h"

namespace quorvane::CoordinateMapper {

Rect displayBounds(const PdfPage& page) {
    const Rect crop = page.cropBox();
    const int rotation = page.rotation();
    if (rotation == 90 || rotation == 270) {
        return {0, 0, crop.height, crop.width};
    }
    return {0, 0, crop.width, crop.height};
}

} // namespace quorvane::CoordinateMapper
