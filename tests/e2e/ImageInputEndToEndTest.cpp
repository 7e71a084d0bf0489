// quorvane-cli on image files made with libvips: each becomes a searchable PDF of the image's size
// at 300 DPI (or the resolution it states, when a scanner would use it), upright, one page per page
// of a TIFF and one page for any other image, and no temporary PDF is left anywhere.
// Several images go through one run, as a user would hand over a folder, to keep recognition
// costs down; a band of the scan stands in for the whole page where the page size is not the point.

#include "e2e/CliSupport.h"
#include "support/PdfReaders.h"
#include "support/RasterFixtures.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>
#include <gtest/gtest.h>
#include <vips/vips8>

using namespace quorvane::test;
using vips::VImage;

namespace {

// The top of linn.png: title, introduction and the first six features, ending clear of the next line.
constexpr int bandHeight = 960;

VImage load(const QString& path) {
    static const bool ready = VIPS_INIT("ImageInputEndToEndTest") == 0;
    EXPECT_TRUE(ready);
    return VImage::new_from_file(QFile::encodeName(path).constData());
}

VImage linn() { return load(corpusPath("linn.png")); }
VImage band() { return linn().crop(0, 0, 2550, bandHeight); }
// "Additional Features" and what follows: text that the band does not have.
VImage lowerBand() { return linn().crop(0, 2300, 2550, bandHeight); }

void save(const VImage& image, const QString& path, vips::VOption* options = nullptr) {
    image.write_to_file(QFile::encodeName(path).constData(), options);
}

// Frames of one size one above the other, as libvips writes a multi-page TIFF or an animated GIF.
VImage stacked(const std::vector<VImage>& frames) {
    VImage all = VImage::arrayjoin(frames, VImage::option()->set("across", 1)).copy();
    all.set("page-height", frames.front().height());
    return all;
}

// A TIFF whose first page reads (8 x 8 grey) but whose 200 directories of 100 entries overlap, each
// starting one entry after the one before: walked entry by entry, such a chain can take hours. Each
// directory's count is the last two bytes of an entry, which a SHORT value leaves unread.
QByteArray overlappingDirectories() {
    const int directories = 200, entries = 100, start = 16, data = start + 12 * (entries + directories);
    QByteArray tiff = QByteArray("II*\0", 4) + QByteArray(data + 60, '\0');
    const auto put = [&](int at, quint32 value) { qToLittleEndian(value, tiff.data() + at); };
    const auto directory = [&](int index) { return start + 12 * index - 2; };
    put(4, directory(0));
    const quint32 tags[][3] = {{256, 3, 8}, {257, 3, 8}, {258, 3, 8},
                               {259, 3, 1}, {262, 3, 1}, {273, 3, quint32(data)},
                               {277, 3, 1}, {278, 3, 8}, {279, 3, 64}};
    for (int k = 0; k < 9; ++k) {
        put(start + 12 * k, tags[k][0] | tags[k][1] << 16);
        put(start + 12 * k + 4, 1);
        put(start + 12 * k + 8, tags[k][2]);
    }
    for (int i = 0; i < directories; ++i) {
        qToLittleEndian(quint16(entries), tiff.data() + directory(i));
        put(directory(i) + 2 + 12 * entries, i + 1 < directories ? directory(i + 1) : 0);
    }
    return tiff;
}

QString linnTruth() { return readTextFile(corpusPath("linn.txt")); }
// What the band shows: the transcription up to the feature after "real-time ERASE".
QString bandTruth() {
    const QString truth = linnTruth();
    return truth.left(truth.indexOf("Exclusive REPEAT"));
}

struct Expected {
    QString source;      // file name in the input folder
    double width;        // page size, points
    double height;
    QString truth;       // what the first page says
    double minimumRecall;
    int pages = 1;
};

QStringList sorted(QStringList names) {
    names.sort();
    return names;
}

// Each output: one upright page of the expected size whose text reads like the truth. The run
// left no temporary file in its temporary folder, and the folders hold just the inputs and outputs.
void expectSearchablePages(const CliRun& run, const QString& inputs, const QString& outputs,
                           const QList<Expected>& expected) {
    ASSERT_TRUE(run.result.finished);
    EXPECT_EQ(run.result.exitCode, 0) << run.result.standardError.toStdString();
    QStringList sources, outputNames;
    for (const auto& page : expected) {
        SCOPED_TRACE(page.source.toStdString());
        sources.append(page.source);
        const QString output = searchableOutput(outputs, page.source);
        outputNames.append(QFileInfo(output).fileName());
        ASSERT_TRUE(QFile::exists(output)) << run.result.standardOutput.toStdString();
        EXPECT_TRUE(run.result.standardOutput.contains(page.source + " -> " + output + ": "));
        EXPECT_EQ(pdfPageCount(output), page.pages);
        const PdfPageInfo geometry = pdfPageInfo(output, 1);
        EXPECT_EQ(geometry.rotation, 0);
        for (const char* box : {"MediaBox", "CropBox"}) {
            const auto rect = geometry.boxes.value(box);
            EXPECT_NEAR(rect.x, 0, 0.01) << box;
            EXPECT_NEAR(rect.y, 0, 0.01) << box;
            EXPECT_NEAR(rect.width, page.width, 0.01) << box;
            EXPECT_NEAR(rect.height, page.height, 0.01) << box;
        }
        const QString text = pdfText(output, 1);
        EXPECT_GE(wordRecall(text, page.truth), page.minimumRecall) << text.toStdString();
    }
    EXPECT_EQ(sorted(filesIn(inputs)), sorted(sources));
    EXPECT_EQ(sorted(filesIn(outputs)), sorted(outputNames));
    EXPECT_TRUE(run.leftoverTemporaryFiles.isEmpty()) << run.leftoverTemporaryFiles.join(", ").toStdString();
}

} // namespace

