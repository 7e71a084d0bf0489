#pragma once

// A long scanned document for the benchmarks: `copies` copies of one PDF's pages, each read from
// its own opening of the file, so every page has its own image as in a real multi-page scan.

#include <QFile>
#include <QString>

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <memory>
#include <vector>

inline void makeRepeatedDocument(const QString& source, const QString& path, int copies) {
    QPDF output;
    output.emptyPDF();
    QPDFPageDocumentHelper outputPages(output);
    std::vector<std::unique_ptr<QPDF>> sources; // the copies read their data while being written
    for (int copy = 0; copy < copies; ++copy) {
        auto opened = std::make_unique<QPDF>();
        opened->processFile(QFile::encodeName(source).constData());
        for (auto& page : QPDFPageDocumentHelper(*opened).getAllPages()) {
            outputPages.addPage(page, false);
        }
        sources.push_back(std::move(opened));
    }
    QPDFWriter writer(output, QFile::encodeName(path).constData());
    writer.write();
}
