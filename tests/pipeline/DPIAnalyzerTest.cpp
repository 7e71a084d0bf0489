#include "pipeline/DPIAnalyzer.h"

#include "support/PdfBuilder.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace quorvane;
using namespace quorvane::test;

namespace {

// Writes the pages, reopens them and estimates each.
std::vector<std::optional<double>> estimates(QPDF& pdf) {
    const SavedPdf saved(pdf);
    const auto& document = saved.document;
    std::vector<std::optional<double>> result;
    for (int i = 0; document && i < document->pageCount(); ++i) {
        result.push_back(DPIAnalyzer::effectiveDPI(*document->page(i)));
    }
    return result;
}

std::vector<std::optional<double>> estimates(const std::vector<FixturePage>& pages) {
    return estimates(*buildPdf(pages));
}

} // namespace

TEST(DPIAnalyzer, PixelsOverThePagesOwnSize) {
    const Rect a5{0, 0, 419.53, 595.28};
    const Rect receipt{0, 0, 226.77, 708.66}; // 80 x 250 mm
    const auto dpi = estimates({
        FixturePage{.images = {{2550, 3300}}},
        FixturePage{.mediaBox = a5, .images = {{2480, 1748}}},     // either way up
        FixturePage{.mediaBox = receipt, .images = {{945, 2953}}},
        FixturePage{.mediaBox = receipt, .cropBox = Rect{0, 0, 113.385, 354.33}, .images = {{945, 2953}}},
        FixturePage{.images = {{2480, 3508}}},                     // an A4 scan fitted on a letter page
        FixturePage{.images = {{1275, 1650}, {400, 120}, {2550, 3300}}}, // the sharpest layer; not the logo
        FixturePage{.images = {{2550, 400}}},                      // a strip tells nothing
        FixturePage{.images = {{100, 130}}},                       // about 12: implausible
        FixturePage{.mediaBox = {0, 0, 72, 72}, .images = {{2400, 2400}}}, // exactly 2400: outside
    });
    ASSERT_EQ(dpi.size(), 9u);
    const std::vector<std::optional<double>> expected{300, 300, 300, 600, 319, 300, {}, {}, {}};
    EXPECT_EQ(dpi, expected);
}

TEST(DPIAnalyzer, NothingWithoutAnImageInThePagesOwnResources) {
    auto pdf = buildPdf({FixturePage{}, FixturePage{}, FixturePage{}, FixturePage{}});
    const auto pages = pdf->getAllPages();
    // 0: resources without /XObject (the builder's default). 1: no /Resources at all.
    auto noResources = pages[1];
    noResources.removeKey("/Resources");
    // 2: sizes that are not integers, or missing.
    auto realSized = pdf->newStream("");
    realSized.getDict().replaceKey("/Subtype", QPDFObjectHandle::newName("/Image"));
    realSized.getDict().replaceKey("/Width", QPDFObjectHandle::newReal("2550.0"));
    realSized.getDict().replaceKey("/Height", QPDFObjectHandle::newReal("3300.0"));
    auto unsized = pdf->newStream("");
    unsized.getDict().replaceKey("/Subtype", QPDFObjectHandle::newName("/Image"));
    unsized.getDict().replaceKey("/Width", QPDFObjectHandle::newInteger(2550));
    auto oddPage = pages[2];
    oddPage.getKey("/Resources").replaceKey("/XObject", QPDFObjectHandle::newDictionary());
    oddPage.getKey("/Resources").getKey("/XObject").replaceKey("/A", realSized);
    oddPage.getKey("/Resources").getKey("/XObject").replaceKey("/B", unsized);
    oddPage.getKey("/Resources").getKey("/XObject").replaceKey("/C", QPDFObjectHandle::newInteger(3));
    // 3: /XObject is not a dictionary.
    auto brokenPage = pages[3];
    brokenPage.getKey("/Resources").replaceKey("/XObject", QPDFObjectHandle::parse("[1 2 3]"));

    const auto dpi = estimates(*pdf);
    ASSERT_EQ(dpi.size(), 4u);
    for (size_t i = 0; i < dpi.size(); ++i) {
        EXPECT_FALSE(dpi[i]) << "page " << i;
    }

    // Resources inherited from the page tree are the page's own.
    auto inheriting = buildPdf({FixturePage{.images = {{2550, 3300}}}});
    auto page = inheriting->getAllPages().at(0);
    inheriting->getRoot().getKey("/Pages").replaceKey("/Resources", page.getKey("/Resources"));
    page.removeKey("/Resources");
    EXPECT_EQ(estimates(*inheriting), std::vector<std::optional<double>>{300.0});
}
