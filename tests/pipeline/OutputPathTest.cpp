#include "pipeline/OutputPath.h"

#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimeZone>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace quorvane;

namespace {

const QDateTime fifthOfDecember(QDate(2026, 12, 5), QTime(12, 0));

QString nameFor(const QString& source, const QString& nameTemplate) {
    return OutputPath::fileName(source, nameTemplate, fifthOfDecember);
}

} // namespace

TEST(OutputPathFileName, Templates) {
    EXPECT_EQ(nameFor("/a/b/scan.PDF", OutputPath::defaultTemplate), "scan_searchable.pdf");
    EXPECT_EQ(nameFor("/a/b/scan.pdf", "{date} {name}"), "2026-12-05 scan.pdf");
    EXPECT_EQ(nameFor("/a/b/scan.pdf", ""), "scan_searchable.pdf");
    EXPECT_EQ(nameFor("/a/b/scan.pdf", " {name} "), "scan.pdf");
    EXPECT_EQ(nameFor("/a/b/scan.pdf", "{name}.PDF"), "scan.PDF");
    EXPECT_EQ(nameFor("/a/b/scan.pdf", "out/{name}"), "out-scan.pdf");
    EXPECT_EQ(nameFor("/a/b/scan.pdf", "{NAME}"), "{NAME}.pdf");
    EXPECT_EQ(nameFor("/a/b/{date}.pdf", "{name}"), "2026-12-05.pdf"); // {date} replaced after {name}
    EXPECT_EQ(nameFor("/a/b/report.final.pdf", "{name}"), "report.final.pdf"); // one extension removed
    EXPECT_EQ(nameFor("/a/b/README", "{name}-{name}"), "README-README.pdf");
    EXPECT_EQ(nameFor("/a/b/scan.pdf", "a: {name}?*"), "a: scan?*.pdf"); // other characters kept
}

TEST(OutputPathFileName, TemplatesThatCannotNameOutputsAreRefused) {
    for (const auto* usable : {"", "  ", "{name}_{date}", "{date} {name}", "{name} {x"}) {
        EXPECT_EQ(OutputPath::templateProblem(usable), std::nullopt) << usable;
    }
    for (const auto* unusable : {"foo", "{date}", "{NAME}", "{name}_{nam}", "{name}{}"}) {
        EXPECT_NE(OutputPath::templateProblem(unusable), std::nullopt) << unusable;
    }
}

TEST(OutputPathFileName, DateIsTheLocalCalendarDay) {
    // 01:00 on the 6th at UTC+14 is 11:00 UTC on the 5th: the 5th in every zone from UTC-11 to
    // UTC+12, which is where this runs.
    const QDateTime farEast(QDate(2026, 12, 6), QTime(1, 0), QTimeZone(14 * 3600));
    EXPECT_EQ(OutputPath::fileName("/a/scan.pdf", "{date}", farEast), "2026-12-05.pdf");
    EXPECT_EQ(OutputPath::fileName("/a/scan.pdf", "{date}", QDateTime(QDate(987, 3, 4), QTime(12, 0))),
              "0987-03-04.pdf");
}

TEST(OutputPathIsSameFile, SpellingsLinksAndIdentities) {
    QTemporaryDir folder;
    const QDir dir(folder.path());
    const QString scan = dir.filePath("scan.pdf");
    const QString other = dir.filePath("other.pdf");
    ASSERT_TRUE(test::writeFile(scan, "x"));
    ASSERT_TRUE(test::writeFile(other, "x"));
    // The template's name alone replaces the source; a folder given with its slash is the same folder.
    EXPECT_TRUE(OutputPath::isSameFile(scan, OutputPath::outputURL(scan, std::nullopt, "{name}")));
    EXPECT_TRUE(OutputPath::isSameFile(scan, OutputPath::outputURL(scan, folder.path() + "/", "{name}")));
    EXPECT_TRUE(OutputPath::isSameFile(dir.filePath("Scan.pdf"), scan)); // case: refuse
    EXPECT_TRUE(OutputPath::isSameFile(folder.path() + "/./scan.pdf", scan));
    EXPECT_TRUE(OutputPath::isSameFile(folder.path() + "/sub/../scan.pdf", scan));
    EXPECT_TRUE(OutputPath::isSameFile("/x/Scan.pdf", "/x/scan.pdf")); // neither exists
    EXPECT_TRUE(OutputPath::isSameFile("/x/./scan.pdf", "/x/scan.pdf"));
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(folder.path()));
    EXPECT_TRUE(OutputPath::isSameFile("scan.pdf", scan)); // relative to the working folder
    QDir::setCurrent(previous);

    ASSERT_TRUE(dir.mkdir("real"));
    ASSERT_TRUE(QFile::link(scan, dir.filePath("link.pdf")));
    ASSERT_TRUE(QFile::link(dir.filePath("real"), dir.filePath("linked-folder")));
    ASSERT_TRUE(QFile::link(dir.filePath("real/later.pdf"), dir.filePath("dangling.pdf")));
    ASSERT_EQ(::link(QFile::encodeName(scan).constData(), QFile::encodeName(dir.filePath("hard.pdf")).constData()),
              0);

    EXPECT_TRUE(OutputPath::isSameFile(dir.filePath("link.pdf"), scan));
    EXPECT_TRUE(OutputPath::isSameFile(scan, dir.filePath("hard.pdf"))); // same inode, two names
    // The output does not exist yet: its folder's link is still followed.
    EXPECT_TRUE(OutputPath::isSameFile(dir.filePath("linked-folder/out.pdf"), dir.filePath("real/out.pdf")));
    // A link to a file not written yet leads to where it would be written.
    EXPECT_TRUE(OutputPath::isSameFile(dir.filePath("dangling.pdf"), dir.filePath("real/later.pdf")));

    EXPECT_FALSE(OutputPath::isSameFile(scan, other));
    EXPECT_FALSE(OutputPath::isSameFile(scan, dir.filePath("scan_searchable.pdf")));
    EXPECT_FALSE(OutputPath::isSameFile(dir.filePath("a.pdf"), dir.filePath("b.pdf")));

    // Links that lead round in a loop end with an answer.
    ASSERT_TRUE(QFile::link(dir.filePath("loop-b.pdf"), dir.filePath("loop-a.pdf")));
    ASSERT_TRUE(QFile::link(dir.filePath("loop-a.pdf"), dir.filePath("loop-b.pdf")));
    EXPECT_FALSE(OutputPath::isSameFile(dir.filePath("loop-a.pdf"), dir.filePath("c.pdf")));
}
