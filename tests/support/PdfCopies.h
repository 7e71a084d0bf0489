#pragma once

// PDF fixtures for tests of the document-level carry-over: a new document holding a source's
// pages (as the searchable copy does), and writing a QPDF document to a file.

#include "platform/PdfDocument.h"

#include <QString>
#include <memory>
#include <qpdf/QPDF.hh>

namespace quorvane::test {

// A new document with copies of the first `count` pages of `source` (all when negative).
std::unique_ptr<QPDF> pageCopies(const PdfDocument& source, int count = -1);

void writePdf(QPDF& pdf, const QString& path);

} // namespace quorvane::test
