// How quorvane-cli treats locked, damaged and unwritable cases: a clear message, exit status 1,
// nothing of the user's lost and nothing left behind.

#include "e2e/CliSupport.h"
#include "support/PdfBuilder.h"
#include "support/PdfReaders.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace quorvane::test;

TEST(CliFailures, EncryptedPdfAsksForThePasswordAndOpensWithTheRightOne) {
    QTemporaryDir folder;
    const QString plain = smallScan(folder.path(), "plain.pdf");
    const QString locked = folder.filePath("locked.pdf");
    ASSERT_EQ(runProgram("qpdf", {"--encrypt", "sesame", "owner-secret", "256", "--", plain, locked}).exitCode, 0);
    QFile::remove(plain);

    // One file with --report gets a one-row report; options that cannot work are refused before any work.
    QTemporaryDir reports;
    const auto noPassword = runCli(plainRecognition + QStringList{"--report", reports.filePath("locked.csv"), locked});
    EXPECT_EQ(noPassword.result.exitCode, 1);
    EXPECT_TRUE(noPassword.result.standardError.contains(
        "This PDF is password-protected. Enter its password to make it searchable. Add --password to be asked for it."));
    const QStringList rows = readTextFile(reports.filePath("locked.csv")).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(rows.size(), 2);
    EXPECT_TRUE(rows[1].startsWith(locked + ",failed,0,")) << rows[1].toStdString();
    const auto several = runCli(plainRecognition + QStringList{"--password", locked, corpusPath("linn.pdf")}, "sesame\n");
    EXPECT_EQ(several.result.exitCode, 2);
    EXPECT_TRUE(several.result.standardError.contains("--password works with one PDF at a time"));
    const auto nowhere = runCli(plainRecognition + QStringList{"--report", reports.filePath("missing/r.csv"), locked});
    EXPECT_EQ(nowhere.result.exitCode, 2);
    EXPECT_TRUE(nowhere.result.standardError.contains("missing\" does not exist"));

    const auto wrong = runCli(plainRecognition + QStringList{"--password", locked}, "open up\n");
    EXPECT_EQ(wrong.result.exitCode, 1);
    EXPECT_TRUE(wrong.result.standardError.contains("That password didn't unlock the PDF. Check it and try again."));
    EXPECT_EQ(filesIn(folder.path()), QStringList{"locked.pdf"});

    const auto right = runCli(plainRecognition + QStringList{"--password", "--report", reports.filePath("r.json"), locked},
                              "sesame\n");
    ASSERT_EQ(right.result.exitCode, 0) << right.result.standardError.toStdString();
    const auto documents =
        QJsonDocument::fromJson(readBytes(reports.filePath("r.json"))).object().value("documents").toArray();
    ASSERT_EQ(documents.size(), 1);
    EXPECT_EQ(documents[0].toObject().value("status").toString(), "processed");
    const QString output = folder.filePath("locked_searchable.pdf");
    EXPECT_TRUE(runProgram("qpdf", {"--show-encryption", output}).standardOutput.contains("File is not encrypted"));
    EXPECT_TRUE(pdfText(output).contains("committee", Qt::CaseInsensitive));
    for (const auto& run : {noPassword, wrong, right}) {
        EXPECT_TRUE(run.leftoverTemporaryFiles.isEmpty());
    }
}

TEST(CliFailures, DamagedPdfsAreRefusedAndNothingIsWritten) {
    QTemporaryDir folder;
    const QString invalid = copyCorpusFile("invalid.pdf", folder.path());
    const QByteArray whole = readBytes(corpusPath("linn.pdf"));
    const QString truncated = folder.filePath("truncated.pdf");
    ASSERT_TRUE(writeFile(truncated, whole.left(whole.size() / 3)));
    for (const auto& source : {invalid, truncated}) {
        const auto run = runCli(plainRecognition + QStringList{source});
        EXPECT_EQ(run.result.exitCode, 1) << source.toStdString();
        EXPECT_TRUE(run.result.standardError.contains("The PDF could not be opened. The file may be corrupted."))
            << run.result.standardError.toStdString();
        EXPECT_TRUE(run.leftoverTemporaryFiles.isEmpty());
    }
    EXPECT_EQ(filesIn(folder.path()), (QStringList{"invalid.pdf", "truncated.pdf"}));
}

