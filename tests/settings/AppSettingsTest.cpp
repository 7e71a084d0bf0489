#include "settings/AppSettings.h"

#include "support/TestSupport.h"

#include <QFile>
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

    // What the next launch sees: the file parsed afresh. QSettings shares parsed files between
    // instances of one process, so a copy under a new name is the way to force a real read.
    std::unique_ptr<AppSettings> reopenFromDisk(const QString& copyName) const {
        const auto copy = dir.filePath(copyName);
        EXPECT_TRUE(QFile::copy(path, copy));
        return open(copy);
    }

    std::unique_ptr<AppSettings> openWith(const QByteArray& ini, const QString& name) const {
        const auto file = dir.filePath(name);
        quorvane::test::writeFile(file, "[General]\n" + ini);
        return open(file);
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
                             "quorvane.settings.autoDetectLanguage=yes\n"
                             "quorvane.settings.deskew=3\n"
                             "quorvane.settings.languageCorrection=yes\n"
                             "quorvane.settings.batchSkipExisting=TRUE\n"
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
        raw.setValue(describe(Setting::menuBarOnly).key, 1);
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
    const auto again = reopenFromDisk("Copy.conf");
    for (const auto& row : settingsTable()) {
        EXPECT_EQ(again->value(row.setting), otherValue(row)) << row.key.toStdString();
    }
}

TEST_F(AppSettingsTest, OptionsComeFromTheCurrentSettings) {
    const auto settings = open(path);
    settings->setValue(Setting::recognitionLevel, OCRRecognitionLevel::fast);
    settings->setValue(Setting::languages, QStringList{"de-DE", "en-US"});
    settings->setValue(Setting::automaticallyDetectsLanguage, false);
    settings->setValue(Setting::usesLanguageCorrection, true);
    settings->setValue(Setting::customWordsText, QString("Linn, LP12\n\nSondek\nLinn\n"));
    settings->setValue(Setting::preprocessing, PreprocessStrength::aggressive);
    settings->setValue(Setting::autoRotate, false);
    settings->setValue(Setting::perspective, false);
    settings->setValue(Setting::writesTextSidecar, true);
    settings->setValue(Setting::deskew, false);
    settings->setValue(Setting::pdfAExport, true);
    settings->setValue(Setting::menuBarOnly, true); // not a job option

    OCROptions expected;
    expected.recognitionLevel = OCRRecognitionLevel::fast;
    expected.languages = {"de-DE", "en-US"};
    expected.automaticallyDetectsLanguage = false;
    expected.usesLanguageCorrection = true;
    expected.customWords = {"Linn", "LP12", "Sondek"};
    expected.preprocessing = PreprocessStrength::aggressive;
    expected.autoRotate = false;
    expected.perspective = false;
    expected.writesTextSidecar = true;
    expected.deskew = false;
    expected.pdfAExport = true;
    EXPECT_EQ(settings->makeOptions(), expected);
    EXPECT_EQ(settings->parsedCustomWords(), expected.customWords);
}
