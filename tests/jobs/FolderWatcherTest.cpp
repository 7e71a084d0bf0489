#include "jobs/FolderWatcher.h"

#include "pipeline/PDFAuxBuilder.h"
#include "platform/FileNames.h"
#include "settings/AppSettings.h"
#include "support/EventLoop.h"
#include "support/PdfBuilder.h"
#include "support/QtPrinting.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QSettings>
#include <QTemporaryDir>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace quorvane;
using namespace std::chrono_literals;

namespace {

void writeFile(const QString& path) { ASSERT_TRUE(test::writeFile(path, "%PDF-1.4\n%%EOF\n")); }
// A searchable copy, as far as telling one from a scan goes: its document information.
void writeCopy(const QString& path) {
    const auto pdf = test::buildPdf({test::FixturePage{}});
    PDFAuxBuilder::apply({}, *pdf);
    test::savePdf(*pdf, path);
}

// A watcher over its own settings file and folder that records every hand-over.
struct WatchedFolder {
    WatchedFolder() : settings(dir.filePath("settings.conf"), QSettings::IniFormat), watcher(settings) {
        EXPECT_TRUE(QDir(dir.path()).mkpath("in"));
        folder = dir.filePath("in");
        watcher.setHandler([this](const QStringList& files) { handOvers.append(test::fileNames(files)); });
    }

    QString path(const QString& name) const { return folder + "/" + name; }
    bool waitForHandOvers(int count) {
        return test::runUntil([&] { return handOvers.size() >= count; }, 15s);
    }

    QTemporaryDir dir;
    QSettings settings;
    FolderWatcher watcher;
    QString folder;
    QList<QStringList> handOvers;
};

} // namespace

TEST(FolderWatcher, SlowCopyIsHandedOverOnceAfterItSettles) {
    WatchedFolder watched;
    watched.watcher.startWatching(watched.folder);
    ASSERT_TRUE(watched.watcher.isWatching());

    // A scanner writing a document in ten pieces over three seconds.
    const QByteArray content = test::readBytes(test::corpusPath("linn.pdf"));
    ASSERT_FALSE(content.isEmpty());
    qint64 sizeWhenHandedOver = -1;
    watched.watcher.setHandler([&](const QStringList& files) {
        watched.handOvers.append(test::fileNames(files));
        sizeWhenHandedOver = QFileInfo(files.value(0)).size();
    });
    QFile incoming(watched.path("incoming.pdf"));
    ASSERT_TRUE(incoming.open(QIODevice::WriteOnly));
    const qsizetype piece = content.size() / 10 + 1;
    for (qsizetype offset = 0; offset < content.size(); offset += piece) {
        incoming.write(content.mid(offset, piece));
        incoming.flush();
        test::runFor(300ms);
        EXPECT_TRUE(watched.handOvers.isEmpty()) << "handed over while still being written";
    }
    incoming.close();
    QElapsedTimer sinceLastWrite;
    sinceLastWrite.start();

    ASSERT_TRUE(watched.waitForHandOvers(1));
    EXPECT_GE(sinceLastWrite.elapsed(), 900) << "handed over before the file had been still for a second";
    EXPECT_EQ(watched.handOvers, QList<QStringList>({{"incoming.pdf"}}));
    EXPECT_EQ(sizeWhenHandedOver, content.size());

    // Moved out and back as it was, it is not offered again. A file dated in the future still settles.
    ASSERT_TRUE(QFile::rename(watched.path("incoming.pdf"), watched.dir.filePath("incoming.pdf")));
    ASSERT_TRUE(QFile::rename(watched.dir.filePath("incoming.pdf"), watched.path("incoming.pdf")));
    writeFile(watched.path("later.pdf"));
    {
        QFile file(watched.path("later.pdf"));
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(file.setFileTime(QDateTime::currentDateTime().addSecs(3600), QFileDevice::FileModificationTime));
    }
    ASSERT_TRUE(watched.waitForHandOvers(2));
    EXPECT_EQ(watched.handOvers, QList<QStringList>({{"incoming.pdf"}, {"later.pdf"}}));

    // Written to again in place after it was handed over (a scanner that paused for longer than a
    // second between pages), it is offered again once it settles, and only once.
    QFile more(watched.path("incoming.pdf"));
    ASSERT_TRUE(more.open(QIODevice::Append) && more.write("% the last page\n") > 0);
    more.close();
    ASSERT_TRUE(watched.waitForHandOvers(3));
    test::runFor(FolderWatcher::pollInterval + 1500ms); // a poll and its scan: nothing else comes
    EXPECT_EQ(watched.handOvers.mid(2), QList<QStringList>({{"incoming.pdf"}}));
}

