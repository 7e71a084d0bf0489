// quorvane-screenshots OUTPUT_FOLDER: renders every state of the windows and their dialogs to PNG
// files, for reviewing the views. Everything shown comes from the real engine working on corpus
// files: a three-page scan recognised in the main window, a batch of small scans (a locked one,
// one with text already, one whose output exists), a file that cannot be read, the settings
// window, and the preview of a page turned on its side and tilted.

#include "app/ContentView.h"
#include "app/MainWindow.h"
#include "app/MainWorkflow.h"
#include "app/PasswordDialog.h"
#include "app/PasswordPrompt.h"
#include "app/PendingDrops.h"
#include "app/PreprocessingPreviewView.h"
#include "app/PreviewImagePane.h"
#include "app/QtDialogProvider.h"
#include "app/QuorvaneApp.h"
#include "app/SettingsView.h"
#include "app/UpdateChecker.h"
#include "jobs/FolderWatcher.h"
#include "pipeline/OCRPipeline.h"
#include "platform/ProcessStart.h"
#include "platform/TesseractOCRService.h"
#include "settings/AppSettings.h"
#include "support/EventLoop.h"
#include "support/PdfBuilder.h"
#include "support/RasterFixtures.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QScrollArea>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <cstdlib>

using namespace quorvane;
using namespace std::chrono_literals;

namespace {

QString folder;

void save(QWidget& widget, const char* name) {
    QApplication::processEvents();
    const QString path = folder + "/" + name + ".png";
    widget.grab().save(path);
    std::printf("%s\n", qPrintable(path));
}

void saveNewestMessageBox(QWidget& window, const char* name) {
    const auto boxes = window.findChildren<QMessageBox*>();
    if (!boxes.isEmpty()) {
        save(*boxes.last(), name);
        boxes.last()->close();
    }
}

void require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "quorvane-screenshots: %s\n", what);
        std::exit(1);
    }
}

bool finished(const OCRPipeline& pipeline) {
    return !pipeline.isRunning() && pipeline.phase().kind != Phase::Kind::idle;
}

// The settings window from top to bottom, one window height at a time.
void saveSettings(SettingsView& settings) {
    settings.resize(660, 820);
    settings.show();
    QApplication::processEvents();
    QScrollBar* scroll = settings.scrollArea().verticalScrollBar();
    const int step = settings.scrollArea().viewport()->height() - 40;
    int number = 1;
    for (int position = 0;; position += step, ++number) {
        scroll->setValue(position);
        save(settings, qPrintable(QStringLiteral("settings-%1").arg(number)));
        if (position >= scroll->maximum()) {
            break;
        }
    }
}

