#include "app/PasswordPrompt.h"

#include "platform/PdfDocument.h"

#include <QFileInfo>
#include <QFuture>
#include <QtConcurrent/QtConcurrentRun>

namespace quorvane {

namespace {

enum class Unlock { opened, cannotOpen, wrongPassword };

Unlock tryPassword(const QString& file, const QString& password) {
    const auto document = PdfDocument::open(file);
    if (!document) {
        return Unlock::cannotOpen;
    }
    return document->unlock(password) ? Unlock::opened : Unlock::wrongPassword;
}

} // namespace

PasswordPrompt::PasswordPrompt(QString file, QObject* parent)
    : QObject(parent), m_id(QUuid::createUuid()), m_file(std::move(file)) {}

QString PasswordPrompt::message() const {
    return QStringLiteral("\u201c") + QFileInfo(m_file).fileName() +
           QStringLiteral("\u201d is password-protected. Enter its password to make it searchable. It is used only "
                          "for this run and is never stored.");
}

void PasswordPrompt::submit(const QString& password) {
    if (m_isChecking || !m_isOpen) {
        return;
    }
    m_isChecking = true;
    Q_EMIT isCheckingChanged(true);
    // Opening and decrypting a PDF is parsing: it stays off the main thread.
    QtConcurrent::run(tryPassword, m_file, password).then(this, [this, password](Unlock result) {
        m_isChecking = false;
        Q_EMIT isCheckingChanged(false);
        if (!m_isOpen) {
            return; // cancelled while the password was being tried
        }
        if (result == Unlock::opened) {
            // Closed first: a save dialog the run may ask for must not open over the sheet.
            close();
            Q_EMIT accepted(password);
            return;
        }
        m_error = result == Unlock::cannotOpen ? cannotOpenMessage : incorrectPasswordMessage;
        Q_EMIT errorChanged();
    });
}

void PasswordPrompt::cancel() {
    if (m_isOpen) {
        close();
    }
}

void PasswordPrompt::close() {
    m_isOpen = false;
    Q_EMIT closed();
}

} // namespace quorvane
