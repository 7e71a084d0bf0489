#include "jobs/ReportExporter.h"

#include "core/OCRError.h"

#include <QFile>
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
    DocumentSummary summary;
    summary.outputURL = "/out/a, b_searchable.pdf";
    summary.sidecarURL = "/out/a.txt";
    summary.sidecarError = "disk full"; // never part of the report
    summary.processedPages = 3;
    summary.skippedPages = 1;
    summary.averageConfidence = 0.9312f;
    summary.lowConfidencePages = 1;
    summary.lowDPIPages = 2;
    summary.rotatedPages = 1;
    summary.deskewedPages = 2;
    summary.perspectiveCorrectedPages = 0;
    return summary;
}

DocumentSummary alreadySearchableSummary() {
    DocumentSummary summary;
    summary.skippedPages = 4;
    summary.rotatedPages = 0;
    return summary;
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
        item("/scans/has text.pdf", ItemStatus::done(alreadySearchableSummary())),
        item("/scans/say \"hi\".pdf", ItemStatus::failed("Line one\nline two")),
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
        "rotatedPages,deskewedPages,perspectiveCorrectedPages,output,sidecar,error\n"
        "\"/scans/a, b.pdf\",processed,3,1,0.9312,1,2,1,2,0,\"/out/a, b_searchable.pdf\",/out/a.txt,\n"
        "/scans/has text.pdf,already-searchable,0,4,,0,0,0,0,0,,,\n"
        "\"/scans/say \"\"hi\"\".pdf\",failed,0,0,,0,0,0,0,0,,,\"Line one\nline two\"\n"
        "/scans/c.pdf,skipped-existing,0,0,,0,0,0,0,0,/scans/c_searchable.pdf,,\n"
        "/scans/d.png,pending,0,0,,0,0,0,0,0,,,\n"
        "/scans/e.tif,cancelled,0,0,,0,0,0,0,0,,,\n"
        "\"/scans/f\r.pdf\",pending,0,0,,0,0,0,0,0,,,\n"
        "/scans/\xc3\x89lan \xc3\xbcn\xc3\xaf" "code.pdf,cancelled,0,0,,0,0,0,0,0,,,\n";
    EXPECT_EQ(bytes, expected);

    EXPECT_EQ(Report::data(Report::Format::csv, {}, generated),
              "source,status,processedPages,skippedPages,averageConfidence,lowConfidencePages,lowDPIPages,"
              "rotatedPages,deskewedPages,perspectiveCorrectedPages,output,sidecar,error\n");
}

TEST(ReportExporter, JSONBytesAreExact) {
    const QList<BatchItem> queue{sampleQueue()[0], sampleQueue()[2]};
    const QByteArray expected = R"({
  "documents" : [
    {
      "averageConfidence" : 0.9312000274658203,
      "deskewedPages" : 2,
      "lowConfidencePages" : 1,
      "lowDPIPages" : 2,
      "output" : "\/out\/a, b_searchable.pdf",
      "perspectiveCorrectedPages" : 0,
      "processedPages" : 3,
      "rotatedPages" : 1,
      "sidecar" : "\/out\/a.txt",
      "skippedPages" : 1,
      "source" : "\/scans\/a, b.pdf",
      "status" : "processed"
    },
    {
      "deskewedPages" : 0,
      "error" : "Line one\nline two",
      "lowConfidencePages" : 0,
      "lowDPIPages" : 0,
      "perspectiveCorrectedPages" : 0,
      "processedPages" : 0,
      "rotatedPages" : 0,
      "skippedPages" : 0,
      "source" : "\/scans\/say \"hi\".pdf",
      "status" : "failed"
    }
  ],
  "generatedAt" : "2026-03-01T09:15:00Z"
})";
    EXPECT_EQ(Report::data(Report::Format::json, queue, generated), expected);

    EXPECT_EQ(Report::data(Report::Format::json, {}, generated),
              "{\n  \"documents\" : [\n\n  ],\n  \"generatedAt\" : \"2026-03-01T09:15:00Z\"\n}");
}

