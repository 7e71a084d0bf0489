#include "core/ReadingOrder.h"
#include "support/QtPrinting.h"

#include <QStringList>
#include <gtest/gtest.h>

#include <algorithm>

using namespace quorvane;

namespace {

// A line named `text` with its box given by left, right, bottom and top edges (normalised, y up).
OCRLine line(const char* text, double minX, double maxX, double minY, double maxY) {
    return {text, {minX, minY, maxX - minX, maxY - minY}, 0.9f, 0};
}

QStringList texts(const std::vector<OCRLine>& lines) {
    QStringList result;
    for (const auto& l : lines) {
        result << l.text;
    }
    return result;
}

} // namespace

TEST(ReadingOrder, NoLineOrOneLineComesBackUnchanged) {
    EXPECT_TRUE(ReadingOrder::order({}).empty());
    const std::vector<OCRLine> one{line("only", 0.3, 0.2, 0.1, 0.2)}; // even a box with its edges swapped
    EXPECT_EQ(ReadingOrder::order(one), one);
}

TEST(ReadingOrder, RowsAreReadTopDownAndLeftToRightWithinTheTolerance) {
    // Overlapping horizontally, so one column. Top edges 0.005 apart are one row: the left one
    // first although it is lower.
    EXPECT_EQ(
        texts(ReadingOrder::order({line("right", 0.5, 0.9, 0.7, 0.805), line("left", 0.1, 0.55, 0.7, 0.8)})),
        (QStringList{"left", "right"}));
    // 0.02 apart are two rows: the higher first, wherever it stands.
    EXPECT_EQ(
        texts(ReadingOrder::order({line("left", 0.1, 0.55, 0.7, 0.8), line("right", 0.5, 0.9, 0.7, 0.82)})),
        (QStringList{"right", "left"}));
    // Small print: consecutive lines 0.008 apart, under the tolerance, yet one above the other.
    EXPECT_EQ(texts(ReadingOrder::order({line("first", 0.101, 0.6, 0.794, 0.8),
                                         line("second", 0.1, 0.5, 0.786, 0.792),
                                         line("third", 0.099, 0.7, 0.778, 0.784)})),
              (QStringList{"first", "second", "third"}));
    // A single column (overlapping lines) is read from the top.
    EXPECT_EQ(texts(ReadingOrder::order({line("c", 0.1, 0.9, 0.1, 0.2), line("a", 0.1, 0.8, 0.7, 0.8),
                                         line("b", 0.2, 0.9, 0.4, 0.5)})),
              (QStringList{"a", "b", "c"}));
}

TEST(ReadingOrder, ColumnsAreReadOneAfterTheOtherEvenWhenTheRightStartsHigher) {
    const std::vector<OCRLine> page{
        line("L1", 0.0, 0.45, 0.80, 0.85),  line("R1", 0.55, 1.0, 0.85, 0.90),
        line("L2", 0.0, 0.40, 0.70, 0.75),  line("R2", 0.55, 0.95, 0.75, 0.80),
        line("L3", 0.05, 0.45, 0.60, 0.65),
    };
    const auto ordered = ReadingOrder::order(page);
    EXPECT_EQ(texts(ordered), (QStringList{"L1", "L2", "L3", "R1", "R2"}));
    // The same lines, unchanged.
    for (const auto& l : page) {
        EXPECT_EQ(std::count(ordered.begin(), ordered.end(), l), 1);
    }
}

