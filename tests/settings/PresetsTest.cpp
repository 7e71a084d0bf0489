#include "settings/AppSettings.h"
#include "settings/OCRPreset.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace quorvane;

namespace {

class PresetsTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString path = dir.filePath("Quorvane.conf");
    std::unique_ptr<AppSettings> settings = open(path);

    static std::unique_ptr<AppSettings> open(const QString& file) {
        return std::make_unique<AppSettings>(std::make_unique<QSettings>(file, QSettings::IniFormat));
    }

    // A store whose file holds `presets` as the given JSON bytes.
    std::unique_ptr<AppSettings> openWithStoredPresets(const QByteArray& json) const {
        const auto file = dir.filePath("Stored.conf");
        {
            QSettings raw(file, QSettings::IniFormat);
            raw.setValue(AppSettings::presetsKey, json);
        }
        return open(file);
    }

    QStringList names() const {
        QStringList result;
        for (const auto& preset : settings->presets()) {
            result.append(preset.name);
        }
        return result;
    }
};

const QString duplicateMessage = QString::fromUtf8(
    "An existing preset already has exactly these settings — saving it again under another name would "
    "make the two impossible to tell apart. Change a setting first, or keep using the existing preset.");

OCRPreset scanPreset() {
    return OCRPreset{QUuid::fromString(QStringLiteral("E621E1F8-C36C-495A-93FC-0C247A3E6E5F")),
                     "Scans",
                     OCRRecognitionLevel::fast,
                     {"de-DE", "en-US"},
                     false,
                     true,
                     "Linn\nSondek/LP12\n",
                     PreprocessStrength::aggressive,
                     false,
                     true,
                     false,
                     true,
                     false,
                     "{date} {name}"};
}

} // namespace

TEST_F(PresetsTest, SavingTheSameSettingsTwiceIsRefused) {
    const auto first = settings->saveNewPreset("Office");
    ASSERT_TRUE(first.has_value());
    EXPECT_EQ(first->name, "Office");
    EXPECT_FALSE(first->id.isNull());
    EXPECT_TRUE(first->hasSameSettings(settings->currentSettingsPreset({}, {})));

    EXPECT_FALSE(settings->saveNewPreset("Office again").has_value());
    EXPECT_EQ(names(), QStringList{"Office"});
    EXPECT_EQ(AppSettings::duplicatePresetMessage, duplicateMessage);
}

TEST_F(PresetsTest, NamesAreTrimmedAndNumberedWhenTaken) {
    ASSERT_EQ(settings->saveNewPreset("")->name, "Preset");
    settings->setDeskew(false);
    ASSERT_EQ(settings->saveNewPreset("  \n\t ")->name, "Preset 2");
    settings->setAutoRotate(false);
    ASSERT_EQ(settings->saveNewPreset(" ")->name, "Preset 3");
    settings->setPerspective(false);
    ASSERT_EQ(settings->saveNewPreset("Scans")->name, "Scans");
    settings->setPdfAExport(true);
    ASSERT_EQ(settings->saveNewPreset(" Scans\n")->name, "Scans 2");
    settings->setWritesTextSidecar(true);
    ASSERT_EQ(settings->saveNewPreset("scans")->name, "scans"); // case matters
    EXPECT_EQ(names(), (QStringList{"Preset", "Preset 2", "Preset 3", "Scans", "Scans 2", "scans"}));

    // The next free number; a preset left out of the comparison frees its own name.
    EXPECT_EQ(settings->uniquePresetName("Scans"), "Scans 3");
    EXPECT_EQ(settings->uniquePresetName("Scans", settings->presets()[3].id), "Scans");
}

