#pragma once

// What quorvane-cli does with the stored settings and presets.

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
// The lines confirming what a stored setting now holds, with a warning when its value is risky.
QString storedSettingReport(const AppSettings& settings, const QString& key);

// The presets, the stored settings' one marked, or a line saying that there are none.
QString presetListing(const AppSettings& settings);

// The preset named exactly so, if any.
std::optional<OCRPreset> presetNamed(const AppSettings& settings, const QString& name);

struct SavedPreset {
    enum Outcome { saved, replaced, unchanged, refused } outcome;
    QString name;    // trimmed
    QString refusal; // why it was not saved
};

// Saves `values` as the preset `name`, replacing the settings of a preset of that name, unless
// another preset already has the same settings (refused) or that one does (unchanged).
SavedPreset savePreset(AppSettings& settings, const SettingValues& values, const QString& name);

CommandError deletePreset(AppSettings& settings, const QString& name);

} // namespace quorvane::cli