TEST(ReadingOrder, ColumnsBetweenFullWidthLinesAreReadBandByBandAndColumnByColumn) {
    // Rows of the two columns at the same heights, their gutter (0.47 to 0.49) narrower than six
    // bins: lines side by side mark it.
    const std::vector<OCRLine> page{
        line("title", 0.0, 1.0, 0.90, 0.95), line("L1", 0.0, 0.47, 0.80, 0.85),
        line("R1", 0.49, 1.0, 0.80, 0.851),  line("L2", 0.0, 0.45, 0.70, 0.75),
        line("R2", 0.49, 1.0, 0.70, 0.75),   line("across", 0.0, 1.0, 0.60, 0.65),
        line("L3", 0.0, 0.47, 0.50, 0.55),   line("R3", 0.49, 0.9, 0.50, 0.55),
    };
    EXPECT_EQ(texts(ReadingOrder::order(page)),
              (QStringList{"title", "L1", "L2", "R1", "R2", "across", "L3", "R3"}));
    // Nothing stands beside the date: above the address and the text across the page, it is
    // read first, as rows are.
    const std::vector<OCRLine> letter{
        line("date", 0.7, 1.0, 0.90, 0.95),
        line("street", 0.0, 0.3, 0.80, 0.85),
        line("town", 0.0, 0.25, 0.70, 0.75),
        line("body", 0.0, 1.0, 0.50, 0.55),
    };
    EXPECT_EQ(texts(ReadingOrder::order(letter)), (QStringList{"date", "street", "town", "body"}));
}

// A newspaper's columns, close together: the end of a long line reaches into a gutter, and the
// recognizer took two lines of neighbouring columns for one. Neither turns the columns into rows.
TEST(ReadingOrder, CloseColumnsStayColumnsWhenAFewLinesStrayIntoTheirGutters) {
    std::vector<OCRLine> page;
    QStringList expected[3];
    for (int row = 0; row < 10; ++row) {
        const double top = 0.9 - row * 0.03;
        for (int column = 0; column < 3; ++column) {
            const QString name = QString("C%1R%2").arg(column + 1).arg(row);
            const double left = column * 0.34, right = row == 4 && column == 0 ? 0.335 : left + 0.32;
            if (row == 7 && column == 1) {
                page.push_back({"C2R7 C3R7", {left, top - 0.02, 0.66, 0.02}, 0.9f, 0});
                expected[2] << "C2R7 C3R7";
            } else if (row != 7 || column != 2) {
                page.push_back(line(qPrintable(name), left, right, top - 0.02, top));
                expected[column] << name;
            }
        }
    }
    EXPECT_EQ(texts(ReadingOrder::order(page)), expected[0] + expected[1] + expected[2]);

    // An article's last page: a long column, and a few lines that end it beside the top.
    std::vector<OCRLine> lastPage;
    QStringList left, right;
    for (int row = 0; row < 40; ++row) {
        const double top = 0.95 - row * 0.02;
        left << QString("L%1").arg(row);
        lastPage.push_back(line(qPrintable(left.last()), 0, 0.48, top - 0.015, top));
        if (row < 3) {
            right << QString("R%1").arg(row);
            lastPage.push_back(line(qPrintable(right.last()), 0.5, 1, top - 0.015, top));
        }
    }
    EXPECT_EQ(texts(ReadingOrder::order(lastPage)), left + right);
}

TEST(ReadingOrder, ZeroWidthTextIsOrderedByTopEdgesAlone) {
    // Top edges 0.005 apart: with zero width there is no row tolerance, the higher comes first.
    const std::vector<OCRLine> page{line("low", 0.3, 0.3, 0.2, 0.5), line("high", 0.3, 0.3, 0.2, 0.505),
                                    line("top", 0.3, 0.3, 0.6, 0.9), line("tie", 0.3, 0.3, 0.1, 0.5)};
    EXPECT_EQ(texts(ReadingOrder::order(page)), (QStringList{"top", "high", "low", "tie"}));
}

TEST(ReadingOrder, ALineCentredOutsideEveryColumnJoinsTheLastColumn) {
    // A zero-width line at the right edge of the text has its centre in bin 200, which no column
    // holds.
    const std::vector<OCRLine> page{line("edge", 1.0, 1.0, 0.95, 0.97), line("left", 0.0, 0.3, 0.5, 0.6),
                                    line("right", 0.7, 1.0, 0.4, 0.5)};
    EXPECT_EQ(texts(ReadingOrder::order(page)), (QStringList{"left", "edge", "right"}));
}
