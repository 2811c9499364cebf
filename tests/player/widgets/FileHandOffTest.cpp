#include "player/widgets/FileHandOff.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <atomic>
#include <cstdlib>
#include <functional>
#include <thread>

#include "common/skin/widgets/SingleInstanceLock.h"
#include "tests/support/EventLoopWait.h"

namespace dvr::player {
namespace {

using testsupport::runEventsUntil;

class FileHandOffTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_runtime.isValid());
        qputenv("XDG_RUNTIME_DIR", m_runtime.path().toLocal8Bit());
    }

    QTemporaryDir m_runtime;
};

TEST_F(FileHandOffTest, TheRunningCopyReceivesEachFileItIsHanded) {
    skin::SingleInstanceLock running(QStringLiteral("Discoro"));
    ASSERT_TRUE(running.acquire());
    // A socket left by a player that crashed does not stop the next one from listening.
    QFile stale(FileHandOff::socketPath(running.lockPath()));
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    stale.close();

    FileHandOff handOff(running.lockPath());
    ASSERT_TRUE(handOff.listen());
    QStringList received;
    QObject::connect(&handOff, &FileHandOff::fileReceived, &handOff,
                     [&received](const QString& path) { received.append(path); });

    const QStringList sent = {QStringLiteral("/media/disc/a.zav"), QStringLiteral("/tmp/Grüße 2.zav")};
    for (const QString& path : sent) {
        std::atomic<bool> confirmed = false;
        std::atomic<bool> finished = false;
        std::thread second([&] {
            confirmed = FileHandOff::send(running.lockPath(), path, 5000);
            finished = true;
        });
        const bool done = runEventsUntil([&] { return finished.load(); });
        second.join();  // the send gives up on its own within its time-out
        ASSERT_TRUE(done);
        EXPECT_TRUE(confirmed.load()) << path.toStdString();
    }
    EXPECT_EQ(received, sent);
}

TEST_F(FileHandOffTest, NobodyListeningIsReportedToTheSender) {
    skin::SingleInstanceLock running(QStringLiteral("Discoro"));
    ASSERT_TRUE(running.acquire());
    EXPECT_FALSE(FileHandOff::send(running.lockPath(), QStringLiteral("/tmp/a.zav"), 1000));
}

// Runs `send` on a thread of its own while this thread's event loop serves the listener.
bool sendServed(const std::function<bool()>& send) {
    std::atomic<bool> confirmed = false;
    std::atomic<bool> finished = false;
    std::thread second([&] {
        confirmed = send();
        finished = true;
    });
    runEventsUntil([&] { return finished.load(); });
    second.join();  // the send gives up on its own within its time-out
    return confirmed.load();
}

TEST_F(FileHandOffTest, EachEndRefusesAPeerOfAnotherUser) {
    skin::SingleInstanceLock running(QStringLiteral("Discoro"));
    ASSERT_TRUE(running.acquire());
    const unsigned stranger = FileHandOff::currentUserId() + 1;
    QStringList received;

    // A listener that is not ours: the sender refuses it before sending the path.
    {
        FileHandOff strangers(running.lockPath());
        ASSERT_TRUE(strangers.listen());
        QObject::connect(&strangers, &FileHandOff::fileReceived, &strangers,
                         [&received](const QString& path) { received.append(path); });
        EXPECT_FALSE(sendServed([&] {
            return FileHandOff::send(running.lockPath(), QStringLiteral("/tmp/secret.zav"), 3000, stranger);
        }));
    }
    // A sender that is not ours: the listener drops it unheard.
    {
        FileHandOff ours(running.lockPath(), nullptr, stranger);
        ASSERT_TRUE(ours.listen());
        QObject::connect(&ours, &FileHandOff::fileReceived, &ours,
                         [&received](const QString& path) { received.append(path); });
        EXPECT_FALSE(sendServed(
            [&] { return FileHandOff::send(running.lockPath(), QStringLiteral("/tmp/planted.zav"), 3000); }));
    }
    EXPECT_TRUE(received.isEmpty());
}

TEST_F(FileHandOffTest, ARuntimeFolderOfAnotherUserIsNotUsed) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs to give a folder to another user";
    }
    // Another user's folder named as the runtime folder, with a lock naming a live process and a
    // socket in it: the player uses a private folder of its own instead and starts.
    QTemporaryDir planted;
    ASSERT_TRUE(planted.isValid());
    QFile lock(planted.path() + QStringLiteral("/Discoro.lock"));
    ASSERT_TRUE(lock.open(QIODevice::WriteOnly));
    lock.write(QByteArray::number(qint64(::getpid())) + "\ndiscoro\n\n");
    lock.close();
    ASSERT_EQ(::chown(QFile::encodeName(planted.path()).constData(), 4242, 4242), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(planted.path()).constData(), 0777), 0);
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    const QByteArray previousHome = qgetenv("XDG_CACHE_HOME");
    qputenv("XDG_RUNTIME_DIR", planted.path().toLocal8Bit());
    qputenv("XDG_CACHE_HOME", home.path().toLocal8Bit());

    skin::SingleInstanceLock instance(QStringLiteral("Discoro"));
    EXPECT_EQ(instance.lockPath(), home.path() + QStringLiteral("/Discoro/runtime/Discoro.lock"));
    EXPECT_TRUE(instance.acquire());
    QFileInfo folder(home.path() + QStringLiteral("/Discoro/runtime"));
    EXPECT_EQ(folder.permissions() & (QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup |
                                      QFile::ReadOther | QFile::WriteOther | QFile::ExeOther),
              QFile::Permissions());
    EXPECT_FALSE(FileHandOff::send(instance.lockPath(), QStringLiteral("/tmp/a.zav"), 500));
    ::chown(QFile::encodeName(planted.path()).constData(), 0, 0);  // so the folder can be removed
    qputenv("XDG_CACHE_HOME", previousHome);
}

TEST_F(FileHandOffTest, ASecondDiscoroHandsItsFileOverAndEndsQuietly) {
    QString binDir = qEnvironmentVariable("DVR_BIN_DIR");
    if (binDir.isEmpty()) {
        binDir = QStringLiteral(DVR_BIN_DIR_DEFAULT);
    }
    const QString program = binDir + QStringLiteral("/discoro");
    ASSERT_TRUE(QFile::exists(program)) << program.toStdString();

    // This test plays the running player: it holds the lock and listens.
    skin::SingleInstanceLock running(QStringLiteral("Discoro"));
    ASSERT_TRUE(running.acquire());
    FileHandOff handOff(running.lockPath());
    ASSERT_TRUE(handOff.listen());
    QString received;
    QObject::connect(&handOff, &FileHandOff::fileReceived, &handOff,
                     [&received](const QString& path) { received = path; });

    QTemporaryDir work;
    ASSERT_TRUE(work.isValid());
    QProcess second;
    second.setWorkingDirectory(work.path());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_runtime.path());
    environment.insert(QStringLiteral("HOME"), work.path());
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), work.path() + QStringLiteral("/config"));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), work.path() + QStringLiteral("/data"));
    second.setProcessEnvironment(environment);
    // The desktop passes the file as given; a relative name is taken from the starting folder.
    second.start(program, {QStringLiteral("backup 1.zav")});
    ASSERT_TRUE(second.waitForStarted(5000));
    ASSERT_TRUE(runEventsUntil([&] { return second.state() == QProcess::NotRunning; }));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0) << second.readAllStandardError().toStdString();
    EXPECT_EQ(received, QDir(work.path()).absoluteFilePath(QStringLiteral("backup 1.zav")));
}

}  // namespace
}  // namespace dvr::player
