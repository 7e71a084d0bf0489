#include "core/ReadingOrder.h"
#include "support/QtPrinting.h"

#include <QStringList>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>

using namespace quorvane;

namespace quorvane {
void PrintTo(const OCRLine& line, std::ostream* out) {
    *out << '"' << line.text.toStdString() << "\" in " << line.spans.size() << " span(s)";
}
} // namespace quorvane

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

// A table with figures set flush right is read row by row, its total with it, and so is a receipt
// and a table of text; the blocks beside each other above the table stay columns. A list set
// flush left among columns of text is no table, nor are names in columns at one pitch.
TEST(ReadingOrder, TablesAreReadRowByRowAndListsAmongColumnsAreNot) {
    std::vector<OCRLine> invoice{
        line("Harbour Supplies", 0.08, 0.3, 0.94, 0.95), line("Invoice 20931", 0.65, 0.8, 0.94, 0.95),
        line("14 Quay Street", 0.08, 0.22, 0.92, 0.93), line("Date 12 March", 0.65, 0.78, 0.92, 0.93)};
    QStringList expected{"Harbour Supplies", "14 Quay Street", "Invoice 20931", "Date 12 March"};
    const char* rows[][4] = {{"Mooring chain", "11", "25.71", "282.81"},
                             {"Shackles", "3", "8.91", "26.73"},
                             {"Marine rope braided", "4", "60.91", "243.64"}};
    for (int row = 0; row < 3; ++row) {
        const double top = 0.85 - 0.02 * row;
        for (int cell = 0; cell < 4; ++cell) {
            const double right = cell == 0 ? 0.08 + 0.012 * std::strlen(rows[row][0]) : 0.45 + 0.15 * cell;
            const double left = cell == 0 ? 0.08 : right - 0.012 * std::strlen(rows[row][cell]);
            invoice.push_back(line(rows[row][cell], left, right, top - 0.01, top));
            expected << rows[row][cell];
        }
    }
    invoice.push_back(line("Total due", 0.08, 0.18, 0.77, 0.781));
    invoice.push_back(line("563.18", 0.85, 0.92, 0.77, 0.78));
    invoice.push_back(line("Payable within thirty days of the date above", 0.08, 0.92, 0.7, 0.71));
    expected << "Total due" << "563.18" << invoice.back().text;
    EXPECT_EQ(texts(ReadingOrder::order(invoice)), expected);

    // A till receipt: two lines a row, the second a figure.
    std::vector<OCRLine> receipt;
    QStringList items;
    for (const auto& [item, amount] :
         {std::pair{"Milk 1L", "2.86"}, {"Coffee beans", "12.03"}, {"TOTAL", "14.89"}}) {
        const double top = 0.9 - 0.03 * receipt.size();
        receipt.push_back(line(item, 0.1, 0.1 + 0.02 * std::strlen(item), top - 0.02, top));
        receipt.push_back(line(amount, 0.9 - 0.02 * std::strlen(amount), 0.9, top - 0.02, top));
        items << item << amount;
    }
    EXPECT_EQ(texts(ReadingOrder::order(receipt)), items);

    // Nine rows of three columns at `lefts`, each line `width` wide but the middle column's rows
    // [from, to), a short list; what order reads, and the lines column by column and row by row.
    const auto threeColumns = [](int from, int to, std::array<double, 3> lefts, double width) {
        std::vector<OCRLine> page;
        QStringList columns[3], rows;
        for (int row = 0; row < 9; ++row) {
            for (int column = 0; column < 3; ++column) {
                const bool listed = column == 1 && row >= from && row < to;
                rows << (listed ? QString("Tea %1").arg(row) : QString("C%1 row %2 of prose").arg(column).arg(row));
                columns[column] << rows.last();
                const double left = lefts[std::size_t(column)], top = 0.9 - 0.03 * row;
                page.push_back(line(qPrintable(rows.last()), left, left + (listed ? 0.03 : width), top - 0.02, top));
            }
        }
        return std::array{texts(ReadingOrder::order(page)), columns[0] + columns[1] + columns[2], rows};
    };
    // A list among prose, with prose above or below it or both, stays in its column; so do names
    // or an index in columns at one pitch. A table of text has columns as wide as their contents.
    for (const auto& [from, to] : {std::pair{2, 7}, {0, 5}, {4, 9}}) {
        const auto [read, byColumns, byRows] = threeColumns(from, to, {0.05, 0.3, 0.7}, 0.22);
        EXPECT_EQ(read, byColumns) << "list of rows " << from << " to " << to;
    }
    const auto [names, namesByColumns, namesByRows] = threeColumns(0, 9, {0.05, 0.37, 0.69}, 0.06);
    EXPECT_EQ(names, namesByColumns);
    const auto [table, tableByColumns, tableByRows] = threeColumns(0, 9, {0.05, 0.3, 0.7}, 0.06);
    EXPECT_EQ(table, tableByRows);
}

