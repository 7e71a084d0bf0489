#include "pipeline/TextLayerWriter.h"

#include "core/OCRError.h"
#include "pipeline/CoordinateMapper.h"
#include "support/PdfBuilder.h"
#include "support/PdfReaders.h"
#include "support/QtPrinting.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>

using namespace quorvane;
using quorvane::test::FixturePage;
using TextLayerWriter::PageInput;

namespace {

std::unique_ptr<QPDF> edited(const std::vector<FixturePage>& pages, const std::function<void(QPDF&)>& edit) {
    auto pdf = test::buildPdf(pages);
    if (edit) {
        edit(*pdf);
    }
    return pdf;
}

// A source PDF built from these pages, changed by `edit`, written into a scratch folder and opened.
struct Source : test::SavedPdf {
    explicit Source(const std::vector<FixturePage>& pages, const std::function<void(QPDF&)>& edit = {})
        : SavedPdf(*edited(pages, edit), "source.pdf") {}
    QString output(const QString& name = "out.pdf") const { return folder.filePath(name); }

    // Page `index` as the pipeline hands it over for a page recognised without corrections.
    PageInput input(int index, std::vector<OCRLine> lines = {}) const {
        const PdfPage page = *document->page(index);
        return {.page = page,
                .outputBounds = CoordinateMapper::displayBounds(page),
                .lines = std::move(lines),
                .pageIndex = index};
    }
    QStringList write(std::vector<PageInput> pages, const QString& output, bool srgbIntent = false) const {
        return TextLayerWriter::write(std::move(pages), {}, output, srgbIntent, document.get());
    }
};

OCRLine line(const QString& text, const Rect& box) {
    return {.text = text, .boundingBox = box};
}

// The normalised box of a rectangle given in points on a page of `width` x `height`.
Rect normalised(const Rect& r, double width, double height) {
    return {r.x / width, r.y / height, r.width / width, r.height / height};
}

OCRError::Kind errorKindOf(const std::function<void()>& action, QString* description = nullptr) {
    try {
        action();
    } catch (const OCRError& error) {
        if (description != nullptr) {
            *description = error.description();
        }
        return error.kind();
    }
    ADD_FAILURE() << "no OCRError thrown";
    return OCRError::Kind::cannotOpenPDF;
}

void expectNear(const QRect& actual, const QRect& expected, int tolerance) {
    EXPECT_NEAR(actual.left(), expected.left(), tolerance) << "left";
    EXPECT_NEAR(actual.top(), expected.top(), tolerance) << "top";
    EXPECT_NEAR(actual.right(), expected.right(), tolerance) << "right";
    EXPECT_NEAR(actual.bottom(), expected.bottom(), tolerance) << "bottom";
}

} // namespace

TEST(TextLayerWriter, InvisibleTextSpansItsBoxOverUnchangedContent) {
    const Source source({FixturePage{.blackRects = {{100, 600, 50, 50}}}});
    const Rect box{61.2, 396, 489.6, 24}; // points, bottom-left origin
    // A table's row, its cells far apart: each span lies on its own box.
    const Rect label{72, 300, 90, 20}, amount{460, 300, 60, 20};
    OCRLine row = line("Total due $17.50", normalised({72, 300, 448, 20}, 612, 792));
    row.spans = {{0, normalised(label, 612, 792)}, {10, normalised(amount, 612, 792)}};
    const QString output = source.output();
    // Lines too narrow or too flat to hold text, and lines without text, are left out.
    source.write({source.input(0, {line("Invisible words stretch across the whole box", normalised(box, 612, 792)),
                                   row, line("narrow", normalised({100, 700, 0.4, 12}, 612, 792)),
                                   line("flat", normalised({100, 650, 100, 0.4}, 612, 792)),
                                   line("", normalised({100, 600, 100, 12}, 612, 792)),
                                   line("tiny", normalised({100, 500, 20, 1}, 612, 792))})},
                 output);
    const QString text = test::pdfText(output);
    EXPECT_FALSE(text.contains("narrow") || text.contains("flat"));
    EXPECT_TRUE(text.contains("tiny"));

    const auto words = test::pdfWords(output, 1);
    const auto first = test::findWord(words, "Invisible");
    const auto last = test::findWord(words, "box");
    ASSERT_TRUE(first && last);
    EXPECT_NEAR(first->xMin, box.minX(), 0.5);
    // Scaled to the box: the last word ends at the box's right edge.
    EXPECT_NEAR(last->xMax, box.maxX(), 0.5);
    // Within the box vertically (pdftotext measures from the top).
    const double top = 792 - box.maxY(), bottom = 792 - box.minY();
    for (const auto& word : {*first, *last}) {
        const double middle = (word.yMin + word.yMax) / 2;
        EXPECT_GT(middle, top);
        EXPECT_LT(middle, bottom);
    }

    const auto due = test::findWord(words, "due"), sum = test::findWord(words, "$17.50");
    ASSERT_TRUE(due && sum);
    EXPECT_NEAR(due->xMax, label.maxX(), 0.5);
    EXPECT_NEAR(sum->xMin, amount.minX(), 0.5);
    EXPECT_NEAR(sum->xMax, amount.maxX(), 0.5);
    EXPECT_TRUE(
        test::runProgram("pdftotext", {"-raw", output, "-"}).standardOutput.contains("Total due $17.50"));

    // The text is invisible: the page looks exactly as the source did, one black square.
    EXPECT_EQ(test::darkArea(test::renderPage(output, 1)), QRect(100, 792 - 650, 50, 50));
    test::expectCleanPdf(output);
}

