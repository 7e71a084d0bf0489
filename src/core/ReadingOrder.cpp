#include "core/ReadingOrder.h"

#include <QRegularExpression>

#include <algorithm>
#include <array>
#include <cmath>
#include <numeric>
#include <optional>

namespace quorvane::ReadingOrder {

namespace {

constexpr int binCount = 200;
constexpr int columnGapBins = 6;      // this many empty bins in a row separate two columns
// Where lines stand side by side a narrower gutter does: on the corpus's two-column product sheet
// it is 5 bins wide. Three bins are still twice a wide word space.
constexpr int gutterBins = 3;
constexpr double rowTolerance = 0.01; // top edges further apart than this are never one row
// Lines whose boxes overlap vertically by more than this share of the lower box's height sit side
// by side; less is taken for the ascenders and descenders of consecutive lines touching.
constexpr double sideBySideOverlap = 0.25;
// A table's rows: three at least, their cells set apart by gaps of more than this many characters.
constexpr int minimumTableRows = 3;
constexpr double tableGapCharacters = 8;
// A table without figures needs more rows: a letterhead's blocks side by side have a few.
constexpr int minimumTextTableRows = 5;

// How many lines cover each of the bins across the text.
using Occupancy = std::array<int, binCount>;

struct Column {
    int first = 0;
    int last = 0;
};

// Bins are always those of the whole page's text, so that a gap means the same width in every
// part of the page.
struct Grid {
    double minX = 0;
    double width = 0;
};

// A row's lines have top edges within the tolerance and stand side by side. The tolerance alone
// would join the consecutive lines of small print, or of ordinary text on a tall page, which lie
// closer together than it.
bool shareARow(const Rect& a, const Rect& b) {
    if (std::abs(a.maxY() - b.maxY()) > rowTolerance) {
        return false;
    }
    const double overlap = std::min(a.maxY(), b.maxY()) - std::max(a.minY(), b.minY());
    return overlap >= sideBySideOverlap * std::min(a.maxY() - a.minY(), b.maxY() - b.minY());
}

// Higher lines first; within a row the line further left.
bool readsBefore(const OCRLine& a, const OCRLine& b) {
    if (!shareARow(a.boundingBox, b.boundingBox)) {
        return a.boundingBox.maxY() > b.boundingBox.maxY();
    }
    return a.boundingBox.minX() < b.boundingBox.minX();
}

Rect unionOf(const std::vector<OCRLine>& lines) {
    double x0 = lines.front().boundingBox.minX(), x1 = lines.front().boundingBox.maxX();
    double y0 = lines.front().boundingBox.minY(), y1 = lines.front().boundingBox.maxY();
    for (const auto& line : lines) {
        x0 = std::min(x0, line.boundingBox.minX());
        x1 = std::max(x1, line.boundingBox.maxX());
        y0 = std::min(y0, line.boundingBox.minY());
        y1 = std::max(y1, line.boundingBox.maxY());
    }
    return {x0, y0, x1 - x0, y1 - y0};
}

// The bin of a horizontal position, as the integer part of its share of the text width.
int binOf(double x, const Grid& grid) {
    const double share = (x - grid.minX) / grid.width * binCount;
    if (std::isnan(share)) {
        return 0;
    }
    // Clamp in double first so that converting to int cannot overflow.
    return static_cast<int>(std::clamp(share, -1.0, double(binCount)));
}

Occupancy occupancy(const std::vector<OCRLine>& lines, const Grid& grid) {
    Occupancy occupied{};
    for (const auto& line : lines) {
        const int start = std::clamp(binOf(line.boundingBox.minX(), grid), 0, binCount - 1);
        int end = binOf(line.boundingBox.maxX(), grid);
        if (end < 0 || end < start) {
            end = start;
        } else if (end >= binCount - 1) {
            end = binCount - 1;
        }
        for (int bin = start; bin <= end; ++bin) {
            ++occupied[bin];
        }
    }
    return occupied;
}

// Where many lines stand in each column, a few in a gutter leave it a gutter: the end of a ragged
// line, or two lines of neighbouring columns that the recognizer took for one, where columns
// stand close (a newspaper's). With `strays`, a bin counts as empty when it holds at most an
// eighth of the lines of the busiest bin on its left and of the busiest on its right.
Occupancy occupiedBins(const Occupancy& covered, bool strays) {
    Occupancy occupied{}, left{}, right{};
    std::partial_sum(covered.begin(), covered.end(), left.begin(), [](int a, int b) { return std::max(a, b); });
    std::partial_sum(covered.rbegin(), covered.rend(), right.rbegin(), [](int a, int b) { return std::max(a, b); });
    for (int bin = 0; bin < binCount; ++bin) {
        occupied[bin] = covered[bin] > (strays ? std::min(left[bin], right[bin]) / 8 : 0);
    }
    return occupied;
}

// Runs of occupied bins; gaps of fewer than `gapBins` empty bins are bridged.
std::vector<Column> columns(const Occupancy& covered, int gapBins, bool strays = false) {
    const Occupancy occupied = occupiedBins(covered, strays);
    std::vector<Column> result;
    bool inRun = false;
    int first = 0, lastOccupied = 0, emptyRun = 0;
    for (int bin = 0; bin < binCount; ++bin) {
        if (!inRun) {
            if (occupied[bin]) {
                inRun = true;
                first = lastOccupied = bin;
                emptyRun = 0;
            }
            continue;
        }
        if (occupied[bin]) {
            lastOccupied = bin;
            emptyRun = 0;
        } else if (++emptyRun == gapBins) {
            result.push_back({first, lastOccupied});
            inRun = false;
        }
    }
    if (inRun) {
        result.push_back({first, binCount - 1});
    }
    return result;
}

int columnOf(const OCRLine& line, const Grid& grid, const std::vector<Column>& columns) {
    const int centre = binOf((line.boundingBox.minX() + line.boundingBox.maxX()) / 2, grid);
    for (int index = 0; index < int(columns.size()); ++index) {
        if (columns[index].first <= centre && centre <= columns[index].last) {
            return index;
        }
    }
    return int(columns.size()) - 1;
}

void append(std::vector<OCRLine>& to, std::vector<OCRLine>&& lines) {
    to.insert(to.end(), std::make_move_iterator(lines.begin()), std::make_move_iterator(lines.end()));
}

Occupancy operator+(Occupancy a, const Occupancy& b) {
    for (int bin = 0; bin < binCount; ++bin) {
        a[bin] += b[bin];
    }
    return a;
}

bool hasGutter(const Occupancy& covered) {
    return columns(covered, gutterBins, true).size() >= 2;
}

bool reaches(const OCRLine& line, const Column& column, const Grid& grid) {
    return binOf(line.boundingBox.minX(), grid) <= column.last &&
           binOf(line.boundingBox.maxX(), grid) >= column.first;
}

// How many of the columns a line reaches into.
long columnsReached(const OCRLine& line, const std::vector<Column>& columns, const Grid& grid) {
    return std::count_if(columns.begin(), columns.end(),
                         [&](const Column& column) { return reaches(line, column, grid); });
}

bool crossesAGutter(const std::vector<OCRLine>& lines, const std::vector<Column>& columns, const Grid& grid) {
    return std::any_of(lines.begin(), lines.end(),
                       [&](const OCRLine& line) { return columnsReached(line, columns, grid) > 1; });
}

// The mean width of a character on these lines.
double characterWidth(const std::vector<OCRLine>& lines) {
    double width = 0, characters = 0;
    for (const auto& line : lines) {
        width += line.boundingBox.width;
        characters += double(line.text.size());
    }
    return characters > 0 ? width / characters : 0;
}

// A horizontal slice of the page: lines that overlap one another vertically, with no line above
// or below it reaching in.
struct Strip {
    std::vector<OCRLine> lines;
    double bottom = 0;
    Occupancy occupied{};
};

std::vector<Strip> stripsOf(std::vector<OCRLine> lines, const Grid& grid) {
    std::stable_sort(lines.begin(), lines.end(), [](const OCRLine& a, const OCRLine& b) {
        return a.boundingBox.maxY() > b.boundingBox.maxY();
    });
    std::vector<Strip> strips;
    for (auto& line : lines) {
        const Rect& box = line.boundingBox;
        if (strips.empty() || box.maxY() - strips.back().bottom <= sideBySideOverlap * box.height) {
            strips.push_back({{}, box.minY()});
        }
        strips.back().bottom = std::min(strips.back().bottom, box.minY());
        strips.back().lines.push_back(std::move(line));
    }
    for (auto& strip : strips) {
        strip.occupied = occupancy(strip.lines, grid);
    }
    return strips;
}

// Consecutive strips read as one part of the page: either columns side by side, or rows.
struct Band {
    std::vector<OCRLine> lines;
    Occupancy occupied{};
    bool columned = false;
    double bottom = 0;
};

bool inOneRow(const Strip& strip) {
    return std::all_of(strip.lines.begin(), strip.lines.end(), [&](const OCRLine& line) {
        return shareARow(line.boundingBox, strip.lines.front().boundingBox);
    });
}

// Mostly digits, as an amount, a quantity or a date is.
bool isFigure(const QString& text) {
    const auto digits = std::count_if(text.begin(), text.end(), [](QChar c) { return c.isDigit(); });
    const auto letters = std::count_if(text.begin(), text.end(), [](QChar c) { return c.isLetter(); });
    return digits > 0 && digits >= letters;
}

// The lines of a row from left to right, when some gap between two of them is wider than the
// narrowest line and than eight characters of the row; none otherwise. Columns of text leave
// gutters of a few characters, narrower than their lines.
std::vector<const OCRLine*> cellsOf(const Strip& strip) {
    if (strip.lines.size() < 2 || !inOneRow(strip)) {
        return {};
    }
    std::vector<const OCRLine*> cells;
    for (const auto& line : strip.lines) {
        cells.push_back(&line);
    }
    std::sort(cells.begin(), cells.end(), [](const OCRLine* a, const OCRLine* b) {
        return a->boundingBox.minX() < b->boundingBox.minX();
    });
    double widestGap = 0, narrowest = cells.front()->boundingBox.width;
    for (std::size_t i = 1; i < cells.size(); ++i) {
        widestGap = std::max(widestGap, cells[i]->boundingBox.minX() - cells[i - 1]->boundingBox.maxX());
        narrowest = std::min(narrowest, cells[i]->boundingBox.width);
    }
    if (widestGap > narrowest && widestGap > tableGapCharacters * characterWidth(strip.lines)) {
        return cells;
    }
    return {};
}

// A row of a table. A row of two lines ends in a figure (a receipt's, a price list's): blocks of
// text side by side, such as two addresses, are no table.
bool isTableRow(const Strip& strip) {
    const auto cells = cellsOf(strip);
    return cells.size() > 2 || (cells.size() == 2 && isFigure(cells.back()->text));
}

// A glossary, a form's labels or a CV's dates: a term beside each entry, the entries in a column
// of their own. Returns the end of the list that starts at `start`, or `start` when none does.
// Two addresses side by side look the same unless some entry wraps onto lines beneath, between
// rows, or the terms are labels ending in a colon. A short list beside prose has prose of its own
// column just above or below it, or prose beside it long after its last item.
std::size_t termListEnd(const std::vector<Strip>& strips, std::size_t start) {
    const auto first = cellsOf(strips[start]);
    if (first.size() != 2) {
        return start;
    }
    const double entries = first[1]->boundingBox.minX();
    const double tolerance = characterWidth(strips[start].lines);
    // Two lines, one on each side of where the entries begin: a row of two columns of prose too.
    const auto besideEntries = [&](const Strip& strip) {
        return std::any_of(strip.lines.begin(), strip.lines.end(),
                           [&](const OCRLine& l) { return l.boundingBox.maxX() < entries; }) &&
               std::any_of(strip.lines.begin(), strip.lines.end(), [&](const OCRLine& l) {
                   return std::abs(l.boundingBox.minX() - entries) <= tolerance;
               });
    };
    int rows = 0, wrapsBetweenRows = 0, wrapped = 0, longestWrap = 0;
    bool labels = true;
    std::size_t end = start;
    for (; end < strips.size(); ++end) {
        const auto cells = cellsOf(strips[end]);
        const auto& lines = strips[end].lines;
        if (cells.size() == 2 && cells[0]->boundingBox.maxX() < entries &&
            std::abs(cells[1]->boundingBox.minX() - entries) <= tolerance) {
            rows += 1;
            wrapsBetweenRows += wrapped > 0 ? 1 : 0;
            longestWrap = std::max(longestWrap, wrapped);
            wrapped = 0;
            labels = labels && cells[0]->text.endsWith(QLatin1Char(':'));
        } else if (lines.size() == 1 && lines.front().boundingBox.minX() >= entries - tolerance) {
            wrapped += 1;
        } else {
            break;
        }
    }
    const bool proseAround = (start > 0 && besideEntries(strips[start - 1])) ||
                             (end < strips.size() && besideEntries(strips[end])) || wrapped > longestWrap + 1;
    return rows >= minimumTableRows && (wrapsBetweenRows > 0 || labels) && !proseAround ? end : start;
}

// Whether every line of the strip lies in one of the table's columns, and only in one.
bool standsInColumns(const Strip& strip, const std::vector<Column>& columns, const Grid& grid) {
    return std::all_of(strip.lines.begin(), strip.lines.end(),
                       [&](const OCRLine& line) { return columnsReached(line, columns, grid) == 1; });
}

// Whether one of the columns holds figures set flush right, or all of one width as times are. Text,
// a list among it included, is set flush left.
bool hasColumnOfFigures(const std::vector<OCRLine>& lines, const std::vector<Column>& columns,
                        const Grid& grid) {
    // Edges within half a character of the column's middle edge count as aligned.
    const double tolerance = characterWidth(lines) / 2;
    const auto aligned = [&](std::vector<double> edges) {
        std::nth_element(edges.begin(), edges.begin() + std::ptrdiff_t(edges.size() / 2), edges.end());
        const double middle = edges[edges.size() / 2];
        return std::count_if(edges.begin(), edges.end(),
                             [&](double edge) { return std::abs(edge - middle) <= tolerance; });
    };
    return std::any_of(columns.begin(), columns.end(), [&](const Column& column) {
        std::vector<double> lefts, rights;
        int figures = 0;
        for (const auto& line : lines) {
            if (reaches(line, column, grid)) {
                lefts.push_back(line.boundingBox.minX());
                rights.push_back(line.boundingBox.maxX());
                figures += isFigure(line.text) ? 1 : 0;
            }
        }
        if (rights.size() < minimumTableRows || 2 * std::size_t(figures) < rights.size()) {
            return false;
        }
        const auto flushRight = aligned(rights);
        return flushRight >= minimumTableRows && flushRight >= aligned(lefts);
    });
}

// Whether the columns start at even intervals, within two characters.
bool atOnePitch(const std::vector<OCRLine>& lines, const std::vector<Column>& columns, const Grid& grid) {
    std::vector<double> starts;
    for (const auto& column : columns) {
        std::vector<double> lefts;
        for (const auto& line : lines) {
            if (reaches(line, column, grid)) {
                lefts.push_back(line.boundingBox.minX());
            }
        }
        if (lefts.empty()) {
            return false;
        }
        std::nth_element(lefts.begin(), lefts.begin() + std::ptrdiff_t(lefts.size() / 2), lefts.end());
        starts.push_back(lefts[lefts.size() / 2]);
    }
    if (starts.size() < 3) {
        return false;
    }
    std::vector<double> pitches(starts.size());
    std::adjacent_difference(starts.begin(), starts.end(), pitches.begin());
    const auto [narrowest, widest] = std::minmax_element(pitches.begin() + 1, pitches.end());
    return *widest - *narrowest <= 2 * characterWidth(lines);
}

// The tables among the strips, as ranges [first, end) of strips: runs of table rows, with what
// stands in their columns between them (a description wrapped onto a second line), and after the
// last the rows that fill fewer of its columns (a total); and lists of terms.
std::vector<std::pair<std::size_t, std::size_t>> tablesIn(const std::vector<Strip>& strips,
                                                          const Grid& grid) {
    std::vector<std::pair<std::size_t, std::size_t>> tables;
    std::size_t start = 0;
    while (start < strips.size()) {
        if (const std::size_t end = termListEnd(strips, start); end > start) {
            tables.emplace_back(start, end);
            start = end;
            continue;
        }
        if (!isTableRow(strips[start])) {
            ++start;
            continue;
        }
        Occupancy cells{};
        int rows = 0;
        std::size_t end = start;
        for (std::size_t next = start; next < strips.size(); ++next) {
            if (isTableRow(strips[next])) {
                cells = cells + strips[next].occupied;
                rows += 1;
                end = next + 1;
            } else if (!standsInColumns(strips[next], columns(cells, gutterBins), grid)) {
                break;
            }
        }
        const auto tableColumns = columns(cells, gutterBins);
        while (end < strips.size() && strips[end].lines.size() >= 2 && inOneRow(strips[end]) &&
               standsInColumns(strips[end], tableColumns, grid)) {
            ++end;
        }
        std::vector<OCRLine> table;
        for (std::size_t strip = start; strip < end; ++strip) {
            table.insert(table.end(), strips[strip].lines.begin(), strips[strip].lines.end());
        }
        const auto rowOfItsOwn = [](const Strip& strip) { return cellsOf(strip).size() >= 3; };
        // Without figures, a table of text: nothing but rows of three cells or more, and no row
        // of the same columns just above it, as a list among columns of prose has. Columns set
        // at one pitch are a list's, an index's or names', to be read one after the other.
        const bool ofText = rows >= minimumTextTableRows && !atOnePitch(table, tableColumns, grid) &&
                            std::all_of(strips.begin() + std::ptrdiff_t(start),
                                        strips.begin() + std::ptrdiff_t(end), rowOfItsOwn) &&
                            !(start > 0 && strips[start - 1].lines.size() >= 2 &&
                              standsInColumns(strips[start - 1], tableColumns, grid));
        if (rows >= minimumTableRows && (ofText || hasColumnOfFigures(table, tableColumns, grid))) {
            tables.emplace_back(start, end);
        }
        start = end;
    }
    return tables;
}

// The page cut into bands at the lines that cross the gutters of the columns above or below
// them, such as a title or a heading across the page. A band has columns when it has a gutter
// and lines that stand side by side across it; a run of lines whose gutter nothing stands beside
// (a date above the address on the other side) is read by rows.
std::vector<Band> bandsOf(std::vector<OCRLine> lines, const Grid& grid) {
    std::vector<Band> bands;
    for (auto& strip : stripsOf(std::move(lines), grid)) {
        const bool sideBySide = hasGutter(strip.occupied);
        if (!bands.empty()) {
            Band& band = bands.back();
            const Occupancy joined = band.occupied + strip.occupied;
            const auto bandColumns = columns(band.occupied, gutterBins, true);
            // A line alone across the band's gutters is a heading, not a stray.
            const bool gutter =
                hasGutter(joined) && (sideBySide || !crossesAGutter(strip.lines, bandColumns, grid));
            // Blocks side by side end where a blank of two lines follows them: the letter's
            // salutation under its address and references is read after both.
            const Rect& top = strip.lines.front().boundingBox;
            const bool apart = band.columned && !sideBySide && top.maxY() < band.bottom - 2 * top.height;
            if (!apart && (gutter || (!band.columned && !sideBySide))) {
                append(band.lines, std::move(strip.lines));
                band.occupied = joined;
                band.columned = gutter && (band.columned || sideBySide);
                band.bottom = strip.bottom;
                continue;
            }
        }
        bands.push_back({std::move(strip.lines), strip.occupied, sideBySide, strip.bottom});
    }
    return bands;
}

std::vector<OCRLine> byRows(std::vector<OCRLine> lines) {
    std::stable_sort(lines.begin(), lines.end(), readsBefore);
    return lines;
}

std::vector<OCRLine> orderRegion(std::vector<OCRLine> lines, const Grid& grid, int gapBins,
                                 const Occupancy* covered = nullptr);

// A table's rows are read across, whatever columns its cells make; what stands above, between and
// below tables is ordered as a region of its own. Nothing when there is no table.
std::optional<std::vector<OCRLine>> orderAroundTables(const std::vector<OCRLine>& lines, const Grid& grid,
                                                      int gapBins) {
    auto strips = stripsOf(lines, grid);
    const auto tables = tablesIn(strips, grid);
    if (tables.empty()) {
        return std::nullopt;
    }
    const auto linesOf = [&](std::size_t first, std::size_t end) {
        std::vector<OCRLine> part;
        for (std::size_t strip = first; strip < end; ++strip) {
            append(part, std::move(strips[strip].lines));
        }
        return part;
    };
    std::vector<OCRLine> result;
    std::size_t next = 0;
    for (const auto& [first, end] : tables) {
        append(result, orderRegion(linesOf(next, first), grid, gapBins));
        append(result, byRows(linesOf(first, end)));
        next = end;
    }
    append(result, orderRegion(linesOf(next, strips.size()), grid, gapBins));
    return result;
}

// Tables row by row; columns from left to right, each read on its own; without columns, band
// after band from the top; a band without columns row by row. A band's columns are those that
// its lines leave, strays aside (`covered`, the band's own).
std::vector<OCRLine> orderRegion(std::vector<OCRLine> lines, const Grid& grid, int gapBins,
                                 const Occupancy* covered) {
    if (lines.size() < 2) {
        return lines;
    }
    if (auto aroundTables = orderAroundTables(lines, grid, gapBins)) {
        return std::move(*aroundTables);
    }
    const auto found =
        covered ? columns(*covered, gapBins, true) : columns(occupancy(lines, grid), gapBins);
    if (found.size() >= 2) {
        const std::size_t count = lines.size();
        std::vector<std::vector<OCRLine>> inColumn(found.size());
        for (auto& line : lines) {
            inColumn[std::size_t(columnOf(line, grid, found))].push_back(std::move(line));
        }
        // Columns that only strays set apart can end up holding every line in one: looking at
        // those lines again would find the same.
        for (auto& column : inColumn) {
            if (column.size() == count) {
                return byRows(std::move(column));
            }
        }
        std::vector<OCRLine> result;
        for (auto& column : inColumn) {
            append(result, orderRegion(std::move(column), grid, gapBins));
        }
        return result;
    }
    auto bands = bandsOf(lines, grid);
    if (bands.size() < 2 && !bands.front().columned) {
        return byRows(std::move(lines));
    }
    std::vector<OCRLine> result;
    for (auto& band : bands) {
        append(result, band.columned ? orderRegion(std::move(band.lines), grid, gutterBins, &band.occupied)
                                     : byRows(std::move(band.lines)));
    }
    return result;
}

// A line that Tesseract read across a wide gap, in its two halves.
struct Halves {
    OCRLine whole;
    OCRLine left;
    OCRLine right;
};

Halves halvesOf(const OCRLine& line) {
    const auto half = [&](qsizetype start, qsizetype end, const Rect& box) {
        return OCRLine{line.text.mid(start, end - start).trimmed(), box, line.confidence, line.angle, {}};
    };
    const qsizetype middle = line.spans[1].start;
    return {line, half(0, middle, line.spans[0].boundingBox),
            half(middle, line.text.size(), line.spans[1].boundingBox)};
}

bool overlapsAcross(const Rect& a, double minX, double maxX) {
    return a.minX() < maxX && a.maxX() > minX;
}

// A label of a few words, a colon, and its value: "Date: 14 May 2024".
bool isField(const QString& text) {
    static const QRegularExpression field(QStringLiteral(R"(^\s*\p{L}[\p{L}\p{N} .'-]{0,24}: +\S)"));
    return field.match(text).hasMatch();
}

qsizetype wordCount(const QString& text) {
    return text.split(QLatin1Char(' '), Qt::SkipEmptyParts).size();
}

// Which lines to read in halves. Tesseract joins blocks that stand side by side on the same
// baselines, such as two addresses, into one line a row. Such a run of lines is two blocks where
// one is longer (a line stands under or over one half only), where the right halves are fields
// with labels of their own, or where both halves look like addresses: most rows of a few words,
// and figures (a house number, a postcode) on both sides. Read in halves, each block is read on
// its own, and what belongs together in a row comes together again. Other runs stay as read: a
// form's labels beside their values, which hold no figures, and a table's rows, which are also
// all the lines of three parts or more.
std::vector<bool> blocksSideBySide(const std::vector<OCRLine>& lines) {
    static const QRegularExpression digit(QStringLiteral("\\d"));
    std::vector<std::size_t> acrossAGap;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].spans.size() == 2) {
            acrossAGap.push_back(i);
        }
    }
    std::stable_sort(acrossAGap.begin(), acrossAGap.end(), [&](std::size_t a, std::size_t b) {
        return lines[a].boundingBox.maxY() > lines[b].boundingBox.maxY();
    });
    const auto near = [](const Rect& above, const Rect& below) {
        return below.maxY() < above.maxY() && below.maxY() > above.minY() - 2 * above.height;
    };
    std::vector<bool> split(lines.size(), false);
    for (std::size_t first = 0, end = 0; first < acrossAGap.size(); first = end) {
        const OCRLine& top = lines[acrossAGap[first]];
        // The run: lines read across the gap between the same two blocks, one under the other.
        end = first + 1;
        while (end < acrossAGap.size()) {
            const OCRLine& next = lines[acrossAGap[end]];
            const OCRLine& previous = lines[acrossAGap[end - 1]];
            if (!near(previous.boundingBox, next.boundingBox) ||
                next.spans[0].boundingBox.maxX() > top.spans[1].boundingBox.minX() ||
                next.spans[1].boundingBox.minX() < top.spans[0].boundingBox.maxX()) {
                break;
            }
            ++end;
        }
        double gapStart = 0, gapEnd = 1;
        for (std::size_t i = first; i < end; ++i) {
            gapStart = std::max(gapStart, lines[acrossAGap[i]].spans[0].boundingBox.maxX());
            gapEnd = std::min(gapEnd, lines[acrossAGap[i]].spans[1].boundingBox.minX());
        }
        const Rect& bottom = lines[acrossAGap[end - 1]].boundingBox;
        const bool longerBlock = std::any_of(lines.begin(), lines.end(), [&](const OCRLine& line) {
            const Rect& box = line.boundingBox;
            return (near(bottom, box) || near(box, top.boundingBox)) && line.spans.empty() &&
                   !overlapsAcross(box, gapStart, gapEnd);
        });
        // References beside an address ("Our ref: HS-22", "Date: 14 May") are fields of their own.
        std::size_t fieldsOnTheLeft = 0, fieldsOnTheRight = 0, wordsOnBothSides = 0;
        bool figuresOnTheLeft = false, figuresOnTheRight = false;
        for (std::size_t i = first; i < end; ++i) {
            const OCRLine& line = lines[acrossAGap[i]];
            const QString left = line.text.left(line.spans[1].start),
                          right = line.text.mid(line.spans[1].start);
            fieldsOnTheLeft += isField(left) ? 1 : 0;
            fieldsOnTheRight += isField(right) ? 1 : 0;
            wordsOnBothSides += wordCount(left) >= 2 && wordCount(right) >= 2 ? 1 : 0;
            figuresOnTheLeft = figuresOnTheLeft || left.contains(digit);
            figuresOnTheRight = figuresOnTheRight || right.contains(digit);
        }
        const std::size_t rows = end - first;
        const bool fieldsBeside = rows >= 2 && fieldsOnTheLeft == 0 && 2 * fieldsOnTheRight >= rows;
        const bool addressesBeside =
            rows >= 2 && 2 * wordsOnBothSides > rows && figuresOnTheLeft && figuresOnTheRight;
        for (std::size_t i = first; i < end; ++i) {
            split[acrossAGap[i]] = longerBlock || fieldsBeside || addressesBeside;
        }
    }
    return split;
}

