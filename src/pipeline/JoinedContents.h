#pragma once

// The content of a page split over several streams, joined into the one stream of a form XObject:
// each decoded in turn straight into the output, never all of it in memory.

#include <memory>
#include <qpdf/QPDFObjectHandle.hh>
#include <set>

namespace quorvane {

class JoinedContents : public QPDFObjectHandle::StreamDataProvider {
public:
    // `contents`: the page's /Contents array. A stream that fails to decode adds `pageIndex` to
    // `damagedPages`, which the writer reads once the output is written.
    JoinedContents(QPDFObjectHandle contents, int pageIndex, std::shared_ptr<std::set<int>> damagedPages);

    void provideStreamData(QPDFObjGen const&, Pipeline* pipeline) override;

private:
    QPDFObjectHandle contents_;
    int pageIndex_;
    std::shared_ptr<std::set<int>> damagedPages_;
};

} // namespace quorvane
