#include "core/OCRError.h"

#include <gtest/gtest.h>

using namespace quorvane;

TEST(OCRError, PageNumbersAreOneBasedAndDetailsFollowVerbatim) {
    EXPECT_EQ(OCRError::rasterizationFailed(0).description(), "Rendering page 1 failed.");
    EXPECT_EQ(OCRError::recognitionFailed(4, "engine stopped").description(),
              "Text recognition failed on page 5: engine stopped");
    EXPECT_EQ(OCRError::documentTooLarge("Too big.").description(), "Too big.");
    EXPECT_STREQ(OCRError::missingPageContent(2).what(), "Page 3 has no drawable content.");
    EXPECT_EQ(errorText(PlatformError("disk full")), "disk full");
}
