#pragma once

// The values of some settings: all of them in the store, the ones presets carry in a preset, the
// ones given on the command line in a run's overrides. A setting not held reads as its default.

#include "core/OCROptions.h"
#include "settings/SettingsTable.h"

#include <map>

namespace quorvane {

class SettingValues {
public:
    SettingValue value(Setting setting) const;
    template <typename T> T get(Setting setting) const { return std::get<T>(value(setting)); }
    void set(Setting setting, const SettingValue& value);
    bool holds(Setting setting) const { return m_values.contains(setting); }

    // These values, with `other`'s in place of those it holds.
    SettingValues overriddenBy(const SettingValues& other) const;
    // Only the settings that presets carry.
    SettingValues presetPart() const;

    // Equal when every setting reads the same, whether held or default.
    bool operator==(const SettingValues& other) const;

private:
    std::map<Setting, SettingValue> m_values;
};

// The options of a job run with these settings (no region).
OCROptions jobOptions(const SettingValues& settings);

} // namespace quorvane