// Names that are not UTF-8, of the folder and of a file written into it in pieces: watched, and the
// file handed over once it has stopped changing. Only the polls see such a folder, as they alone see
// what arrives in a network share, which raises no events.
TEST(FolderWatcher, NamesThatAreNoUtf8AreWatchedAndWaitedFor) {
    WatchedFolder watched;
    const QString folder = watched.dir.filePath("in") + QChar(0xDCFE);
    ASSERT_EQ(::mkdir(FileNames::encode(folder).constData(), 0700), 0);
    const auto remove =
        qScopeGuard([&] { std::filesystem::remove_all(FileNames::encode(folder).toStdString()); });
    watched.watcher.startWatching(folder);
    ASSERT_TRUE(watched.watcher.isWatching());

    const QString name = QString("bad") + QChar(0xDCFB) + ".pdf";
    QFile incoming;
    const int descriptor =
        ::open(FileNames::encode(folder + "/" + name).constData(), O_WRONLY | O_CREAT, 0600);
    ASSERT_TRUE(incoming.open(descriptor, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle));
    // Over six seconds: past the first poll's scan (nothing reports the arrival but the polls).
    for (int piece = 0; piece < 12; ++piece) {
        incoming.write("%PDF-1.4\n");
        incoming.flush();
        test::runFor(500ms);
        EXPECT_TRUE(watched.handOvers.isEmpty()) << "handed over while still being written";
    }
    incoming.close();
    ASSERT_TRUE(watched.waitForHandOvers(1));
    EXPECT_EQ(watched.handOvers, QList<QStringList>({{name}}));
}

// Outputs: by the fixed suffix, and by the name template of the runs (copies of files of the
// folder on any date; notes.txt is no source, so the one named after it is taken, and a scan
// named like a copy is taken too).
TEST(FolderWatcher, OutputsSubfoldersHiddenAndOtherFilesAreNeverHandedOver) {
    WatchedFolder watched;
    watched.watcher.setNameTemplate([] { return QStringLiteral("{name}_ocr {date}"); });
    watched.watcher.startWatching(watched.folder);
    ASSERT_TRUE(QDir(watched.folder).mkpath("sub"));
    for (const char* name : {"report_searchable.pdf", "REPORT_SEARCHABLE.PDF", "photo_Searchable.jpg",
                             "sub/inner.pdf", ".hidden.pdf", "notes.txt", "notes_ocr 2025-01-31.pdf"}) {
        writeFile(watched.path(name));
    }
    ASSERT_TRUE(test::writePdf(watched.path("report_ocr 2024-12-31.pdf"), {test::FixturePage{}}));
    writeCopy(watched.path("report_ocr 2025-01-31.pdf"));
    writeCopy(watched.path("scan 9_OCR 2026-02-02.pdf"));
    // Written last, so the scan that takes these also judged the ones above.
    writeFile(watched.path("scan 10.TIFF"));
    writeFile(watched.path("report.pdf"));
    writeFile(watched.path("scan 9.png"));

    ASSERT_TRUE(watched.waitForHandOvers(1));
    test::runFor(1500ms); // one more settle period: nothing else comes
    const QStringList sources{"notes_ocr 2025-01-31.pdf", "report_ocr 2024-12-31.pdf", "report.pdf",
                              "scan 9.png", "scan 10.TIFF"};
    EXPECT_EQ(watched.handOvers, QList<QStringList>({sources}));
    EXPECT_EQ(test::fileNames(watched.watcher.existingFiles()), sources);
}

TEST(FolderWatcher, FilesArrivingOrAskedForDuringABatchAreTakenAfterIt) {
    WatchedFolder watched;
    bool batchRunning = true;
    int refusals = 0;
    watched.watcher.setShouldAccept([&](const QString&) {
        refusals += batchRunning ? 1 : 0;
        return !batchRunning;
    });
    writeFile(watched.path("there.pdf"));
    watched.watcher.startWatching(watched.folder);
    watched.watcher.processExisting(); // asked for while the batch runs: taken after it
    writeFile(watched.path("arrived.pdf"));

    ASSERT_TRUE(test::runUntil([&] { return refusals >= 3; }, 15s)) << "offered again on a later scan";
    EXPECT_TRUE(watched.handOvers.isEmpty());
    batchRunning = false;
    ASSERT_TRUE(watched.waitForHandOvers(1));
    EXPECT_EQ(watched.handOvers, QList<QStringList>({{"arrived.pdf", "there.pdf"}}));
}

