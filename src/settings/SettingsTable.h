#pragma once

// Every user setting, described once: where it is stored, its default, whether presets carry it,
// how the command line sets it and how the settings screen shows it. The store, the presets, the
// command line and the settings listing are all built from this table, so adding a setting is
// one entry here (its name in `Setting` and its row) plus the code that uses its value.

#include "settings/SettingValue.h"

#include <QList>
#include <QString>
#include <optional>

namespace quorvane {

// In the order of the settings screen, which is also the order of listings and of applying a
// preset.
enum class Setting {
    recognitionLevel,
    automaticallyDetectsLanguage,
    usesLanguageCorrection,
    languages,
    customWordsText,
    preprocessing,
    autoRotate,
    deskew,
    perspective,
    outputNameTemplate,
    batchSkipExistingOutputs,
    writesTextSidecar,
    pdfAExport,
    completionNotificationsEnabled,
    menuBarOnly,
};

enum class SettingsSection { recognition, vocabulary, preprocessing, output, notifications, systemTray };
QString sectionTitle(SettingsSection section);

// How the command line sets a setting for one run. A Boolean is a pair of switches (--deskew,
// --no-deskew); an enumeration with `switchPerChoice` is one switch per case (--fast, --accurate);
// anything else takes a value (--clean STRENGTH).
struct CommandLineForm {
    QString name; // empty: the command line does not set it
    QString shortName;
    QString valueName;
    QString help; // with `switchPerChoice`, %1 is the case's display name
    bool switchPerChoice = false;
    bool readsFile = false; // the value is the text of the file named
};

struct SettingDescription {
    Setting setting;
    QString key; // in the settings file
    SettingValue defaultValue;
    QString presetKey; // in a preset's JSON; empty when presets do not carry the setting
    CommandLineForm commandLine;
    SettingsSection section;
    QString displayName;
    QString helpText;
    bool multiLine = false; // a text edited over several lines
    // What a value read from the file or typed by the user becomes (languages: known tags, no repeats).
    SettingValue (*normalised)(const SettingValue& value) = nullptr;
    // Why a value typed by the user is refused.
    std::optional<QString> (*problem)(const SettingValue& value) = nullptr;
    // Why an accepted value deserves a second look.
    std::optional<QString> (*warning)(const SettingValue& value) = nullptr;

    bool inPresets() const { return !presetKey.isEmpty(); }
};

const QList<SettingDescription>& settingsTable();
const SettingDescription& describe(Setting setting);

// A value typed by the user (--set, a command-line option), normalised, or the reason it is
// refused, naming the setting as the user gave it (`givenAs`: "--clean", a key).
struct TypedSetting {
    std::optional<SettingValue> value;
    QString refusal;
};
TypedSetting settingFromText(Setting setting, const QString& text, const QString& givenAs);

} // namespace quorvane
