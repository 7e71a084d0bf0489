#include "core/CustomWordList.h"

#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QStringDecoder>

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

FileText readFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {.problem = file.errorString()};
    }
    // Read one byte past the limit rather than trust the size: devices and pipes report none.
    const QByteArray bytes = file.read(maximumFileBytes + 1);
    if (file.error() != QFileDevice::NoError) {
        return {.problem = file.errorString()};
    }
    if (bytes.size() > maximumFileBytes) {
        return {.problem = QStringLiteral("it is larger than 1 MiB")};
    }
    const auto encoding = QStringConverter::encodingForData(bytes).value_or(QStringConverter::Utf8);
    QStringDecoder decoder(encoding);
    QString text = decoder.decode(bytes);
    if (decoder.hasError()) {
        return {.problem = QStringLiteral("it is not UTF-8 text")};
    }
    return {.text = std::move(text)};
}

} // namespace quorvane::CustomWordList
