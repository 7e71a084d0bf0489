#include "e2e/TextLayerSupport.h"

#include "support/TestSupport.h"

#include <QHash>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <algorithm>

namespace quorvane::test {

namespace {

// Letters and digits only, lower case: punctuation is attached differently by the two readers.
QString key(const QString& word) {
    QString result;
    for (const QChar c : word) {
        if (c.isLetterOrNumber()) {
            result += c.toLower();
        }
    }
    return result;
}

// The words whose key has four or more characters and occurs once only.
QHash<QString, QRectF> uniqueWords(const QList<PlacedWord>& words) {
    QHash<QString, int> counts;
    for (const auto& word : words) {
        counts[key(word.text)] += 1;
    }
    QHash<QString, QRectF> unique;
    for (const auto& word : words) {
        const QString k = key(word.text);
        if (k.size() >= 4 && counts.value(k) == 1) {
            unique.insert(k, word.box);
        }
    }
    return unique;
}

double verticalIntersectionOverUnion(const QRectF& a, const QRectF& b) {
    const double intersection = std::min(a.bottom(), b.bottom()) - std::max(a.top(), b.top());
    const double united = std::max(a.bottom(), b.bottom()) - std::min(a.top(), b.top());
    return intersection > 0 && united > 0 ? intersection / united : 0;
}

bool overlapsHorizontally(const QRectF& a, const QRectF& b) {
    return std::min(a.right(), b.right()) > std::max(a.left(), b.left());
}

} // namespace

QList<PlacedWord> layerWords(const QString& pdf, int page) {
    const QString html =
        runProgram("pdftotext", {"-bbox", "-f", QString::number(page), "-l", QString::number(page), pdf, "-"})
            .standardOutput;
    static const QRegularExpression word(
        R"re(<word xMin="([-\d.]+)" yMin="([-\d.]+)" xMax="([-\d.]+)" yMax="([-\d.]+)">([^<]*)</word>)re");
    QList<PlacedWord> words;
    auto it = word.globalMatch(html);
    while (it.hasNext()) {
        const auto m = it.next();
        words.append({m.captured(5), QRectF(QPointF(m.captured(1).toDouble(), m.captured(2).toDouble()),
                                            QPointF(m.captured(3).toDouble(), m.captured(4).toDouble()))});
    }
    return words;
}

QList<PlacedWord> seenWords(const QString& pdf, int page, int dpi) {
    QTemporaryDir folder;
    const QString prefix = folder.filePath("page");
    runProgram("pdftoppm", {"-f", QString::number(page), "-l", QString::number(page), "-r",
                            QString::number(dpi), "-gray", "-singlefile", pdf, prefix});
    const QString tsv = runProgram("tesseract", {prefix + ".pgm", "-", "-l", "eng", "--dpi",
                                                 QString::number(dpi), "--psm", "3", "tsv"})
                            .standardOutput;
    // level page block paragraph line word left top width height confidence text
    QList<PlacedWord> words;
    const double scale = 72.0 / dpi;
    for (const auto& line : tsv.split('\n')) {
        const QStringList f = line.split('\t');
        if (f.size() < 12 || f[0] != "5" || f[10].toDouble() < 50 || f[11].trimmed().isEmpty()) {
            continue;
        }
        words.append({f[11], QRectF(f[6].toDouble() * scale, f[7].toDouble() * scale, f[8].toDouble() * scale,
                                    f[9].toDouble() * scale)});
    }
    return words;
}

Placement comparePlacement(const QList<PlacedWord>& layer, const QList<PlacedWord>& seen) {
    Placement result;
    const auto layered = uniqueWords(layer);
    const auto found = uniqueWords(seen);
    for (auto it = found.begin(); it != found.end(); ++it) {
        result.seenLongWords += 1;
        result.uprightWords += it.value().width() > it.value().height() ? 1 : 0;
        if (!layered.contains(it.key())) {
            continue;
        }
        const QRectF& box = layered.value(it.key());
        result.matched += 1;
        if (overlapsHorizontally(box, it.value()) && verticalIntersectionOverUnion(box, it.value()) >= 0.5) {
            result.onInk += 1;
        }
    }
    return result;
}

} // namespace quorvane::test
