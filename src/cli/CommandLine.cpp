#include "cli/CommandLine.h"

#include "cli/ExitStatus.h"
#include "core/OCRLanguageCatalog.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cmath>

namespace quorvane::cli {

namespace {

struct Switch {
    const char* name;
    const char* help;
    std::optional<bool> SettingOverrides::*field;
};

const Switch switches[] = {
    {"auto-language", "Detect the page's script and recognise with its languages.",
     &SettingOverrides::automaticallyDetectsLanguage},
    {"language-correction", "Let the recognizer's dictionaries correct words.", &SettingOverrides::usesLanguageCorrection},
    {"sidecar", "Also write the recognised text as a .txt file next to the output.", &SettingOverrides::writesTextSidecar},
    {"srgb", "Add an sRGB output intent to the output.", &SettingOverrides::pdfAExport},
    {"rotate", "Turn sideways and upside-down pages upright.", &SettingOverrides::autoRotate},
    {"deskew", "Straighten slightly tilted pages.", &SettingOverrides::deskew},
    {"perspective", "Correct photographed, keystoned pages.", &SettingOverrides::perspective},
};

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

OCRPreset SettingOverrides::appliedTo(OCRPreset settings) const {
    settings.recognitionLevel = recognitionLevel.value_or(settings.recognitionLevel);
    settings.languages = languages.value_or(settings.languages);
    settings.automaticallyDetectsLanguage = automaticallyDetectsLanguage.value_or(settings.automaticallyDetectsLanguage);
    settings.usesLanguageCorrection = usesLanguageCorrection.value_or(settings.usesLanguageCorrection);
    settings.customWordsText = customWordsText.value_or(settings.customWordsText);
    settings.preprocessing = preprocessing.value_or(settings.preprocessing);
    settings.autoRotate = autoRotate.value_or(settings.autoRotate);
    settings.deskew = deskew.value_or(settings.deskew);
    settings.perspective = perspective.value_or(settings.perspective);
    settings.writesTextSidecar = writesTextSidecar.value_or(settings.writesTextSidecar);
    settings.pdfAExport = pdfAExport.value_or(settings.pdfAExport);
    settings.outputNameTemplate = outputNameTemplate.value_or(settings.outputNameTemplate);
    return settings;
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
    const QCommandLineOption name(QStringLiteral("name"), QStringLiteral("Output name template with {name} and {date}."),
                                  QStringLiteral("TEMPLATE"));
    const QCommandLineOption languages({"l", "languages"},
                                       QStringLiteral("Recognition languages in order of preference, e.g. en-US,de-DE."),
                                       QStringLiteral("TAGS"));
    const QCommandLineOption fast(QStringLiteral("fast"), QStringLiteral("Fast recognition instead of accurate."));
    const QCommandLineOption accurate(QStringLiteral("accurate"), QStringLiteral("Accurate recognition."));
    const QCommandLineOption words(QStringLiteral("words"), QStringLiteral("Extra words for the recognizer, one per line."),
                                   QStringLiteral("FILE"));
    const QCommandLineOption clean(QStringLiteral("clean"),
                                   QStringLiteral("Image cleaning: off, conservative, standard or aggressive."),
                                   QStringLiteral("STRENGTH"));
    const QCommandLineOption region(QStringLiteral("region"),
                                    QStringLiteral("Keep only text inside this part of each page: X,Y,W,H as fractions "
                                                   "of the page, origin at the bottom left."),
                                    QStringLiteral("X,Y,W,H"));
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
    const QCommandLineOption set(QStringLiteral("set"), QStringLiteral("Store one setting, e.g. "
                                                                      "quorvane.settings.deskew=false."),
                                 QStringLiteral("KEY=VALUE"));
    parser.addOptions({helpOption, versionOption, outputDir, name, languages, fast, accurate, words, clean, region,
                       password, force, retry, report, watch, processExisting, preset, listPresets, savePreset,
                       deletePreset, showSettings, set});

    std::vector<std::pair<QCommandLineOption, QCommandLineOption>> switchOptions;
    for (const auto& option : switches) {
        const QString key = QString::fromLatin1(option.name);
        switchOptions.emplace_back(QCommandLineOption(key, QString::fromLatin1(option.help)),
                                   QCommandLineOption(QStringLiteral("no-") + key, QStringLiteral("Turn --%1 off.").arg(key)));
        parser.addOption(switchOptions.back().first);
        parser.addOption(switchOptions.back().second);
    }

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
    commandLine.force = parser.isSet(force);
    commandLine.retry = parser.isSet(retry);
    commandLine.processExisting = parser.isSet(processExisting);
    commandLine.listPresets = parser.isSet(listPresets);
    commandLine.showSettings = parser.isSet(showSettings);
    if (parser.isSet(preset)) {
        commandLine.presetName = parser.value(preset);
    }
    if (parser.isSet(savePreset)) {
        commandLine.savePresetName = parser.value(savePreset);
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
        const QFileInfo folder(parser.value(watch));
        if (!folder.isDir()) {
            return failure(QStringLiteral("--watch needs an existing folder; \"%1\" is not one.").arg(parser.value(watch)));
        }
        commandLine.watchFolder = folder.absoluteFilePath();
    }
    if (commandLine.processExisting && !commandLine.watchFolder) {
        return failure(QStringLiteral("--process-existing goes with --watch."));
    }
    const bool managesSettings = commandLine.listPresets || commandLine.showSettings || commandLine.savePresetName ||
                                 commandLine.deletePresetName || !commandLine.settingsToStore.isEmpty();
    if (!commandLine.hasWorkToDo() && !managesSettings) {
        return failure(QStringLiteral("no input files given."));
    }
    if (parser.isSet(report)) {
        const QString path = parser.value(report);
        const QString suffix = QFileInfo(path).suffix().toLower();
        if (suffix != QLatin1String("csv") && suffix != QLatin1String("json")) {
            return failure(QStringLiteral("--report needs a file name ending in .csv or .json."));
        }
        commandLine.reportPath = QFileInfo(path).absoluteFilePath();
    }

    SettingOverrides& overrides = commandLine.overrides;
    if (parser.isSet(outputDir)) {
        const QString folder = parser.value(outputDir);
        if (!QDir().mkpath(folder)) {
            return failure(QStringLiteral("cannot create the output folder \"%1\".").arg(folder));
        }
        commandLine.outputFolder = QFileInfo(folder).absoluteFilePath();
    }
    if (parser.isSet(name)) {
        overrides.outputNameTemplate = parser.value(name);
    }
    if (parser.isSet(languages)) {
        QStringList tags;
        for (const auto& tag : parser.value(languages).split(QLatin1Char(','), Qt::SkipEmptyParts)) {
            if (!OCRLanguageCatalog::contains(tag.trimmed())) {
                return failure(QStringLiteral("unknown language \"%1\"; use tags such as en-US, de-DE, fr-FR.")
                                   .arg(tag.trimmed()));
            }
            tags.append(tag.trimmed());
        }
        overrides.languages = OCRLanguageCatalog::sanitized(tags);
    }
    if (parser.isSet(fast) && parser.isSet(accurate)) {
        return failure(QStringLiteral("--fast and --accurate contradict each other."));
    }
    if (parser.isSet(fast)) {
        overrides.recognitionLevel = OCRRecognitionLevel::fast;
    } else if (parser.isSet(accurate)) {
        overrides.recognitionLevel = OCRRecognitionLevel::accurate;
    }
    for (size_t i = 0; i < std::size(switches); ++i) {
        if (parser.isSet(switchOptions[i].first) && parser.isSet(switchOptions[i].second)) {
            return failure(QStringLiteral("--%1 and --no-%1 contradict each other.").arg(switches[i].name));
        }
        if (parser.isSet(switchOptions[i].first)) {
            overrides.*(switches[i].field) = true;
        } else if (parser.isSet(switchOptions[i].second)) {
            overrides.*(switches[i].field) = false;
        }
    }
    if (parser.isSet(words)) {
        QFile file(parser.value(words));
        if (!file.open(QIODevice::ReadOnly)) {
            return failure(QStringLiteral("cannot read the word list \"%1\": %2").arg(file.fileName(), file.errorString()));
        }
        overrides.customWordsText = QString::fromUtf8(file.readAll());
    }
    if (parser.isSet(clean)) {
        const auto strength = preprocessStrengthFromRaw(parser.value(clean));
        if (!strength) {
            return failure(QStringLiteral("--clean takes off, conservative, standard or aggressive."));
        }
        overrides.preprocessing = *strength;
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
