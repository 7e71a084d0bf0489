// quorvane-cli running batches, presets and a watched folder, with real files and real signals.

#include "e2e/CliSupport.h"
#include "support/PdfBuilder.h"
#include "support/PdfReaders.h"
#include "support/RasterFixtures.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QThread>
#include <algorithm>
#include <csignal>
#include <gtest/gtest.h>

using namespace quorvane::test;

namespace {

// A folder of real documents: a scan, an image and a scan that would share its output name, one
// already searchable, one damaged, one locked.
QString documentFolder(const QString& root) {
    const QString in = root + "/in";
    QDir().mkpath(in);
    smallScan(in, "a2 minutes.pdf");
    writeScan(in + "/a10 letter.pdf", "Letter to the keeper");
    renderParagraph(QSize(900, 300), {"Harbour photographs"}, 50).save(in + "/a10 letter.jpg");
    QFile::copy(corpusPath("graph_ocred.pdf"), in + "/c searchable.pdf");
    QFile::copy(corpusPath("invalid.pdf"), in + "/d damaged.pdf");
    saveEncryptedPdf(*buildPdf({FixturePage{}}), in + "/e locked.pdf", "u", "o");
    for (const auto& name : QDir(in).entryList(QDir::Files)) {
        QFile::setPermissions(in + "/" + name, QFile::ReadOwner | QFile::WriteOwner);
    }
    return in;
}

} // namespace

TEST(CliBatch, FolderRunsAsABatchWithReportsSkipsAndRetry) {
    QTemporaryDir root;
    const QString in = documentFolder(root.path());
    const QString out = root.filePath("out");

    const auto first =
        runCli(plainRecognition + QStringList{"-o", out, "--report", root.filePath("first.csv"), "--retry",
                                              in, root.filePath("typo.pdf")});
    EXPECT_EQ(first.result.exitCode, 1) << first.result.standardError.toStdString();
    const QString log = first.result.standardOutput;
    EXPECT_TRUE(log.contains("a2 minutes.pdf -> " + out + "/a2 minutes_searchable.pdf: 1 recognized, 0 skipped"));
    EXPECT_TRUE(log.contains("c searchable.pdf: Already searchable"));
    EXPECT_TRUE(log.contains("e locked.pdf: This PDF is password-protected. Enter its password to make it "
                             "searchable. Run it on its own with --password to be asked for it."));
    EXPECT_TRUE(log.contains("a10 letter.pdf: Another file of this batch is saved under the same output name, so "
                             "this one was not processed."));
    EXPECT_TRUE(log.contains("Retrying 3 failed document(s)…"));
    EXPECT_TRUE(says(log, "Batch finished — 2 processed · 1 already searchable · 3 failed"));
    EXPECT_FALSE(log.contains("\033")) << "plain lines only, when the output is no terminal";
    EXPECT_TRUE(first.leftoverTemporaryFiles.isEmpty());

    // (Every column's bytes: ReportExporter; page counts of a real run: CliFailures.) The input
    // named wrongly is a failure of the report too.
    const QStringList rows = readTextFile(root.filePath("first.csv")).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(rows.size(), 8);
    EXPECT_TRUE(rows[7].startsWith(root.filePath("typo.pdf") + ",failed,")) << rows[7].toStdString();
    const QStringList order{"a2 minutes.pdf", "a10 letter.jpg", "a10 letter.pdf", "c searchable.pdf", "d damaged.pdf",
                            "e locked.pdf"};
    const QStringList statuses{"processed", "processed", "failed", "already-searchable", "failed", "failed"};
    for (int i = 0; i < 6; ++i) {
        EXPECT_TRUE(rows[i + 1].startsWith(in + "/" + order[i] + "," + statuses[i] + ","))
            << rows[i + 1].toStdString();
    }
    EXPECT_TRUE(rows[5].endsWith(",The PDF could not be opened. The file may be corrupted.,cannotOpenPDF"));
    EXPECT_TRUE(rows[6].endsWith(",passwordRequired"));
    // The shared output is the first source's in name order, also after the retry.
    EXPECT_TRUE(pdfText(out + "/a10 letter_searchable.pdf").contains("photographs", Qt::CaseInsensitive));

    // A run with nothing to do leaves a report that says so, not the last run's.
    ASSERT_TRUE(QDir().mkpath(root.filePath("empty")));
    EXPECT_EQ(runCli({"--report", root.filePath("first.csv"), root.filePath("empty")}).result.exitCode, 0);
    EXPECT_EQ(readTextFile(root.filePath("first.csv")).count('\n'), 1);
    // So does a watch that ends before anything arrives.
    ASSERT_TRUE(writeFile(root.filePath("first.csv"), "an earlier run's rows\n\n"));
    QProcess watch;
    watch.start(binPath("quorvane-cli"),
                {"--watch", root.filePath("empty"), "--report", root.filePath("first.csv")});
    QString seen;
    ASSERT_TRUE(waitForOutput(watch, seen, "for new scans")) << seen.toStdString();
    ::kill(static_cast<pid_t>(watch.processId()), SIGINT);
    ASSERT_TRUE(watch.waitForFinished(15000));
    EXPECT_EQ(readTextFile(root.filePath("first.csv")).count('\n'), 1);
}

