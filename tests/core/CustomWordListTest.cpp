#include "core/CustomWordList.h"
#include "support/TestSupport.h"

#include <QTemporaryDir>
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

// Lists saved with a byte order mark read as their words. (A device that never ends is refused after
// the limit instead of filling the memory: CliFailures.)
TEST(CustomWordList, FilesAreReadWithoutTheirByteOrderMark) {
    QTemporaryDir folder;
    const QString utf8 = folder.filePath("utf8.txt"), utf16 = folder.filePath("utf16.txt");
    ASSERT_TRUE(test::writeFile(utf8, "\xef\xbb\xbfSondek\nLinn\n"));
    const QString words = QStringLiteral("Sondek\nLinn\n");
    ASSERT_TRUE(test::writeFile(
        utf16, QByteArray("\xff\xfe", 2) +
                   QByteArray(reinterpret_cast<const char*>(words.utf16()), words.size() * 2)));
    for (const QString& path : {utf8, utf16}) {
        const auto file = CustomWordList::readFile(path);
        ASSERT_TRUE(file.text) << file.problem.toStdString();
        EXPECT_EQ(CustomWordList::parse(*file.text), (QStringList{"Sondek", "Linn"}));
    }
}
