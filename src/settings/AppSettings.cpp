#include "settings/AppSettings.h"

#include "core/CustomWordList.h"
#include "core/OCRLanguageCatalog.h"
#include "pipeline/OutputPath.h"
#include "platform/FileErrors.h"

#include <QFileInfo>

#include <utility>

namespace quorvane {

namespace {

// The settings file is INI text and keeps no types: a Boolean written by this program reads back
// as the text "true" or "false" once the file is loaded again (and as a bool while it is still
// cached in memory). Those two forms are the stored Booleans; anything else ("yes", 1, 3, a list)
// is not a Boolean. A string "true" written by hand cannot be told apart and counts as one.
std::optional<bool> storedBoolean(const QVariant& value) {
    if (value.typeId() == QMetaType::Bool) {
        return value.toBool();
    }
    if (value.typeId() == QMetaType::QString) {
        const auto text = value.toString();
        if (text == QLatin1String("true")) {
            return true;
        }
        if (text == QLatin1String("false")) {
            return false;
        }
    }
    return std::nullopt;
}

// Keys whose default is true: the stored Boolean, else the default (also when absent).
bool booleanOr(const QSettings& settings, const QString& key, bool fallback) {
    return storedBoolean(settings.value(key)).value_or(fallback);
}

// The plain Boolean read: true only for a stored Boolean true; absent or anything else is false.
bool plainBoolean(const QSettings& settings, const QString& key) {
    return storedBoolean(settings.value(key)).value_or(false);
}

std::optional<QString> storedString(const QSettings& settings, const QString& key) {
    const auto value = settings.value(key);
    if (value.typeId() != QMetaType::QString) {
        return std::nullopt;
    }
    return value.toString();
}

// INI writes a one-element list as a plain string, so a string reads as a list of one.
std::optional<QStringList> storedStringList(const QSettings& settings, const QString& key) {
    const auto value = settings.value(key);
    if (value.typeId() == QMetaType::QStringList) {
        return value.toStringList();
    }
    if (value.typeId() == QMetaType::QString) {
        return QStringList{value.toString()};
    }
    return std::nullopt;
}

} // namespace

AppSettings::AppSettings(QObject* parent)
    : AppSettings(std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                              QStringLiteral("Quorvane"), QStringLiteral("Quorvane")),
                  parent) {}

AppSettings::AppSettings(std::unique_ptr<QSettings> store, QObject* parent)
    : QObject(parent), m_store(std::move(store)) {
    load();
    m_publishedSelection = presetSelection();
}

AppSettings::~AppSettings() = default;

QString AppSettings::fileName() const { return m_store->fileName(); }

void AppSettings::load() {
    const auto& settings = *m_store;

    m_recognitionLevel = recognitionLevelFromRaw(storedString(settings, recognitionLevelKey).value_or(QString()))
                             .value_or(OCRRecognitionLevel::accurate);

    m_languages = OCRLanguageCatalog::sanitized(
        storedStringList(settings, languagesKey).value_or(OCRLanguageCatalog::defaultLanguages()));
    if (m_languages.isEmpty()) {
        m_languages = OCRLanguageCatalog::defaultLanguages();
    }

    m_automaticallyDetectsLanguage = booleanOr(settings, autoDetectLanguageKey, true);
    m_usesLanguageCorrection = booleanOr(settings, languageCorrectionKey, false);
    m_autoRotate = booleanOr(settings, autoRotateKey, true);
    m_deskew = booleanOr(settings, deskewKey, true);
    m_perspective = booleanOr(settings, perspectiveKey, true);
    m_completionNotificationsEnabled = booleanOr(settings, completionNotificationsKey, true);
    m_batchSkipExistingOutputs = booleanOr(settings, batchSkipExistingKey, true);

    m_customWordsText = storedString(settings, customWordsKey).value_or(QString());

    m_preprocessing = preprocessStrengthFromRaw(storedString(settings, preprocessingKey).value_or(QString()))
                          .value_or(PreprocessStrength::conservative);

    m_writesTextSidecar = plainBoolean(settings, textSidecarKey);
    m_pdfAExport = plainBoolean(settings, pdfAExportKey);
    m_menuBarOnly = plainBoolean(settings, menuBarOnlyKey);

    // An empty stored template stays empty: output naming falls back to the base name then.
    m_outputNameTemplate = storedString(settings, outputNameTemplateKey).value_or(OutputPath::defaultTemplate);

    // A value that does not decode is dropped without a word and replaced by the next preset change.
    const auto presetData = settings.value(presetsKey);
    m_presets = presetData.typeId() == QMetaType::QByteArray
                    ? decodePresets(presetData.toByteArray()).value_or(QList<OCRPreset>())
                    : QList<OCRPreset>();
}