// A preview that has processed its page.
PreprocessingPreviewView& openPreview(MainWindow& window, const QString& file) {
    window.showPreview(file);
    PreprocessingPreviewView* preview = window.preview();
    require(preview != nullptr, "the preview did not open");
    require(test::runUntil([&] { return !preview->model().isRendering() && preview->model().processedImage(); }, 180s),
            "the preview did not process its page");
    return *preview;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    ProcessStart::beforeAnyThread();
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    qputenv("QUORVANE_UPDATE_FEED_URL", "http://127.0.0.1:9/feed.json");
    QApplication application(argc, argv);
    QApplication::setApplicationVersion(QStringLiteral(QUORVANE_VERSION));
    folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("screenshots");
    QDir().mkpath(folder);

    PendingDrops drops;
    QuorvaneApp app(drops, std::make_shared<TesseractOCRService>());
    app.settings().setValue(Setting::completionNotificationsEnabled, false);
    MainWindow& window = app.mainWindow();
    MainWorkflow& workflow = window.workflow();
    OCRPipeline& pipeline = app.pipeline();
    window.resize(720, 760);
    window.open();
    save(window, "main-idle");

    // Three scans of the corpus product sheet in one PDF, the second one tilted.
    QTemporaryDir inputs;
    const QString scans = inputs.filePath("product-sheets.pdf");
    const auto joined = test::runProgram("qpdf", {"--empty", "--pages", test::corpusPath("linn.pdf"),
                                                  test::corpusPath("skew.pdf"), test::corpusPath("ccitt.pdf"), "--",
                                                  scans});
    require(joined.exitCode == 0, "qpdf could not join the corpus scans");
    workflow.arrive({scans});
    require(test::runUntil([&] { return pipeline.phase().kind == Phase::Kind::recognizing && pipeline.phase().currentPage >= 2; },
                           180s),
            "the scan was not recognised");
    save(window, "main-recognizing");
    require(test::runUntil([&] { return finished(pipeline); }, 300s), "the scan did not finish");
    save(window, "main-done");


    // A real batch: scans, a locked scan, a page with text already, a scan whose output exists.
    const QString batchFolder = inputs.filePath("batch");
    QDir().mkpath(batchFolder);
    const QString memo = test::smallScan(batchFolder, "memo.pdf");
    test::smallScan(batchFolder, "minutes.pdf");
    test::smallScan(batchFolder, "agenda.pdf");
    test::smallScan(batchFolder, "agenda_searchable.pdf"); // up to date: skipped
    const QString lockedPath = test::smallScan(batchFolder, "locked.pdf", "secret");
    QFile::copy(test::corpusPath("graph_ocred.pdf"), batchFolder + "/graph.pdf");
    workflow.arrive({memo, batchFolder + "/minutes.pdf", batchFolder + "/agenda.pdf", lockedPath, batchFolder + "/graph.pdf"});
    BatchCoordinator& batch = workflow.batch();
    test::runUntil([&] { return batch.completedCount() >= 2 || !batch.isRunning(); }, 120s);
    save(window, "batch-running");
    require(test::runUntil([&] { return !batch.isRunning(); }, 240s), "the batch did not finish");
    save(window, "batch");
    batch.clear();

    QFile::copy(test::corpusPath("invalid.pdf"), inputs.filePath("invalid.pdf"));
    workflow.arrive({inputs.filePath("invalid.pdf")});
    require(test::runUntil([&] { return finished(pipeline) && pipeline.phase().kind == Phase::Kind::failed; }, 60s),
            "the damaged file did not fail");
    save(window, "main-failed");

    // The dialogs.
    QtDialogProvider dialogs(&window);
    dialogs.showAlert(MainWorkflow::busyTitle, MainWorkflow::busyMessage);
    saveNewestMessageBox(window, "busy");
    dialogs.offerUpdate("Update Available",
                        UpdateChecker::offerMessage({.version = "1.4.0", .notesEn = "Pages recognise faster."}), {});
    saveNewestMessageBox(window, "update");
    PasswordPrompt prompt(lockedPath);
    auto* password = new PasswordDialog(prompt, &window); // deletes itself on closing
    password->show();
    save(*password, "password");
    prompt.submit("wrong");
    test::runUntil([&] { return !prompt.error().isEmpty(); }, 20s);
    save(*password, "password-wrong");
    password->close();

    // The settings window as someone who has set Quorvane up would see it.
    AppSettings& settings = app.settings();
    settings.setValue(Setting::customWordsText, QStringLiteral("Forat\nLinn Sondek\nLP12\nValhalla"));
    settings.setValue(Setting::languages, QStringList{"en-US", "de-DE"});
    settings.setValue(Setting::writesTextSidecar, true);
    settings.setValue(Setting::completionNotificationsEnabled, true);
    settings.saveNewPreset(QStringLiteral("Archive scans"));
    settings.setValue(Setting::preprocessing, PreprocessStrength::standard);
    settings.saveNewPreset(QStringLiteral("Phone photos"));
    const QString watched = inputs.filePath("Scanner");
    QDir().mkpath(watched);
    app.watcher().startWatching(watched);
    app.showSettings();
    saveSettings(*app.settingsView());
    app.settingsView()->close();
    save(window, "main-preset"); // the main window's picker shows the preset now in use

    // The preview of a page that came out of the scanner on its side and 2 degrees off.
    const QString sideways = inputs.filePath("sideways-scan.png");
    test::imageFromRaster(test::tiltedPage(test::turnedPage(test::corpusRaster("linn.png"), 1), 2.0)).save(sideways);
    settings.setValue(Setting::perspective, false);
    PreprocessingPreviewView& preview = openPreview(window, sideways);
    save(preview, "preview");

    // The recommended cleaning tried instead of the preset's, and a region drawn over the lower half
    // of the processed page.
    preview.model().setStrength(PreprocessStrength::conservative);
    require(test::runUntil([&] { return !preview.model().isRendering(); }, 180s), "the preview did not process again");
    preview.findChild<QCheckBox*>("previewRegion")->setChecked(true);
    PreviewImagePane& pane = preview.processedPane();
    const Rect shown = pane.imageRect();
    const QPoint from(int(shown.x + shown.width * 0.08), int(shown.y + shown.height * 0.55));
    const QPoint to(int(shown.x + shown.width * 0.92), int(shown.y + shown.height * 0.9));
    QTest::mousePress(&pane, Qt::LeftButton, {}, from);
    QTest::mouseMove(&pane, to);
    QTest::mouseRelease(&pane, Qt::LeftButton, {}, to);
    require(preview.model().region().has_value(), "the drag drew no region");
    save(preview, "preview-region");
    preview.reject();
    return 0;
}
