// How quorvane-cli treats locked, damaged and unwritable cases: a clear message, the exit status
// documented for the case, nothing of the user's lost and nothing left behind.

#include "e2e/CliSupport.h"
#include "support/PdfBuilder.h"
#include "support/PdfReaders.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <utility>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace quorvane::test;

// A locked PDF needs its password, and its searchable copy keeps it: pdftotext reads the copy
// with the password only. (Method, permissions and owner password: DocumentInfo.)
TEST(CliFailures, EncryptedPdfAsksForThePasswordAndItsCopyKeepsIt) {
    QTemporaryDir folder;
    const QString locked = folder.filePath("locked.pdf");
    ASSERT_EQ(runProgram("qpdf", {"--encrypt", "sesame", "owner-secret", "256", "--", corpusPath("linn.pdf"), locked})
                  .exitCode,
              0);

    const auto noPassword = runCli(plainRecognition + QStringList{locked});
    EXPECT_EQ(noPassword.result.exitCode, 4);
    EXPECT_TRUE(noPassword.result.standardError.contains(
        "This PDF is password-protected. Enter its password to make it searchable."));

    const auto wrong = runCli(plainRecognition + QStringList{"--password", locked}, "open up\n");
    EXPECT_EQ(wrong.result.exitCode, 5);
    EXPECT_TRUE(wrong.result.standardError.contains("That password didn't unlock the PDF. Check it and try again."));
    EXPECT_EQ(filesIn(folder.path()), QStringList{"locked.pdf"});

    const auto right = runCli(plainRecognition + QStringList{"--password", locked}, "sesame\n");
    ASSERT_EQ(right.result.exitCode, 0) << right.result.standardError.toStdString();
    EXPECT_TRUE(right.result.standardOutput.contains("The searchable copy keeps the source's password and permissions."));
    const QString output = folder.filePath("locked_searchable.pdf");
    EXPECT_NE(runProgram("pdftotext", {output, "-"}).exitCode, 0);
    const auto text = runProgram("pdftotext", {"-upw", "sesame", output, "-"});
    EXPECT_GE(wordRecall(text.standardOutput, readTextFile(corpusPath("linn.txt"))), 0.97);
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
        EXPECT_EQ(run.result.exitCode, 3) << source.toStdString();
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
    EXPECT_EQ(run.result.exitCode, 6);
    EXPECT_TRUE(run.result.standardError.contains("This output name would overwrite the original PDF"));
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
    EXPECT_EQ(run.result.exitCode, 6) << run.result.standardOutput.toStdString();
    EXPECT_TRUE(run.result.standardError.contains(
        "Writing the searchable PDF failed: Quorvane is not allowed to write to \"closed\". Check the folder's "
        "permissions, or choose another output folder."))
        << run.result.standardError.toStdString();
    EXPECT_TRUE(QDir(locked).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).isEmpty());
    EXPECT_TRUE(run.leftoverTemporaryFiles.isEmpty());
}

// What goes wrong after the searchable PDF is written still fails the run: the PDF stays and is
// named, and a batch report marks the document. A folder that cannot be watched ends the run.
TEST(CliFailures, ATextCopyOrAWatchThatFailsIsAFailure) {
    QTemporaryDir folder;
    const QString source = smallScan(folder.path(), "scan.pdf");
    ASSERT_TRUE(QDir().mkdir(folder.filePath("scan_searchable.txt"))); // where the text copy would go
    const auto single = runCli(plainRecognition + QStringList{"--sidecar", source});
    EXPECT_EQ(single.result.exitCode, 1);
    const QString output = folder.filePath("scan_searchable.pdf");
    EXPECT_TRUE(single.result.standardError.contains(source + ": " + output +
                                                     " was written, but the .txt copy could not be saved"))
        << single.result.standardError.toStdString();
    expectCleanPdf(output);

    const auto batch = runCli(plainRecognition + QStringList{"--sidecar", "--force", "--report",
                                                             folder.filePath("report.csv"), folder.path()});
    EXPECT_EQ(batch.result.exitCode, 1);
    EXPECT_TRUE(readTextFile(folder.filePath("report.csv")).contains(",processed,1,0,"));
    EXPECT_TRUE(readTextFile(folder.filePath("report.csv")).contains("the .txt copy could not be saved"));

    // Root reads any folder, so the watch goes through an unprivileged user when we are root.
    QFile::setPermissions(folder.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ExeOther);
    const QString closed = folder.filePath("closed");
    ASSERT_TRUE(QDir().mkdir(closed));
    QFile::setPermissions(closed, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ExeOther);
    const QStringList asNobody = geteuid() == 0 ? QStringList{"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"}
                                                : QStringList{};
    const auto watch = runCli({"--watch", closed}, {}, asNobody);
    EXPECT_EQ(watch.result.exitCode, 1);
    EXPECT_TRUE(watch.result.standardError.contains("Could not watch this folder.")) << watch.result.standardError.toStdString();
    EXPECT_FALSE(watch.result.standardOutput.contains("Watching"));
}

