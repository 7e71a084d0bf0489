#include "cli/CommandLine.h"

#include "cli/ExitStatus.h"
#include "cli/ReportFile.h"
#include "core/CustomWordList.h"
#include "platform/FileErrors.h"
#include "platform/FileNames.h"
#include "settings/AppSettings.h"

#include <QCommandLineParser>

#include <cmath>
#include <variant>

namespace quorvane::cli {

namespace {

// The options that set one setting for this run: a value option, a pair of switches (--deskew,
// --no-deskew) or one switch per case (--fast, --accurate). A switch gives its value in `values`.
struct SettingOptions {
    Setting setting;
    QList<QCommandLineOption> options;
    QList<SettingValue> values;
};

QList<SettingOptions> settingOptions() {
    QList<SettingOptions> result;
    for (const auto& row : settingsTable()) {
        const auto& form = row.commandLine;
        if (form.name.isEmpty()) {
            continue;
        }
        SettingOptions entry{row.setting, {}, {}};
        if (std::holds_alternative<bool>(row.defaultValue)) {
            entry.options = {QCommandLineOption(form.name, form.help),
                             QCommandLineOption(QStringLiteral("no-") + form.name,
                                                QStringLiteral("Turn --%1 off.").arg(form.name))};
            entry.values = {true, false};
        } else if (form.switchPerChoice) {
            for (const auto& choice : choices(row.defaultValue)) {
                entry.options.append(QCommandLineOption(toText(choice), form.help.arg(displayName(choice))));
                entry.values.append(choice);
            }
        } else {
            const QStringList names = form.shortName.isEmpty() ? QStringList{form.name}
                                                               : QStringList{form.shortName, form.name};
            entry.options = {QCommandLineOption(names, form.help, form.valueName)};
        }
        result.append(entry);
    }
    return result;
}

// The value an entry's options give, nothing when none is given, or the usage error.
std::variant<std::monostate, SettingValue, QString> givenValue(const QCommandLineParser& parser,
                                                               const SettingOptions& entry) {
    if (entry.values.isEmpty()) {
        const auto& option = entry.options.first();
        if (!parser.isSet(option)) {
            return {};
        }
        const QString given = QStringLiteral("--") + option.names().last();
        if (describe(entry.setting).commandLine.readsFile) {
            const QString path = parser.value(option);
            const auto file = CustomWordList::readFile(path);
            if (!file.text) {
                return QStringLiteral("%1: cannot read \"%2\": %3").arg(given, path, file.problem);
            }
            return SettingValue(*file.text);
        }
        auto typed = settingFromText(entry.setting, parser.value(option), given);
        if (!typed.value) {
            return typed.refusal;
        }
        return *typed.value;
    }
    QStringList given;
    std::optional<SettingValue> value;
    for (qsizetype i = 0; i < entry.options.size(); ++i) {
        if (parser.isSet(entry.options[i])) {
            given.append(QStringLiteral("--") + entry.options[i].names().first());
            value = entry.values[i];
        }
    }
    if (given.size() > 1) {
        return QStringLiteral("%1 contradict each other.").arg(given.join(QStringLiteral(" and ")));
    }
    if (value) {
        return *value;
    }
    return {};
}

ParseOutcome failure(const QString& message) {
    return {std::nullopt, usageError(message), ExitStatus::usage};
}

std::optional<Rect> parseRegion(const QString& text) {
    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() != 4) {
        return std::nullopt;
    }
    double values[4];
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        values[i] = parts[i].trimmed().toDouble(&ok);
        if (!ok || !std::isfinite(values[i]) || values[i] < 0 || values[i] > 1) {
            return std::nullopt;
        }
    }
    if (values[2] <= 0 || values[3] <= 0) {
        return std::nullopt;
    }
    return Rect{values[0], values[1], values[2], values[3]};
}

} // namespace

QString usageError(const QString& message) {
    return QStringLiteral("quorvane-cli: ") + message + QStringLiteral("\nTry 'quorvane-cli --help'.");
}

