// The settings store: values and their file, and the presets saved in it.

#include "settings/AppSettings.h"
#include "settings/OCRPreset.h"

#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QScopeGuard>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace quorvane;
using quorvane::test::readBytes;

namespace {

class AppSettingsTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString path = dir.filePath("Quorvane.conf");

    static std::unique_ptr<AppSettings> open(const QString& file) {
        return std::make_unique<AppSettings>(std::make_unique<QSettings>(file, QSettings::IniFormat));
    }

    std::unique_ptr<AppSettings> openWith(const QByteArray& ini, const QString& name) const {
        const auto file = dir.filePath(name);
        quorvane::test::writeFile(file, "[General]\n" + ini);
        return open(file);
    }

    // A store whose file holds this presets value.
    std::unique_ptr<AppSettings> openWithStored(const QVariant& presets, const QString& name = "Stored.conf") const {
        const auto file = dir.filePath(name);
        QSettings(file, QSettings::IniFormat).setValue(AppSettings::presetsKey, presets);
        return open(file);
    }
};

// The presets' tests work on a store opened at once.
class PresetsTest : public AppSettingsTest {
protected:
    std::unique_ptr<AppSettings> settings = open(path);

    QStringList names() const {
        QStringList result;
        for (const auto& preset : settings->presets()) {
            result.append(preset.name);
        }
        return result;
    }
};

// A value of the setting's type other than its default.
SettingValue otherValue(const SettingDescription& row) {
    if (const auto* flag = std::get_if<bool>(&row.defaultValue)) {
        return !*flag;
    }
    if (std::holds_alternative<QString>(row.defaultValue)) {
        return QStringLiteral("{date}, \"{name}\"; a\\b\nc = \u00fc");
    }
    if (std::holds_alternative<QStringList>(row.defaultValue)) {
        return QStringList{"uk-UA", "zh-Hant"};
    }
    return choices(row.defaultValue).last();
}

void expectDefaults(const AppSettings& settings) {
    for (const auto& row : settingsTable()) {
        EXPECT_EQ(settings.value(row.setting), row.defaultValue) << row.key.toStdString();
    }
    EXPECT_TRUE(settings.presets().isEmpty());
}

OCRPreset scanPreset() {
    OCRPreset preset{
        QUuid::fromString(QStringLiteral("E621E1F8-C36C-495A-93FC-0C247A3E6E5F")), "Scans", {}, {}};
    preset.settings = SettingValues().presetPart();
    preset.settings.set(Setting::recognitionLevel, OCRRecognitionLevel::fast);
    preset.settings.set(Setting::languages, QStringList{"de-DE", "en-US"});
    preset.settings.set(Setting::customWordsText, QString("Linn\nSondek/LP12\n"));
    preset.settings.set(Setting::preprocessing, PreprocessStrength::aggressive);
    preset.settings.set(Setting::perspective, false);
    preset.settings.set(Setting::outputNameTemplate, QString("{date} {name}"));
    return preset;
}

QByteArray compact(const QJsonObject& object) {
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

} // namespace

// The file below was written by quorvane-cli 0.1.0, before the settings table: every setting
// differs from its default, and two presets carry texts with separators and escapes.
TEST_F(AppSettingsTest, AFileOfTheFirstReleaseReadsAndIsWrittenBackByteForByte) {
    const auto original = readBytes(QUORVANE_SOURCE_DIR "/tests/settings/data/written-by-0.1.0.conf");
    ASSERT_FALSE(original.isEmpty());
    quorvane::test::writeFile(path, original);
    {
        const auto settings = open(path);
        for (const auto& row : settingsTable()) {
            EXPECT_NE(settings->value(row.setting), row.defaultValue) << row.key.toStdString();
        }
        EXPECT_EQ(settings->value<QStringList>(Setting::languages), (QStringList{"de-DE", "en-US", "vi-VT"}));
        EXPECT_EQ(settings->value<QString>(Setting::customWordsText),
                  "Linn\nSondek, LP12\n\"Ittok\"; @home\\x");
        EXPECT_EQ(settings->value<QString>(Setting::outputNameTemplate), "{date}, {name} = \u00fc");
        ASSERT_EQ(settings->presets().size(), 2);
        const auto office = settings->presets()[0];
        EXPECT_EQ(office.name, "Office");
        EXPECT_EQ(office.settings.get<QStringList>(Setting::languages), QStringList{"ja-JP"});
        EXPECT_EQ(office.options().customWords,
                  (QStringList{"Linn", "Sondek", "LP12", "\"Ittok\"", "@home"}));
        EXPECT_EQ(settings->presets()[1].name, "Archive; \u00fc");
        const QStringList words{"Linn", "Sondek", "LP12", "\"Ittok\"", "@home\\x"};
        EXPECT_EQ(settings->parsedCustomWords(), words);
        EXPECT_EQ(settings->makeOptions(),
                  (OCROptions{.recognitionLevel = OCRRecognitionLevel::fast, .languages = {"de-DE", "en-US", "vi-VT"},
                              .automaticallyDetectsLanguage = false, .usesLanguageCorrection = true,
                              .customWords = words, .preprocessing = PreprocessStrength::aggressive,
                              .autoRotate = false, .deskew = false, .perspective = false,
                              .writesTextSidecar = true, .pdfAExport = true}));

        // Every value stored again, as the settings screen and the command line store them.
        for (const auto& row : settingsTable()) {
            settings->setValue(row.setting, settings->value(row.setting));
        }
        settings->setPresets(settings->presets());
    }
    EXPECT_EQ(readBytes(path), original);
}

