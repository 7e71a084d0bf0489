#include "cli/CommandLine.h"

#include "core/CustomWordList.h"
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
    bool OCROptions::*field;
};

const Switch switches[] = {
    {"auto-language", "Detect the page's script and recognise with its languages.",
     &OCROptions::automaticallyDetectsLanguage},
    {"language-correction", "Let the recognizer's dictionaries correct words.", &OCROptions::usesLanguageCorrection},
    {"sidecar", "Also write the recognised text as a .txt file next to the output.", &OCROptions::writesTextSidecar},
    {"srgb", "Add an sRGB output intent to the output.", &OCROptions::pdfAExport},
    {"rotate", "Turn sideways and upside-down pages upright.", &OCROptions::autoRotate},
    {"deskew", "Straighten slightly tilted pages.", &OCROptions::deskew},
    {"perspective", "Correct photographed, keystoned pages.", &OCROptions::perspective},
};

ParseOutcome usageError(const QString& message) {
    return {std::nullopt, QStringLiteral("quorvane-cli: ") + message + QStringLiteral("\nTry 'quorvane-cli --help'."), 2};
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

ParseOutcome parse(const QStringList& arguments, const OCROptions& defaults, const QString& defaultTemplate) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Makes scanned PDFs and images searchable: writes a copy with an invisible text layer."));
    parser.addPositionalArgument(QStringLiteral("FILE|FOLDER"), QStringLiteral("PDFs, images, or folders of them."),
                                 QStringLiteral("FILE|FOLDER..."));
    const QCommandLineOption helpOption({"h", "help"}, QStringLiteral("Show this help."));
    const QCommandLineOption versionOption(QStringLiteral("version"), QStringLiteral("Show the version."));
    const QCommandLineOption outputDir({"o", "output-dir"}, QStringLiteral("Write outputs into DIR (default: next to each source)."),
                                       QStringLiteral("DIR"));
    const QCommandLineOption name(QStringLiteral("name"),
                                  QStringLiteral("Output name template with {name} and {date} (default: %1).").arg(defaultTemplate),
                                  QStringLiteral("TEMPLATE"));
    const QCommandLineOption languages({"l", "languages"},
                                       QStringLiteral("Recognition languages in order of preference, e.g. en-US,de-DE."),
                                       QStringLiteral("TAGS"));
    const QCommandLineOption fast(QStringLiteral("fast"), QStringLiteral("Fast recognition instead of accurate."));
    const QCommandLineOption words(QStringLiteral("words"), QStringLiteral("Extra words for the recognizer, one per line."),
                                   QStringLiteral("FILE"));
    const QCommandLineOption clean(QStringLiteral("clean"), QStringLiteral("Image cleaning: off, conservative, standard or aggressive."),
                                   QStringLiteral("STRENGTH"));
    const QCommandLineOption region(QStringLiteral("region"),
                                    QStringLiteral("Keep only text inside this part of each page: X,Y,W,H as fractions of the "
                                                   "page, origin at the bottom left."),
                                    QStringLiteral("X,Y,W,H"));
    const QCommandLineOption password(QStringLiteral("password"),
                                      QStringLiteral("Ask for the password of locked PDFs (read from standard input when it is "
                                                     "not a terminal). It is used for this run only."));
    parser.addOptions({helpOption, versionOption, outputDir, name, languages, fast, words, clean, region, password});

    std::vector<std::pair<QCommandLineOption, QCommandLineOption>> switchOptions;
    for (const auto& option : switches) {
        const QString key = QString::fromLatin1(option.name);
        switchOptions.emplace_back(QCommandLineOption(key, QString::fromLatin1(option.help)),
                                   QCommandLineOption(QStringLiteral("no-") + key, QStringLiteral("Turn --%1 off.").arg(key)));
        parser.addOption(switchOptions.back().first);
        parser.addOption(switchOptions.back().second);
    }

    if (!parser.parse(arguments)) {
        return usageError(parser.errorText());
    }
    if (parser.isSet(helpOption)) {
        return {std::nullopt, parser.helpText(), 0};
    }
    if (parser.isSet(versionOption)) {
        return {std::nullopt, QStringLiteral("quorvane-cli " QUORVANE_VERSION), 0};
    }

    CommandLine commandLine;
    commandLine.options = defaults;
    commandLine.nameTemplate = parser.isSet(name) ? parser.value(name) : defaultTemplate;
    commandLine.inputs = parser.positionalArguments();
    commandLine.asksPassword = parser.isSet(password);
    if (commandLine.inputs.isEmpty()) {
        return usageError(QStringLiteral("no input files given."));
    }

    OCROptions& options = commandLine.options;
    if (parser.isSet(outputDir)) {
        const QString folder = parser.value(outputDir);
        if (!QDir().mkpath(folder)) {
            return usageError(QStringLiteral("cannot create the output folder \"%1\".").arg(folder));
        }
        commandLine.outputFolder = QFileInfo(folder).absoluteFilePath();
    }
    if (parser.isSet(languages)) {
        QStringList tags;
        for (const auto& tag : parser.value(languages).split(QLatin1Char(','), Qt::SkipEmptyParts)) {
            if (!OCRLanguageCatalog::contains(tag.trimmed())) {
                return usageError(QStringLiteral("unknown language \"%1\"; use tags such as en-US, de-DE, fr-FR.")
                                      .arg(tag.trimmed()));
            }
            tags.append(tag.trimmed());
        }
        options.languages = OCRLanguageCatalog::sanitized(tags);
    }
    if (parser.isSet(fast)) {
        options.recognitionLevel = OCRRecognitionLevel::fast;
    }
    for (size_t i = 0; i < std::size(switches); ++i) {
        if (parser.isSet(switchOptions[i].first) && parser.isSet(switchOptions[i].second)) {
            return usageError(QStringLiteral("--%1 and --no-%1 contradict each other.").arg(switches[i].name));
        }
        if (parser.isSet(switchOptions[i].first)) {
            options.*(switches[i].field) = true;
        } else if (parser.isSet(switchOptions[i].second)) {
            options.*(switches[i].field) = false;
        }
    }
    if (parser.isSet(words)) {
        QFile file(parser.value(words));
        if (!file.open(QIODevice::ReadOnly)) {
            return usageError(QStringLiteral("cannot read the word list \"%1\": %2").arg(file.fileName(), file.errorString()));
        }
        options.customWords = CustomWordList::parse(QString::fromUtf8(file.readAll()));
    }
    if (parser.isSet(clean)) {
        const auto strength = preprocessStrengthFromRaw(parser.value(clean));
        if (!strength) {
            return usageError(QStringLiteral("--clean takes off, conservative, standard or aggressive."));
        }
        options.preprocessing = *strength;
    }
    if (parser.isSet(region)) {
        const auto rect = parseRegion(parser.value(region));
        if (!rect) {
            return usageError(QStringLiteral("--region takes X,Y,W,H: four numbers from 0 to 1, W and H above 0."));
        }
        options.region = rect;
    }
    return {commandLine, {}, 0};
}

} // namespace quorvane::cli
