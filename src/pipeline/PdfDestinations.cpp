#include "pipeline/PdfDestinations.h"

#include <qpdf/QPDFNameTreeObjectHelper.hh>

#include <algorithm>
#include <cmath>

namespace quorvane {

namespace {

// Only numbers, names and null make up a destination's view; they are copied as new direct objects
// because the copy is another document.
QPDFObjectHandle viewValue(QPDFObjectHandle value) {
    if (value.isInteger()) {
        return QPDFObjectHandle::newInteger(value.getIntValue());
    }
    if (value.isReal()) {
        return QPDFObjectHandle::newReal(value.getRealValue());
    }
    if (value.isName()) {
        return QPDFObjectHandle::newName(value.getName());
    }
    return QPDFObjectHandle::newNull();
}

std::optional<double> numberAt(const std::vector<QPDFObjectHandle>& view, size_t index) {
    if (index >= view.size()) {
        return std::nullopt;
    }
    QPDFObjectHandle item = view[index];
    return item.isNumber() ? std::optional(item.getNumericValue()) : std::nullopt;
}

// A number past a double's range read as infinity, and moved may be no number at all: such a
// coordinate is left to the reader (null), as PDF has no word for it.
QPDFObjectHandle newNumber(std::optional<double> value) {
    return value && std::isfinite(*value) ? QPDFObjectHandle::newReal(*value, 4, true)
                                          : QPDFObjectHandle::newNull();
}

// A view of the source page in the space of the page drawn with `placement`. A view that leaves one
// coordinate as it is (null, or a /FitH's missing x) moves the other by the matrix's main terms:
// under a quarter turn the output's x comes from the source's y, so /FitH and /FitV trade places.
std::vector<QPDFObjectHandle> movedView(std::vector<QPDFObjectHandle> view, const QPDFMatrix& m) {
    if (view.empty() || m == QPDFMatrix()) {
        return view;
    }
    const bool quarterTurn = std::abs(m.b) > std::abs(m.a);
    const auto xOf = [&](std::optional<double> x, std::optional<double> y) -> std::optional<double> {
        const auto from = quarterTurn ? y : x;
        return from ? std::optional(*from * (quarterTurn ? m.c : m.a) + m.e) : std::nullopt;
    };
    const auto yOf = [&](std::optional<double> x, std::optional<double> y) -> std::optional<double> {
        const auto from = quarterTurn ? x : y;
        return from ? std::optional(*from * (quarterTurn ? m.b : m.d) + m.f) : std::nullopt;
    };
    const std::string type = view.front().getName();
    if (type == "/XYZ") {
        const auto left = numberAt(view, 1), top = numberAt(view, 2);
        double x = 0, y = 0;
        if (left && top) {
            m.transform(*left, *top, x, y);
        }
        view.resize(std::max<size_t>(view.size(), 3), QPDFObjectHandle::newNull());
        view[1] = newNumber(left && top ? std::optional(x) : xOf(left, top));
        view[2] = newNumber(left && top ? std::optional(y) : yOf(left, top));
    } else if (type == "/FitH" || type == "/FitBH" || type == "/FitV" || type == "/FitBV") {
        const bool horizontal = type.back() == 'H'; // a top, or else a left
        const auto at = numberAt(view, 1);
        const std::optional<double> x = horizontal ? std::nullopt : at, y = horizontal ? at : std::nullopt;
        const bool staysHorizontal = horizontal != quarterTurn;
        view = {QPDFObjectHandle::newName(type.substr(0, type.size() - 1) + (staysHorizontal ? "H" : "V")),
                newNumber(staysHorizontal ? yOf(x, y) : xOf(x, y))};
    } else if (type == "/FitR") {
        const auto left = numberAt(view, 1), bottom = numberAt(view, 2), right = numberAt(view, 3),
                   top = numberAt(view, 4);
        if (left && bottom && right && top) {
            const auto moved = m.transformRectangle({*left, *bottom, *right, *top});
            view = {view.front(), newNumber(moved.llx), newNumber(moved.lly), newNumber(moved.urx),
                    newNumber(moved.ury)};
        }
    }
    return view;
}

} // namespace

PdfDestinations::PdfDestinations(const PdfDocument& source) : qpdf_(source.qpdf()) {
    for (int index = 0; index < source.pageCount(); ++index) {
        pageIndex_.emplace(source.page(index)->pageObject().getObjectHandle().getObjGen(), index);
    }
}

std::optional<PdfDestinations::Target> PdfDestinations::targetOf(QPDFObjectHandle holder) const {
    auto dest = holder.getKey("/Dest");
    if (dest.isNull()) {
        auto action = holder.getKey("/A");
        if (action.isDictionary() && action.getKey("/S").isNameAndEquals("/GoTo")) {
            dest = action.getKey("/D");
        }
    }
    if (dest.isName() || dest.isString()) {
        dest = named(dest);
    }
    if (dest.isDictionary()) {
        dest = dest.getKey("/D");
    }
    if (!dest.isArray() || dest.getArrayNItems() < 1) {
        return std::nullopt;
    }
    auto page = dest.getArrayItem(0);
    const auto found = page.isIndirect() ? pageIndex_.find(page.getObjGen()) : pageIndex_.end();
    if (found == pageIndex_.end()) {
        return std::nullopt;
    }
    Target target{found->second, {}};
    for (int i = 1; i < dest.getArrayNItems(); ++i) {
        target.view.push_back(viewValue(dest.getArrayItem(i)));
    }
    if (!target.view.empty() && !target.view.front().isName()) {
        target.view.clear(); // no view type: the page as it is shown
    }
    return target;
}

QPDFObjectHandle PdfDestinations::destination(const Target& target, QPDFObjectHandle page,
                                              const QPDFMatrix& placement) {
    std::vector<QPDFObjectHandle> dest{page};
    if (target.view.empty()) {
        dest.push_back(QPDFObjectHandle::newName("/XYZ"));
        dest.insert(dest.end(), 3, QPDFObjectHandle::newNull());
    } else {
        const auto view = movedView(target.view, placement);
        dest.insert(dest.end(), view.begin(), view.end());
    }
    return QPDFObjectHandle::newArray(dest);
}

// Names live in the catalog's /Dests dictionary (PDF 1.1) or its /Names /Dests tree; writers
// mix up which takes names and which strings, so both are tried.
QPDFObjectHandle PdfDestinations::named(QPDFObjectHandle name) const {
    const std::string key = name.isName() ? name.getName().substr(1) : name.getUTF8Value();
    auto root = qpdf_.getRoot();
    auto dests = root.getKey("/Dests");
    if (dests.isDictionary() && dests.hasKey("/" + key)) {
        return dests.getKey("/" + key);
    }
    auto names = root.getKey("/Names");
    auto tree = names.isDictionary() ? names.getKey("/Dests") : QPDFObjectHandle::newNull();
    QPDFObjectHandle found;
    if (tree.isDictionary() && QPDFNameTreeObjectHelper(tree, qpdf_, false).findObject(key, found)) {
        return found;
    }
    return QPDFObjectHandle::newNull();
}

} // namespace quorvane
