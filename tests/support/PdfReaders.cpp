#include "support/PdfReaders.h"

#include "support/RasterFixtures.h"
#include "support/TestSupport.h"

#include <QFile>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextDocumentFragment>
#include <functional>
#include <gtest/gtest.h>
#include <qpdf/QPDF.hh>

namespace quorvane::test {

namespace {

QStringList pageRange(int page) {
    return {"-f", QString::number(page), "-l", QString::number(page)};
}

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
QHash<QString, QRectF> uniqueWords(const std::vector<PdfWord>& words) {
    QHash<QString, int> counts;
    for (const auto& word : words) {
        counts[key(word.text)] += 1;
    }
    QHash<QString, QRectF> unique;
    for (const auto& word : words) {
        const QString k = key(word.text);
        if (k.size() >= 4 && counts.value(k) == 1) {
            unique.insert(k, word.box());
        }
    }
    return unique;
}

double verticalIntersectionOverUnion(const QRectF& a, const QRectF& b) {
    const double intersection = std::min(a.bottom(), b.bottom()) - std::max(a.top(), b.top());
    const double united = std::max(a.bottom(), b.bottom()) - std::min(a.top(), b.top());
    return intersection > 0 && united > 0 ? intersection / united : 0;
}

} // namespace

QString pdfText(const QString& pdfPath, int page) {
    return runProgram("pdftotext", (page > 0 ? pageRange(page) : QStringList()) + QStringList{pdfPath, "-"})
        .standardOutput;
}

std::vector<PdfWord> pdfWords(const QString& pdfPath, int page) {
    const QString html =
        runProgram("pdftotext", QStringList{"-bbox"} + pageRange(page) + QStringList{pdfPath, "-"}).standardOutput;
    static const QRegularExpression wordPattern(QStringLiteral(
        R"re(<word xMin="([-\d.]+)" yMin="([-\d.]+)" xMax="([-\d.]+)" yMax="([-\d.]+)">(.*)</word>)re"));
    std::vector<PdfWord> words;
    for (auto it = wordPattern.globalMatch(html); it.hasNext();) {
        const auto match = it.next();
        words.push_back({QTextDocumentFragment::fromHtml(match.captured(5)).toPlainText(),
                         match.captured(1).toDouble(), match.captured(2).toDouble(),
                         match.captured(3).toDouble(), match.captured(4).toDouble()});
    }
    return words;
}

std::optional<PdfWord> findWord(const std::vector<PdfWord>& words, const QString& text) {
    for (const PdfWord& word : words) {
        if (word.text == text) {
            return word;
        }
    }
    return std::nullopt;
}

std::vector<PdfWord> seenWords(const QString& pdfPath, int page, int dpi) {
    QTemporaryDir folder;
    const QString prefix = folder.filePath("page");
    runProgram("pdftoppm",
               pageRange(page) + QStringList{"-r", QString::number(dpi), "-gray", "-singlefile", pdfPath, prefix});
    const QString tsv = runProgram("tesseract", {prefix + ".pgm", "-", "-l", "eng", "--dpi", QString::number(dpi),
                                                 "--psm", "3", "tsv"})
                            .standardOutput;
    // level page block paragraph line word left top width height confidence text
    std::vector<PdfWord> words;
    const double scale = 72.0 / dpi;
    for (const auto& line : tsv.split('\n')) {
        const QStringList f = line.split('\t');
        if (f.size() < 12 || f[0] != "5" || f[10].toDouble() < 50 || f[11].trimmed().isEmpty()) {
            continue;
        }
        const double x = f[6].toDouble() * scale, y = f[7].toDouble() * scale;
        words.push_back({f[11], x, y, x + f[8].toDouble() * scale, y + f[9].toDouble() * scale});
    }
    return words;
}

QImage renderPage(const QString& pdfPath, int page, int dpi, bool withAnnotations) {
    QTemporaryDir folder;
    const QString prefix = folder.filePath("page");
    const QStringList annotations = withAnnotations ? QStringList{} : QStringList{"-hide-annotations"};
    runProgram("pdftoppm", QStringList{"-cropbox", "-r", QString::number(dpi), "-gray"} + annotations +
                               pageRange(page) + QStringList{"-singlefile", pdfPath, prefix});
    QImage image(prefix + ".pgm");
    return image.isNull() ? image : image.convertToFormat(QImage::Format_Grayscale8);
}

QRect darkArea(const QImage& image) {
    EXPECT_FALSE(image.isNull()) << "nothing was rendered";
    const cv::Rect area = darkArea(rasterFromImage(image));
    return area.empty() ? QRect() : QRect(area.x, area.y, area.width, area.height);
}

PdfPageInfo pdfPageInfo(const QString& pdfPath, int page) {
    const QString output = runProgram("pdfinfo", QStringList{"-box"} + pageRange(page) + QStringList{pdfPath})
                               .standardOutput;
    PdfPageInfo info;
    static const QRegularExpression boxPattern(
        QStringLiteral(R"(Page\s+\d+\s+(\w+Box):\s+([-\d.]+)\s+([-\d.]+)\s+([-\d.]+)\s+([-\d.]+))"));
    for (auto it = boxPattern.globalMatch(output); it.hasNext();) {
        const auto m = it.next();
        const double x0 = m.captured(2).toDouble(), y0 = m.captured(3).toDouble();
        info.boxes[m.captured(1)] = {x0, y0, m.captured(4).toDouble() - x0, m.captured(5).toDouble() - y0};
    }
    static const QRegularExpression rotationPattern(QStringLiteral(R"(Page\s+\d+\s+rot:\s+(\d+))"));
    if (const auto m = rotationPattern.match(output); m.hasMatch()) {
        info.rotation = m.captured(1).toInt();
    }
    return info;
}

int pdfPageCount(const QString& pdfPath) {
    const auto run = runProgram("qpdf", {"--show-npages", pdfPath});
    return run.exitCode == 0 ? run.standardOutput.trimmed().toInt() : -1;
}

QMap<QString, QString> documentInfo(const QString& pdfPath) {
    const auto run = runProgram("pdfinfo", {"-enc", "UTF-8", pdfPath});
    EXPECT_EQ(run.exitCode, 0) << run.standardError.toStdString();
    QMap<QString, QString> info;
    for (const auto& line : run.standardOutput.split('\n')) {
        const auto colon = line.indexOf(':');
        if (colon > 0) {
            info.insert(line.left(colon), line.mid(colon + 1).trimmed());
        }
    }
    return info;
}

QStringList outlineSummary(const QString& pdfPath) {
    const auto run = runProgram("qpdf", {"--json", "--json-key=outlines", pdfPath});
    EXPECT_EQ(run.exitCode, 0) << run.standardError.toStdString();
    QStringList lines;
    const std::function<void(const QJsonArray&, int)> walk = [&](const QJsonArray& entries, int depth) {
        for (const auto& value : entries) {
            const QJsonObject entry = value.toObject();
            QJsonArray view = entry["dest"].toArray();
            if (!view.isEmpty()) {
                view.removeFirst(); // the page object, whose number differs between files
            }
            lines << QString(depth * 2, ' ') + entry["title"].toString() +
                         (entry["open"].toBool() ? " open" : " closed") + " p" +
                         QString::number(entry["destpageposfrom1"].toInt()) + " " +
                         QString::fromUtf8(QJsonDocument(view).toJson(QJsonDocument::Compact));
            walk(entry["kids"].toArray(), depth + 1);
        }
    };
    walk(QJsonDocument::fromJson(run.standardOutput.toUtf8()).object()["outlines"].toArray(), 0);
    return lines;
}

QStringList imageList(const QString& pdfPath) {
    QStringList rows;
    const QStringList lines = runProgram("pdfimages", {"-list", pdfPath}).standardOutput.split('\n');
    for (const auto& line : lines.mid(2)) { // below the header and its rule
        QStringList fields = line.simplified().split(' ');
        if (fields.size() >= 16) {
            fields.remove(10, 2); // object number and generation
            rows << fields.join(' ');
        }
    }
    return rows;
}

double wordOrder(const QString& pdfPath, const QString& truthPath, const QString& sidecarPath) {
    QStringList arguments{corpusPath("../tools/word-order"), pdfPath, truthPath};
    if (!sidecarPath.isEmpty()) {
        arguments << "--sidecar" << sidecarPath;
    }
    bool ok = false;
    const double score = runProgram("python3", arguments).standardOutput.trimmed().toDouble(&ok);
    return ok ? score : -1;
}

QList<QJsonObject> pdfAnnotations(const QString& pdfPath, int page, QString* pageObject) {
    const auto run = runProgram("qpdf", {"--json", "--json-key=pages", "--json-key=qpdf", pdfPath});
    EXPECT_EQ(run.exitCode, 0) << run.standardError.toStdString();
    const QJsonObject json = QJsonDocument::fromJson(run.standardOutput.toUtf8()).object();
    const QJsonObject objects = json["qpdf"].toArray().at(1).toObject();
    const auto resolve = [&](const QJsonValue& value) {
        return value.isString() && value.toString().endsWith(" R") ? objects["obj:" + value.toString()].toObject()["value"]
                                                                   : value;
    };
    const QString pageReference = json["pages"].toArray().at(page - 1).toObject()["object"].toString();
    if (pageObject != nullptr) {
        *pageObject = pageReference;
    }
    QList<QJsonObject> annotations;
    for (const auto& annotation : resolve(resolve(pageReference).toObject()["/Annots"]).toArray()) {
        QJsonObject dictionary = resolve(annotation).toObject();
        dictionary.insert("object", annotation.isString() ? annotation.toString() : QString());
        annotations.append(dictionary);
    }
    return annotations;
}

Rect rectOf(const QJsonValue& array) {
    const QJsonArray r = array.toArray();
    const double x0 = r[0].toDouble(), y0 = r[1].toDouble(), x1 = r[2].toDouble(), y1 = r[3].toDouble();
    return {std::min(x0, x1), std::min(y0, y1), std::abs(x1 - x0), std::abs(y1 - y0)};
}

QByteArrayList imageStreams(const QString& pdfPath) {
    QByteArrayList streams;
    QPDF document;
    document.processFile(QFile::encodeName(pdfPath).constData());
    for (auto& object : document.getAllObjects()) {
        if (object.isStream() && object.getDict().getKey("/Subtype").isNameAndEquals("/Image")) {
            const auto data = object.getRawStreamData();
            streams.append(QByteArray(reinterpret_cast<const char*>(data->getBuffer()),
                                      static_cast<qsizetype>(data->getSize())));
        }
    }
    return streams;
}

void expectCleanPdf(const QString& pdfPath) {
    const auto check = runProgram("qpdf", {"--check", pdfPath});
    EXPECT_EQ(check.exitCode, 0) << check.standardOutput.toStdString() << check.standardError.toStdString();
    EXPECT_FALSE(check.standardOutput.contains("WARNING")) << check.standardOutput.toStdString();
}

Placement comparePlacement(const std::vector<PdfWord>& layer, const std::vector<PdfWord>& seen) {
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
        const bool overlaps = std::min(box.right(), it.value().right()) > std::max(box.left(), it.value().left());
        if (overlaps && verticalIntersectionOverUnion(box, it.value()) >= 0.5) {
            result.onInk += 1;
        }
    }
    return result;
}

} // namespace quorvane::test
