#include "core/CustomWordList.h"

#include <gtest/gtest.h>

using namespace quorvane;

TEST(CustomWordList, ParsingKeepsFirstOccurrencesAndCaseVariants) {
    EXPECT_EQ(CustomWordList::parse("Quorvane, Linn\tQuorvane\n\n  linn ; Sondek\r\n"),
              (QStringList{"Quorvane", "Linn", "linn", "Sondek"}));
    EXPECT_TRUE(CustomWordList::parse(" ,;\t\n\r  ").isEmpty());
    EXPECT_EQ(CustomWordList::parse("two words, one phrase"), (QStringList{"two words", "one phrase"}));
}

TEST(CustomWordList, MergeAppendsOnlyNewWordsAndTextRoundTrips) {
    EXPECT_EQ(CustomWordList::merge({"a", "b"}, {"b", " ", "c", "a", "c"}), (QStringList{"a", "b", "c"}));
    EXPECT_EQ(CustomWordList::text({}), "");
    EXPECT_EQ(CustomWordList::text({"x", "y"}), "x\ny\n");
    const QStringList words{"Linn", "LP12", "Sondek"};
    EXPECT_EQ(CustomWordList::parse(CustomWordList::text(words)), words);
}
