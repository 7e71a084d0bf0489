#include "settings/AppSettings.h"

#include "core/OCROptions.h"

#include <QFile>
#include <QMap>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace quorvane;

namespace {

class AppSettingsTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString path = dir.filePath("Quorvane.conf");

    std::unique_ptr<AppSettings> open(const QString& file) const {
        return std::make_unique<AppSettings>(std::make_unique<QSettings>(file, QSettings::IniFormat));
    }
    std::unique_ptr<AppSettings> open() const { return open(path); }

    // What the next launch sees: the file parsed afresh. QSettings shares parsed files between
    // instances of one process, so a copy under a new name is the way to force a real read.
    std::unique_ptr<AppSettings> reopenFromDisk(const QString& copyName = "Copy.conf") const {
        const auto copy = dir.filePath(copyName);
        EXPECT_TRUE(QFile::copy(path, copy));
        return open(copy);
    }

    void writeRaw(const QByteArray& ini, const QString& target = {}) const {
        QFile file(target.isEmpty() ? path : target);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("[General]\n" + ini);
    }
};

void expectFreshDefaults(const AppSettings& settings) {
    EXPECT_EQ(settings.recognitionLevel(), OCRRecognitionLevel::accurate);
    EXPECT_EQ(settings.languages(), (QStringList{"en-US", "fr-FR", "de-DE", "es-ES"}));
    EXPECT_TRUE(settings.automaticallyDetectsLanguage());
    EXPECT_FALSE(settings.usesLanguageCorrection());
    EXPECT_EQ(settings.customWordsText(), "");
    EXPECT_EQ(settings.preprocessing(), PreprocessStrength::conservative);
    EXPECT_TRUE(settings.autoRotate());
    EXPECT_TRUE(settings.deskew());
    EXPECT_TRUE(settings.perspective());
    EXPECT_FALSE(settings.writesTextSidecar());
    EXPECT_FALSE(settings.pdfAExport());
    EXPECT_EQ(settings.outputNameTemplate(), "{name}_searchable");
    EXPECT_TRUE(settings.completionNotificationsEnabled());
    EXPECT_FALSE(settings.menuBarOnly());
    EXPECT_TRUE(settings.batchSkipExistingOutputs());
    EXPECT_TRUE(settings.presets().isEmpty());
    EXPECT_EQ(settings.presetSelection(), "custom");
}

} // namespace

TEST_F(AppSettingsTest, FreshUserGetsTheDefaultsAndTheDefaultOptions) {
    const auto settings = open();
    expectFreshDefaults(*settings);
    EXPECT_EQ(settings->makeOptions(), OCROptions());
}

TEST_F(AppSettingsTest, UnreadableValuesFallBackToTheirDefaults) {
    writeRaw("quorvane.settings.recognitionLevel=slow\n"
             "quorvane.settings.preprocessing=Standard\n"
             "quorvane.settings.languages=xx-XX, klingon, en-GB\n"
             "quorvane.settings.autoDetectLanguage=yes\n"
             "quorvane.settings.deskew=3\n"
             "quorvane.settings.autoRotate=1\n"
             "quorvane.settings.languageCorrection=yes\n"
             "quorvane.settings.batchSkipExisting=TRUE\n"
             "quorvane.settings.textSidecar=yes\n"
             "quorvane.settings.pdfAExport=1\n"
             "quorvane.settings.menuBarOnly=TRUE\n"
             "quorvane.settings.customWords=Linn, Sondek\n"          // a list, not a string
             "quorvane.settings.outputNameTemplate=a, b\n"          // a list, not a string
             "quorvane.presets=not json\n");
    const auto settings = open();
    expectFreshDefaults(*settings);
}