// The temporary PDF of an image needs the temporary folder: when it is missing, full or read-only
// the run says so, and nothing is left anywhere. (Full and read-only need a tmpfs of our own.)
TEST(CliFailures, TemporaryFolderProblemsAreNamed) {
    QTemporaryDir folder;
    const QString image = folder.filePath("page.png");
    ASSERT_TRUE(QFile::copy(corpusPath("linn.png"), image));
    const auto missing = runCli(plainRecognition + QStringList{image}, {}, {"env", "TMPDIR=/nonexistent/tmp"});
    EXPECT_EQ(missing.result.exitCode, 6);
    EXPECT_TRUE(missing.result.standardError.contains("the temporary folder \"/nonexistent/tmp\" does not exist"))
        << missing.result.standardError.toStdString();
    if (runProgram("unshare", {"-m", "true"}).exitCode != 0) {
        GTEST_SKIP() << "no mount namespace for a tmpfs of our own";
    }
    for (const auto& [options, problem] : {std::pair<QString, QString>{"size=4k", "there is not enough space in the temporary folder"},
                                          {"ro", "cannot be written to"}}) {
        const QString mount = "mount -t tmpfs -o " + options + " tmpfs \"$TMPDIR\" && exec \"$@\"";
        const auto run = runCli(plainRecognition + QStringList{image}, {}, {"unshare", "-m", "sh", "-c", mount, "sh"});
        EXPECT_EQ(run.result.exitCode, 6);
        EXPECT_TRUE(run.result.standardError.contains(problem)) << run.result.standardError.toStdString();
        EXPECT_TRUE(run.leftoverTemporaryFiles.isEmpty());
    }
    EXPECT_EQ(filesIn(folder.path()), QStringList{"page.png"});
}

TEST(CliFailures, UsageErrorsExitWithTwoAndHelpListsEveryStatus) {
    EXPECT_EQ(runCli({}).result.exitCode, 2);
    EXPECT_EQ(runCli({"--clean", "sparkling", "x.pdf"}).result.exitCode, 2);
    EXPECT_EQ(runCli({"--languages", "xx-XX", "x.pdf"}).result.exitCode, 2);
    EXPECT_EQ(runCli({"--region", "0.1,0.2,0,0.5", "x.pdf"}).result.exitCode, 2);
    EXPECT_EQ(runCli({"--rotate", "--no-rotate", "x.pdf"}).result.exitCode, 2);
    const auto help = runCli({"--help"});
    EXPECT_EQ(help.result.exitCode, 0);
    EXPECT_TRUE(help.result.standardOutput.contains("--output-dir"));
    EXPECT_TRUE(help.result.standardOutput.contains("Exit status:\n  0 "));
    EXPECT_TRUE(help.result.standardOutput.contains("  130  cancelled"));
    const auto missing = runCli({"/nonexistent/scan.pdf"});
    EXPECT_EQ(missing.result.exitCode, 3);
    EXPECT_TRUE(missing.result.standardError.contains("No such file or folder."));
}