TEST_F(PresetsTest, RenameAndDeleteActOnThePresetMatchingTheCurrentSettings) {
    settings->saveNewPreset("Office");
    settings->setDeskew(false);
    const auto scans = *settings->saveNewPreset("Scans");

    settings->renameCurrentPreset("Scans"); // its own name is not taken
    EXPECT_EQ(names(), (QStringList{"Office", "Scans"}));
    settings->renameCurrentPreset("Office");
    EXPECT_EQ(names(), (QStringList{"Office", "Office 2"}));
    settings->renameCurrentPreset("  Receipts ");
    EXPECT_EQ(names(), (QStringList{"Office", "Receipts"}));
    EXPECT_EQ(settings->presets()[1].id, scans.id);

    // With no preset matching, rename and delete do nothing.
    settings->setPerspective(false);
    EXPECT_EQ(settings->presetSelection(), "custom");
    settings->renameCurrentPreset("Gone");
    settings->deleteCurrentPreset();
    EXPECT_EQ(names(), (QStringList{"Office", "Receipts"}));

    settings->setPerspective(true);
    settings->deleteCurrentPreset();
    EXPECT_EQ(names(), QStringList{"Office"});
    EXPECT_FALSE(settings->deskew()); // deleting changes no setting
    EXPECT_EQ(settings->presetSelection(), "custom");
    EXPECT_EQ(open(dir.filePath("Quorvane.conf"))->presets().size(), 1);
}

TEST_F(PresetsTest, SameSettingsCompareTwelveFieldsExactly) {
    const auto a = scanPreset();
    auto b = a;
    b.id = QUuid::createUuid();
    b.name = "Other";
    EXPECT_TRUE(a.hasSameSettings(b));
    EXPECT_NE(a, b);

    b.languages = {"en-US", "de-DE"};
    EXPECT_FALSE(a.hasSameSettings(b)); // order counts
    b = a;
    b.customWordsText += " ";
    EXPECT_FALSE(a.hasSameSettings(b)); // no trimming
    b = a;
    b.outputNameTemplate = "{Date} {name}";
    EXPECT_FALSE(a.hasSameSettings(b));
    b = a;
    b.pdfAExport = true;
    EXPECT_FALSE(a.hasSameSettings(b));
}

TEST_F(PresetsTest, PickerSelectionFollowsAndAppliesPresets) {
    const auto standard = *settings->saveNewPreset("Standard");
    settings->setPresets(settings->presets() << scanPreset());
    EXPECT_EQ(settings->presetSelection(), standard.id.toString(QUuid::WithoutBraces).toUpper());

    int selectionSignals = 0;
    int languageSignals = 0;
    QObject::connect(settings.get(), &AppSettings::presetSelectionChanged, [&] { ++selectionSignals; });
    QObject::connect(settings.get(), &AppSettings::languagesChanged, [&] { ++languageSignals; });

    // A lower-case tag is the same UUID.
    settings->setPresetSelection("e621e1f8-c36c-495a-93fc-0c247a3e6e5f");
    EXPECT_EQ(settings->presetSelection(), "E621E1F8-C36C-495A-93FC-0C247A3E6E5F");
    EXPECT_TRUE(settings->currentSettingsPreset({}, {}).hasSameSettings(scanPreset()));
    EXPECT_EQ(settings->makeOptions().customWords, (QStringList{"Linn", "Sondek/LP12"}));
    EXPECT_EQ(selectionSignals, 1); // once for the end state, not per setting
    EXPECT_EQ(languageSignals, 1);

    // "custom", tags that are no UUID and unknown ids change nothing.
    for (const auto& tag : {QStringLiteral("custom"), QStringLiteral("{E621E1F8-C36C-495A-93FC-0C247A3E6E5F}"),
                            QUuid::createUuid().toString(QUuid::WithoutBraces)}) {
        settings->setPresetSelection(tag);
        EXPECT_EQ(settings->presetSelection(), scanPreset().tag()) << tag.toStdString();
    }
    EXPECT_EQ(selectionSignals, 1);

    // One setting changed: no preset matches; changed back: the preset is selected again.
    settings->setRecognitionLevel(OCRRecognitionLevel::accurate);
    EXPECT_EQ(settings->presetSelection(), "custom");
    EXPECT_EQ(settings->matchingPresetID(), std::nullopt);
    settings->setRecognitionLevel(OCRRecognitionLevel::fast);
    EXPECT_EQ(settings->matchingPresetID(), scanPreset().id);
    EXPECT_EQ(selectionSignals, 3);

    // Applied settings are stored at once.
    const auto reopened = open(path);
    EXPECT_EQ(reopened->presetSelection(), scanPreset().tag());
    EXPECT_EQ(reopened->outputNameTemplate(), "{date} {name}");
}

