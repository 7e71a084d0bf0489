// The main window's workflow with the real engine and real Tesseract: files dropped or opened,
// the password question, the save dialog for a folder that takes no files, the busy alert, the
// batch list with its report and reveal actions, and the notifications seen on the private bus.

#include "AppTestSupport.h"

#include "app/BatchPanel.h"
#include "app/ContentView.h"
#include "app/FileBrowser.h"
#include "app/MainWindow.h"
#include "app/MainWorkflow.h"
#include "app/PreprocessingPreviewView.h"
#include "pipeline/OCRPipeline.h"
#include "settings/AppSettings.h"
#include "support/EventLoop.h"
#include "support/PdfBuilder.h"
#include "support/PdfReaders.h"
#include "support/QtPrinting.h"
#include "support/RasterFixtures.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QDir>
#include <QDropEvent>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QListView>
#include <QMimeData>
#include <QPushButton>
#include <QTemporaryDir>
#include <QUrl>
#include <gtest/gtest.h>

using namespace quorvane;
using namespace std::chrono_literals;

namespace {

struct AppUnderTest : test::AppUnderTest {
    MainWorkflow& workflow() { return app.mainWindow().workflow(); }
    OCRPipeline& pipeline() { return app.pipeline(); }
    bool runDocument() {
        return test::runUntil([&] { return !pipeline().isRunning() && pipeline().phase().kind != Phase::Kind::idle; },
                              180s);
    }
    // Every text the window shows in the label named `object` or in the labels under it.
    QStringList labelTexts(const char* object) {
        QStringList texts;
        auto* parent = app.mainWindow().findChild<QWidget*>(QLatin1String(object));
        QList<QLabel*> labels = parent ? parent->findChildren<QLabel*>() : QList<QLabel*>();
        if (auto* label = qobject_cast<QLabel*>(parent)) {
            labels.append(label);
        }
        for (const auto* label : labels) {
            texts.append(label->text());
        }
        return texts;
    }
};

// Drags the files over the target and drops them there if it takes the drag; whether it did.
bool dropOn(QWidget& target, const QStringList& paths) {
    QMimeData data;
    QList<QUrl> urls;
    for (const auto& path : paths) {
        urls.append(QUrl::fromLocalFile(path));
    }
    data.setUrls(urls);
    const QPointF where(target.width() / 2.0, target.height() / 2.0);
    QDragEnterEvent enter(where.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&target, &enter);
    if (!enter.isAccepted()) {
        return false;
    }
    QDropEvent drop(where, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&target, &drop);
    return drop.isAccepted();
}

} // namespace

