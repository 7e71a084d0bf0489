#pragma once

// The question for a locked PDF's password. "Process" checks the typed password off the main
// thread; a wrong one keeps the question open with its error line, the right one is handed to
// whoever asked, once. The password is never kept beyond that hand-over.

#include <QObject>
#include <QString>
#include <QUuid>

namespace quorvane {

class PasswordPrompt : public QObject {
    Q_OBJECT

public:
    static inline const QString title = QStringLiteral("Password required");
    static inline const QString cannotOpenMessage = QStringLiteral("The file could not be opened.");
    static inline const QString incorrectPasswordMessage = QStringLiteral("Incorrect password. Try again.");

    explicit PasswordPrompt(QString file, QObject* parent = nullptr);

    QUuid id() const { return m_id; }
    QString file() const { return m_file; }
    // "“scan.pdf” is password-protected. Enter its password to make it searchable. …"
    QString message() const;
    // The error line under the field; empty when there is none.
    QString error() const { return m_error; }
    // A typed password is being tried.
    bool isChecking() const { return m_isChecking; }
    bool isOpen() const { return m_isOpen; }

    // "Process": tries the password; ignored while one is being tried or after the question closed.
    void submit(const QString& password);
    // "Cancel": closes the question; nothing is processed.
    void cancel();

Q_SIGNALS:
    void errorChanged();
    void isCheckingChanged(bool checking);
    // The password opens the file; the question closes right after.
    void accepted(const QString& password);
    void closed();

private:
    void close();

    QUuid m_id;
    QString m_file;
    QString m_error;
    bool m_isChecking = false;
    bool m_isOpen = true;
};

} // namespace quorvane
