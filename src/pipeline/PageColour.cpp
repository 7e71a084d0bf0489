#include "pipeline/PageColour.h"

#include "platform/PdfContent.h"

#include <qpdf/QPDFObjectHandle.hh>

#include <set>
#include <string>

namespace quorvane::PageColour {

namespace {

constexpr int maxFormDepth = 8;
// Parsing holds a content stream whole in memory, decoded. A page whose content is larger is
// rendered in colour instead: slower, never wrong, and a compressed gigabyte of zeros costs nothing.
constexpr size_t largestContentParsed = 16u << 20;

// Every operator that sets a colour other than through grey, paints a shading or starts an inline
// image (whose colour space we would have to read from the stream).
bool bringsColour(const std::string& op) {
    static const std::set<std::string> operators = {"rg", "RG", "k", "K", "sc", "scn", "SC", "SCN",
                                                    "cs", "CS", "sh", "BI"};
    return operators.count(op) != 0;
}

class ColourOperatorFinder : public QPDFObjectHandle::ParserCallbacks {
public:
    bool found = false;

    void handleObject(QPDFObjectHandle object) override {
        if (object.isInlineImage() || (object.isOperator() && bringsColour(object.getOperatorValue()))) {
            found = true;
            terminateParsing();
        }
    }
    void handleEOF() override {}
};

bool isGreySpace(QPDFObjectHandle space) {
    if (space.isName()) {
        return space.getName() == "/DeviceGray" || space.getName() == "/CalGray";
    }
    if (!space.isArray() || space.getArrayNItems() < 1 || !space.getArrayItem(0).isName()) {
        return false;
    }
    const std::string family = space.getArrayItem(0).getName();
    // A grey scan that states its own profile, as image files may: one component.
    auto components = space.getArrayNItems() >= 2 && space.getArrayItem(1).isStream()
                                ? space.getArrayItem(1).getDict().getKey("/N")
                                : QPDFObjectHandle::newNull();
    return family == "/CalGray" ||
           (family == "/ICCBased" && components.isInteger() && components.getIntValue() == 1);
}

bool isEmptyOrAbsent(QPDFObjectHandle object) {
    return object.isNull() || (object.isDictionary() && object.getKeys().empty()) ||
           (object.isArray() && object.getArrayNItems() == 0);
}

struct Checker {
    std::set<QPDFObjGen> visitedForms;

    bool contentIsGrey(QPDFObjectHandle content) {
        if (PdfContent::decodedSizeExceeds(content, largestContentParsed)) {
            return false;
        }
        ColourOperatorFinder finder;
        QPDFObjectHandle::parseContentStream(content, &finder);
        return !finder.found;
    }

    bool imageIsGrey(QPDFObjectHandle image) {
        QPDFObjectHandle dict = image.getDict();
        if (dict.getKey("/ImageMask").isBool() && dict.getKey("/ImageMask").getBoolValue()) {
            return true; // painted in the fill colour, which the content sets
        }
        return isGreySpace(dict.getKey("/ColorSpace"));
    }

    bool resourcesAreGrey(QPDFObjectHandle resources, int depth) {
        if (resources.isNull()) {
            return true;
        }
        if (!resources.isDictionary() || !isEmptyOrAbsent(resources.getKey("/Shading")) ||
            !isEmptyOrAbsent(resources.getKey("/Pattern"))) {
            return false;
        }
        QPDFObjectHandle fonts = resources.getKey("/Font");
        if (fonts.isDictionary()) {
            for (const auto& key : fonts.getKeys()) {
                QPDFObjectHandle font = fonts.getKey(key);
                if (!font.isDictionary() || font.getKey("/Subtype").isNull() ||
                    (font.getKey("/Subtype").isName() && font.getKey("/Subtype").getName() == "/Type3")) {
                    return false; // Type 3 glyphs are content streams of their own
                }
            }
        }
        QPDFObjectHandle xobjects = resources.getKey("/XObject");
        if (xobjects.isNull()) {
            return true;
        }
        if (!xobjects.isDictionary()) {
            return false;
        }
        for (const auto& key : xobjects.getKeys()) {
            if (!xobjectIsGrey(xobjects.getKey(key), depth)) {
                return false;
            }
        }
        return true;
    }

    bool xobjectIsGrey(QPDFObjectHandle xobject, int depth) {
        if (!xobject.isStream()) {
            return false;
        }
        QPDFObjectHandle subtype = xobject.getDict().getKey("/Subtype");
        if (subtype.isName() && subtype.getName() == "/Image") {
            return imageIsGrey(xobject);
        }
        if (!subtype.isName() || subtype.getName() != "/Form" || depth >= maxFormDepth ||
            !xobject.getDict().getKey("/Group").isNull()) {
            return false;
        }
        if (!visitedForms.insert(xobject.getObjGen()).second) {
            return true; // already checked, or being checked further up
        }
        return resourcesAreGrey(xobject.getDict().getKey("/Resources"), depth + 1) && contentIsGrey(xobject);
    }
};

} // namespace

bool drawsOnlyGrey(const PdfPage& page) {
    try {
        QPDFPageObjectHelper object = page.pageObject();
        QPDFObjectHandle dict = object.getObjectHandle();
        if (!isEmptyOrAbsent(dict.getKey("/Annots")) || !dict.getKey("/Group").isNull()) {
            return false;
        }
        Checker checker;
        QPDFObjectHandle contents = dict.getKey("/Contents");
        return checker.resourcesAreGrey(object.getAttribute("/Resources", false), 0) &&
               (contents.isNull() || checker.contentIsGrey(contents));
    } catch (const std::exception&) {
        return false;
    }
}

} // namespace quorvane::PageColour
