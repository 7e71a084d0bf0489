#pragma once

// The password sheet of a locked PDF, bound to its PasswordPrompt: it stays open with the error
// line while a password is wrong and closes when the prompt does.

#include <QDialog>
#include <QPointer>

class QLabel;
class QLineEdit;
class QPushButton;

namespace quorvane {

class PasswordPrompt;

class PasswordDialog : public QDialog {
    Q_OBJECT

public:
    PasswordDialog(PasswordPrompt& prompt, QWidget* parent = nullptr);

    void reject() override;

private:
    QPointer<PasswordPrompt> m_prompt;
    QLineEdit* m_password = nullptr;
    QLabel* m_error = nullptr;
    QPushButton* m_process = nullptr;
};

} // namespace quorvane
