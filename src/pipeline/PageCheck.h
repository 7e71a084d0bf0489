#pragma once

// A page's fitness, judged before any work is spent on it: a page dictionary that cannot be read,
// a page without area or larger than any paper, or content built to exhaust memory is refused with
// what is wrong, instead of failing later (after recognition) with a message that does not say.

#include "platform/PdfDocument.h"

#include <cstddef>

namespace quorvane::PageCheck {

// The most content one page may hold once decompressed, its form XObjects included.
inline constexpr std::size_t largestContent = std::size_t{256} << 20;
// The longest side a page may have, in points: a hundred times the largest page PDF provides for.
inline constexpr double longestSide = 1440000;

// Throws OCRError::damagedPage, or documentTooLarge for content over largestContent.
void checkUsable(const PdfPage& page);

} // namespace quorvane::PageCheck
