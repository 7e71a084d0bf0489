#include "platform/PdfContent.h"

#include <qpdf/Pipeline.hh>
#include <set>
#include <stdexcept>
#include <vector>

namespace quorvane::PdfContent {

namespace {

// Counts decoded bytes and stops the decoding as soon as there are too many. QPDF takes the
// exception for a decoding error and carries on, so the verdict is kept here.
class SizeLimit : public Pipeline {
public:
    explicit SizeLimit(std::size_t limit) : Pipeline("content size limit", nullptr), limit_(limit) {}
    void write(unsigned char const*, size_t length) override {
        size_ += length;
        if (size_ > limit_) {
            exceeded_ = true;
            throw std::length_error("content larger than the limit");
        }
    }
    void finish() override {}
    bool exceeded() const { return exceeded_; }

private:
    std::size_t limit_;
    std::size_t size_ = 0;
    bool exceeded_ = false;
};

// Forms inside forms deeper than this are taken to show text rather than followed further.
constexpr int deepestForm = 16;

// Reads one content stream up to its first text-showing operator, following the forms it draws.
class TextFinder : public QPDFObjectHandle::ParserCallbacks {
public:
    TextFinder(QPDFObjectHandle resources, std::set<QPDFObjGen>& visited, int depth)
        : resources_(std::move(resources)), visited_(visited), depth_(depth) {}

    bool found() const { return found_; }

    void handleObject(QPDFObjectHandle object) override {
        if (object.isOperator()) {
            const std::string op = object.getOperatorValue();
            if (op == "Tj" || op == "TJ" || op == "'" || op == "\"" || (op == "Do" && drawsFormWithText())) {
                found_ = true;
                terminateParsing();
            }
        }
        lastName_ = object.isName() ? object.getName() : std::string();
    }
    void handleEOF() override {}

private:
    bool drawsFormWithText() {
        QPDFObjectHandle xObjects = resources_.isDictionary() ? resources_.getKey("/XObject") : QPDFObjectHandle();
        QPDFObjectHandle form = xObjects.isDictionary() ? xObjects.getKey(lastName_) : QPDFObjectHandle::newNull();
        if (!form.isStream() || !form.getDict().getKey("/Subtype").isNameAndEquals("/Form") ||
            !visited_.insert(form.getObjGen()).second) {
            return false;
        }
        if (depth_ >= deepestForm) {
            return true;
        }
        // A form without resources of its own uses those of the page that draws it.
        QPDFObjectHandle own = form.getDict().getKey("/Resources");
        TextFinder inner(own.isDictionary() ? own : resources_, visited_, depth_ + 1);
        form.parseAsContents(&inner);
        return inner.found();
    }

    QPDFObjectHandle resources_;
    std::set<QPDFObjGen>& visited_;
    int depth_;
    std::string lastName_;
    bool found_ = false;
};

} // namespace

bool showsText(QPDFPageObjectHelper page) {
    try {
        std::set<QPDFObjGen> visited;
        TextFinder finder(page.getAttribute("/Resources", false), visited, 0);
        page.parseContents(&finder);
        return finder.found();
    } catch (const std::exception&) {
        return true;
    }
}

bool decodedSizeExceeds(QPDFObjectHandle content, std::size_t limit) {
    // Stream by stream: QPDF joins the streams of an array in memory before handing them on.
    std::vector<QPDFObjectHandle> streams;
    if (content.isStream()) {
        streams.push_back(content);
    } else if (content.isArray()) {
        for (auto& item : content.aitems()) {
            if (item.isStream()) {
                streams.push_back(item);
            }
        }
    }
    SizeLimit counter(limit);
    for (auto& stream : streams) {
        try {
            stream.pipeStreamData(&counter, 0, qpdf_dl_specialized, true);
        } catch (const std::exception&) {
            // A damaged stream: what was decoded before the damage is what there is.
        }
        if (counter.exceeded()) {
            return true;
        }
    }
    return false;
}

} // namespace quorvane::PdfContent
