#pragma once

// Lets image files go through the same path as PDFs: a temporary one-page PDF per image.

#include <QString>
#include <QStringList>

namespace quorvane::ImagePDFBuilder {

// The resolution of an image whose file states none that a scanner would use.
inline constexpr double imageDPI = 300.0;
// Stated resolutions taken as the scan's own: from 100 to 1200 DPI.
inline constexpr double minScanDPI = 100.0;
inline constexpr double maxScanDPI = 1200.0;
inline constexpr double maxPixelDimension = 4096.0;

const QStringList& supportedExtensions();

// By the lower-cased extension; a file without one is not an image.
bool isSupportedImage(const QString& path);

// The path of a temporary one-page PDF ("quorvane-image-<UUID>.pdf" in QDir::tempPath()) showing
// the image's first frame upright on white, its longer side at most maxPixelDimension pixels, on a
// page of the size it was scanned at (its stated resolution from minScanDPI to maxScanDPI, else
// imageDPI). The image is stored losslessly (grey or one bit per pixel where that loses nothing);
// a JPEG stays a JPEG, byte for byte when it needed no turning or scaling. Safe to call from
// several threads. The caller owns the file and deletes it. Throws OCRError::cannotOpenImage
// (nothing is written) or OCRError::outputWriteFailed (nothing is left behind).
QString makePDF(const QString& imagePath);

} // namespace quorvane::ImagePDFBuilder
