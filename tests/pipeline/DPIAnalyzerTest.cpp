#include "pipeline/DPIAnalyzer.h"

#include "support/PdfBuilder.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace quorvane;
using namespace quorvane::test;

namespace {

// Writes the pages, reopens them and estimates each.
std::vector<std::optional<double>> estimates(QPDF& pdf) {
    QTemporaryDir folder;
    savePdf(pdf, folder.filePath("dpi.pdf"));
    const auto document = PdfDocument::open(folder.filePath("dpi.pdf"));
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

TEST(DPIAnalyzer, LongerSideOverElevenInches) {
    const auto dpi = estimates({
        FixturePage{.images = {{2550, 3300}}},
        FixturePage{.mediaBox = {0, 0, 200, 200}, .images = {{3300, 2550}}}, // the page size plays no part
        FixturePage{.images = {{100, 100}}},        // about 9.1: implausible
        FixturePage{.images = {{550, 2}}},          // exactly 50: outside
        FixturePage{.images = {{551, 2}}},          // just over 50
        FixturePage{.images = {{26400, 2}, {2550, 3300}}}, // exactly 2400 skipped, the next one counts
        FixturePage{.images = {{1, 3300}, {2, 1650}}},     // a side under 2 disqualifies the first
        FixturePage{.images = {{1275, 1650}, {2550, 3300}}}, // only the first accepted image counts
    });
    ASSERT_EQ(dpi.size(), 8u);
    EXPECT_DOUBLE_EQ(dpi[0].value_or(0), 300.0);
    EXPECT_DOUBLE_EQ(dpi[1].value_or(0), 300.0);
    EXPECT_FALSE(dpi[2]);
    EXPECT_FALSE(dpi[3]);
    EXPECT_NEAR(dpi[4].value_or(0), 50.09, 0.01);
    EXPECT_DOUBLE_EQ(dpi[5].value_or(0), 300.0);
    EXPECT_DOUBLE_EQ(dpi[6].value_or(0), 150.0);
    EXPECT_DOUBLE_EQ(dpi[7].value_or(0), 150.0);
}

TEST(DPIAnalyzer, NothingWithoutAnImageInThePagesOwnResources) {
    auto pdf = buildPdf({FixturePage{}, FixturePage{}, FixturePage{}, FixturePage{}, FixturePage{}});
    const auto pages = pdf->getAllPages();
    // 0: resources without /XObject (the builder's default). 1: no /Resources at all.
    auto noResources = pages[1];
    noResources.removeKey("/Resources");
    // 2: a form whose own resources hold a 300-DPI image: nested images are not examined.
    auto form = pdf->newStream("q 612 0 0 792 0 0 cm /Inner Do Q");
    form.getDict().replaceKey("/Subtype", QPDFObjectHandle::newName("/Form"));
    form.getDict().replaceKey("/BBox", QPDFObjectHandle::parse("[0 0 612 792]"));
    form.getDict().replaceKey("/Resources", QPDFObjectHandle::parse("<< /XObject << >> >>"));
    form.getDict().getKey("/Resources").getKey("/XObject").replaceKey("/Inner", newImage(*pdf, {2550, 3300}));
    auto formPage = pages[2];
    formPage.getKey("/Resources").replaceKey("/XObject", QPDFObjectHandle::newDictionary());
    formPage.getKey("/Resources").getKey("/XObject").replaceKey("/Fm0", form);
    // 3: sizes that are not integers, or missing.
    auto realSized = pdf->newStream("");
    realSized.getDict().replaceKey("/Subtype", QPDFObjectHandle::newName("/Image"));
    realSized.getDict().replaceKey("/Width", QPDFObjectHandle::newReal("2550.0"));
    realSized.getDict().replaceKey("/Height", QPDFObjectHandle::newReal("3300.0"));
    auto unsized = pdf->newStream("");
    unsized.getDict().replaceKey("/Subtype", QPDFObjectHandle::newName("/Image"));
    unsized.getDict().replaceKey("/Width", QPDFObjectHandle::newInteger(2550));
    auto oddPage = pages[3];
    oddPage.getKey("/Resources").replaceKey("/XObject", QPDFObjectHandle::newDictionary());
    oddPage.getKey("/Resources").getKey("/XObject").replaceKey("/A", realSized);
    oddPage.getKey("/Resources").getKey("/XObject").replaceKey("/B", unsized);
    oddPage.getKey("/Resources").getKey("/XObject").replaceKey("/C", QPDFObjectHandle::newInteger(3));
    // 4: /XObject is not a dictionary.
    auto brokenPage = pages[4];
    brokenPage.getKey("/Resources").replaceKey("/XObject", QPDFObjectHandle::parse("[1 2 3]"));

    const auto dpi = estimates(*pdf);
    ASSERT_EQ(dpi.size(), 5u);
    for (size_t i = 0; i < dpi.size(); ++i) {
        EXPECT_FALSE(dpi[i]) << "page " << i;
    }
}

TEST(DPIAnalyzer, ResourcesInheritedFromThePageTreeAreThePagesOwn) {
    auto pdf = buildPdf({FixturePage{.images = {{2550, 3300}}}});
    auto page = pdf->getAllPages().at(0);
    pdf->getRoot().getKey("/Pages").replaceKey("/Resources", page.getKey("/Resources"));
    page.removeKey("/Resources");
    const auto dpi = estimates(*pdf);
    ASSERT_EQ(dpi.size(), 1u);
    EXPECT_DOUBLE_EQ(dpi[0].value_or(0), 300.0);
}
