// What quorvane-cli carries over from a source PDF besides its pages: the outline, the title,
// author, subject and keywords, read back with qpdf --json and pdfinfo; the creator is Quorvane,
// nothing else of the source's information survives, and --srgb adds the one output intent.

#include "e2e/CliSupport.h"
#include "support/PdfBuilder.h"
#include "support/PdfReaders.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QMap>
#include <functional>
#include <gtest/gtest.h>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFOutlineDocumentHelper.hh>

using namespace quorvane::test;

namespace {

// Edits a PDF in place with QPDF.
void rewrite(const QString& path, const std::function<void(QPDF&)>& change) {
    QPDF pdf;
    pdf.processFile(QFile::encodeName(path).constData());
    change(pdf);
    const QString edited = path + ".new";
    savePdf(pdf, edited);
    QFile::remove(path);
    QFile::rename(edited, path);
}

// toc.pdf with two entries folded: " " (its children hidden) and "Deeper".
void foldEntries(QPDF& pdf) {
    const std::function<void(std::vector<QPDFOutlineObjectHelper>)> visit = [&](auto entries) {
        for (auto& entry : entries) {
            const std::string title = entry.getTitle();
            if (title == " ") {
                entry.getObjectHandle().replaceKey("/Count", QPDFObjectHandle::newInteger(-2));
            } else if (title == "Deeper") {
                entry.getObjectHandle().replaceKey("/Count", QPDFObjectHandle::newInteger(-1));
            }
            visit(entry.getKids());
        }
    };
    visit(QPDFOutlineDocumentHelper(pdf).getTopLevelOutlines());
}

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
    ASSERT_TRUE(QFile::copy(corpusPath("toc.pdf"), source("folded.pdf")));
    rewrite(source("folded.pdf"), foldEntries);
    ASSERT_TRUE(outlineSummary(source("folded.pdf")).join('\n').contains(" closed "));
    ASSERT_TRUE(QFile::copy(corpusPath("meta.pdf"), source("accented.pdf")));
    const QString accentedTitle = "Überblick — 東京の地図", accentedAuthor = "Zoë Ångström";
    const QString accentedKeywords = "invoice, März 2024, 東京";
    rewrite(source("accented.pdf"), [&](QPDF& pdf) {
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

    // The outline: same titles, nesting, open state, and each destination on the page of the same index.
    for (const char* name : {"toc.pdf", "folded.pdf"}) {
        SCOPED_TRACE(name);
        const QStringList before = outlineSummary(source(name));
        ASSERT_GE(before.size(), 6);
        EXPECT_EQ(outlineSummary(searchableOutput(outputs, name)), before);
        expectOnlyOurCreator(documentInfo(searchableOutput(outputs, name)));
    }

    // Title, author, subject and keywords, whatever their script.
    for (const char* name : {"meta.pdf", "accented.pdf"}) {
        SCOPED_TRACE(name);
        const auto before = documentInfo(source(name));
        const auto after = documentInfo(searchableOutput(outputs, name));
        for (const char* key : {"Title", "Author", "Subject", "Keywords"}) {
            EXPECT_FALSE(before.value(key).isEmpty()) << key;
            EXPECT_EQ(after.value(key), before.value(key)) << key;
        }
        expectOnlyOurCreator(after);
        EXPECT_TRUE(runProgram("qpdf", {"--show-object=trailer", searchableOutput(outputs, name)}).standardOutput.contains("/Info"));
    }
    EXPECT_EQ(documentInfo(searchableOutput(outputs, "accented.pdf")).value("Title"), accentedTitle);
    EXPECT_EQ(documentInfo(searchableOutput(outputs, "accented.pdf")).value("Author"), accentedAuthor);
    EXPECT_EQ(documentInfo(searchableOutput(outputs, "accented.pdf")).value("Keywords"), accentedKeywords);

    // Without an information dictionary: an already searchable file is left alone, one that needs
    // recognition gets just the creator.
    EXPECT_TRUE(run.result.standardOutput.contains("missing_docinfo.pdf: Already searchable"))
        << run.result.standardOutput.toStdString();
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
    EXPECT_EQ(QDir(outputs).entryList(QDir::Files).size(), 5);
}

// In a password-protected source the titles and the information are encrypted strings: they
// arrive readable, and the copy is not locked.
TEST_F(DocumentInfo, ALockedSourceKeepsItsOutlineAndInformationReadable) {
    const QString outputs = folder.filePath("searchable");
    for (const char* name : {"toc.pdf", "meta.pdf"}) {
        ASSERT_EQ(runProgram("qpdf", {"--encrypt", "sesame", "owner-secret", "256", "--", corpusPath(name),
                                      source(QString("locked-") + name)})
                      .exitCode,
                  0);
    }
    for (const char* name : {"locked-toc.pdf", "locked-meta.pdf"}) {
        const auto run = runCli(plainRecognition + QStringList{"--password", "-o", outputs, source(name)}, "sesame\n");
        ASSERT_EQ(run.result.exitCode, 0) << run.result.standardError.toStdString();
        EXPECT_TRUE(run.leftoverTemporaryFiles.isEmpty());
    }

    EXPECT_EQ(outlineSummary(searchableOutput(outputs, "locked-toc.pdf")), outlineSummary(corpusPath("toc.pdf")));
    const auto before = documentInfo(corpusPath("meta.pdf"));
    const auto after = documentInfo(searchableOutput(outputs, "locked-meta.pdf"));
    for (const char* key : {"Title", "Author", "Subject", "Keywords"}) {
        EXPECT_EQ(after.value(key), before.value(key)) << key;
    }
    expectOnlyOurCreator(after);
    EXPECT_EQ(after.value("Encrypted"), "no");
}

TEST_F(DocumentInfo, SrgbAddsExactlyOneOutputIntentAndChangesNothingElse) {
    const QString plainOutputs = folder.filePath("plain"), srgbOutputs = folder.filePath("srgb");
    const QString meta = copyCorpusFile("meta.pdf", folder.filePath("sources"));
    const auto plain = runCli(plainRecognition + QStringList{"-o", plainOutputs, meta});
    const auto srgb = runCli(plainRecognition + QStringList{"--srgb", "-o", srgbOutputs, meta});
    ASSERT_EQ(plain.result.exitCode, 0) << plain.result.standardError.toStdString();
    ASSERT_EQ(srgb.result.exitCode, 0) << srgb.result.standardError.toStdString();

    QPDF pdf;
    pdf.processFile(QFile::encodeName(searchableOutput(srgbOutputs, meta)).constData());
    auto intents = pdf.getRoot().getKey("/OutputIntents");
    ASSERT_TRUE(intents.isArray());
    ASSERT_EQ(intents.getArrayNItems(), 1);
    auto intent = intents.getArrayItem(0);
    EXPECT_TRUE(intent.getKey("/S").isNameAndEquals("/GTS_PDFA1"));
    EXPECT_EQ(intent.getKey("/OutputConditionIdentifier").getUTF8Value(), "sRGB IEC61966-2.1");
    EXPECT_EQ(intent.getKey("/Info").getUTF8Value(), "sRGB IEC61966-2.1");
    EXPECT_EQ(intent.getKey("/OutputCondition").getUTF8Value(), "sRGB");
    expectCleanPdf(searchableOutput(srgbOutputs, meta));

    auto withIntent = documentInfo(searchableOutput(srgbOutputs, meta));
    auto without = documentInfo(searchableOutput(plainOutputs, meta));
    for (auto* info : {&withIntent, &without}) {
        info->remove("File size");
    }
    EXPECT_EQ(withIntent, without);
    for (const auto& run : {plain, srgb}) {
        EXPECT_TRUE(run.leftoverTemporaryFiles.isEmpty());
    }
}