TEST_F(AppSettingsTest, MissingAndUnreadableValuesGiveTheDefaults) {
    expectDefaults(*open(path));
    EXPECT_EQ(open(path)->makeOptions(), OCROptions());

    expectDefaults(*openWith("quorvane.settings.recognitionLevel=slow\n"
                             "quorvane.settings.preprocessing=Standard\n"
                             "quorvane.settings.languages=xx-XX, klingon, en-GB\n"
                             "quorvane.settings.languageCorrection=yes\n"
                             "quorvane.settings.batchSkipExisting=FALSE\n"
                             "quorvane.settings.textSidecar=1\n"
                             "quorvane.settings.customWords=Linn, Sondek\n" // a list, not a text
                             "quorvane.settings.outputNameTemplate=a, b\n", // a list, not a text
                             "Unreadable.conf"));

    // Written by this process, values keep their types in QSettings' shared cache.
    const auto typed = dir.filePath("Typed.conf");
    {
        QSettings raw(typed, QSettings::IniFormat);
        raw.setValue(describe(Setting::deskew).key, 0);
        raw.setValue(describe(Setting::perspective).key, QStringList{"false"});
        raw.setValue(describe(Setting::pdfAExport).key, QByteArray("true"));
    }
    expectDefaults(*open(typed));

    // Readable values are honoured, languages cleaned of unknown tags and repeats.
    const auto stored = openWith("quorvane.settings.languages=xx-XX, de-DE, vi-VN, de-DE, vi-VT\n"
                                 "quorvane.settings.deskew=false\n"
                                 "quorvane.settings.outputNameTemplate=\n",
                                 "Stored.conf");
    EXPECT_EQ(stored->value<QStringList>(Setting::languages), (QStringList{"de-DE", "vi-VT"}));
    EXPECT_FALSE(stored->value<bool>(Setting::deskew));
    EXPECT_EQ(stored->value<QString>(Setting::outputNameTemplate), ""); // an empty template stays empty
    // The file writes a list of one as a plain string.
    EXPECT_EQ(
        openWith("quorvane.settings.languages=ja-JP\n", "One.conf")->value<QStringList>(Setting::languages),
        QStringList{"ja-JP"});
}

// QSettings keeps its first error for good: a file it could not read or parse at start must not
// hide a later change that could not be saved.
TEST_F(AppSettingsTest, AChangeThatCannotBeSavedIsSaidAfterAFileThatFailedToLoad) {
    ASSERT_TRUE(QDir().mkdir(path)); // a folder in the file's place
    const auto folderInPlace = open(path);
    folderInPlace->setValue(Setting::deskew, false);
    EXPECT_TRUE(folderInPlace->storeError());

    const auto damaged = openWith("[broken\n", "Damaged.conf");
    const QString file = dir.filePath("Damaged.conf");
    if (test::runProgram("chattr", {"+i", file}).exitCode != 0) {
        GTEST_SKIP() << "no file can be made immutable here";
    }
    const auto madeMutable = qScopeGuard([&] { test::runProgram("chattr", {"-i", file}); });
    damaged->setValue(Setting::deskew, false);
    EXPECT_EQ(damaged->storeError(), "The settings could not be saved: Quorvane is not allowed to write "
                                     "\"Damaged.conf\".");
}

