#include "settings/SettingValue.h"

#include <QJsonArray>

#include <span>

namespace quorvane {

namespace {

std::optional<bool> booleanFromText(const QString& text) {
    if (text == QLatin1String("true")) {
        return true;
    }
    if (text == QLatin1String("false")) {
        return false;
    }
    return std::nullopt;
}

// The conversions of one value type. Enumerations share one form: their raw-value strings.
template <typename T> struct Codec {
    static std::optional<T> fromRaw(const QString& raw) {
        for (const auto value : allValues()) {
            if (rawValue(value) == raw) {
                return value;
            }
        }
        return std::nullopt;
    }
    static auto allValues() {
        if constexpr (std::is_same_v<T, OCRRecognitionLevel>) {
            return std::span(allRecognitionLevels);
        } else {
            return std::span(allPreprocessStrengths);
        }
    }
    static std::optional<T> fromStored(const QVariant& stored) {
        return stored.typeId() == QMetaType::QString ? fromRaw(stored.toString()) : std::nullopt;
    }
    static QVariant toStored(T value) { return rawValue(value); }
    static std::optional<T> fromJson(const QJsonValue& json) {
        return json.isString() ? fromRaw(json.toString()) : std::nullopt;
    }
    static QJsonValue toJson(T value) { return rawValue(value); }
    static QString toText(T value) { return rawValue(value); }
    static std::optional<T> fromText(const QString& text) { return fromRaw(text); }
    static QString accepted() {
        QStringList names;
        for (const auto value : allValues()) {
            names.append(rawValue(value));
        }
        const QString last = names.takeLast();
        return names.join(QStringLiteral(", ")) + QStringLiteral(" or ") + last;
    }
};

template <> struct Codec<bool> {
    // A bool while QSettings still holds the value it was given, the text once read from disk.
    // Anything else ("yes", 1, a list) is not a Boolean; a hand-written string "true" counts as one.
    static std::optional<bool> fromStored(const QVariant& stored) {
        if (stored.typeId() == QMetaType::Bool) {
            return stored.toBool();
        }
        return stored.typeId() == QMetaType::QString ? booleanFromText(stored.toString()) : std::nullopt;
    }
    static QVariant toStored(bool value) { return value; }
    static std::optional<bool> fromJson(const QJsonValue& json) {
        return json.isBool() ? std::optional(json.toBool()) : std::nullopt;
    }
    static QJsonValue toJson(bool value) { return value; }
    static QString toText(bool value) { return value ? QStringLiteral("true") : QStringLiteral("false"); }
    static std::optional<bool> fromText(const QString& text) { return booleanFromText(text); }
    static QString accepted() { return QStringLiteral("true or false"); }
};

template <> struct Codec<QString> {
    // A list ("a, b" in the file) is not a text.
    static std::optional<QString> fromStored(const QVariant& stored) {
        return stored.typeId() == QMetaType::QString ? std::optional(stored.toString()) : std::nullopt;
    }
    static QVariant toStored(const QString& value) { return value; }
    static std::optional<QString> fromJson(const QJsonValue& json) {
        return json.isString() ? std::optional(json.toString()) : std::nullopt;
    }
    static QJsonValue toJson(const QString& value) { return value; }
    static QString toText(const QString& value) {
        return QString(value)
            .replace(QLatin1Char('\\'), QStringLiteral("\\\\"))
            .replace(QLatin1Char('\n'), QStringLiteral("\\n"));
    }
    static std::optional<QString> fromText(const QString& text) {
        QString result;
        for (qsizetype i = 0; i < text.size(); ++i) {
            if (text[i] == QLatin1Char('\\') && i + 1 < text.size()) {
                const QChar next = text[++i];
                result += next == QLatin1Char('n') ? QChar(QLatin1Char('\n')) : next;
            } else {
                result += text[i];
            }
        }
        return result;
    }
    static QString accepted() { return QStringLiteral("any text"); }
};

template <> struct Codec<QStringList> {
    // The file writes a list of one as a plain string.
    static std::optional<QStringList> fromStored(const QVariant& stored) {
        if (stored.typeId() == QMetaType::QStringList) {
            return stored.toStringList();
        }
        return stored.typeId() == QMetaType::QString ? std::optional(QStringList{stored.toString()})
                                                     : std::nullopt;
    }
    static QVariant toStored(const QStringList& value) { return value; }
    static std::optional<QStringList> fromJson(const QJsonValue& json) {
        if (!json.isArray()) {
            return std::nullopt;
        }
        QStringList result;
        for (const auto& element : json.toArray()) {
            if (!element.isString()) {
                return std::nullopt;
            }
            result.append(element.toString());
        }
        return result;
    }
    static QJsonValue toJson(const QStringList& value) { return QJsonArray::fromStringList(value); }
    static QString toText(const QStringList& value) { return value.join(QLatin1Char(',')); }
    static std::optional<QStringList> fromText(const QString& text) {
        QStringList result;
        for (const auto& part : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
            if (!part.trimmed().isEmpty()) {
                result.append(part.trimmed());
            }
        }
        return result;
    }
    static QString accepted() { return QStringLiteral("a comma-separated list"); }
};

// Runs `convert` with the codec of `like`'s type and wraps its optional result as a SettingValue.
template <typename Convert> std::optional<SettingValue> converted(const SettingValue& like, Convert convert) {
    return std::visit(
        [&]<typename T>(const T&) -> std::optional<SettingValue> {
            if (auto value = convert(Codec<T>{})) {
                return SettingValue(std::move(*value));
            }
            return std::nullopt;
        },
        like);
}

} // namespace

std::optional<SettingValue> fromStored(const QVariant& stored, const SettingValue& like) {
    return converted(like, [&](auto codec) { return codec.fromStored(stored); });
}

QVariant toStored(const SettingValue& value) {
    return std::visit([]<typename T>(const T& v) { return Codec<T>::toStored(v); }, value);
}

std::optional<SettingValue> fromJson(const QJsonValue& json, const SettingValue& like) {
    return converted(like, [&](auto codec) { return codec.fromJson(json); });
}

QJsonValue toJson(const SettingValue& value) {
    return std::visit([]<typename T>(const T& v) { return Codec<T>::toJson(v); }, value);
}

QString toText(const SettingValue& value) {
    return std::visit([]<typename T>(const T& v) { return Codec<T>::toText(v); }, value);
}

std::optional<SettingValue> fromText(const QString& text, const SettingValue& like) {
    return converted(like, [&](auto codec) { return codec.fromText(text); });
}

QString acceptedText(const SettingValue& like) {
    return std::visit([]<typename T>(const T&) { return Codec<T>::accepted(); }, like);
}

QList<SettingValue> choices(const SettingValue& like) {
    return std::visit(
        []<typename T>(const T&) {
            QList<SettingValue> result;
            if constexpr (std::is_enum_v<T>) {
                for (const auto value : Codec<T>::allValues()) {
                    result.append(value);
                }
            }
            return result;
        },
        like);
}

QString displayName(const SettingValue& value) {
    return std::visit(
        []<typename T>(const T& v) {
            if constexpr (std::is_enum_v<T>) {
                return quorvane::displayName(v);
            } else {
                return Codec<T>::toText(v);
            }
        },
        value);
}

} // namespace quorvane
