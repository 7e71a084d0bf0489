#include "platform/LanguageIdentifier.h"

#include "core/OCRLanguageCatalog.h"

#include <cstdio> // the CLD2 header uses FILE without including it
#include <cld2/public/compact_lang_det.h>
#include <optional>

namespace quorvane::LanguageIdentifier {

namespace {

// A language that makes up less of a page than this is a quotation or a name, not one the page
// is written in.
constexpr int minimumShare = 20;

// CLD2 names languages by their primary code ("fr"), Traditional Chinese by "zh-Hant": the
// catalog tag is the one spelled so, else the first whose primary subtag it is ("zh" gives zh-Hans).
std::optional<QString> catalogTag(const char* code) {
    const QString cld2Code = QString::fromLatin1(code);
    const auto& languages = OCRLanguageCatalog::languages();
    for (const auto& language : languages) {
        if (language.tag == cld2Code) {
            return language.tag;
        }
    }
    for (const auto& language : languages) {
        if (language.tag.section(QLatin1Char('-'), 0, 0) == cld2Code) {
            return language.tag;
        }
    }
    return std::nullopt;
}

} // namespace

QStringList languagesOf(const QString& text) {
    const QByteArray utf8 = text.toUtf8(); // valid UTF-8 by construction, as CLD2 requires
    CLD2::Language top3[3];
    int percent3[3] = {0, 0, 0};
    int textBytes = 0;
    bool reliable = false;
    const CLD2::Language language = CLD2::DetectLanguageSummary(utf8.constData(), int(utf8.size()), true, top3,
                                                                percent3, &textBytes, &reliable);
    QStringList tags;
    if (!reliable || language == CLD2::UNKNOWN_LANGUAGE) {
        return tags;
    }
    for (int i = 0; i < 3; ++i) {
        const auto tag = catalogTag(CLD2::LanguageCode(top3[i]));
        if (i == 0 && !tag) {
            break;
        }
        if (tag && percent3[i] >= minimumShare && !tags.contains(*tag)) {
            tags << *tag;
        }
    }
    return tags;
}

} // namespace quorvane::LanguageIdentifier