TEST_F(AppSettingsTest, EachChangeIsAnnouncedOnceAndReadBackFromTheFile) {
    {
        const auto settings = open(path);
        settings->saveNewPreset("Defaults");
        QList<Setting> announced;
        int selections = 0;
        QObject::connect(settings.get(), &AppSettings::settingChanged,
                         [&](Setting s) { announced.append(s); });
        QObject::connect(settings.get(), &AppSettings::presetSelectionChanged, [&] { ++selections; });
        for (const auto& row : settingsTable()) {
            announced.clear();
            settings->setValue(row.setting, otherValue(row));
            settings->setValue(row.setting, otherValue(row)); // the same value again announces nothing
            EXPECT_EQ(announced, QList{row.setting}) << row.key.toStdString();
        }
        EXPECT_EQ(selections, 1); // from the preset to "custom", once
    }
    // What the next launch sees: the file parsed afresh. QSettings shares parsed files between
    // instances of one process, so a copy under a new name is the way to force a real read.
    ASSERT_TRUE(QFile::copy(path, dir.filePath("Copy.conf")));
    const auto again = open(dir.filePath("Copy.conf"));
    for (const auto& row : settingsTable()) {
        EXPECT_EQ(again->value(row.setting), otherValue(row)) << row.key.toStdString();
    }
}

TEST_F(PresetsTest, SavedNamesAreUniqueAndTheSameSettingsAreNotSavedTwice) {
    const auto first = settings->saveNewPreset("");
    ASSERT_TRUE(first.has_value());
    EXPECT_EQ(first->name, "Preset");
    EXPECT_FALSE(settings->saveNewPreset("Office").has_value()); // same settings as Preset

    settings->setValue(Setting::deskew, false);
    ASSERT_EQ(settings->saveNewPreset("  \n\t ")->name, "Preset 2");
    settings->setValue(Setting::autoRotate, false);
    ASSERT_EQ(settings->saveNewPreset("Scans")->name, "Scans");
    settings->setValue(Setting::perspective, false);
    ASSERT_EQ(settings->saveNewPreset(" Scans\n")->name, "Scans 2");
    settings->setValue(Setting::pdfAExport, true);
    ASSERT_EQ(settings->saveNewPreset("scans")->name, "scans"); // case matters
    EXPECT_EQ(names(), (QStringList{"Preset", "Preset 2", "Scans", "Scans 2", "scans"}));
    EXPECT_EQ(settings->uniquePresetName("Scans", settings->presets()[2].id),
              "Scans"); // its own name is free

    // Rename and delete act on the preset with the current settings ("scans"), and only on it.
    settings->renameCurrentPreset("Scans");
    EXPECT_EQ(names().last(), "Scans 3");
    settings->renameCurrentPreset("  Receipts ");
    EXPECT_EQ(names().last(), "Receipts");
    settings->setValue(Setting::writesTextSidecar, true);
    settings->renameCurrentPreset("Gone");
    settings->deleteCurrentPreset();
    EXPECT_EQ(names().size(), 5);
    settings->setValue(Setting::writesTextSidecar, false);
    settings->deleteCurrentPreset();
    EXPECT_EQ(names(), (QStringList{"Preset", "Preset 2", "Scans", "Scans 2"}));
    EXPECT_TRUE(settings->value<bool>(Setting::pdfAExport)); // deleting changes no setting
    EXPECT_EQ(settings->presetSelection(), "custom");
    EXPECT_EQ(open(path)->presets(), settings->presets());
}

TEST_F(PresetsTest, ThePickerFollowsTheSettingsAndAppliesPresets) {
    const auto a = scanPreset();
    auto b = a;
    b.settings.set(Setting::languages, QStringList{"en-US", "de-DE"});
    EXPECT_FALSE(a.hasSameSettings(b)); // order counts
    b = a;
    b.settings.set(Setting::customWordsText, QString("Linn\nSondek/LP12\n "));
    EXPECT_FALSE(a.hasSameSettings(b)); // no trimming

    const auto standard = *settings->saveNewPreset("Standard");
    settings->setPresets(settings->presets() << scanPreset());
    EXPECT_EQ(settings->presetSelection(), standard.tag());

    int selectionSignals = 0;
    QList<Setting> changes;
    QObject::connect(settings.get(), &AppSettings::presetSelectionChanged, [&] { ++selectionSignals; });
    QObject::connect(settings.get(), &AppSettings::settingChanged, [&](Setting s) { changes.append(s); });
    settings->setPresetSelection("e621e1f8-c36c-495a-93fc-0c247a3e6e5f"); // a lower-case tag is the same UUID
    EXPECT_EQ(settings->presetSelection(), scanPreset().tag());
    EXPECT_EQ(settings->makeOptions(), scanPreset().options());
    EXPECT_EQ(selectionSignals, 1); // once for the end state, not per setting
    EXPECT_EQ(changes.size(), 6);

    // "custom", tags that are no UUID and unknown ids change nothing.
    for (const auto& tag :
         {QStringLiteral("custom"), QStringLiteral("{E621E1F8-C36C-495A-93FC-0C247A3E6E5F}"),
          QUuid::createUuid().toString(QUuid::WithoutBraces)}) {
        settings->setPresetSelection(tag);
        EXPECT_EQ(settings->presetSelection(), scanPreset().tag()) << tag.toStdString();
    }
    settings->setValue(Setting::recognitionLevel, OCRRecognitionLevel::accurate);
    EXPECT_EQ(settings->matchingPresetID(), std::nullopt);
    settings->setValue(Setting::menuBarOnly, true); // presets do not carry it
    settings->setValue(Setting::recognitionLevel, OCRRecognitionLevel::fast);
    EXPECT_EQ(settings->matchingPresetID(), scanPreset().id);
    EXPECT_EQ(selectionSignals, 3);
    EXPECT_EQ(open(path)->presetSelection(), scanPreset().tag()); // applied settings are stored at once
}

