// The preprocessing preview with the real engine and Tesseract: the processed pane's header and
// note for the switches tried, page navigation, the region drawn with the mouse, the files that
// cannot be previewed, and the temporary PDF of an image source.

#include "app/PreprocessingPreviewView.h"
#include "app/PreviewImagePane.h"
#include "pipeline/PageTaskPool.h"
#include "platform/TesseractOCRService.h"
#include "support/EventLoop.h"
#include "support/PdfBuilder.h"
#include "support/RasterFixtures.h"
#include "support/ScriptedRecognizer.h"
#include "support/TestSupport.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <thread>
#include <tiffio.h>
#include <vips/vips8>

using namespace quorvane;
using namespace std::chrono_literals;
using Trial = PreprocessingPreviewModel::Trial;
using vips::VImage;

namespace {

struct Preview {
    PreprocessingPreviewView view;

    Preview(const QString& file, const Trial& trial)
        : view(file, trial, test::englishOnly(), std::make_shared<const TesseractOCRService>(), {}) {}

    PreprocessingPreviewModel& model() { return view.model(); }
    bool settle() {
        return test::runUntil([&] { return !model().isRendering() && (model().processedImage() || model().errorMessage()); },
                              120s);
    }
    QString text(const char* label) { return view.findChild<QLabel*>(label)->text(); }
    void drag(QPointF from, QPointF to) {
        PreviewImagePane& pane = view.processedPane();
        QTest::mousePress(&pane, Qt::LeftButton, {}, from.toPoint());
        QTest::mouseMove(&pane, to.toPoint());
        QTest::mouseRelease(&pane, Qt::LeftButton, {}, to.toPoint());
    }
};

constexpr Trial switchesOff{PreprocessStrength::conservative, false, false, false};

} // namespace

TEST(PreprocessingPreview, OnePagePdfWithEverySwitchOffChangesOnlyTonesAndTakesARegionDrawnOverIt) {
    QTemporaryDir folder;
    Preview preview(test::smallScan(folder.path(), "memo.pdf"), switchesOff);
    ASSERT_TRUE(preview.settle());
    auto& model = preview.model();
    EXPECT_EQ(model.fileName(), QStringLiteral("memo.pdf"));
    EXPECT_EQ(model.processedHeader(), QStringLiteral("After preprocessing"));
    EXPECT_EQ(model.note(), QStringLiteral("Preview only \u2014 preprocessing changes tones, never page geometry."));
    ASSERT_TRUE(model.originalImage());
    EXPECT_EQ(model.originalImage()->cols, 637); // 4.25 inches at 150 DPI
    EXPECT_EQ(model.processedImage()->size, model.originalImage()->size);

    // One page: neither way leads anywhere, and nothing is rendered again.
    EXPECT_EQ(preview.text("pageLabel"), QStringLiteral("Page 1 of 1"));
    EXPECT_FALSE(preview.view.findChild<QPushButton*>("nextPage")->isEnabled());
    model.changePage(1);
    model.changePage(-1);
    EXPECT_EQ(model.pageIndex(), 0);
    EXPECT_FALSE(model.isRendering());

    // A region dragged over the middle of the page; a slip of the mouse afterwards keeps it.
    preview.view.resize(980, 720);
    preview.view.show();
    preview.view.findChild<QCheckBox*>("previewRegion")->setChecked(true);
    EXPECT_EQ(preview.text("regionText"), PreprocessingPreviewView::regionHint);
    EXPECT_EQ(preview.view.processButtonText(), QStringLiteral("Process this file now"));
    const Rect shown = preview.view.processedPane().imageRect();
    ASSERT_FALSE(shown.isEmpty());
    const auto at = [&](double x, double y) { return QPointF(shown.x + x * shown.width, shown.y + y * shown.height); };
    preview.drag(at(0.75, 0.25), at(0.25, 0.75));
    ASSERT_TRUE(model.region());
    EXPECT_NEAR(model.region()->x, 0.25, 0.01);
    EXPECT_NEAR(model.region()->y, 0.25, 0.01);
    EXPECT_NEAR(model.region()->width, 0.5, 0.01);
    EXPECT_EQ(preview.text("regionText"), QStringLiteral("region 50%\u00d750%"));
    const Rect drawn = *model.region();
    preview.drag(at(0.5, 0.5), at(0.5 + 2 / shown.width, 0.6)); // two pixels wide
    EXPECT_EQ(model.region(), drawn);

    EXPECT_EQ(preview.view.processButtonText(), QStringLiteral("Process this file (region only)"));
    preview.view.processNow();
    EXPECT_FALSE(preview.view.isVisible());
}