// Links between the pages lead to the same pages of the copy, whether they name their page or a
// named destination, and so does a button's action; a note and its pop-up keep each other, also
// on a page replaced by a raster, and a widget listed on two pages stays one field. On a turned
// page, set upright in the copy, a highlight's quadrilaterals move with its rectangle, a field's
// text stays upright, also one that named no turn, and a "do not rotate" stamp stays upright.
// (Where annotations land on turned and cropped pages is shown end to end.)
TEST(TextLayerWriter, LinksNotesAndPopUpsStayWithTheirPages) {
    const FixturePage turned{.mediaBox = {100, 100, 300, 100}, .rotate = 90};
    const Source source({FixturePage{.withAnnotation = true}, FixturePage{}, turned}, [](QPDF& pdf) {
        auto pages = QPDFPageDocumentHelper(pdf).getAllPages();
        auto first = pages[0].getObjectHandle(), second = pages[1].getObjectHandle();
        const auto annotation = [&](const std::string& dictionary) {
            return pdf.makeIndirectObject(QPDFObjectHandle::parse(dictionary));
        };
        auto toSecond = annotation("<< /Type /Annot /Subtype /Link /Rect [100 100 200 120] >>");
        toSecond.replaceKey("/Dest", QPDFObjectHandle::parse("[null /XYZ 0 700 null]"));
        toSecond.getKey("/Dest").setArrayItem(0, second);
        auto named =
            annotation("<< /Type /Annot /Subtype /Link /Rect [100 200 200 220] /A << /S /GoTo /D (back) "
                       "/Next << /S /GoTo /D [null /Fit] >> >> >>");
        named.getKey("/A").getKey("/Next").getKey("/D").setArrayItem(0, second);
        first.getKey("/Annots").appendItem(toSecond);
        first.getKey("/Annots").appendItem(named);
        first.getKey("/Annots").appendItem(pdf.getRoot().getKey("/Pages")); // damage, left out
        auto onBoth = annotation("<< /Type /Annot /Subtype /Widget /FT /Tx /T (Case) /Rect [0 0 99 20] >>");
        first.getKey("/Annots").appendItem(onBoth);
        auto dests = QPDFObjectHandle::parse("<< /Names [(back) null] >>");
        dests.getKey("/Names").setArrayItem(1, QPDFObjectHandle::parse("[null /Fit]"));
        dests.getKey("/Names").getArrayItem(1).setArrayItem(0, first);
        pdf.getRoot().replaceKey("/Names", QPDFObjectHandle::newDictionary());
        pdf.getRoot().getKey("/Names").replaceKey("/Dests", dests);
        auto note = annotation("<< /Type /Annot /Subtype /Text /Rect [300 300 320 320] /Contents (Check this) >>");
        auto popup = annotation("<< /Type /Annot /Subtype /Popup /Rect [320 300 420 360] >>");
        note.replaceKey("/Popup", popup);
        popup.replaceKey("/Parent", note);
        second.replaceKey("/Annots", QPDFObjectHandle::newArray({note, popup, onBoth}));
        auto highlight = annotation("<< /Type /Annot /Subtype /Highlight /Rect [150 110 190 390] "
                                    "/QuadPoints [150 390 190 390 150 110 190 110] >>");
        auto button = annotation(
            "<< /Type /Annot /Subtype /Widget /FT /Btn /Ff 65536 /T (Back) "
            "/Rect [110 110 140 200] /MK << /R 90 >> /A << /S /GoTo /D [null /XYZ null 180 null] >> >>");
        button.getKey("/A").getKey("/D").setArrayItem(0, pages[2].getObjectHandle());
        auto field =
            annotation("<< /Type /Annot /Subtype /Widget /FT /Tx /T (Name) /Rect [150 250 170 390] >>");
        auto stamp = annotation("<< /Type /Annot /Subtype /Stamp /F 20 /Rect [200 120 240 130] /AP << >> >>");
        auto look = pdf.newStream("0 g 0 0 40 10 re f");
        look.getDict().replaceKey("/BBox", QPDFObjectHandle::parse("[0 0 40 10]"));
        stamp.getKey("/AP").replaceKey("/N", look);
        pages[2].getObjectHandle().replaceKey("/Annots",
                                              QPDFObjectHandle::newArray({highlight, button, field, stamp}));
    });
    PageInput raster = source.input(1);
    raster.correctedRaster = RasterEncoder::encode(Raster(792, 612, CV_8UC1, cv::Scalar(255)));
    const QString output = source.output();
    EXPECT_TRUE(source.write({source.input(0), raster, source.input(2)}, output).isEmpty());

    QString firstPage, secondPage;
    const auto onFirst = test::pdfAnnotations(output, 1, &firstPage);
    const auto onSecond = test::pdfAnnotations(output, 2, &secondPage);
    ASSERT_EQ(onFirst.size(), 4); // a web link first (where it lands: DocumentInfo)
    EXPECT_EQ(onFirst[1]["/Dest"].toArray().at(0).toString(), secondPage);
    EXPECT_EQ(onFirst[1]["/Dest"].toArray().at(2).toDouble(), 0);
    EXPECT_EQ(onFirst[2]["/A"].toObject()["/D"].toArray().at(0).toString(), firstPage);
    EXPECT_FALSE(onFirst[2]["/A"].toObject().contains("/Next")); // it led into the source
    ASSERT_EQ(onSecond.size(), 3);
    EXPECT_EQ(onSecond[2]["object"].toString(), onFirst[3]["object"].toString()); // one field
    EXPECT_EQ(onSecond[0]["/Popup"].toString(), onSecond[1]["object"].toString());
    EXPECT_EQ(onSecond[1]["/Parent"].toString(), onSecond[0]["object"].toString());
    EXPECT_EQ(onSecond[0]["/P"].toString(), secondPage);
    QString turnedPage;
    const auto onTurned = test::pdfAnnotations(output, 3, &turnedPage);
    ASSERT_EQ(onTurned.size(), 4);
    const Rect highlight = test::rectOf(onTurned[0]["/Rect"]);
    const QJsonArray corners = onTurned[0]["/QuadPoints"].toArray();
    const Rect cornersAt = test::rectOf(QJsonArray{corners[4], corners[5], corners[2], corners[3]});
    EXPECT_EQ(highlight.width, 280);
    EXPECT_NEAR(cornersAt.x, highlight.x, 0.01);
    EXPECT_NEAR(cornersAt.y, highlight.y, 0.01);
    EXPECT_NEAR(cornersAt.width, highlight.width, 0.01);
    // Where it leads, on its own page turned upright: x = y - 100 (and y = 400 - x).
    EXPECT_EQ(onTurned[1]["/A"].toObject()["/D"],
              (QJsonArray{turnedPage, "/XYZ", 80, QJsonValue(), QJsonValue()}));
    EXPECT_EQ(onTurned[1]["/MK"].toObject()["/R"].toInt(), 0);
    EXPECT_EQ(onTurned[2]["/MK"].toObject()["/R"].toInt(), 270); // it had none: 0
    // Shown upright on the turned page, hung from its top left (200, 130), and so on the copy.
    EXPECT_EQ(test::rectOf(onTurned[3]["/Rect"]), (Rect{30, 190, 40, 10}));
    const QString look = onTurned[3]["/AP"].toObject()["/N"].toString().section(' ', 0, 0);
    EXPECT_FALSE(
        test::runProgram("qpdf", {"--show-object=" + look, output}).standardOutput.contains("/Matrix"));
    test::expectCleanPdf(output);
}

