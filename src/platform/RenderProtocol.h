#pragma once

// What the engine and its page renderer (quorvane-render) say to each other over their socket: a
// fixed-size request, then a fixed-size answer followed by the pixels, row after row without gaps.
// Both ends are built together and run on the same machine, so the structs travel as they are.

#include <cstdint>

namespace quorvane::RenderProtocol {

// The descriptors the renderer starts with: the socket on standard input, the PDF's bytes on 3.
inline constexpr int socketDescriptor = 0;
inline constexpr int documentDescriptor = 3;

struct Request {
    std::int32_t pageIndex;
    std::int32_t columns;
    std::int32_t rows;
    std::int32_t quarterTurns;
    std::int32_t grey;
    double resolution;
};

struct Answer {
    std::int32_t drawn; // 0: Poppler gave no image, and no pixels follow
    std::int32_t columns;
    std::int32_t rows;
    std::int32_t channels;
};

} // namespace quorvane::RenderProtocol
