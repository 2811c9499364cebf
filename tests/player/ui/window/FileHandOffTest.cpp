#include "player/ui/FileHandOff.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <atomic>
#include <cstdlib>
#include <functional>
#include <thread>

#include "common/skin/widgets/SingleInstanceLock.h"

namespace dvr::player {
namespace {

// Runs the event loop until `done` holds or 10 s have passed; true when it holds.
bool waitFor(const std::function<bool()>& done) {
    const QDeadlineTimer deadline(10000);
    while (!done() && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return done();
}

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
        const bool done = waitFor([&] { return finished.load(); });
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
    ASSERT_TRUE(waitFor([&] { return second.state() == QProcess::NotRunning; }));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0) << second.readAllStandardError().toStdString();
    EXPECT_EQ(received, QDir(work.path()).absoluteFilePath(QStringLiteral("backup 1.zav")));
}

}  // namespace
}  // namespace dvr::player
