// What quorvane-cli carries over from a source PDF besides its pages: the outline, the title,
// author, subject and keywords, the links, notes and form fields, and the protection, read back
// with qpdf and poppler-utils; the creator is Quorvane, nothing else of the source's information
// survives, and --srgb adds the one output intent.

#include "e2e/CliSupport.h"
#include "support/PdfBuilder.h"
#include "support/PdfReaders.h"
#include "support/QtPrinting.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <tuple>
#include <gtest/gtest.h>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>

using namespace quorvane::test;
using quorvane::Rect;

namespace {

void setInfo(QPDF& pdf, const char* key, const QString& value) {
    pdf.getTrailer().getKey("/Info").replaceKey(key, QPDFObjectHandle::newUnicodeString(value.toStdString()));
}

// Every output has Quorvane as its creator and none of its source's producer, dates or XMP.
void expectOnlyOurCreator(const QMap<QString, QString>& info) {
    EXPECT_EQ(info.value("Creator"), "Quorvane");
    for (const char* key : {"Producer", "CreationDate", "ModDate"}) {
        EXPECT_FALSE(info.contains(key)) << key << ": " << info.value(key).toStdString();
    }
    EXPECT_EQ(info.value("Metadata Stream"), "no");
}

void expectNear(const Rect& actual, const Rect& expected, double tolerance) {
    EXPECT_NEAR(actual.minX(), expected.minX(), tolerance);
    EXPECT_NEAR(actual.minY(), expected.minY(), tolerance);
    EXPECT_NEAR(actual.maxX(), expected.maxX(), tolerance);
    EXPECT_NEAR(actual.maxY(), expected.maxY(), tolerance);
}

class DocumentInfo : public ::testing::Test {
protected:
    QTemporaryDir folder;
    QString source(const QString& name) const { return folder.filePath("sources/" + name); }
    void SetUp() override { ASSERT_TRUE(QDir().mkpath(folder.filePath("sources"))); }
};

} // namespace

TEST_F(DocumentInfo, OutlineTitleAuthorSubjectAndKeywordsSurviveAndNothingElse) {
    const QString sources = folder.filePath("sources"), outputs = folder.filePath("searchable");
    for (const char* name : {"toc.pdf", "meta.pdf", "missing_docinfo.pdf"}) {
        copyCorpusFile(name, sources);
    }
    // Beside meta.pdf's ASCII subject: a title and keywords that need UTF-16, and an author in
    // PDFDocEncoding beyond ASCII.
    const QString accentedTitle = "Überblick — 東京の地図", accentedAuthor = "Zoë Ångström";
    const QString accentedKeywords = "invoice, März 2024, 東京";
    editPdf(source("meta.pdf"), [&](QPDF& pdf) {
        setInfo(pdf, "/Title", accentedTitle);
        setInfo(pdf, "/Author", accentedAuthor);
        setInfo(pdf, "/Keywords", accentedKeywords);
    });
    // A document without an information dictionary that needs recognition: missing_docinfo.pdf's
    // page followed by a scanned one.
    const QString scan = folder.filePath("scan.pdf");
    ASSERT_TRUE(writeScan(scan, "Harbour committee minutes"));
    ASSERT_EQ(runProgram("qpdf", {corpusPath("missing_docinfo.pdf"), "--pages", ".", scan, "--",
                                  source("no_info_scan.pdf")})
                  .exitCode,
              0);
    ASSERT_FALSE(documentInfo(source("no_info_scan.pdf")).contains("Creator"));

    const auto run = runCli(plainRecognition + QStringList{"-o", outputs, sources});
    ASSERT_EQ(run.result.exitCode, 0) << run.result.standardError.toStdString();
    EXPECT_TRUE(run.leftoverTemporaryFiles.isEmpty()) << run.leftoverTemporaryFiles.join(", ").toStdString();

    // The outline: same titles, nesting, open state, and each destination on the page of the same
    // index. (Entries shown collapsed: DocumentOutline.)
    const QStringList outline = outlineSummary(source("toc.pdf"));
    ASSERT_GE(outline.size(), 6);
    EXPECT_EQ(outlineSummary(searchableOutput(outputs, "toc.pdf")), outline);
    expectOnlyOurCreator(documentInfo(searchableOutput(outputs, "toc.pdf")));

    // Title, author, subject and keywords, whatever their script and encoding.
    const auto meta = documentInfo(searchableOutput(outputs, "meta.pdf"));
    EXPECT_EQ(meta.value("Title"), accentedTitle);
    EXPECT_EQ(meta.value("Author"), accentedAuthor);
    EXPECT_EQ(meta.value("Keywords"), accentedKeywords);
    EXPECT_EQ(meta.value("Subject"), "t49vimctvnuH7ZeAjAkv52ACvWFjcnm5MPJr");
    expectOnlyOurCreator(meta);

    // Without an information dictionary: an already searchable file is left alone, one that needs
    // recognition gets just the creator.
    EXPECT_TRUE(says(run.result.standardOutput, "missing_docinfo.pdf: Already searchable"));
    EXPECT_FALSE(QFile::exists(searchableOutput(outputs, "missing_docinfo.pdf")));
    const auto bare = documentInfo(searchableOutput(outputs, "no_info_scan.pdf"));
    expectOnlyOurCreator(bare);
    for (const char* key : {"Title", "Author", "Subject", "Keywords"}) {
        EXPECT_FALSE(bare.contains(key)) << key;
    }
    EXPECT_EQ(bare.value("Pages"), "2");
    EXPECT_TRUE(pdfText(searchableOutput(outputs, "no_info_scan.pdf"), 1).contains("This file has no /DocumentInfo block"));
    EXPECT_TRUE(pdfText(searchableOutput(outputs, "no_info_scan.pdf"), 2).contains("committee", Qt::CaseInsensitive));

    // No output intent unless asked for.
    for (const auto& name : QDir(outputs).entryList(QDir::Files)) {
        EXPECT_EQ(runProgram("qpdf", {"--check", outputs + "/" + name}).exitCode, 0) << name.toStdString();
        QPDF pdf;
        pdf.processFile(QFile::encodeName(outputs + "/" + name).constData());
        EXPECT_FALSE(pdf.getRoot().hasKey("/OutputIntents")) << name.toStdString();
    }
    EXPECT_EQ(QDir(outputs).entryList(QDir::Files).size(), 3);
}