TEST(ReportExporter, JSONParsesBackFieldByField) {
    auto queue = sampleQueue();
    auto tab = ItemStatus::done(processedSummary());
    tab.summary.averageConfidence = 1.0f;
    queue.append(item(QString::fromUtf8("/scans/tab\there\x01 ünï.pdf"), tab));

    QJsonParseError error;
    const auto document = QJsonDocument::fromJson(Report::data(Report::Format::json, queue, generated), &error);
    ASSERT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString();
    const auto report = document.object();
    EXPECT_EQ(report.keys(), (QStringList{"documents", "generatedAt"}));
    EXPECT_EQ(report["generatedAt"].toString(), "2026-03-01T09:15:00Z");

    const auto documents = report["documents"].toArray();
    const auto rows = Report::rows(queue);
    ASSERT_EQ(documents.size(), rows.size());
    for (qsizetype i = 0; i < rows.size(); ++i) {
        const auto& row = rows[i];
        const auto object = documents[i].toObject();
        EXPECT_EQ(object["source"].toString(), row.source);
        EXPECT_EQ(object["status"].toString(), row.status);
        const std::pair<const char*, int> counts[] = {
            {"processedPages", row.processedPages},   {"skippedPages", row.skippedPages},
            {"lowConfidencePages", row.lowConfidencePages}, {"lowDPIPages", row.lowDPIPages},
            {"rotatedPages", row.rotatedPages},       {"deskewedPages", row.deskewedPages},
            {"perspectiveCorrectedPages", row.perspectiveCorrectedPages}};
        for (const auto& [key, value] : counts) {
            EXPECT_TRUE(object[key].isDouble()) << key;
            EXPECT_EQ(object[key].toInteger(-1), value) << key;
        }
        // Absent values have no key at all; present ones read back exactly.
        EXPECT_EQ(object.contains("averageConfidence"), row.averageConfidence.has_value());
        if (row.averageConfidence) {
            EXPECT_EQ(object["averageConfidence"].toDouble(), *row.averageConfidence);
        }
        const std::pair<const char*, std::optional<QString>> texts[] = {
            {"output", row.output}, {"sidecar", row.sidecar}, {"error", row.error}};
        for (const auto& [key, value] : texts) {
            EXPECT_EQ(object.contains(key), value.has_value()) << key;
            EXPECT_EQ(object[key].toString(), value.value_or("")) << key;
        }
        for (const auto& value : object) {
            EXPECT_FALSE(value.isNull());
        }
    }
    // Whole confidences print without a fraction; control characters as \u escapes.
    const auto text = Report::data(Report::Format::json, {queue.last()}, generated);
    EXPECT_TRUE(text.contains("\"averageConfidence\" : 1,\n")) << text.constData();
    EXPECT_TRUE(text.contains("tab\\there\\u0001 \xc3\xbcn\xc3\xaf.pdf")) << text.constData();
}

TEST(ReportExporter, ConfidenceThatIsNoNumberFailsOnlyForJSON) {
    auto status = ItemStatus::done(processedSummary());
    status.summary.averageConfidence = std::nanf("");
    const QList<BatchItem> queue{item("/scans/odd.pdf", status)};
    EXPECT_THROW(Report::data(Report::Format::json, queue, generated), PlatformError);
    EXPECT_NO_THROW(Report::data(Report::Format::csv, queue, generated));
}

TEST(ReportExporter, WritingReplacesTheFileOrSaysWhyNot) {
    QTemporaryDir dir;
    const auto path = dir.filePath("report.json");
    {
        QFile old(path);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write(QByteArray(10000, 'x'));
    }
    Report::write(path, Report::Format::json, sampleQueue(), generated);
    QFile written(path);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(written.readAll(), Report::data(Report::Format::json, sampleQueue(), generated));

    try {
        Report::write(dir.filePath("missing/folder/report.csv"), Report::Format::csv, sampleQueue(), generated);
        FAIL() << "writing into a missing folder must fail";
    } catch (const PlatformError& error) {
        EXPECT_TRUE(error.message().contains("missing/folder/report.csv")) << error.what();
    }
}

TEST(ReportExporter, FormatsAndFileNames) {
    EXPECT_EQ(Report::title(Report::Format::csv), "CSV");
    EXPECT_EQ(Report::title(Report::Format::json), "JSON");
    EXPECT_EQ(Report::formatFromRaw("json"), Report::Format::json);
    EXPECT_EQ(Report::formatFromRaw("JSON"), Report::Format::csv);
    EXPECT_EQ(Report::formatFromRaw(""), Report::Format::csv);
    EXPECT_EQ(Report::defaultFileName(Report::Format::csv), "Quorvane Report.csv");
    EXPECT_EQ(Report::defaultFileName(Report::Format::json), "Quorvane Report.json");

    const auto json = Report::Format::json;
    EXPECT_EQ(Report::fileNameForFormat("Quorvane Report.csv", json), "Quorvane Report.json");
    EXPECT_EQ(Report::fileNameForFormat("report", json), "report.json");
    EXPECT_EQ(Report::fileNameForFormat("batch.2026.csv", json), "batch.2026.json");
    EXPECT_EQ(Report::fileNameForFormat(".csv", json), ".csv.json");
    EXPECT_EQ(Report::fileNameForFormat("/tmp/v1.2/report", json), "/tmp/v1.2/report.json");
}
