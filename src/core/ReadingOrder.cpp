#include "core/ReadingOrder.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace quorvane::ReadingOrder {

namespace {

constexpr int binCount = 200;
constexpr int columnGapBins = 6;      // this many empty bins in a row separate two columns
constexpr double rowTolerance = 0.01; // top edges closer than this form one row

struct Column {
    int first = 0;
    int last = 0;
};

struct PlacedLine {
    int column = 0;
    OCRLine line;
};

// Higher lines first; within a row (top edges within the tolerance) the line further left.
bool readsBefore(const OCRLine& a, const OCRLine& b) {
    const double topA = a.boundingBox.maxY();
    const double topB = b.boundingBox.maxY();
    if (std::abs(topA - topB) > rowTolerance) {
        return topA > topB;
    }
    return a.boundingBox.minX() < b.boundingBox.minX();
}

Rect unionOf(const std::vector<OCRLine>& lines) {
    double x0 = lines.front().boundingBox.minX(), x1 = lines.front().boundingBox.maxX();
    double y0 = lines.front().boundingBox.minY(), y1 = lines.front().boundingBox.maxY();
    for (const auto& line : lines) {
        x0 = std::min(x0, line.boundingBox.minX());
        x1 = std::max(x1, line.boundingBox.maxX());
        y0 = std::min(y0, line.boundingBox.minY());
        y1 = std::max(y1, line.boundingBox.maxY());
    }
    return {x0, y0, x1 - x0, y1 - y0};
}

// The bin of a horizontal position, as the integer part of its share of the text width.
int binOf(double x, const Rect& text) {
    const double share = (x - text.minX()) / text.width * binCount;
    if (std::isnan(share)) {
        return 0;
    }
    // Clamp in double first so that converting to int cannot overflow.
    return static_cast<int>(std::clamp(share, -1.0, double(binCount)));
}

std::array<bool, binCount> occupancy(const std::vector<OCRLine>& lines, const Rect& text) {
    std::array<bool, binCount> occupied{};
    for (const auto& line : lines) {
        const int start = std::clamp(binOf(line.boundingBox.minX(), text), 0, binCount - 1);
        int end = binOf(line.boundingBox.maxX(), text);
        if (end < 0 || end < start) {
            end = start;
        } else if (end >= binCount - 1) {
            end = binCount - 1;
        }
        std::fill(occupied.begin() + start, occupied.begin() + end + 1, true);
    }
    return occupied;
}

// Runs of occupied bins; gaps of fewer than `columnGapBins` empty bins are bridged.
std::vector<Column> columns(const std::array<bool, binCount>& occupied) {
    std::vector<Column> result;
    bool inRun = false;
    int first = 0, lastOccupied = 0, emptyRun = 0;
    for (int bin = 0; bin < binCount; ++bin) {
        if (!inRun) {
            if (occupied[bin]) {
                inRun = true;
                first = lastOccupied = bin;
                emptyRun = 0;
            }
            continue;
        }
        if (occupied[bin]) {
            lastOccupied = bin;
            emptyRun = 0;
        } else if (++emptyRun == columnGapBins) {
            result.push_back({first, lastOccupied});
            inRun = false;
        }
    }
    if (inRun) {
        result.push_back({first, binCount - 1});
    }
    return result;
}

int columnOf(const OCRLine& line, const Rect& text, const std::vector<Column>& columns) {
    const int centre = binOf((line.boundingBox.minX() + line.boundingBox.maxX()) / 2, text);
    for (int index = 0; index < int(columns.size()); ++index) {
        if (columns[index].first <= centre && centre <= columns[index].last) {
            return index;
        }
    }
    return int(columns.size()) - 1;
}

} // namespace

std::vector<OCRLine> order(std::vector<OCRLine> lines) {
    if (lines.size() < 2) {
        return lines;
    }
    const Rect text = unionOf(lines);
    if (!(text.width > 0)) {
        std::stable_sort(lines.begin(), lines.end(), [](const OCRLine& a, const OCRLine& b) {
            return a.boundingBox.maxY() > b.boundingBox.maxY();
        });
        return lines;
    }
    const auto found = columns(occupancy(lines, text));
    if (found.size() < 2) {
        std::stable_sort(lines.begin(), lines.end(), readsBefore);
        return lines;
    }
    std::vector<PlacedLine> placed;
    placed.reserve(lines.size());
    for (auto& line : lines) {
        const int column = columnOf(line, text, found);
        placed.push_back({column, std::move(line)});
    }
    std::stable_sort(placed.begin(), placed.end(), [](const PlacedLine& a, const PlacedLine& b) {
        if (a.column != b.column) {
            return a.column < b.column;
        }
        return readsBefore(a.line, b.line);
    });
    std::vector<OCRLine> result;
    result.reserve(placed.size());
    for (auto& entry : placed) {
        result.push_back(std::move(entry.line));
    }
    return result;
}

} // namespace quorvane::ReadingOrder