// The page shows as soon as it is rendered, while its corrections, which may take many seconds,
// are still worked out; the last page's corrections are not shown beside the next page, and a
// preview closed meanwhile starts no further correction.
TEST(PreprocessingPreview, ThePageShowsBeforeItsCorrectionsAreWorkedOut) {
    QTemporaryDir folder;
    const QString file = folder.filePath("two pages.pdf");
    ASSERT_TRUE(test::writePdf(file, {test::numberedPage(1), test::numberedPage(2)}));
    std::atomic<bool> recognitionMayEnd{false};
    const auto slowRecognizer = std::make_shared<const test::ScriptedRecognizer>([&](const auto&) {
        while (!recognitionMayEnd) {
            std::this_thread::sleep_for(10ms);
        }
        return std::vector<OCRLine>{};
    });
    const auto release = qScopeGuard([&] {
        recognitionMayEnd = true;
        pageTaskPool()->waitForDone();
    });
    PreprocessingPreviewView view(file, {PreprocessStrength::conservative, false, true, true},
                                  test::englishOnly(), slowRecognizer, {});
    ASSERT_TRUE(test::runUntil([&] { return view.model().originalImage().has_value(); }, 60s));
    EXPECT_TRUE(view.model().isRendering());
    recognitionMayEnd = true;
    ASSERT_TRUE(test::runUntil([&] { return view.model().processedImage().has_value(); }, 60s));

    recognitionMayEnd = false;
    const uchar* firstPage = view.model().originalImage()->data;
    view.model().changePage(1);
    ASSERT_TRUE(test::runUntil([&] { return view.model().originalImage()->data != firstPage; }, 60s));
    EXPECT_FALSE(view.model().processedImage().has_value());

    // Closed while the second page is deskewed: its perspective is not looked for.
    ASSERT_TRUE(test::runUntil([&] { return slowRecognizer->recognitions() == 3; }, 60s));
    view.model().close();
    recognitionMayEnd = true;
    pageTaskPool()->waitForDone();
    EXPECT_EQ(slowRecognizer->recognitions(), 3);
}

// A TIFF's pages are converted one at a time as they are shown: a damaged last page leaves the
// first one to show, and says so when it is reached, as the pipeline would refuse the file.
TEST(PreprocessingPreview, ImagePagesTurnedAndTiltedAreStraightenedOneAtATimeAndLeaveNoTemporaryPdf) {
    QTemporaryDir folder, temporaryFiles;
    const test::ScopedEnvironment privateTemporaryFolder("TMPDIR", temporaryFiles.path().toLocal8Bit());
    const QString image = folder.filePath("upside-down.tif"), png = folder.filePath("page.png");
    ASSERT_TRUE(
        test::imageFromRaster(test::tiltedPage(test::turnedPage(test::proseSheet(), 2), 2.0)).save(png));
    ASSERT_EQ(VIPS_INIT("PreprocessingPreviewTest"), 0);
    const VImage page = VImage::new_from_file(QFile::encodeName(png).constData());
    VImage::arrayjoin({page, page, page}, VImage::option()->set("across", 1))
        .tiffsave(QFile::encodeName(image).constData(),
                  VImage::option()
                      ->set("page_height", page.height())
                      ->set("compression", VIPS_FOREIGN_TIFF_COMPRESSION_DEFLATE));
    {
        TIFF* tiff = TIFFOpen(QFile::encodeName(image).constData(), "r");
        uint64_t* strips = nullptr;
        ASSERT_TRUE(tiff && TIFFSetDirectory(tiff, 2) && TIFFGetField(tiff, TIFFTAG_STRIPOFFSETS, &strips));
        const qint64 lastPage = qint64(strips[0]);
        TIFFClose(tiff);
        QFile file(image);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite) && file.seek(lastPage));
        file.write(QByteArray(64, '\xff'));
    }
    {
        Preview preview(image, {PreprocessStrength::conservative, true, true, false});
        ASSERT_TRUE(preview.settle());
        EXPECT_EQ(preview.text("pageLabel"), QStringLiteral("Page 1 of 3"));
        EXPECT_EQ(preview.model().processedHeader(),
                  QStringLiteral("After preprocessing \u00b7 rotated 180\u00b0, deskewed 2.0\u00b0"));
        EXPECT_EQ(test::filesUnder(temporaryFiles.path()), QStringList());
        preview.model().changePage(2);
        ASSERT_TRUE(test::runUntil([&] { return preview.model().errorMessage().has_value(); }, 60s));
        EXPECT_EQ(preview.model().errorMessage(), PreprocessingPreviewModel::imageFailedMessage);
        EXPECT_FALSE(preview.model().isRendering());
    }
    // Closed while a page is converted: its temporary PDF goes too.
    {
        Preview closing(image, switchesOff);
        ASSERT_TRUE(closing.settle());
        closing.model().changePage(1);
        closing.view.reject();
        pageTaskPool()->waitForDone();
    }
    EXPECT_EQ(test::filesUnder(temporaryFiles.path()), QStringList());
}

TEST(PreprocessingPreview, FilesThatCannotBePreviewedSayWhy) {
    QTemporaryDir folder;
    const QString locked = test::smallScan(folder.path(), "locked.pdf", "secret");
    test::writeFile(folder.filePath("broken.png"), "not a picture");
    const std::pair<QString, QString> cases[] = {
        {locked, PreprocessingPreviewModel::passwordMessage},
        {test::corpusPath("invalid.pdf"), PreprocessingPreviewModel::cannotOpenMessage},
        {folder.filePath("broken.png"), PreprocessingPreviewModel::imageFailedMessage},
    };
    for (const auto& [file, message] : cases) {
        Preview preview(file, switchesOff);
        ASSERT_TRUE(preview.settle()) << file.toStdString();
        EXPECT_EQ(preview.model().errorMessage(), message) << file.toStdString();
        EXPECT_EQ(preview.text("previewError"), message);
        EXPECT_FALSE(preview.view.findChild<QPushButton*>("processNow")->isEnabled());
    }
}
