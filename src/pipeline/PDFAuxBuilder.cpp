#include "pipeline/PDFAuxBuilder.h"

#include <qpdf/QPDFObjectHandle.hh>

namespace quorvane::PDFAuxBuilder {

namespace {

// PDFDocEncoding when the text fits it, UTF-16BE with a byte order mark otherwise.
QPDFObjectHandle text(const QString& value) {
    return QPDFObjectHandle::newUnicodeString(value.toStdString());
}

// The three values land on the PDF keys that mean the same: the info text on /Info, the identifier on
// /OutputConditionIdentifier, and "sRGB", the condition's short human-readable name, on
// /OutputCondition. The PDF subtype /S is not free text: it names the standard the intent serves,
// GTS_PDFA1 for an sRGB intent. /RegistryName marks the identifier as the ICC-registered standard
// condition, which is what lets the intent stand without an embedded profile.
QPDFObjectHandle outputIntentDictionary(const OutputIntent& intent) {
    auto dictionary = QPDFObjectHandle::newDictionary();
    dictionary.replaceKey("/Type", QPDFObjectHandle::newName("/OutputIntent"));
    dictionary.replaceKey("/S", QPDFObjectHandle::newName("/GTS_PDFA1"));
    dictionary.replaceKey("/OutputConditionIdentifier", text(intent.outputConditionIdentifier));
    dictionary.replaceKey("/OutputCondition", text(intent.subtype));
    dictionary.replaceKey("/Info", text(intent.info));
    dictionary.replaceKey("/RegistryName", text("http://www.color.org"));
    return dictionary;
}

} // namespace

AuxiliaryInfo auxiliaryInfo(const DocumentAttributes& attributes, bool srgbOutputIntent) {
    AuxiliaryInfo info;
    info.title = attributes.title;
    info.author = attributes.author;
    info.subject = attributes.subject;
    info.keywords = attributes.keywords;
    info.source = attributes.source;
    info.textCopy = attributes.textCopy;
    info.formerTextCopy = attributes.formerTextCopy;
    if (srgbOutputIntent) {
        info.outputIntent = OutputIntent{};
    }
    return info;
}

void apply(const AuxiliaryInfo& info, QPDF& output) {
    auto dictionary = QPDFObjectHandle::newDictionary();
    const auto put = [&](const char* key, const std::optional<QString>& value) {
        if (value) {
            dictionary.replaceKey(key, text(*value));
        }
    };
    put("/Title", info.title);
    put("/Author", info.author);
    put("/Subject", info.subject);
    if (info.keywords) {
        put("/Keywords", info.keywords->join(", "));
    }
    put("/Creator", info.creator);
    if (info.source) {
        put(sourceNameKey, info.source->name);
        put(sourceSizeKey, QString::number(info.source->size));
        put(sourceModifiedKey, info.source->modified.toUTC().toString(Qt::ISODateWithMs));
        for (const auto& [key, value] : {std::pair{sourceFolderKey, info.source->folder},
                                         std::pair{sourceFolderNodeKey, info.source->folderNode}}) {
            if (!value.isEmpty()) {
                put(key, value);
            }
        }
    }
    put(textCopyKey, info.textCopy);
    put(formerTextCopyKey, info.formerTextCopy);
    output.getTrailer().replaceKey("/Info", output.makeIndirectObject(dictionary));

    auto root = output.getRoot();
    // An XMP stream from elsewhere would contradict the new dictionary (and bring a producer and dates).
    root.removeKey("/Metadata");
    if (info.outputIntent) {
        root.replaceKey("/OutputIntents",
                        QPDFObjectHandle::newArray(std::vector<QPDFObjectHandle>{
                            output.makeIndirectObject(outputIntentDictionary(*info.outputIntent))}));
    } else {
        root.removeKey("/OutputIntents");
    }
}

bool isSearchableCopy(const DocumentAttributes& attributes) {
    return attributes.source || attributes.creator == QLatin1String(creatorName);
}

} // namespace quorvane::PDFAuxBuilder
