#include "pipeline/PageAnnotations.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <set>

namespace quorvane {

namespace {

// Whether a damaged file names a page or the page tree as an annotation, or as a field above a
// widget. QPDF 11.3 cannot copy either on its own: it hands back an empty object, which fails
// every later use or, made a field of the copy, brings the program down when it is freed.
bool inPageTree(QPDFObjectHandle annotation) {
    for (int depth = 0; depth < 32 && annotation.isDictionary(); ++depth) {
        if (annotation.isPageObject() || annotation.isPagesObject()) {
            return true;
        }
        annotation = annotation.getKey("/Parent");
    }
    return false;
}

// A list of coordinates, x and y in turn.
bool isPointList(QPDFObjectHandle points) {
    if (!points.isArray() || points.getArrayNItems() % 2 != 0) {
        return false;
    }
    for (auto item : points.aitems()) {
        if (!item.isNumber()) {
            return false;
        }
    }
    return true;
}

QPDFObjectHandle movedPoints(QPDFObjectHandle points, const QPDFMatrix& placement) {
    auto moved = QPDFObjectHandle::newArray();
    for (int i = 0; i + 1 < points.getArrayNItems(); i += 2) {
        double x = 0, y = 0;
        placement.transform(points.getArrayItem(i).getNumericValue(),
                            points.getArrayItem(i + 1).getNumericValue(), x, y);
        moved.appendItem(QPDFObjectHandle::newReal(x, 4));
        moved.appendItem(QPDFObjectHandle::newReal(y, 4));
    }
    return moved;
}

// QPDF moves an annotation's rectangle and appearances, not the points that shape it: a highlight's
// quadrilaterals, an ink stroke, a line's ends, a polygon's corners. Readers draw from those, and a
// redaction cuts there.
void moveShape(QPDFObjectHandle copy, const QPDFMatrix& placement) {
    if (placement == QPDFMatrix()) {
        return; // as it was, to the last digit
    }
    for (const char* key : {"/QuadPoints", "/Vertices", "/L", "/CL"}) {
        if (auto points = copy.getKey(key); isPointList(points)) {
            copy.replaceKey(key, movedPoints(points, placement));
        }
    }
    if (auto ink = copy.getKey("/InkList"); ink.isArray()) {
        auto strokes = QPDFObjectHandle::newArray();
        for (auto stroke : ink.aitems()) {
            strokes.appendItem(isPointList(stroke) ? movedPoints(stroke, placement) : stroke);
        }
        copy.replaceKey("/InkList", strokes);
    }
    // A field's text is turned by /R (0 when missing) against its page, which is now drawn upright:
    // a reader that draws the field anew (an edit, or a form that asks for it) would set it sideways.
    auto look = copy.getKey("/MK");
    auto before = look.isDictionary() ? look.getKey("/R") : QPDFObjectHandle::newNull();
    const int turn = 90 * static_cast<int>(std::lround(std::atan2(placement.b, placement.a) * 2 / M_PI));
    if (before.isNumber() || (turn != 0 && copy.getKey("/Subtype").isNameAndEquals("/Widget"))) {
        const int was = before.isNumber() ? static_cast<int>(before.getNumericValue()) : 0;
        const int rotation = ((was + turn) % 360 + 360) % 360;
        auto turned = look.isDictionary() ? look.shallowCopy() : QPDFObjectHandle::newDictionary();
        turned.replaceKey("/R", QPDFObjectHandle::newInteger(rotation));
        copy.replaceKey("/MK", turned);
    }
}

// An appearance stream of a copy drawn as the original's was, without QPDF's turn.
void restoreMatrix(QPDFObjectHandle original, QPDFObjectHandle copy) {
    if (!original.isStream() || !copy.isStream()) {
        return;
    }
    if (auto matrix = original.getDict().getKey("/Matrix"); matrix.isMatrix()) {
        copy.getDict().replaceKey("/Matrix", QPDFObjectHandle::newFromMatrix(matrix.getArrayAsMatrix()));
    } else {
        copy.getDict().removeKey("/Matrix");
    }
}

void restoreAppearances(QPDFObjectHandle original, QPDFObjectHandle copy) {
    auto from = original.getKey("/AP"), to = copy.getKey("/AP");
    if (!from.isDictionary() || !to.isDictionary()) {
        return;
    }
    for (const char* kind : {"/N", "/R", "/D"}) {
        auto looks = from.getKey(kind), copied = to.getKey(kind);
        restoreMatrix(looks, copied);
        if (looks.isDictionary() && copied.isDictionary()) {
            for (auto [state, look] : looks.ditems()) {
                restoreMatrix(look, copied.getKey(state));
            }
        }
    }
}

// Readers show a "do not rotate" annotation (a note's icon, a stamp) upright on a turned page,
// hung from the upper-left corner of its rectangle. The copy's page is upright, so the copy is
// set upright there, hung from where that corner went.
void keepUpright(QPDFObjectHandle original, QPDFObjectHandle copy, const QPDFMatrix& placement) {
    constexpr long long noRotate = 16;
    auto flags = original.getKey("/F");
    auto rect = original.getKey("/Rect");
    if (!flags.isInteger() || (flags.getIntValue() & noRotate) == 0 || !rect.isRectangle() ||
        placement == QPDFMatrix()) {
        return;
    }
    const auto box = rect.getArrayAsRectangle();
    double left = 0, top = 0;
    placement.transform(std::min(box.llx, box.urx), std::max(box.lly, box.ury), left, top);
    const double scale = std::hypot(placement.a, placement.b);
    const double width = std::abs(box.urx - box.llx) * scale, height = std::abs(box.ury - box.lly) * scale;
    copy.replaceKey("/Rect", QPDFObjectHandle::newFromRectangle({left, top - height, left + width, top}));
    restoreAppearances(original, copy);
}

} // namespace

PageAnnotations::PageAnnotations(QPDF& output) : output_(output) {}

PageAnnotations::~PageAnnotations() = default;

PageAnnotations::Source& PageAnnotations::sourceFor(const PdfDocument& document) {
    Source& source = sources_[&document];
    if (!source.form) {
        source.form = std::make_unique<QPDFAcroFormDocumentHelper>(document.qpdf());
        source.destinations = std::make_unique<PdfDestinations>(document);
    }
    return source;
}

void PageAnnotations::copy(const PdfPage& source, QPDFPageObjectHelper target, const QPDFMatrix& placement) {
    const PdfDocument& document = source.document();
    QPDFObjectHandle page = target.getObjectHandle();
    outputPages_[{&document, source.index()}] = {page, placement};
    auto listed = source.pageObject().getObjectHandle().getKey("/Annots");
    if (!listed.isArray()) {
        return;
    }
    auto annotations = QPDFObjectHandle::newArray();
    for (auto entry : listed.aitems()) {
        if (entry.isDictionary() && !inPageTree(entry)) {
            annotations.appendItem(entry);
        }
    }
    if (annotations.getArrayNItems() == 0) {
        return;
    }
    Source& from = sourceFor(document);
    if (!form_) {
        form_ = std::make_unique<QPDFAcroFormDocumentHelper>(output_);
    }

    // QPDF copies each annotation (and the field of a widget, the appearance streams) and moves
    // its rectangle and appearances by the matrix; the copies come in the order of the originals.
    std::vector<QPDFObjectHandle> copies, fields;
    std::set<QPDFObjGen> replacedFields;
    form_->transformAnnotations(annotations, copies, fields, replacedFields, placement, &document.qpdf(),
                                from.form.get());
    const std::vector<QPDFObjectHandle> originals = annotations.getArrayAsVector();
    const bool paired = originals.size() == copies.size();
    std::set<size_t> reused;
    if (paired) {
        reused = reuseListedWidgets(document, originals, copies, fields, placement);
        joinSharedFields(document, originals, copies, fields);
    }
    form_->addAndRenameFormFields(fields);

    // Annotations that name each other (a note and its pop-up, a reply and its note) were copied
    // in two steps; their references are turned to the final copies.
    std::map<QPDFObjGen, QPDFObjectHandle> finalCopy;
    for (size_t i = 0; paired && i < copies.size(); ++i) {
        if (originals[i].isIndirect()) {
            finalCopy[output_.copyForeignObject(originals[i]).getObjGen()] = copies[i];
        }
    }

    auto list = page.getKey("/Annots");
    if (!list.isArray()) {
        list = QPDFObjectHandle::newArray();
        page.replaceKey("/Annots", list);
    }
    for (size_t i = 0; i < copies.size(); ++i) {
        QPDFObjectHandle copy = copies[i];
        if (reused.count(i) > 0) {
            list.appendItem(copy);
            continue;
        }
        copy.replaceKey("/P", page);
        for (const char* key : {"/Popup", "/Parent", "/IRT"}) {
            auto other = copy.getKey(key);
            const auto found = other.isIndirect() ? finalCopy.find(other.getObjGen()) : finalCopy.end();
            if (found != finalCopy.end()) {
                copy.replaceKey(key, found->second);
            }
        }
        moveShape(copy, placement);
        if (paired) {
            keepUpright(originals[i], copy, placement);
            if (auto target = from.destinations->targetOf(originals[i])) {
                links_.push_back({copy, &document, *target});
            }
            // A widget and the fields above it, each beside its copy.
            auto field = originals[i], fieldCopy = copy;
            for (int depth = 0; depth < 32 && field.isIndirect() && fieldCopy.isDictionary(); ++depth) {
                fieldCopies_[{&document, field.getObjGen()}] = fieldCopy;
                field = field.getKey("/Parent");
                fieldCopy = fieldCopy.getKey("/Parent");
            }
        }
        list.appendItem(copy);
    }
}

QPDFObjectHandle PageAnnotations::copyOf(const PdfDocument& document, QPDFObjGen annotation) const {
    const auto found = fieldCopies_.find({&document, annotation});
    return found == fieldCopies_.end() ? QPDFObjectHandle::newNull() : found->second;
}

// A widget that the source lists on several pages is one field. A later page whose drawing lies as
// the first one's lists the first copy, as the source does, rather than a twin renamed "Name+1".
std::set<size_t> PageAnnotations::reuseListedWidgets(const PdfDocument& document,
                                                     const std::vector<QPDFObjectHandle>& originals,
                                                     std::vector<QPDFObjectHandle>& copies,
                                                     std::vector<QPDFObjectHandle>& fields,
                                                     const QPDFMatrix& placement) {
    std::set<size_t> reused;
    for (size_t i = 0; i < copies.size(); ++i) {
        QPDFObjectHandle original = originals[i];
        const auto first =
            original.isIndirect() ? fieldCopies_.find({&document, original.getObjGen()}) : fieldCopies_.end();
        if (first == fieldCopies_.end() || !original.getKey("/Subtype").isNameAndEquals("/Widget")) {
            continue;
        }
        const QPDFObjGen shownOn = first->second.getKey("/P").getObjGen();
        if (std::none_of(outputPages_.begin(), outputPages_.end(), [&](const auto& shown) {
                return shown.second.page.getObjGen() == shownOn && shown.second.placement == placement;
            })) {
            continue;
        }
        QPDFObjectHandle top = copies[i];
        for (int depth = 0; depth < 32 && top.getKey("/Parent").isDictionary(); ++depth) {
            top = top.getKey("/Parent");
        }
        std::erase_if(fields,
                      [&](const QPDFObjectHandle& field) { return field.getObjGen() == top.getObjGen(); });
        copies[i] = first->second;
        reused.insert(i);
    }
    return reused;
}

namespace {

// Where `node` sits below its top-level field: the index in each /Kids array on the way down, and
// the top field itself. Nothing when a link of the chain is missing or too long.
std::optional<std::pair<QPDFObjectHandle, std::vector<int>>> placeInTree(QPDFObjectHandle node) {
    std::vector<int> path;
    for (int depth = 0; depth < 32; ++depth) {
        QPDFObjectHandle parent = node.getKey("/Parent");
        if (!parent.isDictionary()) {
            std::reverse(path.begin(), path.end());
            return std::pair{node, path};
        }
        const auto kids = parent.getKey("/Kids").getArrayAsVector();
        const auto at = std::find_if(kids.begin(), kids.end(),
                                     [&](const QPDFObjectHandle& kid) { return kid.getObjGen() == node.getObjGen(); });
        if (at == kids.end()) {
            return std::nullopt;
        }
        path.push_back(static_cast<int>(at - kids.begin()));
        node = parent;
    }
    return std::nullopt;
}

} // namespace

// QPDF copies a widget's whole field tree with the page it is on, so a field with widgets on
// several pages (a radio group, a name shown in every page's header) would come out once per page,
// renamed "Name+1" and so on, each copy with widgets of other pages that are on no page. The first
// page's copy is kept, and each later page's widget takes the place of its unplaced twin there.
void PageAnnotations::joinSharedFields(const PdfDocument& document, const std::vector<QPDFObjectHandle>& originals,
                                       const std::vector<QPDFObjectHandle>& copies,
                                       std::vector<QPDFObjectHandle>& fields) {
    std::set<QPDFObjGen> joined;
    for (size_t i = 0; i < copies.size(); ++i) {
        const auto original = placeInTree(originals[i]);
        const auto copy = placeInTree(copies[i]);
        if (!original || !copy || original->second.empty() || original->second != copy->second ||
            !original->first.isIndirect()) {
            continue;
        }
        const auto [tree, first] = fieldTrees_.emplace(std::pair{&document, original->first.getObjGen()}, copy->first);
        if (first || tree->second.getObjGen() == copy->first.getObjGen()) {
            continue;
        }
        QPDFObjectHandle parent = tree->second;
        const std::vector<int>& path = copy->second;
        for (size_t level = 0; level + 1 < path.size() && parent.isDictionary(); ++level) {
            parent = parent.getKey("/Kids").getArrayItem(path[level]);
        }
        QPDFObjectHandle kids = parent.isDictionary() ? parent.getKey("/Kids") : QPDFObjectHandle::newNull();
        if (!kids.isArray() || path.back() >= kids.getArrayNItems()) {
            continue;
        }
        kids.setArrayItem(path.back(), copies[i]);
        QPDFObjectHandle(copies[i]).replaceKey("/Parent", parent);
        joined.insert(copy->first.getObjGen());
    }
    std::erase_if(fields, [&](const QPDFObjectHandle& field) { return joined.count(field.getObjGen()) > 0; });
}

void PageAnnotations::finish() {
    for (Link& link : links_) {
        const auto page = outputPages_.find({link.document, link.target.pageIndex});
        auto destination =
            page == outputPages_.end()
                ? QPDFObjectHandle::newNull()
                : PdfDestinations::destination(link.target, page->second.page, page->second.placement);
        // An action stays one: a button cannot name a destination itself. What it leads on to
        // (/Next) could lead into the source document, and goes.
        auto action = link.annotation.getKey("/A");
        const bool goTo = action.isDictionary() && action.getKey("/S").isNameAndEquals("/GoTo");
        const bool viaAction = goTo && link.annotation.getKey("/Dest").isNull();
        if (goTo && !viaAction) {
            link.annotation.removeKey("/A"); // not allowed beside a destination, which was taken
        }
        if (destination.isNull()) {
            link.annotation.removeKey(viaAction ? "/A" : "/Dest");
        } else if (viaAction) {
            action = action.shallowCopy();
            action.replaceKey("/D", destination);
            action.removeKey("/Next");
            link.annotation.replaceKey("/A", action);
        } else {
            link.annotation.replaceKey("/Dest", destination);
        }
    }
    links_.clear();
    keepCalculationOrder();
}

void PageAnnotations::keepCalculationOrder() {
    auto order = QPDFObjectHandle::newArray();
    for (const auto& [document, source] : sources_) {
        auto sourceForm = document->qpdf().getRoot().getKey("/AcroForm");
        auto calculated = sourceForm.isDictionary() ? sourceForm.getKey("/CO") : QPDFObjectHandle::newNull();
        if (!calculated.isArray()) {
            continue;
        }
        for (auto& field : calculated.aitems()) {
            const auto copy =
                field.isIndirect() ? fieldCopies_.find({document, field.getObjGen()}) : fieldCopies_.end();
            if (copy != fieldCopies_.end()) {
                order.appendItem(copy->second);
            }
        }
    }
    auto form = output_.getRoot().getKey("/AcroForm");
    if (order.getArrayNItems() > 0 && form.isDictionary()) {
        form.replaceKey("/CO", order);
    }
}

} // namespace quorvane