// 45 documents in an 80 x 24 terminal: each finished one leaves one line, the progress under them
// is redrawn in place, and no line is wider than the terminal, however long the names.
TEST(CliBatch, ProgressOnATerminalLeavesALinePerDocumentWithinItsWidth) {
    QTemporaryDir root;
    const QString in = root.filePath("scans of the harbour committee, received in the spring");
    ASSERT_TRUE(QDir().mkpath(in));
    for (int i = 1; i <= 42; ++i) {
        QFile::copy(corpusPath("graph_ocred.pdf"), in + QString("/Annual report of the harbour committee, part %1.pdf").arg(i));
    }
    for (int i = 1; i <= 3; ++i) {
        smallScan(in, QString("Minutes of the harbour committee, meeting %1.pdf").arg(i));
    }
    const auto run = runProgram("script", inTerminal(plainRecognition + QStringList{in}, 80, 24), {}, 600000);
    EXPECT_EQ(run.exitCode, 0) << run.standardOutput.toStdString();
    const QStringList rows = terminalRows(run.standardOutput);
    EXPECT_LE(rows.size(), 45 + 30) << rows.join('\n').toStdString();
    for (const auto& row : rows) {
        EXPECT_LE(row.size(), 80) << row.toStdString();
    }
    EXPECT_EQ(rows.filter(QRegularExpression("^Annual report .*: Already searchable$")).size(), 42);
    EXPECT_EQ(rows.filter(QRegularExpression("^Minutes of the .*_searchable.pdf: 1 recognized, 0 skipped$")).size(), 3);
    EXPECT_EQ(rows.last(), "Batch finished — 3 processed · 42 already searchable");
}

// A folder's subfolders are searched with -r, their outputs in the same subfolders under -o;
// without it, the run says how many it left out. Hidden folders, links to folders (which may
// lead round in circles) and the output folder within stay out either way.
TEST(CliBatch, SubfoldersAreCountedOrSearchedWithTheirTreeMirrored) {
    QTemporaryDir root;
    const QString in = root.filePath("in"), out = in + "/searchable";
    for (const char* folder : {"/sub/deeper", "/.hidden", "/empty"}) {
        ASSERT_TRUE(QDir().mkpath(in + folder));
    }
    ASSERT_TRUE(QFile::link(in, in + "/sub/up"));
    for (const char* name : {"/a.pdf", "/sub/b.pdf", "/sub/deeper/c.pdf", "/.hidden/d.pdf"}) {
        smallScan(in, name);
    }
    const auto flat = runCli(plainRecognition + QStringList{"-o", out, in});
    EXPECT_EQ(flat.result.exitCode, 0);
    EXPECT_TRUE(says(flat.result.standardError, "2 subfolder(s) not searched; -r searches them too."));
    EXPECT_EQ(filesIn(out), QStringList{"a_searchable.pdf"});

    const auto tree = runCli(plainRecognition + QStringList{"-r", "-o", out, in});
    EXPECT_EQ(tree.result.exitCode, 0) << tree.result.standardOutput.toStdString();
    EXPECT_TRUE(tree.result.standardOutput.contains("Batch finished — 2 processed · 1 skipped"));
    EXPECT_EQ(tree.result.standardError.toStdString(), "quorvane-cli: 1 link(s) to folders not followed.\n");
    EXPECT_EQ(filesIn(out + "/sub"), QStringList{"b_searchable.pdf"});
    EXPECT_TRUE(pdfText(out + "/sub/deeper/c_searchable.pdf").contains("committee"));
    EXPECT_EQ(QDir(out).entryList(QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot), QStringList{"sub"});
}