// The halves that still follow each other become their line again.
std::vector<OCRLine> rejoined(std::vector<OCRLine> ordered, const std::vector<Halves>& split) {
    std::vector<OCRLine> result;
    for (auto& line : ordered) {
        const auto whole = std::find_if(split.begin(), split.end(),
                                        [&](const Halves& halves) { return halves.right == line; });
        if (whole != split.end() && !result.empty() && result.back() == whole->left) {
            result.back() = whole->whole;
        } else {
            result.push_back(std::move(line));
        }
    }
    return result;
}

} // namespace

std::vector<OCRLine> order(std::vector<OCRLine> lines) {
    if (lines.size() < 2) {
        return lines;
    }
    const Rect text = unionOf(lines);
    if (!(text.width > 0)) {
        std::stable_sort(lines.begin(), lines.end(), [](const OCRLine& a, const OCRLine& b) {
            return a.boundingBox.maxY() > b.boundingBox.maxY();
        });
        return lines;
    }
    const std::vector<bool> inHalves = blocksSideBySide(lines);
    std::vector<Halves> split;
    std::vector<OCRLine> parts;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (inHalves[i]) {
            split.push_back(halvesOf(lines[i]));
            parts.push_back(split.back().left);
            parts.push_back(split.back().right);
        } else {
            parts.push_back(std::move(lines[i]));
        }
    }
    return rejoined(orderRegion(std::move(parts), {text.minX(), text.width}, columnGapBins), split);
}

} // namespace quorvane::ReadingOrder
