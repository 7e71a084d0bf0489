#pragma once

// What the desktop application's tests need besides the engine's fixtures: a dialog provider
// that answers from the test, the application built with it, fake desktop services on the test's
// private session bus (a notification server, a file manager), a feed server on 127.0.0.1, and
// folders that refuse new files.

#include "app/DialogProvider.h"
#include "app/PasswordPrompt.h"
#include "app/PendingDrops.h"
#include "app/QuorvaneApp.h"
#include "platform/TesseractOCRService.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTcpServer>
#include <QUrl>
#include <QVariantMap>
#include <functional>
#include <optional>

namespace quorvane::test {

// Answers every question the way the test set it up, and keeps what was asked.
class FakeDialogs : public DialogProvider {
public:
    struct Message {
        QString title;
        QString message;
    };
    struct SaveQuestion {
        QString folder;
        QString proposedName;
        QString message;
    };
    struct Offer {
        QString title;
        QString message;
        std::function<void()> download;
    };

    QStringList inputsToChoose;
    std::optional<QString> saveAnswer;
    std::optional<ReportDestination> reportAnswer;
    bool confirmAnswer = false;
    std::optional<QString> fileToOpen;
    std::optional<QString> fileToSave;
    std::optional<QString> folderAnswer;
    std::optional<QString> textAnswer;

    QList<SaveQuestion> saveQuestions;
    QList<QPointer<PasswordPrompt>> passwordPrompts;
    QList<Message> alerts;
    QList<Message> confirmations;
    QList<Offer> offers;

    QStringList chooseInputs(InputKind) override { return inputsToChoose; }
    std::optional<QString> chooseSaveLocation(const QString& folder, const QString& proposedName,
                                              const QString& message) override {
        saveQuestions.append({folder, proposedName, message});
        return saveAnswer;
    }
    std::optional<QString> chooseFileToOpen(const QString&, const QString&) override { return fileToOpen; }
    std::optional<QString> chooseFileToSave(const QString&, const QString&, const QString&) override {
        return fileToSave;
    }
    std::optional<QString> chooseFolder(const QString&, const QString&) override { return folderAnswer; }
    std::optional<ReportDestination> chooseReportDestination() override { return reportAnswer; }
    void askPassword(PasswordPrompt& prompt) override { passwordPrompts.append(&prompt); }
    void showAlert(const QString& title, const QString& message) override { alerts.append({title, message}); }
    void showInformation(const QString&, const QString&) override {}
    bool confirm(const QString& title, const QString& message, const QString&, const QString& = {}) override {
        confirmations.append({title, message});
        return confirmAnswer;
    }
    std::optional<QString> askText(const QString&, const QString&, const QString&, const QString&,
                                   const QString&) override { return textAnswer; }
    void offerUpdate(const QString& title, const QString& message, std::function<void()> download) override {
        offers.append({title, message, std::move(download)});
    }
};

// The application as the program builds it, with the test answering its dialogs, from the
// settings a fresh user has (every test of a program shares one settings file).
struct AppUnderTest {
    explicit AppUnderTest(std::shared_ptr<const TextRecognizer> recognizer = std::make_shared<TesseractOCRService>());

    PendingDrops drops;
    FakeDialogs* dialogs = new FakeDialogs;
    QuorvaneApp app;
};

// An object of the test on its own connection to the session bus, at `path` under the name
// `service`, for as long as this lives, so that the application's calls really travel over the bus.
class BusRegistration {
public:
    BusRegistration(QObject* object, const QString& service, const QString& path);
    ~BusRegistration();
    // False when the bus is missing or another server has the name.
    bool isRegistered() const { return m_registered; }

private:
    QString m_service;
    QString m_path;
    bool m_registered = false;
};

// A notification server that records the notifications it was sent.
class FakeNotificationServer : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    struct Notification {
        QString appName;
        QString icon;
        QString summary;
        QString body;
        QVariantMap hints;
    };

    bool isRegistered() const { return m_bus.isRegistered(); }
    QList<Notification> received;

public Q_SLOTS:
    uint Notify(const QString& appName, uint replacesId, const QString& appIcon, const QString& summary,
                const QString& body, const QStringList& actions, const QVariantMap& hints, int timeout);

private:
    BusRegistration m_bus{this, "org.freedesktop.Notifications", "/org/freedesktop/Notifications"};
};

// A file manager that records which files it was asked to show.
class FakeFileManager : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")

public:
    bool isRegistered() const { return m_bus.isRegistered(); }
    QList<QStringList> shown;

public Q_SLOTS:
    void ShowItems(const QStringList& uris, const QString& startupId);

private:
    BusRegistration m_bus{this, "org.freedesktop.FileManager1", "/org/freedesktop/FileManager1"};
};

// URLs handed to the desktop (QDesktopServices::openUrl) for one scheme while this object lives.
class OpenedUrls : public QObject {
    Q_OBJECT

public:
    explicit OpenedUrls(const QString& scheme);
    ~OpenedUrls() override;

    QList<QUrl> urls;

public Q_SLOTS:
    void open(const QUrl& url) { urls.append(url); }

private:
    QString m_scheme;
};

// Answers GET requests on 127.0.0.1 from a table of paths; unknown paths get 404.
class LocalHttpServer : public QObject {
    Q_OBJECT

public:
    struct Response {
        int status = 200;
        QByteArray body;
    };

    LocalHttpServer();
    void serve(const QString& path, const Response& response) { m_responses.insert(path, response); }
    QUrl url(const QString& path) const;
    int requestCount() const { return m_requests; }

private:
    void answer(class QTcpSocket* socket);

    QTcpServer m_server;
    QHash<QString, Response> m_responses;
    int m_requests = 0;
};

// A folder in which nothing can be created while this object lives (for root too: the folder is
// made immutable). `isReadOnly` is false where the file system allows neither.
class ReadOnlyFolder {
public:
    explicit ReadOnlyFolder(QString path);
    ~ReadOnlyFolder();
    bool isReadOnly() const { return m_readOnly; }

private:
    QString m_path;
    bool m_immutable = false;
    bool m_readOnly = false;
};

} // namespace quorvane::test
