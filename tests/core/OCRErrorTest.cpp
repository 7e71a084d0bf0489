#include "core/OCRError.h"

#include <gtest/gtest.h>

using namespace quorvane;

TEST(OCRError, PageNumbersAreOneBasedAndDetailsFollowVerbatim) {
    EXPECT_EQ(OCRError::rasterizationFailed(0).description(), "Rendering page 1 failed.");
    EXPECT_EQ(OCRError::recognitionFailed(4, "engine stopped").description(),
              "Text recognition failed on page 5: engine stopped");
    EXPECT_EQ(OCRError::documentTooLarge("Too big.").description(), "Too big.");
    EXPECT_STREQ(OCRError::missingPageContent(2).what(), "Page 3 has no drawable content.");
}

TEST(OCRError, TextsKeepTheirExactPunctuation) {
    EXPECT_TRUE(OCRError::incorrectPassword().description().contains("didn't"));
    const QString overwrite = OCRError::outputOverwritesSource().description();
    EXPECT_TRUE(overwrite.contains(QChar(0x2014)));
    EXPECT_TRUE(overwrite.contains("{date}"));
    EXPECT_EQ(errorText(PlatformError("disk full")), "disk full");
    EXPECT_EQ(errorText(OCRError::emptyDocument()), "The PDF contains no pages.");
}