TEST(CliBatch, SettingsAndPresetsAreStoredAndUsed) {
    QTemporaryDir folder;
    const QString scan = smallScan(folder.path(), "scan.pdf");
    // A preset of a newer version, with a strength this one does not know.
    const QString settingsFile = qEnvironmentVariable("XDG_CONFIG_HOME") + "/Quorvane/Quorvane.conf";
    const QByteArray newer =
        R"({"id":"5F0C6A55-3E0B-4C9A-9E1B-2D0C3B4A5F60","name":"Newer","preprocessing":"extreme"})";
    QSettings(settingsFile, QSettings::IniFormat).setValue("quorvane.presets", QByteArray("[" + newer + "]"));
    const QString unreadableNote =
        "1 more preset(s), made by a newer version or damaged, cannot be read here; they are kept as stored.\n";
    EXPECT_EQ(runCli({"--list-presets"}).result.standardOutput,
              "No presets saved; --save-preset NAME saves the settings as one.\n" + unreadableNote);

    const auto stored =
        runCli({"--set", "quorvane.settings.deskew=false", "--set", "quorvane.settings.languages=en-US,eng"});
    EXPECT_EQ(stored.result.standardOutput,
              "Stored quorvane.settings.deskew = false\nStored quorvane.settings.languages = en-US\n");
    const std::pair<QStringList, QString> refusals[] = {
        {{"--set", "quorvane.settings.deskew=perhaps"}, "takes true or false"},
        {{"--set", "quorvane.settings.colour=blue"}, "unknown setting"},
        {{"--set", "quorvane.settings.outputNameTemplate=scan"}, "has no {name}"},
        {{"--name", "{nam}_x", scan}, "{nam} is not a token"},
        {{"--save-preset", " "}, "--save-preset needs a name"},
        {{"--save-preset", "x\ny"}, "cannot hold line breaks"},
        {{"--set", "quorvane.settings.languages=fra,ja-JP"}, "Install the package tesseract-ocr-jpn"}};
    for (const auto& [arguments, reason] : refusals) {
        const auto refused = runCli(arguments);
        EXPECT_EQ(refused.result.exitCode, 2) << arguments.join(' ').toStdString();
        EXPECT_TRUE(says(refused.result.standardError, reason));
    }
    const auto shown = runCli({"--show-settings"}).result.standardOutput;
    EXPECT_TRUE(shown.contains("quorvane.settings.deskew = false\n"));
    EXPECT_TRUE(shown.contains("quorvane.settings.languages = en-US\n"));
    EXPECT_TRUE(shown.contains("quorvane.settings.perspective = true\n"));

    const auto archive = plainRecognition + QStringList{"--save-preset", "Archive", "--name"};
    EXPECT_EQ(runCli(archive + QStringList{"{name}_preset"}).result.standardOutput, "Saved preset \"Archive\".\n");
    const auto duplicate = runCli(plainRecognition + QStringList{"--name", "{name}_preset", "--save-preset", "Again"});
    EXPECT_EQ(duplicate.result.exitCode, 1);
    EXPECT_TRUE(duplicate.result.standardError.contains("An existing preset already has exactly these settings"));
    EXPECT_EQ(runCli(archive + QStringList{"{name}_archive"}).result.standardOutput,
              "Replaced the settings of preset \"Archive\".\n");
    EXPECT_EQ(runCli({"--save-preset", "Mine"}).result.exitCode, 0);
    EXPECT_EQ(runCli({"--list-presets"}).result.standardOutput,
              "  Archive\n* Mine\n* marks the preset that has exactly the stored settings.\n" + unreadableNote);

    // The preset's template names the output; the stored settings stay as they were.
    const auto run = runCli({"--preset", "Archive", scan});
    EXPECT_EQ(run.result.exitCode, 0) << run.result.standardError.toStdString();
    EXPECT_TRUE(QFile::exists(folder.filePath("scan_archive.pdf")));
    EXPECT_TRUE(runCli({"--show-settings"}).result.standardOutput.contains("outputNameTemplate = {name}_searchable\n"));
    EXPECT_EQ(runCli({"--preset", "Nothing", scan}).result.exitCode, 2);

    EXPECT_EQ(runCli({"--delete-preset", "Archive"}).result.exitCode, 0);
    const auto unknown = runCli({"--delete-preset", "Archive"}).result;
    EXPECT_EQ(unknown.exitCode, 2) << "a wrong command line, as for --preset";
    EXPECT_TRUE(says(unknown.standardError, "no preset is named \"Archive\""));
}

