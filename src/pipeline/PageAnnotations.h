#pragma once

// Carries the annotations of source pages (links, notes, highlights, form widgets, ...) onto the
// output pages that show those pages, moved with the same transformation as the page's drawing,
// and the form fields of the widgets into the output's interactive form.

#include "pipeline/PdfDestinations.h"
#include "platform/PdfDocument.h"

#include <map>
#include <memory>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFAcroFormDocumentHelper.hh>
#include <qpdf/QPDFMatrix.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <set>
#include <vector>

namespace quorvane {

class PageAnnotations {
public:
    explicit PageAnnotations(QPDF& output);
    ~PageAnnotations();
    PageAnnotations(const PageAnnotations&) = delete;
    PageAnnotations& operator=(const PageAnnotations&) = delete;

    // Copies the annotations of `source` onto `target`, whose content shows the source page drawn
    // with `placement`. Throws when the page's annotations cannot be read.
    void copy(const PdfPage& source, QPDFPageObjectHelper target, const QPDFMatrix& placement);

    // Once every page is in place: links to pages of their own document lead to the output page
    // that shows that page, or nowhere when the output lacks it; the fields that compute their
    // values do so in their source's order (/CO).
    void finish();

    // The copy of an annotation of `document`'s pages; null when it was not copied.
    QPDFObjectHandle copyOf(const PdfDocument& document, QPDFObjGen annotation) const;

private:
    struct Source {
        std::unique_ptr<QPDFAcroFormDocumentHelper> form;
        std::unique_ptr<PdfDestinations> destinations;
    };
    struct Link {
        QPDFObjectHandle annotation; // in the output
        const PdfDocument* document;
        PdfDestinations::Target target;
    };

    Source& sourceFor(const PdfDocument& document);
    std::set<size_t> reuseListedWidgets(const PdfDocument& document,
                                        const std::vector<QPDFObjectHandle>& originals,
                                        std::vector<QPDFObjectHandle>& copies,
                                        std::vector<QPDFObjectHandle>& fields, const QPDFMatrix& placement);
    void joinSharedFields(const PdfDocument& document, const std::vector<QPDFObjectHandle>& originals,
                          const std::vector<QPDFObjectHandle>& copies, std::vector<QPDFObjectHandle>& fields);
    void keepCalculationOrder();

    QPDF& output_;
    std::unique_ptr<QPDFAcroFormDocumentHelper> form_; // made with the first annotation
    std::map<const PdfDocument*, Source> sources_;
    struct OutputPage {
        QPDFObjectHandle page;
        QPDFMatrix placement; // of the source page's drawing on it
    };
    std::map<std::pair<const PdfDocument*, int>, OutputPage> outputPages_; // by source page index
    std::vector<Link> links_;
    // By source annotation, and by source field above a widget.
    std::map<std::pair<const PdfDocument*, QPDFObjGen>, QPDFObjectHandle> fieldCopies_;
    // The one copy of each top-level field whose widgets lie on several pages, by source field.
    std::map<std::pair<const PdfDocument*, QPDFObjGen>, QPDFObjectHandle> fieldTrees_;
};

} // namespace quorvane
