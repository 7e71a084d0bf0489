#include "platform/XmpInformation.h"

#include <QRegularExpression>
#include <QXmlStreamReader>
#include <qpdf/Pipeline.hh>
#include <stdexcept>

namespace quorvane::XmpInformation {

namespace {

const QString rdf = QStringLiteral("http://www.w3.org/1999/02/22-rdf-syntax-ns#");
const QString dublinCore = QStringLiteral("http://purl.org/dc/elements/1.1/");
const QString pdfSchema = QStringLiteral("http://ns.adobe.com/pdf/1.3/");
const QString xml = QStringLiteral("http://www.w3.org/XML/1998/namespace");

// Packets run to kilobytes; a stream that inflates past this is no metadata worth reading.
constexpr std::size_t largestPacket = 4 << 20;

class BoundedText : public Pipeline {
public:
    explicit BoundedText(QByteArray& text) : Pipeline("XMP packet", nullptr), text_(text) {}
    void write(unsigned char const* data, size_t length) override {
        if (std::size_t(text_.size()) + length > largestPacket) {
            throw std::length_error("metadata larger than the limit");
        }
        text_.append(reinterpret_cast<const char*>(data), qsizetype(length));
    }
    void finish() override {}

private:
    QByteArray& text_;
};

std::optional<QString> nonEmpty(const QString& text) {
    return text.trimmed().isEmpty() ? std::nullopt : std::optional(text.trimmed());
}

QStringList keywordList(const QString& text) {
    QStringList keywords;
    for (const QString& keyword : text.split(QRegularExpression(QStringLiteral("[,;]")))) {
        if (!keyword.trimmed().isEmpty()) {
            keywords << keyword.trimmed();
        }
    }
    return keywords;
}

} // namespace

Fields parse(const QByteArray& packet) {
    Fields fields;
    std::optional<QStringList> subjects;
    QXmlStreamReader reader(packet);
    QString property;    // the Dublin Core property being read
    QStringList items;   // its list items
    QString defaultItem; // the one for no particular language
    while (!reader.atEnd() && !reader.hasError()) {
        reader.readNext();
        if (reader.isStartElement()) {
            const auto ns = reader.namespaceUri();
            if (ns == rdf && reader.name() == u"Description") {
                if (const auto keywords = reader.attributes().value(pdfSchema, QStringLiteral("Keywords"));
                    !keywords.isEmpty()) {
                    fields.keywords = keywordList(keywords.toString());
                }
            } else if (ns == pdfSchema && reader.name() == u"Keywords") {
                fields.keywords = keywordList(reader.readElementText(QXmlStreamReader::IncludeChildElements));
            } else if (ns == dublinCore) {
                property = reader.name().toString();
                items.clear();
                defaultItem.clear();
            } else if (ns == rdf && reader.name() == u"li" && !property.isEmpty()) {
                const bool isDefault = reader.attributes().value(xml, QStringLiteral("lang")) == u"x-default";
                const QString item = reader.readElementText(QXmlStreamReader::IncludeChildElements).trimmed();
                if (!item.isEmpty()) {
                    items << item;
                    defaultItem = isDefault ? item : defaultItem;
                }
            }
        } else if (reader.isEndElement() && reader.namespaceUri() == dublinCore &&
                   reader.name() == property) {
            const QString chosen = defaultItem.isEmpty() ? items.value(0) : defaultItem;
            if (property == u"title") {
                fields.title = nonEmpty(chosen);
            } else if (property == u"description") {
                fields.subject = nonEmpty(chosen);
            } else if (property == u"creator") {
                fields.author = nonEmpty(items.join(QStringLiteral(", ")));
            } else if (property == u"subject" && !items.isEmpty()) {
                subjects = items;
            }
            property.clear();
        }
    }
    if ((!fields.keywords || fields.keywords->isEmpty()) && subjects) {
        fields.keywords = subjects;
    }
    if (fields.keywords && fields.keywords->isEmpty()) {
        fields.keywords.reset();
    }
    return fields;
}

Fields of(QPDF& pdf) {
    try {
        auto metadata = pdf.getRoot().getKey("/Metadata");
        if (!metadata.isStream()) {
            return {};
        }
        QByteArray packet;
        BoundedText sink(packet);
        if (!metadata.pipeStreamData(&sink, 0, qpdf_dl_generalized, true)) {
            return {};
        }
        return parse(packet);
    } catch (const std::exception&) {
        return {};
    }
}

} // namespace quorvane::XmpInformation
