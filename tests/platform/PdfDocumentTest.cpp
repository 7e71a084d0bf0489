#include "platform/PdfDocument.h"

#include "pipeline/PDFPageRasterizer.h"
#include "platform/XmpInformation.h"
#include "support/PdfBuilder.h"
#include "support/PdfReaders.h"
#include "support/TestSupport.h"

#include <QRandomGenerator>
#include <gtest/gtest.h>
#include <qpdf/Buffer.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>

using namespace quorvane;
using namespace quorvane::test;

namespace {

// Everything a caller may ask of an open document, asked at once: nothing may crash.
void exerciseEverything(const PdfDocument& document) {
    (void)document.attributes();
    for (int i = -1; i <= document.pageCount(); ++i) {
        const auto page = document.page(i);
        if (!page) {
            continue;
        }
        (void)page->cropBox();
        (void)page->rotation();
        (void)page->text();
        (void)PDFPageRasterizer::render(*page, 36);
    }
}

} // namespace

// A document with a line of text locked with a user password. Locked means the empty password
// does not open it; the user and the owner password both unlock it, and then Poppler reads the
// decrypted bytes. Plain documents, one restricted by an owner password only, and no, a wrong and
// the right user password are run end to end through quorvane-cli.
TEST(PdfDocumentEncryption, OnlyAUserPasswordLocksAndEitherPasswordUnlocks) {
    QTemporaryDir folder;
    const QString locked = folder.filePath("locked.pdf");
    saveEncryptedPdf(*buildPdf({FixturePage{.text = "Quarterly ledger"}, FixturePage{}}), locked,
                     "user-secret", "owner-secret");
    const auto document = PdfDocument::open(locked);
    ASSERT_TRUE(document);
    EXPECT_TRUE(document->isLocked());
    EXPECT_EQ(document->pageCount(), 0);
    EXPECT_FALSE(document->page(0));
    EXPECT_EQ(document->attributes(), DocumentAttributes{});
    EXPECT_FALSE(document->unlock(""));
    EXPECT_TRUE(document->isLocked());

    const auto again = PdfDocument::open(locked);
    ASSERT_TRUE(again && again->unlock("owner-secret"));
    EXPECT_FALSE(again->isLocked());
    EXPECT_EQ(again->pageCount(), 2);
    EXPECT_TRUE(again->page(0)->text().contains("Quarterly ledger"));
    EXPECT_TRUE(PDFPageRasterizer::render(*again->page(0), 36));
}

// Poppler reads what annotations draw as text too; only the page's own content counts, also when
// it shows its text from inside a form inside a form. Form fields are not drawn for recognition,
// but a box that hides part of the scan goes on hiding it.
TEST(PdfDocument, WhatAnnotationsDrawIsNoTextOfThePageAndFieldsAreNotDrawn) {
    QTemporaryDir folder;
    const QString path = folder.filePath("annotated.pdf");
    auto pdf = buildPdf({FixturePage{.blackRects = {{100, 100, 200, 200}}},
                         FixturePage{.content = "/Outer Do\n", .withAnnotation = true}});
    auto pages = QPDFPageDocumentHelper(*pdf).getAllPages();
    auto comment = QPDFObjectHandle::parse(
        "<< /Type /Annot /Subtype /FreeText /Rect [300 700 500 730] /Contents (Reviewed) /DA (/Helv 12 Tf 0 g) >>");
    const auto drawn = [&](const char* annotation, const char* content, const char* box) {
        auto appearance = pdf->newStream(content);
        appearance.getDict().replaceKey("/BBox", QPDFObjectHandle::parse(box));
        auto dictionary = QPDFObjectHandle::parse(annotation);
        dictionary.replaceKey("/AP", QPDFObjectHandle::newDictionary());
        dictionary.getKey("/AP").replaceKey("/N", appearance);
        return pdf->makeIndirectObject(dictionary);
    };
    auto field = drawn("<< /Type /Annot /Subtype /Widget /FT /Tx /T (Name) /V (Ada) /Rect [300 600 400 630] >>",
                       "0 g 0 0 100 30 re f", "[0 0 100 30]");
    auto cover = drawn("<< /Type /Annot /Subtype /Square /Rect [90 90 310 310] >>", "1 g 0 0 220 220 re f",
                       "[0 0 220 220]");
    pages[0].getObjectHandle().replaceKey(
        "/Annots", QPDFObjectHandle::newArray({pdf->makeIndirectObject(comment), field, cover}));
    pdf->getRoot().replaceKey("/AcroForm", QPDFObjectHandle::newDictionary());
    pdf->getRoot().getKey("/AcroForm").replaceKey("/Fields", QPDFObjectHandle::newArray({field}));
    const auto form = [&](const char* content, const char* name, QPDFObjectHandle inner) {
        auto stream = pdf->newStream(content);
        stream.getDict().replaceKey("/Subtype", QPDFObjectHandle::newName("/Form"));
        stream.getDict().replaceKey("/BBox", QPDFObjectHandle::parse("[0 0 612 792]"));
        stream.getDict().replaceKey("/Resources", QPDFObjectHandle::parse("<< /XObject << >> >>"));
        stream.getDict().getKey("/Resources").replaceKey("/Font", pages[1].getAttribute("/Resources", false).getKey("/Font"));
        stream.getDict().getKey("/Resources").getKey("/XObject").replaceKey(name, inner);
        return stream;
    };
    auto inner = form("BT /F1 24 Tf 72 700 Td (Nested) Tj ET", "/None", QPDFObjectHandle::newNull());
    pages[1].getAttribute("/Resources", false).replaceKey("/XObject", QPDFObjectHandle::parse("<< >>"));
    pages[1].getAttribute("/Resources", false).getKey("/XObject").replaceKey("/Outer", form("/Inner Do", "/Inner", inner));
    savePdf(*pdf, path);
    ASSERT_TRUE(pdfText(path, 1).contains("Reviewed")) << "Poppler's own reading";

    const auto document = PdfDocument::open(path);
    ASSERT_TRUE(document);
    EXPECT_TRUE(document->page(0)->text().trimmed().isEmpty());
    EXPECT_TRUE(document->page(1)->text().contains("Nested"));

    const auto raster = PDFPageRasterizer::render(*document->page(0), 72);
    ASSERT_TRUE(raster);
    double darkest = 0;
    cv::minMaxLoc((*raster)(cv::Rect(300, 162, 100, 30)), &darkest);
    EXPECT_EQ(darkest, 255) << "the field was drawn";
    cv::minMaxLoc((*raster)(cv::Rect(150, 542, 100, 100)), &darkest);
    EXPECT_EQ(darkest, 255) << "the box no longer hides the black square under it";
}

