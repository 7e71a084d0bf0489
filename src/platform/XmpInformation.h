#pragma once

// The title, author, subject and keywords that a PDF keeps in its XMP metadata. PDF 2.0 deprecates
// the information dictionary, so newer writers may record them there only.

#include <QStringList>
#include <optional>
#include <qpdf/QPDF.hh>

namespace quorvane::XmpInformation {

struct Fields {
    std::optional<QString> title;
    std::optional<QString> author; // the creators, joined by ", "
    std::optional<QString> subject;
    std::optional<QStringList> keywords;
};

// What the document catalog's metadata stream says; nothing for a missing, damaged or oversized one.
Fields of(QPDF& pdf);

// The fields of an XMP packet: Dublin Core's title, creators and description, and the PDF schema's
// keywords (Dublin Core's subjects when it has none). Titles in several languages give the default.
Fields parse(const QByteArray& packet);

} // namespace quorvane::XmpInformation
