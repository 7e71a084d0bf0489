#pragma once

// Sizes of PDF content without holding it: a compressed megabyte may inflate to gigabytes.

#include <cstddef>
#include <qpdf/QPDFObjectHandle.hh>

namespace quorvane::PdfContent {

// Whether a content stream, or an array of them, holds more than `limit` bytes once decoded.
// Decodes only up to the limit. Undecodable data counts for what was decoded before the error.
bool decodedSizeExceeds(QPDFObjectHandle content, std::size_t limit);

} // namespace quorvane::PdfContent