TEST(MainWindow, LockedPdfAsksUntilThePasswordIsRightThenRunsOnceAndNotifies) {
    test::FakeNotificationServer notifications;
    ASSERT_TRUE(notifications.isRegistered());
    QTemporaryDir folder;
    const QString name = "locked_minutes_of_the_committee_meeting_of_the_eighth_of_december_2026.pdf";
    const QString locked = test::smallScan(folder.path(), name, "secret");

    AppUnderTest t;
    t.app.mainWindow().show();
    t.workflow().arrive({locked});
    ASSERT_TRUE(test::runUntil([&] { return t.dialogs->passwordPrompts.size() == 1; }, 20s));
    PasswordPrompt* prompt = t.dialogs->passwordPrompts.first();
    EXPECT_EQ(prompt->message(), "\u201c" + name + "\u201d is password-protected. Enter its password to make it "
                                                  "searchable. It is used only for this run and is never stored.");

    prompt->submit(QStringLiteral("wrong"));
    ASSERT_TRUE(test::runUntil([&] { return !prompt->error().isEmpty(); }, 20s));
    EXPECT_EQ(prompt->error(), QStringLiteral("Incorrect password. Try again."));
    EXPECT_TRUE(prompt->isOpen());
    EXPECT_EQ(t.pipeline().phase().kind, Phase::Kind::idle);

    // The sheet is gone before the run starts, which may ask where to save.
    bool promptOpenAtStart = false;
    const QObject listener; // ends the connection before the flag goes
    QObject::connect(&t.pipeline(), &OCRPipeline::isRunningChanged, &listener, [&](bool running) {
        promptOpenAtStart |= running && t.workflow().passwordPrompt() != nullptr;
    });
    prompt->submit(QStringLiteral("secret"));
    ASSERT_TRUE(t.runDocument());
    EXPECT_FALSE(promptOpenAtStart);
    ASSERT_EQ(t.pipeline().phase().kind, Phase::Kind::done) << t.pipeline().phase().message.toStdString();
    EXPECT_EQ(t.pipeline().phase().summary.processedPages, 1);
    EXPECT_EQ(t.dialogs->passwordPrompts.size(), 1);
    EXPECT_TRUE(t.labelTexts("resultLines").contains("1 page(s) recognized, 0 skipped (already had text)."))
        << t.labelTexts("resultLines").join(" | ").toStdString();
    // A name too long for the window loses its middle, not its end.
    const auto* title = t.app.mainWindow().findChild<QLabel*>("resultFile");
    ASSERT_NE(title, nullptr);
    EXPECT_LE(title->fontMetrics().horizontalAdvance(title->text()), title->contentsRect().width());
    EXPECT_TRUE(title->text().startsWith("locked_") && title->text().endsWith("2026.pdf")) << title->text().toStdString();

    ASSERT_TRUE(test::runUntil([&] { return !notifications.received.isEmpty(); }, 10s));
    test::runFor(300ms);
    ASSERT_EQ(notifications.received.size(), 1);
    EXPECT_EQ(notifications.received[0].appName, QStringLiteral("Quorvane"));
    EXPECT_EQ(notifications.received[0].icon, QStringLiteral(QUORVANE_APP_ID));
    EXPECT_EQ(notifications.received[0].hints.value("desktop-entry").toString(), QStringLiteral(QUORVANE_APP_ID));
    EXPECT_EQ(notifications.received[0].summary, QStringLiteral("OCR complete"));
    EXPECT_EQ(notifications.received[0].body, name + ": 1 page(s) recognized.");
}

TEST(MainWindow, SourceInAFolderThatTakesNoFilesAsksWhereToSave) {
    QTemporaryDir folder;
    const QString scans = folder.filePath("scans");
    ASSERT_TRUE(QDir().mkpath(scans));
    const QString memo = test::smallScan(scans, "memo.pdf");
    const QString elsewhere = folder.filePath("chosen.pdf");
    test::ReadOnlyFolder readOnly(scans);
    if (!readOnly.isReadOnly()) {
        GTEST_SKIP() << "this file system lets every folder take new files";
    }

    AppUnderTest t;
    t.workflow().arrive({memo});
    ASSERT_TRUE(test::runUntil([&] { return t.dialogs->saveQuestions.size() == 1; }, 20s));
    EXPECT_EQ(t.dialogs->saveQuestions[0].folder, scans);
    EXPECT_EQ(t.dialogs->saveQuestions[0].proposedName, QStringLiteral("memo_searchable.pdf"));
    EXPECT_EQ(t.dialogs->saveQuestions[0].message, MainWorkflow::saveLocationMessage);
    // Cancelled: nothing starts, nothing is left behind, the window shows what it showed.
    test::runFor(200ms);
    EXPECT_FALSE(t.pipeline().isRunning());
    EXPECT_EQ(t.pipeline().phase().kind, Phase::Kind::idle);
    EXPECT_EQ(test::filesIn(scans), QStringList{"memo.pdf"});
    EXPECT_FALSE(t.workflow().isBusy());

    t.dialogs->saveAnswer = elsewhere;
    t.workflow().arrive({memo});
    ASSERT_TRUE(t.runDocument());
    ASSERT_EQ(t.pipeline().phase().kind, Phase::Kind::done) << t.pipeline().phase().message.toStdString();
    EXPECT_EQ(t.pipeline().phase().summary.outputURL, elsewhere);
    EXPECT_TRUE(test::pdfText(elsewhere).contains("committee", Qt::CaseInsensitive));
    EXPECT_EQ(test::filesIn(scans), QStringList{"memo.pdf"});
}

