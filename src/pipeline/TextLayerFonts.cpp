#include "pipeline/TextLayerFonts.h"

#include "core/OCRError.h"
#include "pipeline/HelveticaMetrics.h"

#include <QFile>
#include <qpdf/QPDFObjectHandle.hh>

namespace quorvane {

namespace {

using Object = QPDFObjectHandle;

constexpr const char* helveticaName = "/F1";
constexpr const char* glyphlessName = "/F2";
// The glyphless font has one visible glyph (GID 1), half an em wide.
constexpr int glyphlessWidth = 500;
// CIDs are two bytes; CID 0 stays .notdef.
constexpr unsigned lastCid = 0xFFFF;

// Control characters have no place in a line of text; they become spaces.
std::vector<char32_t> charactersOf(const QString& text) {
    std::vector<char32_t> characters;
    for (const uint c : text.toUcs4()) {
        characters.push_back(c < 0x20 || c == 0x7F ? U' ' : static_cast<char32_t>(c));
    }
    return characters;
}

std::string hex4(unsigned value) {
    static const char digits[] = "0123456789ABCDEF";
    return {digits[(value >> 12) & 15], digits[(value >> 8) & 15], digits[(value >> 4) & 15],
            digits[value & 15]};
}

std::string utf16Hex(char32_t character) {
    if (character < 0x10000) {
        return hex4(character);
    }
    const char32_t v = character - 0x10000;
    return hex4(0xD800 + (v >> 10)) + hex4(0xDC00 + (v & 0x3FF));
}

Object name(const char* text) {
    return Object::newName(text);
}

} // namespace

TextLayerFonts::TextLayerFonts(QPDF& output) : output_(output) {}

TextLayerFonts::Run TextLayerFonts::encode(const QString& text) {
    const auto characters = charactersOf(text);
    if (characters.empty()) {
        return {};
    }

    std::string winAnsi;
    double width = 0;
    for (const char32_t c : characters) {
        const auto code = HelveticaMetrics::winAnsiCode(c);
        if (!code) {
            break;
        }
        winAnsi.push_back(static_cast<char>(*code));
        width += HelveticaMetrics::advanceWidth(*code) / 1000.0;
    }
    if (winAnsi.size() == characters.size()) {
        return {helveticaName, helvetica(), winAnsi, width};
    }

    const Object font = glyphless();
    std::string bytes;
    for (const char32_t c : characters) {
        const unsigned cid = cidFor(c);
        bytes.push_back(static_cast<char>(cid >> 8));
        bytes.push_back(static_cast<char>(cid & 0xFF));
    }
    return {glyphlessName, font, bytes, characters.size() * glyphlessWidth / 1000.0};
}

unsigned TextLayerFonts::cidFor(char32_t character) {
    if (const auto found = cids_.find(character); found != cids_.end()) {
        return found->second;
    }
    if (characters_.size() >= lastCid - 1 && character != U'\uFFFD') {
        // A document with more distinct characters than CIDs: the rest read as replacement marks.
        return cidFor(U'\uFFFD');
    }
    characters_.push_back(character);
    const auto cid = static_cast<unsigned>(characters_.size());
    cids_.emplace(character, cid);
    return cid;
}

QPDFObjectHandle TextLayerFonts::helvetica() {
    if (helvetica_.isInitialized()) {
        return helvetica_;
    }
    // The widths travel with the font so every reader scales the runs exactly as we measured them.
    Object widths = Object::newArray();
    for (int code = HelveticaMetrics::firstCode; code <= HelveticaMetrics::lastCode; ++code) {
        widths.appendItem(
            Object::newInteger(HelveticaMetrics::advanceWidth(static_cast<unsigned char>(code))));
    }
    Object font = Object::newDictionary();
    font.replaceKey("/Type", name("/Font"));
    font.replaceKey("/Subtype", name("/Type1"));
    font.replaceKey("/BaseFont", name("/Helvetica"));
    font.replaceKey("/Encoding", name("/WinAnsiEncoding"));
    font.replaceKey("/FirstChar", Object::newInteger(HelveticaMetrics::firstCode));
    font.replaceKey("/LastChar", Object::newInteger(HelveticaMetrics::lastCode));
    font.replaceKey("/Widths", output_.makeIndirectObject(widths));
    helvetica_ = output_.makeIndirectObject(font);
    return helvetica_;
}

QString TextLayerFonts::glyphlessFontPath() {
    const QString prefix = qEnvironmentVariable("TESSDATA_PREFIX");
    const QString folder = prefix.isEmpty() ? QStringLiteral("/usr/share/tesseract-ocr/5/tessdata") : prefix;
    return folder + QStringLiteral("/pdf.ttf");
}

QPDFObjectHandle TextLayerFonts::glyphless() {
    if (glyphless_.isInitialized()) {
        return glyphless_;
    }
    const QString path = glyphlessFontPath();
    QFile file(path);
    QByteArray fontData;
    if (file.open(QIODevice::ReadOnly)) {
        fontData = file.readAll();
    }
    if (fontData.isEmpty()) {
        throw OCRError::outputWriteFailed(
            QStringLiteral("the text-layer font \"%1\" could not be read (it comes with Tesseract)")
                .arg(path));
    }

    Object fontFile = output_.newStream(fontData.toStdString());
    fontFile.getDict().replaceKey("/Length1", Object::newInteger(fontData.size()));

    Object descriptor = Object::newDictionary();
    descriptor.replaceKey("/Type", name("/FontDescriptor"));
    descriptor.replaceKey("/FontName", name("/GlyphLessFont"));
    descriptor.replaceKey("/Flags", Object::newInteger(5));
    descriptor.replaceKey("/FontBBox", Object::newFromRectangle({0, 0, glyphlessWidth, 1000}));
    descriptor.replaceKey("/ItalicAngle", Object::newInteger(0));
    descriptor.replaceKey("/Ascent", Object::newInteger(1000));
    descriptor.replaceKey("/Descent", Object::newInteger(0));
    descriptor.replaceKey("/CapHeight", Object::newInteger(1000));
    descriptor.replaceKey("/StemV", Object::newInteger(80));
    descriptor.replaceKey("/FontFile2", fontFile);

    Object systemInfo = Object::newDictionary();
    systemInfo.replaceKey("/Registry", Object::newString("Adobe"));
    systemInfo.replaceKey("/Ordering", Object::newString("Identity"));
    systemInfo.replaceKey("/Supplement", Object::newInteger(0));

    cidToGid_ = output_.newStream();
    Object cidFont = Object::newDictionary();
    cidFont.replaceKey("/Type", name("/Font"));
    cidFont.replaceKey("/Subtype", name("/CIDFontType2"));
    cidFont.replaceKey("/BaseFont", name("/GlyphLessFont"));
    cidFont.replaceKey("/CIDSystemInfo", systemInfo);
    cidFont.replaceKey("/FontDescriptor", output_.makeIndirectObject(descriptor));
    cidFont.replaceKey("/DW", Object::newInteger(glyphlessWidth));
    cidFont.replaceKey("/CIDToGIDMap", cidToGid_);

    toUnicode_ = output_.newStream();
    Object font = Object::newDictionary();
    font.replaceKey("/Type", name("/Font"));
    font.replaceKey("/Subtype", name("/Type0"));
    font.replaceKey("/BaseFont", name("/GlyphLessFont"));
    font.replaceKey("/Encoding", name("/Identity-H"));
    font.replaceKey("/DescendantFonts", Object::newArray({output_.makeIndirectObject(cidFont)}));
    font.replaceKey("/ToUnicode", toUnicode_);
    glyphless_ = output_.makeIndirectObject(font);
    return glyphless_;
}

void TextLayerFonts::finish() {
    if (!glyphless_.isInitialized()) {
        return;
    }
    // Every CID but 0 shows the one glyph.
    std::string gids(2 * (characters_.size() + 1), '\0');
    for (size_t cid = 1; cid <= characters_.size(); ++cid) {
        gids[2 * cid + 1] = 1;
    }
    cidToGid_.replaceStreamData(gids, Object::newNull(), Object::newNull());

    std::string cmap = "/CIDInit /ProcSet findresource begin\n"
                       "12 dict begin\n"
                       "begincmap\n"
                       "/CIDSystemInfo << /Registry (Adobe) /Ordering (UCS) /Supplement 0 >> def\n"
                       "/CMapName /Adobe-Identity-UCS def\n"
                       "/CMapType 2 def\n"
                       "1 begincodespacerange\n<0000> <FFFF>\nendcodespacerange\n";
    // A bfchar block holds at most 100 entries.
    for (size_t first = 0; first < characters_.size(); first += 100) {
        const size_t count = std::min<size_t>(100, characters_.size() - first);
        cmap += std::to_string(count) + " beginbfchar\n";
        for (size_t i = first; i < first + count; ++i) {
            cmap += "<" + hex4(static_cast<unsigned>(i + 1)) + "> <" + utf16Hex(characters_[i]) + ">\n";
        }
        cmap += "endbfchar\n";
    }
    cmap += "endcmap\nCMapName currentdict /CMap defineresource pop\nend\nend\n";
    toUnicode_.replaceStreamData(cmap, Object::newNull(), Object::newNull());
}

} // namespace quorvane
