#include "pipeline/PageColour.h"
#include "pipeline/PDFPageRasterizer.h"

#include "support/PdfBuilder.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace quorvane;
using namespace quorvane::test;

namespace {

// One letter page per content stream; `resources` is added to the page's resources (keys and
// values as PDF source), `pageKeys` to the page dictionary.
struct Variant {
    const char* name;
    const char* content;
    const char* resources = "";
    const char* pageKeys = "";
    bool grey;
};

QPDFObjectHandle greyImage(QPDF& pdf, const char* colourSpace) {
    auto image = newImage(pdf, {8, 8});
    image.getDict().replaceKey("/ColorSpace", QPDFObjectHandle::parse(colourSpace));
    image.getDict().replaceKey("/BitsPerComponent", QPDFObjectHandle::newInteger(8));
    image.replaceStreamData(std::string(8 * 8 * (std::string(colourSpace) == "/DeviceRGB" ? 3 : 1), '\x80'),
                            QPDFObjectHandle::newNull(), QPDFObjectHandle::newNull());
    return image;
}

} // namespace

TEST(PageColour, OnlyPagesThatCannotShowColourCountAsGrey) {
    const std::vector<Variant> variants = {
        {"grey fills and a one-bit image", "0.5 g 0 0 10 10 re f q 100 0 0 100 0 0 cm /Im0 Do Q", "", "",
         true},
        {"an RGB fill", "1 0 0 rg 0 0 10 10 re f", "", "", false},
        {"a CMYK stroke", "0 1 0 0 K 0 0 m 10 10 l S", "", "", false},
        {"a colour space choice", "/DeviceGray cs 0.5 sc 0 0 10 10 re f", "", "", false},
        {"a shading", "/Sh0 sh",
         "/Shading << /Sh0 << /ShadingType 2 /ColorSpace /DeviceRGB /Coords [0 0 1 0] "
         "/Function << /FunctionType 2 /Domain [0 1] /N 1 /C0 [1 0 0] /C1 [0 0 1] >> >> >>",
         "", false},
        {"an inline image", "q 10 0 0 10 0 0 cm BI /W 1 /H 1 /CS /RGB /BPC 8 ID \xff\x00\x00 EI Q", "", "",
         false},
        {"a link annotation", "0 g", "", "/Annots [ << /Type /Annot /Subtype /Link /Rect [0 0 10 10] >> ]",
         false},
        {"a transparency group", "0 g", "", "/Group << /S /Transparency /CS /DeviceRGB >>", false},
        {"a Type 3 font", "BT /T3 12 Tf (a) Tj ET",
         "/Font << /T3 << /Type /Font /Subtype /Type3 /FontBBox [0 0 1 1] /FontMatrix [1 0 0 1 0 0] "
         "/CharProcs << >> /Encoding << >> /FirstChar 97 /LastChar 97 /Widths [1] >> >>",
         "", false},
        {"damaged resources: an image that is a number", "0 g", "/XObject << /X 42 >>", "", false},
    };
    for (const auto& variant : variants) {
        auto pdf = buildPdf({FixturePage{.images = {{8, 8}}}});
        auto page = pdf->getAllPages().at(0);
        page.replaceKey("/Contents", pdf->newStream(variant.content));
        auto resources = page.getKey("/Resources");
        auto extraResources = QPDFObjectHandle::parse(std::string("<< ") + variant.resources + " >>");
        for (const auto& key : extraResources.getKeys()) {
            resources.replaceKey(key, extraResources.getKey(key));
        }
        auto pageKeys = QPDFObjectHandle::parse(std::string("<< ") + variant.pageKeys + " >>");
        for (const auto& key : pageKeys.getKeys()) {
            page.replaceKey(key, pageKeys.getKey(key));
        }
        const SavedPdf saved(*pdf);
        const auto& document = saved.document;
        ASSERT_TRUE(document) << variant.name;
        EXPECT_EQ(PageColour::drawsOnlyGrey(*document->page(0)), variant.grey) << variant.name;
    }
}