TEST(MainWindow, DroppedFolderRunsAsABatchThatRefusesMoreFilesUntilDone) {
    test::FakeNotificationServer notifications;
    test::FakeFileManager fileManager;
    ASSERT_TRUE(notifications.isRegistered());
    ASSERT_TRUE(fileManager.isRegistered());
    QTemporaryDir folder;
    const QString scans = folder.filePath("scans");
    ASSERT_TRUE(QDir().mkpath(scans));
    test::smallScan(scans, "b.pdf");
    test::smallScan(scans, "a.pdf");
    test::smallScan(scans, "c.pdf");
    test::smallScan(scans, "c_searchable.pdf"); // not ours: a source too, never written over: c fails
    const QString late = test::smallScan(folder.path(), "late.pdf");

    AppUnderTest t;
    t.app.settings().setValue(Setting::completionNotificationsEnabled, false);
    auto& content = t.app.mainWindow().contentView();
    t.app.mainWindow().resize(300, 700);
    t.app.mainWindow().show();
    // Files it cannot take are refused while they are dragged over, not dropped and ignored.
    ASSERT_TRUE(test::writeFile(folder.filePath("notes.txt"), "notes"));
    EXPECT_FALSE(dropOn(content, {folder.filePath("notes.txt"), folder.filePath("gone.pdf")}));
    ASSERT_TRUE(dropOn(content, {scans}));
    BatchCoordinator& batch = t.workflow().batch();
    ASSERT_TRUE(test::runUntil([&] { return batch.isRunning(); }, 10s));
    ASSERT_EQ(batch.items().size(), 4);
    EXPECT_EQ(QFileInfo(batch.items()[0].sourceURL).fileName(), QStringLiteral("a.pdf"));
    EXPECT_FALSE(content.batchPanel().isHidden());

    ASSERT_TRUE(dropOn(content, {late}));
    ASSERT_TRUE(test::runUntil([&] { return !t.dialogs->alerts.isEmpty(); }, 10s));
    EXPECT_EQ(t.dialogs->alerts[0].title, MainWorkflow::busyTitle);
    EXPECT_EQ(t.dialogs->alerts[0].message, MainWorkflow::busyMessage);
    EXPECT_EQ(batch.items().size(), 4);

    ASSERT_TRUE(test::runUntil([&] { return !batch.isRunning(); }, 240s));
    EXPECT_TRUE(t.labelTexts("batchHeader")
                    .contains(QStringLiteral("Batch finished \u2014 3 processed \u00b7 1 failed")))
        << t.labelTexts("batchHeader").join(" | ").toStdString();
    EXPECT_FALSE(QFileInfo::exists(folder.filePath("late_searchable.pdf")));

    // A narrow window wraps the failure's reason onto more lines rather than cutting it off.
    auto* list = content.batchPanel().findChild<QListView*>();
    ASSERT_NE(list, nullptr);
    const int failedRow = list->visualRect(list->model()->index(3, 0)).height();
    EXPECT_GE(failedRow, 3 * list->fontMetrics().height()) << "the reason takes two lines or more under the name";
    EXPECT_LT(list->visualRect(list->model()->index(0, 0)).height(), failedRow);
    test::runFor(300ms);
    EXPECT_TRUE(notifications.received.isEmpty()) << "notifications are switched off";

    // The report of the batch, and a report that cannot be written.
    t.dialogs->reportAnswer = DialogProvider::ReportDestination{folder.filePath("report.json"), ReportExporter::Format::json};
    t.workflow().exportReport();
    const auto report = QJsonDocument::fromJson(test::readBytes(folder.filePath("report.json"))).object();
    ASSERT_EQ(report["documents"].toArray().size(), 4);
    EXPECT_EQ(report["documents"].toArray()[1].toObject()["status"].toString(), QStringLiteral("processed"));
    t.dialogs->reportAnswer = DialogProvider::ReportDestination{folder.filePath("gone/report.csv"), ReportExporter::Format::csv};
    t.workflow().exportReport();
    ASSERT_EQ(t.dialogs->alerts.size(), 2);
    EXPECT_EQ(t.dialogs->alerts[1].title, QStringLiteral("Report export failed"));
    EXPECT_FALSE(t.dialogs->alerts[1].message.isEmpty());
    // Only the copies just made, dropped again: said so, rather than nothing happening.
    ASSERT_TRUE(dropOn(content, {scans + "/a_searchable.pdf", scans + "/b_searchable.pdf"}));
    ASSERT_TRUE(test::runUntil([&] { return t.dialogs->alerts.size() == 3; }, 10s));
    EXPECT_EQ(t.dialogs->alerts[2].title, MainWorkflow::onlyOutputsTitle);
    EXPECT_EQ(batch.items().size(), 4);

    content.batchPanel().previewRow(0);
    ASSERT_NE(t.app.mainWindow().preview(), nullptr);
    EXPECT_EQ(t.app.mainWindow().preview()->model().sourceURL(), scans + "/a.pdf");
    t.app.mainWindow().preview()->reject();

    t.workflow().showBatchOutputs();
    ASSERT_TRUE(test::runUntil([&] { return !fileManager.shown.isEmpty(); }, 10s));
    EXPECT_EQ(fileManager.shown[0],
              (QStringList{QUrl::fromLocalFile(scans + "/a_searchable.pdf").toString(),
                           QUrl::fromLocalFile(scans + "/b_searchable.pdf").toString(),
                           QUrl::fromLocalFile(scans + "/c_searchable_searchable.pdf").toString()}));
}

