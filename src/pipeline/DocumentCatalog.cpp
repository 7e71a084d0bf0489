#include "pipeline/DocumentCatalog.h"

#include "core/OCRError.h"
#include "pipeline/PdfDestinations.h"

#include <QStringList>
#include <functional>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>

namespace quorvane::DocumentCatalog {

namespace {

using Object = QPDFObjectHandle;

// What each entry is called when it cannot be copied.
struct Entry {
    const char* key;
    const char* description;
};

constexpr Entry plainEntries[] = {
    {"/OCProperties", "the layers' visibility"},
    {"/Lang", "the document's language"},
    {"/ViewerPreferences", "the viewer preferences"},
    {"/PageLayout", "the page layout"},
    {"/PageMode", "the page mode"},
    {"/URI", "the base address of relative links"},
};

} // namespace

// QPDF copies indirect objects (and whatever they reach) between files; a direct array or
// dictionary is rebuilt around the copies of what it holds. A page or the page tree named where none
// belongs is left out: QPDF 11.3 cannot copy one on its own (it hands back an empty object, which
// brings the output down when it is freed), and the copy has pages of its own.
Object copied(QPDF& output, Object value) {
    if (value.isIndirect()) {
        return value.isPageObject() || value.isPagesObject() ? Object::newNull()
                                                             : output.copyForeignObject(value);
    }
    if (value.isArray()) {
        Object array = Object::newArray();
        for (auto& item : value.aitems()) {
            array.appendItem(copied(output, item));
        }
        return array;
    }
    if (value.isDictionary()) {
        Object dictionary = Object::newDictionary();
        for (auto& [key, item] : value.ditems()) {
            dictionary.replaceKey(key, copied(output, item));
        }
        return dictionary;
    }
    return Object::parse(value.unparseBinary());
}

void carryOver(const PdfDocument& source, QPDF& output, const std::vector<QPDFMatrix>& placements) {
    if (source.isLocked()) {
        return;
    }
    QStringList failures;
    const auto copy = [&](const char* description, const std::function<void()>& action) {
        try {
            action();
        } catch (const std::exception& error) {
            failures << QStringLiteral("%1 could not be copied: %2")
                            .arg(QString::fromUtf8(description), QString::fromUtf8(error.what()));
        }
    };
    Object from = source.qpdf().getRoot();
    Object to = output.getRoot();
    const auto pages = QPDFPageDocumentHelper(output).getAllPages();
    for (const Entry& entry : plainEntries) {
        copy(entry.description, [&] {
            if (Object value = from.getKey(entry.key); !value.isNull()) {
                to.replaceKey(entry.key, copied(output, value));
            }
        });
    }
    // The colour conditions the source's device colours were prepared for, unless the user asked
    // for an sRGB intent of ours.
    copy("the output intents", [&] {
        if (Object intents = from.getKey("/OutputIntents"); intents.isArray() && !to.hasKey("/OutputIntents")) {
            to.replaceKey("/OutputIntents", copied(output, intents));
        }
    });
    copy("the page labels", [&] {
        if (Object labels = from.getKey("/PageLabels");
            labels.isDictionary() && pages.size() == static_cast<std::size_t>(source.pageCount())) {
            to.replaceKey("/PageLabels", copied(output, labels));
        }
    });
    copy("the page the document opens at", [&] {
        // A destination, or a GoTo action holding one; a script or another action stays behind.
        Object action = from.getKey("/OpenAction");
        if (!action.isArray() && !action.isDictionary()) {
            return;
        }
        Object holder = Object::newDictionary();
        holder.replaceKey(action.isArray() ? "/Dest" : "/A", action);
        if (const auto target = PdfDestinations(source).targetOf(holder);
            target && target->pageIndex < int(pages.size())) {
            const auto index = size_t(target->pageIndex);
            to.replaceKey("/OpenAction", PdfDestinations::destination(
                                             *target, pages[index].getObjectHandle(),
                                             index < placements.size() ? placements[index] : QPDFMatrix()));
        }
    });
    // Of the name trees, the attached files and the scripts that form fields call; the others
    // name the source's pages and objects (its named destinations are resolved on the links).
    Object names = from.getKey("/Names");
    Object trees = Object::newDictionary();
    for (const auto& [key, description] : {std::pair{"/EmbeddedFiles", "the attached files"},
                                           std::pair{"/JavaScript", "the document's scripts"}}) {
        copy(description, [&] {
            if (Object tree = names.isDictionary() ? names.getKey(key) : Object::newNull();
                tree.isDictionary()) {
                trees.replaceKey(key, copied(output, tree));
            }
        });
    }
    if (!trees.getKeys().empty()) {
        to.replaceKey("/Names", trees);
    }
    if (!failures.isEmpty()) {
        throw PlatformError(failures.join(QStringLiteral("; ")));
    }
}

} // namespace quorvane::DocumentCatalog
