#include "pipeline/ImagePDFBuilder.h"

#include "pipeline/PageTaskPool.h"
#include "platform/FileNames.h"
#include "platform/JpegMarkers.h"
#include "platform/PrivateTemporaryFolder.h"
#include "support/PdfReaders.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QThread>
#include <QtConcurrent>
#include <gtest/gtest.h>
#include <vips/vips8>

#include <atomic>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <unistd.h>

using namespace quorvane;
using vips::VImage;

namespace {

// What a temporary PDF holds, as qpdf and poppler-utils read it: its page count, its first page's
// size and that page's one image, listed and extracted by pdfimages.
struct ImagePage {
    int pageCount = 0;
    double width = 0, height = 0;
    int pixelWidth = 0, pixelHeight = 0;
    int components = 0, bitsPerComponent = 0;
    QString encoding;  // "image" (Flate) or "jpeg"
    QByteArray stored; // the image file pdfimages writes: a JPEG's own bytes, any other as PNG
    VImage pixels;     // that file, decoded
};

ImagePage readImagePage(const QString& path) {
    ImagePage page;
    page.pageCount = test::pdfPageCount(path);
    const Rect box = test::pdfPageInfo(path, 1).boxes.value("MediaBox");
    page.width = box.width;
    page.height = box.height;
    const QStringList images = test::imageList(path);
    EXPECT_EQ(images.size(), 1);
    // page num type width height color comp bpc enc ...
    const QStringList fields = images.value(0).split(' ');
    page.pixelWidth = fields.value(3).toInt();
    page.pixelHeight = fields.value(4).toInt();
    page.components = fields.value(6).toInt();
    page.bitsPerComponent = fields.value(7).toInt();
    page.encoding = fields.value(8);

    QTemporaryDir extracted;
    test::runProgram("pdfimages", {"-all", "-f", "1", "-l", "1", path, extracted.filePath("image")});
    const QStringList files = test::filesIn(extracted.path());
    EXPECT_EQ(files.size(), 1);
    page.stored = test::readBytes(extracted.filePath(files.value(0)));
    page.pixels = VImage::new_from_buffer(page.stored.constData(), page.stored.size(), "").copy_memory();
    return page;
}

VImage grey(const VImage& image) {
    VImage flat = image.has_alpha()
                      ? image.flatten(VImage::option()->set("background", std::vector<double>{255.0}))
                      : image;
    return flat.colourspace(VIPS_INTERPRETATION_B_W).cast(VIPS_FORMAT_DOUBLE);
}

// How alike two pictures are, from -1 to 1, compared in grey at a coarse common size (where text
// is texture and only the layout counts).
double correlation(const VImage& a, const VImage& b) {
    const auto coarse = [](const VImage& image) {
        const VImage g = grey(image);
        return g.resize(80.0 / g.width(), VImage::option()->set("vscale", 100.0 / g.height())).copy_memory();
    };
    const VImage x = coarse(a), y = coarse(b);
    const double covariance = ((x - x.avg()) * (y - y.avg())).avg();
    return covariance / (x.deviate() * y.deviate());
}

// The page as a reader shows it, at 72 DPI.
VImage render(const QString& pdfPath, const QString& scratch) {
    const QString prefix = QDir(scratch).filePath("render");
    auto run = test::runProgram("pdftoppm", {"-r", "72", "-gray", "-singlefile", pdfPath, prefix});
    EXPECT_EQ(run.exitCode, 0) << run.standardError.toStdString();
    return VImage::new_from_file((prefix + ".pgm").toUtf8().constData(),
                                 VImage::option()->set("access", VIPS_ACCESS_SEQUENTIAL))
        .copy_memory();
}

VImage linn() {
    return VImage::new_from_file(test::corpusPath("linn.png").toUtf8().constData());
}
VImage smallLinn() {
    return linn().resize(1.0 / 3.0).copy_memory();
} // 850 x 1100, quick to encode in every format

void save(const VImage& image, const QString& path, vips::VOption* options = nullptr) {
    image.write_to_file(FileNames::encode(path).constData(), options);
}

class ImagePDFBuilderTest : public ::testing::Test {
protected:
    // makePDF writes into QDir::tempPath(): a private folder, so that the tests can see every file.
    static void SetUpTestSuite() {
        VIPS_INIT("ImagePDFBuilderTest");
        static QTemporaryDir temp;
        tempFolder = temp.path();
        qputenv("TMPDIR", QFile::encodeName(tempFolder));
    }
    static inline QString tempFolder;

    QString fixture(const QString& name) const { return QDir(scratch.path()).filePath(name); }
    std::string tempFiles() const { return test::filesIn(tempFolder).join(' ').toStdString(); }

