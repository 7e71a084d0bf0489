#include "support/PdfFixtureBuilder.h"

#include <QFile>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>

namespace quorvane::test {

namespace {

QPDFObjectHandle rectangle(const Rect& r) {
    return QPDFObjectHandle::newArray(QPDFObjectHandle::Rectangle(r.minX(), r.minY(), r.maxX(), r.maxY()));
}

std::string contentOf(const FixturePage& page) {
    std::string content = "0 g\n";
    for (const Rect& r : page.blackRects) {
        content += std::to_string(r.x) + " " + std::to_string(r.y) + " " + std::to_string(r.width) + " " +
                   std::to_string(r.height) + " re f\n";
    }
    if (!page.text.isEmpty()) {
        const double top = page.mediaBox.maxY() - 72;
        content += "BT /F1 24 Tf " + std::to_string(page.mediaBox.minX() + 72) + " " + std::to_string(top) +
                   " Td (" + page.text.toStdString() + ") Tj ET\n";
    }
    return content;
}

} // namespace

QPDFObjectHandle newImage(QPDF& pdf, ImageSize size) {
    const size_t rowBytes = static_cast<size_t>((size.width + 7) / 8);
    auto image = pdf.newStream(std::string(rowBytes * static_cast<size_t>(size.height), '\xff'));
    auto dict = image.getDict();
    dict.replaceKey("/Type", QPDFObjectHandle::newName("/XObject"));
    dict.replaceKey("/Subtype", QPDFObjectHandle::newName("/Image"));
    dict.replaceKey("/Width", QPDFObjectHandle::newInteger(size.width));
    dict.replaceKey("/Height", QPDFObjectHandle::newInteger(size.height));
    dict.replaceKey("/ColorSpace", QPDFObjectHandle::newName("/DeviceGray"));
    dict.replaceKey("/BitsPerComponent", QPDFObjectHandle::newInteger(1));
    return image;
}

std::unique_ptr<QPDF> buildPdf(const std::vector<FixturePage>& pages) {
    auto pdf = std::make_unique<QPDF>();
    pdf->emptyPDF();
    QPDFPageDocumentHelper helper(*pdf);
    for (const FixturePage& spec : pages) {
        auto font = QPDFObjectHandle::parse("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>");
        auto xobjects = QPDFObjectHandle::newDictionary();
        for (size_t i = 0; i < spec.images.size(); ++i) {
            xobjects.replaceKey("/Im" + std::to_string(i), newImage(*pdf, spec.images[i]));
        }
        auto resources = QPDFObjectHandle::newDictionary();
        resources.replaceKey("/Font", QPDFObjectHandle::parse("<< >>"));
        resources.getKey("/Font").replaceKey("/F1", font);
        if (!spec.images.empty()) {
            resources.replaceKey("/XObject", xobjects);
        }
        auto page = pdf->makeIndirectObject(QPDFObjectHandle::newDictionary());
        page.replaceKey("/Type", QPDFObjectHandle::newName("/Page"));
        page.replaceKey("/MediaBox", rectangle(spec.mediaBox));
        if (spec.cropBox) {
            page.replaceKey("/CropBox", rectangle(*spec.cropBox));
        }
        if (spec.rotate) {
            page.replaceKey("/Rotate", QPDFObjectHandle::newInteger(*spec.rotate));
        }
        page.replaceKey("/Resources", resources);
        page.replaceKey("/Contents", pdf->newStream(contentOf(spec)));
        helper.addPage(QPDFPageObjectHelper(page), false);
    }
    return pdf;
}

// QPDFWriter keeps the file name pointer until it writes: the bytes must outlive it.
void savePdf(QPDF& pdf, const QString& path) {
    const QByteArray fileName = QFile::encodeName(path);
    QPDFWriter writer(pdf, fileName.constData());
    writer.write();
}

void saveEncryptedPdf(QPDF& pdf, const QString& path, const char* userPassword, const char* ownerPassword) {
    const QByteArray fileName = QFile::encodeName(path);
    QPDFWriter writer(pdf, fileName.constData());
    writer.setR6EncryptionParameters(userPassword, ownerPassword, true, false, false, false, false, false,
                                     qpdf_r3p_none, true);
    writer.write();
}

QString writePdf(const QString& path, const std::vector<FixturePage>& pages) {
    auto pdf = buildPdf(pages);
    savePdf(*pdf, path);
    return path;
}

} // namespace quorvane::test