// Whole pages where their size and reading matter: a JPEG stored sideways with an orientation tag,
// and a 6000 x 8000 JPEG, read from 4096 pixels but kept whole. How each format decodes is
// checked pixel by pixel in ImagePDFBuilderTest; here every page of a two-page TIFF and only the
// first frame of an animated GIF (the band, over text that only the second frame shows), an
// extension in capitals, and real photographs from elsewhere: a typewritten recipe and a small map.
TEST(ImageInput, PagesComeOutAtTheirSizeUprightAndReadableEveryTiffPage) {
    QTemporaryDir folder;
    const QString inputs = folder.filePath("images"), outputs = folder.filePath("searchable");
    ASSERT_TRUE(QDir().mkpath(inputs));

    VImage sideways = linn().rot270().copy(); // stored 3300 x 2550
    sideways.set(VIPS_META_ORIENTATION, 6);   // "turn a quarter clockwise to display"
    save(sideways, inputs + "/turned.jpg", VImage::option()->set("Q", 90));
    ASSERT_EQ(load(inputs + "/turned.jpg").get_int(VIPS_META_ORIENTATION), 6);
    const VImage top = band().copy_memory(), lower = lowerBand().copy_memory();
    save(stacked({top, lower}), inputs + "/pages.tiff",
         VImage::option()->set("compression", VIPS_FOREIGN_TIFF_COMPRESSION_DEFLATE));
    save(stacked({top, lower}), inputs + "/animation.gif");
    ASSERT_EQ(load(inputs + "/pages.tiff").get_int("n-pages"), 2);
    ASSERT_EQ(load(inputs + "/animation.gif").get_int("n-pages"), 2);
    save(top, inputs + "/band-jpg.JPG", VImage::option()->set("Q", 85));
    save(linn().resize(6000.0 / 2550.0, VImage::option()->set("vscale", 8000.0 / 3300.0)),
         inputs + "/large.jpg", VImage::option()->set("Q", 85));
    copyCorpusFile("typewriter.png", inputs);
    copyCorpusFile("baiona.png", inputs);

    const auto run = runCli(plainRecognition + QStringList{"-o", outputs, inputs});
    // The map's small labels are hard to read at its size; most of the recipe (in Dutch,
    // recognised as English) is found.
    const QString mapLabels = "Bokale Tarnose Lehuntze Mugerre Hiriburu Angelu Milafranga Basusarri BAIONA "
                              "Komunikabideak Autobideak Errepide nagusiak Trenbideak";
    const QString recipe =
        "Linzensoep à la Waterman. 4 ons linzen, 3 liter water, 3 uien, bloem, boter, 2 kopjes melk, laurier, "
        "kruidnagel, kerrie, zout. De linzen wassen en in 1 liter kokend water 1 dag laten weken. 2 liter "
        "water bij de linzen voegen, zonder het water waarin ze geweekt zijn af te gieten. De helft van de "
        "uien bakken met laurier en kruidnagel. Alle uien, kerrie en zout bij de linzen voegen. Alles aan de "
        "kook brengen. Van de bloem met boter en melk een papje maken en verder afmaken met de soep. Als de "
        "linzen gaar zijn is de soep klaar.";
    QList<Expected> expected{{"turned.jpg", 612, 792, linnTruth(), 0.95},
                             {"large.jpg", 737.28, 983.04, linnTruth(), 0.90},
                             {"baiona.png", 640 * 0.24, 682 * 0.24, mapLabels, 0.35},
                             {"typewriter.png", 4000 * 0.24, 2864 * 0.24, recipe, 0.85}};
    for (const char* file : {"pages.tiff", "animation.gif", "band-jpg.JPG"}) {
        expected.append(
            {file, 612, bandHeight * 72 / 300.0, bandTruth(), 0.90, file == QString("pages.tiff") ? 2 : 1});
    }
    expectSearchablePages(run, inputs, outputs, expected);

    // The large photograph keeps its pixels: it needed no change, so it went in byte for byte.
    EXPECT_EQ(imageStreams(searchableOutput(outputs, "large.jpg")),
              QByteArrayList{readBytes(inputs + "/large.jpg")});
    // The TIFF's second page is its own; the GIF has nothing of its second frame's words.
    EXPECT_TRUE(pdfText(searchableOutput(outputs, "pages.tiff"), 2).contains("TRIGGER OUTPUTS"));
    EXPECT_FALSE(
        pdfText(searchableOutput(outputs, "animation.gif")).contains("TRIGGER", Qt::CaseInsensitive));
}

