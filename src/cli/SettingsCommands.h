#pragma once

// What quorvane-cli does with the stored settings and presets.

#include "core/OCROptions.h"
#include "settings/AppSettings.h"

#include <QString>
#include <optional>

namespace quorvane::cli {

// A command's outcome: nothing for success, else the text to show.
using CommandError = std::optional<QString>;

// Every stored setting as "key = value" lines, presets last.
QString settingsListing(const AppSettings& settings);

// Stores one setting given as text. Unknown keys and values that the setting cannot take are
// refused with a text that says what it accepts.
CommandError storeSetting(AppSettings& settings, const QString& key, const QString& value);

QString presetListing(const AppSettings& settings);

// The preset named exactly so, if any.
std::optional<OCRPreset> presetNamed(const AppSettings& settings, const QString& name);

struct SavedPreset {
    std::optional<QString> name; // the name it was saved under
    QString refusal;             // why it was not saved
};

// Saves `preset` under a unique form of `name` unless a preset already has the same settings.
SavedPreset savePreset(AppSettings& settings, OCRPreset preset, const QString& name);

CommandError deletePreset(AppSettings& settings, const QString& name);

} // namespace quorvane::cli