// Missing when watching begins: not watched. Gone while watched (moved away, a share unmounted):
// said so, and watched again once it is back, with what arrived meanwhile.
TEST(FolderWatcher, MissingFolderSaysSoAndOneThatComesBackIsWatchedAgain) {
    WatchedFolder watched;
    const QString gone = watched.dir.filePath("gone");
    watched.watcher.startWatching(gone);
    EXPECT_FALSE(watched.watcher.isWatching());
    EXPECT_EQ(watched.watcher.statusMessage(),
              QString::fromUtf8("That folder is no longer available — choose it again."));
    EXPECT_EQ(watched.watcher.folderURL(), gone);

    writeFile(gone); // a file, not a folder
    watched.watcher.startWatching(gone);
    EXPECT_FALSE(watched.watcher.isWatching());
    EXPECT_TRUE(watched.watcher.statusMessage().has_value());

    watched.watcher.startWatching(watched.folder);
    EXPECT_TRUE(watched.watcher.isWatching());
    EXPECT_FALSE(watched.watcher.statusMessage().has_value());

    const QString away = watched.dir.filePath("away");
    ASSERT_TRUE(QDir().rename(watched.folder, away));
    ASSERT_TRUE(test::runUntil(
        [&] { return watched.watcher.statusMessage() == FolderWatcher::folderGoneMessage; }, 15s));
    writeFile(away + "/meanwhile.pdf");
    ASSERT_TRUE(QDir().rename(away, watched.folder));
    ASSERT_TRUE(watched.waitForHandOvers(1));
    writeFile(watched.path("after.pdf"));
    ASSERT_TRUE(watched.waitForHandOvers(2));
    EXPECT_EQ(watched.handOvers, QList<QStringList>({{"meanwhile.pdf"}, {"after.pdf"}}));
    EXPECT_TRUE(watched.watcher.isWatching());
    EXPECT_FALSE(watched.watcher.statusMessage().has_value());

    // Deleted and made again, with a new scan under a name used before (a scanner counting anew).
    ASSERT_TRUE(QDir(watched.folder).removeRecursively());
    ASSERT_TRUE(test::runUntil(
        [&] { return watched.watcher.statusMessage() == FolderWatcher::folderGoneMessage; }, 15s));
    ASSERT_TRUE(QDir().mkpath(watched.folder));
    writeFile(watched.path("after.pdf"));
    ASSERT_TRUE(watched.waitForHandOvers(3));
    EXPECT_EQ(watched.handOvers.last(), QStringList{"after.pdf"});
}

TEST(FolderWatcher, StoredFolderSurvivesRestartsWhileSwitchedOn) {
    QTemporaryDir dir;
    const QString settingsFile = dir.filePath("Quorvane.conf");
    const QString folder = dir.filePath("scans");
    ASSERT_TRUE(QDir(dir.path()).mkpath("scans"));
    const auto openSettings = [&] { return std::make_unique<QSettings>(settingsFile, QSettings::IniFormat); };

    {
        AppSettings settings(openSettings());
        FolderWatcher watcher(settings);
        EXPECT_FALSE(watcher.folderURL().has_value());
        watcher.startWatching(folder + "/../scans");
        EXPECT_EQ(watcher.folderURL(), folder);
    }
    {
        // The next launch: the folder comes back, watching resumes only when asked.
        QSettings settings(settingsFile, QSettings::IniFormat);
        EXPECT_EQ(settings.value(FolderWatcher::bookmarkKey).toByteArray(), folder.toUtf8());
        FolderWatcher watcher(settings);
        EXPECT_EQ(watcher.folderURL(), folder);
        EXPECT_FALSE(watcher.isWatching());
        watcher.resumeIfEnabled();
        EXPECT_TRUE(watcher.isWatching());

        // The path is used when the bookmark is unusable.
        settings.setValue(FolderWatcher::bookmarkKey, QByteArray());
        FolderWatcher fallback(settings);
        EXPECT_EQ(fallback.folderURL(), folder);

        watcher.stopWatching();
        EXPECT_FALSE(watcher.isWatching());
        EXPECT_EQ(watcher.folderURL(), folder) << "kept for this run";
    }
    {
        // Switched off: the next launch starts without a folder, and resuming does nothing.
        QSettings settings(settingsFile, QSettings::IniFormat);
        FolderWatcher watcher(settings);
        EXPECT_FALSE(watcher.folderURL().has_value());
        watcher.resumeIfEnabled();
        EXPECT_FALSE(watcher.isWatching());
        EXPECT_EQ(settings.value(FolderWatcher::pathKey).toString(), folder);

        watcher.startWatching(folder);
        watcher.forgetFolder();
        EXPECT_FALSE(watcher.isWatching());
        EXPECT_FALSE(watcher.folderURL().has_value());
        EXPECT_FALSE(settings.contains(FolderWatcher::pathKey));
        EXPECT_FALSE(settings.contains(FolderWatcher::bookmarkKey));
        EXPECT_EQ(settings.value(FolderWatcher::enabledKey).toString(), "false");
    }
}
