#include "pipeline/DocumentStructure.h"

#include "core/OCRError.h"
#include "pipeline/DocumentCatalog.h"

#include <algorithm>
#include <map>
#include <optional>
#include <qpdf/QPDFNameTreeObjectHelper.hh>
#include <qpdf/QPDFNumberTreeObjectHelper.hh>
#include <set>

namespace quorvane::DocumentStructure {

namespace {

using Object = QPDFObjectHandle;

// What an element says about itself; its parent, page and contents are rebuilt for the copy.
constexpr const char* elementKeys[] = {
    "/Type",   "/S", "/ID",         "/C", "/R",  "/T",  "/Lang",
    "/Alt",    "/E", "/ActualText", "/A", "/NS", "/AF", "/PhoneticAlphabet",
    "/Phoneme"};

// Deeper than any real document nests; a damaged tree stops here rather than exhausting the stack.
constexpr int maxDepth = 200;

class TreeCopy {
public:
    TreeCopy(QPDF& output, const std::vector<CarriedPage>& pages, const AnnotationCopies& annotationCopies)
        : output_(output), annotationCopies_(annotationCopies) {
        for (const CarriedPage& page : pages) {
            pages_[QPDFObjectHandle(page.source).getObjGen()] = page;
        }
    }

    // The copy of a structure element and everything below it; null for what is no element, or an
    // element met before (each has one parent, and a damaged tree may loop).
    Object element(Object source, Object parent, int depth) {
        if (!source.isDictionary() || isNoElement(source) || depth > maxDepth ||
            (source.isIndirect() && !elements_.emplace(source.getObjGen(), Object::newNull()).second)) {
            return Object::newNull();
        }
        Object copy = output_.makeIndirectObject(Object::newDictionary());
        if (source.isIndirect()) {
            elements_[source.getObjGen()] = copy;
        }
        for (const char* key : elementKeys) {
            if (source.hasKey(key)) {
                copy.replaceKey(key, DocumentCatalog::copied(output_, source.getKey(key)));
            }
        }
        copy.replaceKey("/P", parent);
        const Object page = source.getKey("/Pg");
        if (CarriedPage* carried = carriedPage(page)) {
            copy.replaceKey("/Pg", carried->output);
        }
        Object kids = Object::newArray();
        for (Object kid : listed(source.getKey("/K"))) {
            if (Object kidCopy = contentItem(kid, copy, page, depth); !kidCopy.isNull()) {
                kids.appendItem(kidCopy);
            }
        }
        copy.replaceKey("/K", kids);
        if (Object id = copy.getKey("/ID"); id.isString()) {
            ids_.emplace_back(id.getUTF8Value(), copy);
        }
        return copy;
    }

    // The copy of a source element already copied; null for any other.
    Object copyOf(Object element) const {
        const auto found = element.isIndirect() ? elements_.find(element.getObjGen()) : elements_.end();
        return found == elements_.end() ? Object::newNull() : found->second;
    }

    const std::vector<std::pair<std::string, Object>>& ids() const { return ids_; }

private:
    // What a damaged tree names among its elements that is none: copied, it would be a second page
    // or catalog of the output.
    static bool isNoElement(Object object) {
        return object.isPageObject() || object.isPagesObject() ||
               object.getKey("/Type").isNameAndEquals("/Catalog") ||
               object.getKey("/Type").isNameAndEquals("/StructTreeRoot");
    }

    static std::vector<Object> listed(Object value) {
        return value.isArray() ? value.getArrayAsVector() : std::vector<Object>{value};
    }

    CarriedPage* carriedPage(Object page) {
        const auto found = page.isDictionary() ? pages_.find(page.getObjGen()) : pages_.end();
        return found == pages_.end() ? nullptr : &found->second;
    }

    // One of an element's contents: marked content, an annotation or XObject, or a child element.
    Object contentItem(Object item, Object parent, Object elementPage, int depth) {
        if (item.isInteger()) {
            return markedContent(item, elementPage, Object::newNull());
        }
        if (!item.isDictionary()) {
            return Object::newNull();
        }
        const Object page = item.getKey("/Pg").isDictionary() ? item.getKey("/Pg") : elementPage;
        if (item.getKey("/Type").isNameAndEquals("/MCR")) {
            return markedContent(item.getKey("/MCID"), page, item.getKey("/Stm"));
        }
        if (item.getKey("/Type").isNameAndEquals("/OBJR")) {
            return objectReference(item.getKey("/Obj"), page);
        }
        return element(item, parent, depth + 1);
    }

