#include "support/TestPdfBuilder.h"

#include "support/TestSupport.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextDocumentFragment>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <qpdf/QPDFWriter.hh>

namespace quorvane::test {

namespace {

using Object = QPDFObjectHandle;

Object rectangle(const Rect& r) {
    return Object::newFromRectangle({r.minX(), r.minY(), r.maxX(), r.maxY()});
}

std::string num(double v) {
    return QByteArray::number(v, 'f', 3).toStdString();
}

} // namespace

std::string blackRectangle(const Rect& r) {
    return "0 g " + num(r.x) + " " + num(r.y) + " " + num(r.width) + " " + num(r.height) + " re f\n";
}

void writeVectorPdf(const QString& path, const std::vector<VectorPage>& pages) {
    QPDF pdf;
    pdf.emptyPDF();
    Object font = pdf.makeIndirectObject(Object::parse("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica "
                                                       "/Encoding /WinAnsiEncoding >>"));
    std::string pixels;
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
            pixels.push_back(static_cast<char>((x * 16 + y * 7) & 0xFF));
        }
    }
    Object image = pdf.newStream(pixels);
    image.getDict().replaceKey("/Type", Object::newName("/XObject"));
    image.getDict().replaceKey("/Subtype", Object::newName("/Image"));
    image.getDict().replaceKey("/Width", Object::newInteger(16));
    image.getDict().replaceKey("/Height", Object::newInteger(16));
    image.getDict().replaceKey("/ColorSpace", Object::newName("/DeviceGray"));
    image.getDict().replaceKey("/BitsPerComponent", Object::newInteger(8));

    for (const VectorPage& spec : pages) {
        Object resources = Object::newDictionary();
        resources.replaceKey("/Font", Object::parse("<< >>"));
        resources.getKey("/Font").replaceKey("/F1", font);
        if (spec.withImage) {
            resources.replaceKey("/XObject", Object::newDictionary());
            resources.getKey("/XObject").replaceKey("/Im0", image);
        }
        Object page = Object::newDictionary();
        page.replaceKey("/Type", Object::newName("/Page"));
        page.replaceKey("/MediaBox", rectangle(spec.mediaBox));
        if (spec.cropBox) {
            page.replaceKey("/CropBox", rectangle(*spec.cropBox));
        }
        if (spec.rotate != 0) {
            page.replaceKey("/Rotate", Object::newInteger(spec.rotate));
        }
        page.replaceKey("/Resources", resources);
        page.replaceKey("/Contents", pdf.newStream(spec.content));
        if (spec.withAnnotation) {
            page.replaceKey(
                "/Annots",
                Object::parse("[ << /Type /Annot /Subtype /Link /Rect [ 10 10 50 50 ] /Border [ 0 0 0 ] "
                              "/A << /S /URI /URI (https://example.com/) >> >> ]"));
        }
        QPDFPageDocumentHelper(pdf).addPage(QPDFPageObjectHelper(pdf.makeIndirectObject(page)), false);
    }
    QPDFWriter writer(pdf, QFile::encodeName(path).constData());
    writer.write();
}

QImage renderPage(const QString& pdfPath, int page, int dpi) {
    QTemporaryDir folder;
    const QString prefix = folder.filePath("page");
    runProgram("pdftoppm",
               {"-cropbox", "-hide-annotations", "-r", QString::number(dpi), "-gray", "-f",
                QString::number(page), "-l", QString::number(page), "-singlefile", pdfPath, prefix});
    QImage image(prefix + ".pgm");
    return image.isNull() ? image : image.convertToFormat(QImage::Format_Grayscale8);
}

QRect darkArea(const QImage& image) {
    QRect area;
    for (int y = 0; y < image.height(); ++y) {
        const uchar* row = image.constScanLine(y);
        for (int x = 0; x < image.width(); ++x) {
            if (row[x] < 128) {
                area = area.united(QRect(x, y, 1, 1));
            }
        }
    }
    return area;
}

std::vector<PdfWord> pdfWords(const QString& pdfPath, int page) {
    const QString html = runProgram("pdftotext", {"-bbox", "-f", QString::number(page), "-l",
                                                  QString::number(page), pdfPath, "-"})
                             .standardOutput;
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

PdfPageInfo pdfPageInfo(const QString& pdfPath, int page) {
    const QString output =
        runProgram("pdfinfo", {"-box", "-f", QString::number(page), "-l", QString::number(page), pdfPath})
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

} // namespace quorvane::test