// Arrivals are processed once; the outputs, named by the run's own template, never come back as
// arrivals: a blank page (whose output needs recognition again) makes one output in 10 seconds,
// time for several rounds of the watcher's settling. (Which other files are never handed over:
// FolderWatcher.)
TEST(CliBatch, WatchedFolderProcessesEachArrivalOnceUntilInterrupted) {
    QTemporaryDir root;
    const QString watched = root.filePath("watched");
    QDir().mkpath(watched);
    smallScan(watched, "already there.pdf");
    writePdf(root.filePath("arrival.pdf"), {FixturePage{}});

    // Under nohup, the terminal it was started from may close.
    QProcess cli;
    cli.start("nohup", QStringList{binPath("quorvane-cli")} + plainRecognition +
                           QStringList{"--name", "{name}_ocr", "--watch", watched, "--process-existing",
                                       "--report", root.filePath("watch.csv")});
    QString seen;
    ASSERT_TRUE(waitForOutput(cli, seen, "already there.pdf -> ")) << seen.toStdString();
    ::kill(static_cast<pid_t>(cli.processId()), SIGHUP);

    // A damaged arrival fails, and comes again once replaced under its name.
    QFile::copy(corpusPath("invalid.pdf"), watched + "/late.pdf");
    ASSERT_TRUE(waitForOutput(cli, seen, "late.pdf: The PDF could not be opened.")) << seen.toStdString();
    ASSERT_TRUE(writeFile(watched + "/late.pdf", readBytes(watched + "/already there.pdf")));
    ASSERT_TRUE(waitForOutput(cli, seen, "late.pdf -> ")) << seen.toStdString();

    QFile::copy(root.filePath("arrival.pdf"), watched + "/arrival.pdf");
    QElapsedTimer sinceArrival;
    sinceArrival.start();
    ASSERT_TRUE(waitForOutput(cli, seen, "arrival.pdf -> ")) << seen.toStdString();
    QThread::msleep(static_cast<unsigned long>(std::max<qint64>(0, 10000 - sinceArrival.elapsed())));

    ::kill(static_cast<pid_t>(cli.processId()), SIGINT);
    ASSERT_TRUE(cli.waitForFinished(60000));
    seen += QString::fromUtf8(cli.readAllStandardOutput());
    EXPECT_EQ(cli.exitCode(), 1) << "late.pdf failed once";
    EXPECT_EQ(seen.count("arrival.pdf -> "), 1) << seen.toStdString();
    EXPECT_EQ(QDir(watched).entryList({"*_ocr*"}, QDir::Files),
              QStringList({"already there_ocr.pdf", "arrival_ocr.pdf", "late_ocr.pdf"}));
    // The report holds every arrival since the watch began.
    const QStringList rows = readTextFile(root.filePath("watch.csv")).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(rows.size(), 5);
    for (const auto& [row, start] : {std::pair{1, "already there.pdf,processed"},
                                     {2, "late.pdf,failed"},
                                     {3, "late.pdf,processed"},
                                     {4, "arrival.pdf,processed"}}) {
        EXPECT_TRUE(rows[row].startsWith(watched + "/" + start)) << rows[row].toStdString();
    }
}

