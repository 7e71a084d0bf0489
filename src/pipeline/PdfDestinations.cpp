#include "pipeline/PdfDestinations.h"

#include <qpdf/QPDFNameTreeObjectHelper.hh>

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

QPDFObjectHandle PdfDestinations::destination(const Target& target, QPDFObjectHandle page) {
    std::vector<QPDFObjectHandle> dest{page};
    if (target.view.empty()) {
        dest.push_back(QPDFObjectHandle::newName("/XYZ"));
        dest.insert(dest.end(), 3, QPDFObjectHandle::newNull());
    } else {
        dest.insert(dest.end(), target.view.begin(), target.view.end());
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
