// quorvane-cli on pages that need correcting: linn.png turned by 90 degrees in its pixels and by
// 270 by the page's /Rotate (a /Rotate 90 within a crop box is ScannedPdf's), tilted by 4 degrees,
// the corpus's skew.pdf (tilted by about 2), a keystoned and tilted sheet of prose, and a tinted
// colour photo of linn.png taken at an angle (made by ImageMagick). A page here costs up to three
// readings, so the other turns and tilts are left to CorrectionsCorpus, which reads each once on
// the engine. Every output page must be upright, searchable (word recall), and carry its
// text layer on the words as a reader sees them (pdftotext -bbox against Tesseract on the page
// rendered by pdftoppm). The pages travel in a few multi-page documents run at the same time,
// and a document's pages are checked as soon as its run ends.

#include "e2e/CliSupport.h"
#include "support/PdfBuilder.h"
#include "support/PdfReaders.h"
#include "support/RasterFixtures.h"
#include "support/TestSupport.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentMap>
#include <gtest/gtest.h>

using namespace quorvane;
using namespace quorvane::test;

namespace {

struct ExpectedPage {
    QString name;
    QString truth;       // the words the page shows
    double uprightWidth; // points: the width of the page shown upright, before any deskew
    bool deskewed = false;
};

struct Document {
    QString path;
    std::vector<FixturePage> pages;
    QList<ExpectedPage> expected;
    int rotated = 0;     // pages the summary must count as turned upright
    int perspective = 0; // and as straightened photographs
};

struct CheckedPage {
    ExpectedPage expected;
    QString info; // pdfinfo -box of the page
    double recall = 0;
    Placement placement;
};

double points(int pixels) {
    return pixels * 72.0 / 300;
}

// The indented result lines quorvane-cli printed under "SOURCE -> OUTPUT".
QString summaryOf(const QString& standardOutput, const QString& source) {
    QStringList lines;
    bool inside = false;
    for (const auto& line : standardOutput.split('\n')) {
        if (line.startsWith(source + " -> ")) {
            inside = true;
        } else if (inside && line.startsWith("  ")) {
            lines << line.trimmed();
        } else {
            inside = false;
        }
    }
    return lines.join('\n');
}

} // namespace