    // Marked content drawn by a page's own content now lies in the form that draws it on the copy;
    // content in one of its XObjects stays there, in that XObject's copy.
    Object markedContent(Object mcid, Object page, Object stream) {
        CarriedPage* carried = carriedPage(page);
        if (!mcid.isInteger() || carried == nullptr || carried->content.isNull()) {
            return Object::newNull();
        }
        Object reference = Object::newDictionary();
        reference.replaceKey("/Type", Object::newName("/MCR"));
        reference.replaceKey("/MCID", Object::newInteger(mcid.getIntValue()));
        reference.replaceKey("/Pg", carried->output);
        reference.replaceKey("/Stm",
                             stream.isStream() ? output_.copyForeignObject(stream) : carried->content);
        return reference;
    }

    Object objectReference(Object object, Object page) {
        if (!object.isIndirect()) {
            return Object::newNull();
        }
        Object copy =
            object.isStream() ? output_.copyForeignObject(object) : annotationCopies_(object.getObjGen());
        if (copy.isNull()) {
            return Object::newNull();
        }
        Object reference = Object::newDictionary();
        reference.replaceKey("/Type", Object::newName("/OBJR"));
        reference.replaceKey("/Obj", copy);
        if (CarriedPage* carried = carriedPage(page)) {
            reference.replaceKey("/Pg", carried->output);
        }
        return reference;
    }

