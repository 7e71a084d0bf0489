#pragma once

// The recognition languages offered to the user, in the order they are shown.

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace quorvane::OCRLanguageCatalog {

struct Language {
    QString tag;  // the recognizer's language identifier, e.g. "en-US"
    QString name; // English display name
    bool operator==(const Language&) const = default;
};

const QList<Language>& languages();

// en-US, fr-FR, de-DE, es-ES: what a fresh user recognises with.
QStringList defaultLanguages();

bool contains(const QString& tag);

// The catalog language of `tag`; nothing for tags the catalog does not offer.
std::optional<Language> language(const QString& tag);

// The recognizer's (Tesseract's) code of a catalog tag ("de-DE" gives "deu"); empty for other tags.
QString recognizerCode(const QString& tag);

// The catalog tag a user means: a tag in any letter case, or the recognizer's code ("fra" is
// fr-FR); nothing for anything else.
std::optional<QString> tagFor(const QString& given);

// The tags meant (as tagFor), without what the catalog does not offer and without repeats,
// keeping first occurrences in order.
QStringList sanitized(const QStringList& tags);

} // namespace quorvane::OCRLanguageCatalog
