// quorvane-cli: the terminal front end of the Quorvane engine.

#include "cli/BatchRunner.h"
#include "cli/CommandLine.h"
#include "cli/DocumentRunner.h"
#include "cli/ExitStatus.h"
#include "cli/LanguageCommands.h"
#include "cli/SettingsCommands.h"
#include "cli/Terminal.h"
#include "jobs/InputFiles.h"
#include "pipeline/OutputPath.h"
#include "platform/FileNames.h"
#include "platform/InterruptHandler.h"
#include "platform/ProcessStart.h"
#include "platform/TesseractOCRService.h"
#include "settings/AppSettings.h"

#include <QCoreApplication>
#include <QUuid>

#include <cstdio>

using namespace quorvane;

namespace {

// Texts that quote what the user typed or stored: shown safely on a terminal.
void print(FILE* stream, const QString& text) { cli::Terminal::print(stream, cli::Terminal::shown(text, stream, true)); }

// Settings, presets and their listings. Returns an exit status when the program should stop.
std::optional<int> manageSettings(const cli::CommandLine& commandLine, AppSettings& settings) {
    // A change that did not reach the disk is reported, not announced as done.
    const auto unsaved = [&settings] {
        if (const auto error = settings.storeError()) {
            print(stderr, QStringLiteral("quorvane-cli: ") + *error + QLatin1Char('\n'));
            return true;
        }
        return false;
    };
    for (const auto& [key, value] : commandLine.settingsToStore) {
        if (const auto error = cli::storeSetting(settings, key, value)) {
            print(stderr, cli::usageError(*error) + QLatin1Char('\n'));
            return cli::ExitStatus::usage;
        }
        if (unsaved()) {
            return 1;
        }
        print(stdout, cli::storedSettingReport(settings, key));
    }
    if (commandLine.deletePresetName) {
        // An unknown name is a wrong command line, as it is for --preset.
        if (const auto error = cli::deletePreset(settings, *commandLine.deletePresetName)) {
            print(stderr, cli::usageError(*error) + QLatin1Char('\n'));
            return cli::ExitStatus::usage;
        }
        if (unsaved()) {
            return 1;
        }
        print(stdout, QStringLiteral("Deleted preset \"%1\".\n").arg(*commandLine.deletePresetName));
    }
    if (commandLine.savePresetName) {
        SettingValues base = settings.values();
        if (commandLine.presetName) {
            if (const auto preset = cli::presetNamed(settings, *commandLine.presetName)) {
                base = base.overriddenBy(preset->settings);
            }
        }
        const auto saved =
            cli::savePreset(settings, base.overriddenBy(commandLine.overrides), *commandLine.savePresetName);
        if (saved.outcome != cli::SavedPreset::refused && unsaved()) {
            return 1;
        }
        switch (saved.outcome) {
        case cli::SavedPreset::refused:
            print(stderr, QStringLiteral("quorvane-cli: ") + saved.refusal + QLatin1Char('\n'));
            return 1;
        case cli::SavedPreset::saved: print(stdout, QStringLiteral("Saved preset \"%1\".\n").arg(saved.name)); break;
        case cli::SavedPreset::replaced:
            print(stdout, QStringLiteral("Replaced the settings of preset \"%1\".\n").arg(saved.name));
            break;
        case cli::SavedPreset::unchanged:
            print(stdout, QStringLiteral("Preset \"%1\" already has these settings.\n").arg(saved.name));
            break;
        }
    }
    if (commandLine.listPresets) {
        print(stdout, cli::presetListing(settings));
    }
    if (commandLine.showSettings) {
        print(stdout, cli::settingsListing(settings));
    }
    return std::nullopt;
}

} // namespace