// An attached file, page labels, a layer hidden by default, how and where a reader opens the
// document, its outline, its tags, and its pages' tab order, viewports and unit come along; the
// hidden layer stays hidden.
TEST(TextLayerWriter, AttachmentsPageLabelsLayersIntentsAndViewerSettingsComeAlong) {
    const Source source({{.content = "/OC /Hidden BDC 0 g 100 100 200 200 re f EMC\n"}, {}}, [](QPDF& pdf) {
        auto layer = pdf.makeIndirectObject(QPDFObjectHandle::parse("<< /Type /OCG /Name (Draft) >>"));
        auto sourcePages = QPDFPageDocumentHelper(pdf).getAllPages();
        auto page = sourcePages[0].getObjectHandle();
        page.getKey("/Resources").replaceKey("/Properties", QPDFObjectHandle::newDictionary());
        page.getKey("/Resources").getKey("/Properties").replaceKey("/Hidden", layer);
        page.replaceKey("/UserUnit", QPDFObjectHandle::newInteger(2));
        // Moved by its crop box, its viewport follows; the turned page's is left out.
        page.replaceKey("/CropBox", QPDFObjectHandle::parse("[10 20 612 792]"));
        page.replaceKey("/Tabs", QPDFObjectHandle::newName("/S"));
        page.replaceKey("/VP", QPDFObjectHandle::parse("[<< /BBox [10 20 100 100] /Name (plan) >>]"));
        sourcePages[1].getObjectHandle().replaceKey("/VP", page.getKey("/VP"));
        auto data = pdf.newStream("a,b\n1,2\n");
        data.getDict().replaceKey("/Type", QPDFObjectHandle::newName("/EmbeddedFile"));
        auto file = QPDFObjectHandle::parse("<< /Type /Filespec /F (data.csv) /UF (data.csv) /EF << >> >>");
        file.getKey("/EF").replaceKey("/F", data);
        auto root = pdf.getRoot();
        root.replaceKey("/Names",
                        QPDFObjectHandle::parse("<< /EmbeddedFiles << /Names [(data.csv) null] >> >>"));
        root.getKey("/Names").getKey("/EmbeddedFiles").getKey("/Names").setArrayItem(1, file);
        root.replaceKey("/OCProperties", QPDFObjectHandle::parse("<< /OCGs [null] /D << /OFF [null] >> >>"));
        root.getKey("/OCProperties").getKey("/OCGs").setArrayItem(0, layer);
        root.getKey("/OCProperties").getKey("/D").getKey("/OFF").setArrayItem(0, layer);
        root.getKey("/OCProperties").getKey("/D").getKey("/OFF").appendItem(root.getKey("/Pages")); // damage
        root.replaceKey("/PageLabels",
                        QPDFObjectHandle::parse("<< /Nums [0 << /S /r >> 1 << /S /D /P (A-) >>] >>"));
        root.replaceKey("/Lang", QPDFObjectHandle::newString("de-DE"));
        root.replaceKey("/PageMode", QPDFObjectHandle::newName("/UseAttachments"));
        root.replaceKey("/URI", QPDFObjectHandle::parse("<< /Base (https://example.org/docs/) >>"));
        root.replaceKey("/OpenAction", QPDFObjectHandle::parse("[null /FitH 500]"));
        root.getKey("/OpenAction").setArrayItem(0, sourcePages[1].getObjectHandle());
        sourcePages[1].getObjectHandle().replaceKey("/Rotate", QPDFObjectHandle::newInteger(270));
        auto bookmark = pdf.makeIndirectObject(
            QPDFObjectHandle::parse("<< /Title (Scan) /Dest [null /XYZ 100 700 0] >>"));
        bookmark.getKey("/Dest").setArrayItem(0, sourcePages[1].getObjectHandle());
        root.replaceKey("/Outlines", QPDFObjectHandle::newDictionary());
        root.getKey("/Outlines").replaceKey("/First", bookmark);
        // A coordinate past a double's range, which moved would be no number: left to the reader.
        bookmark.replaceKey("/Next", QPDFObjectHandle::parse("<< /Title (Far) /Dest [null /FitH " +
                                                             std::string(400, '9') + ".0] >>"));
        bookmark.getKey("/Next").getKey("/Dest").setArrayItem(0, sourcePages[1].getObjectHandle());
        root.replaceKey("/OutputIntents", QPDFObjectHandle::parse("[<< /S /GTS_PDFX /OutputConditionIdentifier "
                                                                  "(FOGRA39) >>]"));
        root.getKey("/OutputIntents").getArrayItem(0).replaceKey("/DestOutputProfile", pdf.newStream("CMYK profile"));
        // Tags: a paragraph whose words are marked content of the turned page.
        sourcePages[1].addPageContents(
            pdf.newStream("/P << /MCID 0 >> BDC BT /F1 12 Tf 72 500 Td (Tagged words) Tj ET EMC\n"), false);
        auto tree = pdf.makeIndirectObject(
            QPDFObjectHandle::parse("<< /Type /StructTreeRoot /ParentTree << /Nums [0 [null]] >> >>"));
        auto paragraph = pdf.makeIndirectObject(QPDFObjectHandle::parse("<< /S /P /Alt (words) /K [0] >>"));
        paragraph.getKey("/K").appendItem(sourcePages[0].getObjectHandle()); // damage: a page as its element
        paragraph.replaceKey("/P", tree);
        paragraph.replaceKey("/Pg", sourcePages[1].getObjectHandle());
        tree.replaceKey("/K", paragraph);
        tree.getKey("/ParentTree").getKey("/Nums").getArrayItem(1).setArrayItem(0, paragraph);
        sourcePages[1].getObjectHandle().replaceKey("/StructParents", QPDFObjectHandle::newInteger(0));
        root.replaceKey("/StructTreeRoot", tree);
        root.replaceKey("/MarkInfo", QPDFObjectHandle::parse("<< /Marked true >>"));
    });
    const QString path = source.path, output = source.output();
    EXPECT_EQ(
        source.write({source.input(0, {line("Recognised words", {0.1, 0.1, 0.5, 0.05})}), source.input(1)},
                     output),
        QStringList{"the measuring scales of page 2 were left out, as the page was turned or straightened"});

    EXPECT_EQ(test::runProgram("qpdf", {"--show-attachment=data.csv", output}).standardOutput, "a,b\n1,2\n");
    const auto labels = [](const QString& pdf) {
        return test::runProgram("qpdf", {"--json", "--json-key=pagelabels", pdf}).standardOutput;
    };
    ASSERT_TRUE(labels(path).contains("\"u:A-\""));
    EXPECT_EQ(labels(output), labels(path));
    EXPECT_TRUE(test::darkArea(test::renderPage(path, 1)).isEmpty());
    EXPECT_TRUE(test::darkArea(test::renderPage(output, 1)).isEmpty());
    QPDF written;
    written.processFile(QFile::encodeName(output).constData());
    EXPECT_EQ(written.getRoot().getKey("/Lang").getUTF8Value(), "de-DE");
    EXPECT_TRUE(written.getRoot().getKey("/PageMode").isNameAndEquals("/UseAttachments"));
    EXPECT_EQ(written.getRoot().getKey("/URI").getKey("/Base").getUTF8Value(), "https://example.org/docs/");
    auto writtenPages = QPDFPageDocumentHelper(written).getAllPages();
    EXPECT_EQ(writtenPages[0].getObjectHandle().getKey("/UserUnit").getNumericValue(), 2);
    EXPECT_EQ(writtenPages[0].getObjectHandle().getKey("/Tabs").unparse(), "/S");
    EXPECT_EQ(writtenPages[0].getObjectHandle().getKey("/VP").unparse(),
              "[ << /BBox [ 0 0 90 80 ] /Name (plan) >> ]");
    auto opensAt = written.getRoot().getKey("/OpenAction");
    ASSERT_EQ(opensAt.getArrayNItems(), 3);
    EXPECT_EQ(opensAt.getArrayItem(0).getObjGen(), writtenPages[1].getObjectHandle().getObjGen());
    // Views on the second page, turned upright: x = 792 - y and y = x.
    EXPECT_EQ(opensAt.getArrayItem(1).unparse() + " " + opensAt.getArrayItem(2).unparse(), "/FitV 292");
    EXPECT_EQ(test::outlineSummary(output),
              (QStringList{"Scan open p2 [\"/XYZ\",92,100,0]", "Far open p2 [\"/FitV\",null]"}));
    const auto structure = [](const QString& pdf) {
        return test::runProgram("pdfinfo", {"-struct-text", pdf}).standardOutput;
    };
    ASSERT_TRUE(structure(path).contains("\"Tagged words\""));
    // The first page's recognised text is read before the paragraph of the second.
    EXPECT_EQ(structure(output), "P (block)\n  \"Recognised words\"\n" + structure(path));
    const auto objects = written.getAllObjects();
    EXPECT_EQ(
        std::count_if(objects.begin(), objects.end(), [](QPDFObjectHandle o) { return o.isPageObject(); }),
        2);
    auto intent = written.getRoot().getKey("/OutputIntents").getArrayItem(0);
    EXPECT_EQ(intent.getKey("/OutputConditionIdentifier").getUTF8Value(), "FOGRA39");
    EXPECT_EQ(intent.getKey("/DestOutputProfile").getStreamData()->getSize(), 12);
    test::expectCleanPdf(output);

    // An sRGB intent asked for takes the source's place.
    const QString srgbOutput = source.output("srgb.pdf");
    source.write({source.input(0)}, srgbOutput, true);
    QPDF srgb;
    srgb.processFile(QFile::encodeName(srgbOutput).constData());
    ASSERT_EQ(srgb.getRoot().getKey("/OutputIntents").getArrayNItems(), 1);
    EXPECT_EQ(srgb.getRoot().getKey("/OutputIntents").getArrayItem(0).getKey("/OutputCondition").getUTF8Value(), "sRGB");
}

