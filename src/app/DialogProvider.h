#pragma once

// Every question the application puts to the user in a dialog of its own: open and save
// dialogs, the password question, alerts, confirmations, names and the update offer. The windows ask
// through this interface only, so that tests can answer without a display.

#include "jobs/ReportExporter.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

namespace quorvane {

class PasswordPrompt;

class DialogProvider {
public:
    virtual ~DialogProvider() = default;

    enum class InputKind { files, folder, fileToPreview };
    // Files or a folder to process, or the one file to preview; empty when the user cancels.
    virtual QStringList chooseInputs(InputKind kind) = 0;

    // Where to save a searchable copy: a dialog that starts in `folder`, proposes `proposedName`,
    // takes PDF only and shows `message`. Nothing when the user cancels.
    virtual std::optional<QString> chooseSaveLocation(const QString& folder, const QString& proposedName,
                                                      const QString& message) = 0;

    // One file to read (`nameFilter` as Qt's file dialogs take it); nothing when the user cancels.
    virtual std::optional<QString> chooseFileToOpen(const QString& title, const QString& nameFilter) = 0;
    // Where to write a file, proposing `proposedName`; nothing when the user cancels.
    virtual std::optional<QString> chooseFileToSave(const QString& title, const QString& proposedName,
                                                    const QString& nameFilter) = 0;
    // A folder, chosen with the button `acceptLabel` under `message`; nothing when the user cancels.
    virtual std::optional<QString> chooseFolder(const QString& acceptLabel, const QString& message) = 0;

    struct ReportDestination {
        QString path;
        ReportExporter::Format format = ReportExporter::Format::csv;
    };
    // Where to write the batch report and in which format; nothing when the user cancels.
    virtual std::optional<ReportDestination> chooseReportDestination() = 0;

    // Shows the question until it closes; returns at once.
    virtual void askPassword(PasswordPrompt& prompt) = 0;

    // An alert with an OK button; returns at once.
    virtual void showAlert(const QString& title, const QString& message) = 0;
    // The same for information that is no problem (About).
    virtual void showInformation(const QString& title, const QString& message) = 0;

    // A question with the buttons `acceptLabel` and `rejectLabel`; true when the user accepts.
    virtual bool confirm(const QString& title, const QString& message, const QString& acceptLabel,
                         const QString& rejectLabel = QStringLiteral("Cancel")) = 0;

    // A line of text asked for under `title` and `message`, in a field labelled `fieldLabel` that
    // starts with `text`; nothing when the user cancels.
    virtual std::optional<QString> askText(const QString& title, const QString& message, const QString& fieldLabel,
                                           const QString& text, const QString& acceptLabel) = 0;

    // "Update Available" with "Download" and "Later"; `download` runs when the user picks
    // Download. Returns at once.
    virtual void offerUpdate(const QString& title, const QString& message, std::function<void()> download) = 0;
};

} // namespace quorvane
