#include "pipeline/JoinedContents.h"

#include <algorithm>
#include <qpdf/Pl_Concatenate.hh>
#include <qpdf/Pl_Flate.hh>

namespace quorvane {

namespace {

// Passes bytes on, counting them, or dropping the first `skip` of them.
class Counted : public Pipeline {
public:
    Counted(Pipeline* next, std::size_t skip = 0) : Pipeline("counted page content", next), skip_(skip) {}
    void write(unsigned char const* data, size_t length) override {
        const std::size_t dropped = std::min(skip_, length);
        skip_ -= dropped;
        count_ += length;
        if (length > dropped) {
            getNext()->write(data + dropped, length - dropped);
        }
    }
    void finish() override {}
    std::size_t count() const { return count_; }

private:
    std::size_t skip_;
    std::size_t count_ = 0;
};

bool onlyFlate(QPDFObjectHandle dict) {
    QPDFObjectHandle filter = dict.getKey("/Filter");
    if (filter.isArray() && filter.getArrayNItems() == 1) {
        filter = filter.getArrayItem(0);
    }
    return filter.isNameAndEquals("/FlateDecode") && !dict.getKey("/DecodeParms").isDictionary() &&
           !dict.getKey("/DecodeParms").isArray();
}

// What of a damaged Flate stream inflates before the damage, as readers show it. The compressed
// bytes go in one at a time: what inflates in the call that meets the damage is lost with it. The
// first `alreadyWritten` bytes went out before the damage was found.
void salvage(QPDFObjectHandle stream, Pipeline* out, std::size_t alreadyWritten) {
    Counted rest(out, alreadyWritten);
    try {
        const auto raw = stream.getRawStreamData();
        Pl_Flate inflate("salvaged page content", &rest, Pl_Flate::a_inflate);
        for (std::size_t at = 0; at < raw->getSize(); ++at) {
            inflate.write(raw->getBuffer() + at, 1);
        }
    } catch (const std::exception&) {
        // the damage: what came before it is out
    }
}

} // namespace

JoinedContents::JoinedContents(QPDFObjectHandle contents, int pageIndex,
                               std::shared_ptr<std::set<int>> damagedPages)
    : contents_(std::move(contents)), pageIndex_(pageIndex), damagedPages_(std::move(damagedPages)) {}

void JoinedContents::provideStreamData(QPDFObjGen const&, Pipeline* pipeline) {
    Pl_Concatenate joined("joined page content", pipeline);
    for (auto& stream : contents_.aitems()) {
        if (!stream.isStream()) {
            continue;
        }
        Counted counted(&joined);
        if (!stream.pipeStreamData(&counted, 0, qpdf_dl_specialized, true)) {
            damagedPages_->insert(pageIndex_);
            if (onlyFlate(stream.getDict())) {
                salvage(stream, &joined, counted.count());
            }
        }
        // Streams are split only between tokens; a line break keeps the two ends apart.
        joined.write(reinterpret_cast<const unsigned char*>("\n"), 1);
    }
    joined.manualFinish();
}

} // namespace quorvane
