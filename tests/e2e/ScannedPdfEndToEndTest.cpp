// quorvane-cli on real scanned PDFs, its output read back with poppler-utils and qpdf.

#include "e2e/CliSupport.h"
#include "support/PdfBuilder.h"
#include "support/PdfReaders.h"
#include "support/RasterFixtures.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QPainter>
#include <QTransform>
#include <gtest/gtest.h>

using namespace quorvane::test;

namespace {

class CorpusScan : public ::testing::TestWithParam<const char*> {};

} // namespace

TEST_P(CorpusScan, BecomesSearchableWithItsImageUntouched) {
    QTemporaryDir folder;
    const QString source = copyCorpusFile(GetParam(), folder.path());
    const QString outputs = folder.filePath("out");
    const QByteArray sourceBytes = readBytes(source);
    ASSERT_TRUE(QFile::setPermissions(source, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));

    const auto run = runCli(englishOnlyArguments + QStringList{"--sidecar", "-o", outputs, source});
    ASSERT_EQ(run.result.exitCode, 0) << run.result.standardError.toStdString();
    const QString output = searchableOutput(outputs, source);
    const QString sidecar = QFileInfo(output).path() + "/" + QFileInfo(output).completeBaseName() + ".txt";
    ASSERT_TRUE(QFile::exists(output));
    EXPECT_TRUE(run.result.standardOutput.contains("1 page(s) recognized, 0 skipped (already had text)."));

    EXPECT_GE(wordRecall(pdfText(output), readTextFile(corpusPath("linn.txt"))), 0.97);
    // The two columns between the headings and lists across the page are read one after the
    // other, in the text layer and in its copy.
    EXPECT_GE(wordOrder(output, corpusPath("linn.txt")), 0.98);
    EXPECT_GE(wordOrder(output, corpusPath("linn.txt"), sidecar), 0.98);
    expectCleanPdf(output);

    EXPECT_EQ(pdfPageCount(output), 1);
    const PdfPageInfo info = pdfPageInfo(output, 1);
    EXPECT_EQ(info.rotation, 0);
    for (const char* box : {"MediaBox", "CropBox", "BleedBox", "TrimBox", "ArtBox"}) {
        EXPECT_EQ(info.boxes.value(box), (quorvane::Rect{0, 0, 612, 792})) << box;
    }
    const auto before = imageStreams(source);
    const auto after = imageStreams(output);
    ASSERT_EQ(before.size(), 1);
    EXPECT_TRUE(after.contains(before.first())) << "the scan's image must be carried over byte for byte";

    EXPECT_EQ(QDir(outputs).entryList(QDir::Files | QDir::Hidden, QDir::Name),
              (QStringList{QFileInfo(output).fileName(), QFileInfo(sidecar).fileName()}));
    EXPECT_TRUE(run.leftoverTemporaryFiles.isEmpty()) << run.leftoverTemporaryFiles.join(", ").toStdString();
    EXPECT_EQ(readBytes(source), sourceBytes);
    for (const QString& copy : {output, sidecar}) { // no more readers than the source has
        EXPECT_FALSE(QFile::permissions(copy) & (QFile::ReadOther | QFile::WriteOther)) << copy.toStdString();
        EXPECT_TRUE(QFile::permissions(copy) & QFile::WriteOwner) << copy.toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(Encodings, CorpusScan, ::testing::Values("linn.pdf", "ccitt.pdf", "jbig2.pdf"),
                         [](const auto& info) { return QFileInfo(info.param).baseName().toStdString(); });

// Flat scans of different layouts, pieced together from the corpus's pages: a centred title in
// larger type over text across the page, with short last lines and, far below, a list in smaller
// type under a heading (whose line heights once made the page pass for a photograph); two
// columns; a map beside a column of text. With every correction on, none is taken for a
// photograph: each output page still shows its source's scan, unchanged.
TEST(ScannedPdf, FlatPagesOfManyLayoutsKeepTheirScans) {
    const QImage linn(corpusPath("linn.png"));
    const QImage map = QImage(corpusPath("baiona.png")).scaled(1280, 1364);
    ASSERT_FALSE(linn.isNull() || map.isNull());
    // Parts of pages, drawn at a place of a blank page.
    struct Piece {
        QImage image;
        QRect from;
        QPoint to;
    };
    const QRect titleAndList(0, 219, 2550, 1041), columns(0, 1270, 2550, 990), list(0, 2270, 2550, 543),
        leftColumn(330, 1270, 930, 990);
    const std::vector<std::vector<Piece>> layouts{
        {{linn, titleAndList, {0, 200}}, {linn, list, {0, 2400}}},
        {{linn, columns, {0, 300}}},
        {{map, map.rect(), {150, 300}}, {linn, leftColumn, {1450, 300}}},
    };
    std::vector<FixturePage> pages;
    for (const auto& layout : layouts) {
        QImage page(2550, 3300, QImage::Format_Grayscale8);
        page.fill(Qt::white);
        QPainter painter(&page);
        for (const auto& piece : layout) {
            painter.drawImage(piece.to, piece.image, piece.from);
        }
        painter.end();
        pages.push_back({.image = page});
    }
    QTemporaryDir folder;
    const QString source = folder.filePath("layouts.pdf");
    ASSERT_TRUE(writePdf(source, pages));

    const auto run = runCli(englishOnlyArguments + QStringList{source});
    ASSERT_EQ(run.result.exitCode, 0) << run.result.standardError.toStdString();
    EXPECT_TRUE(run.result.standardOutput.contains("3 page(s) recognized, 0 skipped"));
    EXPECT_FALSE(run.result.standardOutput.contains("captured at an angle"))
        << run.result.standardOutput.toStdString();
    const QString output = folder.filePath("layouts_searchable.pdf");
    EXPECT_EQ(imageList(output), imageList(source));
    EXPECT_EQ(imageList(source).size(), 3);
    const auto written = imageStreams(output);
    for (const auto& scan : imageStreams(source)) {
        EXPECT_TRUE(written.contains(scan));
    }
}

// A page turned by /Rotate 90 with a crop box away from the origin: the output page is upright,
// its boxes are the displayed size, and the text layer lies where the reader saw the words.
TEST(ScannedPdf, RotatedAndCroppedPageComesOutUprightWithTextInPlace) {
    const double dpi = 300;
    const quorvane::Rect crop{50, 60, 512, 672}; // points; displayed turned: 672 wide, 512 high
    const QSize displayPixels(qRound(crop.height * dpi / 72), qRound(crop.width * dpi / 72));
    const QRect wordPixels(300, 400, 1400, 110);
    const QImage display = renderWords(displayPixels, {{wordPixels, "Harbour committee minutes"},
                                                       {QRect(300, 800, 2000, 90), "The keeper reported on the registers."}});
    // The page stores its content unturned: the reader turns it a quarter clockwise.
    const QImage stored = display.transformed(QTransform().rotate(-90));

    QTemporaryDir folder;
    const QString source = folder.filePath("turned.pdf");
    ASSERT_TRUE(writePdf(source, {{.cropBox = crop, .rotate = 90, .image = stored, .imageRect = crop}}));
    const auto run = runCli(englishOnlyArguments + QStringList{"--no-rotate", source});
    ASSERT_EQ(run.result.exitCode, 0) << run.result.standardError.toStdString();
    const QString output = folder.filePath("turned_searchable.pdf");

    const PdfPageInfo info = pdfPageInfo(output, 1);
    EXPECT_EQ(info.rotation, 0);
    EXPECT_EQ(info.boxes.value("MediaBox"), (quorvane::Rect{0, 0, 672, 512}));
    EXPECT_EQ(info.boxes.value("CropBox"), (quorvane::Rect{0, 0, 672, 512}));

    const QRectF expected(wordPixels.x() * 72 / dpi, wordPixels.y() * 72 / dpi, wordPixels.width() * 72 / dpi,
                          wordPixels.height() * 72 / dpi);
    const auto word = findWord(pdfWords(output, 1), "committee");
    ASSERT_TRUE(word) << pdfText(output).toStdString();
    EXPECT_TRUE(expected.adjusted(-4, -4, 4, 4).contains(word->box().center()))
        << "word at " << word->xMin << "," << word->yMin;
}

// Script detection takes a French page for any Latin one and reads it with English first; the
// language of the text read tells French, and the page is read again in French with its accents.
TEST(ScannedPdf, AFrenchPageIsReadInFrenchWithItsAccents) {
    QTemporaryDir folder;
    QStringList lines{""};
    for (const auto& word : readTextFile(QUORVANE_SOURCE_DIR "/bench/pages/fr.txt").simplified().split(' ')) {
        if (lines.last().size() + word.size() > 60) {
            lines.append(QString());
        }
        lines.last() += (lines.last().isEmpty() ? "" : " ") + word;
    }
    const QString scan = folder.filePath("veillée.pdf");
    savePdf(*buildPdf({{.image = renderParagraph({2550, 3300}, lines, 40)}}), scan);

    const auto run = runCli({"--no-rotate", "--no-deskew", "--no-perspective", scan});
    ASSERT_EQ(run.result.exitCode, 0) << run.result.standardError.toStdString();
    const QString text = pdfText(searchableOutput(folder.path(), scan));
    for (const char* word : {"bûches", "l'âtre", "l'île", "l'été", "côté", "fenêtre"}) {
        EXPECT_TRUE(text.contains(QString::fromUtf8(word))) << word << "\n" << text.toStdString();
    }
}
