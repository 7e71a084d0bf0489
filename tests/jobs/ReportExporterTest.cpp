#include "jobs/ReportExporter.h"

#include "core/OCRError.h"
#include "support/TestSupport.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTimeZone>
#include <cmath>
#include <gtest/gtest.h>

using namespace quorvane;
namespace Report = quorvane::ReportExporter;

namespace {

DocumentSummary processedSummary() {
    return {.outputURL = "/out/a, b_searchable.pdf",
            .sidecarURL = "/out/a.txt",
            .sidecarError = "disk full", // the document's row says what its output lacks
            .processedPages = 3,
            .skippedPages = 1,
            .averageConfidence = 0.9312f,
            .lowConfidencePages = 1,
            .lowDPIPages = 2,
            .rotatedPages = 1,
            .deskewedPages = 2};
}

BatchItem item(const QString& source, const ItemStatus& status) {
    auto item = BatchItem::queued(source);
    item.status = status;
    return item;
}

// Every kind of row, with sources that need CSV quoting and JSON escaping.
QList<BatchItem> sampleQueue() {
    return {
        item("/scans/a, b.pdf", ItemStatus::done(processedSummary())),
        item("/scans/has text.pdf", ItemStatus::done(DocumentSummary{.skippedPages = 4})),
        item("/scans/say \"hi\".pdf", ItemStatus::failed("Line one\nline two", OCRError::Kind::cannotOpenPDF)),
        item("/scans/c.pdf", ItemStatus::skippedExisting("/scans/c_searchable.pdf")),
        item("/scans/d.png", ItemStatus::processing("Page 2 of 5")),
        item("/scans/e.tif", ItemStatus::cancelled()),
        item("/scans/f\r.pdf", ItemStatus::pending()),
    };
}

const QDateTime generated(QDate(2026, 3, 1), QTime(10, 15, 0), QTimeZone(3600)); // 09:15 UTC

} // namespace

// Every field of every kind of row, quoted where RFC 4180 needs it, in UTF-8.
TEST(ReportExporter, CSVBytesAreExact) {
    auto queue = sampleQueue();
    queue.append(item(QString::fromUtf8("/scans/\u00c9lan \u00fcn\u00efcode.pdf"), ItemStatus::cancelled()));
    const auto bytes = Report::data(Report::Format::csv, queue, generated);
    const QByteArray expected =
        "source,status,processedPages,skippedPages,averageConfidence,lowConfidencePages,lowDPIPages,"
        "rotatedPages,deskewedPages,perspectiveCorrectedPages,output,sidecar,error,errorKind\n"
        "\"/scans/a, b.pdf\",processed,3,1,0.9312,1,2,1,2,0,\"/out/a, b_searchable.pdf\",/out/a.txt,"
        "the .txt copy could not be saved: disk full,\n"
        "/scans/has text.pdf,already-searchable,0,4,,0,0,0,0,0,,,,\n"
        "\"/scans/say \"\"hi\"\".pdf\",failed,0,0,,0,0,0,0,0,,,\"Line one\nline two\",cannotOpenPDF\n"
        "/scans/c.pdf,skipped-existing,0,0,,0,0,0,0,0,/scans/c_searchable.pdf,,,\n"
        "/scans/d.png,pending,0,0,,0,0,0,0,0,,,,\n"
        "/scans/e.tif,cancelled,0,0,,0,0,0,0,0,,,,\n"
        "\"/scans/f\r.pdf\",pending,0,0,,0,0,0,0,0,,,,\n"
        "/scans/\xc3\x89lan \xc3\xbcn\xc3\xaf" "code.pdf,cancelled,0,0,,0,0,0,0,0,,,,\n";
    EXPECT_EQ(bytes, expected);
}

// Read back: the time in UTC, and absent values left out rather than null.
TEST(ReportExporter, JSONRowsReadBackWithoutNulls) {
    const QByteArray text = Report::data(Report::Format::json, {sampleQueue()[0], sampleQueue()[2]}, generated);
    EXPECT_EQ(QJsonDocument::fromJson(text).object()["generatedAt"].toString(), "2026-03-01T09:15:00Z");
    const QJsonArray rows = QJsonDocument::fromJson(text).object()["documents"].toArray();
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows[0].toObject()["error"].toString(), "the .txt copy could not be saved: disk full");
    EXPECT_FALSE(rows[0].toObject().contains("errorKind"));
    const QJsonObject failed = rows[1].toObject();
    EXPECT_EQ(failed.keys(), (QStringList{"deskewedPages", "error", "errorKind", "lowConfidencePages", "lowDPIPages",
                                          "perspectiveCorrectedPages", "processedPages", "rotatedPages",
                                          "skippedPages", "source", "status"}));
    EXPECT_EQ(failed["errorKind"].toString(), "cannotOpenPDF");
}

// Control characters are \u escapes, and a whole confidence prints without a fraction.
TEST(ReportExporter, JSONEscapesControlCharactersAndPrintsWholeNumbersPlainly) {
    auto whole = ItemStatus::done(processedSummary());
    whole.summary.averageConfidence = 1.0f;
    const auto text =
        Report::data(Report::Format::json, {item(QString::fromUtf8("/scans/tab\there\x01 ünï.pdf"), whole)}, generated);
    EXPECT_TRUE(text.contains("\"averageConfidence\" : 1,\n")) << text.constData();
    EXPECT_TRUE(text.contains("tab\\there\\u0001 \xc3\xbcn\xc3\xaf.pdf")) << text.constData();
    EXPECT_EQ(QJsonDocument::fromJson(text).object()["documents"].toArray()[0].toObject()["source"].toString(),
              QString::fromUtf8("/scans/tab\there\x01 ünï.pdf"));
}

TEST(ReportExporter, ConfidenceThatIsNoNumberFailsOnlyForJSON) {
    auto status = ItemStatus::done(processedSummary());
    status.summary.averageConfidence = std::nanf("");
    const QList<BatchItem> queue{item("/scans/odd.pdf", status)};
    EXPECT_THROW(Report::data(Report::Format::json, queue, generated), PlatformError);
    EXPECT_NO_THROW(Report::data(Report::Format::csv, queue, generated));
}

// Also through a link, which stays a link to the report.
TEST(ReportExporter, WritingReplacesTheFileOrSaysWhyNot) {
    QTemporaryDir dir;
    const auto target = dir.filePath("kept.json"), path = dir.filePath("report.json");
    ASSERT_TRUE(test::writeFile(target, QByteArray(10000, 'x')));
    ASSERT_TRUE(QFile::link(target, path));
    Report::write(path, Report::Format::json, sampleQueue(), generated);
    EXPECT_EQ(test::readBytes(target), Report::data(Report::Format::json, sampleQueue(), generated));
    EXPECT_TRUE(QFileInfo(path).isSymLink());

    try {
        Report::write(dir.filePath("missing/folder/report.csv"), Report::Format::csv, sampleQueue(), generated);
        FAIL() << "writing into a missing folder must fail";
    } catch (const PlatformError& error) {
        EXPECT_TRUE(error.message().contains("missing/folder/report.csv")) << error.what();
    }
}
