// How quorvane-cli treats locked, damaged and unwritable cases: a clear message, the exit status
// documented for the case, nothing of the user's lost and nothing left behind.

#include "e2e/CliSupport.h"
#include "pipeline/OutputLock.h"
#include "platform/FileNames.h"
#include "support/PdfBuilder.h"
#include "support/PdfReaders.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

using namespace quorvane;
using namespace quorvane::test;

// A locked PDF needs its password, and its searchable copy keeps it: pdftotext reads the copy
// with the password only. (Method, permissions and owner password: DocumentInfo.)
TEST(CliFailures, EncryptedPdfAsksForThePasswordAndItsCopyKeepsIt) {
    QTemporaryDir folder;
    const QString locked = folder.filePath("locked.pdf");
    ASSERT_EQ(runProgram("qpdf", {"--encrypt", "sesame", "owner-secret", "256", "--", corpusPath("linn.pdf"), locked})
                  .exitCode,
              0);

    // One file with --report gets a one-row report; options that cannot work are refused before any work.
    QTemporaryDir reports;
    const auto noPassword = runCli(plainRecognition + QStringList{"--report", reports.filePath("locked.csv"), locked});
    EXPECT_EQ(noPassword.result.exitCode, 4);
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

    const auto ended = runCli(plainRecognition + QStringList{"--password", locked}); // an input with no line
    EXPECT_EQ(ended.result.exitCode, 4);
    EXPECT_TRUE(says(ended.result.standardError, "--password read none: type it when asked, or give it as a line"));
    // Ctrl-C at the prompt ends the run; it did nothing until a line was typed blind.
    QProcess prompt;
    prompt.start("script", inTerminal({"--password", locked}));
    QString shown;
    EXPECT_TRUE(waitForOutput(prompt, shown, "Password for")) << shown.toStdString();
    prompt.write("\x03");
    EXPECT_TRUE(prompt.waitForFinished(15000));
    EXPECT_EQ(prompt.exitCode(), 130);
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

    const auto run = runCli(plainRecognition + QStringList{"-o", locked, source}, {}, asNobodyWhenRoot());
    EXPECT_EQ(run.result.exitCode, 6) << run.result.standardOutput.toStdString();
    EXPECT_TRUE(says(run.result.standardError,
        "Writing the searchable PDF failed: Quorvane is not allowed to write to \"closed\". Check the folder's "
        "permissions, or choose another output folder."));
    EXPECT_TRUE(run.leftoverTemporaryFiles.isEmpty());

    // A folder that cannot be made there, or where a file is, is the same failure, said as such.
    const auto below =
        runCli(plainRecognition + QStringList{"-o", locked + "/new", source}, {}, asNobodyWhenRoot());
    EXPECT_EQ(below.result.exitCode, 6);
    EXPECT_TRUE(
        below.result.standardError.contains("/closed/new\": you are not allowed to create a folder there."))
        << below.result.standardError.toStdString();
    const auto onAFile = runCli(plainRecognition + QStringList{"-o", source, source});
    EXPECT_EQ(onAFile.result.exitCode, 6);
    EXPECT_TRUE(onAFile.result.standardError.contains("scan.pdf\": a file of that name is in its place."));
    EXPECT_TRUE(QDir(locked).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).isEmpty());
}

