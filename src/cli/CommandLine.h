#pragma once

// The command line of quorvane-cli: what to process and the settings that hold for this run.

#include "core/OCROptions.h"

#include <QString>
#include <QStringList>
#include <optional>

namespace quorvane::cli {

struct CommandLine {
    QStringList inputs;
    std::optional<QString> outputFolder;
    QString nameTemplate;
    OCROptions options;
    bool asksPassword = false;
};

struct ParseOutcome {
    std::optional<CommandLine> commandLine; // absent when the program should stop
    QString message;                        // help, version or the usage error
    int exitCode = 0;                       // 0 for help and version, 2 for usage errors
};

// `defaults` are the stored settings; the options given override them for this run only.
ParseOutcome parse(const QStringList& arguments, const OCROptions& defaults, const QString& defaultTemplate);

} // namespace quorvane::cli
