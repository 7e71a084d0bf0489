// What reaches the notification server.

#include "AppTestSupport.h"

#include "app/NotificationService.h"
#include "support/EventLoop.h"
#include "support/QtPrinting.h"

#include <gtest/gtest.h>

using namespace quorvane;
using namespace std::chrono_literals;

TEST(NotificationService, PostsOverTheBusUnlessSwitchedOff) {
    test::FakeNotificationServer server;
    ASSERT_TRUE(server.isRegistered());
    NotificationService::post("Switched off", "never shown", false);
    NotificationService::post("OCR complete", "scan.pdf: 1 page(s) recognized.", true);
    ASSERT_TRUE(test::runUntil([&] { return !server.received.isEmpty(); }, 10s));
    test::runFor(200ms);
    ASSERT_EQ(server.received.size(), 1);
    EXPECT_EQ(server.received[0].appName, QStringLiteral("Quorvane"));
    EXPECT_EQ(server.received[0].icon, QStringLiteral(QUORVANE_APP_ID));
    EXPECT_EQ(server.received[0].summary, QStringLiteral("OCR complete"));
    EXPECT_EQ(server.received[0].hints.value("desktop-entry").toString(), QStringLiteral(QUORVANE_APP_ID));
}
