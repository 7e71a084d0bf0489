#pragma once

// The user's free-form list of extra words, as text and as the recognizer's word array.

#include <QString>
#include <QStringList>
#include <optional>

namespace quorvane::CustomWordList {

// Splits at line feeds, carriage returns, commas, semicolons and tabs; trims each piece;
// drops empty pieces and exact repeats (the first occurrence keeps its place).
QStringList parse(const QString& text);

// The existing words followed by the new, non-empty ones not already present.
QStringList merge(const QStringList& existing, const QStringList& further);

// One word per line, each followed by a line feed; no words give the empty text.
QString text(const QStringList& words);

// A word list file is at most this large: some 100,000 words. The recognizer builds a dictionary
// from the list on every engine, which takes seconds and hundreds of megabytes at that size.
inline constexpr qint64 maximumFileBytes = 1 << 20;

// The text of a word list file, or why it cannot be used.
struct FileText {
    std::optional<QString> text;
    QString problem; // "it is not UTF-8 text", or the system's reason
};
// UTF-8, or UTF-16 or UTF-32 with a byte order mark as some editors save them; the mark is not
// part of the text.
FileText readFile(const QString& path);

} // namespace quorvane::CustomWordList