    QTemporaryDir scratch{tempFolder + "/fixtures-XXXXXX"};
};

} // namespace

TEST_F(ImagePDFBuilderTest, EveryFormatBecomesOneUprightPageAtThreeHundredDPI) {
    const VImage source = smallLinn();
    static const QRegularExpression name("^quorvane-image-[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}\\.pdf$");
    // One of each format: the decoder goes by the content, not by which of its names the file has.
    // A pyramid, of pages or below its page, is one page at full size.
    for (const QString format :
         {"png", "jpg", "heic", "tiff", "bmp", "gif", "tif[tile,pyramid]", "tif[tile,pyramid,subifd]"}) {
        SCOPED_TRACE(format.toStdString());
        const QString extension = format.section('[', 0, 0), input = fixture("linn." + extension);
        save(source, input + format.mid(extension.size()));

        const QString pdf = ImagePDFBuilder::makePDF(input);
        // In this process's own folder inside TMPDIR, which no other user can enter.
        const QFileInfo folder(QFileInfo(pdf).absolutePath());
        EXPECT_EQ(folder.absolutePath(), QDir(tempFolder).absolutePath());
        EXPECT_EQ(folder.permissions() & 0x0077, 0) << "group and others have no access";
        EXPECT_TRUE(name.match(QFileInfo(pdf).fileName()).hasMatch()) << pdf.toStdString();
        test::expectCleanPdf(pdf);

        const ImagePage page = readImagePage(pdf);
        EXPECT_EQ(page.pageCount, 1);
        EXPECT_EQ(page.pixelWidth, 850);
        EXPECT_EQ(page.pixelHeight, 1100);
        EXPECT_NEAR(page.width, 204.0, 1e-3);
        EXPECT_NEAR(page.height, 264.0, 1e-3);
        const bool jpeg = extension.startsWith("jp");
        EXPECT_EQ(page.encoding, jpeg ? "jpeg" : "image");
        EXPECT_EQ(page.components, jpeg ? 3 : 1) << "a grey scan stays grey; a JPEG keeps its own components";
        EXPECT_GT(correlation(render(pdf, scratch.path()), source), 0.9);
        QFile::remove(pdf);
    }
}

TEST_F(ImagePDFBuilderTest, LosslessSourcesArriveWithEveryPixelIntact) {
    // A 2550 x 3300 black-and-white scan at its full size, one bit per pixel, under a non-ASCII name.
    const QString scan = fixture("Übersicht.png");
    ASSERT_TRUE(QFile::copy(test::corpusPath("linn.png"), scan));
    const QString scanPdf = ImagePDFBuilder::makePDF(scan);
    const ImagePage scanPage = readImagePage(scanPdf);
    EXPECT_DOUBLE_EQ(scanPage.width, 612.0);
    EXPECT_DOUBLE_EQ(scanPage.height, 792.0);
    EXPECT_EQ(scanPage.bitsPerComponent, 1);
    EXPECT_EQ((scanPage.pixels != linn()[0]).max(), 0.0);

    // A colour picture keeps its colours exactly, in its own compressed data; its name need not be UTF-8.
    const QString source = test::corpusPath("baiona.png");
    const QByteArray map = FileNames::encode(fixture("map") + QChar(0xDCFF) + ".png");
    std::filesystem::copy_file(QFile::encodeName(source).toStdString(), map.toStdString());
    const auto removeMap = qScopeGuard([&] { ::unlink(map.constData()); });
    const QString mapPdf = ImagePDFBuilder::makePDF(FileNames::decode(map));
    const ImagePage mapPage = readImagePage(mapPdf);
    EXPECT_EQ(mapPage.components, 3);
    EXPECT_EQ(mapPage.bitsPerComponent, 8);
    const VImage original = VImage::new_from_file(source.toUtf8().constData());
    EXPECT_EQ((mapPage.pixels != original).bandor().max(), 0.0);
    EXPECT_TRUE(test::readBytes(source).contains(test::imageStreams(mapPdf).value(0).left(4096)));

    // Transparent parts lie on white.
    const VImage small = smallLinn()[0];
    const VImage alpha =
        VImage::black(850, 1100).insert(VImage::black(425, 1100) + 255, 425, 0).cast(VIPS_FORMAT_UCHAR);
    const QString translucent = fixture("alpha.png");
    save(small.bandjoin(alpha).copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_B_W)),
         translucent);
    const ImagePage alphaPage = readImagePage(ImagePDFBuilder::makePDF(translucent));
    EXPECT_EQ(alphaPage.components, 1);
    EXPECT_EQ(alphaPage.pixels.crop(0, 0, 425, 1100).min(), 255.0);
    EXPECT_EQ((alphaPage.pixels.crop(425, 0, 425, 1100) != small.crop(425, 0, 425, 1100)).max(), 0.0);
}

