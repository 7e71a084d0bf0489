#pragma once

// The single observable store of the user's choices: every setting of the settings table, and the
// saved presets. Every change is written to the per-user settings file the moment it is made, so
// the next launch starts where the user left off. Lives on the main thread.

#include "core/OCROptions.h"
#include "settings/OCRPreset.h"
#include "settings/SettingValues.h"

#include <QList>
#include <QObject>
#include <QSettings>
#include <QString>
#include <QStringList>
#include <QUuid>
#include <memory>
#include <optional>

namespace quorvane {

class AppSettings : public QObject {
    Q_OBJECT
    Q_PROPERTY(QList<OCRPreset> presets READ presets WRITE setPresets NOTIFY presetsChanged)
    Q_PROPERTY(QString presetSelection READ presetSelection WRITE setPresetSelection NOTIFY
                   presetSelectionChanged)

public:
    // Read straight from the settings file at start, before any window (and any store) exists.
    static QString menuBarOnlyKey() { return describe(Setting::menuBarOnly).key; }
    static inline const QString presetsKey = QStringLiteral("quorvane.presets");
    // Where a stored presets value that is no JSON array at all is kept when presets are saved
    // again (".2", ".3", ... when taken).
    static inline const QString unreadablePresetsKey = QStringLiteral("quorvane.presets.unreadable");

    // The picker's tag for "no preset has exactly the current settings".
    static inline const QString customPresetTag = QStringLiteral("custom");
    static inline const QString duplicatePresetMessage = QStringLiteral(
        "An existing preset already has exactly these settings \u2014 saving it again under another "
        "name would make the two impossible to tell apart. Change a setting first, or keep using the "
        "existing preset.");
    // A name is one line: a line break would show as a second preset in a listing.
    static inline const QString controlCharacterInNameMessage =
        QStringLiteral("A preset name cannot hold line breaks, tabs or other control characters.");
    static bool isUsablePresetName(const QString& name);

    // The standard per-user store: Quorvane/Quorvane.conf in the user's configuration folder
    // ($XDG_CONFIG_HOME, else ~/.config).
    explicit AppSettings(QObject* parent = nullptr);
    // A store over the given settings (tests give their own file).
    explicit AppSettings(std::unique_ptr<QSettings> store, QObject* parent = nullptr);
    ~AppSettings() override;

    QString fileName() const;
    // Why the last change could not be saved (a full disk, a folder Quorvane may not write); none
    // once a change was saved again. The value itself is still in effect for this session.
    std::optional<QString> storeError() const { return m_storeError; }
    // The underlying settings, for parts that keep their own keys in the same file (the watcher).
    QSettings& store() const { return *m_store; }

    SettingValue value(Setting setting) const { return m_values.value(setting); }
    template <typename T>
    T value(Setting setting) const {
        return m_values.get<T>(setting);
    }
    const SettingValues& values() const { return m_values; }
    // Stores the value at once (even an unchanged one, so the file always holds what the user last
    // chose) and announces only a real change.
    void setValue(Setting setting, const SettingValue& value);

    // The options of the next job, from the current settings (no region).
    OCROptions makeOptions() const { return jobOptions(m_values); }
    // The custom words as the recognizer's word list.
    QStringList parsedCustomWords() const;

    // Presets: the readable ones, in stored order.
    QList<OCRPreset> presets() const { return m_presets; }
    void setPresets(const QList<OCRPreset>& value);
    // Stored presets this version cannot read; they are kept as stored.
    qsizetype unreadablePresetCount() const { return m_unreadablePresets.size(); }
    // True when the stored presets value is no JSON array at all (it is kept, see unreadablePresetsKey).
    bool storedPresetsUnreadable() const { return m_unreadableStoredPresets.has_value(); }

    OCRPreset currentSettingsPreset(const QUuid& id, const QString& name) const;
    // The first preset, in array order, with exactly the current settings.
    std::optional<QUuid> matchingPresetID() const;
    // The matching preset's tag, or "custom".
    QString presetSelection() const;
    // Applies the preset whose tag this is; "custom", a tag that is no UUID or names no preset
    // change nothing.
    void setPresetSelection(const QString& tag);
    void applyPreset(const OCRPreset& preset);
    // The saved preset, or nothing when a preset with the same settings exists (the caller shows
    // duplicatePresetMessage).
    std::optional<OCRPreset> saveNewPreset(const QString& name);
    void renameCurrentPreset(const QString& name);
    void deleteCurrentPreset();
    // The trimmed name ("Preset" when blank), numbered " 2", " 3", ... when another preset
    // (other than `excluding`) already has it.
    QString uniquePresetName(const QString& name, const std::optional<QUuid>& excluding = std::nullopt) const;

Q_SIGNALS:
    void settingChanged(quorvane::Setting setting);
    void presetsChanged();
    void presetSelectionChanged();
    void storeErrorChanged();

private:
    void load();
    void loadPresets();
    void store(const QString& key, const QVariant& value);
    void storePresets();
    // Emits presetSelectionChanged when the derived selection differs from the last one published.
    void publishSelection();

    std::unique_ptr<QSettings> m_store;
    std::optional<QString> m_storeError;
    SettingValues m_values;
    QList<OCRPreset> m_presets;
    QList<UnreadablePreset> m_unreadablePresets;
    std::optional<QVariant> m_unreadableStoredPresets;
    QString m_publishedSelection;
    bool m_applyingPreset = false;
};

} // namespace quorvane
