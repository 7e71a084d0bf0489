#pragma once

// What a JPEG stream's markers say about how readers will decode its colours.

#include <string>

namespace quorvane::JpegMarkers {

// Whether the stream holds three components of RGB as they are, which libjpeg recognises by the
// components' names ('R', 'G', 'B') when neither a JFIF nor an Adobe marker says otherwise. PDF
// readers go by the markers alone and decode such data as YCbCr, in wrong colours. libtiff writes
// it so for a TIFF of RGB in JPEG, as ImageMagick makes by default.
bool storesUntransformedRgb(const std::string& jpeg);

} // namespace quorvane::JpegMarkers
