#include "pipeline/PDFAuxBuilder.h"

#include "support/PdfBuilder.h"
#include "support/PdfReaders.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QMap>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace quorvane;

namespace {

std::string utf8Of(QPDFObjectHandle value) {
    return value.isString() ? value.getUTF8Value() : "(not a string)";
}

class PDFAuxBuilderTest : public ::testing::Test {
protected:
    QString written(QPDF& pdf, const QString& name) {
        const QString path = QDir(scratch.path()).filePath(name);
        test::savePdf(pdf, path);
        return path;
    }
    QTemporaryDir scratch;
};

} // namespace

TEST_F(PDFAuxBuilderTest, TheSourceInformationSurvivesWithoutItsProducerDatesOrMetadata) {
    auto source = PdfDocument::open(test::corpusPath("meta.pdf"));
    ASSERT_TRUE(source);
    const auto before = test::documentInfo(test::corpusPath("meta.pdf"));
    ASSERT_EQ(before.value("Metadata Stream"), "yes");

    // The hardest case: an output that starts as the source itself, with its /Info (here also
    // given a producer and dates) and its XMP stream.
    QPDF output;
    output.processFile(QFile::encodeName(test::corpusPath("meta.pdf")).constData());
    auto sourceInfo = output.getTrailer().getKey("/Info");
    sourceInfo.replaceKey("/Producer", QPDFObjectHandle::newString("Some PDF Library 1.0"));
    sourceInfo.replaceKey("/CreationDate", QPDFObjectHandle::newString("D:20180326015211-07'00'"));
    sourceInfo.replaceKey("/ModDate", QPDFObjectHandle::newString("D:20180326015211-07'00'"));
    ASSERT_TRUE(test::documentInfo(written(output, "meta-with-producer.pdf")).contains("Producer"));
    PDFAuxBuilder::apply(PDFAuxBuilder::auxiliaryInfo(source->attributes(), false), output);
    const auto after = test::documentInfo(written(output, "meta-copy.pdf"));
    for (const char* key : {"Title", "Author", "Subject", "Keywords"}) {
        EXPECT_FALSE(before.value(key).isEmpty()) << key;
        EXPECT_EQ(after.value(key), before.value(key)) << key;
    }
    EXPECT_EQ(after.value("Creator"), "Quorvane");
    EXPECT_FALSE(after.contains("Producer"));
    EXPECT_FALSE(after.contains("CreationDate"));
    EXPECT_FALSE(after.contains("ModDate"));
    EXPECT_EQ(after.value("Metadata Stream"), "no");

    // A source without an information dictionary gives the creator alone.
    auto bare = PdfDocument::open(test::corpusPath("missing_docinfo.pdf"));
    ASSERT_TRUE(bare);
    auto copy = test::pageCopies(*bare);
    PDFAuxBuilder::apply(PDFAuxBuilder::auxiliaryInfo(bare->attributes(), false), *copy);
    auto info = copy->getTrailer().getKey("/Info");
    EXPECT_EQ(info.getKeys(), std::set<std::string>{"/Creator"});
    EXPECT_EQ(test::documentInfo(written(*copy, "bare.pdf")).value("Creator"), "Quorvane");
}

TEST_F(PDFAuxBuilderTest, TextInAnyLanguageAndKeywordListsAreStoredReadably) {
    auto source = PdfDocument::open(test::corpusPath("trivial.pdf"));
    ASSERT_TRUE(source);
    auto output = test::pageCopies(*source);
    DocumentAttributes attributes;
    attributes.title = "Résumé — 日本語のタイトル";
    attributes.author = "Zoë Ångström";
    attributes.subject = "plain ASCII";
    attributes.keywords = QStringList{"invoice", "März 2024", "東京"};
    PDFAuxBuilder::apply(PDFAuxBuilder::auxiliaryInfo(attributes, false), *output);

    const auto after = test::documentInfo(written(*output, "unicode.pdf"));
    EXPECT_EQ(after.value("Title"), *attributes.title);
    EXPECT_EQ(after.value("Author"), *attributes.author);
    EXPECT_EQ(after.value("Subject"), "plain ASCII");
    EXPECT_EQ(after.value("Keywords"), "invoice, März 2024, 東京");
    // Text that PDFDocEncoding holds stays in it; the rest is UTF-16 with its byte order mark.
    auto info = output->getTrailer().getKey("/Info");
    EXPECT_EQ(info.getKey("/Subject").getStringValue(), "plain ASCII");
    EXPECT_EQ(info.getKey("/Title").getStringValue().substr(0, 2), "\xFE\xFF");
}

TEST_F(PDFAuxBuilderTest, TheOutputIntentIsThereExactlyOnceWhenAskedFor) {
    auto source = PdfDocument::open(test::corpusPath("trivial.pdf"));
    ASSERT_TRUE(source);
    auto output = test::pageCopies(*source);
    PDFAuxBuilder::apply(PDFAuxBuilder::auxiliaryInfo({}, true), *output);
    PDFAuxBuilder::apply(PDFAuxBuilder::auxiliaryInfo({}, true), *output); // applying twice changes nothing

    QPDF reread;
    reread.processFile(QFile::encodeName(written(*output, "intent.pdf")).constData());
    auto intents = reread.getRoot().getKey("/OutputIntents");
    ASSERT_TRUE(intents.isArray());
    ASSERT_EQ(intents.getArrayNItems(), 1);
    auto intent = intents.getArrayItem(0);
    EXPECT_TRUE(intent.getKey("/Type").isNameAndEquals("/OutputIntent"));
    EXPECT_TRUE(intent.getKey("/S").isNameAndEquals("/GTS_PDFA1"));
    EXPECT_EQ(utf8Of(intent.getKey("/OutputConditionIdentifier")), "sRGB IEC61966-2.1");
    EXPECT_EQ(utf8Of(intent.getKey("/Info")), "sRGB IEC61966-2.1");
    EXPECT_EQ(utf8Of(intent.getKey("/OutputCondition")), "sRGB");
    EXPECT_FALSE(intent.hasKey("/DestOutputProfile"));
    test::expectCleanPdf(QDir(scratch.path()).filePath("intent.pdf"));

    // Without the flag there is none, even where the document had one.
    PDFAuxBuilder::apply(PDFAuxBuilder::auxiliaryInfo({}, false), reread);
    EXPECT_FALSE(reread.getRoot().hasKey("/OutputIntents"));
}
