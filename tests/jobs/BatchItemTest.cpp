#include "jobs/BatchItem.h"

#include <gtest/gtest.h>

using namespace quorvane;

// The other status texts are read back from quorvane-cli's batch lines end to end.
TEST(BatchItem, ASidecarThatFailedIsNotedBesideTheResult) {
    const DocumentSummary summary{
        .outputURL = "/out/a_searchable.pdf", .sidecarError = "No space left on device", .processedPages = 3};
    EXPECT_EQ(ItemStatus::done(summary).text(), "3 recognized, 0 skipped");
    EXPECT_EQ(ItemStatus::done(summary).sidecarNote(), ".txt not saved: No space left on device");
    EXPECT_EQ(ItemStatus::done(DocumentSummary{}).sidecarNote(), "");
    EXPECT_EQ(ItemStatus::failed("x").sidecarNote(), "");
}
