#pragma once

// Lets image files go through the same path as PDFs: a temporary PDF per image file.

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

namespace quorvane::ImagePDFBuilder {

// The resolution of an image whose file states none that a scanner would use.
inline constexpr double imageDPI = 300.0;
// Stated resolutions taken as the scan's own: from 100 to 1200 DPI, and down to 90 DPI when the
// two axes differ, as a fax's do (204 x 98 DPI at standard resolution).
inline constexpr double minScanDPI = 100.0;
inline constexpr double minFaxDPI = 90.0;
inline constexpr double maxScanDPI = 1200.0;
// An image without a stated resolution makes a page as large as it would be with this many pixels
// on its longer side at imageDPI.
inline constexpr double maxPixelDimension = 4096.0;
// The image on the page keeps the file's pixels up to this many on its longer side (a 600-DPI scan
// of a legal page, a 48-megapixel photograph): the copy shows the scan as sharp as the file does.
inline constexpr double maxEmbeddedDimension = 8192.0;

const QStringList& supportedExtensions();

// By the lower-cased extension; a file without one is not an image.
bool isSupportedImage(const QString& path);

// The number of pages makePDF makes of the file (a pyramid's reduced levels are none). Throws
// OCRError::cannotOpenImage.
int pageCount(const QString& imagePath);

// The path of a temporary PDF ("quorvane-image-<UUID>.pdf" in the process's private temporary
// folder) with one page per page of a TIFF and one page for the first frame of any other image,
// each upright on white, its longer side at most maxEmbeddedDimension pixels, on a page of the size
// it was scanned at (its stated resolution, as above, else imageDPI as above). The image is stored
// losslessly (grey or one bit per pixel where that loses nothing), except that JPEG data (a JPEG,
// a TIFF page of JPEG data) stays JPEG. A JPEG that needed no turning or scaling goes in byte for
// byte, and so does the image data of such a PNG where a PDF reads it as it is. The pages are
// converted on pageTaskPool's threads and wait on disk until the file is written. Safe to call
// from several threads. The caller owns the file and deletes it. Throws
// OCRError::cannotOpenImage (nothing is written), OCRError::documentTooLarge for a TIFF of more
// pages than a job may have, or OCRError::outputWriteFailed naming what is wrong with the
// temporary folder (nothing is left behind). Once `stopped` answers true, no further page is
// converted and the result is an empty path, with nothing left behind. With `onlyPage` (0-based),
// the PDF has that page alone.
QString makePDF(const QString& imagePath, const std::function<bool()>& stopped = {},
                std::optional<int> onlyPage = std::nullopt);

} // namespace quorvane::ImagePDFBuilder