void AppSettings::store(const QString& key, const QVariant& value) {
    m_store->setValue(key, value);
    m_store->sync();
    if (m_store->status() != QSettings::AccessError) {
        m_storeError.reset();
        return;
    }
    // QSettings keeps the system's reason to itself; a small write beside the file finds it.
    const auto error = FileErrors::probeWriting(QFileInfo(m_store->fileName()).absolutePath());
    m_storeError = QStringLiteral("The settings could not be saved: ") +
                   (error ? FileErrors::writing(*error, m_store->fileName())
                          : QStringLiteral("\"%1\" could not be written.").arg(m_store->fileName()));
}

void AppSettings::storePresets() { store(presetsKey, encodePresets(m_presets)); }

void AppSettings::publishSelection() {
    if (m_applyingPreset) {
        return;
    }
    const auto selection = presetSelection();
    if (selection != m_publishedSelection) {
        m_publishedSelection = selection;
        Q_EMIT presetSelectionChanged();
    }
}

// Each setter stores the value at once (even an unchanged one, so the file always holds what the
// user last chose) and publishes only real changes.

void AppSettings::setRecognitionLevel(OCRRecognitionLevel value) {
    store(recognitionLevelKey, rawValue(value));
    if (std::exchange(m_recognitionLevel, value) != value) {
        Q_EMIT recognitionLevelChanged();
        publishSelection();
    }
}

void AppSettings::setLanguages(const QStringList& value) {
    store(languagesKey, value);
    if (std::exchange(m_languages, value) != value) {
        Q_EMIT languagesChanged();
        publishSelection();
    }
}

void AppSettings::setAutomaticallyDetectsLanguage(bool value) {
    store(autoDetectLanguageKey, value);
    if (std::exchange(m_automaticallyDetectsLanguage, value) != value) {
        Q_EMIT automaticallyDetectsLanguageChanged();
        publishSelection();
    }
}

void AppSettings::setUsesLanguageCorrection(bool value) {
    store(languageCorrectionKey, value);
    if (std::exchange(m_usesLanguageCorrection, value) != value) {
        Q_EMIT usesLanguageCorrectionChanged();
        publishSelection();
    }
}

void AppSettings::setCustomWordsText(const QString& value) {
    store(customWordsKey, value);
    if (std::exchange(m_customWordsText, value) != value) {
        Q_EMIT customWordsTextChanged();
        publishSelection();
    }
}

void AppSettings::setPreprocessing(PreprocessStrength value) {
    store(preprocessingKey, rawValue(value));
    if (std::exchange(m_preprocessing, value) != value) {
        Q_EMIT preprocessingChanged();
        publishSelection();
    }
}

void AppSettings::setAutoRotate(bool value) {
    store(autoRotateKey, value);
    if (std::exchange(m_autoRotate, value) != value) {
        Q_EMIT autoRotateChanged();
        publishSelection();
    }
}

void AppSettings::setDeskew(bool value) {
    store(deskewKey, value);
    if (std::exchange(m_deskew, value) != value) {
        Q_EMIT deskewChanged();
        publishSelection();
    }
}

void AppSettings::setPerspective(bool value) {
    store(perspectiveKey, value);
    if (std::exchange(m_perspective, value) != value) {
        Q_EMIT perspectiveChanged();
        publishSelection();
    }
}

void AppSettings::setWritesTextSidecar(bool value) {
    store(textSidecarKey, value);
    if (std::exchange(m_writesTextSidecar, value) != value) {
        Q_EMIT writesTextSidecarChanged();
        publishSelection();
    }
}

void AppSettings::setPdfAExport(bool value) {
    store(pdfAExportKey, value);
    if (std::exchange(m_pdfAExport, value) != value) {
        Q_EMIT pdfAExportChanged();
        publishSelection();
    }
}

void AppSettings::setOutputNameTemplate(const QString& value) {
    store(outputNameTemplateKey, value);
    if (std::exchange(m_outputNameTemplate, value) != value) {
        Q_EMIT outputNameTemplateChanged();
        publishSelection();
    }
}

void AppSettings::setCompletionNotificationsEnabled(bool value) {
    store(completionNotificationsKey, value);
    if (std::exchange(m_completionNotificationsEnabled, value) != value) {
        Q_EMIT completionNotificationsEnabledChanged();
    }
}

void AppSettings::setMenuBarOnly(bool value) {
    store(menuBarOnlyKey, value);
    if (std::exchange(m_menuBarOnly, value) != value) {
        Q_EMIT menuBarOnlyChanged();
    }
}