TEST(TextLayerWriter, CorrectedRasterReplacesThePageContentOnWhite) {
    const Source source({{.blackRects = {{400, 100, 100, 100}}}, {.blackRects = {{400, 100, 100, 100}}}});
    // Black and white: the left quarter black. Colour: a red band at the top.
    Raster grey(100, 200, CV_8UC1, cv::Scalar(255));
    grey(cv::Rect(0, 0, 50, 100)).setTo(cv::Scalar(0));
    Raster colour(100, 200, CV_8UC3, cv::Scalar(255, 255, 255));
    colour(cv::Rect(0, 0, 200, 10)).setTo(cv::Scalar(255, 0, 0));

    PageInput first = source.input(0, {line("raster", {0.6, 0.5, 0.2, 0.05})});
    first.outputBounds = {0, 0, 400, 200};
    first.correctedRaster = RasterEncoder::encode(grey);
    PageInput second = source.input(1);
    second.outputBounds = {0, 0, 400, 200};
    second.correctedRaster = RasterEncoder::encode(colour);
    const QString output = source.output();
    source.write({first, second}, output);

    expectNear(test::darkArea(test::renderPage(output, 1)), QRect(0, 0, 100, 200), 1);
    EXPECT_TRUE(test::findWord(test::pdfWords(output, 1), "raster"));
    EXPECT_EQ(test::pdfPageInfo(output, 1).boxes.value("MediaBox"), (Rect{0, 0, 400, 200}));

    QPDF pdf;
    pdf.processFile(QFile::encodeName(output).constData());
    auto pages = QPDFPageDocumentHelper(pdf).getAllPages();
    const auto images = [&](size_t i) { return pages.at(i).getImages(); };
    ASSERT_EQ(images(0).size(), 1u);
    ASSERT_EQ(images(1).size(), 1u);
    // Black and white is stored losslessly at one bit per pixel, colour as a JPEG.
    auto bilevelImage = images(0).begin()->second.getDict();
    auto colourImage = images(1).begin()->second.getDict();
    EXPECT_EQ(bilevelImage.getKey("/ColorSpace").getName(), "/DeviceGray");
    EXPECT_EQ(bilevelImage.getKey("/BitsPerComponent").getIntValue(), 1);
    EXPECT_EQ(bilevelImage.getKey("/Filter").getName(), "/FlateDecode");
    EXPECT_EQ(bilevelImage.getKey("/Width").getIntValue(), 200);
    EXPECT_EQ(colourImage.getKey("/ColorSpace").getName(), "/DeviceRGB");
    EXPECT_EQ(colourImage.getKey("/Filter").getName(), "/DCTDecode");
    // The red band renders as the top rows of the second page (red is mid-grey: darker than 128
    // only in the grey rendering's luminance, about 76).
    expectNear(test::darkArea(test::renderPage(output, 2)), QRect(0, 0, 400, 20), 1);
    test::expectCleanPdf(output);
}

