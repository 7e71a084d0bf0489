#include "jobs/BatchItem.h"

#include <gtest/gtest.h>

using namespace quorvane;

TEST(BatchItem, StatusTextsAndCompletion) {
    const DocumentSummary summary{
        .outputURL = "/out/a_searchable.pdf", .sidecarError = "No space left on device", .processedPages = 3};

    EXPECT_EQ(ItemStatus::pending().text(), "Pending");
    EXPECT_EQ(ItemStatus::processing("Page 2 of 7").text(), "Page 2 of 7");
    EXPECT_EQ(ItemStatus::done(summary).text(), "3 recognized, 0 skipped");
    EXPECT_EQ(ItemStatus::done(summary).sidecarNote(), ".txt not saved: No space left on device");
    EXPECT_EQ(ItemStatus::done(DocumentSummary{}).text(), "Already searchable");
    EXPECT_EQ(ItemStatus::done(DocumentSummary{}).sidecarNote(), "");
    EXPECT_EQ(ItemStatus::failed("Could not open the PDF.").text(), "Could not open the PDF.");
    EXPECT_EQ(ItemStatus::skippedExisting("/out/x.pdf").text(), QString::fromUtf8("Skipped — output exists"));
    EXPECT_EQ(ItemStatus::cancelled().text(), "Cancelled");

    EXPECT_FALSE(ItemStatus::pending().isCompleted());
    EXPECT_FALSE(ItemStatus::processing("Preparing…").isCompleted());
    EXPECT_TRUE(ItemStatus::done(summary).isCompleted());
    EXPECT_TRUE(ItemStatus::failed("x").isCompleted());
    EXPECT_TRUE(ItemStatus::skippedExisting("/x").isCompleted());
    EXPECT_TRUE(ItemStatus::cancelled().isCompleted());

    // Equal only in the same case with the same payload.
    EXPECT_EQ(ItemStatus::processing("Page 1 of 2"), ItemStatus::processing("Page 1 of 2"));
    EXPECT_NE(ItemStatus::processing("Page 1 of 2"), ItemStatus::processing("Page 2 of 2"));
    EXPECT_NE(ItemStatus::failed(""), ItemStatus::cancelled());
}

TEST(BatchItem, QueuedItemsAreDistinctAndKnowTheirOutput) {
    const auto a = BatchItem::queued("/in/a.pdf");
    const auto b = BatchItem::queued("/in/a.pdf");
    EXPECT_NE(a.id, b.id);
    EXPECT_FALSE(a.id.isNull());
    EXPECT_EQ(a.status, ItemStatus::pending());
    EXPECT_EQ(a.outputURL(), std::nullopt);

    auto done = a;
    done.status = ItemStatus::done({.outputURL = "/out/a_searchable.pdf", .processedPages = 1});
    EXPECT_EQ(done.outputURL(), "/out/a_searchable.pdf");
    done.status = ItemStatus::done(DocumentSummary{}); // already searchable: nothing written
    EXPECT_EQ(done.outputURL(), std::nullopt);
    done.status = ItemStatus::skippedExisting("/out/old.pdf");
    EXPECT_EQ(done.outputURL(), "/out/old.pdf");
    done.status = ItemStatus::failed("x");
    EXPECT_EQ(done.outputURL(), std::nullopt);
}
