#pragma once

// Tells which catalog languages a text is written in, from the text alone (CLD2). Used on the
// text a page's first recognition read, so it must put up with the misread accents and split
// words of such text.

#include <QString>
#include <QStringList>

namespace quorvane::LanguageIdentifier {

// The catalog tags of the languages `text` is written in, the one most of it is in first, each
// making up at least a fifth of it; empty when the text is too short or too mixed to tell
// reliably, or its main language is not in the catalog.
QStringList languagesOf(const QString& text);

} // namespace quorvane::LanguageIdentifier
