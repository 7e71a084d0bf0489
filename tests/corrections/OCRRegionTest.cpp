#include "corrections/OCRRegion.h"

#include <gtest/gtest.h>

using namespace quorvane;

namespace {

OCRLine line(const QString& text, Rect box) { return {text, box, 0.9f, 0}; }

void expectRect(const Rect& actual, const Rect& expected) {
    EXPECT_NEAR(actual.x, expected.x, 1e-9);
    EXPECT_NEAR(actual.y, expected.y, 1e-9);
    EXPECT_NEAR(actual.width, expected.width, 1e-9);
    EXPECT_NEAR(actual.height, expected.height, 1e-9);
}

const std::vector<OCRLine> page = {
    line("top left", {0.05, 0.8, 0.3, 0.05}),
    line("top right", {0.6, 0.8, 0.3, 0.05}),
    line("bottom", {0.1, 0.1, 0.8, 0.05}),
};

} // namespace

TEST(OCRRegionFilter, KeepsLinesWithAtLeastHalfTheirAreaInsideInTheirOrder) {
    auto lines = page;
    lines.push_back(line("flat", {0.2, 0.5, 0.3, 0}));
    EXPECT_EQ(OCRRegion::filter(lines, std::nullopt), lines);
    EXPECT_EQ(OCRRegion::filter(lines, Rect{0, 0, 1, 1}), page); // a line without height is dropped
    // Outside the page or without area: nothing.
    EXPECT_TRUE(OCRRegion::filter(page, Rect{1.2, 0.2, 0.3, 0.3}).empty());
    EXPECT_TRUE(OCRRegion::filter(page, Rect{0.2, 0.2, 0, 0.5}).empty());
    EXPECT_TRUE(OCRRegion::filter(page, Rect{-0.5, 0.2, 0.5, 0.5}).empty());

    const std::vector<OCRLine> one = {line("half", {0.1, 0.1, 0.4, 0.1})};
    EXPECT_EQ(OCRRegion::filter(one, Rect{0.3, 0, 0.7, 1}).size(), 1u);  // exactly 0.5
    EXPECT_TRUE(OCRRegion::filter(one, Rect{0.31, 0, 0.69, 1}).empty()); // 0.475

    // Only the region's part on the page counts.
    const auto kept = OCRRegion::filter(page, Rect{0.5, 0.5, 2, 2});
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(kept[0].text, "top right");
    EXPECT_EQ(OCRRegion::filter(page, Rect{0, 0.7, 1, 0.3}), std::vector<OCRLine>(page.begin(), page.begin() + 2));
}

TEST(OCRRegionConversions, DragAndViewRectAreInverse) {
    const Rect image{0, 0, 400, 400};
    const Rect region = OCRRegion::regionFromDrag({300, 100}, {100, 300}, image);
    expectRect(region, {0.25, 0.25, 0.5, 0.5});
    expectRect(OCRRegion::viewRect(region, image), {100, 100, 200, 200});

    // A region in the upper part of the image is near the top of the view.
    const Rect offset{50, 20, 200, 100};
    const Rect upper = OCRRegion::regionFromDrag({70, 30}, {150, 50}, offset);
    expectRect(upper, {0.1, 0.7, 0.4, 0.2});
    expectRect(OCRRegion::viewRect(upper, offset), {70, 30, 80, 20});

    // Points outside the image are clamped to it.
    expectRect(OCRRegion::regionFromDrag({-50, 400}, {60, 110}, Rect{10, 10, 100, 200}), {0, 0, 0.5, 0.5});
    EXPECT_EQ(OCRRegion::regionFromDrag({1, 2}, {3, 4}, Rect{0, 0, 0, 10}), Rect{});
    EXPECT_EQ(OCRRegion::viewRect({0.1, 0.1, 0.2, 0.2}, Rect{0, 0, 10, 0}), Rect{});
}
