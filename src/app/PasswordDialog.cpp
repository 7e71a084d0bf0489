#include "app/PasswordDialog.h"

#include "app/PasswordPrompt.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace quorvane {

PasswordDialog::PasswordDialog(PasswordPrompt& prompt, QWidget* parent) : QDialog(parent), m_prompt(&prompt) {
    setWindowTitle(PasswordPrompt::title);
    setWindowModality(Qt::WindowModal);
    setAttribute(Qt::WA_DeleteOnClose);

    auto* title = new QLabel(PasswordPrompt::title, this);
    QFont titleFont = title->font();
    titleFont.setBold(true);
    title->setFont(titleFont);
    auto* message = new QLabel(prompt.message(), this);
    message->setWordWrap(true);
    m_password = new QLineEdit(this);
    m_password->setEchoMode(QLineEdit::Password);
    m_error = new QLabel(this);
    m_error->setObjectName(QStringLiteral("passwordError"));
    m_error->setStyleSheet(QStringLiteral("color: #c02020;"));
    m_error->hide();

    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QDialogButtonBox::Cancel);
    m_process = buttons->addButton(QStringLiteral("Process"), QDialogButtonBox::AcceptRole);
    m_process->setDefault(true);

    auto* field = new QFormLayout;
    field->addRow(QStringLiteral("Password"), m_password);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(title);
    layout->addWidget(message);
    layout->addLayout(field);
    layout->addWidget(m_error);
    layout->addWidget(buttons);
    setMinimumWidth(420);

    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        if (m_prompt) {
            m_prompt->submit(m_password->text());
        }
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &PasswordDialog::reject);
    connect(m_prompt, &PasswordPrompt::isCheckingChanged, this, [this](bool checking) {
        m_process->setEnabled(!checking);
        m_password->setEnabled(!checking);
    });
    connect(m_prompt, &PasswordPrompt::errorChanged, this, [this] {
        m_error->setText(m_prompt->error());
        m_error->setVisible(!m_prompt->error().isEmpty());
        m_password->setFocus();
        m_password->selectAll();
    });
    connect(m_prompt, &PasswordPrompt::closed, this, [this] {
        m_password->clear();
        QDialog::accept();
    });
    // The prompt may go before its dialog (the window went away).
    connect(m_prompt, &QObject::destroyed, this, &QDialog::reject);
}

void PasswordDialog::reject() {
    m_password->clear();
    if (m_prompt) {
        m_prompt->cancel();
    }
    QDialog::reject();
}

} // namespace quorvane