// What goes wrong after the searchable PDF is written still fails the run: the PDF stays and is
// named, and a batch report marks the document. Here the text copy's name is taken by the user's
// own notes, which are kept, also once the PDF is there; the text copy of an earlier output is
// replaced. A folder that cannot be watched ends the run.
TEST(CliFailures, ATextCopyOrAWatchThatFailsIsAFailure) {
    QTemporaryDir folder;
    const QString source = smallScan(folder.path(), "scan.pdf"),
                  notes = folder.filePath("scan_searchable.txt");
    ASSERT_TRUE(writeFile(notes, "my notes"));
    const auto single = runCli(plainRecognition + QStringList{"--sidecar", source});
    EXPECT_EQ(single.result.exitCode, 1);
    const QString output = folder.filePath("scan_searchable.pdf");
    EXPECT_TRUE(
        single.result.standardError.contains(source + ": " + output +
                                             " was written, but the .txt copy could not be saved: a file "
                                             "named \"scan_searchable.txt\" is already there"))
        << single.result.standardError.toStdString();
    expectCleanPdf(output);

    const auto batch = runCli(plainRecognition + QStringList{"--sidecar", "--force", "--report",
                                                             folder.filePath("report.csv"), folder.path()});
    EXPECT_EQ(batch.result.exitCode, 1);
    EXPECT_TRUE(readTextFile(folder.filePath("report.csv")).contains(",processed,1,0,"));
    EXPECT_TRUE(readTextFile(folder.filePath("report.csv")).contains("the .txt copy could not be saved"));
    EXPECT_EQ(readBytes(notes), "my notes");
    ASSERT_TRUE(QFile::remove(notes));
    ASSERT_EQ(::mkfifo(QFile::encodeName(notes).constData(), 0644), 0); // not read: that would block
    const QStringList again = plainRecognition + QStringList{"--sidecar", "--force", source};
    EXPECT_EQ(runCli(again, {}, {"timeout", "60"}).result.exitCode, 1);
    ASSERT_TRUE(QFile::remove(notes));
    // The output is up to date but for its text copy: a batch makes that, and later replaces it.
    EXPECT_EQ(runCli(plainRecognition + QStringList{"--sidecar", folder.path()}).result.exitCode, 0);
    EXPECT_TRUE(readTextFile(notes).contains("committee"));
    EXPECT_EQ(runCli(again).result.exitCode, 0);
    // A run without a text copy leaves the one there, which stays ours to replace later.
    EXPECT_EQ(runCli(plainRecognition + QStringList{source}).result.exitCode, 0);
    EXPECT_EQ(runCli(again).result.exitCode, 0);

    QFile::setPermissions(folder.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ExeOther);
    const QString closed = folder.filePath("closed");
    ASSERT_TRUE(QDir().mkdir(closed));
    QFile::setPermissions(closed, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ExeOther);
    const auto watch = runCli({"--watch", closed}, {}, asNobodyWhenRoot());
    EXPECT_EQ(watch.result.exitCode, 1);
    EXPECT_TRUE(says(watch.result.standardError, "Could not watch this folder."));
    EXPECT_FALSE(watch.result.standardOutput.contains("Watching"));
}

// The temporary PDF of an image needs the temporary folder: when it is missing, full or read-only
// the run says so, and nothing is left anywhere. (Full and read-only need a tmpfs of our own.)
TEST(CliFailures, TemporaryFolderProblemsAreNamed) {
    QTemporaryDir folder;
    const QString image = folder.filePath("page.png");
    ASSERT_TRUE(QFile::copy(corpusPath("linn.png"), image));
    const auto missing = runCli(plainRecognition + QStringList{image}, {}, {"env", "TMPDIR=/nonexistent/tmp"});
    EXPECT_EQ(missing.result.exitCode, 6) << missing.result.standardError.toStdString();
    EXPECT_TRUE(says(missing.result.standardError, "the temporary folder \"/nonexistent/tmp\" does not exist"));
    if (runProgram("unshare", {"-m", "true"}).exitCode != 0) {
        GTEST_SKIP() << "no mount namespace for a tmpfs of our own";
    }
    for (const auto& [options, problem] : {std::pair<QString, QString>{"size=4k", "there is not enough space in the temporary folder"},
                                          {"ro", "cannot be written to"}}) {
        const QString mount = "mount -t tmpfs -o " + options + " tmpfs \"$TMPDIR\" && exec \"$@\"";
        const auto run = runCli(plainRecognition + QStringList{image}, {}, {"unshare", "-m", "sh", "-c", mount, "sh"});
        EXPECT_EQ(run.result.exitCode, 6) << run.result.standardError.toStdString();
        EXPECT_TRUE(says(run.result.standardError, problem));
        EXPECT_TRUE(run.leftoverTemporaryFiles.isEmpty());
    }
    EXPECT_EQ(filesIn(folder.path()), QStringList{"page.png"});
}

