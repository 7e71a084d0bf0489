#pragma once

// Finds pages whose text is turned by 90, 180 or 270 degrees and says how many clockwise quarter
// turns make them upright. It works only from recognition: the page is recognised small and fast
// in each of the four orientations, and a turn is accepted only when it reads clearly better.

#include "core/Geometry.h"
#include "core/OCROptions.h"
#include "core/OCRRecords.h"
#include "core/Raster.h"
#include "core/TextRecognizer.h"

#include <QThreadPool>
#include <QtGlobal>
#include <optional>
#include <vector>

namespace quorvane::PageOrientation {

// How much readable text one orientation yields. Only lines with text left after trimming count;
// n is such a line's number of user-perceived characters and c its confidence.
struct ProbeStats {
    double score = 0;       // sum of n * (0.25 + 0.75 * c)
    qint64 charCount = 0;   // sum of n
    qint64 lineCount = 0;   // counted lines
    double weightedConf = 0; // sum of n * c

    // The character-weighted mean confidence; 0 without characters.
    double meanConfidence() const { return charCount > 0 ? weightedConf / double(charCount) : 0; }
    bool operator==(const ProbeStats&) const = default;
};

inline constexpr double probeMaxDimension = 1200.0; // longer side of a letter page's probe raster, pixels
inline constexpr double minBestScore = 10.0;        // the winner's least score
inline constexpr double dominanceRatio = 2.0;       // the winner's least multiple of the upright score
inline constexpr double confidenceMargin = 0.15;    // least rise of mean confidence in the fallback

// Orientation detection looks at a copy twice as large as the probe's, on which the x-height of
// 10-point text is about 4 pixels: there it guessed 12 of 21 such pages wrong (upright ones turned,
// sideways ones the wrong way round); on this one, all of them right.
inline constexpr double guessMaxDimension = 2400.0;

// A first pass that reads the page this well shows an upright page: probing it would cost more than
// the page's own recognition (four recognitions) and could only confirm it. Measured first passes
// of linn.png (character-weighted mean confidence, English; with the four default languages and
// script detection in brackets): upright 0.944 (0.951), tilted 1, 2 and 4 degrees 0.935 to 0.947
// (0.945 to 0.956), keystoned 0.950 (0.955); turned 90 and 270 degrees 0.000 (sideways lines
// count for nothing), upside down 0.302 (0.530). The threshold sits between the two groups. The
// character minimum keeps a page with a few confidently read words, where the mean says little,
// in the probe.
inline constexpr double wellReadConfidence = 0.75;
inline constexpr qint64 wellReadMinCharacters = 200;

// True when the first pass has at least wellReadMinCharacters counted characters read at a
// character-weighted mean confidence of at least wellReadConfidence.
bool readsWell(const std::vector<OCRLine>& firstPass);

// A page too short to read well is upright as it is read when that reading is confident
// (shortPageConfidence or more) and orientation detection sees it so: surely (sureUprightGuess or
// more) as it lies, or turned as checkedTurn confirmed. Probing it would only confirm it, at up
// to twice its own time. Measured on 54 short pages (one to six lines, six fonts, 10 to 15
// points) in four orientations: detection guessed every one right, at 0.32 to 11.5; the upright
// first passes read at 0.915 to 0.966, the upside-down ones at 0.175 to 0.722.
inline constexpr double sureUprightGuess = 1.0;
inline constexpr double shortPageConfidence = 0.85;
bool readsConfidently(const std::vector<OCRLine>& lines);

// Orientation detection's guess that a page is turned (OrientationGuess), checked: the turns (the
// guess, or for a sideways guess that reads poorly its opposite) with which the middle of the page
// (half its width and height) reads clearly better than as it lies, as choose() judges it; 0 when
// none does. No confidence of the guess tells every wrong one: on the 1200-pixel copies detection
// once saw, wrong guesses on text pages of bench/OrientationBench --confidences reached 8.9 and
// right ones started at 0.06. On the copies it sees now, every text page there is guessed right,
// at 1.6 or more, but a map is guessed at random, and a page read the wrong way round in four
// languages costs three times its upright reading; the check costs a fifth of it. Its candidates are
// read concurrently at the fast level in the first of the options' languages alone: enough to tell
// text from junk, which is tried in every language. Where the middle has too little text to tell,
// the whole page is read, reduced as for the probe; where neither way reads well in that language,
// and the options detect the language, in the languages detection chooses (a page in another
// script).
int checkedTurn(const Raster& page, int guess, const OCROptions& options, const TextRecognizer& recognizer);

// Clockwise quarter turns (0..3) that make the page upright. No first pass means none is known
// (the page is always probed); an empty first pass, or one that reads well, answers 0 without
// recognising anything. Otherwise the four orientations of the page, downscaled, are recognised
// concurrently at the fast level. Throws the recognizer's error unchanged.
int probe(const Raster& raster, const std::optional<std::vector<OCRLine>>& firstPass, const OCROptions& options,
          const TextRecognizer& recognizer);

// The threads the probe's candidates are recognised on. A recognition that runs beside the probe
// uses them too, so that no more recognitions (and engines) are busy at once than there are cores.
QThreadPool* recognitionPool();

// The raster turned by `turns` clockwise quarter turns (exactly, no resampling); the same raster
// for any number outside 1..3.
Raster rotated(const Raster& raster, int turns);

// The accepted number of turns, index = turns; 0 unless there are exactly four entries and one
// turned orientation wins clearly.
int choose(const std::vector<ProbeStats>& candidates);

ProbeStats stats(const std::vector<OCRLine>& lines);

// The raster scaled down (area averaging) to the pixels of a letter page whose longer side is
// `maxDimension`, so that a till receipt's strip keeps as much detail as a page; the same raster
// when it is no larger.
Raster downscaled(const Raster& raster, double maxDimension);

// The page box after `turns` quarter turns, at the origin.
Rect rotatedBounds(int turns, const Rect& rect);

} // namespace quorvane::PageOrientation
