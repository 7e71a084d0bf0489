#pragma once

// Asks the update feed whether a newer Quorvane has been published and keeps the answer for the
// window. The only network request the program makes. Lives on the main thread; the fetch never
// blocks it.

#include <QNetworkAccessManager>
#include <QObject>
#include <QString>
#include <QUrl>
#include <QUuid>
#include <optional>

class QNetworkReply;

namespace quorvane {

class UpdateChecker : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool isChecking READ isChecking NOTIFY isCheckingChanged)

public:
    struct ReleaseInfo {
        QUuid id; // fresh for each result
        QString version;
        QUrl url;
        QString notes;
        QString notesEn;
        QString date;
        bool operator==(const ReleaseInfo&) const = default;
    };

    struct CheckResult {
        enum class Kind { notChecked, upToDate, updateAvailable, error };
        Kind kind = Kind::notChecked;
        QString version; // updateAvailable: the newer version
        QString message; // error
        bool operator==(const CheckResult&) const = default;
    };

    static inline const QUrl feedEndpoint{QStringLiteral("https://quorvane.org/updates/feed.json")};
    // Where a release is downloaded when the feed names no usable address.
    static inline const QUrl productPage{QStringLiteral("https://quorvane.org/")};
    // Points the checker at another feed (the tests serve one locally).
    static constexpr const char* feedURLVariable = "QUORVANE_UPDATE_FEED_URL";
    static inline const QString unexpectedResponseMessage = QStringLiteral("Unexpected response");

    // `currentVersion`: the running version, "1.0.0" when empty.
    explicit UpdateChecker(const QString& currentVersion, QObject* parent = nullptr);

    // The fixed endpoint, or the address in QUORVANE_UPDATE_FEED_URL.
    static QUrl feedURL();

    const std::optional<ReleaseInfo>& availableRelease() const { return m_availableRelease; }
    const CheckResult& lastCheckResult() const { return m_lastCheckResult; }
    bool isChecking() const { return m_isChecking; }
    QString currentVersion() const { return m_currentVersion; }

    // Starts a check unless one is under way; returns at once.
    void check();
    // Opens the available release's download page in the browser; nothing without one.
    void openDownloadPage() const;

    // Compares dotted versions number by number ("1.10" is newer than "1.9", "1.2" equals
    // "1.2.0"); parts that are not whole numbers ("0-beta") are left out.
    static bool isNewer(const QString& version, const QString& than);

    // The text of the offer: "Quorvane 1.3 is available." and the release notes.
    static QString offerMessage(const ReleaseInfo& release);

Q_SIGNALS:
    void availableReleaseChanged();
    void lastCheckResultChanged();
    void isCheckingChanged(bool isChecking);

private:
    void finishCheck(QNetworkReply* reply);
    void endCheck(const CheckResult& result);

    QNetworkAccessManager m_session;
    QString m_currentVersion;
    std::optional<ReleaseInfo> m_availableRelease;
    CheckResult m_lastCheckResult;
    bool m_isChecking = false;
};

} // namespace quorvane