TEST(TextLayerWriter, TextBeyondWinAnsiStaysSearchable) {
    const Source source({FixturePage{}});
    const QString output = source.output();
    // Boxes about as wide as the words would be printed at their height.
    const Rect cyrillicBox{72, 700, 120, 20};
    source.write(
        {source.input(0,
                      {line(QString::fromUtf8("Привет мир"), normalised(cyrillicBox, 612, 792)),
                       line(QString::fromUtf8("東京都庁"), normalised({72, 600, 80, 20}, 612, 792)),
                       line(QString::fromUtf8("𝐀𝐁𝐂 😀 end"), normalised({72, 500, 110, 20}, 612, 792)),
                       line(QString::fromUtf8("Café €5 naïve"), normalised({72, 400, 130, 20}, 612, 792))})},
        output);
    const QString text = test::pdfText(output);
    for (const char* expected : {"Привет мир", "東京都庁", "𝐀𝐁𝐂 😀 end", "Café €5 naïve"}) {
        EXPECT_TRUE(text.contains(QString::fromUtf8(expected))) << expected << " in " << text.toStdString();
    }
    // The glyphless font's runs are scaled to their boxes too.
    const auto last = test::findWord(test::pdfWords(output, 1), QString::fromUtf8("мир"));
    ASSERT_TRUE(last);
    EXPECT_NEAR(last->xMax, cyrillicBox.maxX(), 0.5);

    const QString fonts = test::runProgram("pdffonts", {output}).standardOutput;
    EXPECT_TRUE(fonts.contains("Helvetica"));
    EXPECT_TRUE(fonts.contains("GlyphLessFont"));
    test::expectCleanPdf(output);
}

