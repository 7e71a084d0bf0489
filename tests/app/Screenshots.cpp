// quorvane-screenshots OUTPUT_FOLDER: renders every state of the main window and its dialogs to
// PNG files, for reviewing the views. The phases are shown as the pipeline publishes them; the
// batch list comes from a real batch of small scans (a locked one, one with text already, one
// whose output exists).

#include "app/BatchPanel.h"
#include "app/ContentView.h"
#include "app/MainWindow.h"
#include "app/MainWorkflow.h"
#include "app/PasswordDialog.h"
#include "app/PasswordPrompt.h"
#include "app/PendingDrops.h"
#include "app/PhasePanel.h"
#include "app/QtDialogProvider.h"
#include "app/QuorvaneApp.h"
#include "app/UpdateChecker.h"
#include "settings/AppSettings.h"
#include "support/EventLoop.h"
#include "support/PdfBuilder.h"
#include "support/RasterFixtures.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QTemporaryDir>

#include <cstdio>

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

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("OMP_THREAD_LIMIT", "1");
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    qputenv("QUORVANE_UPDATE_FEED_URL", "http://127.0.0.1:9/feed.json");
    QApplication application(argc, argv);
    QApplication::setApplicationVersion(QStringLiteral(QUORVANE_VERSION));
    folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("screenshots");
    QDir().mkpath(folder);

    PendingDrops drops;
    QuorvaneApp app(drops);
    MainWindow& window = app.mainWindow();
    window.resize(720, 760);
    window.open();
    PhasePanel& phase = window.contentView().phasePanel();

    save(window, "idle");
    phase.show(Phase::preparing(), "annual-report.pdf");
    save(window, "preparing");
    phase.show(Phase::recognizing(1, 12), "annual-report.pdf");
    save(window, "recognizing-first-page");
    phase.show(Phase::recognizing(7, 12), "annual-report.pdf");
    save(window, "recognizing");
    phase.show(Phase::writing(), "annual-report.pdf");
    save(window, "writing");
    DocumentSummary everything{.outputURL = "/tmp/a_searchable.pdf", .sidecarURL = "/tmp/a_searchable.txt",
                               .processedPages = 11, .skippedPages = 1, .averageConfidence = 0.87f,
                               .lowDPIPages = 2, .rotatedPages = 1, .perspectiveCorrectedPages = 1};
    phase.show(Phase::done(everything), "annual-report.pdf");
    save(window, "done");
    everything.lowConfidencePages = 3;
    everything.sidecarURL.reset();
    everything.sidecarError = "Permission denied";
    phase.show(Phase::done(everything), "annual-report.pdf");
    save(window, "done-with-warnings");
    phase.show(Phase::done(DocumentSummary{.skippedPages = 4}), "already-searchable.pdf");
    save(window, "already-searchable");
    phase.show(Phase::failed("This PDF is password-protected. Enter its password to process it."), "locked.pdf");
    save(window, "failed");
    phase.show(Phase::idle(), {});

    // A real batch: a scan, a locked scan, a page with text already, a scan whose output exists.
    QTemporaryDir inputs;
    const QString memo = test::smallScan(inputs.path(), "memo.pdf");
    test::smallScan(inputs.path(), "minutes.pdf");
    test::smallScan(inputs.path(), "agenda.pdf");
    test::smallScan(inputs.path(), "agenda_searchable.pdf"); // up to date: skipped
    auto locked = test::buildPdf({{.mediaBox = {0, 0, 306, 144}, .image = test::renderParagraph(QSize(1275, 600), {"Locked"}, 50)}});
    test::saveEncryptedPdf(*locked, inputs.filePath("locked.pdf"), "secret", "owner");
    QFile::copy(QStringLiteral(QUORVANE_CORPUS_DIR "/graph_ocred.pdf"), inputs.filePath("graph.pdf"));
    const QStringList batchFiles{memo, inputs.filePath("minutes.pdf"), inputs.filePath("agenda.pdf"),
                                 inputs.filePath("locked.pdf"), inputs.filePath("graph.pdf")};
    app.settings().setValue(Setting::completionNotificationsEnabled, false);
    window.workflow().arrive(batchFiles);
    BatchCoordinator& batch = window.workflow().batch();
    test::runUntil([&] { return batch.completedCount() >= 2 || !batch.isRunning(); }, 120s);
    save(window, "batch-running");
    test::runUntil([&] { return !batch.isRunning(); }, 240s);
    save(window, "batch-finished");

    // The dialogs.
    QtDialogProvider dialogs(&window);
    dialogs.showAlert(MainWorkflow::busyTitle, MainWorkflow::busyMessage);
    saveNewestMessageBox(window, "busy-alert");
    dialogs.offerUpdate("Update Available",
                        UpdateChecker::offerMessage({.version = "1.4.0", .notesEn = "Pages recognise faster."}), {});
    saveNewestMessageBox(window, "update-available");
    PasswordPrompt prompt(inputs.filePath("locked.pdf"));
    PasswordDialog password(prompt, &window);
    password.show();
    save(password, "password");
    prompt.submit("wrong");
    test::runUntil([&] { return !prompt.error().isEmpty(); }, 20s);
    save(password, "password-wrong");
    return 0;
}