TEST(PdfDocument, WhatIsNoPdfOrTruncatedGivesNothingOrWhatSurvived) {
    QTemporaryDir folder;
    EXPECT_FALSE(PdfDocument::open(folder.filePath("missing.pdf")));
    EXPECT_FALSE(PdfDocument::open(folder.path())); // a folder
    EXPECT_FALSE(PdfDocument::open(corpusPath("linn.png")));
    ASSERT_TRUE(writeFile(folder.filePath("empty.pdf")));
    EXPECT_FALSE(PdfDocument::open(folder.filePath("empty.pdf")));
    const auto writeCut = [&](const QByteArray& bytes, qsizetype length) {
        const QString path = folder.filePath(QString("cut-%1.pdf").arg(length));
        EXPECT_TRUE(writeFile(path, bytes.left(length)));
        return path;
    };

    // linn.pdf keeps its trailer in the last bytes: without it QPDF finds no document.
    const QByteArray linn = readBytes(corpusPath("linn.pdf"));
    ASSERT_FALSE(linn.isEmpty());
    for (const double fraction : {0.05, 0.5, 0.9, 0.999}) {
        SCOPED_TRACE(fraction);
        EXPECT_FALSE(PdfDocument::open(writeCut(linn, static_cast<qsizetype>(linn.size() * fraction))));
    }

    // A file that lost its cross-reference offset and the last page's content keeps its trailer:
    // it opens rebuilt and every question about it still has an answer.
    const QString whole = folder.filePath("whole.pdf");
    ASSERT_TRUE(writePdf(whole, {FixturePage{.text = "First"}, FixturePage{.text = "Second"},
                                 FixturePage{.blackRects = {{0, 0, 612, 792}}}}));
    const QByteArray bytes = readBytes(whole);
    for (const QByteArray& cutBefore : {QByteArray("startxref"), QByteArray("%%EOF")}) {
        SCOPED_TRACE(cutBefore.toStdString());
        const auto document = PdfDocument::open(writeCut(bytes, bytes.lastIndexOf(cutBefore)));
        ASSERT_TRUE(document);
        EXPECT_EQ(document->pageCount(), 3);
        EXPECT_TRUE(document->page(1)->text().contains("Second"));
        exerciseEverything(*document);
    }
}

TEST(PdfDocument, DamagedObjectsInsideAValidFileDoNotCrash) {
    QTemporaryDir folder;
    auto pdf = buildPdf({FixturePage{.images = {{2550, 3300}}}});
    auto page = pdf->getAllPages().at(0);
    page.replaceKey("/Rotate", QPDFObjectHandle::newString("ninety"));
    page.replaceKey("/CropBox", QPDFObjectHandle::parse("[0 0 /foo]"));
    page.replaceKey("/MediaBox", QPDFObjectHandle::newNull());
    page.replaceKey("/Contents", pdf->newStream("q 1 0 0 RG BT /Nope 12 Tf (unbalanced Tj ] ] Q Q Q"));
    pdf->getTrailer().replaceKey("/Info", QPDFObjectHandle::parse("<< /Title 7 /Author << /x 1 >> >>"));
    const QString path = folder.filePath("odd.pdf");
    savePdf(*pdf, path);

    const auto document = PdfDocument::open(path);
    ASSERT_TRUE(document);
    EXPECT_EQ(document->page(0)->rotation(), 0);
    EXPECT_EQ(document->page(0)->cropBox(), (Rect{0, 0, 612, 792})); // US Letter, as Poppler shows it
    EXPECT_EQ(document->attributes(), DocumentAttributes{});
    const auto raster = PDFPageRasterizer::render(*document->page(0), 72);
    ASSERT_TRUE(raster);
    EXPECT_EQ(raster->cols, 612);
    EXPECT_EQ(raster->rows, 792);
}

