#pragma once

// The single observable store of the user's choices: the recognition settings of the next job,
// the output name template, the behaviour switches and the saved presets. Every property is
// written to the per-user settings file the moment it changes, so the next launch starts where
// the user left off. Lives on the main thread.

#include "core/OCROptions.h"
#include "settings/OCRPreset.h"

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
    Q_PROPERTY(OCRRecognitionLevel recognitionLevel READ recognitionLevel WRITE setRecognitionLevel
                   NOTIFY recognitionLevelChanged)
    Q_PROPERTY(QStringList languages READ languages WRITE setLanguages NOTIFY languagesChanged)
    Q_PROPERTY(bool automaticallyDetectsLanguage READ automaticallyDetectsLanguage WRITE
                   setAutomaticallyDetectsLanguage NOTIFY automaticallyDetectsLanguageChanged)
    Q_PROPERTY(bool usesLanguageCorrection READ usesLanguageCorrection WRITE setUsesLanguageCorrection
                   NOTIFY usesLanguageCorrectionChanged)
    Q_PROPERTY(QString customWordsText READ customWordsText WRITE setCustomWordsText NOTIFY
                   customWordsTextChanged)
    Q_PROPERTY(PreprocessStrength preprocessing READ preprocessing WRITE setPreprocessing NOTIFY
                   preprocessingChanged)
    Q_PROPERTY(bool autoRotate READ autoRotate WRITE setAutoRotate NOTIFY autoRotateChanged)
    Q_PROPERTY(bool deskew READ deskew WRITE setDeskew NOTIFY deskewChanged)
    Q_PROPERTY(bool perspective READ perspective WRITE setPerspective NOTIFY perspectiveChanged)
    Q_PROPERTY(bool writesTextSidecar READ writesTextSidecar WRITE setWritesTextSidecar NOTIFY
                   writesTextSidecarChanged)
    Q_PROPERTY(bool pdfAExport READ pdfAExport WRITE setPdfAExport NOTIFY pdfAExportChanged)
    Q_PROPERTY(QString outputNameTemplate READ outputNameTemplate WRITE setOutputNameTemplate NOTIFY
                   outputNameTemplateChanged)
    Q_PROPERTY(bool completionNotificationsEnabled READ completionNotificationsEnabled WRITE
                   setCompletionNotificationsEnabled NOTIFY completionNotificationsEnabledChanged)
    Q_PROPERTY(bool menuBarOnly READ menuBarOnly WRITE setMenuBarOnly NOTIFY menuBarOnlyChanged)
    Q_PROPERTY(bool batchSkipExistingOutputs READ batchSkipExistingOutputs WRITE
                   setBatchSkipExistingOutputs NOTIFY batchSkipExistingOutputsChanged)
    Q_PROPERTY(QList<OCRPreset> presets READ presets WRITE setPresets NOTIFY presetsChanged)
    Q_PROPERTY(QString presetSelection READ presetSelection WRITE setPresetSelection NOTIFY
                   presetSelectionChanged)

