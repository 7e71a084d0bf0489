// The entry point of every test program: a real Qt application (offscreen, so fixtures can draw
// text with fonts) and a private settings folder.

#include "platform/ProcessStart.h"

#include <QGuiApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    quorvane::ProcessStart::beforeAnyThread();
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