// (That a failed write leaves an earlier output as it was, and no hidden file: CliFailures, on a
// full disk.)
TEST(TextLayerWriter, AReplacedOutputKeepsItsPermissionsAndAChangingSourceReplacesNothing) {
    const Source source({FixturePage{}});
    const QString output = source.output();
    ASSERT_TRUE(test::writeFile(output, "previous output"));
    const auto permissions = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup;
    QFile::setPermissions(output, permissions);
    const QStringList files{"out.pdf", "source.pdf"};
    const std::vector<OCRLine> cyrillic{line(QString::fromUtf8("Привет"), {0.1, 0.1, 0.3, 0.03})};
    source.write({source.input(0, cyrillic)}, output);
    EXPECT_TRUE(test::readTextFile(output).startsWith("%PDF-"));
    // The replaced file's permissions are kept (the "user" bits mirror the owner's for the caller).
    EXPECT_EQ(QFile::permissions(output) & ~QFileDevice::Permissions(0x0700), permissions);
    EXPECT_EQ(test::filesIn(source.folder.path()), files);

    // A source written to meanwhile (a scanner still adding pages) is read as it is needed, so the
    // copy would mix its old and new bytes: refused, and the earlier output stays.
    const QByteArray earlier = test::readBytes(output);
    QFile more(source.path);
    ASSERT_TRUE(more.open(QIODevice::Append) && more.write("\n% another page\n") > 0);
    more.close();
    EXPECT_EQ(errorKindOf([&] { source.write({source.input(0, cyrillic)}, output); }),
              OCRError::Kind::cannotReadSource);
    EXPECT_EQ(test::readBytes(output), earlier);
    EXPECT_EQ(test::filesIn(source.folder.path()), files);
}

