#include "platform/CutFigures.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <utility>

namespace quorvane::CutFigures {

namespace {

bool isPoint(QChar c) {
    return c == QLatin1Char('.') || c == QLatin1Char(',');
}

// "19." and "26", or "32" and ".84": digits on both sides of the cut and one point at it.
bool cutAtAPoint(const QString& left, const QString& right) {
    if (left.isEmpty() || right.isEmpty()) {
        return false;
    }
    if (isPoint(left.back())) {
        return left.size() >= 2 && left[left.size() - 2].isDigit() && right.front().isDigit();
    }
    return left.back().isDigit() && isPoint(right.front()) && right.size() >= 2 && right[1].isDigit();
}

// Side by side in one row: their boxes overlap vertically by most of the lower one's height, and
// the gap between them is narrower than one of their characters.
bool touch(const OCRLine& left, const OCRLine& right) {
    const Rect& a = left.boundingBox;
    const Rect& b = right.boundingBox;
    const double overlap = std::min(a.maxY(), b.maxY()) - std::max(a.minY(), b.minY());
    if (overlap < 0.5 * std::min(a.height, b.height)) {
        return false;
    }
    const double characterWidth = (a.width + b.width) / double(left.text.size() + right.text.size());
    const double gap = b.minX() - a.maxX();
    return gap > -characterWidth / 2 && gap < characterWidth;
}

OCRLine joined(const OCRLine& left, const OCRLine& right) {
    OCRLine line = left;
    line.text = left.text + right.text;
    const Rect& a = left.boundingBox;
    const Rect& b = right.boundingBox;
    const double x0 = std::min(a.minX(), b.minX()), y0 = std::min(a.minY(), b.minY());
    line.boundingBox = {x0, y0, std::max(a.maxX(), b.maxX()) - x0, std::max(a.maxY(), b.maxY()) - y0};
    // Each part weighs as many characters as it holds.
    line.confidence = float((left.confidence * left.text.size() + right.confidence * right.text.size()) /
                            double(line.text.size()));
    line.spans.clear();
    return line;
}

// The first pair of lines that is one figure cut in two: the left part's index, then the right's.
std::optional<std::pair<std::size_t, std::size_t>> findCut(const std::vector<OCRLine>& lines) {
    for (std::size_t left = 0; left < lines.size(); ++left) {
        for (std::size_t right = 0; right < lines.size(); ++right) {
            if (left != right && cutAtAPoint(lines[left].text, lines[right].text) &&
                touch(lines[left], lines[right])) {
                return std::pair{left, right};
            }
        }
    }
    return std::nullopt;
}

} // namespace

void join(std::vector<OCRLine>& lines) {
    while (const auto cut = findCut(lines)) {
        lines[cut->first] = joined(lines[cut->first], lines[cut->second]);
        lines.erase(lines.begin() + std::ptrdiff_t(cut->second));
    }
}

} // namespace quorvane::CutFigures
