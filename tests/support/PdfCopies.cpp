#include "support/PdfCopies.h"

#include <QFile>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>

namespace quorvane::test {

std::unique_ptr<QPDF> pageCopies(const PdfDocument& source, int count) {
    auto copy = std::make_unique<QPDF>();
    copy->emptyPDF();
    QPDFPageDocumentHelper pages(*copy);
    const int total = count < 0 ? source.pageCount() : std::min(count, source.pageCount());
    for (int index = 0; index < total; ++index) {
        pages.addPage(source.page(index)->pageObject(), false);
    }
    return copy;
}

void writePdf(QPDF& pdf, const QString& path) {
    QPDFWriter writer(pdf, QFile::encodeName(path).constData());
    writer.write();
}

} // namespace quorvane::test
