#pragma once

// The user's free-form list of extra words, as text and as the recognizer's word array.

#include <QString>
#include <QStringList>

namespace quorvane::CustomWordList {

// Splits at line feeds, carriage returns, commas, semicolons and tabs; trims each piece;
// drops empty pieces and exact repeats (the first occurrence keeps its place).
QStringList parse(const QString& text);

// The existing words followed by the new, non-empty ones not already present.
QStringList merge(const QStringList& existing, const QStringList& further);

// One word per line, each followed by a line feed; no words give the empty text.
QString text(const QStringList& words);

} // namespace quorvane::CustomWordList