// Tesseract without a language's data reads its text as another's garbage: refused before any work.
TEST(CliFailures, LanguagesWithoutTesseractDataAreRefusedNamingTheirPackage) {
    QTemporaryDir folder;
    const QString scan = smallScan(folder.path(), "scan.pdf");
    const auto refused = runCli({"-l", "ru-RU,fra", scan});
    EXPECT_EQ(refused.result.exitCode, 2);
    EXPECT_TRUE(refused.result.standardError.contains("Russian (ru-RU) cannot be recognised"));
    EXPECT_TRUE(refused.result.standardError.contains("apt install tesseract-ocr-rus)"));
    EXPECT_EQ(filesIn(folder.path()), QStringList{"scan.pdf"});

    const QString listing = runCli({"-l", "fra,en-us", "--list-languages"}).result.standardOutput;
    EXPECT_TRUE(listing.contains(QRegularExpression("^\\* fr-FR +fra +French +installed$", QRegularExpression::MultilineOption)));
    EXPECT_TRUE(listing.contains(QRegularExpression("^  ru-RU +rus +Russian +not installed$", QRegularExpression::MultilineOption)));
    EXPECT_TRUE(says(listing, "in use, in this order: fr-FR, en-US\n"));
}

TEST(CliFailures, UsageErrorsExitWithTwo) {
    EXPECT_EQ(runCli({}).result.exitCode, 2);
    EXPECT_EQ(runCli({"--clean", "sparkling", "x.pdf"}).result.exitCode, 2);
    EXPECT_EQ(runCli({"--languages", "xx-XX", "x.pdf"}).result.exitCode, 2);
    EXPECT_EQ(runCli({"--region", "0.1,0.2,0,0.5", "x.pdf"}).result.exitCode, 2);
    EXPECT_EQ(runCli({"--rotate", "--no-rotate", "x.pdf"}).result.exitCode, 2);
    const auto watchAndFiles = runCli({"--watch", "/nonexistent", "x.pdf"}).result;
    EXPECT_EQ(watchAndFiles.exitCode, 2);
    EXPECT_TRUE(says(watchAndFiles.standardError, "--watch takes no other files"));
    const auto endlessWords = runCli({"--words", "/dev/zero", "x.pdf"}).result;
    EXPECT_EQ(endlessWords.exitCode, 2);
    EXPECT_TRUE(says(endlessWords.standardError, "--words: cannot read \"/dev/zero\": it is larger than 1 MiB"));
    EXPECT_EQ(runCli({"--help"}).result.exitCode, 0);
    const auto missing = runCli({"/nonexistent/scan.pdf"});
    EXPECT_EQ(missing.result.exitCode, 3);
    EXPECT_TRUE(missing.result.standardError.contains("No such file or folder."));
}

// A full disk (a 1 MB file system filled up) under an earlier output: the run fails with the
// cause, the earlier output stays byte for byte, and no hidden file is left. The file system is a
// tmpfs in a mount namespace of the run's own; what it held is copied out before it goes.
TEST(CliFailures, AFullDiskKeepsTheEarlierOutputAndSaysWhy) {
    QTemporaryDir folder;
    const QString source = smallScan(folder.path(), "scan.pdf");
    const QString earlier = folder.filePath("earlier/scan_searchable.pdf"), disk = folder.filePath("disk"),
                  after = folder.filePath("after");
    ASSERT_EQ(
        runCli(plainRecognition + QStringList{"-o", folder.filePath("earlier"), source}).result.exitCode, 0);
    ASSERT_TRUE(QDir().mkpath(disk) && QDir().mkpath(after));
    const QString script =
        "d=$0; cp_from=$1; keep=$2; shift 2; mount -t tmpfs -o size=1M tmpfs \"$d\" || exit 90; "
        "cp \"$cp_from\" \"$d/scan_searchable.pdf\"; cat /dev/zero > \"$d/.filler\" 2>/dev/null; "
        "\"$@\"; status=$?; rm \"$d/.filler\"; cp -a \"$d/.\" \"$keep/\"; exit $status";
    const auto run = runCli(plainRecognition + QStringList{"-o", disk, source}, {},
                            {"unshare", "-rm", "sh", "-c", script, disk, earlier, after});
    ASSERT_NE(run.result.exitCode, 90) << "no tmpfs could be mounted: " << run.result.standardError.toStdString();
    EXPECT_EQ(run.result.exitCode, 6);
    EXPECT_TRUE(says(run.result.standardError,
        "Writing the searchable PDF failed: There is not enough space on the disk for \"scan_searchable.pdf\"."));
    EXPECT_EQ(readBytes(after + "/scan_searchable.pdf"), readBytes(earlier));
    EXPECT_EQ(filesIn(after), QStringList{"scan_searchable.pdf"});
}

