#include "pipeline/HelveticaMetrics.h"

#include "support/PdfBuilder.h"
#include "support/PdfReaders.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace quorvane;

// Poppler draws a standard-14 Helvetica without /Widths from Adobe's own metrics: every printable
// WinAnsiEncoding byte must measure, and read back, as our table says.
TEST(HelveticaMetrics, WidthsAndCharactersMatchAnIndependentReader) {
    std::vector<std::vector<unsigned char>> chunks;
    for (int code = HelveticaMetrics::firstCode + 1; code <= HelveticaMetrics::lastCode; ++code) {
        // Spaces split words, the soft hyphen is dropped by text extraction; undefined bytes have no width.
        if (code == 0xA0 || code == 0xAD ||
            HelveticaMetrics::advanceWidth(static_cast<unsigned char>(code)) == 0) {
            continue;
        }
        if (chunks.empty() || chunks.back().size() == 12) {
            chunks.emplace_back();
        }
        chunks.back().push_back(static_cast<unsigned char>(code));
    }
    std::string content;
    for (size_t i = 0; i < chunks.size(); ++i) {
        content += "BT /F1 10 Tf 20 " + std::to_string(760 - 20 * i) + " Td <";
        for (const unsigned char code : chunks[i]) {
            content += QByteArray(1, static_cast<char>(code)).toHex().toStdString();
        }
        content += "> Tj ET\n";
    }
    QTemporaryDir folder;
    const QString path = folder.filePath("helvetica.pdf");
    ASSERT_TRUE(test::writePdf(path, {{.content = content}}));
    const auto words = test::pdfWords(path, 1);

    for (size_t i = 0; i < chunks.size(); ++i) {
        const double baseline = 792 - (760 - 20 * static_cast<double>(i));
        double xMin = 1e9, xMax = -1e9;
        QString text;
        for (const auto& word : words) {
            if (word.yMin < baseline && word.yMax > baseline - 5) {
                xMin = std::min(xMin, word.xMin);
                xMax = std::max(xMax, word.xMax);
                text += word.text;
            }
        }
        double expected = 0;
        for (const unsigned char code : chunks[i]) {
            expected += HelveticaMetrics::advanceWidth(code) * 10 / 1000.0;
        }
        EXPECT_NEAR(xMax - xMin, expected, 0.01) << "chunk " << i << ": " << text.toStdString();

        std::vector<unsigned char> readBack;
        for (const uint character : text.toUcs4()) {
            readBack.push_back(HelveticaMetrics::winAnsiCode(character).value_or(0));
        }
        EXPECT_EQ(readBack, chunks[i]) << text.toStdString();
    }
}
