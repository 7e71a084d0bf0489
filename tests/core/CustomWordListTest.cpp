#include "core/CustomWordList.h"

#include <gtest/gtest.h>

using namespace quorvane;

TEST(CustomWordList, ParsingKeepsFirstOccurrencesAndCaseVariants) {
    EXPECT_EQ(CustomWordList::parse("Quorvane, Linn\tQuorvane\n\n  linn ; Sondek\r\n"),
              (QStringList{"Quorvane", "Linn", "linn", "Sondek"}));
    EXPECT_TRUE(CustomWordList::parse(" ,;\t\n\r  ").isEmpty());
    EXPECT_EQ(CustomWordList::parse("two words, one phrase"), (QStringList{"two words", "one phrase"}));
}

// Merging an imported list and writing one word a line are shown in the settings window's import
// and export (SettingsWindow).