TEST_F(AppSettingsTest, TypedValuesThatAreNoBooleansReadAsTheDefaultOrFalse) {
    {
        // Written by this process, the values keep their types in QSettings' shared cache.
        QSettings raw(path, QSettings::IniFormat);
        raw.setValue(AppSettings::deskewKey, 0);
        raw.setValue(AppSettings::perspectiveKey, QStringList{"false"});
        raw.setValue(AppSettings::menuBarOnlyKey, 1);
        raw.setValue(AppSettings::pdfAExportKey, QByteArray("true"));
        raw.setValue(AppSettings::languageCorrectionKey, 1.0);
    }
    const auto settings = open();
    EXPECT_TRUE(settings->deskew());
    EXPECT_TRUE(settings->perspective());
    EXPECT_FALSE(settings->menuBarOnly());
    EXPECT_FALSE(settings->pdfAExport());
    EXPECT_FALSE(settings->usesLanguageCorrection());
}

TEST_F(AppSettingsTest, StoredValuesAreHonouredIncludingFalseAndEmpty) {
    writeRaw("quorvane.settings.recognitionLevel=fast\n"
             "quorvane.settings.preprocessing=aggressive\n"
             "quorvane.settings.languages=xx-XX, de-DE, vi-VN, de-DE, vi-VT\n"
             "quorvane.settings.deskew=false\n"
             "quorvane.settings.autoDetectLanguage=false\n"
             "quorvane.settings.completionNotifications=false\n"
             "quorvane.settings.languageCorrection=true\n"
             "quorvane.settings.textSidecar=true\n"
             "quorvane.settings.menuBarOnly=true\n"
             "quorvane.settings.outputNameTemplate=\n");
    const auto settings = open();
    EXPECT_EQ(settings->recognitionLevel(), OCRRecognitionLevel::fast);
    EXPECT_EQ(settings->preprocessing(), PreprocessStrength::aggressive);
    EXPECT_EQ(settings->languages(), (QStringList{"de-DE", "vi-VT"}));
    EXPECT_FALSE(settings->deskew());
    EXPECT_FALSE(settings->automaticallyDetectsLanguage());
    EXPECT_FALSE(settings->completionNotificationsEnabled());
    EXPECT_TRUE(settings->usesLanguageCorrection());
    EXPECT_TRUE(settings->writesTextSidecar());
    EXPECT_TRUE(settings->menuBarOnly());
    EXPECT_FALSE(settings->pdfAExport());
    EXPECT_TRUE(settings->autoRotate());
    EXPECT_EQ(settings->outputNameTemplate(), ""); // an empty template stays empty

    // A list of one supported tag is a list, not a string.
    const auto other = dir.filePath("Other.conf");
    writeRaw("quorvane.settings.languages=ja-JP\n", other);
    EXPECT_EQ(open(other)->languages(), QStringList{"ja-JP"});
}

