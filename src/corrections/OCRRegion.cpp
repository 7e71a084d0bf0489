#include "corrections/OCRRegion.h"

#include <algorithm>

namespace quorvane::OCRRegion {

namespace {

// The common part of two rectangles; width or height is not positive when they do not meet.
Rect intersection(const Rect& a, const Rect& b) {
    const double x0 = std::max(a.minX(), b.minX());
    const double y0 = std::max(a.minY(), b.minY());
    const double x1 = std::min(a.maxX(), b.maxX());
    const double y1 = std::min(a.maxY(), b.maxY());
    return {x0, y0, x1 - x0, y1 - y0};
}

} // namespace

std::vector<OCRLine> filter(const std::vector<OCRLine>& lines, const std::optional<Rect>& region) {
    if (!region) {
        return lines;
    }
    const Rect clipped = intersection(*region, Rect{0, 0, 1, 1});
    if (clipped.isEmpty()) {
        return {};
    }
    std::vector<OCRLine> kept;
    for (const auto& line : lines) {
        const Rect& box = line.boundingBox;
        const Rect inside = intersection(box, clipped);
        const double boxArea = box.width * box.height;
        if (inside.isEmpty() || !(boxArea > 0)) {
            continue;
        }
        if (inside.width * inside.height / boxArea >= overlapThreshold) {
            kept.push_back(line);
        }
    }
    return kept;
}

Rect imageRect(Size imageSize, Size paneSize, double inset) {
    if (!(imageSize.width > 0 && imageSize.height > 0 && paneSize.width > 0 && paneSize.height > 0)) {
        return {};
    }
    const Rect area{inset, inset, std::max(paneSize.width - 2 * inset, 0.0),
                    std::max(paneSize.height - 2 * inset, 0.0)};
    if (!(area.width > 0 && area.height > 0)) {
        return {};
    }
    const double scale = std::min(area.width / imageSize.width, area.height / imageSize.height);
    const double width = imageSize.width * scale;
    const double height = imageSize.height * scale;
    return {area.midX() - width / 2, area.midY() - height / 2, width, height};
}

Rect regionFromDrag(Point start, Point current, const Rect& imageRect) {
    if (!(imageRect.width > 0 && imageRect.height > 0)) {
        return {};
    }
    const auto clampX = [&](double x) { return std::clamp(x, imageRect.minX(), imageRect.maxX()); };
    const auto clampY = [&](double y) { return std::clamp(y, imageRect.minY(), imageRect.maxY()); };
    const double x0 = clampX(std::min(start.x, current.x));
    const double x1 = clampX(std::max(start.x, current.x));
    const double y0 = clampY(std::min(start.y, current.y));
    const double y1 = clampY(std::max(start.y, current.y));
    // The view's y grows downwards, the region's upwards: the drag's lower edge y1 is the region's
    // bottom.
    return {(x0 - imageRect.minX()) / imageRect.width, 1 - (y1 - imageRect.minY()) / imageRect.height,
            (x1 - x0) / imageRect.width, (y1 - y0) / imageRect.height};
}

Rect viewRect(const Rect& region, const Rect& imageRect) {
    if (!(imageRect.width > 0 && imageRect.height > 0)) {
        return {};
    }
    return {imageRect.minX() + region.minX() * imageRect.width,
            imageRect.minY() + (1 - region.maxY()) * imageRect.height, region.width * imageRect.width,
            region.height * imageRect.height};
}

} // namespace quorvane::OCRRegion
