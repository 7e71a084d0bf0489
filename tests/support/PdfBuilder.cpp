#include "support/PdfBuilder.h"

#include "support/RasterFixtures.h"

#include <QFile>
#include <gtest/gtest.h>
#include <qpdf/Pl_Buffer.hh>
#include <qpdf/Pl_Flate.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>
#include <qpdf/QUtil.hh>

namespace quorvane::test {

namespace {

using Object = QPDFObjectHandle;

Object rectangle(const Rect& r) {
    return Object::newArray(Object::Rectangle(r.minX(), r.minY(), r.maxX(), r.maxY()));
}

std::string num(double v) { return QUtil::double_to_string(v); }

Object greyImage(QPDF& pdf, const std::string& samples, int width, int height, int bitsPerSample) {
    auto stream = pdf.newStream(samples);
    stream.replaceDict(Object::parse("<< /Type /XObject /Subtype /Image /ColorSpace /DeviceGray /Width " +
                                     std::to_string(width) + " /Height " + std::to_string(height) +
                                     " /BitsPerComponent " + std::to_string(bitsPerSample) + " >>"));
    return stream;
}

Object scanObject(QPDF& pdf, const QImage& image) {
    const QImage grey = image.convertToFormat(QImage::Format_Grayscale8);
    std::string data;
    for (int y = 0; y < grey.height(); ++y) {
        data.append(reinterpret_cast<const char*>(grey.constScanLine(y)), static_cast<size_t>(grey.width()));
    }
    return greyImage(pdf, data, grey.width(), grey.height(), 8);
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

std::string contentOf(const FixturePage& page) {
    std::string content = page.content;
    if (!page.image.isNull()) {
        const Rect r = page.imageRect.value_or(page.mediaBox);
        content += "q " + num(r.width) + " 0 0 " + num(r.height) + " " + num(r.x) + " " + num(r.y) +
                   " cm /Scan Do Q\n";
    }
    content += "0 g\n";
    for (const Rect& r : page.blackRects) {
        content += num(r.x) + " " + num(r.y) + " " + num(r.width) + " " + num(r.height) + " re f\n";
    }
    if (!page.text.isEmpty()) {
        content += "BT /F1 24 Tf " + num(page.mediaBox.minX() + 72) + " " + num(page.mediaBox.maxY() - 72) +
                   " Td (" + pdfString(page.text) + ") Tj ET\n";
    }
    return content;
}

} // namespace

QPDFObjectHandle newImage(QPDF& pdf, ImageSize size) {
    const size_t rowBytes = static_cast<size_t>((size.width + 7) / 8);
    return greyImage(pdf, std::string(rowBytes * static_cast<size_t>(size.height), '\xff'), size.width,
                     size.height, 1);
}

std::unique_ptr<QPDF> buildPdf(const std::vector<FixturePage>& pages) {
    auto pdf = std::make_unique<QPDF>();
    pdf->emptyPDF();
    const Object font = pdf->makeIndirectObject(
        Object::parse("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>"));
    QPDFPageDocumentHelper helper(*pdf);
    for (const FixturePage& fixture : pages) {
        auto resources = Object::newDictionary();
        resources.replaceKey("/Font", Object::newDictionary());
        resources.getKey("/Font").replaceKey("/F1", font);
        if (!fixture.images.empty() || !fixture.image.isNull()) {
            auto xobjects = Object::newDictionary();
            for (size_t i = 0; i < fixture.images.size(); ++i) {
                xobjects.replaceKey("/Im" + std::to_string(i), newImage(*pdf, fixture.images[i]));
            }
            if (!fixture.image.isNull()) {
                xobjects.replaceKey("/Scan", scanObject(*pdf, fixture.image));
            }
            resources.replaceKey("/XObject", xobjects);
        }
        auto page = pdf->makeIndirectObject(Object::newDictionary());
        page.replaceKey("/Type", Object::newName("/Page"));
        page.replaceKey("/MediaBox", rectangle(fixture.mediaBox));
        if (fixture.cropBox) {
            page.replaceKey("/CropBox", rectangle(*fixture.cropBox));
        }
        if (fixture.rotate) {
            page.replaceKey("/Rotate", Object::newInteger(*fixture.rotate));
        }
        page.replaceKey("/Resources", resources);
        page.replaceKey("/Contents", pdf->newStream(contentOf(fixture)));
        if (fixture.withAnnotation) {
            page.replaceKey("/Annots",
                            Object::parse("[ << /Type /Annot /Subtype /Link /Rect [ 10 10 50 50 ] /Border [ 0 0 0 ] "
                                          "/A << /S /URI /URI (https://example.com/) >> >> ]"));
        }
        helper.addPage(QPDFPageObjectHelper(page), false);
    }
    return pdf;
}

void fillWithRunawayPattern(QPDF& pdf, int index) {
    QPDFPageObjectHelper page = QPDFPageDocumentHelper(pdf).getAllPages().at(static_cast<size_t>(index));
    auto tile = pdf.newStream("0 0 0.0001 0.0001 re f");
    tile.getDict().replaceKey("/PatternType", Object::newInteger(1));
    tile.getDict().replaceKey("/PaintType", Object::newInteger(1));
    tile.getDict().replaceKey("/TilingType", Object::newInteger(1));
    tile.getDict().replaceKey("/BBox", Object::parse("[0 0 0.0001 0.0001]"));
    tile.getDict().replaceKey("/XStep", Object::newReal(0.0001, 4));
    tile.getDict().replaceKey("/YStep", Object::newReal(0.0001, 4));
    tile.getDict().replaceKey("/Resources", Object::newDictionary());
    auto patterns = Object::newDictionary();
    patterns.replaceKey("/P1", tile);
    page.getObjectHandle().getKey("/Resources").replaceKey("/Pattern", patterns);
    page.getObjectHandle().replaceKey("/Contents", pdf.newStream("/Pattern cs /P1 scn 0 0 612 792 re f"));
}

void replaceContentWithZeros(QPDF& pdf, int index, long long zeros) {
    QPDFPageObjectHelper page = QPDFPageDocumentHelper(pdf).getAllPages().at(static_cast<size_t>(index));
    Pl_Buffer compressed("compressed zeros");
    Pl_Flate deflate("deflate", &compressed, Pl_Flate::a_deflate);
    const std::string block(1 << 20, '\0');
    for (long long left = zeros; left > 0; left -= static_cast<long long>(block.size())) {
        deflate.write(reinterpret_cast<const unsigned char*>(block.data()),
                      static_cast<size_t>(std::min<long long>(left, static_cast<long long>(block.size()))));
    }
    deflate.finish();
    auto content = pdf.newStream();
    content.replaceStreamData(compressed.getBufferSharedPointer(), Object::newName("/FlateDecode"), Object::newNull());
    page.getObjectHandle().replaceKey("/Contents", content);
}

QByteArray handWrittenPdf(const std::vector<QByteArray>& objects) {
    QByteArray pdf = "%PDF-1.7\n";
    QByteArray table = "xref\n0 " + QByteArray::number(static_cast<qsizetype>(objects.size()) + 1) +
                       "\n0000000000 65535 f \n";
    for (size_t i = 0; i < objects.size(); ++i) {
        table += QByteArray::number(pdf.size()).rightJustified(10, '0') + " 00000 n \n";
        pdf += QByteArray::number(static_cast<qsizetype>(i) + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
    }
    const QByteArray start = QByteArray::number(pdf.size());
    return pdf + table + "trailer\n<< /Size " + QByteArray::number(static_cast<qsizetype>(objects.size()) + 1) +
           " /Root 1 0 R >>\nstartxref\n" + start + "\n%%EOF\n";
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

void editPdf(const QString& path, const std::function<void(QPDF&)>& change) {
    QPDF pdf;
    pdf.processFile(QFile::encodeName(path).constData());
    change(pdf);
    savePdf(pdf, path + ".new");
    ASSERT_TRUE(QFile::remove(path) && QFile::rename(path + ".new", path));
}

bool writePdf(const QString& path, const std::vector<FixturePage>& pages, const char* password) {
    try {
        const auto pdf = buildPdf(pages);
        password ? saveEncryptedPdf(*pdf, path, password, "owner") : savePdf(*pdf, path);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

FixturePage scanPage(const Raster& raster, int rotate) {
    return {.mediaBox = {0, 0, raster.cols * 72.0 / 300, raster.rows * 72.0 / 300},
            .rotate = rotate,
            .image = imageFromRaster(raster)};
}

bool writeScan(const QString& path, const QString& words, const char* password) {
    const FixturePage page{.mediaBox = {0, 0, 306, 144}, .image = renderParagraph(QSize(1275, 600), {words}, 50)};
    return writePdf(path, {page}, password);
}

QString smallScan(const QString& folder, const QString& name, const char* password) {
    const QString path = folder + "/" + name;
    EXPECT_TRUE(writeScan(path, QStringLiteral("Minutes of the committee"), password));
    return path;
}

SavedPdf::SavedPdf(QPDF& pdf, const QString& name) : path(folder.filePath(name)) {
    savePdf(pdf, path);
    document = PdfDocument::open(path);
}

std::unique_ptr<QPDF> pageCopies(const PdfDocument& source, int count) {
    auto copy = std::make_unique<QPDF>();
    copy->emptyPDF();
    QPDFPageDocumentHelper pages(*copy);
    const int total = count < 0 ? source.pageCount() : std::min(count, source.pageCount());
    for (int index = 0; index < total; ++index) {
        pages.addPage(source.page(index)->pageObject(), false);
    }
    return copy;
}

} // namespace quorvane::test
