#pragma once

// The complete, self-contained option set of one recognition job.

#include "core/Geometry.h"

#include <QString>
#include <QStringList>
#include <optional>

namespace quorvane {

enum class OCRRecognitionLevel { accurate, fast };

inline constexpr OCRRecognitionLevel allRecognitionLevels[] = {OCRRecognitionLevel::accurate,
                                                               OCRRecognitionLevel::fast};

QString rawValue(OCRRecognitionLevel level);
QString displayName(OCRRecognitionLevel level);

enum class PreprocessStrength { off, conservative, standard, aggressive };

inline constexpr PreprocessStrength allPreprocessStrengths[] = {
    PreprocessStrength::off, PreprocessStrength::conservative, PreprocessStrength::standard,
    PreprocessStrength::aggressive};

QString rawValue(PreprocessStrength strength);
QString displayName(PreprocessStrength strength);

// Field defaults are those of a fresh user's settings.
struct OCROptions {
    OCRRecognitionLevel recognitionLevel = OCRRecognitionLevel::accurate;
    QStringList languages = {"en-US", "fr-FR", "de-DE", "es-ES"};
    bool automaticallyDetectsLanguage = true;
    bool usesLanguageCorrection = false;
    QStringList customWords;
    PreprocessStrength preprocessing = PreprocessStrength::conservative;
    bool autoRotate = true;
    bool deskew = true;
    bool perspective = true;
    std::optional<Rect> region;
    bool writesTextSidecar = false;
    bool pdfAExport = false;

    // The languages the recognizer works from: `languages`, or "en-US" alone when there are none.
    QStringList effectiveLanguages() const;

    bool operator==(const OCROptions&) const = default;
};

} // namespace quorvane
