#include "core/CustomWordList.h"

#include <QRegularExpression>
#include <QSet>

namespace quorvane::CustomWordList {

namespace {

QStringList keepFirstNonEmpty(const QStringList& pieces) {
    QStringList kept;
    QSet<QString> seen;
    for (const auto& piece : pieces) {
        const QString word = piece.trimmed();
        if (!word.isEmpty() && !seen.contains(word)) {
            seen.insert(word);
            kept.append(word);
        }
    }
    return kept;
}

} // namespace

QStringList parse(const QString& text) {
    static const QRegularExpression separators(QStringLiteral("[\\n\\r,;\\t]"));
    return keepFirstNonEmpty(text.split(separators));
}

QStringList merge(const QStringList& existing, const QStringList& further) {
    return keepFirstNonEmpty(existing + further);
}

QString text(const QStringList& words) {
    QString result;
    for (const auto& word : words) {
        result += word + QLatin1Char('\n');
    }
    return result;
}

} // namespace quorvane::CustomWordList
