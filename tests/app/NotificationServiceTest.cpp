// The texts of the completion notifications, and what reaches the notification server.

#include "AppTestSupport.h"

#include "app/NotificationService.h"
#include "support/EventLoop.h"
#include "support/QtPrinting.h"

#include <gtest/gtest.h>

using namespace quorvane;
using namespace std::chrono_literals;
using Content = NotificationService::Content;

TEST(NotificationService, DocumentTexts) {
    DocumentSummary summary{.processedPages = 5, .skippedPages = 2, .lowConfidencePages = 1};
    EXPECT_EQ(NotificationService::documentContent("scan.pdf", summary),
              (Content{"OCR complete", "scan.pdf: 5 page(s) recognized, 2 skipped. 1 page(s) scored low confidence "
                                       "\u2014 worth a quick check."}));
    EXPECT_EQ(NotificationService::documentContent("scan.pdf", DocumentSummary{.processedPages = 3}),
              (Content{"OCR complete", "scan.pdf: 3 page(s) recognized."}));
    EXPECT_EQ(NotificationService::documentContent("scan.pdf", DocumentSummary{.skippedPages = 4}),
              (Content{"Already searchable", "scan.pdf already had a text layer \u2014 no new file was created."}));
}

TEST(NotificationService, BatchTexts) {
    const auto item = [](const ItemStatus& status) { return BatchItem{QUuid::createUuid(), "x.pdf", status}; };
    const BatchItem done = item(ItemStatus::done(DocumentSummary{.processedPages = 1}));
    EXPECT_EQ(NotificationService::batchContent({done, done, item(ItemStatus::skippedExisting("x_searchable.pdf")),
                                                 item(ItemStatus::failed("Broken."))}),
              (Content{"Batch complete", "2 of 4 file(s) processed. 1 already had outputs and were skipped. 1 failed "
                                         "\u2014 see the queue for details."}));
    EXPECT_EQ(NotificationService::batchContent({done, item(ItemStatus::cancelled()), item(ItemStatus::pending())}),
              (Content{"Batch complete", "1 of 3 file(s) processed. 1 cancelled."}));
}

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
