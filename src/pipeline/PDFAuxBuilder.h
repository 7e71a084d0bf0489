#pragma once

// The document-level information that the searchable copy carries over from its source: title,
// author, subject and keywords, the creator name, and on request an sRGB output intent.

#include "platform/PdfDocument.h"

#include <QString>
#include <QStringList>
#include <optional>
#include <qpdf/QPDF.hh>

namespace quorvane::PDFAuxBuilder {

// The three values that name the sRGB output condition.
struct OutputIntent {
    QString info = "sRGB IEC61966-2.1";
    QString subtype = "sRGB";
    QString outputConditionIdentifier = "sRGB IEC61966-2.1";
    bool operator==(const OutputIntent&) const = default;
};

inline constexpr const char* creatorName = "Quorvane";

struct AuxiliaryInfo {
    std::optional<QString> title;
    std::optional<QString> author;
    std::optional<QString> subject;
    std::optional<QStringList> keywords;
    QString creator = creatorName;
    std::optional<SourceRecord> source;
    std::optional<QString> textCopy;
    std::optional<QString> formerTextCopy;
    std::optional<OutputIntent> outputIntent;
    bool operator==(const AuxiliaryInfo&) const = default;
};

// The source's title, author, subject and keywords (whatever it has of them), the creator, the
// records of the source file and of the text copy, and the output intent when `srgbOutputIntent`
// is set. The source's creator, producer and dates are never carried over.
AuxiliaryInfo auxiliaryInfo(const DocumentAttributes& attributes, bool srgbOutputIntent);

// Makes `output`'s document information exactly `info`: a fresh information dictionary (keywords
// joined into one string, text stored so that any language survives, the source record under
// the Quorvane keys), no metadata stream left from elsewhere, and /OutputIntents holding the one
// output intent or absent.
void apply(const AuxiliaryInfo& info, QPDF& output);

// Whether a document's information is a searchable copy's: it records a source, or (a copy made
// before sources were recorded) names Quorvane as its creator.
bool isSearchableCopy(const DocumentAttributes& attributes);

} // namespace quorvane::PDFAuxBuilder