TEST_F(PresetsTest, PresetsThisVersionCannotReadAreKeptAsStored) {
    const auto good = scanPreset().toJson();
    auto other = good; // with a key that a newer version added
    other["id"] = "0E1B2C3D-0000-4000-8000-00000000000A";
    other["name"] = "Other";
    other["deskew"] = false;
    other["colourProfile"] = "sRGB";

    // Each damage makes its element unreadable, and only its element.
    const std::pair<const char*, QJsonValue> damages[] = {{"outputNameTemplate", QJsonValue::Undefined},
                                                          {"deskew", "true"},
                                                          {"preprocessing", "Standard"},
                                                          {"languages", QJsonArray{"en-US", 3}},
                                                          {"id", "{E621E1F8-C36C-495A-93FC-0C247A3E6E5F}"},
                                                          {"name", QJsonValue::Null}};
    for (const auto& [key, value] : damages) {
        auto damaged = good;
        if (value.isUndefined()) {
            damaged.remove(key);
        } else {
            damaged.insert(key, value);
        }
        const auto stored = decodePresets('[' + compact(other) + ',' + compact(damaged) + ']');
        ASSERT_TRUE(stored.has_value()) << key;
        EXPECT_EQ(stored->presets.size(), 1) << key;
        EXPECT_EQ(stored->unreadable, (QList<UnreadablePreset>{{compact(damaged), 1}})) << key;
    }
    EXPECT_FALSE(decodePresets("{\"id\":1}").has_value());

    // Three presets, the middle one from a newer version with a strength this one does not know,
    // written with its own spacing: two are listed, and saving a fourth keeps it byte for byte.
    auto newer = good;
    newer["id"] = "5F0C6A55-3E0B-4C9A-9E1B-2D0C3B4A5F60";
    newer["preprocessing"] = "extreme";
    const QByteArray newerText = "{ \"preprocessing\" : \"extreme\",\n" + compact(newer).mid(1);
    auto store =
        openWithStored(QByteArray('[' + compact(good) + ",  " + newerText + " ,\n" + compact(other) + ']'));
    EXPECT_EQ(store->presets().size(), 2);
    EXPECT_EQ(store->unreadablePresetCount(), 1);
    store->setValue(Setting::pdfAExport, true);
    ASSERT_TRUE(store->saveNewPreset("Fourth").has_value());
    const auto fourth = compact(store->presets().last().toJson());
    const auto written = [&] { return store->store().value(AppSettings::presetsKey).toByteArray(); };
    EXPECT_EQ(written(), '[' + compact(good) + ',' + newerText + ',' + compact(other) + ',' + fourth + ']');

    // It keeps its place after the presets before it that remain.
    store->setPresetSelection(scanPreset().tag());
    store->deleteCurrentPreset();
    EXPECT_EQ(written(), '[' + newerText + ',' + compact(other) + ',' + fourth + ']');
}

TEST_F(PresetsTest, AStoredValueThatIsNoArrayIsKeptAside) {
    auto store = openWithStored(QByteArray("[{\"id\": \"E621E1F8"));
    EXPECT_TRUE(store->presets().isEmpty());
    EXPECT_TRUE(store->storedPresetsUnreadable());
    ASSERT_TRUE(store->saveNewPreset("Fresh").has_value());
    store.reset();

    const auto reopened = open(dir.filePath("Stored.conf"));
    ASSERT_EQ(reopened->presets().size(), 1);
    EXPECT_FALSE(reopened->storedPresetsUnreadable());
    EXPECT_EQ(reopened->store().value(AppSettings::unreadablePresetsKey).toByteArray(),
              "[{\"id\": \"E621E1F8");
}
