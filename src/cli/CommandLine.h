#pragma once

// The command line of quorvane-cli: what to process, what to do with the stored settings and
// presets, and the settings that hold for this run only.

#include "core/Geometry.h"
#include "settings/SettingValues.h"

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <optional>

namespace quorvane::cli {

struct CommandLine {
    QStringList inputs;
    std::optional<QString> outputFolder;
    SettingValues overrides; // settings given here; each replaces the stored value for this run
    std::optional<Rect> region;
    bool asksPassword = false;
    bool recursive = false; // folders with their subfolders

    // Batches.
    bool force = false; // process even when an up-to-date output exists
    bool retry = false; // retry the failed documents once at the end
    std::optional<QString> reportPath;

    // Watching a folder.
    std::optional<QString> watchFolder;
    bool processExisting = false;

    // Stored settings and presets.
    std::optional<QString> presetName;
    std::optional<QString> savePresetName;
    std::optional<QString> deletePresetName;
    bool listPresets = false;
    bool showSettings = false;
    bool listLanguages = false;
    QList<QPair<QString, QString>> settingsToStore; // --set KEY=VALUE, in order

    // True when the command line only manages settings or presets.
    bool hasWorkToDo() const { return !inputs.isEmpty() || watchFolder.has_value(); }
};

struct ParseOutcome {
    std::optional<CommandLine> commandLine; // absent when the program should stop
    QString message;                        // help, version or the usage error
    int exitCode = 0;                       // 0 for help and version, 2 for usage errors
};

ParseOutcome parse(const QStringList& arguments);

// The usage-error form of a message, as parse() reports it.
QString usageError(const QString& message);

} // namespace quorvane::cli
