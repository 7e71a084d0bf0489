#pragma once

// Helvetica with WinAnsiEncoding, the standard font of the invisible text layer: which characters
// it can show and how wide each is, so that a line can be scaled to the width of its box.

#include <optional>

namespace quorvane::HelveticaMetrics {

inline constexpr int firstCode = 32;
inline constexpr int lastCode = 255;

// The WinAnsiEncoding byte that shows `character`, if there is one.
std::optional<unsigned char> winAnsiCode(char32_t character);

// The advance width of a WinAnsiEncoding byte, in thousandths of the font size (0 when the byte
// is not defined).
int advanceWidth(unsigned char code);

} // namespace quorvane::HelveticaMetrics