// Rows of a term (left, short) and its entry (right, at 0.5), a character 0.01 wide; "" for none.
std::vector<OCRLine> termsAndEntries(const std::vector<std::pair<const char*, const char*>>& rows) {
    std::vector<OCRLine> page;
    for (std::size_t row = 0; row < rows.size(); ++row) {
        const double top = 0.9 - 0.03 * double(row);
        for (const auto& [text, left] : {std::pair{rows[row].first, 0.1}, {rows[row].second, 0.5}}) {
            if (*text) {
                page.push_back(line(text, left, left + 0.01 * double(std::strlen(text)), top - 0.02, top));
            }
        }
    }
    return page;
}

// A glossary is read term by entry, and so are labels ending in a colon beside their values. Two
// addresses side by side, a short list in a column of prose, and one in a sidebar beside an
// article stay columns.
TEST(ReadingOrder, TermsAreReadBesideTheirEntriesAndListsBesideProseAreNot) {
    const auto glossary = termsAndEntries({{"Berth", "A place where a vessel is moored"},
                                           {"", "alongside a quay or jetty."},
                                           {"Bollard", "A short post on a quay"},
                                           {"Fender", "Material that absorbs shocks"}});
    EXPECT_EQ(texts(ReadingOrder::order(glossary)),
              (QStringList{"Berth", "A place where a vessel is moored", "alongside a quay or jetty.",
                           "Bollard", "A short post on a quay", "Fender", "Material that absorbs shocks"}));
    const auto form =
        termsAndEntries({{"Name:", "Margaret Hale"}, {"Born:", "3 May 1951"}, {"Town:", "Leith"}});
    EXPECT_EQ(texts(ReadingOrder::order(form)),
              (QStringList{"Name:", "Margaret Hale", "Born:", "3 May 1951", "Town:", "Leith"}));
    const auto readAsColumns = [](const std::vector<std::pair<const char*, const char*>>& rows) {
        QStringList left, right;
        for (const auto& [term, entry] : rows) {
            left << (*term ? QStringList{term} : QStringList{});
            right << (*entry ? QStringList{entry} : QStringList{});
        }
        return texts(ReadingOrder::order(termsAndEntries(rows))) == left + right;
    };
    EXPECT_TRUE(readAsColumns({{"Supplies Ltd", "Keeper of Records"}, {"Quay Street", "Harbour Trust"},
                               {"Leith", "Tower Place"}, {"", "Edinburgh"}}));
    EXPECT_TRUE(readAsColumns({{"Left prose, the first line", "Right prose, line one"}, {"Tea", "line two"},
                               {"", "line three"}, {"Eggs", "line four"}, {"Milk", "line five"}}));
    EXPECT_TRUE(readAsColumns({{"In this issue", "Article, line one"}, {"", "line two"}, {"Slipway", "three"},
                               {"Tides", "four"}, {"", "five"}, {"", "six"}, {"", "seven"}}));
}

// One line read across a wide gap, as Tesseract reads two blocks on the same baselines.
OCRLine acrossAGap(const char* left, const char* right, double top, double rightEdge) {
    const OCRLine a = line(left, 0.1, 0.1 + 0.01 * double(std::strlen(left)), top - 0.01, top);
    const OCRLine b = line(right, rightEdge - 0.01 * double(std::strlen(right)), rightEdge, top - 0.01, top);
    OCRLine whole = line(qPrintable(a.text + " " + b.text), 0.1, rightEdge, top - 0.01, top);
    whole.spans = {{0, a.boundingBox}, {a.text.size() + 1, b.boundingBox}};
    return whole;
}

