#include "cli/TerminalWording.h"

#include "core/OCRError.h"
#include "jobs/FolderWatcher.h"

namespace quorvane::cli::TerminalWording {

QString failure(const QString& message, bool onItsOwn, bool passwordAsked) {
    if (message == OCRError::passwordRequired().description()) {
        // Asked for, no password came: the input ended (a script's empty pipe, or Ctrl-D).
        if (passwordAsked) {
            return message + QStringLiteral(" --password read none: type it when asked, or give it as a line on "
                                            "the input.");
        }
        return message + (onItsOwn ? QStringLiteral(" Add --password to be asked for it.")
                                   : QStringLiteral(" Run it on its own with --password to be asked for it."));
    }
    if (message == OCRError::outputOverwritesSource().description()) {
        return QStringLiteral("This output name would overwrite the original PDF, so nothing was written. Give "
                              "another name template with --name (or store one with --set "
                              "quorvane.settings.outputNameTemplate=...) \u2014 add {date} or a suffix such as "
                              "_searchable.");
    }
    return message;
}

QString watcherStatus(const QString& message) {
    if (message == FolderWatcher::folderUnavailableMessage) {
        return QStringLiteral("That folder is no longer available \u2014 start --watch again with an existing "
                              "folder.");
    }
    return message;
}

} // namespace quorvane::cli::TerminalWording
