#pragma once

// The fonts of the invisible text layer of one output document. Lines that WinAnsiEncoding can
// hold use Helvetica; every other line uses the glyphless font that Tesseract installs, with each
// distinct character of the document numbered as a CID and mapped back to its Unicode text, so
// search and copy find every recognised character (Cyrillic, CJK, beyond the BMP).

#include <QString>
#include <qpdf/QPDF.hh>
#include <string>
#include <unordered_map>
#include <vector>

namespace quorvane {

class TextLayerFonts {
public:
    explicit TextLayerFonts(QPDF& output);

    // One line of text ready for a Tj operator.
    struct Run {
        std::string resourceName; // the name under which the page's resources hold `font`
        QPDFObjectHandle font;
        std::string bytes; // the string operand of Tj, raw bytes
        double width = 0;  // advance width of the whole run at font size 1
    };

    // Throws OCRError::outputWriteFailed when the line needs the glyphless font and it cannot be
    // read.
    Run encode(const QString& text);

    // Completes the glyphless font's character maps; call once after the last encode().
    void finish();

    // Where the glyphless font is read from: pdf.ttf in $TESSDATA_PREFIX, or in Tesseract's
    // installed data folder.
    static QString glyphlessFontPath();

private:
    QPDFObjectHandle helvetica();
    QPDFObjectHandle glyphless();
    unsigned cidFor(char32_t character);

    QPDF& output_;
    QPDFObjectHandle helvetica_;
    QPDFObjectHandle glyphless_;
    QPDFObjectHandle toUnicode_;
    QPDFObjectHandle cidToGid_;
    std::unordered_map<char32_t, unsigned> cids_;
    std::vector<char32_t> characters_; // characters_[cid - 1]
};

} // namespace quorvane
