#pragma once

// Where a bookmark or a link of a source PDF leads, independent of the file: a page by its index
// and the view there. Used to point the searchable copy's bookmarks and links at its own pages.

#include "platform/PdfDocument.h"

#include <map>
#include <optional>
#include <qpdf/QPDFMatrix.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <vector>

namespace quorvane {

class PdfDestinations {
public:
    struct Target {
        int pageIndex = 0;
        // The rest of the destination: /XYZ left top zoom, /FitH top, ... as new direct objects;
        // empty when it gives no view (keep the position and zoom).
        std::vector<QPDFObjectHandle> view;
    };

    explicit PdfDestinations(const PdfDocument& source);

    // The target of an outline item or a link annotation: its /Dest, or its GoTo action's /D,
    // named destinations looked up. None when it leads to no page of the source.
    std::optional<Target> targetOf(QPDFObjectHandle holder) const;

    // The explicit destination of `target` on `page` of another document, which shows the source
    // page drawn with `placement`: the view's coordinates move with the drawing.
    static QPDFObjectHandle destination(const Target& target, QPDFObjectHandle page,
                                        const QPDFMatrix& placement = {});

private:
    QPDFObjectHandle named(QPDFObjectHandle name) const;

    QPDF& qpdf_;
    std::map<QPDFObjGen, int> pageIndex_;
};

} // namespace quorvane
