#pragma once

// The text recognizer on Tesseract. It keeps no state between calls; the engines it borrows come
// from a process-wide pool, each lent to one thread at a time, so one instance serves every thread.

#include "core/TextRecognizer.h"

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace quorvane {

class TesseractOCRService : public TextRecognizer {
public:
    std::vector<OCRLine> recognize(const Raster& bitmap, const OCROptions& options) const override;

    // Tesseract's orientation detection on the characters it finds first.
    OrientationGuess detectOrientation(const Raster& bitmap) const override;
    OrientationGuess detectOrientationClosely(const Raster& bitmap) const override;

    // Script detection tells Latin from Cyrillic but not French from English, so a French page is
    // read with English leading and loses its accents. With automatic detection on: the options
    // for reading the page of `lines` again, led by the language those lines are written in, when
    // it is installed and did not already lead their reading with `options`; nothing otherwise.
    std::optional<OCROptions> ledByTextLanguage(const std::vector<OCRLine>& lines,
                                                const OCROptions& options) const override;

    // Loads the models a page recognised with `options` will start with (orientation and script
    // detection, the job's languages) into idle engines.
    void prepare(const OCROptions& options) const override;

    // The catalog tags whose language data is installed, in catalog order.
    static QStringList supportedLanguages();

    // The catalog tags to recognise with. Without a detected script: the effective languages that
    // are supported, in their order, or "en-US" alone when none is. With a script (the name
    // Tesseract's script detection reports, e.g. "Latin"): the effective languages written in it,
    // then the other supported ones written in it; as without a script when there are none.
    static QStringList recognitionLanguages(const OCROptions& options, const QStringList& supported,
                                            const QString& detectedScript = {});

    // Tesseract's language string for catalog tags, e.g. "deu+eng" for de-DE, en-US.
    static QString tesseractLanguages(const QStringList& tags);

    // The script the page is written in as Tesseract's script detection names it ("Latin",
    // "Cyrillic", "Han", ...); empty when it cannot tell or its model is not installed.
    static QString detectScript(const Raster& bitmap);
};

} // namespace quorvane