int main(int argc, char** argv) {
    ProcessStart::beforeAnyThread();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Quorvane"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QUORVANE_VERSION));

    // Decoded here rather than by Qt, which loses the bytes of a name that is not UTF-8.
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        arguments.append(FileNames::decode(QByteArray(argv[i])));
    }
    const auto parsed = cli::parse(arguments);
    if (!parsed.commandLine) {
        print(parsed.exitCode == 0 ? stdout : stderr, parsed.message + QLatin1Char('\n'));
        return parsed.exitCode;
    }
    const cli::CommandLine& commandLine = *parsed.commandLine;

    AppSettings settings;
    if (const auto status = manageSettings(commandLine, settings)) {
        return *status;
    }

    // The settings of this run: the stored ones or a preset's, with the command line's on top.
    SettingValues runSettings = settings.values();
    if (commandLine.presetName) {
        const auto preset = cli::presetNamed(settings, *commandLine.presetName);
        if (!preset) {
            print(stderr, cli::usageError(QStringLiteral("no preset is named \"%1\"; --list-presets lists them.")
                                              .arg(*commandLine.presetName)) +
                              QLatin1Char('\n'));
            return cli::ExitStatus::usage;
        }
        runSettings = runSettings.overriddenBy(preset->settings);
    }
    runSettings = runSettings.overriddenBy(commandLine.overrides);
    OCROptions options = jobOptions(runSettings);
    options.region = commandLine.region;
    const QString nameTemplate = runSettings.get<QString>(Setting::outputNameTemplate);
    const bool skipsExisting = runSettings.get<bool>(Setting::batchSkipExistingOutputs) && !commandLine.force;

    if (commandLine.listLanguages) {
        print(stdout, cli::languageListing(options.effectiveLanguages()));
    }
    if (!commandLine.hasWorkToDo()) {
        return 0;
    }
    // Tesseract without a language's data reads its text as garbage in another: refused before any work.
    if (const auto missing = cli::missingLanguages(options.effectiveLanguages())) {
        print(stderr, QStringLiteral("quorvane-cli: ") + *missing + QLatin1Char('\n'));
        return 2;
    }

    InterruptHandler interrupts;
    const auto recognizer = std::make_shared<TesseractOCRService>();

    if (commandLine.watchFolder) {
        cli::BatchRunner runner({options, commandLine.outputFolder, nameTemplate, skipsExisting, false,
                                 commandLine.reportPath},
                                recognizer);
        QObject::connect(&interrupts, &InterruptHandler::interrupted, &runner, &cli::BatchRunner::interrupt);
        QObject::connect(&interrupts, &InterruptHandler::terminated, &runner, &cli::BatchRunner::stop);
        QObject::connect(&runner, &cli::BatchRunner::finished, &app, &QCoreApplication::quit);
        runner.watch(*commandLine.watchFolder, commandLine.processExisting);
        app.exec();
        return runner.exitCode();
    }

    // Named files that cannot be taken are reported; folders contribute what they hold.
    QList<BatchItem> refusedItems; // failed in the report too
    QStringList inputs, folders;
    bool anyFolder = false;
    for (const auto& input : commandLine.inputs) {
        if (const auto problem = InputFiles::whyNotTaken(input)) {
            print(stderr, QStringLiteral("quorvane-cli: %1: %2\n").arg(cli::Terminal::shown(input, stderr), *problem));
            refusedItems.append(BatchItem::queued(FileNames::absolute(input)));
            refusedItems.last().status = ItemStatus::failed(*problem);
            continue;
        }
        inputs.append(FileNames::absolute(input));
        if (FileNames::isDirectory(input)) {
            anyFolder = true;
            folders.append(inputs.last());
        }
    }
    const auto expansion =
        InputFiles::expand(inputs, commandLine.recursive, commandLine.outputFolder.value_or(QString()));
    const QStringList& files = expansion.files;
    if (expansion.unsearchedFolders > 0) {
        print(stderr, QStringLiteral("quorvane-cli: %1 subfolder(s) not searched; -r searches them too.\n")
                          .arg(expansion.unsearchedFolders));
    }
    if (expansion.unfollowedLinks > 0) {
        print(stderr, QStringLiteral("quorvane-cli: %1 link(s) to folders not followed.\n")
                          .arg(expansion.unfollowedLinks));
    }

    if (commandLine.asksPassword && (files.size() > 1 || anyFolder)) {
        print(stderr, cli::usageError(QStringLiteral("--password works with one PDF at a time; run each locked PDF "
                                                     "on its own with --password.")) +
                          QLatin1Char('\n'));
        return 2;
    }

    int status = cli::ExitStatus::done;
    if (files.size() == 1 && !anyFolder) {
        // One file on its own: the single-document path, which can ask for a password.
        const QString output = OutputPath::outputURL(files.first(), commandLine.outputFolder, nameTemplate);
        cli::DocumentRunner runner(files.first(), output, options, commandLine.asksPassword,
                                   commandLine.reportPath, refusedItems, recognizer);
        QObject::connect(&interrupts, &InterruptHandler::interrupted, &runner, &cli::DocumentRunner::interrupt);
        QObject::connect(&interrupts, &InterruptHandler::terminated, &runner, &cli::DocumentRunner::stop);
        QObject::connect(&runner, &cli::DocumentRunner::finished, &app, &QCoreApplication::quit);
        runner.start();
        app.exec();
        status = runner.exitCode();
    } else {
        cli::BatchRunner runner({options, commandLine.outputFolder, nameTemplate, skipsExisting,
                                 commandLine.retry, commandLine.reportPath,
                                 commandLine.recursive ? folders : QStringList(), refusedItems},
                                recognizer);
        QObject::connect(&interrupts, &InterruptHandler::interrupted, &runner, &cli::BatchRunner::interrupt);
        QObject::connect(&interrupts, &InterruptHandler::terminated, &runner, &cli::BatchRunner::stop);
        QObject::connect(&runner, &cli::BatchRunner::finished, &app, &QCoreApplication::quit);
        runner.run(files);
        app.exec();
        status = runner.exitCode();
    }
    if (refusedItems.isEmpty()) {
        return status;
    }
    // A file named alone that cannot be taken is an unreadable input; among others, a failed document.
    if (commandLine.inputs.size() == 1) {
        return cli::ExitStatus::unreadableInput;
    }
    return status == cli::ExitStatus::done ? cli::ExitStatus::documentFailed : status;
}
