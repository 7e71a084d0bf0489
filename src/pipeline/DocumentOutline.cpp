#include "pipeline/DocumentOutline.h"

#include <QString>
#include <map>
#include <optional>
#include <qpdf/QPDFNameTreeObjectHelper.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <set>
#include <vector>

namespace quorvane::DocumentOutline {

namespace {

// Deeper nesting than any real outline has; it bounds the recursion on crafted files.
constexpr int maxDepth = 100;

// One bookmark as it will be written, independent of either file.
struct Item {
    QString label;
    bool open = false;
    std::optional<int> pageIndex;       // the page with this index in the output
    std::vector<QPDFObjectHandle> view; // the rest of the destination: /XYZ left top zoom, /FitH top, ...
                                        // (empty: keep the position and zoom)
    std::vector<Item> children;
};

// Only numbers, names and null make up a destination's view; they are copied as new direct objects
// because the output is another document.
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

class SourceOutline {
public:
    SourceOutline(const PdfDocument& source, int outputPageCount)
        : qpdf_(source.qpdf()), outputPageCount_(outputPageCount) {
        for (int index = 0; index < source.pageCount(); ++index) {
            pageIndex_.emplace(source.page(index)->pageObject().getObjectHandle().getObjGen(), index);
        }
    }

    std::vector<Item> topLevel() {
        auto outlines = qpdf_.getRoot().getKey("/Outlines");
        return outlines.isDictionary() ? children(outlines, 0) : std::vector<Item>{};
    }

private:
    std::vector<Item> children(QPDFObjectHandle parent, int depth) {
        std::vector<Item> items;
        if (depth >= maxDepth) {
            return items;
        }
        for (auto node = parent.getKey("/First"); node.isDictionary(); node = node.getKey("/Next")) {
            if (node.isIndirect() && !seen_.insert(node.getObjGen()).second) {
                break; // a loop back to an entry already read
            }
            try {
                if (auto copy = item(node, depth)) {
                    items.push_back(std::move(*copy));
                }
            } catch (const std::exception&) {
                // an entry that cannot be read is left out; its siblings still count
            }
        }
        return items;
    }

    std::optional<Item> item(QPDFObjectHandle node, int depth) {
        Item copy;
        auto title = node.getKey("/Title");
        copy.label = title.isString() ? QString::fromStdString(title.getUTF8Value()) : QString();
        auto count = node.getKey("/Count");
        copy.open = count.isInteger() && count.getIntValue() > 0;
        setDestination(copy, destination(node));
        copy.children = children(node, depth + 1);
        if (!copy.pageIndex && copy.children.empty()) {
            return std::nullopt;
        }
        return copy;
    }

    void setDestination(Item& copy, QPDFObjectHandle dest) {
        if (!dest.isArray() || dest.getArrayNItems() < 1) {
            return;
        }
        auto page = dest.getArrayItem(0);
        const auto found = page.isIndirect() ? pageIndex_.find(page.getObjGen()) : pageIndex_.end();
        if (found == pageIndex_.end() || found->second >= outputPageCount_) {
            return;
        }
        copy.pageIndex = found->second;
        for (int i = 1; i < dest.getArrayNItems(); ++i) {
            copy.view.push_back(viewValue(dest.getArrayItem(i)));
        }
        if (!copy.view.empty() && !copy.view.front().isName()) {
            copy.view.clear(); // no view type: the page as it is shown
        }
    }

    // The destination array of an entry, from its /Dest or its GoTo action, named ones looked up.
    QPDFObjectHandle destination(QPDFObjectHandle node) {
        auto dest = node.getKey("/Dest");
        if (dest.isNull()) {
            auto action = node.getKey("/A");
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
        return dest;
    }

    // Names live in the catalog's /Dests dictionary (PDF 1.1) or its /Names /Dests tree; writers
    // mix up which takes names and which strings, so both are tried.
    QPDFObjectHandle named(QPDFObjectHandle name) {
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

    QPDF& qpdf_;
    int outputPageCount_;
    std::map<QPDFObjGen, int> pageIndex_;
    std::set<QPDFObjGen> seen_;
};

QPDFObjectHandle newDictionary(QPDF& output) {
    return output.makeIndirectObject(QPDFObjectHandle::newDictionary());
}

// Writes `items` as the children of `parent` and returns how many entries show below it when
// it is expanded (the /Count of an open entry).
int writeChildren(QPDF& output, QPDFObjectHandle parent, const std::vector<Item>& items,
                  const std::vector<QPDFPageObjectHelper>& pages) {
    int visible = 0;
    QPDFObjectHandle previous;
    for (const Item& item : items) {
        auto node = newDictionary(output);
        node.replaceKey("/Title", QPDFObjectHandle::newUnicodeString(item.label.toStdString()));
        node.replaceKey("/Parent", parent);
        if (item.pageIndex) {
            std::vector<QPDFObjectHandle> dest{pages.at(size_t(*item.pageIndex)).getObjectHandle()};
            if (item.view.empty()) {
                dest.push_back(QPDFObjectHandle::newName("/XYZ"));
                dest.insert(dest.end(), 3, QPDFObjectHandle::newNull());
            } else {
                dest.insert(dest.end(), item.view.begin(), item.view.end());
            }
            node.replaceKey("/Dest", QPDFObjectHandle::newArray(dest));
        }
        if (!item.children.empty()) {
            const int below = writeChildren(output, node, item.children, pages);
            node.replaceKey("/Count", QPDFObjectHandle::newInteger(item.open ? below : -below));
            visible += item.open ? below : 0;
        }
        if (previous.isInitialized()) {
            previous.replaceKey("/Next", node);
            node.replaceKey("/Prev", previous);
        } else {
            parent.replaceKey("/First", node);
        }
        parent.replaceKey("/Last", node);
        previous = node;
        visible += 1;
    }
    return visible;
}

} // namespace

bool copyOutline(const PdfDocument& source, QPDF& output) {
    if (source.isLocked()) {
        return false;
    }
    try {
        const auto pages = QPDFPageDocumentHelper(output).getAllPages();
        const std::vector<Item> items = SourceOutline(source, static_cast<int>(pages.size())).topLevel();
        if (items.empty()) {
            return false;
        }
        auto outlines = newDictionary(output);
        outlines.replaceKey("/Type", QPDFObjectHandle::newName("/Outlines"));
        outlines.replaceKey("/Count",
                            QPDFObjectHandle::newInteger(writeChildren(output, outlines, items, pages)));
        output.getRoot().replaceKey("/Outlines", outlines);
        return true;
    } catch (const std::exception&) {
        return false; // nothing was attached to the output's catalog
    }
}

} // namespace quorvane::DocumentOutline