TEST(CliFailures, OutputThatWouldReplaceTheSourceIsRefused) {
    QTemporaryDir folder;
    const QString source = smallScan(folder.path(), "scan.pdf");
    const QByteArray before = readBytes(source);
    const auto run = runCli(plainRecognition + QStringList{"--name", "{name}", source});
    EXPECT_EQ(run.result.exitCode, 1);
    EXPECT_TRUE(run.result.standardError.contains("This output name would overwrite the original PDF"));
    EXPECT_TRUE(run.result.standardError.contains("Give another name template with --name"));
    EXPECT_EQ(readBytes(source), before);
    EXPECT_EQ(filesIn(folder.path()), QStringList{"scan.pdf"});
}

// Root ignores permission bits, so the run goes through an unprivileged user when we are root.
TEST(CliFailures, UnwritableOutputFolderIsExplainedAndLeavesNothing) {
    QTemporaryDir folder;
    QFile::setPermissions(folder.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther |
                                             QFile::ExeOther | QFile::ReadGroup | QFile::ExeGroup);
    const QString source = smallScan(folder.path(), "scan.pdf");
    QFile::setPermissions(source, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther | QFile::ReadGroup);
    const QString locked = folder.filePath("closed");
    ASSERT_TRUE(QDir().mkdir(locked));
    QFile::setPermissions(locked, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther |
                                      QFile::ReadGroup | QFile::ExeGroup);

    QStringList prefix;
    if (geteuid() == 0) {
        prefix = {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
    }
    const auto run = runCli(plainRecognition + QStringList{"-o", locked, source}, {}, prefix);
    EXPECT_EQ(run.result.exitCode, 1) << run.result.standardOutput.toStdString();
    EXPECT_TRUE(run.result.standardError.contains(
        "Writing the searchable PDF failed: Quorvane is not allowed to write to \"closed\". Check the folder's "
        "permissions, or choose another output folder."))
        << run.result.standardError.toStdString();
    EXPECT_TRUE(QDir(locked).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).isEmpty());
    EXPECT_TRUE(run.leftoverTemporaryFiles.isEmpty());
}

// Tesseract without a language's data reads its text as another's garbage: refused before any work.
TEST(CliFailures, LanguagesWithoutTesseractDataAreRefusedNamingTheirPackage) {
    QTemporaryDir folder;
    const QString scan = folder.filePath("scan.pdf");
    ASSERT_TRUE(writeScan(scan, "Minutes of the committee"));
    const auto refused = runCli({"-l", "ru-RU,fra", scan});
    EXPECT_EQ(refused.result.exitCode, 2);
    EXPECT_TRUE(refused.result.standardError.contains("Russian (ru-RU) cannot be recognised"));
    EXPECT_TRUE(refused.result.standardError.contains("apt install tesseract-ocr-rus)"));
    EXPECT_EQ(filesIn(folder.path()), QStringList{"scan.pdf"});

    const QString listing = runCli({"-l", "fra,en-us", "--list-languages"}).result.standardOutput;
    EXPECT_TRUE(listing.contains(QRegularExpression("^\\* fr-FR +fra +French +installed$", QRegularExpression::MultilineOption)));
    EXPECT_TRUE(listing.contains(QRegularExpression("^  ru-RU +rus +Russian +not installed$", QRegularExpression::MultilineOption)));
    EXPECT_TRUE(listing.contains("in use, in this order: fr-FR, en-US\n")) << listing.toStdString();
}

TEST(CliFailures, UsageErrorsExitWithTwo) {
    EXPECT_EQ(runCli({}).result.exitCode, 2);
    EXPECT_EQ(runCli({"--clean", "sparkling", "x.pdf"}).result.exitCode, 2);
    EXPECT_EQ(runCli({"--languages", "xx-XX", "x.pdf"}).result.exitCode, 2);
    EXPECT_EQ(runCli({"--region", "0.1,0.2,0,0.5", "x.pdf"}).result.exitCode, 2);
    EXPECT_EQ(runCli({"--rotate", "--no-rotate", "x.pdf"}).result.exitCode, 2);
    const auto help = runCli({"--help"});
    EXPECT_EQ(help.result.exitCode, 0);
    EXPECT_TRUE(help.result.standardOutput.contains("--output-dir"));
    const auto missing = runCli({"/nonexistent/scan.pdf"});
    EXPECT_EQ(missing.result.exitCode, 1);
    EXPECT_TRUE(missing.result.standardError.contains("No such file or folder."));
}
