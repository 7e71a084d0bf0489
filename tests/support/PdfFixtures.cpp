#include "support/PdfFixtures.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>
#include <qpdf/QUtil.hh>

namespace quorvane::test {

namespace {

QFont fontOfPixelHeight(int pixels) {
    QFont font(QStringLiteral("DejaVu Serif"));
    font.setPixelSize(std::max(pixels, 4));
    return font;
}

QPDFObjectHandle imageObject(QPDF& pdf, const QImage& image) {
    const QImage grey = image.convertToFormat(QImage::Format_Grayscale8);
    std::string data;
    data.reserve(static_cast<size_t>(grey.width() * grey.height()));
    for (int y = 0; y < grey.height(); ++y) {
        data.append(reinterpret_cast<const char*>(grey.constScanLine(y)), static_cast<size_t>(grey.width()));
    }
    auto stream = QPDFObjectHandle::newStream(&pdf, data);
    auto dict = stream.getDict();
    dict.replaceKey("/Type", QPDFObjectHandle::newName("/XObject"));
    dict.replaceKey("/Subtype", QPDFObjectHandle::newName("/Image"));
    dict.replaceKey("/Width", QPDFObjectHandle::newInteger(grey.width()));
    dict.replaceKey("/Height", QPDFObjectHandle::newInteger(grey.height()));
    dict.replaceKey("/ColorSpace", QPDFObjectHandle::newName("/DeviceGray"));
    dict.replaceKey("/BitsPerComponent", QPDFObjectHandle::newInteger(8));
    return stream;
}

std::string pdfString(const QString& text) {
    std::string escaped;
    for (const char c : text.toLatin1()) {
        if (c == '(' || c == ')' || c == '\\') {
            escaped += '\\';
        }
        escaped += c;
    }
    return escaped;
}

} // namespace

QImage renderWords(QSize size, const QList<Word>& words) {
    QImage image(size, QImage::Format_Grayscale8);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setPen(Qt::black);
    for (const auto& word : words) {
        painter.setFont(fontOfPixelHeight(word.pixels.height()));
        painter.drawText(word.pixels, Qt::AlignLeft | Qt::AlignVCenter, word.text);
    }
    return image;
}

QImage renderParagraph(QSize size, const QStringList& lines, int pixelHeight) {
    QList<Word> words;
    int y = pixelHeight * 2;
    for (const auto& line : lines) {
        words.append({QRect(pixelHeight * 2, y, size.width() - pixelHeight * 4, pixelHeight), line});
        y += pixelHeight * 2;
    }
    return renderWords(size, words);
}

bool writePdf(const QString& path, const QList<FixturePage>& pages) {
    try {
        QPDF pdf;
        pdf.emptyPDF();
        QPDFPageDocumentHelper document(pdf);
        for (const auto& fixture : pages) {
            auto resources = QPDFObjectHandle::newDictionary();
            std::string content;
            if (!fixture.image.isNull()) {
                auto xobjects = QPDFObjectHandle::newDictionary();
                xobjects.replaceKey("/Im0", imageObject(pdf, fixture.image));
                resources.replaceKey("/XObject", xobjects);
                const QRectF r = fixture.imageRect.value_or(QRectF(0, 0, fixture.width, fixture.height));
                content += "q " + QUtil::double_to_string(r.width()) + " 0 0 " + QUtil::double_to_string(r.height()) +
                           " " + QUtil::double_to_string(r.x()) + " " + QUtil::double_to_string(r.y()) +
                           " cm /Im0 Do Q\n";
            }
            if (!fixture.textLayer.isEmpty()) {
                auto font = QPDFObjectHandle::parse("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica "
                                                    "/Encoding /WinAnsiEncoding >>");
                auto fonts = QPDFObjectHandle::newDictionary();
                fonts.replaceKey("/F1", pdf.makeIndirectObject(font));
                resources.replaceKey("/Font", fonts);
                content += "BT /F1 12 Tf 72 " + QUtil::double_to_string(fixture.height - 72) + " Td (" +
                           pdfString(fixture.textLayer) + ") Tj ET\n";
            }
            auto page = QPDFObjectHandle::newDictionary();
            page.replaceKey("/Type", QPDFObjectHandle::newName("/Page"));
            page.replaceKey("/MediaBox", QPDFObjectHandle::newArray(QPDFObjectHandle::Rectangle(
                                             0, 0, fixture.width, fixture.height)));
            if (fixture.cropBox) {
                const QRectF& c = *fixture.cropBox;
                page.replaceKey("/CropBox", QPDFObjectHandle::newArray(QPDFObjectHandle::Rectangle(
                                                c.left(), c.top(), c.right(), c.bottom())));
            }
            if (fixture.rotate != 0) {
                page.replaceKey("/Rotate", QPDFObjectHandle::newInteger(fixture.rotate));
            }
            page.replaceKey("/Resources", resources);
            page.replaceKey("/Contents", QPDFObjectHandle::newStream(&pdf, content));
            document.addPage(QPDFPageObjectHelper(pdf.makeIndirectObject(page)), false);
        }
        QPDFWriter writer(pdf, path.toLocal8Bit().constData());
        writer.write();
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

} // namespace quorvane::test