// The preview processes the file as it was tried there: here without the deskew of the settings.
TEST(MainWindow, PreviewFromTheDropAreaProcessesTheFileAsTriedWithTheRegionDrawn) {
    QTemporaryDir folder;
    const QString page = folder.filePath("notes.pdf");
    const QStringList lines{"Minutes of the committee", "", "", "", "", "", "", "Budget for the coming year"};
    ASSERT_TRUE(test::writePdf(
        page, {test::scanPage(test::tiltedPage(test::drawTextPage(lines, 1275, 1000).raster, 2))}));
    AppUnderTest t;
    for (const auto setting : {Setting::autoRotate, Setting::perspective}) {
        t.app.settings().setValue(setting, false);
    }
    t.dialogs->inputsToChoose = {page};
    t.app.mainWindow().findChild<QPushButton*>("previewButton")->click();
    PreprocessingPreviewView* preview = t.app.mainWindow().preview();
    ASSERT_NE(preview, nullptr);
    ASSERT_TRUE(test::runUntil([&] { return preview->model().processedImage().has_value(); }, 60s));
    preview->model().setDeskew(false);
    preview->model().setLimitToRegion(true);
    preview->model().drawRegion({0, 0.5, 1, 0.5}); // the upper half
    preview->processNow();
    ASSERT_TRUE(t.runDocument());
    ASSERT_EQ(t.pipeline().phase().kind, Phase::Kind::done) << t.pipeline().phase().message.toStdString();
    EXPECT_EQ(t.pipeline().phase().summary.deskewedPages, 0);
    EXPECT_TRUE(t.app.settings().value<bool>(Setting::deskew));
    const QString text = test::pdfText(*t.pipeline().phase().summary.outputURL);
    EXPECT_TRUE(text.contains("committee", Qt::CaseInsensitive)) << text.toStdString();
    EXPECT_FALSE(text.contains("Budget", Qt::CaseInsensitive)) << text.toStdString();
}

TEST(MainWindow, WithoutAFileManagerServiceTheFolderIsOpened) {
    test::OpenedUrls opened(QStringLiteral("file"));
    QTemporaryDir folder;
    FileBrowser::reveal({folder.filePath("out.pdf")});
    ASSERT_TRUE(test::runUntil([&] { return !opened.urls.isEmpty(); }, 10s));
    EXPECT_EQ(opened.urls[0], QUrl::fromLocalFile(folder.path()));
}
