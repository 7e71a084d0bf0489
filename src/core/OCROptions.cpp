#include "core/OCROptions.h"

namespace quorvane {

QString rawValue(OCRRecognitionLevel level) {
    return level == OCRRecognitionLevel::fast ? QStringLiteral("fast") : QStringLiteral("accurate");
}

QString displayName(OCRRecognitionLevel level) {
    return level == OCRRecognitionLevel::fast ? QStringLiteral("Fast")
                                              : QStringLiteral("Accurate (recommended)");
}

QString rawValue(PreprocessStrength strength) {
    switch (strength) {
    case PreprocessStrength::off: return QStringLiteral("off");
    case PreprocessStrength::conservative: return QStringLiteral("conservative");
    case PreprocessStrength::standard: return QStringLiteral("standard");
    case PreprocessStrength::aggressive: return QStringLiteral("aggressive");
    }
    return {};
}

QString displayName(PreprocessStrength strength) {
    switch (strength) {
    case PreprocessStrength::off: return QStringLiteral("Off");
    case PreprocessStrength::conservative: return QStringLiteral("Conservative (recommended)");
    case PreprocessStrength::standard: return QStringLiteral("Standard");
    case PreprocessStrength::aggressive: return QStringLiteral("Aggressive");
    }
    return {};
}

QStringList OCROptions::effectiveLanguages() const {
    return languages.isEmpty() ? QStringList{QStringLiteral("en-US")} : languages;
}

} // namespace quorvane