// A password-protected source gives a copy protected the same way (passwords, permissions,
// method), whose outline and information read as the source's with the password; a source that
// only restricts permissions gives a copy that opens freely, with the same restrictions. --srgb
// adds the one output intent to such a copy.
TEST_F(DocumentInfo, ALockedSourceKeepsItsProtectionOutlineAndInformation) {
    const QString outputs = folder.filePath("searchable");
    for (const char* name : {"toc.pdf", "meta.pdf"}) {
        ASSERT_EQ(runProgram("qpdf", {"--encrypt", "sesame", "owner-secret", "256", "--", corpusPath(name),
                                      source(QString("locked-") + name)})
                      .exitCode,
                  0);
    }
    ASSERT_EQ(runProgram("qpdf", {"--encrypt", "", "owner-secret", "256", "--print=none", "--modify=none", "--",
                                  corpusPath("meta.pdf"), source("restricted-meta.pdf")})
                  .exitCode,
              0);
    for (const char* name : {"locked-toc.pdf", "locked-meta.pdf", "restricted-meta.pdf"}) {
        const auto run =
            runCli(plainRecognition + QStringList{"--srgb", "--password", "-o", outputs, source(name)}, "sesame\n");
        ASSERT_EQ(run.result.exitCode, 0) << run.result.standardError.toStdString();
        EXPECT_TRUE(run.leftoverTemporaryFiles.isEmpty());
        for (const char* password : {"sesame", "owner-secret"}) {
            const auto protection = [&](const QString& path) {
                return runProgram("qpdf", {"--show-encryption", QString("--password=") + password, path}).standardOutput;
            };
            EXPECT_EQ(protection(searchableOutput(outputs, name)), protection(source(name))) << name << password;
        }
    }
    EXPECT_TRUE(runProgram("qpdf", {"--show-encryption", searchableOutput(outputs, "restricted-meta.pdf")})
                    .standardOutput.contains("print high resolution: not allowed"));
    const QString restricted = searchableOutput(outputs, "restricted-meta.pdf");
    QPDF pdf;
    pdf.processFile(QFile::encodeName(restricted).constData());
    auto intents = pdf.getRoot().getKey("/OutputIntents");
    ASSERT_EQ(intents.isArray() ? intents.getArrayNItems() : 0, 1);
    EXPECT_TRUE(intents.getArrayItem(0).getKey("/S").isNameAndEquals("/GTS_PDFA1"));
    EXPECT_EQ(intents.getArrayItem(0).getKey("/OutputConditionIdentifier").getUTF8Value(), "sRGB IEC61966-2.1");
    EXPECT_EQ(intents.getArrayItem(0).getKey("/Info").getUTF8Value(), "sRGB IEC61966-2.1");
    expectCleanPdf(restricted);

    const auto unlocked = [&](const char* name) {
        const QString plain = folder.filePath(QString("plain-") + name);
        EXPECT_EQ(runProgram("qpdf", {"--password=sesame", "--decrypt", searchableOutput(outputs, name), plain}).exitCode, 0);
        return plain;
    };
    EXPECT_EQ(outlineSummary(unlocked("locked-toc.pdf")), outlineSummary(corpusPath("toc.pdf")));
    const auto before = documentInfo(corpusPath("meta.pdf"));
    for (const auto& after : {documentInfo(unlocked("locked-meta.pdf")),
                              documentInfo(searchableOutput(outputs, "restricted-meta.pdf"))}) {
        for (const char* key : {"Title", "Author", "Subject", "Keywords"}) {
            EXPECT_EQ(after.value(key), before.value(key)) << key;
        }
        expectOnlyOurCreator(after);
    }
}