TEST(PageCorrections, TurnedTiltedAndPhotographedPagesComeOutUprightWithTheirTextOnTheWords) {
    const Raster linn = corpusRaster("linn.png");
    ASSERT_FALSE(linn.empty());
    const QString linnText = readTextFile(corpusPath("linn.txt"));
    QTemporaryDir folder;
    const QString outputs = folder.filePath("out");

    // Photographed from the near edge, slightly tilted: a sheet of ragged prose, whose left margin
    // alone shows the keystone.
    const Raster photographed = tiltedPage(keystonedPage(proseSheet(), 0.12, 0.04), 2);
    const QString sheetText = proseLines.join('\n');
    QList<Document> documents = {
        {folder.filePath("turned.pdf"),
         {scanPage(turnedPage(linn, 1)), scanPage(linn, 270)},
         {{"pixels turned 90", linnText, 612}, {"/Rotate 270", linnText, 612}},
         2,
         0},
        {folder.filePath("tilted.pdf"), {}, {}, 0, 1},
    };
    const Raster tilted = tiltedPage(linn, 4);
    documents[1].pages = {scanPage(tilted), scanPage(photographed)};
    documents[1].expected = {{"tilted 4", linnText, points(tilted.cols), true},
                             {"photographed prose", sheetText, points(photographed.cols), true}};
    for (const auto& document : documents) {
        ASSERT_TRUE(writePdf(document.path, document.pages)) << document.path.toStdString();
    }
    documents << Document{
        copyCorpusFile("skew.pdf", folder.path()), {}, {{"skew.pdf", linnText, 612, true}}, 0, 0};
    // Its top edge a fifth narrower than its foot and 2% lower, on a brown desk, in sepia.
    const QString photo = folder.filePath("photo.jpg");
    const auto convert = runProgram(
        "convert", {corpusPath("linn.png"), "-colorspace", "sRGB", "-type", "TrueColor", "+level-colors",
                    "#2a2018,#f2e4c4", "-virtual-pixel", "background", "-background", "#5e4c3a", "-distort",
                    "Perspective", "0,0 255,66  2550,0 2295,66  2550,3300 2550,3300  0,3300 0,3300",
                    "-quality", "85", photo});
    ASSERT_EQ(convert.exitCode, 0) << convert.standardError.toStdString();
    documents << Document{photo, {}, {{"colour photo", linnText, 612}}, 0, 1};

    // One run per document, so that each prints its full result lines, all at the same time (the
    // documents differ much in cost); each document's pages are checked as soon as its run ends.
    struct Outcome {
        CliRun run;
        QList<CheckedPage> pages;
    };
    QThreadPool allAtOnce;
    allAtOnce.setMaxThreadCount(int(documents.size()));
    const QList<Outcome> outcomes =
        QtConcurrent::blockingMapped(&allAtOnce, documents, [&](const Document& document) {
            Outcome outcome{runCli(englishOnlyArguments + QStringList{"-o", outputs, document.path}), {}};
            const QString pdf = searchableOutput(outputs, document.path);
            for (int page = 1; page <= document.expected.size(); ++page) {
                const QString number = QString::number(page);
                CheckedPage checked{
                    document.expected[page - 1],
                    runProgram("pdfinfo", {"-box", "-f", number, "-l", number, pdf}).standardOutput};
                checked.recall = wordRecall(pdfText(pdf, page), checked.expected.truth);
                checked.placement = comparePlacement(pdfWords(pdf, page), seenWords(pdf, page));
                outcome.pages << checked;
            }
            return outcome;
        });

    QList<CheckedPage> checked;
    for (int i = 0; i < documents.size(); ++i) {
        const auto& document = documents[i];
        const auto& run = outcomes[i].run;
        const QString summary = summaryOf(run.result.standardOutput, document.path);
        SCOPED_TRACE((document.path + ":\n" + summary).toStdString());
        ASSERT_EQ(run.result.exitCode, 0) << run.result.standardError.toStdString();
        EXPECT_TRUE(run.leftoverTemporaryFiles.isEmpty());
        EXPECT_TRUE(summary.contains(
            QStringLiteral("%1 page(s) recognized, 0 skipped").arg(document.expected.size())));
        const auto hasCount = [&](const QString& what, int count) {
            return count == 0 ? !summary.contains(what)
                              : summary.contains(QStringLiteral("%1 page(s) %2").arg(count).arg(what));
        };
        EXPECT_TRUE(hasCount("were sideways or upside-down and have been saved upright.", document.rotated));
        EXPECT_TRUE(hasCount("were captured at an angle and have been straightened.", document.perspective));
        checked << outcomes[i].pages;
    }
    // Stored as a photo is: no bigger than half as much again.
    EXPECT_LE(QFileInfo(searchableOutput(outputs, photo)).size(), 1.5 * QFileInfo(photo).size());

    static const QRegularExpression sizeLine(R"(Page +\d+ size: +([\d.]+) x ([\d.]+) pts)");
    static const QRegularExpression rotationLine(R"(Page +\d+ rot: +(\d+))");
    for (const auto& page : checked) {
        const auto& p = page.placement;
        SCOPED_TRACE(page.expected.name.toStdString());
        const auto size = sizeLine.match(page.info);
        const auto rotation = rotationLine.match(page.info);
        ASSERT_TRUE(size.hasMatch() && rotation.hasMatch()) << page.info.toStdString();
        const double width = size.captured(1).toDouble(), height = size.captured(2).toDouble();

        // Upright: shown without rotation, in portrait, and read along horizontal lines.
        EXPECT_EQ(rotation.captured(1), "0");
        EXPECT_GT(height, width);
        EXPECT_GE(p.uprightShare(), 0.95);
        // A deskewed page is placed on a canvas that holds it turned back.
        if (page.expected.deskewed) {
            EXPECT_GT(width, page.expected.uprightWidth + 1);
        } else {
            EXPECT_NEAR(width, page.expected.uprightWidth, 0.5);
        }

        EXPECT_GE(page.recall, 0.95);
        EXPECT_GE(p.matched, page.expected.truth == linnText ? 100 : 25);
        EXPECT_GE(p.onInkShare(), 0.9);
    }
}