// An output records its source: report.jpg's copy does not replace report.pdf's, nor does the copy
// of a report.pdf of another folder, and a batch knows report.pdf's copy as up to date but not as
// report.jpg's. A second run over the folder takes no output as a source and makes nothing new. A
// document that is no copy, or may be none, is not replaced, least of all the source itself.
TEST(CliBatch, AnOutputBelongsToOneSourceAndIsNeverTakenForOne) {
    QTemporaryDir folder;
    smallScan(folder.path(), "report.pdf");
    ASSERT_TRUE(writePdf(folder.filePath("blank.pdf"), {FixturePage{}}));
    const QStringList made{"blank.pdf", "blank_searchable.pdf", "report.pdf", "report_searchable.pdf"};
    ASSERT_EQ(runCli(plainRecognition + QStringList{folder.path()}).result.exitCode, 0);
    ASSERT_EQ(filesIn(folder.path()), made);
    const auto again = runCli(plainRecognition + QStringList{folder.path()});
    EXPECT_EQ(again.result.exitCode, 0);
    EXPECT_TRUE(again.result.standardOutput.contains("Left out 2 searchable copies of other files."));
    EXPECT_EQ(again.result.standardOutput.count("Skipped — output exists"), 2) << again.result.standardOutput.toStdString();
    EXPECT_EQ(filesIn(folder.path()), made);

    const QString output = folder.filePath("report_searchable.pdf");
    const QByteArray first = readBytes(output);
    ASSERT_TRUE(renderParagraph(QSize(900, 300), {"Harbour photographs"}, 50).save(folder.filePath("report.jpg")));
    const QString refusal = "\"report_searchable.pdf\" is the searchable copy of \"report.pdf\", so the copy of "
                            "\"report.jpg\" was not written over it.";
    const auto single = runCli(plainRecognition + QStringList{folder.filePath("report.jpg")});
    EXPECT_EQ(single.result.exitCode, 6); // its output cannot be written there
    EXPECT_TRUE(says(single.result.standardError, refusal));
    const auto batch = runCli(plainRecognition + QStringList{folder.path()});
    EXPECT_EQ(batch.result.exitCode, 1);
    EXPECT_TRUE(says(batch.result.standardOutput, "report.jpg: " + refusal));
    EXPECT_TRUE(batch.result.standardOutput.contains("report.pdf: Skipped — output exists"));
    EXPECT_EQ(readBytes(output), first);
    QTemporaryDir elsewhere; // nor the copy of a namesake from another folder
    ASSERT_TRUE(writeScan(elsewhere.filePath("report.pdf"), "Harbour ledger"));
    const auto namesake =
        runCli(plainRecognition + QStringList{"-o", folder.path(), elsewhere.filePath("report.pdf")});
    EXPECT_EQ(namesake.result.exitCode, 6);
    EXPECT_TRUE(
        says(namesake.result.standardError, "copy of another file named \"report.pdf\", in another folder"));
    EXPECT_EQ(readBytes(output), first);
    // But a copy beside its source stays the copy of that name, also in a copy of the folder.
    ASSERT_EQ(runCli(plainRecognition + QStringList{elsewhere.filePath("report.pdf")}).result.exitCode, 0);
    QTemporaryDir copiedFolder;
    ASSERT_TRUE(QFile::copy(elsewhere.filePath("report_searchable.pdf"),
                            copiedFolder.filePath("report_searchable.pdf")));
    ASSERT_TRUE(writeScan(copiedFolder.filePath("report.pdf"), "Harbour ledger amended"));
    EXPECT_EQ(runCli(plainRecognition + QStringList{copiedFolder.filePath("report.pdf")}).result.exitCode, 0);

    // Nor is a PDF that Quorvane did not make: under the template "{name}", report.png's copy
    // would replace report.pdf.
    const QByteArray original = readBytes(folder.filePath("report.pdf"));
    ASSERT_TRUE(QFile::copy(folder.filePath("report.jpg"), folder.filePath("report.png")));
    const auto named = runCli(plainRecognition + QStringList{"--name", "{name}", folder.filePath("report.png")});
    EXPECT_EQ(named.result.exitCode, 6);
    EXPECT_TRUE(says(named.result.standardError, "\"report.pdf\" is a PDF that Quorvane did not make"));
    const auto itself = runCli(plainRecognition + QStringList{"--name", "{name}", folder.filePath("report.pdf")});
    EXPECT_EQ(itself.result.exitCode, 6);
    EXPECT_TRUE(says(itself.result.standardError, "This output name would overwrite the original PDF"));
    EXPECT_TRUE(says(itself.result.standardError, "Give another name template with --name"));
    EXPECT_EQ(readBytes(folder.filePath("report.pdf")), original);
    EXPECT_EQ(filesIn(folder.path()), (QStringList{"blank.pdf", "blank_searchable.pdf", "report.jpg", "report.pdf",
                                                   "report.png", "report_searchable.pdf"}));

    // Nor is a file that cannot be told from someone's: no PDF, or locked with a password the run
    // lacks. A locked source's own copy opens with its password, and is replaced.
    const QString locked = folder.filePath("locked.pdf");
    ASSERT_TRUE(writeScan(locked, "Harbour ledger", "sesame"));
    for (int run = 0; run < 2; ++run) {
        EXPECT_EQ(runCli(plainRecognition + QStringList{"--password", locked}, "sesame\n").result.exitCode,
                  0);
    }
    // A batch, which has no password to tell, takes that copy for one all the same.
    EXPECT_TRUE(says(runCli(plainRecognition + QStringList{folder.path()}).result.standardOutput,
                     "Left out 3 searchable copies of other files."));
    for (const auto& [unknown, why] : {std::pair{readBytes(folder.filePath("locked_searchable.pdf")),
                                                 "is locked with a password this run was not given"},
                                       std::pair{QByteArray("my notes"), "does not open as a PDF"}}) {
        ASSERT_TRUE(writeFile(folder.filePath("report.pdf"), unknown));
        const auto refused =
            runCli(plainRecognition + QStringList{"--name", "{name}", folder.filePath("report.png")});
        EXPECT_EQ(refused.result.exitCode, 6);
        EXPECT_TRUE(says(refused.result.standardError, QString("\"report.pdf\" ") + why));
        EXPECT_EQ(readBytes(folder.filePath("report.pdf")), unknown);
    }
}

