#pragma once

// The margins of a page's text: straight edges along which many lines start or end. Indents,
// centred headings, bullets, short last lines and the ragged ends of unjustified lines do not
// make one. On a flat page the margins are upright and parallel; on a page photographed at an
// angle they lean towards one vanishing point.

#include <vector>

namespace quorvane::TextMargins {

// A recognised line's box in pixels, y upwards.
struct LineBox {
    double left = 0;
    double right = 0;
    double bottom = 0;
    double top = 0;
    double middle() const { return (bottom + top) / 2; }
    double height() const { return top - bottom; }
};

enum class Side { left, right };

// x = a + b y, in pixels.
struct Margin {
    double a = 0;
    double b = 0;
    int lines = 0;            // line ends on it
    double low = 0, high = 0; // the vertical extent of those ends (their lines' middles)
    double xAt(double y) const { return a + b * y; }
};

inline constexpr int minLines = 5;

// The margins on one side of the text, the one with most line ends first, each with at least
// `minLines` ends spread over at least `minSpan` pixels.
std::vector<Margin> find(const std::vector<LineBox>& lines, Side side, double minSpan);

} // namespace quorvane::TextMargins