// What is not a regular file is refused before it is opened, saying what it is: a named pipe would
// block the open and /dev/zero would be read for ever. A file the user may not read is said to be
// that, not "corrupted", and a link that leads to itself is no missing file.
TEST(CliFailures, InputsThatAreNoReadableFilesAreRefusedBeforeTheyAreOpened) {
    QTemporaryDir folder;
    QFile::setPermissions(folder.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther |
                                             QFile::ExeOther);
    ASSERT_EQ(::mkfifo(QFile::encodeName(folder.filePath("pipe.pdf")).constData(), 0644), 0);
    ASSERT_EQ(::mkfifo(QFile::encodeName(folder.filePath("pipe.png")).constData(), 0644), 0);
    ASSERT_TRUE(QFile::link("/dev/zero", folder.filePath("zero.pdf")));
    ASSERT_TRUE(QFile::link(folder.filePath("loop.pdf"), folder.filePath("loop.pdf")));
    const QString secret = smallScan(folder.path(), "secret.pdf");
    QFile::setPermissions(secret, QFile::ReadOwner | QFile::WriteOwner);
    const std::vector<std::pair<QString, QString>> cases = {
        {"pipe.pdf", "The file could not be read: it is a named pipe, not a file."},
        {"pipe.png", "The file could not be read: it is a named pipe, not a file."},
        {"zero.pdf", "The file could not be read: it is a device, not a file."},
        {"secret.pdf", "The file could not be read: you are not allowed to read it."},
        {"loop.pdf", "Its symbolic links lead round in a circle."},
    };
    for (const auto& [name, message] : cases) {
        const auto run = runCli(plainRecognition + QStringList{folder.filePath(name)}, {},
                                name == "secret.pdf" ? asNobodyWhenRoot() : QStringList{});
        EXPECT_EQ(run.result.exitCode, 3) << name.toStdString();
        EXPECT_TRUE(says(run.result.standardError, message));
    }
    EXPECT_EQ(filesIn(folder.path()),
              (QStringList{"loop.pdf", "pipe.pdf", "pipe.png", "secret.pdf", "zero.pdf"}));
}