TEST(PageColour, ImagesAndFormsAreLookedInto) {
    auto pdf = buildPdf({FixturePage{}, FixturePage{}, FixturePage{}, FixturePage{}, FixturePage{}});
    auto pages = pdf->getAllPages();
    const auto form = [&](QPDFObjectHandle image) {
        auto stream = pdf->newStream("q 10 0 0 10 0 0 cm /Im0 Do Q");
        stream.getDict().replaceKey("/Subtype", QPDFObjectHandle::newName("/Form"));
        stream.getDict().replaceKey("/BBox", QPDFObjectHandle::parse("[0 0 10 10]"));
        auto xobjects = QPDFObjectHandle::newDictionary();
        xobjects.replaceKey("/Im0", image);
        auto resources = QPDFObjectHandle::newDictionary();
        resources.replaceKey("/XObject", xobjects);
        stream.getDict().replaceKey("/Resources", resources);
        return stream;
    };
    // A grey image in a profile of its own (the bytes stand in for the profile).
    auto profile = pdf->newStream("profile");
    profile.getDict().replaceKey("/N", QPDFObjectHandle::newInteger(1));
    auto inProfile = greyImage(*pdf, "/DeviceGray");
    inProfile.getDict().replaceKey("/ColorSpace", QPDFObjectHandle::newArray(std::vector<QPDFObjectHandle>{
                                                      QPDFObjectHandle::newName("/ICCBased"), profile}));
    QPDFObjectHandle drawn[] = {greyImage(*pdf, "/DeviceGray"), greyImage(*pdf, "/DeviceRGB"),
                                form(greyImage(*pdf, "/DeviceGray")), form(greyImage(*pdf, "/DeviceRGB")),
                                inProfile};
    for (std::size_t i = 0; i < pages.size(); ++i) {
        auto xobjects = QPDFObjectHandle::newDictionary();
        xobjects.replaceKey("/X", drawn[i]);
        pages[i].getKey("/Resources").replaceKey("/XObject", xobjects);
        pages[i].replaceKey("/Contents", pdf->newStream("q 100 0 0 100 0 0 cm /X Do Q"));
    }
    const SavedPdf saved(*pdf);
    const auto& document = saved.document;
    ASSERT_TRUE(document);
    EXPECT_TRUE(PageColour::drawsOnlyGrey(*document->page(0))) << "grey image";
    EXPECT_FALSE(PageColour::drawsOnlyGrey(*document->page(1))) << "RGB image";
    EXPECT_TRUE(PageColour::drawsOnlyGrey(*document->page(2))) << "form with a grey image";
    EXPECT_FALSE(PageColour::drawsOnlyGrey(*document->page(3))) << "form with an RGB image";
    EXPECT_TRUE(PageColour::drawsOnlyGrey(*document->page(4))) << "grey image in a profile";

    // The grey and the colour path render the same grey pixels.
    const auto greyPage = PDFPageRasterizer::render(*document->page(0), 72);
    const auto colourPage = PDFPageRasterizer::render(*document->page(1), 72);
    ASSERT_TRUE(greyPage && colourPage);
    EXPECT_EQ(greyPage->type(), CV_8UC1);
    EXPECT_EQ(greyPage->at<uchar>(792 - 50, 50), 0x80);
    EXPECT_EQ(colourPage->at<cv::Vec3b>(792 - 50, 50), cv::Vec3b(0x80, 0x80, 0x80));
}

TEST(PageColour, CorpusScansAreGrey) {
    for (const char* name : {"linn.pdf", "ccitt.pdf", "jbig2.pdf"}) {
        const auto document = PdfDocument::open(corpusPath(name));
        ASSERT_TRUE(document) << name;
        EXPECT_TRUE(PageColour::drawsOnlyGrey(*document->page(0))) << name;
    }
}
