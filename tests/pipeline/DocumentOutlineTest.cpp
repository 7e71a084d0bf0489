#include "pipeline/DocumentOutline.h"

#include "support/PdfBuilder.h"
#include "support/PdfReaders.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <qpdf/QPDFPageDocumentHelper.hh>

using namespace quorvane;

namespace {

// Hand-made outlines on a document of `pageCount` blank pages.
class OutlineSource {
public:
    explicit OutlineSource(int pageCount) : pdf(test::buildPdf(std::vector<test::FixturePage>(size_t(pageCount)))) {
        pages = QPDFPageDocumentHelper(*pdf).getAllPages();
        outlines = pdf->makeIndirectObject(QPDFObjectHandle::parse("<< /Type /Outlines >>"));
        pdf->getRoot().replaceKey("/Outlines", outlines);
    }

    // [page view...] on the 0-based page.
    QPDFObjectHandle dest(int page, const char* view) {
        auto array = QPDFObjectHandle::parse(view);
        array.insertItem(0, pages.at(size_t(page)).getObjectHandle());
        return array;
    }

    QPDFObjectHandle entry(const std::string& title, QPDFObjectHandle dest = QPDFObjectHandle::newNull()) {
        auto entry = pdf->makeIndirectObject(QPDFObjectHandle::newDictionary());
        entry.replaceKey("/Title", QPDFObjectHandle::newUnicodeString(title));
        if (!dest.isNull()) {
            entry.replaceKey("/Dest", dest);
        }
        return entry;
    }

    // Makes `children` the children of `parent`, in order; a negative count shows them collapsed.
    static void nest(QPDFObjectHandle parent, std::vector<QPDFObjectHandle> children, bool open = true) {
        for (size_t i = 0; i < children.size(); ++i) {
            auto child = children[i];
            child.replaceKey("/Parent", parent);
            if (i > 0) {
                child.replaceKey("/Prev", children[i - 1]);
                children[i - 1].replaceKey("/Next", child);
            }
        }
        parent.replaceKey("/First", children.front());
        parent.replaceKey("/Last", children.back());
        const int count = static_cast<int>(children.size());
        parent.replaceKey("/Count", QPDFObjectHandle::newInteger(open ? count : -count));
    }

    std::unique_ptr<QPDF> pdf;
    std::vector<QPDFPageObjectHelper> pages;
    QPDFObjectHandle outlines;
};

class DocumentOutlineTest : public ::testing::Test {
protected:
    QString path(const QString& name) const { return QDir(scratch.path()).filePath(name); }

    // Copies the outline of `source` into a copy of its first `pages` pages; returns the copy's path.
    QString copyInto(const PdfDocument& source, int pages, bool* installed) {
        auto output = test::pageCopies(source, pages);
        *installed = DocumentOutline::copyOutline(source, *output);
        const QString written = path("output.pdf");
        test::savePdf(*output, written);
        return written;
    }

    QTemporaryDir scratch;
};

} // namespace