TEST(ImageInput, WhatOnlyLooksLikeAnImageIsRefusedAndNothingIsWritten) {
    QTemporaryDir folder;
    ASSERT_TRUE(writeFile(folder.filePath("notes.png"), "These are plain words, not pixels.\n"));
    ASSERT_TRUE(QFile::copy(corpusPath("linn.pdf"), folder.filePath("scan.tiff")));
    ASSERT_TRUE(writeFile(folder.filePath("empty.gif")));
    // Files cut short: a PNG after its header, a JPEG (that would otherwise go in as it is) halfway.
    ASSERT_TRUE(writeFile(folder.filePath("header.png"), readBytes(corpusPath("baiona.png")).left(60)));
    save(load(corpusPath("baiona.png")), folder.filePath("whole.jpg"));
    ASSERT_TRUE(writeFile(folder.filePath("halfway.jpg"), readBytes(folder.filePath("whole.jpg")).left(20000)));
    ASSERT_TRUE(QFile::remove(folder.filePath("whole.jpg")));
    // A TIFF of two pages cut short in its second: it still reads, as a TIFF of one page.
    save(stacked({band(), band()}), folder.filePath("whole.tiff"));
    const QByteArray tiff = readBytes(folder.filePath("whole.tiff"));
    ASSERT_TRUE(writeFile(folder.filePath("cut.tiff"), tiff.left(tiff.size() * 3 / 4)));
    ASSERT_EQ(load(folder.filePath("cut.tiff")).get_int("n-pages"), 1);
    ASSERT_TRUE(QFile::remove(folder.filePath("whole.tiff")));
    ASSERT_TRUE(writeFile(folder.filePath("overlapping.tiff"), overlappingDirectories()));
    const QStringList names{"cut.tiff",  "empty.gif",        "halfway.jpg", "header.png",
                            "notes.png", "overlapping.tiff", "scan.tiff"};

    QStringList arguments = plainRecognition;
    for (const auto& name : names) {
        arguments.append(folder.filePath(name));
    }
    const QString cannotOpenImage =
        "The image could not be opened. The file may be damaged or in an unsupported format.";
    // Together, as a batch, and one on its own.
    const auto batch = runCli(arguments);
    EXPECT_EQ(batch.result.exitCode, 1);
    for (const auto& name : names) {
        EXPECT_TRUE(says(batch.result.standardOutput, name + ": " + cannotOpenImage));
    }
    const auto single = runCli(plainRecognition + QStringList{folder.filePath("notes.png")});
    EXPECT_EQ(single.result.exitCode, 3);
    EXPECT_TRUE(says(single.result.standardError, folder.filePath("notes.png") + ": " + cannotOpenImage));

    EXPECT_EQ(filesIn(folder.path()), names);
    for (const auto& run : {batch, single}) {
        EXPECT_TRUE(run.leftoverTemporaryFiles.isEmpty()) << run.leftoverTemporaryFiles.join(", ").toStdString();
    }
}

