#include "pipeline/DocumentLimits.h"

#include "core/OCRError.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace quorvane;

namespace {

// A sparse file: its size without writing its bytes.
QString fileOfSize(const QTemporaryDir& folder, const QString& name, qint64 size) {
    QFile file(folder.filePath(name));
    file.open(QIODevice::WriteOnly);
    file.resize(size);
    return file.fileName();
}

// The reason of the documentTooLarge error the call throws, or nothing when it passes.
template <typename Check>
std::optional<QString> refusal(Check check) {
    try {
        check();
    } catch (const OCRError& error) {
        EXPECT_EQ(error.kind(), OCRError::Kind::documentTooLarge);
        return error.description();
    }
    return std::nullopt;
}

} // namespace

TEST(DocumentLimits, FileSizeLimitIsInclusiveInWholeMegabytes) {
    QTemporaryDir folder;
    const QString atLimit = fileOfSize(folder, "at.pdf", DocumentLimits::maxFileSize);
    const QString over = fileOfSize(folder, "over.pdf", DocumentLimits::maxFileSize + 1);
    EXPECT_FALSE(refusal([&] { DocumentLimits::checkFileSize(atLimit, DocumentLimits::maxFileSize); }));
    EXPECT_EQ(refusal([&] { DocumentLimits::checkFileSize(over, DocumentLimits::maxFileSize); }),
              QString("This file is 500 MB, over the 500 MB limit for a single job. Split it into smaller "
                      "files and process the parts separately."));
    // Large sizes stay plain digits, without grouping.
    const QString big = fileOfSize(folder, "big.pdf", qint64(5000) * 1048576);
    EXPECT_TRUE(refusal([&] { DocumentLimits::checkFileSize(big, DocumentLimits::maxFileSize); })
                    .value_or("")
                    .startsWith("This file is 5000 MB, over the 500 MB limit "));
    // A size that cannot be read passes.
    EXPECT_FALSE(refusal([&] { DocumentLimits::checkFileSize(folder.filePath("missing.pdf"), 0); }));
}
