#include "pipeline/DocumentOutline.h"

#include "core/OCRError.h"
#include "pipeline/PdfDestinations.h"

#include <QString>
#include <algorithm>
#include <array>
#include <optional>
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
    std::optional<PdfDestinations::Target> target; // on the output page with the same index
    std::string webAddress;                        // opened instead, when there is no target
    std::optional<std::array<double, 3>> colour;   // of the label, RGB
    int style = 0;                                 // of the label: 1 italic, 2 bold
    std::vector<Item> children;
};

class SourceOutline {
public:
    SourceOutline(const PdfDocument& source, int outputPageCount)
        : qpdf_(source.qpdf()), destinations_(source), outputPageCount_(outputPageCount) {}

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
        copy.target = destinations_.targetOf(node);
        if (copy.target && copy.target->pageIndex >= outputPageCount_) {
            copy.target.reset();
        }
        // An entry that opens a web page leads somewhere too.
        if (auto action = node.getKey("/A"); !copy.target && action.isDictionary() &&
                                             action.getKey("/S").isNameAndEquals("/URI") &&
                                             action.getKey("/URI").isString()) {
            copy.webAddress = action.getKey("/URI").getStringValue();
        }
        if (auto colour = node.getKey("/C"); colour.isArray() && colour.getArrayNItems() == 3) {
            std::array<double, 3> rgb{};
            bool numbers = true;
            for (size_t i = 0; i < rgb.size(); ++i) {
                numbers = numbers && colour.getArrayItem(int(i)).getValueAsNumber(rgb[i]);
                rgb[i] = std::clamp(rgb[i], 0.0, 1.0); // a number past a double's range reads as infinite
            }
            copy.colour = numbers ? std::optional(rgb) : std::nullopt;
        }
        if (auto style = node.getKey("/F"); style.isInteger()) {
            copy.style = int(style.getIntValue() & 3);
        }
        copy.children = children(node, depth + 1);
        if (!copy.target && copy.webAddress.empty() && copy.children.empty()) {
            return std::nullopt;
        }
        return copy;
    }

    QPDF& qpdf_;
    PdfDestinations destinations_;
    int outputPageCount_;
    std::set<QPDFObjGen> seen_;
};

QPDFObjectHandle newDictionary(QPDF& output) {
    return output.makeIndirectObject(QPDFObjectHandle::newDictionary());
}

// Writes `items` as the children of `parent` and returns how many entries show below it when
// it is expanded (the /Count of an open entry).
int writeChildren(QPDF& output, QPDFObjectHandle parent, const std::vector<Item>& items,
                  const std::vector<QPDFPageObjectHelper>& pages, const std::vector<QPDFMatrix>& placements) {
    int visible = 0;
    QPDFObjectHandle previous;
    for (const Item& item : items) {
        auto node = newDictionary(output);
        node.replaceKey("/Title", QPDFObjectHandle::newUnicodeString(item.label.toStdString()));
        node.replaceKey("/Parent", parent);
        if (item.target) {
            const auto index = size_t(item.target->pageIndex);
            node.replaceKey("/Dest", PdfDestinations::destination(
                                         *item.target, pages.at(index).getObjectHandle(),
                                         index < placements.size() ? placements[index] : QPDFMatrix()));
        } else if (!item.webAddress.empty()) {
            auto action = QPDFObjectHandle::parse("<< /S /URI >>");
            action.replaceKey("/URI", QPDFObjectHandle::newString(item.webAddress));
            node.replaceKey("/A", action);
        }
        if (item.colour) {
            node.replaceKey("/C", QPDFObjectHandle::newArray(std::vector<QPDFObjectHandle>{
                                      QPDFObjectHandle::newReal((*item.colour)[0], 4, true),
                                      QPDFObjectHandle::newReal((*item.colour)[1], 4, true),
                                      QPDFObjectHandle::newReal((*item.colour)[2], 4, true)}));
        }
        if (item.style != 0) {
            node.replaceKey("/F", QPDFObjectHandle::newInteger(item.style));
        }
        if (!item.children.empty()) {
            const int below = writeChildren(output, node, item.children, pages, placements);
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

bool copyOutline(const PdfDocument& source, QPDF& output, const std::vector<QPDFMatrix>& placements) {
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
        outlines.replaceKey("/Count", QPDFObjectHandle::newInteger(
                                          writeChildren(output, outlines, items, pages, placements)));
        output.getRoot().replaceKey("/Outlines", outlines);
        return true;
    } catch (const std::exception& error) { // nothing was attached to the output's catalog
        throw PlatformError(QStringLiteral("the outline (bookmarks) could not be copied: %1")
                                .arg(QString::fromUtf8(error.what())));
    }
}

} // namespace quorvane::DocumentOutline