// Resolution is the scan's own pixels over its page's own size (for pages of PDFs: DPIAnalyzer):
// an image that states 300 DPI as scanners write it, one that states 72 as cameras do (taken as
// 300) and the demo sample are not below 300 DPI; an image that states 150 DPI is, and comes out
// at the size it was scanned at.
TEST(ImageInput, ResolutionIsTheScansPixelsOverItsOwnPageSize) {
    QTemporaryDir folder;
    const QString inputs = folder.filePath("in"), outputs = folder.filePath("out");
    ASSERT_TRUE(QDir().mkpath(inputs));
    const auto scan = [](QSize pixels, int dotsPerInch) {
        QImage image = renderParagraph(pixels, {"Received with thanks"}, 40);
        image.setDotsPerMeterX(qRound(dotsPerInch / 0.0254));
        image.setDotsPerMeterY(qRound(dotsPerInch / 0.0254));
        return image;
    };
    ASSERT_TRUE(scan({900, 2400}, 300).save(inputs + "/scanned.png"));
    ASSERT_TRUE(scan({900, 1200}, 72).save(inputs + "/photo.jpg"));
    ASSERT_TRUE(scan({900, 1200}, 150).save(inputs + "/coarse.png"));
    ASSERT_TRUE(scan({900, 5000}, 300).save(inputs + "/receipt.png")); // more pixels than a page is read at
    ASSERT_TRUE(QFile::copy(QUORVANE_SOURCE_DIR "/samples/sample-scan.png", inputs + "/sample-scan.png"));

    const QString report = folder.filePath("report.csv");
    const auto run = runCli(plainRecognition + QStringList{"-o", outputs, "--report", report, inputs});
    ASSERT_EQ(run.result.exitCode, 0) << run.result.standardError.toStdString();
    QStringList lowResolution;
    for (const auto& row : readTextFile(report).split('\n', Qt::SkipEmptyParts).mid(1)) {
        if (row.split(',').value(6) != "0") {
            lowResolution << QFileInfo(row.split(',').first()).fileName();
        }
    }
    EXPECT_EQ(lowResolution, QStringList{"coarse.png"});
    const QList<std::tuple<QString, double, double>> pages{{"scanned.png", 216, 576},
                                                           {"photo.jpg", 216, 288},
                                                           {"coarse.png", 432, 576},
                                                           {"sample-scan.png", 429.6, 261.6},
                                                           {"receipt.png", 216, 1200}};
    for (const auto& [name, width, height] : pages) {
        const auto box = pdfPageInfo(searchableOutput(outputs, name), 1).boxes.value("MediaBox");
        EXPECT_NEAR(box.width, width, 0.01) << name.toStdString();
        EXPECT_NEAR(box.height, height, 0.01) << name.toStdString();
    }
    // The copy shows the scan with all its pixels.
    EXPECT_EQ(
        imageList(searchableOutput(outputs, "receipt.png")).value(0).split(' ', Qt::SkipEmptyParts).mid(3, 2),
        (QStringList{"900", "5000"}));
}