void AppSettings::setBatchSkipExistingOutputs(bool value) {
    store(batchSkipExistingKey, value);
    if (std::exchange(m_batchSkipExistingOutputs, value) != value) {
        Q_EMIT batchSkipExistingOutputsChanged();
    }
}

void AppSettings::setPresets(const QList<OCRPreset>& value) {
    const bool changed = m_presets != value;
    m_presets = value;
    storePresets();
    if (changed) {
        Q_EMIT presetsChanged();
        publishSelection();
    }
}

OCROptions AppSettings::makeOptions() const { return currentSettingsPreset({}, {}).options(); }

QStringList AppSettings::parsedCustomWords() const { return CustomWordList::parse(m_customWordsText); }

OCRPreset AppSettings::currentSettingsPreset(const QUuid& id, const QString& name) const {
    return OCRPreset{id,
                     name,
                     m_recognitionLevel,
                     m_languages,
                     m_automaticallyDetectsLanguage,
                     m_usesLanguageCorrection,
                     m_customWordsText,
                     m_preprocessing,
                     m_autoRotate,
                     m_deskew,
                     m_perspective,
                     m_writesTextSidecar,
                     m_pdfAExport,
                     m_outputNameTemplate};
}

std::optional<QUuid> AppSettings::matchingPresetID() const {
    const auto current = currentSettingsPreset({}, {});
    for (const auto& preset : m_presets) {
        if (preset.hasSameSettings(current)) {
            return preset.id;
        }
    }
    return std::nullopt;
}

QString AppSettings::presetSelection() const {
    const auto id = matchingPresetID();
    return id ? uuidText(*id) : customPresetTag;
}

void AppSettings::setPresetSelection(const QString& tag) {
    if (tag == customPresetTag) {
        return;
    }
    const auto id = uuidFromText(tag);
    if (!id) {
        return;
    }
    for (const auto& preset : m_presets) {
        if (preset.id == *id) {
            applyPreset(preset);
            return;
        }
    }
}

void AppSettings::applyPreset(const OCRPreset& preset) {
    // The selection is published once, for the end state, not for every step on the way there.
    m_applyingPreset = true;
    setRecognitionLevel(preset.recognitionLevel);
    setLanguages(preset.languages);
    setAutomaticallyDetectsLanguage(preset.automaticallyDetectsLanguage);
    setUsesLanguageCorrection(preset.usesLanguageCorrection);
    setCustomWordsText(preset.customWordsText);
    setPreprocessing(preset.preprocessing);
    setAutoRotate(preset.autoRotate);
    setDeskew(preset.deskew);
    setPerspective(preset.perspective);
    setWritesTextSidecar(preset.writesTextSidecar);
    setPdfAExport(preset.pdfAExport);
    setOutputNameTemplate(preset.outputNameTemplate);
    m_applyingPreset = false;
    publishSelection();
}

std::optional<OCRPreset> AppSettings::saveNewPreset(const QString& name) {
    if (matchingPresetID()) {
        return std::nullopt;
    }
    const auto preset = currentSettingsPreset(QUuid::createUuid(), uniquePresetName(name));
    auto presets = m_presets;
    presets.append(preset);
    setPresets(presets);
    return preset;
}

void AppSettings::renameCurrentPreset(const QString& name) {
    const auto id = matchingPresetID();
    if (!id) {
        return;
    }
    auto presets = m_presets;
    for (auto& preset : presets) {
        if (preset.id == *id) {
            preset.name = uniquePresetName(name, id);
            break;
        }
    }
    setPresets(presets);
}

void AppSettings::deleteCurrentPreset() {
    const auto id = matchingPresetID();
    if (!id) {
        return;
    }
    auto presets = m_presets;
    presets.removeIf([&](const OCRPreset& preset) { return preset.id == *id; });
    setPresets(presets);
}

QString AppSettings::uniquePresetName(const QString& name, const std::optional<QUuid>& excluding) const {
    auto base = name.trimmed();
    if (base.isEmpty()) {
        base = QStringLiteral("Preset");
    }
    QStringList taken;
    for (const auto& preset : m_presets) {
        if (!excluding || preset.id != *excluding) {
            taken.append(preset.name);
        }
    }
    if (!taken.contains(base)) {
        return base;
    }
    for (int n = 2;; ++n) {
        const auto candidate = base + QLatin1Char(' ') + QString::number(n);
        if (!taken.contains(candidate)) {
            return candidate;
        }
    }
}

} // namespace quorvane