TEST(TextLayerWriter, TheLongestOutputNameStillWorks) {
    const Source source({FixturePage{}});
    // 255 bytes, the most a file name can have; the hidden temporary name is shortened instead.
    const QString name = QString(60, QChar(0x00E9)) + QString(131, 'a') + ".pdf";
    ASSERT_EQ(QFile::encodeName(name).size(), 255);
    source.write({source.input(0)}, source.output(name));
    EXPECT_EQ(test::filesIn(source.folder.path()), (QStringList{"source.pdf", name}));
    test::expectCleanPdf(source.output(name));
}

TEST(TextLayerWriter, FolderProblemsAreExplained) {
    const Source source({FixturePage{}});
    const QString gone = source.folder.filePath("gone");
    ASSERT_TRUE(QDir().mkdir(gone));
    ASSERT_TRUE(QDir().rmdir(gone)); // deleted after the job started
    QString description;
    EXPECT_EQ(errorKindOf([&] { source.write({source.input(0)}, gone + "/out.pdf"); }, &description),
              OCRError::Kind::outputWriteFailed);
    EXPECT_EQ(description, "Writing the searchable PDF failed: the output folder no longer exists");

    // A folder that takes files: the probe finds nothing wrong and leaves nothing behind.
    const QStringList before = test::filesIn(source.folder.path());
    EXPECT_EQ(TextLayerWriter::diagnoseContextFailure(source.output()), "could not create PDF context");
    EXPECT_EQ(test::filesIn(source.folder.path()), before);

    // A USB stick formatted FAT takes files, but not under every name.
    const QString image = source.folder.filePath("fat.img"), stick = source.folder.filePath("stick");
    ASSERT_TRUE(QDir().mkdir(stick));
    const QString mount = "truncate -s 4M \"$0\" && mkfs.vfat \"$0\" && fusefat -o rw+ \"$0\" \"$1\"";
    if (test::runProgram("sh", {"-c", mount, image, stick}).exitCode != 0) {
        GTEST_SKIP() << "no FAT drive can be mounted here";
    }
    const auto unmount = qScopeGuard([&] { test::runProgram("fusermount", {"-u", stick}); });
    EXPECT_EQ(errorKindOf([&] { source.write({source.input(0)}, stick + "/Scan 10:30.pdf"); }, &description),
              OCRError::Kind::outputWriteFailed);
    EXPECT_TRUE(description.contains("does not take the name \"Scan 10:30.pdf\""))
        << description.toStdString();
    EXPECT_TRUE(test::filesIn(stick).isEmpty());
}

