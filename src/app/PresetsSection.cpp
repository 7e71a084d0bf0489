#include "app/PresetsSection.h"

#include "app/DialogProvider.h"
#include "app/PresetPicker.h"
#include "app/SettingRow.h"
#include "settings/AppSettings.h"

#include <QLabel>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace quorvane {

namespace {

const QString nameLabel = QStringLiteral("Preset name");

} // namespace

PresetsSection::PresetsSection(AppSettings& settings, DialogProvider& dialogs, QWidget* parent)
    : QWidget(parent), m_settings(settings), m_dialogs(dialogs) {
    auto* saveNew = new QPushButton(QStringLiteral("Save as New\u2026"), this);
    m_rename = new QPushButton(QStringLiteral("Rename\u2026"), this);
    m_rename->setObjectName(QStringLiteral("renamePreset"));
    m_delete = new QPushButton(QStringLiteral("Delete"), this);
    m_delete->setObjectName(QStringLiteral("deletePreset"));

    auto* picker = new QFormLayout;
    picker->setContentsMargins(0, 0, 0, 0);
    picker->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
    picker->addRow(PresetPicker::label, new PresetPicker(m_settings, this));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(saveNew);
    buttons->addWidget(m_rename);
    buttons->addWidget(m_delete);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(picker);
    layout->addWidget(SettingRow::helpLabel(
        QStringLiteral("Save the current settings as a preset to switch between tasks in one click."), this));
    layout->addLayout(buttons);
    layout->addWidget(SettingRow::helpLabel(
        QStringLiteral("Presets remember every setting on this screen. Applying one reconfigures the next job; "
                       "changing any setting switches back to Custom. A preset can only be saved when its settings "
                       "differ from every existing one."),
        this));

    connect(saveNew, &QPushButton::clicked, this, &PresetsSection::saveAsNew);
    connect(m_rename, &QPushButton::clicked, this, &PresetsSection::renameCurrent);
    connect(m_delete, &QPushButton::clicked, this, &PresetsSection::deleteCurrent);
    connect(&m_settings, &AppSettings::presetSelectionChanged, this, &PresetsSection::showButtons);
    showButtons();
}

void PresetsSection::showButtons() {
    const bool matching = m_settings.matchingPresetID().has_value();
    m_rename->setEnabled(matching);
    m_delete->setEnabled(matching);
}

void PresetsSection::saveAsNew() {
    const auto name = m_dialogs.askText(QStringLiteral("Save preset"), QStringLiteral("Save the current settings as a new preset."),
                                        nameLabel, QStringLiteral("Preset"), QStringLiteral("Save"));
    // The field shows a pasted line break as a space; the name would keep it.
    if (name && !AppSettings::isUsablePresetName(*name)) {
        m_dialogs.showAlert(QStringLiteral("Preset"), AppSettings::controlCharacterInNameMessage);
    } else if (name && !m_settings.saveNewPreset(*name)) {
        m_dialogs.showAlert(QStringLiteral("Preset"), AppSettings::duplicatePresetMessage);
    }
}

void PresetsSection::renameCurrent() {
    const auto id = m_settings.matchingPresetID();
    if (!id) {
        return;
    }
    QString current;
    for (const auto& preset : m_settings.presets()) {
        if (preset.id == *id) {
            current = preset.name;
        }
    }
    const auto name = m_dialogs.askText(QStringLiteral("Rename preset"), QStringLiteral("Pick a new name for this preset."),
                                        nameLabel, current, QStringLiteral("Save"));
    if (name && !AppSettings::isUsablePresetName(*name)) {
        m_dialogs.showAlert(QStringLiteral("Preset"), AppSettings::controlCharacterInNameMessage);
    } else if (name) {
        m_settings.renameCurrentPreset(*name);
    }
}

void PresetsSection::deleteCurrent() {
    if (m_settings.matchingPresetID() &&
        m_dialogs.confirm(QStringLiteral("Delete this preset?"),
                          QStringLiteral("The saved configuration is removed. Your current settings stay as they are."),
                          QStringLiteral("Delete"))) {
        m_settings.deleteCurrentPreset();
    }
}

} // namespace quorvane
