#include "settings/AppSettings.h"

#include "core/CustomWordList.h"
#include "platform/FileErrors.h"

#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <utility>

namespace quorvane {

AppSettings::AppSettings(QObject* parent)
    : AppSettings(std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                              QStringLiteral("Quorvane"), QStringLiteral("Quorvane")),
                  parent) {}

AppSettings::AppSettings(std::unique_ptr<QSettings> store, QObject* parent)
    : QObject(parent), m_store(std::move(store)) {
    load();
    loadPresets();
    m_publishedSelection = presetSelection();
}

AppSettings::~AppSettings() = default;

QString AppSettings::fileName() const {
    return m_store->fileName();
}

// A missing or unreadable value gives the default; a readable one is normalised (languages).
void AppSettings::load() {
    for (const auto& row : settingsTable()) {
        const auto stored = fromStored(m_store->value(row.key), row.defaultValue);
        const auto value = stored.value_or(row.defaultValue);
        m_values.set(row.setting, row.normalised ? row.normalised(value) : value);
    }
}

// A value that is no JSON array at all is set aside and kept; elements this version cannot read
// are kept in their places.
void AppSettings::loadPresets() {
    const auto stored = m_store->value(presetsKey);
    if (!stored.isValid()) {
        return;
    }
    const auto decoded =
        stored.typeId() == QMetaType::QByteArray ? decodePresets(stored.toByteArray()) : std::nullopt;
    if (!decoded) {
        m_unreadableStoredPresets = stored;
        return;
    }
    m_presets = decoded->presets;
    m_unreadablePresets = decoded->unreadable;
}

namespace {

// Why the settings file cannot be written now (an errno), or none when it can.
std::optional<int> writeProblem(const QString& path) {
    const QFileInfo file(path);
    if (file.exists() && !file.isFile()) {
        return EISDIR;
    }
    if (file.exists() && !file.isWritable()) {
        return EACCES;
    }
    // The file is replaced through a new one beside it; a settings folder not made yet is made in
    // the first folder up the path that exists.
    QString folder = file.absolutePath();
    while (!QFileInfo::exists(folder) && QFileInfo(folder).absolutePath() != folder) {
        folder = QFileInfo(folder).absolutePath();
    }
    return FileErrors::probeWriting(folder);
}

} // namespace

void AppSettings::store(const QString& key, const QVariant& value) {
    const bool failedBefore = m_store->status() == QSettings::AccessError;
    m_store->setValue(key, value);
    m_store->sync();
    std::optional<QString> storeError;
    // QSettings keeps its first error for good (one from reading the file at start hides every
    // later failure to write it), and the system's reason to itself. Once it has had one, the file
    // and its folder tell whether saving fails now, and why; a fresh failure they cannot explain
    // is reported as it is.
    if (m_store->status() != QSettings::NoError) {
        const auto error = writeProblem(m_store->fileName());
        const bool failedNow = m_store->status() == QSettings::AccessError && !failedBefore;
        if (error || failedNow) {
            storeError = QStringLiteral("The settings could not be saved: ") +
                         (error ? FileErrors::writing(*error, m_store->fileName())
                                : QStringLiteral("\"%1\" could not be written.").arg(m_store->fileName()));
        }
    }
    if (storeError != m_storeError) {
        m_storeError = storeError;
        Q_EMIT storeErrorChanged();
    }
}

void AppSettings::storePresets() {
    if (m_unreadableStoredPresets) {
        QString key = unreadablePresetsKey;
        for (int n = 2; m_store->contains(key); ++n) {
            key = unreadablePresetsKey + QLatin1Char('.') + QString::number(n);
        }
        store(key, *std::exchange(m_unreadableStoredPresets, std::nullopt));
    }
    store(presetsKey, encodePresets({m_presets, m_unreadablePresets}));
}

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

void AppSettings::setValue(Setting setting, const SettingValue& value) {
    const auto& row = describe(setting);
    store(row.key, toStored(value));
    if (m_values.value(setting) != value) {
        m_values.set(setting, value);
        Q_EMIT settingChanged(setting);
        if (row.inPresets()) {
            publishSelection();
        }
    }
}

void AppSettings::setPresets(const QList<OCRPreset>& value) {
    const bool changed = m_presets != value;
    // An unreadable element stays after the presets that came before it and are still there.
    for (auto& element : m_unreadablePresets) {
        const auto before = m_presets.mid(0, element.readableBefore);
        element.readableBefore = std::count_if(before.begin(), before.end(), [&](const OCRPreset& preset) {
            return std::any_of(value.begin(), value.end(),
                               [&](const OCRPreset& kept) { return kept.id == preset.id; });
        });
    }
    m_presets = value;
    storePresets();
    if (changed) {
        Q_EMIT presetsChanged();
        publishSelection();
    }
}

QStringList AppSettings::parsedCustomWords() const {
    return CustomWordList::parse(value<QString>(Setting::customWordsText));
}

OCRPreset AppSettings::currentSettingsPreset(const QUuid& id, const QString& name) const {
    return OCRPreset{id, name, m_values.presetPart(), {}};
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
    for (const auto& row : settingsTable()) {
        if (row.inPresets()) {
            setValue(row.setting, preset.settings.value(row.setting));
        }
    }
    m_applyingPreset = false;
    publishSelection();
}

std::optional<OCRPreset> AppSettings::saveNewPreset(const QString& name) {
    if (matchingPresetID()) {
        return std::nullopt;
    }
    const auto preset = currentSettingsPreset(QUuid::createUuid(), uniquePresetName(name));
    setPresets(m_presets + QList{preset});
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

bool AppSettings::isUsablePresetName(const QString& name) {
    for (const QChar c : name) {
        if (c.category() == QChar::Other_Control || c == QChar::LineSeparator ||
            c == QChar::ParagraphSeparator) {
            return false;
        }
    }
    return true;
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
