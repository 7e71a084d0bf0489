#pragma once

// What a page's content holds, found without holding it: its size (a compressed megabyte may
// inflate to gigabytes), and whether it shows any text.

#include <cstddef>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFPageObjectHelper.hh>

namespace quorvane::PdfContent {

// Whether a content stream, or an array of them, holds more than `limit` bytes once decoded.
// Decodes only up to the limit. Undecodable data counts for what was decoded before the error.
bool decodedSizeExceeds(QPDFObjectHandle content, std::size_t limit);

// Whether the page's content, or a form XObject it draws, has a text-showing operator. What its
// annotations draw is not part of it. Content that cannot be read counts as showing text.
bool showsText(QPDFPageObjectHelper page);

} // namespace quorvane::PdfContent
