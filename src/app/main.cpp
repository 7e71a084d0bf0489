// quorvane: the desktop application. `quorvane [FILE…]` opens the window and processes the
// files; while one Quorvane runs, another `quorvane FILE…` hands its files over and exits.

#include "app/PendingDrops.h"
#include "app/QuorvaneApp.h"
#include "app/SingleInstance.h"
#include "jobs/InputFiles.h"
#include "platform/FileNames.h"
#include "platform/InterruptHandler.h"
#include "platform/ProcessStart.h"
#include "platform/TesseractOCRService.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QUrl>

#include <csignal>
#include <cstdio>

using namespace quorvane;

namespace {

// Absolute paths, so that the running instance finds them whatever its own folder is. The file
// manager may pass file: addresses.
QStringList absolutePaths(const QStringList& arguments) {
    QStringList paths;
    for (const auto& argument : arguments) {
        const QUrl url(argument);
        const QString path = url.isLocalFile() ? url.toLocalFile() : argument;
        paths.append(QFileInfo(path).absoluteFilePath());
    }
    return paths;
}

} // namespace

int main(int argc, char** argv) {
    ProcessStart::beforeAnyThread();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quorvane"));
    QApplication::setApplicationVersion(QStringLiteral(QUORVANE_VERSION));
    QApplication::setDesktopFileName(QStringLiteral(QUORVANE_APP_ID));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Makes scanned PDFs and images searchable."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("files"), QStringLiteral("PDFs, images or folders to process."),
                                 QStringLiteral("[FILE…]"));
    parser.process(app);
    const QStringList files = absolutePaths(parser.positionalArguments());
    // The window passes over what it cannot take without a word; a terminal gets to know why.
    for (const auto& file : files) {
        if (const auto problem = InputFiles::whyNotTaken(file)) {
            std::fprintf(stderr, "quorvane: %s: %s\n", qPrintable(FileNames::shown(file)), qPrintable(*problem));
        }
    }

    PendingDrops drops;
    SingleInstance instance(drops);
    bool listening = false;
    // Twice: another instance may start listening between our hand-over attempt and our own listen.
    for (int attempt = 0; attempt < 2 && !listening; ++attempt) {
        switch (SingleInstance::handOver(files)) {
        case SingleInstance::HandOver::delivered: return 0;
        case SingleInstance::HandOver::noAnswer:
            std::fputs("quorvane: a running Quorvane did not answer; close it and try again.\n", stderr);
            return 1;
        case SingleInstance::HandOver::noInstance: listening = instance.listen(); break;
        }
    }
    if (!listening) {
        const QString path = SingleInstance::socketPath();
        const QByteArray where =
            path.isEmpty()
                ? QByteArrayLiteral("a socket of its own (the runtime folder belongs to another user)")
                : path.toLocal8Bit();
        std::fprintf(stderr, "quorvane: cannot listen on %s; files opened later start another window.\n",
                     where.constData());
    }

    QuorvaneApp quorvane(drops, std::make_shared<TesseractOCRService>());
    // Logging out, `kill` or a closed terminal would otherwise end the program mid-document,
    // leaving its lock and half-written files beside the user's. Its log going away (a journal
    // that restarts) is no reason to quit: that signal stays ignored.
    std::signal(SIGPIPE, SIG_IGN);
    InterruptHandler interrupts;
    QObject::connect(&interrupts, &InterruptHandler::interrupted, &quorvane, &QuorvaneApp::quitNow);
    QObject::connect(&interrupts, &InterruptHandler::terminated, &quorvane, &QuorvaneApp::quitNow);
    quorvane.launch(files);
    return app.exec();
}
