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

bool contains(const QString& tag) { return language(tag).has_value(); }

std::optional<Language> language(const QString& tag) {
    for (const auto& language : languages()) {
        if (language.tag == tag) {
            return language;
        }
    }
    return std::nullopt;
}

QString recognizerCode(const QString& tag) {
    static const QList<std::pair<QString, QString>> codes = {
        {"en-US", "eng"}, {"zh-Hans", "chi_sim"}, {"zh-Hant", "chi_tra"}, {"ja-JP", "jpn"}, {"ko-KR", "kor"},
        {"ru-RU", "rus"}, {"fr-FR", "fra"},       {"de-DE", "deu"},       {"es-ES", "spa"}, {"it-IT", "ita"},
        {"pt-BR", "por"}, {"vi-VT", "vie"},       {"uk-UA", "ukr"},
    };
    for (const auto& [catalogTag, code] : codes) {
        if (catalogTag == tag) {
            return code;
        }
    }
    return {};
}

std::optional<QString> tagFor(const QString& given) {
    const QString wanted = given.trimmed();
    for (const auto& language : languages()) {
        if (language.tag.compare(wanted, Qt::CaseInsensitive) == 0 ||
            recognizerCode(language.tag).compare(wanted, Qt::CaseInsensitive) == 0) {
            return language.tag;
        }
    }
    return std::nullopt;
}

QStringList sanitized(const QStringList& tags) {
    QStringList result;
    for (const auto& given : tags) {
        const auto tag = tagFor(given);
        if (tag && !result.contains(*tag)) {
            result.append(*tag);
        }
    }
    return result;
}

} // namespace quorvane::OCRLanguageCatalog
