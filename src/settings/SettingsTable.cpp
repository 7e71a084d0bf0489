#include "settings/SettingsTable.h"

#include "core/OCRLanguageCatalog.h"
#include "pipeline/OutputPath.h"

#include <algorithm>

namespace quorvane {

namespace {

// Tags the catalog does not offer and repeats are dropped; no languages at all means the defaults.
SettingValue knownLanguages(const SettingValue& value) {
    const auto tags = OCRLanguageCatalog::sanitized(std::get<QStringList>(value));
    return tags.isEmpty() ? OCRLanguageCatalog::defaultLanguages() : tags;
}

std::optional<QString> unknownLanguage(const SettingValue& value) {
    for (const auto& given : std::get<QStringList>(value)) {
        if (!OCRLanguageCatalog::tagFor(given)) {
            return QStringLiteral("unknown language \"%1\"; use tags such as en-US, de-DE, fr-FR or Tesseract "
                                  "codes such as eng, deu, fra.")
                .arg(given);
        }
    }
    return std::nullopt;
}

std::optional<QString> unusableTemplate(const SettingValue& value) {
    return OutputPath::templateProblem(std::get<QString>(value));
}

std::optional<QString> riskyTemplate(const SettingValue& value) {
    return OutputPath::templateWarning(std::get<QString>(value));
}

QList<SettingDescription> makeTable() {
    using S = Setting;
    using Section = SettingsSection;
    return {
        {.setting = S::recognitionLevel,
         .key = QStringLiteral("quorvane.settings.recognitionLevel"),
         .defaultValue = OCRRecognitionLevel::accurate,
         .presetKey = QStringLiteral("recognitionLevel"),
         .commandLine = {.name = QStringLiteral("level"),
                         .help = QStringLiteral("Recognition accuracy: %1."),
                         .switchPerChoice = true},
         .section = Section::recognition,
         .displayName = QStringLiteral("Accuracy")},
        {.setting = S::automaticallyDetectsLanguage,
         .key = QStringLiteral("quorvane.settings.autoDetectLanguage"),
         .defaultValue = true,
         .presetKey = QStringLiteral("automaticallyDetectsLanguage"),
         .commandLine = {.name = QStringLiteral("auto-language"),
                         .help =
                             QStringLiteral("Detect the page's script and language, and read it in that language.")},
         .section = Section::recognition,
         .displayName = QStringLiteral("Detect language automatically")},
        {.setting = S::usesLanguageCorrection,
         .key = QStringLiteral("quorvane.settings.languageCorrection"),
         .defaultValue = false,
         .presetKey = QStringLiteral("usesLanguageCorrection"),
         .commandLine = {.name = QStringLiteral("language-correction"),
                         .help = QStringLiteral("Let the recognizer's dictionaries correct words.")},
         .section = Section::recognition,
         .displayName = QStringLiteral("Use language correction"),
         .helpText = QStringLiteral("Turn correction off for serial numbers, case IDs or code \u2014 it "
                                    "\u201ccorrects\u201d digits otherwise.")},
        {.setting = S::languages,
         .key = QStringLiteral("quorvane.settings.languages"),
         .defaultValue = OCRLanguageCatalog::defaultLanguages(),
         .presetKey = QStringLiteral("languages"),
         .commandLine = {.name = QStringLiteral("languages"),
                         .shortName = QStringLiteral("l"),
                         .valueName = QStringLiteral("TAGS"),
                         .help = QStringLiteral(
                             "Recognition languages in order of preference, e.g. en-US,de-DE (or eng,deu).")},
         .section = Section::recognition,
         .displayName = QStringLiteral("Languages"),
         .normalised = knownLanguages,
         .problem = unknownLanguage},
        {.setting = S::customWordsText,
         .key = QStringLiteral("quorvane.settings.customWords"),
         .defaultValue = QString(),
         .presetKey = QStringLiteral("customWordsText"),
         .commandLine = {.name = QStringLiteral("words"),
                         .valueName = QStringLiteral("FILE"),
                         .help = QStringLiteral("Extra words for the recognizer, one per line."),
                         .readsFile = true},
         .section = Section::vocabulary,
         .displayName = QStringLiteral("Custom words (one per line)"),
         .helpText =
             QStringLiteral("Names, company names, case numbers and jargon. Improves proper-noun accuracy. "
                            "Import accepts .txt or .csv (one word per line, or comma-separated)."),
         .multiLine = true},
        {.setting = S::preprocessing,
         .key = QStringLiteral("quorvane.settings.preprocessing"),
         .defaultValue = PreprocessStrength::conservative,
         .presetKey = QStringLiteral("preprocessing"),
         .commandLine = {.name = QStringLiteral("clean"),
                         .valueName = QStringLiteral("STRENGTH"),
                         .help =
                             QStringLiteral("Image cleaning: off, conservative, standard or aggressive.")},
         .section = Section::preprocessing,
         .displayName = QStringLiteral("Strength"),
         .helpText =
             QStringLiteral("Conservative only lifts contrast \u2014 it never erases faint stamps or "
                            "signatures. Standard and above add shadow removal, denoise and despeckle.")},
        {.setting = S::autoRotate,
         .key = QStringLiteral("quorvane.settings.autoRotate"),
         .defaultValue = true,
         .presetKey = QStringLiteral("autoRotate"),
         .commandLine = {.name = QStringLiteral("rotate"),
                         .help = QStringLiteral("Turn sideways and upside-down pages upright.")},
         .section = Section::preprocessing,
         .displayName = QStringLiteral("Auto-rotate sideways or upside-down pages"),
         .helpText = QStringLiteral(
             "Detects pages whose text is rotated (90\u00b0/180\u00b0/270\u00b0) and saves the "
             "PDF upright, text layer aligned. Only runs on pages the first recognition pass "
             "can barely read.")},
        {.setting = S::deskew,
         .key = QStringLiteral("quorvane.settings.deskew"),
         .defaultValue = true,
         .presetKey = QStringLiteral("deskew"),
         .commandLine = {.name = QStringLiteral("deskew"),
                         .help = QStringLiteral("Straighten slightly tilted pages.")},
         .section = Section::preprocessing,
         .displayName = QStringLiteral("Deskew tilted pages"),
         .helpText =
             QStringLiteral("Straightens pages scanned at a slight angle. Text layer stays aligned with the "
                            "corrected content.")},
        {.setting = S::perspective,
         .key = QStringLiteral("quorvane.settings.perspective"),
         .defaultValue = true,
         .presetKey = QStringLiteral("perspective"),
         .commandLine = {.name = QStringLiteral("perspective"),
                         .help = QStringLiteral("Correct photographed, keystoned pages.")},
         .section = Section::preprocessing,
         .displayName = QStringLiteral("Fix trapezoid / keystone perspective"),
         .helpText =
             QStringLiteral("Corrects pages captured at an angle (phone photos of documents laid flat). Runs "
                            "after deskew to handle remaining non-uniform tilt.")},
        {.setting = S::outputNameTemplate,
         .key = QStringLiteral("quorvane.settings.outputNameTemplate"),
         .defaultValue = OutputPath::defaultTemplate,
         .presetKey = QStringLiteral("outputNameTemplate"),
         .commandLine = {.name = QStringLiteral("name"),
                         .valueName = QStringLiteral("TEMPLATE"),
                         .help = QStringLiteral("Output name template with {name} and {date}.")},
         .section = Section::output,
         .displayName = QStringLiteral("Output file name"),
         .helpText =
             QStringLiteral("Tokens: {name} \u2192 the original file name, {date} \u2192 today (YYYY-MM-DD). "
                            "Always saved as .pdf."),
         .problem = unusableTemplate,
         .warning = riskyTemplate},
        {.setting = S::batchSkipExistingOutputs,
         .key = QStringLiteral("quorvane.settings.batchSkipExisting"),
         .defaultValue = true,
         .section = Section::output,
         .displayName = QStringLiteral("Skip files that already have an output (batch resume)"),
         .helpText =
             QStringLiteral("Re-running a batch only processes what's new or changed. To force a redo, "
                            "delete the old outputs or change the name template.")},
        {.setting = S::writesTextSidecar,
         .key = QStringLiteral("quorvane.settings.textSidecar"),
         .defaultValue = false,
         .presetKey = QStringLiteral("writesTextSidecar"),
         .commandLine = {.name = QStringLiteral("sidecar"),
                         .help = QStringLiteral(
                             "Also write the recognised text as a .txt file next to the output.")},
         .section = Section::output,
         .displayName = QStringLiteral("Also export plain text (.txt)"),
         .helpText =
             QStringLiteral("Writes a sidecar next to the searchable PDF, useful for feeding other tools.")},
        {.setting = S::pdfAExport,
         .key = QStringLiteral("quorvane.settings.pdfAExport"),
         .defaultValue = false,
         .presetKey = QStringLiteral("pdfAExport"),
         .commandLine = {.name = QStringLiteral("srgb"),
                         .help = QStringLiteral("Add an sRGB output intent to the output.")},
         .section = Section::output,
         .displayName = QStringLiteral("sRGB color management (PDF/A-ready)"),
         .helpText =
             QStringLiteral("Adds an sRGB output intent so the searchable PDF renders consistently across "
                            "tools. Full PDF/A-2b compliance will be added in a future update.")},
        {.setting = S::completionNotificationsEnabled,
         .key = QStringLiteral("quorvane.settings.completionNotifications"),
         .defaultValue = true,
         .section = Section::notifications,
         .displayName = QStringLiteral("Show a notification when OCR finishes"),
         .helpText =
             QStringLiteral("Turn off to keep Quorvane silent. The queue still updates in the app window.")},
        {.setting = S::menuBarOnly,
         .key = QStringLiteral("quorvane.settings.menuBarOnly"),
         .defaultValue = false,
         .section = Section::systemTray,
         .displayName = QStringLiteral("Keep running in the system tray"),
         .helpText =
             QStringLiteral("Quorvane keeps running in the system tray when the window is closed. Use the "
                            "tray icon to reopen the window or quit.")},
    };
}

} // namespace

QString sectionTitle(SettingsSection section) {
    switch (section) {
    case SettingsSection::recognition:
        return QStringLiteral("Recognition");
    case SettingsSection::vocabulary:
        return QStringLiteral("Vocabulary");
    case SettingsSection::preprocessing:
        return QStringLiteral("Preprocessing");
    case SettingsSection::output:
        return QStringLiteral("Output");
    case SettingsSection::notifications:
        return QStringLiteral("Notifications");
    case SettingsSection::systemTray:
        return QStringLiteral("System Tray");
    }
    return {};
}

const QList<SettingDescription>& settingsTable() {
    static const QList<SettingDescription> table = makeTable();
    return table;
}

const SettingDescription& describe(Setting setting) {
    const auto& table = settingsTable();
    const auto row =
        std::find_if(table.begin(), table.end(), [&](const auto& row) { return row.setting == setting; });
    if (row == table.end()) {
        qFatal("Setting %d has no row in the settings table", static_cast<int>(setting));
    }
    return *row;
}

TypedSetting settingFromText(Setting setting, const QString& text, const QString& givenAs) {
    const auto& row = describe(setting);
    auto value = fromText(text, row.defaultValue);
    if (!value) {
        return {std::nullopt, QStringLiteral("%1 takes %2.").arg(givenAs, acceptedText(row.defaultValue))};
    }
    if (row.problem) {
        if (const auto problem = row.problem(*value)) {
            return {std::nullopt, givenAs + QStringLiteral(": ") + *problem};
        }
    }
    return {row.normalised ? row.normalised(*value) : *value, {}};
}

} // namespace quorvane