ParseOutcome parse(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Makes scanned PDFs and images searchable: writes a copy with an invisible text layer.\n"
        "One file is processed on its own; several files or a folder run as a batch, two at a time,\n"
        "skipping documents whose output is already up to date. Settings not given here come from the\n"
        "stored settings (see --show-settings)."));
    parser.addPositionalArgument(QStringLiteral("FILE|FOLDER"), QStringLiteral("PDFs, images, or folders of them."),
                                 QStringLiteral("FILE|FOLDER..."));
    const QCommandLineOption helpOption({"h", "help"}, QStringLiteral("Show this help."));
    const QCommandLineOption versionOption(QStringLiteral("version"), QStringLiteral("Show the version."));
    const QCommandLineOption outputDir({"o", "output-dir"},
                                       QStringLiteral("Write outputs into DIR (default: next to each source)."),
                                       QStringLiteral("DIR"));
    const QCommandLineOption region(QStringLiteral("region"),
                                    QStringLiteral("Keep only text inside this part of each page: X,Y,W,H as fractions "
                                                   "of the page, origin at the bottom left."),
                                    QStringLiteral("X,Y,W,H"));
    const QCommandLineOption recursive({"r", "recursive"},
                                       QStringLiteral("Search folders' subfolders too; with -o, outputs go into the "
                                                      "same subfolders of DIR."));
    const QCommandLineOption password(QStringLiteral("password"),
                                      QStringLiteral("Ask for the password of a locked PDF (read from standard input when "
                                                     "it is not a terminal). Used for this run only, never stored."));
    const QCommandLineOption force(QStringLiteral("force"), QStringLiteral("Process documents even when an up-to-date "
                                                                          "output exists."));
    const QCommandLineOption retry(QStringLiteral("retry"), QStringLiteral("Retry the failed documents once at the end."));
    const QCommandLineOption report(QStringLiteral("report"),
                                    QStringLiteral("Write a batch report when the batch ends (.csv or .json)."),
                                    QStringLiteral("FILE"));
    const QCommandLineOption watch(QStringLiteral("watch"),
                                   QStringLiteral("Watch DIR and make new arrivals searchable until interrupted (Ctrl-C)."),
                                   QStringLiteral("DIR"));
    const QCommandLineOption processExisting(QStringLiteral("process-existing"),
                                             QStringLiteral("With --watch, also process what is already there."));
    const QCommandLineOption preset(QStringLiteral("preset"), QStringLiteral("Run with a saved preset's settings."),
                                    QStringLiteral("NAME"));
    const QCommandLineOption listPresets(QStringLiteral("list-presets"), QStringLiteral("List the saved presets."));
    const QCommandLineOption savePreset(QStringLiteral("save-preset"),
                                        QStringLiteral("Save the settings, with this command line's options, as a preset."),
                                        QStringLiteral("NAME"));
    const QCommandLineOption deletePreset(QStringLiteral("delete-preset"), QStringLiteral("Delete a saved preset."),
                                          QStringLiteral("NAME"));
    const QCommandLineOption showSettings(QStringLiteral("show-settings"),
                                          QStringLiteral("Print every stored setting with its key."));
    const QCommandLineOption listLanguages(QStringLiteral("list-languages"),
                                           QStringLiteral("List the recognition languages and which are installed."));
    const QCommandLineOption set(QStringLiteral("set"), QStringLiteral("Store one setting, e.g. "
                                                                      "quorvane.settings.deskew=false."),
                                 QStringLiteral("KEY=VALUE"));
    parser.addOptions({helpOption, versionOption, outputDir, recursive});
    const auto settingEntries = settingOptions();
    for (const auto& entry : settingEntries) {
        parser.addOptions(entry.options);
    }
    parser.addOptions({region, password, force, retry, report, watch, processExisting, preset, listPresets, savePreset,
                       deletePreset, showSettings, listLanguages, set});

    if (!parser.parse(arguments)) {
        return failure(parser.errorText());
    }
    if (parser.isSet(helpOption)) {
        return {std::nullopt, parser.helpText() + QLatin1Char('\n') + ExitStatus::helpText(),
                ExitStatus::done};
    }
    if (parser.isSet(versionOption)) {
        return {std::nullopt, QStringLiteral("quorvane-cli " QUORVANE_VERSION), 0};
    }

    CommandLine commandLine;
    commandLine.inputs = parser.positionalArguments();
    commandLine.asksPassword = parser.isSet(password);
    commandLine.recursive = parser.isSet(recursive);
    commandLine.force = parser.isSet(force);
    commandLine.retry = parser.isSet(retry);
    commandLine.processExisting = parser.isSet(processExisting);
    commandLine.listPresets = parser.isSet(listPresets);
    commandLine.showSettings = parser.isSet(showSettings);
    commandLine.listLanguages = parser.isSet(listLanguages);
    if (parser.isSet(preset)) {
        commandLine.presetName = parser.value(preset);
    }
    if (parser.isSet(savePreset)) {
        commandLine.savePresetName = parser.value(savePreset).trimmed();
        if (commandLine.savePresetName->isEmpty()) {
            return failure(QStringLiteral("--save-preset needs a name."));
        }
        if (!AppSettings::isUsablePresetName(*commandLine.savePresetName)) {
            return failure(QStringLiteral("--save-preset: ") + AppSettings::controlCharacterInNameMessage);
        }
    }
    if (parser.isSet(deletePreset)) {
        commandLine.deletePresetName = parser.value(deletePreset);
    }
    for (const auto& assignment : parser.values(set)) {
        const qsizetype equals = assignment.indexOf(QLatin1Char('='));
        if (equals <= 0) {
            return failure(QStringLiteral("--set takes KEY=VALUE, e.g. quorvane.settings.deskew=false."));
        }
        commandLine.settingsToStore.append({assignment.left(equals), assignment.mid(equals + 1)});
    }
    if (parser.isSet(watch)) {
        if (!commandLine.inputs.isEmpty()) {
            return failure(
                QStringLiteral("--watch takes no other files or folders; \"%1\" would not be processed.")
                    .arg(commandLine.inputs.first()));
        }
        const QString folder = parser.value(watch);
        if (!FileNames::isDirectory(folder)) {
            return failure(
                QStringLiteral("--watch needs an existing folder; \"%1\" is not one.").arg(folder));
        }
        commandLine.watchFolder = FileNames::absolute(folder);
    }
    if (commandLine.processExisting && !commandLine.watchFolder) {
        return failure(QStringLiteral("--process-existing goes with --watch."));
    }
    if (commandLine.recursive && commandLine.watchFolder) {
        return failure(QStringLiteral("--recursive goes with folders to process, not with --watch."));
    }
    const bool managesSettings = commandLine.listPresets || commandLine.showSettings || commandLine.listLanguages ||
                                 commandLine.savePresetName ||
                                 commandLine.deletePresetName || !commandLine.settingsToStore.isEmpty();
    if (!commandLine.hasWorkToDo() && !managesSettings) {
        return failure(QStringLiteral("no input files given."));
    }
    if (parser.isSet(report)) {
        const QString path = parser.value(report);
        if (const auto problem = ReportFile::problem(path)) {
            return failure(*problem); // found now, not after the whole batch has run
        }
        commandLine.reportPath = FileNames::absolute(path);
    }

    if (parser.isSet(outputDir)) {
        const QString folder = parser.value(outputDir);
        if (folder.isEmpty()) {
            return failure(QStringLiteral("--output-dir needs a folder."));
        }
        if (const auto problem = FileErrors::makeFolder(folder)) {
            // Not a usage error: the folder named is fine, the disk will not have it.
            return {std::nullopt,
                    QStringLiteral("quorvane-cli: cannot create the output folder \"%1\": %2")
                        .arg(folder, *problem),
                    ExitStatus::outputNotWritten};
        }
        commandLine.outputFolder = FileNames::absolute(folder);
    }
    for (const auto& entry : settingEntries) {
        const auto given = givenValue(parser, entry);
        if (const auto* refusal = std::get_if<QString>(&given)) {
            return failure(*refusal);
        }
        if (const auto* value = std::get_if<SettingValue>(&given)) {
            commandLine.overrides.set(entry.setting, *value);
        }
    }
    if (parser.isSet(region)) {
        commandLine.region = parseRegion(parser.value(region));
        if (!commandLine.region) {
            return failure(QStringLiteral("--region takes X,Y,W,H: four numbers from 0 to 1, W and H above 0."));
        }
    }
    return {commandLine, {}, 0};
}

} // namespace quorvane::cli
