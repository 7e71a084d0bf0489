#include "corrections/PageOrientation.h"

#include <QTextBoundaryFinder>
#include <QThread>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <exception>

namespace quorvane::PageOrientation {

namespace {

// The candidate recognitions get their own threads, so a page task waiting for them never holds
// up its own work; one thread per core, at most one per candidate.
class CandidatePool : public QThreadPool {
public:
    CandidatePool() { setMaxThreadCount(std::clamp(QThread::idealThreadCount(), 1, 4)); }
};
Q_GLOBAL_STATIC(CandidatePool, candidatePool)

} // namespace

QThreadPool* recognitionPool() { return candidatePool(); }

namespace {

// QtConcurrent passes on only its own exception type, so each candidate carries its error back.
struct Candidate {
    std::vector<OCRLine> lines;
    std::exception_ptr error;
};

qint64 characterCount(const QString& text) {
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qint64 count = 0;
    while (finder.toNextBoundary() != -1) {
        ++count;
    }
    return count;
}

} // namespace

bool readsWell(const std::vector<OCRLine>& firstPass) {
    const ProbeStats s = stats(firstPass);
    return s.charCount >= wellReadMinCharacters && s.meanConfidence() >= wellReadConfidence;
}

bool readsConfidently(const std::vector<OCRLine>& lines) {
    return stats(lines).meanConfidence() >= shortPageConfidence;
}

namespace {

// The stats of `image` read at the fast level in each of these turns, concurrently; index = turns,
// empty stats for the turns not read.
std::vector<ProbeStats> readTurned(const Raster& image, const std::vector<int>& turnsToRead, const OCROptions& options,
                                   const TextRecognizer& recognizer) {
    OCROptions fast = options;
    fast.recognitionLevel = OCRRecognitionLevel::fast;
    std::vector<QFuture<Candidate>> futures;
    for (const int turns : turnsToRead) {
        futures.push_back(QtConcurrent::run(recognitionPool(), [&recognizer, &fast, image, turns] {
            Candidate candidate;
            try {
                candidate.lines = recognizer.recognize(rotated(image, turns), fast);
            } catch (...) {
                candidate.error = std::current_exception();
            }
            return candidate;
        }));
    }
    // Every candidate is waited for before anything is thrown: they borrow this frame's options.
    std::vector<Candidate> candidates;
    for (auto& future : futures) {
        candidates.push_back(future.result());
    }
    std::vector<ProbeStats> all(4);
    for (std::size_t i = 0; i < candidates.size(); ++i) {
        if (candidates[i].error) {
            std::rethrow_exception(candidates[i].error);
        }
        all[std::size_t(turnsToRead[i])] = stats(candidates[i].lines);
    }
    return all;
}

} // namespace

int checkedTurn(const Raster& page, int guess, const OCROptions& options, const TextRecognizer& recognizer) {
    if (guess < 1 || guess > 3 || page.empty()) {
        return 0;
    }
    OCROptions firstLanguage = options;
    firstLanguage.languages = options.languages.mid(0, 1);
    firstLanguage.automaticallyDetectsLanguage = false;
    const cv::Rect middle(page.cols / 4, page.rows / 4, std::max(1, page.cols / 2), std::max(1, page.rows / 2));
    Raster part = page(middle).clone();
    std::vector<ProbeStats> candidates = readTurned(part, {0, guess}, firstLanguage, recognizer);
    // Too little text in the middle to tell (a short letter at the top of its page, a note in a
    // corner): the whole page, reduced as for the probe.
    if (std::max(candidates[0].score, candidates[std::size_t(guess)].score) < minBestScore) {
        part = downscaled(page, probeMaxDimension);
        candidates = readTurned(part, {0, guess}, firstLanguage, recognizer);
    }
    const auto readsWellTurned = [&](int turns) {
        return candidates[std::size_t(turns)].meanConfidence() >= wellReadConfidence;
    };
    // Neither way reads well in the first language: the text may be in another script (a Chinese
    // page with English leading), which script detection tells. Few pages get this far since
    // detection sees a larger copy, so its cost (every language tried on junk) is rarely paid.
    const OCROptions* checking = &firstLanguage;
    if (!readsWellTurned(0) && !readsWellTurned(guess) && options.automaticallyDetectsLanguage) {
        checking = &options;
        candidates = readTurned(part, {0, guess}, options, recognizer);
    }
    const bool readsWellAsGuessed = readsWellTurned(guess);
    // A sideways page the wrong way round is upside down, which beats sideways lines (they count
    // for nothing) without reading well: then the other way is read too.
    if (guess != 2 && choose(candidates) == guess && !readsWellAsGuessed) {
        const int opposite = 4 - guess;
        candidates[std::size_t(opposite)] = readTurned(part, {opposite}, *checking, recognizer)[std::size_t(opposite)];
    }
    return choose(candidates);
}

int probe(const Raster& raster, const std::optional<std::vector<OCRLine>>& firstPass, const OCROptions& options,
          const TextRecognizer& recognizer) {
    if (firstPass && (firstPass->empty() || readsWell(*firstPass))) {
        return 0;
    }
    return choose(readTurned(downscaled(raster, probeMaxDimension), {0, 1, 2, 3}, options, recognizer));
}

Raster rotated(const Raster& raster, int turns) {
    static constexpr cv::RotateFlags flags[] = {cv::ROTATE_90_CLOCKWISE, cv::ROTATE_180,
                                                cv::ROTATE_90_COUNTERCLOCKWISE};
    if (turns < 1 || turns > 3 || raster.empty()) {
        return raster;
    }
    try {
        Raster result;
        cv::rotate(raster, result, flags[turns - 1]);
        return result;
    } catch (const cv::Exception&) {
        return raster;
    } catch (const std::bad_alloc&) {
        return raster;
    }
}

int choose(const std::vector<ProbeStats>& candidates) {
    if (candidates.size() != 4) {
        return 0;
    }
    const ProbeStats& upright = candidates[0];
    int best = 0;
    double bestScore = std::max(upright.score, -1.0);
    for (int k = 1; k < 4; ++k) {
        if (candidates[std::size_t(k)].score > bestScore) {
            best = k; // ties keep the lower number of turns
        }
        bestScore = std::max(bestScore, candidates[std::size_t(k)].score);
    }
    if (best == 0 || bestScore < minBestScore) {
        return 0;
    }

    // A clear win: a multiple of the upright score, or a little readable text where there was none.
    if (upright.score <= 1.0 ? bestScore >= 2.0 : bestScore >= dominanceRatio * upright.score) {
        return best;
    }

    // Otherwise the winner must read with clearly higher confidence and on enough lines.
    const ProbeStats& winner = candidates[std::size_t(best)];
    if (upright.charCount < 1 || winner.charCount < 1) {
        return 0;
    }
    if (winner.meanConfidence() < upright.meanConfidence() + confidenceMargin) {
        return 0;
    }
    if (upright.lineCount <= 1) {
        return winner.lineCount > 0 ? best : 0;
    }
    return winner.lineCount < upright.lineCount / 2 ? 0 : best;
}

ProbeStats stats(const std::vector<OCRLine>& lines) {
    ProbeStats result;
    for (const auto& line : lines) {
        const qint64 n = characterCount(line.text.trimmed());
        if (n > 0) {
            const double c = double(line.confidence);
            result.lineCount += 1;
            result.charCount += n;
            result.score += double(n) * (0.25 + 0.75 * c);
            result.weightedConf += double(n) * c;
        }
    }
    return result;
}

Raster downscaled(const Raster& raster, double maxDimension) {
    const double scale = letterPixelsScale(raster.cols, raster.rows, maxDimension);
    if (!(scale < 1) || raster.empty()) {
        return raster;
    }
    const int width = std::max(1, int(std::lround(raster.cols * scale)));
    const int height = std::max(1, int(std::lround(raster.rows * scale)));
    try {
        Raster result;
        cv::resize(raster, result, cv::Size(width, height), 0, 0, cv::INTER_AREA);
        return result;
    } catch (const cv::Exception&) {
        return raster;
    } catch (const std::bad_alloc&) {
        return raster;
    }
}

Rect rotatedBounds(int turns, const Rect& rect) {
    if (turns == 1 || turns == 3) {
        return {0, 0, rect.height, rect.width};
    }
    return {0, 0, rect.width, rect.height};
}

} // namespace quorvane::PageOrientation