// The JPEG data of a TIFF, in strips, goes in as it is, as a JPEG file's does (ImageInput), rather
// than growing tenfold or losing more.
TEST_F(ImagePDFBuilderTest, JpegDataStaysJpeg) {
    const VImage map = VImage::new_from_file(test::corpusPath("baiona.png").toUtf8().constData());

    // Under a name that is not UTF-8 too.
    const QString tiff = fixture("map") + QChar(0xDCFF) + ".tif";
    const auto removeTiff = qScopeGuard([&] { ::unlink(FileNames::encode(tiff).constData()); });
    save(map, tiff, VImage::option()->set("compression", VIPS_FOREIGN_TIFF_COMPRESSION_JPEG)->set("Q", 80));
    const ImagePage fromTiff = readImagePage(ImagePDFBuilder::makePDF(tiff));
    EXPECT_EQ(fromTiff.encoding, "jpeg");
    EXPECT_LT(fromTiff.stored.size(), std::filesystem::file_size(FileNames::encode(tiff).toStdString()));
    EXPECT_LT(
        (fromTiff.pixels.cast(VIPS_FORMAT_INT) - VImage::new_from_file(FileNames::encode(tiff).constData()))
            .abs()
            .avg(),
        0.25);
    // Unless it is RGB in JPEG, as libtiff writes RGB: PDF readers would take it for YCbCr.
    const QString rgb = fixture("rgb.tif");
    save(map, rgb,
         VImage::option()->set("compression", VIPS_FOREIGN_TIFF_COMPRESSION_JPEG)->set("rgbjpeg", true));
    EXPECT_FALSE(JpegMarkers::storesUntransformedRgb(
        readImagePage(ImagePDFBuilder::makePDF(rgb)).stored.toStdString()));
}

// A file whose colours are in a profile of its own (a scanner's, Adobe RGB; Display P3 here) shows
// them so on its page, also where its data goes in as it is: read as sRGB, the profile's numbers for
// sRGB red (234, 51, 34) are a duller red.
TEST_F(ImagePDFBuilderTest, ColoursInAProfileOfTheirOwnLookAsInTheFile) {
    const VImage red = VImage::black(300, 300)
                           .new_from_image({255.0, 0.0, 0.0})
                           .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
    const VImage inP3 = red.icc_transform("p3", VImage::option()->set("input_profile", "srgb"));
    for (const QString name : {"red.png", "red.jpg", "red.tif"}) {
        save(inP3, fixture(name));
        const QString prefix = fixture("shown");
        test::runProgram(
            "pdftoppm", {"-r", "72", "-png", "-singlefile", ImagePDFBuilder::makePDF(fixture(name)), prefix});
        const auto shown = VImage::new_from_file((prefix + ".png").toUtf8().constData()).getpoint(36, 36);
        EXPECT_NEAR(shown[0], 255, 4) << name.toStdString();
        EXPECT_NEAR(shown[1], 0, 4) << name.toStdString();
        EXPECT_NEAR(shown[2], 0, 4) << name.toStdString();
    }
}

// A fax at standard resolution has half as many lines per inch as dots across: its page keeps the
// sheet's shape. A file that states 96 DPI both ways, as editors do, is still sized at 300 DPI.
TEST_F(ImagePDFBuilderTest, AFaxKeepsTheShapeOfItsSheet) {
    const VImage lines = (smallLinn()[0] > 128).resize(1, VImage::option()->set("vscale", 0.5));
    const QString fax = fixture("fax.tif"), editor = fixture("editor.tif");
    save(lines, fax,
         VImage::option()
             ->set("compression", VIPS_FOREIGN_TIFF_COMPRESSION_CCITTFAX4)
             ->set("bitdepth", 1)
             ->set("xres", 204 / 25.4)
             ->set("yres", 98 / 25.4));
    save(lines, editor, VImage::option()->set("xres", 96 / 25.4)->set("yres", 96 / 25.4));
    const ImagePage page = readImagePage(ImagePDFBuilder::makePDF(fax));
    EXPECT_NEAR(page.width, 850 * 72 / 204.0, 0.01);
    EXPECT_NEAR(page.height, 550 * 72 / 98.0, 0.01);
    EXPECT_NEAR(readImagePage(ImagePDFBuilder::makePDF(editor)).height, 550 * 72 / 300.0, 0.01);
}

// The first frame of a multi-frame file, the orientation tag and the scaling of a large image to
// 4096 pixels are shown end to end, where the output's text and page size prove which frame went
// in, which way up and at what size (ImageInput).