TEST_F(PresetsTest, PresetsAreStoredAsOneJsonArrayInOrder) {
    settings->setPresets({scanPreset()});
    settings->setDeskew(false);
    settings->saveNewPreset("Later");
    const auto expected = settings->presets();
    ASSERT_EQ(expected.size(), 2);

    QSettings raw(path, QSettings::IniFormat);
    const auto stored = raw.value(AppSettings::presetsKey);
    ASSERT_EQ(stored.typeId(), QMetaType::QByteArray);
    const auto array = QJsonDocument::fromJson(stored.toByteArray()).array();
    ASSERT_EQ(array.size(), 2);
    const auto first = array[0].toObject();
    EXPECT_EQ(first.size(), 14);
    EXPECT_EQ(first["id"].toString(), "E621E1F8-C36C-495A-93FC-0C247A3E6E5F");
    EXPECT_EQ(first["recognitionLevel"].toString(), "fast");
    EXPECT_EQ(array[1].toObject()["name"].toString(), "Later");

    EXPECT_EQ(open(path)->presets(), expected);
    const auto copy = dir.filePath("Copy.conf");
    ASSERT_TRUE(QFile::copy(path, copy));
    EXPECT_EQ(open(copy)->presets(), expected); // parsed afresh from the file
}

TEST_F(PresetsTest, DecodingIsStrictAboutEveryElementAndACorruptValueIsReplaced) {
    const auto good = scanPreset().toJson();
    const auto storedWith = [&](const QJsonObject& damaged) {
        return openWithStoredPresets(QJsonDocument(QJsonArray{good, damaged}).toJson())->presets().size();
    };
    EXPECT_EQ(storedWith(good), 2);

    // One damaged element drops them all (a missing key, a wrong type, an unknown raw value, an id
    // in braces, a null name); a key this version does not know is ignored.
    const std::tuple<const char*, QJsonValue, qsizetype> changes[] = {
        {"outputNameTemplate", QJsonValue::Undefined, 0},
        {"deskew", "true", 0},
        {"preprocessing", "Standard", 0},
        {"languages", QJsonArray{"en-US", 3}, 0},
        {"id", "{E621E1F8-C36C-495A-93FC-0C247A3E6E5F}", 0},
        {"name", QJsonValue::Null, 0},
        {"colourProfile", "sRGB", 2}};
    for (const auto& [key, value, kept] : changes) {
        auto changed = good;
        if (value.isUndefined()) {
            changed.remove(key);
        } else {
            changed.insert(key, value);
        }
        EXPECT_EQ(storedWith(changed), kept) << key;
    }

    EXPECT_FALSE(decodePresets("{\"id\":1}").has_value());
    EXPECT_FALSE(decodePresets("[").has_value());
    EXPECT_EQ(decodePresets("[]"), QList<OCRPreset>());

    // A corrupt stored value is dropped, and overwritten by the next change.
    auto corrupt = openWithStoredPresets("[{\"id\": \"E621E1F8-C36C-495A-93FC-0C247A3E6E5F\"}]");
    EXPECT_TRUE(corrupt->presets().isEmpty());
    ASSERT_TRUE(corrupt->saveNewPreset("Fresh").has_value());
    corrupt.reset();

    const auto reopened = open(dir.filePath("Stored.conf"));
    ASSERT_EQ(reopened->presets().size(), 1);
    EXPECT_EQ(reopened->presets()[0].name, "Fresh");
}
