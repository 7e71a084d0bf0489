// One Quorvane per user: a second `quorvane FILE` hands its file to the running one and exits;
// a socket left by a crashed instance does not stand in the way.

#include "app/PendingDrops.h"
#include "app/SingleInstance.h"
#include "support/EventLoop.h"
#include "support/QtPrinting.h"
#include "support/TestSupport.h"

#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using namespace quorvane;
using namespace std::chrono_literals;

namespace {

// What a crashed instance leaves: a socket file nobody listens on.
bool leaveStaleSocket(const QString& path) {
    const int descriptor = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray name = QFile::encodeName(path);
    std::copy(name.begin(), name.end(), address.sun_path);
    const bool bound = ::bind(descriptor, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
    ::close(descriptor);
    return bound && QFile::exists(path);
}

} // namespace

TEST(SingleInstance, SecondProgramHandsItsFilesOverAndExits) {
    PendingDrops drops;
    SingleInstance instance(drops);
    ASSERT_TRUE(instance.listen());
    int announcements = 0;
    QObject::connect(&drops, &PendingDrops::processFiles, [&] { announcements += 1; });

    QTemporaryDir folder;
    QProcess second;
    second.setWorkingDirectory(folder.path());
    second.start(test::binPath("quorvane"), {"scan.pdf", "file://" + folder.filePath("other.pdf")});
    ASSERT_TRUE(test::runUntil([&] { return second.state() == QProcess::NotRunning; }, 30s));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0) << second.readAllStandardError().toStdString();
    EXPECT_EQ(announcements, 1);
    EXPECT_EQ(drops.take(), (QStringList{folder.filePath("scan.pdf"), folder.filePath("other.pdf")}));
    EXPECT_TRUE(drops.isEmpty());
}

TEST(SingleInstance, SocketOfACrashedInstanceIsReplaced) {
    const QString path = SingleInstance::socketPath();
    ASSERT_TRUE(leaveStaleSocket(path));
    EXPECT_EQ(SingleInstance::handOver({"a.pdf"}, 2s), SingleInstance::HandOver::noInstance);

    PendingDrops drops;
    SingleInstance instance(drops);
    ASSERT_TRUE(instance.listen());
    PendingDrops otherDrops;
    SingleInstance other(otherDrops);
    EXPECT_FALSE(other.listen()) << "a live instance's socket is not taken over";
}

// A socket where other users can write (a session without a runtime folder of its own) could be
// taken by one of them first, and they would be handed the files.
TEST(SingleInstance, TheSocketIsInAFolderOfTheUsersAlone) {
    QTemporaryDir shared;
    ASSERT_TRUE(QFile::setPermissions(shared.path(), QFile::Permissions(0x7777)));
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    const auto restore = qScopeGuard([&] { qputenv("XDG_RUNTIME_DIR", runtime); });
    for (const QByteArray& folder : {runtime, shared.path().toLocal8Bit(), QByteArray()}) {
        qputenv("XDG_RUNTIME_DIR", folder);
        const QFileInfo socketFolder(QFileInfo(SingleInstance::socketPath()).path());
        EXPECT_EQ(socketFolder.ownerId(), getuid()) << folder.constData();
        EXPECT_EQ(socketFolder.permissions() & QFile::Permissions(0x0077), QFile::Permissions())
            << folder.constData();
    }
}
