#include "corrections/TextMargins.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>
#include <numeric>
#include <optional>

namespace quorvane::TextMargins {

namespace {

// Line ends on a margin lie within this share of the median line height of it: serifs, italics
// and punctuation vary that much.
constexpr double tolerance = 0.25;
// In line heights: on the margins of flat and photographed test pages the ends scattered by 0.01
// to 0.04 about the fitted edge; the ends of ragged lines, or of two indents that a slanted edge
// happened to join, by 0.07 to 0.13.
constexpr double maxScatter = 0.055;
// Steeper edges are not margins of a page that can still be read (about 27 degrees).
constexpr double maxLean = 0.5;
// Of the lines that end within this share of the text's width inside a margin, at least this
// share must end on it.
constexpr double reach = 0.25;
constexpr double minShare = 0.5;
constexpr int maxMarginsPerSide = 4;
// Pairs of ends propose the edges; beyond this many lines only every few are paired, to keep the
// search cheap.
constexpr std::size_t maxSeedLines = 150;

struct Text {
    const std::vector<LineBox>& lines;
    Side side;
    double tolerance = 0;  // pixels
    double maxScatter = 0; // pixels
    double minSpan = 0;    // pixels
    double width = 0;      // pixels

    double endOf(const LineBox& line) const { return side == Side::left ? line.left : line.right; }
};

struct Candidate {
    Margin margin;
    double scatter = 0;            // root mean square distance of its ends from it
    std::vector<std::size_t> ends; // indices of the lines that end on it
};

std::vector<std::size_t> endsOn(const Text& text, const std::vector<std::size_t>& candidates, double a,
                                double b) {
    std::vector<std::size_t> on;
    for (const std::size_t index : candidates) {
        const LineBox& line = text.lines[index];
        if (std::abs(text.endOf(line) - (a + b * line.middle())) <= text.tolerance) {
            on.push_back(index);
        }
    }
    return on;
}

// The least-squares edge through these ends.
Candidate fitted(const Text& text, std::vector<std::size_t> ends) {
    double sy = 0, sx = 0, syy = 0, sxy = 0;
    Candidate fit;
    fit.margin.low = std::numeric_limits<double>::max();
    fit.margin.high = std::numeric_limits<double>::lowest();
    for (const std::size_t index : ends) {
        const double y = text.lines[index].middle(), x = text.endOf(text.lines[index]);
        sy += y;
        sx += x;
        syy += y * y;
        sxy += x * y;
        fit.margin.low = std::min(fit.margin.low, y);
        fit.margin.high = std::max(fit.margin.high, y);
    }
    const double n = double(ends.size());
    const double spread = n * syy - sy * sy;
    fit.margin.b = spread > 0 ? (n * sxy - sy * sx) / spread : 0;
    fit.margin.a = (sx - fit.margin.b * sy) / n;
    fit.margin.lines = int(ends.size());
    double squares = 0;
    for (const std::size_t index : ends) {
        const double distance = text.endOf(text.lines[index]) - fit.margin.xAt(text.lines[index].middle());
        squares += distance * distance;
    }
    fit.scatter = std::sqrt(squares / n);
    fit.ends = std::move(ends);
    return fit;
}

// How many lines beside the margin's ends satisfy `counts`, given the margin's x at their middle.
template <typename Predicate> int linesAlong(const Text& text, const Margin& margin, Predicate counts) {
    return int(std::count_if(text.lines.begin(), text.lines.end(), [&](const LineBox& line) {
        const double y = line.middle();
        return y >= margin.low && y <= margin.high && counts(line, margin.xAt(y));
    }));
}

// No text runs across a margin: a line that starts before it and ends after it where it passes
// shows that the ends line up by chance. One such line in ten is forgiven (a title across a
// gutter).
bool isClear(const Text& text, const Margin& margin) {
    const int across = linesAlong(text, margin, [&](const LineBox& line, double x) {
        return line.left < x - text.tolerance && line.right > x + text.tolerance;
    });
    return across <= margin.lines / 10;
}

// Most lines that end near a margin end on it: a justified edge, or the left edge of a column
// with its indents and headings. The longest lines of ragged text, which often line up, are a
// few among many that end short of them.
bool isMostlyReached(const Text& text, const Margin& margin) {
    const int near = linesAlong(text, margin, [&](const LineBox& line, double x) {
        const double inside = text.side == Side::left ? text.endOf(line) - x : x - text.endOf(line);
        return inside >= -text.tolerance && inside <= reach * text.width;
    });
    return margin.lines >= minShare * near;
}

bool isMargin(const Text& text, const Candidate& candidate) {
    const Margin& margin = candidate.margin;
    return margin.lines >= minLines && margin.high - margin.low >= text.minSpan &&
           std::abs(margin.b) <= maxLean && candidate.scatter <= text.maxScatter && isClear(text, margin) &&
           isMostlyReached(text, margin);
}

// The edge with the most ends on it among `candidates`, refined by least squares.
std::optional<Candidate> strongest(const Text& text, const std::vector<std::size_t>& candidates) {
    const std::size_t stride = candidates.size() / maxSeedLines + 1;
    std::optional<Candidate> best;
    for (std::size_t i = 0; i < candidates.size(); i += stride) {
        for (std::size_t j = i + stride; j < candidates.size(); j += stride) {
            const LineBox& first = text.lines[candidates[i]];
            const LineBox& second = text.lines[candidates[j]];
            const double rise = second.middle() - first.middle();
            if (std::abs(rise) < text.minSpan / 2) {
                continue;
            }
            const double b = (text.endOf(second) - text.endOf(first)) / rise;
            if (std::abs(b) > maxLean) {
                continue;
            }
            auto ends = endsOn(text, candidates, text.endOf(first) - b * first.middle(), b);
            if (int(ends.size()) < minLines || (best && ends.size() <= best->ends.size())) {
                continue;
            }
            const Candidate rough = fitted(text, std::move(ends));
            Candidate fit = fitted(text, endsOn(text, candidates, rough.margin.a, rough.margin.b));
            if (isMargin(text, fit) && (!best || fit.ends.size() > best->ends.size())) {
                best = std::move(fit);
            }
        }
    }
    return best;
}

double medianHeight(const std::vector<LineBox>& lines) {
    std::vector<double> heights;
    for (const LineBox& line : lines) {
        heights.push_back(line.height());
    }
    const auto middle = heights.begin() + std::ptrdiff_t(heights.size() / 2);
    std::nth_element(heights.begin(), middle, heights.end());
    return *middle;
}

} // namespace

std::vector<Margin> find(const std::vector<LineBox>& lines, Side side, double minSpan) {
    if (lines.size() < std::size_t(minLines)) {
        return {};
    }
    const double lineHeight = medianHeight(lines);
    double left = std::numeric_limits<double>::max(), right = std::numeric_limits<double>::lowest();
    for (const LineBox& line : lines) {
        left = std::min(left, line.left);
        right = std::max(right, line.right);
    }
    const Text text{lines, side, tolerance * lineHeight, maxScatter * lineHeight, minSpan, right - left};

    std::vector<std::size_t> candidates(lines.size());
    std::iota(candidates.begin(), candidates.end(), std::size_t(0));
    std::vector<Margin> margins;
    while (int(margins.size()) < maxMarginsPerSide) {
        const auto found = strongest(text, candidates);
        if (!found) {
            break;
        }
        margins.push_back(found->margin);
        std::vector<std::size_t> rest;
        std::set_difference(candidates.begin(), candidates.end(), found->ends.begin(), found->ends.end(),
                            std::back_inserter(rest));
        candidates = std::move(rest);
    }
    return margins;
}

} // namespace quorvane::TextMargins
