// The update check against a feed served from 127.0.0.1, and the offer the main window makes.

#include "AppTestSupport.h"

#include "app/MainWindow.h"
#include "app/UpdateChecker.h"
#include "support/EventLoop.h"
#include "support/QtPrinting.h"
#include "support/ScriptedRecognizer.h"
#include "support/TestSupport.h"

#include <QStatusBar>
#include <gtest/gtest.h>

using namespace quorvane;
using namespace std::chrono_literals;
using Kind = UpdateChecker::CheckResult::Kind;

namespace {

QByteArray feed(const char* version, const char* url, const char* releases, const char* notesEn = "Faster pages.") {
    return QStringLiteral(R"({"version": "%1", "url": "%2", "notes": "Schnellere Seiten.", "notes_en": "%3",
                              "releases": [%4]})")
        .arg(QLatin1String(version), QLatin1String(url), QLatin1String(notesEn), QLatin1String(releases))
        .toUtf8();
}

const char* release13 = R"({"version": "1.3.0", "url": "https://example.org/1.3", "notes": "n", "notes_en": "n",
                            "date": "2026-10-01"})";

} // namespace

TEST(UpdateChecker, ComparesVersionsNumberByNumber) {
    struct Case {
        const char* a;
        const char* b;
        bool newer;
    };
    for (const Case& c : {Case{"1.10", "1.9", true}, Case{"1.2", "1.2.0", false}, Case{"1.2.1", "1.2", true},
                          Case{"2.0-beta", "1.9", true}, Case{"1.0", "1.0", false}, Case{"1.9", "1.10", false},
                          Case{"+2", "1.99", true}, Case{"", "0.0.1", false}}) {
        EXPECT_EQ(UpdateChecker::isNewer(c.a, c.b), c.newer) << c.a << " against " << c.b;
    }
}

TEST(UpdateChecker, WindowOffersANewerReleaseAndNothingElse) {
    test::LocalHttpServer server;
    server.serve("/newer", {200, feed("1.3.0", "https://example.org/download", release13)});
    server.serve("/equal", {200, feed("1.2", "https://example.org/download", "")});
    server.serve("/own-version", {200, feed("1.10", "not a url", "", "")});
    server.serve("/no-notes-en", {200, R"({"version": "9", "url": "u", "notes": "n", "releases": []})"});
    test::ScopedEnvironment feedUrl(UpdateChecker::feedURLVariable, {});
    test::OpenedUrls browser(QStringLiteral("https"));

    test::AppUnderTest t(std::make_shared<test::ScriptedRecognizer>(nullptr)); // recognises nothing
    UpdateChecker& updates = t.app.updates();
    const auto check = [&](const char* path) {
        feedUrl.set(server.url(path).toEncoded());
        t.app.mainWindow().checkForUpdates();
        return test::runUntil([&] { return !updates.isChecking(); }, 20s);
    };

    ASSERT_TRUE(check("/newer"));
    EXPECT_EQ(updates.lastCheckResult(), (UpdateChecker::CheckResult{Kind::updateAvailable, "1.3.0", {}}));
    ASSERT_EQ(t.dialogs->offers.size(), 1);
    EXPECT_EQ(t.dialogs->offers[0].title, QStringLiteral("Update Available"));
    EXPECT_EQ(t.dialogs->offers[0].message, QStringLiteral("Quorvane 1.3.0 is available.\n\nFaster pages."));
    t.dialogs->offers[0].download();
    EXPECT_EQ(browser.urls, QList<QUrl>{QUrl("https://example.org/download")});

    // Asked again while it checks: the feed is fetched once.
    feedUrl.set(server.url("/equal").toEncoded());
    updates.check();
    ASSERT_TRUE(check("/equal"));
    EXPECT_EQ(server.requestCount(), 2);
    EXPECT_EQ(updates.lastCheckResult().kind, Kind::upToDate);
    EXPECT_FALSE(updates.availableRelease().has_value());
    EXPECT_EQ(t.dialogs->offers.size(), 1);
    EXPECT_EQ(t.app.mainWindow().statusBar()->currentMessage(), QStringLiteral("Quorvane 1.2.0 is up to date."));

    // A feed that lists no releases is judged by its own version; its notes fall back to "notes",
    // an address that is none to the product's page.
    ASSERT_TRUE(check("/own-version"));
    EXPECT_EQ(updates.lastCheckResult(), (UpdateChecker::CheckResult{Kind::updateAvailable, "1.10", {}}));
    ASSERT_EQ(t.dialogs->offers.size(), 2);
    EXPECT_EQ(t.dialogs->offers[1].message, QStringLiteral("Quorvane 1.10 is available.\n\nSchnellere Seiten."));
    EXPECT_EQ(updates.availableRelease()->url, UpdateChecker::productPage);

    // Failures keep the offer that was made and say what went wrong.
    ASSERT_TRUE(check("/missing"));
    EXPECT_EQ(updates.lastCheckResult(), (UpdateChecker::CheckResult{Kind::error, {}, "Unexpected response"}));
    EXPECT_TRUE(updates.availableRelease().has_value());
    ASSERT_TRUE(check("/no-notes-en"));
    EXPECT_EQ(updates.lastCheckResult().kind, Kind::error);
    EXPECT_TRUE(updates.lastCheckResult().message.contains("notes_en")) << updates.lastCheckResult().message.toStdString();
    EXPECT_EQ(t.dialogs->offers.size(), 2);
    EXPECT_TRUE(t.app.mainWindow().statusBar()->currentMessage().startsWith("Could not check for updates: "));
    // A fetch that fails says why, not that the answer was unexpected.
    feedUrl.set("http://127.0.0.1:9/feed.json"); // nothing listens there
    t.app.mainWindow().checkForUpdates();
    ASSERT_TRUE(test::runUntil([&] { return !updates.isChecking(); }, 20s));
    EXPECT_EQ(updates.lastCheckResult().kind, Kind::error);
    EXPECT_FALSE(updates.lastCheckResult().message.isEmpty());
    EXPECT_NE(updates.lastCheckResult().message, UpdateChecker::unexpectedResponseMessage);
}
