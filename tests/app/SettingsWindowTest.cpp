// The settings window of the running application, its questions answered by the test: presets,
// the word list, the output name's warning, and the watched folder's question about the files
// already there.

#include "AppTestSupport.h"

#include "app/MainWindow.h"
#include "app/MainWorkflow.h"
#include "app/SettingsView.h"
#include "jobs/FolderWatcher.h"
#include "settings/AppSettings.h"
#include "support/EventLoop.h"
#include "support/PdfBuilder.h"
#include "support/TestSupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <gtest/gtest.h>
#include <optional>

using namespace quorvane;
using namespace std::chrono_literals;

namespace {

// The application with its settings window open.
struct SettingsUnderTest : test::AppUnderTest {
    // (That Ctrl+, opens it in a real session: window-smoke.)
    SettingsUnderTest() { app.showSettings(); }
    ~SettingsUnderTest() { app.watcher().forgetFolder(); }

    SettingsView& view() { return *app.settingsView(); }
    template <typename T>
    T* find(const QString& name) {
        return view().findChild<T*>(name);
    }
    template <typename T>
    T* in(Setting setting) {
        return find<QWidget>(describe(setting).key)->findChild<T*>();
    }
    void click(const QString& text) {
        for (auto* button : view().findChildren<QPushButton*>()) {
            if (button->text() == text) {
                return button->click();
            }
        }
        FAIL() << "no button " << text.toStdString();
    }
};

} // namespace

TEST(SettingsWindow, ThePresetPickerFollowsTheSettings) {
    SettingsUnderTest t;
    auto* picker = t.find<QComboBox>("presetPicker");
    auto* rename = t.find<QPushButton>("renamePreset");
    auto* remove = t.find<QPushButton>("deletePreset");
    EXPECT_EQ(picker->currentText(), QStringLiteral("Custom"));
    EXPECT_FALSE(rename->isEnabled());
    EXPECT_FALSE(remove->isEnabled());

    t.dialogs->textAnswer = QStringLiteral("Scans");
    t.click(QStringLiteral("Save as New\u2026"));
    EXPECT_EQ(picker->currentText(), QStringLiteral("Scans"));
    EXPECT_TRUE(rename->isEnabled() && remove->isEnabled());
    t.click(QStringLiteral("Save as New\u2026"));
    ASSERT_EQ(t.dialogs->alerts.size(), 1);
    EXPECT_EQ(t.dialogs->alerts[0].title, QStringLiteral("Preset"));
    EXPECT_EQ(t.dialogs->alerts[0].message, AppSettings::duplicatePresetMessage);
    t.dialogs->textAnswer = QStringLiteral("Scans\nOld"); // pasted: refused, as the terminal refuses it
    t.click(QStringLiteral("Rename\u2026"));
    ASSERT_EQ(t.dialogs->alerts.size(), 2);
    EXPECT_EQ(t.dialogs->alerts[1].message, AppSettings::controlCharacterInNameMessage);
    EXPECT_EQ(picker->currentText(), QStringLiteral("Scans"));

    // A setting changed here is stored at once and leaves the preset; choosing it brings it back.
    t.in<QCheckBox>(Setting::deskew)->click();
    EXPECT_FALSE(t.app.settings().value<bool>(Setting::deskew));
    EXPECT_EQ(picker->currentText(), QStringLiteral("Custom"));
    EXPECT_FALSE(rename->isEnabled());
    picker->setCurrentIndex(1);
    Q_EMIT picker->activated(1);
    EXPECT_TRUE(t.in<QCheckBox>(Setting::deskew)->isChecked());
    EXPECT_TRUE(t.app.settings().value<bool>(Setting::deskew));

    t.dialogs->confirmAnswer = true;
    t.click(QStringLiteral("Delete"));
    EXPECT_EQ(t.dialogs->confirmations.last().title, QStringLiteral("Delete this preset?"));
    EXPECT_TRUE(t.app.settings().presets().isEmpty());
    EXPECT_EQ(picker->currentText(), QStringLiteral("Custom"));
}