TEST(TextLayerWriter, EveryCorpusPdfIsCarriedOverAsReadersShowIt) {
    QTemporaryDir folder;
    for (const char* name :
         {"ccitt.pdf", "graph_ocred.pdf", "jbig2.pdf", "linn.pdf", "meta.pdf", "missing_docinfo.pdf",
          "no_contents.pdf", "skew.pdf", "toc.pdf", "trivial.pdf"}) {
        SCOPED_TRACE(name);
        const QString path = test::corpusPath(name);
        const auto document = PdfDocument::open(path);
        ASSERT_TRUE(document);
        std::vector<PageInput> pages;
        for (int i = 0; i < document->pageCount(); ++i) {
            const PdfPage page = *document->page(i);
            pages.push_back(
                {.page = page, .outputBounds = CoordinateMapper::displayBounds(page), .pageIndex = i});
        }
        const QString output = folder.filePath(name);
        TextLayerWriter::write(pages, {}, output, false, document.get());

        test::expectCleanPdf(output);
        EXPECT_LT(QFileInfo(output).size(), QFileInfo(path).size() + 2000);
        for (int page = 1; page <= document->pageCount(); ++page) {
            expectNear(test::darkArea(test::renderPage(output, page, 20)),
                       test::darkArea(test::renderPage(path, page, 20)), 1);
        }
    }
}

// A page's content is carried over still encoded: 64 MiB of zeros compressed to 64 KiB stay those
// very bytes (never inflated while writing). Content split over several streams, even in the middle
// of an operation, is joined into one that draws the same, also when one of them is damaged.
TEST(TextLayerWriter, PageContentIsCarriedOverWithoutDecoding) {
    const Source source({FixturePage{}, FixturePage{}}, [](QPDF& pdf) {
        test::replaceContentWithZeros(pdf, 0, 64ll << 20);
        auto split = QPDFPageDocumentHelper(pdf).getAllPages().at(1).getObjectHandle();
        split.replaceKey("/Contents", QPDFObjectHandle::newArray({pdf.newStream("0 g 0 0 306"), pdf.newStream("792 re f")}));
        // Damaged after a square, which readers still show: a block of stored bytes, then a bad block.
        const QByteArray square = "0 g 406 0 100 100 re f\n";
        const QByteArray damaged =
            QByteArray::fromHex("7801001700e8ff") + square + QByteArray::fromHex("ffff");
        auto stream = pdf.newStream();
        stream.replaceStreamData(damaged.toStdString(), QPDFObjectHandle::newName("/FlateDecode"),
                                 QPDFObjectHandle::newNull());
        split.getKey("/Contents").appendItem(stream);
    });
    const QString path = source.path, output = source.output();
    EXPECT_EQ(
        source.write({source.input(0), source.input(1)}, output),
        QStringList{"the content of page 2 is damaged, and the copy shows only what could be read of it"});

    QPDF written;
    written.processFile(QFile::encodeName(output).constData());
    auto form = QPDFPageDocumentHelper(written).getAllPages().at(0).getObjectHandle().getKey("/Resources").getKey(
        "/XObject").getKey("/Page0");
    const auto sourceBytes = source.document->page(0)->pageObject().getObjectHandle().getKey("/Contents").getRawStreamData();
    const auto outputBytes = form.getRawStreamData();
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(outputBytes->getBuffer()), outputBytes->getSize()),
              std::string(reinterpret_cast<const char*>(sourceBytes->getBuffer()), sourceBytes->getSize()));
    expectNear(test::darkArea(test::renderPage(output, 2, 20)), test::darkArea(test::renderPage(path, 2, 20)), 1);
    EXPECT_FALSE(test::darkArea(test::renderPage(output, 2, 20)).isEmpty());
}