// Damaged files and pages are named before any work is spent on them, saying what is wrong, and
// nothing is written; a page whose content inflates to a gigabyte is refused as too large, the run
// staying within 1 GB of memory.
TEST(CliFailures, DamagedAndOversizedPagesAreNamedBeforeAnyWork) {
    QTemporaryDir folder;
    const QByteArray whole = readBytes(corpusPath("linn.pdf"));
    ASSERT_TRUE(writeFile(folder.filePath("truncated.pdf"), whole.left(whole.size() / 3)));
    ASSERT_TRUE(writePdf(folder.filePath("empty.pdf"), {FixturePage{.mediaBox = {0, 0, 0, 0}}}));
    ASSERT_TRUE(writePdf(folder.filePath("huge.pdf"), {FixturePage{.mediaBox = {0, 0, 2e6, 612}}}));
    ASSERT_TRUE(writeFile(folder.filePath("unreadable.pdf"),
                          handWrittenPdf({"<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
                                          "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Rotate "
                                          "100000000000000000000 >>"})));
    const auto bomb = buildPdf({FixturePage{}});
    replaceContentWithZeros(*bomb, 0, 1ll << 30);
    savePdf(*bomb, folder.filePath("bomb.pdf"));
    // (invalid.pdf, a PDF header over plain text, fails the same way in CliBatch's batch.)
    const std::vector<std::pair<QString, QString>> cases = {
        {"truncated.pdf", "The PDF could not be opened. The file may be corrupted."},
        {"empty.pdf", "Page 1 is damaged: it has no area (its page box is 0 × 0 points)."},
        {"huge.pdf", "Page 1 is damaged: its page box is 2000000 × 612 points, larger than any real page."},
        {"unreadable.pdf", "Page 1 is damaged: its page dictionary cannot be read."},
        {"bomb.pdf", "Page 1 holds more than 256 MB of content once decompressed, more than a page can take."},
    };
#if defined(__SANITIZE_ADDRESS__)
    const QStringList withinOneGigabyte; // the sanitizer's own reservations are far larger
#else
    const QStringList withinOneGigabyte{"prlimit", "--data=1073741824", "--"};
#endif
    for (const auto& [name, message] : cases) {
        const auto run = runCli(plainRecognition + QStringList{folder.filePath(name)}, {}, withinOneGigabyte);
        EXPECT_EQ(run.result.exitCode, 3) << name.toStdString();
        EXPECT_TRUE(says(run.result.standardError, message));
        EXPECT_TRUE(run.leftoverTemporaryFiles.isEmpty());
    }
    EXPECT_EQ(filesIn(folder.path()).size(), int(cases.size()));
}