// The main window has the same picker: a preset chosen in either window is applied and shows in both.
TEST(SettingsWindow, ThePresetChosenInTheMainWindowOrHereIsAppliedAndShownInBoth) {
    SettingsUnderTest t;
    AppSettings& settings = t.app.settings();
    const auto archive = settings.saveNewPreset(QStringLiteral("Archive"));
    settings.setValue(Setting::deskew, false);
    settings.saveNewPreset(QStringLiteral("Photos"));
    auto* here = t.find<QComboBox>("presetPicker");
    auto* main = t.app.mainWindow().findChild<QComboBox*>("presetPicker");
    ASSERT_TRUE(main && archive);
    const auto labels = t.app.mainWindow().findChildren<QLabel*>();
    const auto label =
        std::find_if(labels.begin(), labels.end(), [&](QLabel* l) { return l->buddy() == main; });
    ASSERT_NE(label, labels.end());
    EXPECT_EQ((*label)->text(), QStringLiteral("Active preset"));
    ASSERT_EQ(main->count(), 3);
    EXPECT_EQ(main->itemText(0), QStringLiteral("Custom"));
    EXPECT_EQ(main->currentText(), QStringLiteral("Photos"));

    QTest::keyClick(main, Qt::Key_Up);
    EXPECT_EQ(settings.presetSelection(), uuidText(archive->id));
    EXPECT_TRUE(settings.value<bool>(Setting::deskew));
    EXPECT_EQ(here->currentText(), QStringLiteral("Archive"));

    QTest::keyClick(here, Qt::Key_Down);
    EXPECT_FALSE(settings.value<bool>(Setting::deskew));
    EXPECT_EQ(main->currentText(), QStringLiteral("Photos"));
    settings.renameCurrentPreset(QStringLiteral("Phone photos"));
    EXPECT_EQ(main->currentText(), QStringLiteral("Phone photos"));
    // "Custom" changes no setting, so the preset in use shows again at once.
    QTest::keyClick(main, Qt::Key_Home);
    EXPECT_EQ(main->currentText(), QStringLiteral("Phone photos"));
    EXPECT_EQ(here->currentText(), QStringLiteral("Phone photos"));
}

// A settings file that cannot be written is said at the top for as long as that lasts.
TEST(SettingsWindow, ASettingsFileThatCannotBeWrittenIsSaid) {
    SettingsUnderTest t;
    auto* storeError = t.find<QLabel>("storeError");
    ASSERT_NE(storeError, nullptr);
    EXPECT_FALSE(storeError->isVisible());
    std::optional<test::ReadOnlyFolder> readOnly(QFileInfo(t.app.settings().fileName()).absolutePath());
    if (!readOnly->isReadOnly()) {
        GTEST_SKIP() << "this file system lets every folder take new files";
    }
    t.in<QCheckBox>(Setting::perspective)->click();
    EXPECT_TRUE(storeError->isVisible());
    EXPECT_TRUE(storeError->text().startsWith("The settings could not be saved: "))
        << storeError->text().toStdString();
    readOnly.reset();
    t.in<QCheckBox>(Setting::perspective)->click();
    EXPECT_FALSE(storeError->isVisible());
}

TEST(SettingsWindow, ImportedWordsFollowTheExistingOnesOnceEachAndExportWritesOneALine) {
    QTemporaryDir folder;
    SettingsUnderTest t;
    t.in<QPlainTextEdit>(Setting::customWordsText)->setPlainText(QStringLiteral("Forat\nLinn"));
    test::writeFile(folder.filePath("words.csv"), "Linn, Sondek\nForat\nValhalla,Sondek\n");
    t.dialogs->fileToOpen = folder.filePath("words.csv");
    t.click(QStringLiteral("Import\u2026"));
    EXPECT_EQ(t.app.settings().value<QString>(Setting::customWordsText), QStringLiteral("Forat\nLinn\nSondek\nValhalla"));
    EXPECT_EQ(t.in<QPlainTextEdit>(Setting::customWordsText)->toPlainText(), QStringLiteral("Forat\nLinn\nSondek\nValhalla"));
    EXPECT_EQ(t.find<QLabel>("wordCount")->text(), QStringLiteral("4 words"));

    test::writeFile(folder.filePath("latin1.txt"), "Stra\xdf" "e\n");
    t.dialogs->fileToOpen = folder.filePath("latin1.txt");
    t.click(QStringLiteral("Import\u2026"));
    ASSERT_EQ(t.dialogs->alerts.size(), 1);
    EXPECT_EQ(t.dialogs->alerts[0].title, QStringLiteral("Word list"));
    EXPECT_EQ(t.dialogs->alerts[0].message, QStringLiteral("Could not read that word list: it is not UTF-8 text"));
    EXPECT_EQ(t.app.settings().parsedCustomWords().size(), 4);

    t.dialogs->fileToSave = folder.filePath("quorvane-words.txt");
    t.click(QStringLiteral("Export\u2026"));
    EXPECT_EQ(test::readBytes(folder.filePath("quorvane-words.txt")), QByteArray("Forat\nLinn\nSondek\nValhalla\n"));
}

