#include "app/UpdateChecker.h"

#include "app/UpdateFeed.h"

#include <QDesktopServices>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QRegularExpression>

#include <algorithm>

namespace quorvane {

namespace {

// A server that accepts the connection and then says nothing must not keep the check open.
constexpr int transferTimeoutMs = 30000;

QList<long long> versionNumbers(const QString& version) {
    static const QRegularExpression integer(QStringLiteral("^[+-]?[0-9]+$"));
    QList<long long> numbers;
    for (const auto& part : version.split(QLatin1Char('.'), Qt::SkipEmptyParts)) {
        bool ok = false;
        const long long number = part.toLongLong(&ok, 10);
        if (ok && integer.match(part).hasMatch()) {
            numbers.append(number);
        }
    }
    return numbers;
}

} // namespace

UpdateChecker::UpdateChecker(const QString& currentVersion, QObject* parent)
    : QObject(parent), m_currentVersion(currentVersion.isEmpty() ? QStringLiteral("1.0.0") : currentVersion) {}

QUrl UpdateChecker::feedURL() {
    const QString configured = qEnvironmentVariable(feedURLVariable);
    return configured.isEmpty() ? feedEndpoint : QUrl(configured);
}

void UpdateChecker::check() {
    if (m_isChecking) {
        return;
    }
    m_isChecking = true;
    Q_EMIT isCheckingChanged(true);

    QNetworkRequest request(feedURL());
    request.setTransferTimeout(transferTimeoutMs);
    QNetworkReply* reply = m_session.get(request);
    connect(reply, &QNetworkReply::finished, this, [this, reply] { finishCheck(reply); });
}

void UpdateChecker::finishCheck(QNetworkReply* reply) {
    reply->deleteLater();
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    // A server that answered with an error status is an unexpected response, not a failed fetch.
    if (!status.isValid()) {
        endCheck({.kind = CheckResult::Kind::error,
                  .message = reply->error() != QNetworkReply::NoError ? reply->errorString()
                                                                       : unexpectedResponseMessage});
        return;
    }
    if (status.toInt() < 200 || status.toInt() > 299) {
        endCheck({.kind = CheckResult::Kind::error, .message = unexpectedResponseMessage});
        return;
    }
    if (reply->error() != QNetworkReply::NoError) {
        endCheck({.kind = CheckResult::Kind::error, .message = reply->errorString()});
        return;
    }

    const auto decoded = UpdateFeed::decode(reply->readAll());
    if (const auto* problem = std::get_if<QString>(&decoded)) {
        endCheck({.kind = CheckResult::Kind::error, .message = *problem});
        return;
    }
    const auto& feed = std::get<UpdateFeed>(decoded);
    const QString latest = feed.latestVersion();
    if (isNewer(latest, m_currentVersion)) {
        const QUrl url(feed.url, QUrl::StrictMode);
        m_availableRelease = ReleaseInfo{
            .id = QUuid::createUuid(),
            .version = feed.version,
            .url = url.isValid() && !url.isRelative() ? url : productPage,
            .notes = feed.notes,
            .notesEn = feed.notesEn,
            .date = feed.releases.isEmpty() ? QString() : feed.releases.first().date,
        };
        Q_EMIT availableReleaseChanged();
        endCheck({.kind = CheckResult::Kind::updateAvailable, .version = latest});
        return;
    }
    if (m_availableRelease) {
        m_availableRelease.reset();
        Q_EMIT availableReleaseChanged();
    }
    endCheck({.kind = CheckResult::Kind::upToDate});
}

void UpdateChecker::endCheck(const CheckResult& result) {
    m_lastCheckResult = result;
    Q_EMIT lastCheckResultChanged();
    m_isChecking = false;
    Q_EMIT isCheckingChanged(false);
}

void UpdateChecker::openDownloadPage() const {
    if (m_availableRelease) {
        QDesktopServices::openUrl(m_availableRelease->url);
    }
}

bool UpdateChecker::isNewer(const QString& version, const QString& than) {
    const auto a = versionNumbers(version);
    const auto b = versionNumbers(than);
    for (qsizetype index = 0; index < std::max(a.size(), b.size()); ++index) {
        const long long left = index < a.size() ? a[index] : 0;
        const long long right = index < b.size() ? b[index] : 0;
        if (left != right) {
            return left > right;
        }
    }
    return false;
}

QString UpdateChecker::offerMessage(const ReleaseInfo& release) {
    return QStringLiteral("Quorvane ") + release.version + QStringLiteral(" is available.\n\n") +
           (release.notesEn.isEmpty() ? release.notes : release.notesEn);
}

} // namespace quorvane