// What a killed run left in its private folder goes with the next run's first image; a living
// run's folder and a folder that only looks like ours stay. (Missing, full and read-only
// temporary folders are named end to end: CliFailures.)
TEST_F(ImagePDFBuilderTest, WhatAKilledRunLeftInTheTemporaryFolderGoes) {
    save(smallLinn(), fixture("page.png"));
    const QString parent = fixture("tmp");
    const auto leftover = [&](const QString& folder, const QString& file) {
        EXPECT_TRUE(QDir().mkpath(parent + "/" + folder));
        EXPECT_TRUE(test::writeFile(parent + "/" + folder + "/" + file, "%PDF-"));
        test::runProgram("touch", {"-d", "10 minutes ago", parent + "/" + folder});
    };
    leftover("quorvane-Ab12Cd", "quorvane-image-1.pdf"); // a killed run's
    leftover("quorvane-Ef34Gh", "quorvane-image-2.pdf"); // a living run's: locked
    leftover("quorvane-backup", "notes.txt");            // someone else's
    const int lock = ::open(QFile::encodeName(parent + "/quorvane-Ef34Gh").constData(), O_RDONLY | O_DIRECTORY);
    ASSERT_EQ(::flock(lock, LOCK_EX), 0);
    const test::ScopedEnvironment freshFolder("TMPDIR", QFile::encodeName(parent));
    QFile::remove(ImagePDFBuilder::makePDF(fixture("page.png")));
    ::close(lock);
    EXPECT_FALSE(QFileInfo::exists(parent + "/quorvane-Ab12Cd"));
    EXPECT_TRUE(QFileInfo::exists(parent + "/quorvane-Ef34Gh/quorvane-image-2.pdf"));
    EXPECT_TRUE(QFileInfo::exists(parent + "/quorvane-backup/notes.txt"));
}

// A TIFF converted on the only page thread there is (a preview on a one-core machine): that thread
// converts the pages itself rather than wait for others. Stopped on its way (its run cancelled),
// the conversion makes no file and leaves nothing.
TEST_F(ImagePDFBuilderTest, ATiffConvertsOnTheOnlyPageThreadAndStopsWhenAsked) {
    const VImage page = smallLinn();
    const QString stack = fixture("stack.tif");
    save(VImage::arrayjoin({page, page, page}, VImage::option()->set("across", 1)), stack,
         VImage::option()->set("page_height", page.height()));
    setPageThreadCount(1);
    const QFuture<QString> made =
        QtConcurrent::run(pageTaskPool(), [&] { return ImagePDFBuilder::makePDF(stack); });
    for (int waited = 0; waited < 600 && !made.isFinished(); ++waited) {
        QThread::msleep(100);
    }
    setPageThreadCount(availableCores());
    ASSERT_TRUE(made.isFinished()) << "the page thread waits for itself";
    EXPECT_EQ(test::pdfPageCount(made.result()), 3);
    QFile::remove(made.result());

    std::atomic<int> asked = 0;
    EXPECT_EQ(ImagePDFBuilder::makePDF(stack, [&] { return ++asked > 1; }), QString());
    EXPECT_EQ(test::filesIn(PrivateTemporaryFolder::path()), QStringList());
}

// A file saved over under its own name, as a scanner saves its next scan, is read afresh: its new
// resolution and its new pages. (Several images made at once: ImageInput, a batch of five.)
TEST_F(ImagePDFBuilderTest, AFileReplacedUnderTheSameNameIsReadAfresh) {
    const VImage page = linn().resize(0.1); // 255 pixels across, at 300 DPI
    save(page, fixture("scan.png"));
    EXPECT_NEAR(readImagePage(ImagePDFBuilder::makePDF(fixture("scan.png"))).width, 61.2, 1e-3);
    save(page.copy(VImage::option()->set("xres", 150 / 25.4)->set("yres", 150 / 25.4)), fixture("scan.png"));
    EXPECT_NEAR(readImagePage(ImagePDFBuilder::makePDF(fixture("scan.png"))).width, 122.4, 1e-3);

    save(page, fixture("scan.tif"));
    EXPECT_EQ(ImagePDFBuilder::pageCount(fixture("scan.tif")), 1);
    save(VImage::arrayjoin({page, page}, VImage::option()->set("across", 1)), fixture("scan.tif"),
         VImage::option()->set("page_height", page.height()));
    EXPECT_EQ(ImagePDFBuilder::pageCount(fixture("scan.tif")), 2);
    EXPECT_EQ(test::pdfPageCount(ImagePDFBuilder::makePDF(fixture("scan.tif"))), 2);
}
