#pragma once

// Text that Tesseract's layout analysis left out. The amounts of a till receipt, right-aligned in
// a fixed-pitch font, line their decimal points up, and the layout analysis takes that line for
// the edge of a column: the digits on either side are dropped, or read as one vertical line of
// junk. What is left out shows as ink that no well-read line covers; read again as one block of
// text, it comes back whole. On a table whose rules Tesseract did not take for rules, it saw no
// text at all.

#include "core/OCRRecords.h"
#include "core/Raster.h"

#include <QRect>
#include <vector>

namespace quorvane::MissedText {

struct Findings {
    // When most of the page's characters lie outside every line, well read or not (Tesseract saw
    // no text where the page has it): the resolution to read the whole page again at, estimated
    // from its characters' height. Told none, Tesseract looks for a page's ruled lines as if it
    // had 70 DPI, and estimates the resolution from the text only afterwards: the 4-pixel rules
    // of a table at 300 DPI were then too thick to be rules, and the text in the cells went with
    // them. 0 otherwise.
    double resolutionToReadAgain = 0;
    // The parts of the page (pixels, origin top left) that hold several characters' worth of ink
    // no well-read line covers, each with the lines that reach into it. None when the lines
    // cover most of the page's characters, when too few are well read to tell characters from
    // specks, or when the page as a whole reads poorly: a turned or garbled page is not mended here.
    std::vector<QRect> regionsToReadAgain;
};

// What the reading `lines` of `image` left out.
Findings find(const Raster& image, const std::vector<OCRLine>& lines);

// The letters and digits of the lines read well enough to count.
qsizetype wellReadCharacters(const std::vector<OCRLine>& lines);

// `lines` without those centred in `region`, and with `readAgain` (the region read on its own,
// its boxes normalised to the region) instead; unchanged unless the new reading found a few
// characters more.
void replaceWithinRegion(std::vector<OCRLine>& lines, const QRect& region, QSize image,
                         const std::vector<OCRLine>& readAgain);

} // namespace quorvane::MissedText