// Links, notes and form fields stay on their pages where readers show them: on linn.pdf's page,
// on a small scan turned by /Rotate 90 within a crop box, and on a two-page scanned form whose
// filled-in, calculated field is shown on both pages (its value is no text of the scan's own), and a
// damaged one that is left out.
// The note draws a black square, so where it lands can be seen.
TEST_F(DocumentInfo, LinksNotesAndFormFieldsStayInPlace) {
    // A link and a note, given as [x0 y0 x1 y1] in the page's own space.
    const auto annotate = [&](const QString& path, const char* link, const char* note, bool turned) {
        editPdf(path, [&](QPDF& pdf) {
            auto page = pdf.getRoot().getKey("/Pages").getKey("/Kids").getArrayItem(0);
            auto square = pdf.newStream("0 g 0 0 40 40 re f");
            square.getDict().replaceKey("/BBox", QPDFObjectHandle::parse("[0 0 40 40]"));
            auto text = QPDFObjectHandle::parse("<< /Type /Annot /Subtype /Text /Contents (Check) >>");
            text.replaceKey("/Rect", QPDFObjectHandle::parse(note));
            text.replaceKey("/AP", QPDFObjectHandle::newDictionary());
            text.getKey("/AP").replaceKey("/N", square);
            auto web = QPDFObjectHandle::parse(
                "<< /Type /Annot /Subtype /Link /Border [0 0 0] /A << /S /URI /URI (https://example.com/) >> >>");
            web.replaceKey("/Rect", QPDFObjectHandle::parse(link));
            page.replaceKey("/Annots", QPDFObjectHandle::newArray({pdf.makeIndirectObject(web), pdf.makeIndirectObject(text)}));
            if (turned) {
                page.replaceKey("/Rotate", QPDFObjectHandle::newInteger(90));
                page.replaceKey("/CropBox", QPDFObjectHandle::parse("[6 6 300 138]"));
            }
        });
    };
    annotate(copyCorpusFile("linn.pdf", folder.filePath("sources")), "[300 300 400 320]", "[100 600 140 640]", false);
    annotate(smallScan(folder.filePath("sources"), "turned.pdf"), "[200 80 300 100]", "[100 60 140 100]", true);
    const QString form = smallScan(folder.filePath("sources"), "form.pdf");
    editPdf(form, [](QPDF& pdf) {
        QPDFPageDocumentHelper pages(pdf);
        pages.addPage(pdf.makeIndirectObject(pages.getAllPages()[0].getObjectHandle().shallowCopy()), false);
        auto field = pdf.makeIndirectObject(QPDFObjectHandle::parse(
            "<< /FT /Tx /T (Name) /TU (Your name) /V (Ada Lovelace) /DA (/Helv 10 Tf 0 g) /Kids [] "
            "/AA << /C << /S /JavaScript /JS (event.value = total();) >> >> >>"));
        for (auto& page : pages.getAllPages()) {
            auto widget = pdf.makeIndirectObject(
                QPDFObjectHandle::parse("<< /Type /Annot /Subtype /Widget /Rect [20 20 120 40] /F 4 >>"));
            widget.replaceKey("/Parent", field);
            field.getKey("/Kids").appendItem(widget);
            page.getObjectHandle().replaceKey("/Annots", QPDFObjectHandle::newArray({widget}));
        }
        // Damage, left out: a field whose parent is the page tree (QPDF made a hole of its copy,
        // which brought the program down).
        auto broken = pdf.makeIndirectObject(QPDFObjectHandle::parse("<< /FT /Tx /T (Broken) >>"));
        broken.replaceKey("/Parent", pdf.getRoot().getKey("/Pages"));
        auto brokenWidget = pdf.makeIndirectObject(
            QPDFObjectHandle::parse("<< /Type /Annot /Subtype /Widget /Rect [20 60 120 80] >>"));
        brokenWidget.replaceKey("/Parent", broken);
        broken.replaceKey("/Kids", QPDFObjectHandle::newArray({brokenWidget}));
        pages.getAllPages()[1].getObjectHandle().getKey("/Annots").appendItem(brokenWidget);
        auto acroForm = QPDFObjectHandle::parse("<< /DA (/Helv 0 Tf 0 g) /NeedAppearances true "
                                                "/DR << /Font << /Helv << /Type /Font /Subtype /Type1 /BaseFont /Helvetica >> >> >> >>");
        acroForm.replaceKey("/Fields", QPDFObjectHandle::newArray({field, broken}));
        acroForm.replaceKey("/CO", QPDFObjectHandle::newArray({field}));
        pdf.getRoot().replaceKey("/AcroForm", acroForm);
        pdf.getRoot().replaceKey("/Names", QPDFObjectHandle::parse(
            "<< /JavaScript << /Names [(total) << /S /JavaScript /JS (function total() { return 1; }) >>] >> >>"));
    });
    const QString outputs = folder.filePath("searchable");
    const auto run = runCli(plainRecognition + QStringList{"-o", outputs, folder.filePath("sources")});
    ASSERT_EQ(run.result.exitCode, 0) << run.result.standardError.toStdString();

    // Display space of the turned page: x = y - 6 and y = 300 - x of the page's own space.
    for (const auto& [name, link, note] : {std::tuple<QString, Rect, Rect>{"linn.pdf", {300, 300, 100, 20}, {100, 600, 40, 40}},
                                          {"turned.pdf", {74, 0, 20, 100}, {54, 160, 40, 40}}}) {
        SCOPED_TRACE(name.toStdString());
        const QString output = searchableOutput(outputs, name);
        const auto annotations = pdfAnnotations(output, 1);
        ASSERT_EQ(annotations.size(), 2);
        EXPECT_EQ(annotations[0]["/A"].toObject()["/URI"].toString(), "u:https://example.com/");
        expectNear(rectOf(annotations[0]["/Rect"]), link, 0.01);
        expectNear(rectOf(annotations[1]["/Rect"]), note, 0.01);
        // What the note adds to the rendered page: its square, where its rectangle says.
        const QImage bare = renderPage(output, 1), shown = renderPage(output, 1, 72, true);
        QRect added;
        for (int y = 0; y < shown.height(); ++y) {
            for (int x = 0; x < shown.width(); ++x) {
                if (shown.pixelColor(x, y) != bare.pixelColor(x, y)) {
                    added = added.united(QRect(x, y, 1, 1));
                }
            }
        }
        const double pageHeight = pdfPageInfo(output, 1).boxes.value("MediaBox").height;
        expectNear(Rect{double(added.x()), double(added.y()), double(added.width()), double(added.height())},
                   Rect{note.x, pageHeight - note.maxY(), 40, 40}, 1);
    }
    const QString formOutput = searchableOutput(outputs, "form.pdf");
    EXPECT_EQ(documentInfo(formOutput).value("Form"), "AcroForm");
    // One field still, with a widget on each page, not one field per page.
    const auto fields = QJsonDocument::fromJson(
        runProgram("qpdf", {"--json", "--json-key=acroform", formOutput}).standardOutput.toUtf8())["acroform"]["fields"].toArray();
    ASSERT_EQ(fields.size(), 2);
    for (int page = 1; page <= 2; ++page) {
        const QJsonObject widget = fields[page - 1].toObject();
        EXPECT_EQ(widget["fullname"].toString(), "Name");
        EXPECT_EQ(widget["value"].toString(), "u:Ada Lovelace");
        EXPECT_EQ(widget["pageposfrom1"].toInt(), page);
        EXPECT_EQ(widget["parent"], fields[0].toObject()["parent"]);
    }
    // The field still computes its value, in the form's order, with the document's scripts.
    QPDF written;
    written.processFile(QFile::encodeName(formOutput).constData());
    EXPECT_TRUE(written.getRoot().getKey("/Names").getKey("/JavaScript").isDictionary());
    auto order = written.getRoot().getKey("/AcroForm").getKey("/CO");
    ASSERT_EQ(order.isArray() ? order.getArrayNItems() : 0, 1);
    EXPECT_EQ(order.getArrayItem(0).getKey("/T").getUTF8Value(), "Name");
    EXPECT_EQ(order.getArrayItem(0).getKey("/TU").getUTF8Value(), "Your name");
    EXPECT_TRUE(pdfText(formOutput, 2).contains("committee", Qt::CaseInsensitive));
}
