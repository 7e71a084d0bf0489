#include "platform/PdfContent.h"

#include <qpdf/Pipeline.hh>
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

} // namespace

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
