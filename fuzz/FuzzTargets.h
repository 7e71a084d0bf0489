#pragma once

// What the fuzzers feed with arbitrary bytes: each target takes one input and must neither crash
// nor hang, whatever the bytes. The libFuzzer harnesses (Fuzzer.cpp, built by `make fuzz`) call
// these; every build compiles them, so that an engine change that breaks them shows at once.

#include <cstddef>
#include <cstdint>

namespace quorvane::fuzz {

// Opens the bytes as a PDF and walks its pages: checks, boxes, rotation, text, resolution, colour.
void pdfPages(const std::uint8_t* data, std::size_t size);
// Opens the bytes as a PDF and copies its outline, document information and the rest of its catalog
// (attached files, page labels, layers) into a new document, which is then written to memory; then
// writes its first pages, annotations included, through the searchable copy's writer.
void outlineAndInfo(const std::uint8_t* data, std::size_t size);
// Decodes the bytes as an image into the temporary one-page PDF.
void imageDecoding(const std::uint8_t* data, std::size_t size);
// Decodes the bytes as the stored presets, and encodes what comes out again.
void presets(const std::uint8_t* data, std::size_t size);

} // namespace quorvane::fuzz