TEST_F(AppSettingsTest, EachChangeIsPublishedOnceAndRoundTripsThroughTheFile) {
    // Written through the property system, as a view would; texts with the file's separators.
    const QMap<QString, QVariant> changes{
        {"recognitionLevel", QVariant::fromValue(OCRRecognitionLevel::fast)},
        {"languages", QStringList{"ko-KR"}},
        {"automaticallyDetectsLanguage", false},
        {"usesLanguageCorrection", true},
        {"customWordsText", "Linn, LP12\n@Sondek; \"Ittok\"\n"},
        {"preprocessing", QVariant::fromValue(PreprocessStrength::off)},
        {"autoRotate", false},
        {"deskew", false},
        {"perspective", false},
        {"writesTextSidecar", true},
        {"pdfAExport", true},
        {"outputNameTemplate", "{date}, {name}"},
        {"completionNotificationsEnabled", false},
        {"menuBarOnly", true},
        {"batchSkipExistingOutputs", false},
    };
    {
        const auto settings = open();
        QMap<QString, int> counts;
        const auto count = [&](const char* name) { return [&counts, name] { ++counts[name]; }; };
        QObject::connect(settings.get(), &AppSettings::recognitionLevelChanged, count("recognitionLevel"));
        QObject::connect(settings.get(), &AppSettings::languagesChanged, count("languages"));
        QObject::connect(settings.get(), &AppSettings::automaticallyDetectsLanguageChanged,
                         count("automaticallyDetectsLanguage"));
        QObject::connect(settings.get(), &AppSettings::usesLanguageCorrectionChanged, count("usesLanguageCorrection"));
        QObject::connect(settings.get(), &AppSettings::customWordsTextChanged, count("customWordsText"));
        QObject::connect(settings.get(), &AppSettings::preprocessingChanged, count("preprocessing"));
        QObject::connect(settings.get(), &AppSettings::autoRotateChanged, count("autoRotate"));
        QObject::connect(settings.get(), &AppSettings::deskewChanged, count("deskew"));
        QObject::connect(settings.get(), &AppSettings::perspectiveChanged, count("perspective"));
        QObject::connect(settings.get(), &AppSettings::writesTextSidecarChanged, count("writesTextSidecar"));
        QObject::connect(settings.get(), &AppSettings::pdfAExportChanged, count("pdfAExport"));
        QObject::connect(settings.get(), &AppSettings::outputNameTemplateChanged, count("outputNameTemplate"));
        QObject::connect(settings.get(), &AppSettings::completionNotificationsEnabledChanged,
                         count("completionNotificationsEnabled"));
        QObject::connect(settings.get(), &AppSettings::menuBarOnlyChanged, count("menuBarOnly"));
        QObject::connect(settings.get(), &AppSettings::batchSkipExistingOutputsChanged,
                         count("batchSkipExistingOutputs"));
        for (auto change = changes.begin(); change != changes.end(); ++change) {
            const auto name = change.key().toUtf8();
            ASSERT_TRUE(settings->setProperty(name.constData(), change.value())) << name.constData();
            EXPECT_EQ(counts.value(change.key()), 1) << name.constData();
            // The same value again publishes nothing.
            settings->setProperty(name.constData(), change.value());
            EXPECT_EQ(counts.value(change.key()), 1) << name.constData();
        }
        EXPECT_EQ(counts.size(), changes.size());
    }
    const auto expectChanged = [&](const AppSettings& settings) {
        for (auto change = changes.begin(); change != changes.end(); ++change) {
            EXPECT_EQ(settings.property(change.key().toUtf8().constData()), change.value()) << change.key().toStdString();
        }
    };
    expectChanged(*open());
    expectChanged(*reopenFromDisk());

    // The stored forms: raw-value strings, Booleans as true/false, the language list as a list.
    QSettings raw(path, QSettings::IniFormat);
    EXPECT_EQ(raw.value(AppSettings::recognitionLevelKey).toString(), "fast");
    EXPECT_EQ(raw.value(AppSettings::preprocessingKey).toString(), "off");
    EXPECT_EQ(raw.value(AppSettings::deskewKey).toString(), "false");
    EXPECT_EQ(raw.value(AppSettings::menuBarOnlyKey).toString(), "true");

    // An empty template and a longer language list survive too.
    {
        const auto settings = open();
        settings->setOutputNameTemplate("");
        settings->setLanguages({"uk-UA", "en-US", "zh-Hant"});
    }
    const auto again = reopenFromDisk("Second.conf");
    EXPECT_EQ(again->outputNameTemplate(), "");
    EXPECT_EQ(again->languages(), (QStringList{"uk-UA", "en-US", "zh-Hant"}));
}

TEST_F(AppSettingsTest, OptionsComeFromTheCurrentSettings) {
    const auto settings = open();
    settings->setCustomWordsText("Linn, LP12\n\nSondek\nLinn\n");
    settings->setLanguages({"de-DE", "en-US"});
    settings->setPreprocessing(PreprocessStrength::aggressive);
    settings->setDeskew(false);
    settings->setPdfAExport(true);
    settings->setMenuBarOnly(true); // not a job option

    EXPECT_EQ(settings->parsedCustomWords(), (QStringList{"Linn", "LP12", "Sondek"}));
    const auto options = settings->makeOptions();
    EXPECT_EQ(options.customWords, settings->parsedCustomWords());
    EXPECT_EQ(options.languages, (QStringList{"de-DE", "en-US"}));
    EXPECT_EQ(options.preprocessing, PreprocessStrength::aggressive);
    EXPECT_FALSE(options.deskew);
    EXPECT_TRUE(options.pdfAExport);
    EXPECT_TRUE(options.autoRotate);
    EXPECT_FALSE(options.region.has_value());
}
