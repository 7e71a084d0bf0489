#include "core/OCRLanguageCatalog.h"

namespace quorvane::OCRLanguageCatalog {

const QList<Language>& languages() {
    static const QList<Language> catalog = {
        {"en-US", "English"},
        {"zh-Hans", "Chinese (Simplified)"},
        {"zh-Hant", "Chinese (Traditional)"},
        {"ja-JP", "Japanese"},
        {"ko-KR", "Korean"},
        {"ru-RU", "Russian"},
        {"fr-FR", "French"},
        {"de-DE", "German"},
        {"es-ES", "Spanish"},
        {"it-IT", "Italian"},
        {"pt-BR", "Portuguese"},
        {"vi-VT", "Vietnamese"}, // the recognizer's own tag: VT, not VN
        {"uk-UA", "Ukrainian"},
    };
    return catalog;
}

QStringList defaultLanguages() { return {"en-US", "fr-FR", "de-DE", "es-ES"}; }

bool contains(const QString& tag) {
    for (const auto& language : languages()) {
        if (language.tag == tag) {
            return true;
        }
    }
    return false;
}

QStringList sanitized(const QStringList& tags) {
    QStringList result;
    for (const auto& tag : tags) {
        if (contains(tag) && !result.contains(tag)) {
            result.append(tag);
        }
    }
    return result;
}

} // namespace quorvane::OCRLanguageCatalog