TEST_F(DocumentOutlineTest, DestinationsFollowPageIndicesAndEntriesLeadingNowhereGo) {
    OutlineSource made(10);
    auto root = made.pdf->getRoot();
    auto intro = made.entry("Intro", made.dest(0, "[/XYZ 72 720 0]"));
    intro.replaceKey("/C", QPDFObjectHandle::parse("[1 0 0.5]")); // red-violet, bold
    intro.replaceKey("/F", QPDFObjectHandle::newInteger(2));
    OutlineSource::nest(intro, {made.entry("Detail", made.dest(2, "[/XYZ 10 20 null]"))});
    auto farParent = made.entry("Far parent", made.dest(9, "[/Fit]"));
    farParent.replaceKey("/C", QPDFObjectHandle::parse("[5 -1 0.25]"));
    OutlineSource::nest(farParent, {made.entry("Near child", made.dest(7, "[/FitH 100]"))}, false);
    auto heading = made.entry("Heading");
    OutlineSource::nest(heading, {made.entry("Beyond", made.dest(8, "[/Fit]"))});
    auto byName = made.entry("By name");
    byName.replaceKey("/Dest", QPDFObjectHandle::newName("/chap1"));
    root.replaceKey("/Dests", QPDFObjectHandle::newDictionary());
    root.getKey("/Dests").replaceKey("/chap1", made.dest(3, "[/XYZ 0 300 null]"));
    auto byString = made.entry("By string");
    byString.replaceKey("/A", QPDFObjectHandle::parse("<< /S /GoTo /D (sec2) >>"));
    auto tree = QPDFObjectHandle::parse("<< /Names [(sec2) << >>] >>");
    tree.getKey("/Names").getArrayItem(1).replaceKey("/D", made.dest(4, "[/Fit]"));
    root.replaceKey("/Names", QPDFObjectHandle::newDictionary());
    root.getKey("/Names").replaceKey("/Dests", tree);
    auto link = made.entry("Web link");
    link.replaceKey("/A", QPDFObjectHandle::parse("<< /S /URI /URI (https://example.org/) >>"));
    OutlineSource::nest(made.outlines,
                        {intro, made.entry("Far", made.dest(9, "[/Fit]")), farParent, heading, byName,
                         byString, link, made.entry("Résumé — 日本語", made.dest(5, "[/Fit]"))});
    const test::SavedPdf source(*made.pdf);
    ASSERT_TRUE(source.document);

    bool installed = false;
    const QString output = copyInto(*source.document, 8, &installed);
    EXPECT_TRUE(installed);
    const QStringList expected = {
        "Intro open p1 [\"/XYZ\",72,720,0]",
        "  Detail open p3 [\"/XYZ\",10,20,null]",
        "Far parent closed p0 []",
        "  Near child open p8 [\"/FitH\",100]",
        "By name open p4 [\"/XYZ\",0,300,null]",
        "By string open p5 [\"/Fit\"]",
        "Web link open p0 []",
        "Résumé — 日本語 open p6 [\"/Fit\"]",
    };
    EXPECT_EQ(test::outlineSummary(output).join('\n').toStdString(), expected.join('\n').toStdString());
    QPDF written;
    written.processFile(QFile::encodeName(output).constData());
    auto first = written.getRoot().getKey("/Outlines").getKey("/First");
    EXPECT_EQ(first.getKey("/C").unparse() + " " + first.getKey("/F").unparse(), "[ 1 0 0.5 ] 2");
    EXPECT_EQ(first.getKey("/Next").getKey("/C").unparse(), "[ 1 0 0.25 ]");
    auto webLink = written.getRoot().getKey("/Outlines").getKey("/Last").getKey("/Prev");
    EXPECT_EQ(webLink.getKey("/A").getKey("/URI").getStringValue(), "https://example.org/");
}

TEST_F(DocumentOutlineTest, LoopsAndDamageAreLeftOutWithoutHanging) {
    OutlineSource made(3);
    auto a = made.entry("A", made.dest(0, "[/Fit]"));
    auto b = made.entry("B", made.dest(1, "[/Fit]"));
    auto c = made.entry("C", made.dest(2, "[/Fit]"));
    OutlineSource::nest(made.outlines, {a, b});
    b.replaceKey("/Next", a); // siblings in a circle
    OutlineSource::nest(a, {c});
    c.replaceKey("/First", a); // a child whose child is its own parent
    c.replaceKey("/Next", c);  // and its own next sibling
    b.replaceKey("/Count", QPDFObjectHandle::parse("(many)"));
    auto numbered = made.entry("Page given as a number", QPDFObjectHandle::parse("[1 /Fit]"));
    numbered.replaceKey("/First", QPDFObjectHandle::newInteger(5)); // not an entry at all
    auto empty = made.entry("Empty destination", QPDFObjectHandle::parse("[]"));
    c.replaceKey("/Next", numbered);
    numbered.replaceKey("/Next", empty);
    empty.replaceKey("/Next", c);

    // A chain nested far deeper than any real outline.
    auto deep = made.entry("Deep 0", made.dest(0, "[/Fit]"));
    b.replaceKey("/First", deep);
    for (int level = 1; level < 2000; ++level) {
        auto next = made.entry("Deep " + std::to_string(level), made.dest(0, "[/Fit]"));
        deep.replaceKey("/First", next);
        deep = next;
    }
    const test::SavedPdf source(*made.pdf);
    ASSERT_TRUE(source.document);

    bool installed = false;
    const QString output = copyInto(*source.document, -1, &installed);
    EXPECT_TRUE(installed);
    const QStringList summary = test::outlineSummary(output);
    ASSERT_GE(summary.size(), 4);
    EXPECT_EQ(summary.mid(0, 4).join('\n').toStdString(),
              "A open p1 [\"/Fit\"]\n  C open p3 [\"/Fit\"]\nB closed p2 [\"/Fit\"]\n  Deep 0 closed p1 "
              "[\"/Fit\"]");
    EXPECT_LT(summary.size(), 200);
    EXPECT_TRUE(summary.last().startsWith(QString(2 * (summary.size() - 3), ' ') + "Deep "));
    test::expectCleanPdf(output);
}
