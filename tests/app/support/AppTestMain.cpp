// The entry point of the desktop application's tests: a Widgets application on the offscreen
// platform, a private settings and runtime folder, and a private session bus (the program runs
// itself again inside dbus-run-session), so that the fake desktop services never meet real ones.

#include "platform/ProcessStart.h"

#include <QApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>
#include <vector>

namespace {

constexpr const char* privateBusMark = "QUORVANE_TEST_PRIVATE_BUS";

void runOnPrivateBus(int argc, char** argv) {
    setenv(privateBusMark, "1", 1);
    std::vector<char*> arguments{const_cast<char*>("dbus-run-session"), const_cast<char*>("--")};
    for (int index = 0; index < argc; ++index) {
        arguments.push_back(argv[index]);
    }
    arguments.push_back(nullptr);
    execvp("dbus-run-session", arguments.data());
    std::perror("dbus-run-session (install the dbus package)");
    std::exit(1);
}

} // namespace

int main(int argc, char** argv) {
    if (!std::getenv(privateBusMark)) {
        runOnPrivateBus(argc, argv);
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    quorvane::ProcessStart::beforeAnyThread();
    QTemporaryDir config;
    QTemporaryDir runtime;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
    // Nothing may reach the real update feed.
    qputenv("QUORVANE_UPDATE_FEED_URL", "http://127.0.0.1:9/feed.json");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quorvane"));
    QApplication::setApplicationVersion(QStringLiteral("1.2.0"));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
