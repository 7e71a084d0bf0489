// quorvane-cli: the terminal front end of the Quorvane engine.

#include "cli/CommandLine.h"
#include "cli/DocumentRunner.h"
#include "jobs/InputFiles.h"
#include "pipeline/OutputPath.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <cstdio>

using namespace quorvane;

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Quorvane"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QUORVANE_VERSION));

    const auto parsed = cli::parse(QCoreApplication::arguments(), OCROptions{}, OutputPath::defaultTemplate);
    if (!parsed.commandLine) {
        std::fputs((parsed.message + QLatin1Char('\n')).toLocal8Bit().constData(), parsed.exitCode == 0 ? stdout : stderr);
        return parsed.exitCode;
    }

    // Named files that cannot be taken are reported; folders contribute what they hold.
    int refused = 0;
    for (const auto& input : parsed.commandLine->inputs) {
        const QFileInfo info(input);
        QString problem;
        if (!info.exists()) {
            problem = QStringLiteral("No such file or folder.");
        } else if (!info.isDir() && !InputFiles::isAcceptedInput(input)) {
            problem = QStringLiteral("Not a PDF or a supported image (png, jpg, jpeg, heic, heif, tiff, tif, bmp, gif).");
        }
        if (!problem.isEmpty()) {
            std::fprintf(stderr, "quorvane-cli: %s: %s\n", input.toLocal8Bit().constData(), problem.toLocal8Bit().constData());
            refused += 1;
        }
    }

    const QStringList files = InputFiles::expandInputs(parsed.commandLine->inputs);
    cli::DocumentRunner runner(*parsed.commandLine, files);
    QObject::connect(&runner, &cli::DocumentRunner::finished, &app, &QCoreApplication::quit);
    runner.start();
    app.exec();
    return refused > 0 ? 1 : runner.exitCode();
}