// SIGTERM, and a closed terminal, stop a document at once: nothing is written and no temporary
// file is left. In a batch, the first Ctrl-C cancels what has not started (that the documents in
// flight then finish is BatchCoordinatorCancel's), a second stops those in flight too, and the
// report is written. A reader of the output that goes away (`| head`) stops it at the next line.
TEST(CliBatch, SigtermAClosedTerminalOrPipeAndASecondCtrlCStopAtOnce) {
    QTemporaryDir root;
    const QString in = root.filePath("in"), temporary = root.filePath("tmp");
    QDir().mkpath(in);
    QDir().mkpath(temporary);
    ASSERT_TRUE(writeLongDocument(in + "/long.pdf"));
    smallScan(in, "short.pdf");
    auto environment = QProcessEnvironment::systemEnvironment();
    environment.insert("TMPDIR", temporary);

    // Without signals, its output goes to a reader that has gone.
    const auto stop = [&](const QStringList& arguments, const QList<int>& signalNumbers) {
        QProcess cli;
        cli.setProcessEnvironment(environment);
        if (signalNumbers.isEmpty()) {
            cli.start("bash", QStringList{"-c", "\"$0\" \"$@\" | true; exit ${PIPESTATUS[0]}", binPath("quorvane-cli")} +
                                  plainRecognition + arguments);
        } else {
            cli.start(binPath("quorvane-cli"), plainRecognition + arguments);
            EXPECT_FALSE(cli.waitForFinished(1500)) << "finished before it could be stopped";
        }
        QElapsedTimer sinceStop;
        sinceStop.start();
        for (const int signalNumber : signalNumbers) {
            ::kill(static_cast<pid_t>(cli.processId()), signalNumber);
            QThread::msleep(200);
        }
        EXPECT_TRUE(cli.waitForFinished(15000));
        EXPECT_LT(sinceStop.elapsed(), 15000);
        EXPECT_EQ(cli.exitCode(), 130);
        EXPECT_FALSE(QFile::exists(in + "/long_searchable.pdf"));
        EXPECT_TRUE(QDir(in).entryList({".*"}, QDir::Files | QDir::Hidden).isEmpty());
        EXPECT_TRUE(filesIn(temporary).isEmpty()) << filesIn(temporary).join(", ").toStdString();
        return QString::fromUtf8(cli.readAllStandardError());
    };
    EXPECT_TRUE(stop({in + "/long.pdf"}, {SIGTERM}).contains("Stopped before it was finished; nothing was written."));
    EXPECT_TRUE(stop({in + "/long.pdf"}, {SIGHUP}).contains("Stopped before it was finished; nothing was written."));
    stop({in}, {});
    stop({"--report", root.filePath("r.json"), in}, {SIGINT, SIGINT});
    const auto documents =
        QJsonDocument::fromJson(readTextFile(root.filePath("r.json")).toUtf8()).object().value("documents").toArray();
    ASSERT_EQ(documents.size(), 2);
    EXPECT_EQ(documents[0].toObject().value("status").toString(), "cancelled");
}