// Newer writers may keep the title, author, subject and keywords in the XMP metadata only; the
// information dictionary still wins where it has them. Of titles in several languages, the default.
TEST(PdfDocument, InformationKeptOnlyInXmpMetadataIsRead) {
    const QByteArray packet = R"(<x:xmpmeta xmlns:x="adobe:ns:meta/"><rdf:RDF
        xmlns:rdf="http://www.w3.org/1999/02/22-rdf-syntax-ns#" xmlns:dc="http://purl.org/dc/elements/1.1/"
        xmlns:pdf="http://ns.adobe.com/pdf/1.3/"><rdf:Description pdf:Keywords="tax; 2025, scan">
        <dc:title><rdf:Alt><rdf:li xml:lang="de">Bericht</rdf:li><rdf:li xml:lang="x-default">Report</rdf:li>
        </rdf:Alt></dc:title><dc:creator><rdf:Seq><rdf:li>Ann</rdf:li><rdf:li>Bo</rdf:li></rdf:Seq></dc:creator>
        <dc:description><rdf:Alt><rdf:li xml:lang="x-default">Yearly</rdf:li></rdf:Alt></dc:description>
        <dc:subject><rdf:Bag><rdf:li>ignored</rdf:li></rdf:Bag></dc:subject></rdf:Description></rdf:RDF></x:xmpmeta>)";
    QTemporaryDir folder;
    auto pdf = buildPdf({FixturePage{}});
    pdf->getRoot().replaceKey("/Metadata", pdf->newStream(packet.toStdString()));
    pdf->getTrailer().replaceKey("/Info",
                                 pdf->makeIndirectObject(QPDFObjectHandle::parse("<< /Author (Info) >>")));
    savePdf(*pdf, folder.filePath("xmp.pdf"));
    const auto document = PdfDocument::open(folder.filePath("xmp.pdf"));
    ASSERT_TRUE(document);
    const DocumentAttributes read = document->attributes();
    EXPECT_EQ(read.title, "Report");
    EXPECT_EQ(read.author, "Info");
    EXPECT_EQ(read.subject, "Yearly");
    EXPECT_EQ(read.keywords, (QStringList{"tax", "2025", "scan"}));

    QByteArray bagOnly = packet;
    bagOnly.replace("pdf:Keywords=", "pdf:Other=");
    EXPECT_EQ(XmpInformation::parse(bagOnly).keywords, QStringList{"ignored"});
    EXPECT_EQ(XmpInformation::parse(bagOnly.left(300)).title, std::nullopt); // cut short within the title
    EXPECT_EQ(XmpInformation::parse(bagOnly.left(600)).title, "Report");     // damaged after it
}

// Bytes overwritten at random places (a fixed seed, so every run sees the same files) in a
// document with text, an image, a crop box and a rotation: each copy opens or not, and whatever
// opens answers every question.
TEST(PdfDocument, CorruptedCopiesNeverCrash) {
    QTemporaryDir folder;
    auto pdf = buildPdf({FixturePage{.cropBox = Rect{10, 10, 500, 700}, .rotate = 90,
                                     .blackRects = {{50, 50, 100, 100}}, .text = "Damaged", .images = {{64, 64}}},
                         FixturePage{.text = "Second"}});
    auto info = pdf->makeIndirectObject(QPDFObjectHandle::parse("<< /Title (Kept) /Keywords (a, b) >>"));
    pdf->getTrailer().replaceKey("/Info", info);
    QPDFWriter writer(*pdf);
    writer.setOutputMemory();
    writer.setCompressStreams(false); // readable content streams make more interesting damage
    writer.write();
    const auto buffer = writer.getBufferSharedPointer();
    const QByteArray original(reinterpret_cast<const char*>(buffer->getBuffer()),
                              static_cast<qsizetype>(buffer->getSize()));

    QRandomGenerator random(20240611);
    const QByteArray junk = " <<>>[]()/0-9.Re\n\r%";
    int opened = 0;
    for (int copy = 0; copy < 60; ++copy) {
        QByteArray bytes = original;
        const int changes = 1 + static_cast<int>(random.bounded(8));
        for (int i = 0; i < changes; ++i) {
            const auto at = static_cast<qsizetype>(random.bounded(static_cast<quint32>(bytes.size())));
            bytes[at] = junk[static_cast<qsizetype>(random.bounded(static_cast<quint32>(junk.size())))];
        }
        const QString path = folder.filePath(QString("copy%1.pdf").arg(copy));
        ASSERT_TRUE(writeFile(path, bytes));
        if (const auto document = PdfDocument::open(path)) {
            ++opened;
            exerciseEverything(*document);
        }
    }
    EXPECT_GT(opened, 30); // most single-byte damage is repaired by both libraries
}
