#pragma once

// The recognition languages offered to the user, in the order they are shown.

#include <QList>
#include <QString>
#include <QStringList>

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

// Drops tags the catalog does not offer and repeats, keeping first occurrences in order.
QStringList sanitized(const QStringList& tags);

} // namespace quorvane::OCRLanguageCatalog
