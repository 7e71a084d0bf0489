#pragma once

// Lets image files go through the same path as PDFs: a temporary one-page PDF per image.

#include <QString>
#include <QStringList>

namespace quorvane::ImagePDFBuilder {

inline constexpr double imageDPI = 300.0;
inline constexpr double maxPixelDimension = 4096.0;

const QStringList& supportedExtensions();

// By the lower-cased extension; a file without one is not an image.
bool isSupportedImage(const QString& path);

// The path of a temporary one-page PDF showing the image's first frame upright at 300 DPI.
// The caller owns the file and deletes it. Throws OCRError::cannotOpenImage or outputWriteFailed.
QString makePDF(const QString& imagePath);

} // namespace quorvane::ImagePDFBuilder