    QPDF& output_;
    const AnnotationCopies& annotationCopies_;
    std::map<QPDFObjGen, CarriedPage> pages_; // by source page
    std::map<QPDFObjGen, Object> elements_;   // copies by source element
    std::vector<std::pair<std::string, Object>> ids_;
};

// Which elements each piece of marked content and each annotation belongs to, pointed at the
// copies. An entry none of whose elements was copied is left out.
// `nextKey`: past the highest key of the source's tree.
QPDFNumberTreeObjectHelper parentTree(QPDF& source, QPDF& output, Object tree, const TreeCopy& copy,
                                      long long& nextKey) {
    auto mapped = QPDFNumberTreeObjectHelper::newEmpty(output);
    if (!tree.isDictionary()) {
        return mapped;
    }
    for (auto [key, value] : QPDFNumberTreeObjectHelper(tree, source)) {
        nextKey = std::max(nextKey, key + 1);
        if (value.isArray()) {
            Object elements = Object::newArray();
            bool any = false;
            for (Object element : value.aitems()) {
                elements.appendItem(copy.copyOf(element));
                any = any || !copy.copyOf(element).isNull();
            }
            if (any) {
                mapped.insert(key, elements);
            }
        } else if (Object element = copy.copyOf(value); !element.isNull()) {
            mapped.insert(key, element);
        }
    }
    return mapped;
}

// The index of the first page an element has content on; none when it has none.
std::optional<int> firstPage(Object element, const std::map<QPDFObjGen, int>& pageIndices,
                             std::set<QPDFObjGen>& visited, int depth = 0) {
    if (!element.isDictionary() || depth > maxDepth ||
        (element.isIndirect() && !visited.insert(element.getObjGen()).second)) {
        return std::nullopt;
    }
    std::optional<int> first;
    const auto consider = [&](std::optional<int> index) {
        first = index && (!first || *index < *first) ? index : first;
    };
    if (const auto page = pageIndices.find(element.getKey("/Pg").getObjGen()); page != pageIndices.end()) {
        consider(page->second);
    }
    Object kids = element.getKey("/K");
    for (Object kid : kids.isArray() ? kids.getArrayAsVector() : std::vector<Object>{kids}) {
        consider(firstPage(kid, pageIndices, visited, depth + 1));
    }
    return first;
}

// Whether an element groups others (a /Document, a /Sect) rather than holding content of its own.
bool groups(Object element) {
    for (Object kid : element.getKey("/K").aitems()) {
        if (kid.hasKey("/S")) {
            return true;
        }
    }
    return false;
}

// A paragraph of each page's recognised text, among the elements of the tree's top (or of its one
// top element, such as /Document) before the first that begins on a later page.
void addRecognisedText(QPDF& output, Object copyRoot, QPDFNumberTreeObjectHelper& parents, long long& nextKey,
                       const std::vector<CarriedPage>& pages) {
    Object container = copyRoot;
    if (Object top = copyRoot.getKey("/K"); top.getArrayNItems() == 1 && groups(top.getArrayItem(0))) {
        container = top.getArrayItem(0);
    }
    std::map<QPDFObjGen, int> pageIndices;
    for (size_t i = 0; i < pages.size(); ++i) {
        pageIndices[Object(pages[i].output).getObjGen()] = int(i);
    }
    std::map<QPDFObjGen, std::optional<int>> firstPages; // of the container's elements, once each
    for (size_t i = 0; i < pages.size(); ++i) {
        if (!pages[i].recognisedText) {
            continue;
        }
        Object page = pages[i].output;
        Object paragraph = output.makeIndirectObject(Object::parse("<< /Type /StructElem /S /P /K 0 >>"));
        paragraph.replaceKey("/P", container);
        paragraph.replaceKey("/Pg", page);
        page.replaceKey("/StructParents", Object::newInteger(nextKey));
        parents.insert(nextKey++, Object::newArray(std::vector<Object>{paragraph}));
        Object kids = container.getKey("/K").isArray() ? container.getKey("/K") : Object::newArray();
        int at = 0;
        for (; at < kids.getArrayNItems(); ++at) {
            // Marked content listed in the container itself is direct, and counted anew each time.
            Object kid = kids.getArrayItem(at);
            auto [first, fresh] = firstPages.try_emplace(kid.isIndirect() ? kid.getObjGen() : QPDFObjGen());
            if (fresh || !kid.isIndirect()) {
                std::set<QPDFObjGen> visited;
                first->second = firstPage(kid, pageIndices, visited);
            }
            if (first->second && *first->second > int(i)) {
                break;
            }
        }
        kids.insertItem(at, paragraph);
        container.replaceKey("/K", kids);
    }
}

} // namespace

void carryOver(const PdfDocument& source, QPDF& output, const std::vector<CarriedPage>& pages,
               const AnnotationCopies& annotationCopies) {
    if (source.isLocked()) {
        return;
    }
    Object from = source.qpdf().getRoot();
    Object root = from.getKey("/StructTreeRoot");
    if (!root.isDictionary()) {
        return;
    }
    try {
        Object copyRoot = output.makeIndirectObject(Object::newDictionary());
        copyRoot.replaceKey("/Type", Object::newName("/StructTreeRoot"));
        TreeCopy copy(output, pages, annotationCopies);
        Object kids = Object::newArray();
        for (Object kid : root.getKey("/K").isArray() ? root.getKey("/K").getArrayAsVector()
                                                      : std::vector<Object>{root.getKey("/K")}) {
            if (Object element = copy.element(kid, copyRoot, 0); !element.isNull()) {
                kids.appendItem(element);
            }
        }
        copyRoot.replaceKey("/K", kids);
        // The pages' new keys come after every key the source uses, listed in its tree or not.
        Object nextKey = root.getKey("/ParentTreeNextKey");
        long long next = nextKey.isInteger() ? std::max(0ll, nextKey.getIntValue()) : 0;
        for (CarriedPage page : pages) {
            if (Object key = page.source.getKey("/StructParents"); key.isInteger()) {
                next = std::max(next, key.getIntValue() + 1);
            }
            for (Object annotation : page.source.getKey("/Annots").aitems()) {
                if (Object key = annotation.getKey("/StructParent"); key.isInteger()) {
                    next = std::max(next, key.getIntValue() + 1);
                }
            }
        }
        auto parents = parentTree(source.qpdf(), output, root.getKey("/ParentTree"), copy, next);
        addRecognisedText(output, copyRoot, parents, next, pages);
        copyRoot.replaceKey("/ParentTree", parents.getObjectHandle());
        copyRoot.replaceKey("/ParentTreeNextKey", Object::newInteger(next));
        for (const char* key : {"/RoleMap", "/ClassMap", "/Namespaces"}) {
            if (root.hasKey(key)) {
                copyRoot.replaceKey(key, DocumentCatalog::copied(output, root.getKey(key)));
            }
        }
        if (!copy.ids().empty()) {
            auto ids = QPDFNameTreeObjectHelper::newEmpty(output);
            for (const auto& [id, element] : copy.ids()) {
                ids.insert(id, element);
            }
            copyRoot.replaceKey("/IDTree", ids.getObjectHandle());
        }
        // The marks of a page's content are found through the form that now holds that content.
        for (CarriedPage page : pages) {
            if (Object key = page.source.getKey("/StructParents");
                key.isInteger() && page.content.isStream()) {
                page.content.getDict().replaceKey("/StructParents", Object::newInteger(key.getIntValue()));
            }
        }
        output.getRoot().replaceKey("/StructTreeRoot", copyRoot);
        if (Object marked = from.getKey("/MarkInfo"); marked.isDictionary()) {
            output.getRoot().replaceKey("/MarkInfo", DocumentCatalog::copied(output, marked));
        }
    } catch (const std::exception& error) {
        output.getRoot().removeKey("/StructTreeRoot");
        throw PlatformError(QStringLiteral("the document's tags could not be copied: %1")
                                .arg(QString::fromUtf8(error.what())));
    }
}

} // namespace quorvane::DocumentStructure