public:
    static inline const QString recognitionLevelKey = QStringLiteral("quorvane.settings.recognitionLevel");
    static inline const QString languagesKey = QStringLiteral("quorvane.settings.languages");
    static inline const QString autoDetectLanguageKey = QStringLiteral("quorvane.settings.autoDetectLanguage");
    static inline const QString languageCorrectionKey = QStringLiteral("quorvane.settings.languageCorrection");
    static inline const QString customWordsKey = QStringLiteral("quorvane.settings.customWords");
    static inline const QString preprocessingKey = QStringLiteral("quorvane.settings.preprocessing");
    static inline const QString autoRotateKey = QStringLiteral("quorvane.settings.autoRotate");
    static inline const QString deskewKey = QStringLiteral("quorvane.settings.deskew");
    static inline const QString perspectiveKey = QStringLiteral("quorvane.settings.perspective");
    static inline const QString textSidecarKey = QStringLiteral("quorvane.settings.textSidecar");
    static inline const QString pdfAExportKey = QStringLiteral("quorvane.settings.pdfAExport");
    static inline const QString outputNameTemplateKey = QStringLiteral("quorvane.settings.outputNameTemplate");
    static inline const QString completionNotificationsKey =
        QStringLiteral("quorvane.settings.completionNotifications");
    // Read straight from the settings file at start, before any window (and any store) exists.
    static inline const QString menuBarOnlyKey = QStringLiteral("quorvane.settings.menuBarOnly");
    static inline const QString batchSkipExistingKey = QStringLiteral("quorvane.settings.batchSkipExisting");
    static inline const QString presetsKey = QStringLiteral("quorvane.presets");

    // The picker's tag for "no preset has exactly the current settings".
    static inline const QString customPresetTag = QStringLiteral("custom");
    static inline const QString duplicatePresetMessage = QStringLiteral(
        "An existing preset already has exactly these settings \u2014 saving it again under another "
        "name would make the two impossible to tell apart. Change a setting first, or keep using the "
        "existing preset.");

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

    OCRRecognitionLevel recognitionLevel() const { return m_recognitionLevel; }
    QStringList languages() const { return m_languages; }
    bool automaticallyDetectsLanguage() const { return m_automaticallyDetectsLanguage; }
    bool usesLanguageCorrection() const { return m_usesLanguageCorrection; }
    QString customWordsText() const { return m_customWordsText; }
    PreprocessStrength preprocessing() const { return m_preprocessing; }
    bool autoRotate() const { return m_autoRotate; }
    bool deskew() const { return m_deskew; }
    bool perspective() const { return m_perspective; }
    bool writesTextSidecar() const { return m_writesTextSidecar; }
    bool pdfAExport() const { return m_pdfAExport; }
    QString outputNameTemplate() const { return m_outputNameTemplate; }
    bool completionNotificationsEnabled() const { return m_completionNotificationsEnabled; }
    bool menuBarOnly() const { return m_menuBarOnly; }
    bool batchSkipExistingOutputs() const { return m_batchSkipExistingOutputs; }
    QList<OCRPreset> presets() const { return m_presets; }

    void setRecognitionLevel(OCRRecognitionLevel value);
    void setLanguages(const QStringList& value);
    void setAutomaticallyDetectsLanguage(bool value);
    void setUsesLanguageCorrection(bool value);
    void setCustomWordsText(const QString& value);
    void setPreprocessing(PreprocessStrength value);
    void setAutoRotate(bool value);
    void setDeskew(bool value);
    void setPerspective(bool value);
    void setWritesTextSidecar(bool value);
    void setPdfAExport(bool value);
    void setOutputNameTemplate(const QString& value);
    void setCompletionNotificationsEnabled(bool value);
    void setMenuBarOnly(bool value);
    void setBatchSkipExistingOutputs(bool value);
    void setPresets(const QList<OCRPreset>& value);

    // The options of the next job, from the current settings (no region).
    OCROptions makeOptions() const;
    // `customWordsText` as the recognizer's word list.
    QStringList parsedCustomWords() const;

    // Presets.
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
    void recognitionLevelChanged();
    void languagesChanged();
    void automaticallyDetectsLanguageChanged();
    void usesLanguageCorrectionChanged();
    void customWordsTextChanged();
    void preprocessingChanged();
    void autoRotateChanged();
    void deskewChanged();
    void perspectiveChanged();
    void writesTextSidecarChanged();
    void pdfAExportChanged();
    void outputNameTemplateChanged();
    void completionNotificationsEnabledChanged();
    void menuBarOnlyChanged();
    void batchSkipExistingOutputsChanged();
    void presetsChanged();
    void presetSelectionChanged();

private:
    void load();
    void store(const QString& key, const QVariant& value);
    void storePresets();
    // Emits presetSelectionChanged when the derived selection differs from the last one published.
    void publishSelection();

    std::unique_ptr<QSettings> m_store;
    std::optional<QString> m_storeError;
    OCRRecognitionLevel m_recognitionLevel = OCRRecognitionLevel::accurate;
    QStringList m_languages;
    bool m_automaticallyDetectsLanguage = true;
    bool m_usesLanguageCorrection = false;
    QString m_customWordsText;
    PreprocessStrength m_preprocessing = PreprocessStrength::conservative;
    bool m_autoRotate = true;
    bool m_deskew = true;
    bool m_perspective = true;
    bool m_writesTextSidecar = false;
    bool m_pdfAExport = false;
    QString m_outputNameTemplate;
    bool m_completionNotificationsEnabled = true;
    bool m_menuBarOnly = false;
    bool m_batchSkipExistingOutputs = true;
    QList<OCRPreset> m_presets;
    QString m_publishedSelection;
    bool m_applyingPreset = false;
};

} // namespace quorvane
