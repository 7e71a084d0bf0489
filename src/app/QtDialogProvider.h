#pragma once

// The dialogs a person sees: Qt's file dialogs and message boxes, and the password sheet, each
// attached to the window the user is working in (the main window when none is active).

#include "app/DialogProvider.h"

#include <QPointer>
#include <QWidget>

namespace quorvane {

class QtDialogProvider : public DialogProvider {
public:
    // The dialogs belong to `window` (set later when the window is made after the provider).
    explicit QtDialogProvider(QWidget* window = nullptr) : m_window(window) {}
    void setWindow(QWidget* window) { m_window = window; }

    QStringList chooseInputs(InputKind kind) override;
    std::optional<QString> chooseSaveLocation(const QString& folder, const QString& proposedName,
                                              const QString& message) override;
    std::optional<QString> chooseFileToOpen(const QString& title, const QString& nameFilter) override;
    std::optional<QString> chooseFileToSave(const QString& title, const QString& proposedName,
                                            const QString& nameFilter) override;
    std::optional<QString> chooseFolder(const QString& acceptLabel, const QString& message) override;
    std::optional<ReportDestination> chooseReportDestination() override;
    void askPassword(PasswordPrompt& prompt) override;
    void showAlert(const QString& title, const QString& message) override;
    void showInformation(const QString& title, const QString& message) override;
    bool confirm(const QString& title, const QString& message, const QString& acceptLabel,
                 const QString& rejectLabel = QStringLiteral("Cancel")) override;
    std::optional<QString> askText(const QString& title, const QString& message, const QString& fieldLabel,
                                   const QString& text, const QString& acceptLabel) override;
    void offerUpdate(const QString& title, const QString& message, std::function<void()> download) override;

private:
    QWidget* parentWindow() const;
    QString startFolder() const;

    QPointer<QWidget> m_window;
    QString m_lastFolder;
};

} // namespace quorvane