// An address and a letter's references beside it, each row read as one line, come apart into
// their blocks, and the salutation under both follows them; so do two addresses, one longer or
// both as long. A receipt's rows come back whole (its last line under its items only), and so do
// labels beside their values, where no block is longer than the other.
TEST(ReadingOrder, BlocksReadAsOneLineARowAreReadBlockByBlock) {
    const std::vector<OCRLine> letter{acrossAGap("Frau Margaret Hale", "Our reference: HS-2231", 0.9, 0.8),
                                      acrossAGap("20095 Hamburg", "Date: 14 May 2024", 0.88, 0.8),
                                      line("Dear Mrs Hale,", 0.1, 0.24, 0.83, 0.84),
                                      line("thank you for your letter", 0.1, 0.7, 0.81, 0.82)};
    EXPECT_EQ(texts(ReadingOrder::order(letter)),
              (QStringList{"Frau Margaret Hale", "20095 Hamburg", "Our reference: HS-2231",
                           "Date: 14 May 2024", "Dear Mrs Hale,", "thank you for your letter"}));
    const std::vector<OCRLine> addresses{acrossAGap("Supplies Ltd", "The Keeper of Records", 0.9, 0.8),
                                         acrossAGap("Quay Street", "Harbour Trust", 0.88, 0.8),
                                         line("Tower Place", 0.69, 0.8, 0.85, 0.86)};
    EXPECT_EQ(texts(ReadingOrder::order(addresses)),
              (QStringList{"Supplies Ltd", "Quay Street", "The Keeper of Records", "Harbour Trust",
                           "Tower Place"}));
    const std::vector<OCRLine> asLong{acrossAGap("Harbour Supplies Ltd", "Mrs Eleanor Whitfield", 0.9, 0.8),
                                      acrossAGap("14 Quay Street", "7 Mill Lane", 0.88, 0.8),
                                      acrossAGap("Portsmouth", "Chichester", 0.86, 0.8)};
    EXPECT_EQ(texts(ReadingOrder::order(asLong)),
              (QStringList{"Harbour Supplies Ltd", "14 Quay Street", "Portsmouth", "Mrs Eleanor Whitfield",
                           "7 Mill Lane", "Chichester"}));
    const std::vector<OCRLine> receipt{acrossAGap("Milk 1L", "2.86", 0.9, 0.5),
                                       acrossAGap("Coffee", "12.03", 0.88, 0.5),
                                       acrossAGap("TOTAL", "14.89", 0.86, 0.5),
                                       line("Thanks", 0.1, 0.16, 0.83, 0.84)};
    EXPECT_EQ(ReadingOrder::order(receipt), receipt);
    const std::vector<OCRLine> form{acrossAGap("Full name", "Margaret Hale", 0.9, 0.6),
                                    acrossAGap("Date of birth", "3 May 1951", 0.88, 0.6),
                                    acrossAGap("Place of birth", "Leith", 0.86, 0.6)};
    EXPECT_EQ(ReadingOrder::order(form), form);
}

TEST(ReadingOrder, ZeroWidthTextIsOrderedByTopEdgesAndJoinsTheLastColumn) {
    // Top edges 0.005 apart: with zero width there is no row tolerance, the higher comes first.
    const std::vector<OCRLine> page{line("low", 0.3, 0.3, 0.2, 0.5), line("high", 0.3, 0.3, 0.2, 0.505),
                                    line("top", 0.3, 0.3, 0.6, 0.9), line("tie", 0.3, 0.3, 0.1, 0.5)};
    EXPECT_EQ(texts(ReadingOrder::order(page)), (QStringList{"top", "high", "low", "tie"}));

    // At the right edge of the text its centre is in bin 200, which no column holds.
    const std::vector<OCRLine> columns{line("edge", 1.0, 1.0, 0.95, 0.97), line("left", 0.0, 0.3, 0.5, 0.6),
                                       line("right", 0.7, 1.0, 0.4, 0.5)};
    EXPECT_EQ(texts(ReadingOrder::order(columns)), (QStringList{"left", "edge", "right"}));
}
