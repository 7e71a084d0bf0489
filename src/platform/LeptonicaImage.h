#pragma once

// Page bitmaps in Leptonica's image type, the form Tesseract takes without converting pixel by
// pixel. Tesseract copies the pixels of its raw-buffer input one at a time; a Leptonica image it
// copies whole.

#include "core/Raster.h"

#include <memory>

struct Pix;

namespace quorvane::LeptonicaImage {

struct Destroy {
    void operator()(Pix* pix) const;
};
using Image = std::unique_ptr<Pix, Destroy>;

// The image Tesseract's raw-buffer input makes of `raster` (8-bit grey, RGB or RGBA rows), byte
// for byte, without a resolution; except that an RGB raster whose three channels agree in every
// pixel becomes 8-bit grey, which Tesseract reads the same (the grey level it derives from such a
// pixel is that value; its per-channel thresholds agree) from a quarter of the memory. Null when
// `raster` has another format or memory is short.
Image fromRaster(const Raster& raster);

} // namespace quorvane::LeptonicaImage