TEST(SettingsWindow, OutputNameWarnsWhenItIsTheSourcesOwnAndRefusesOneWithoutName) {
    SettingsUnderTest t;
    auto* field = t.in<QLineEdit>(Setting::outputNameTemplate);
    auto* warning = t.find<QWidget>(describe(Setting::outputNameTemplate).key)->findChild<QLabel*>("warning");
    auto* refusal = t.find<QWidget>(describe(Setting::outputNameTemplate).key)->findChild<QLabel*>("refusal");
    const auto type = [&](const QString& text) {
        field->clear();
        QTest::keyClicks(field, text);
    };
    type(QStringLiteral("  {name} "));
    EXPECT_EQ(t.app.settings().value<QString>(Setting::outputNameTemplate), QStringLiteral("  {name} "));
    EXPECT_FALSE(warning->isHidden());
    EXPECT_EQ(warning->text(), QStringLiteral("This name is identical to the original file, so the output would "
                                              "overwrite it. Add {date} or a suffix such as _searchable."));
    type(QStringLiteral("{name}.PDF"));
    EXPECT_FALSE(warning->isHidden());
    type(QStringLiteral("{name}_v2"));
    EXPECT_TRUE(warning->isHidden());
    EXPECT_EQ(t.app.settings().value<QString>(Setting::outputNameTemplate), QStringLiteral("{name}_v2"));

    type(QStringLiteral("scan_{nmae}"));
    EXPECT_FALSE(refusal->isHidden());
    EXPECT_TRUE(refusal->text().contains(QStringLiteral("{nmae}")));
    EXPECT_EQ(t.app.settings().value<QString>(Setting::outputNameTemplate), QStringLiteral("{name}_v2"));
}

TEST(SettingsWindow, WatchingAFolderAsksAboutTheFilesAlreadyThereAndLeavingThemProcessesOnlyNewOnes) {
    QTemporaryDir scratch;
    // A long path shows its start and the folder's own name, whatever is cut from the middle.
    QDir folder(scratch.filePath("Scans from the office/2026/Incoming from the scanner on the second floor"));
    ASSERT_TRUE(folder.mkpath("."));
    for (const char* name : {"a.pdf", "b.jpg", "c.pdf", "c_searchable.pdf"}) {
        test::writeFile(folder.filePath(name), "%PDF-1.4\n");
    }
    SettingsUnderTest t;
    t.dialogs->folderAnswer = folder.path();
    t.find<QCheckBox>("watchSwitch")->click();
    ASSERT_TRUE(t.app.watcher().isWatching());
    EXPECT_TRUE(t.find<QCheckBox>("watchSwitch")->isChecked());
    auto* shown = t.find<QLabel>("watchedFolder");
    EXPECT_EQ(shown->toolTip(), folder.path());
    shown->window()->resize(200, 600);
    test::runFor(100ms);
    EXPECT_LE(shown->fontMetrics().horizontalAdvance(shown->text()), shown->contentsRect().width());
    EXPECT_TRUE(shown->text().startsWith(scratch.path().left(4))) << shown->text().toStdString();
    EXPECT_TRUE(shown->text().endsWith("second floor")) << shown->text().toStdString();
    ASSERT_EQ(t.dialogs->confirmations.size(), 1);
    EXPECT_EQ(t.dialogs->confirmations[0].title, QStringLiteral("Process existing files?"));
    EXPECT_EQ(t.dialogs->confirmations[0].message,
              QStringLiteral("The folder already contains 3 file(s). Process them with the current preset now, or "
                             "leave them and only handle new arrivals."));

    BatchCoordinator& batch = t.app.mainWindow().workflow().batch();
    test::runFor(3s);
    EXPECT_TRUE(batch.items().isEmpty());
    QFile::copy(test::corpusPath("invalid.pdf"), folder.filePath("new.pdf"));
    ASSERT_TRUE(test::runUntil([&] { return !batch.items().isEmpty() && !batch.isRunning(); }, 30s));
    ASSERT_EQ(batch.items().size(), 1);
    EXPECT_EQ(QFileInfo(batch.items()[0].sourceURL).fileName(), QStringLiteral("new.pdf"));
    // It failed (it is damaged): replaced by a good scan, it is processed.
    ASSERT_EQ(batch.failedCount(), 1);
    test::smallScan(scratch.path(), "good.pdf");
    ASSERT_TRUE(test::writeFile(folder.filePath("new.pdf"), test::readBytes(scratch.filePath("good.pdf"))));
    ASSERT_TRUE(test::runUntil([&] { return batch.processedCount() == 1 && !batch.isRunning(); }, 60s));
}