// A name that is not UTF-8 is found, and its output keeps the same bytes; a name too long for the
// file system once "_searchable" is added is refused before any page is recognised; on a terminal,
// control characters in a name are shown escaped instead of reaching the terminal.
TEST(CliFailures, NamesThatAreNoUtf8TooLongOrHoldControlCharacters) {
    QTemporaryDir folder;
    // Qt cannot see these names to remove them with the folder.
    const auto removeAll =
        qScopeGuard([&] { std::filesystem::remove_all(QFile::encodeName(folder.path()).toStdString()); });
    const QByteArray raw = QFile::encodeName(folder.path()) + "/scan\xff.pdf";
    const QByteArray scan = readBytes(smallScan(folder.path(), "plain.pdf"));
    std::ofstream(raw.constData(), std::ios::binary).write(scan.constData(), scan.size());
    const QString run = "exec \"$0\" --languages en-US --no-auto-language --no-rotate --no-deskew --no-perspective "
                        "\"$1/$(printf 'scan\\377.pdf')\"";
    const auto odd = runProgram("sh", {"-c", run, binPath("quorvane-cli"), folder.path()});
    EXPECT_EQ(odd.exitCode, 0) << odd.standardError.toStdString();
    const QByteArray rawOutput = QFile::encodeName(folder.path()) + "/scan\xff_searchable.pdf";
    EXPECT_TRUE(FileNames::exists(FileNames::decode(rawOutput)));

    // Named relative to the current folder: a second run finds that copy up to date and does not take
    // it for a scan, and its report shows the names' bytes; a folder's subfolders mirrored into an
    // output folder; a watched folder.
    QFile::remove(folder.filePath("plain.pdf"));
    const QByteArray rawFolder = QFile::encodeName(folder.path()) + "/in\xfe";
    ASSERT_EQ(::mkdir(rawFolder.constData(), 0700), 0);
    ASSERT_EQ(::mkdir((rawFolder + "/sub\xfe").constData(), 0700), 0);
    std::ofstream((rawFolder + "/sub\xfe/scan.pdf").constData(), std::ios::binary)
        .write(scan.constData(), scan.size());
    const QString options = "--languages en-US --no-auto-language --no-rotate --no-deskew --no-perspective ";
    const auto inFolder = [&](const QString& arguments) {
        return runProgram("sh", {"-c", "cd \"$1\" && exec \"$0\" " + options + arguments,
                                 binPath("quorvane-cli"), folder.path()});
    };
    const auto again = inFolder("--report \"$(printf 'in\\376/r\\376.csv')\" .");
    EXPECT_EQ(again.exitCode, 0) << again.standardError.toStdString();
    QFile report;
    const QString in = folder.filePath("in") + QChar(0xDCFE);
    ASSERT_TRUE(FileNames::openForReading(report, in + "/r" + QChar(0xDCFE) + ".csv"));
    const QStringList rows = QString::fromUtf8(report.readAll()).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(rows.size(), 2);
    EXPECT_TRUE(says(rows[1], "/scan\\xFF.pdf,skipped-existing,"));
    // An empty name is refused, not taken for the current folder.
    const auto empty = inFolder("\"\"");
    EXPECT_EQ(empty.exitCode, 3);
    EXPECT_FALSE(empty.standardOutput.contains("scan")) << empty.standardOutput.toStdString();

    const auto mirrored = inFolder("-r -o \"$(printf 'out\\376')\" \"$(printf 'in\\376')\"");
    EXPECT_EQ(mirrored.exitCode, 0) << mirrored.standardError.toStdString();
    const QString out = folder.filePath("out") + QChar(0xDCFE);
    EXPECT_TRUE(FileNames::exists(out + "/sub" + QChar(0xDCFE) + "/scan_searchable.pdf"));

    QProcess watch;
    watch.start("sh", {"-c", "cd \"$1\" && exec \"$0\" --watch \"$(printf 'in\\376')\"",
                       binPath("quorvane-cli"), folder.path()});
    QString watching;
    EXPECT_TRUE(waitForOutput(watch, watching, "for new scans")) << watching.toStdString();
    watch.terminate();
    watch.waitForFinished();

    // Twenty pages of linn.pdf take far longer than 15 seconds to recognise: a refusal within 15
    // seconds came before that work, however busy the machine.
    const QString longName = folder.filePath(QString(246, 'a') + ".pdf");
    ASSERT_TRUE(writeLongDocument(longName));
    QElapsedTimer clock;
    clock.start();
    const auto tooLong = runCli(plainRecognition + QStringList{longName});
    EXPECT_LT(clock.elapsed(), 15000);
    EXPECT_EQ(tooLong.result.exitCode, 6);
    EXPECT_TRUE(says(tooLong.result.standardError,
        "_searchable.pdf\" is 261 bytes long, and this disk takes file names of at most 255 bytes."));

    const QString command = "\"" + binPath("quorvane-cli") + "\" \"$(printf 'a\\033]0;owned\\007b.pdf')\"";
    const auto terminal = runProgram("script", {"-qec", command, "/dev/null"});
    EXPECT_TRUE(says(terminal.standardOutput, "quorvane-cli: a\\x1B]0;owned\\x07b.pdf: No such file or folder."));
    EXPECT_FALSE(terminal.standardOutput.contains('\x1b'));
}

// One writer per output: while another run (here, this test) holds the output's lock, a run is
// refused at once; a staged file that a killed run left beside the output is removed by the next
// run, which leaves no lock file behind either.
TEST(CliFailures, ASecondWriterIsRefusedAndStaleStagedFilesAreCleared) {
    QTemporaryDir folder;
    const QString source = smallScan(folder.path(), "scan.pdf");
    const QString output = folder.filePath("scan_searchable.pdf");
    {
        const OutputLock held(output);
        const auto refused = runCli(plainRecognition + QStringList{source});
        EXPECT_EQ(refused.result.exitCode, 6);
        EXPECT_TRUE(says(refused.result.standardError,
            "Writing the searchable PDF failed: another Quorvane run is writing \"scan_searchable.pdf\" right now."));
    }
    ASSERT_TRUE(writeFile(folder.filePath(".scan_searchable.0D7E0C8C-2C1B-4F4B-9A52-5C2B0E1D4A10.tmp.pdf")));
    ASSERT_TRUE(writeFile(folder.filePath(".scan_searchable.notes"), "not ours"));
    const auto run = runCli(plainRecognition + QStringList{source});
    EXPECT_EQ(run.result.exitCode, 0) << run.result.standardError.toStdString();
    EXPECT_EQ(filesIn(folder.path()), (QStringList{".scan_searchable.notes", "scan.pdf", "scan_searchable.pdf"}));
}
