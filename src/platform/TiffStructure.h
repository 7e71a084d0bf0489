#pragma once

// What libvips does not tell about a TIFF: how a page's image data is compressed, whether the
// file was cut short, and a page's JPEG data as it is stored.

#include <QByteArray>
#include <optional>
#include <string>
#include <vector>

namespace quorvane::TiffStructure {

// Whether page `page` (0-based) holds JPEG data, as a photograph's or a colour scan's may: stored
// losslessly, it would grow tenfold. False when libtiff cannot read the page.
bool holdsJpegData(const QByteArray& localPath, int page);

// The directories of a file of `directories` that are pages, in order: the first, and each later one
// not marked as a reduced-resolution copy of another (a level of a pyramid, a preview). One that
// libtiff cannot read counts as a page: decoding it says what is wrong.
std::vector<int> pageDirectories(const QByteArray& localPath, int directories);

// Whether the file was cut short. Cut after a whole page, it still reads, as a TIFF of fewer
// pages, and the pages it lost would go unnoticed; its chain of directories, or what they keep
// outside themselves (the list of a page's strips), then reaches beyond the end of the file. A
// link that some writer left to a directory of nothing, or back to an earlier one, loses no page
// and passes; directories that overlap each other do not. False for a file that cannot be read at
// all (libvips says what is wrong).
bool isCutShort(const QByteArray& localPath);

// Page `page` (0-based) of new-style JPEG compression as one baseline JPEG file of the whole page:
// its strips' data unchanged, joined by restart markers. Nothing where the strips cannot be joined
// so: tiles, progressive data, restarts of their own, strips that differ in their tables or do not
// end on a row of blocks. The caller checks that the file decodes to the page's pixels.
std::optional<std::string> pageAsJpeg(const QByteArray& localPath, int page);

} // namespace quorvane::TiffStructure
