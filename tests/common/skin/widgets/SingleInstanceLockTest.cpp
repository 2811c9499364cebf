#include "common/skin/widgets/SingleInstanceLock.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

namespace dvr::skin {
namespace {

TEST(SingleInstanceLock, ASecondCopyIsRefusedUntilTheFirstEndsAndAStaleLockIsTakenOver) {
    QTemporaryDir runtime;
    ASSERT_TRUE(runtime.isValid());
    const QByteArray previous = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());

    QString path;
    {
        SingleInstanceLock first(QStringLiteral("Program"));
        SingleInstanceLock second(QStringLiteral("Program"));
        path = first.lockPath();
        EXPECT_EQ(path, runtime.path() + QStringLiteral("/Program.lock"));
        ASSERT_TRUE(first.acquire());
        EXPECT_TRUE(first.acquire());
        EXPECT_FALSE(second.acquire());
        EXPECT_FALSE(second.isHeld());
        first.release();
        EXPECT_TRUE(second.acquire());
    }
    // Ending the holder released the lock.
    SingleInstanceLock third(QStringLiteral("Program"));
    ASSERT_TRUE(third.acquire());
    third.release();

    // A lock file left by a copy that no longer runs is taken over.
    QFile stale(path);
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    stale.write("999999999\nprogram\n\n");
    stale.close();
    SingleInstanceLock fourth(QStringLiteral("Program"));
    EXPECT_TRUE(fourth.acquire());
    fourth.release();

    // So is one whose holder cannot be told: empty (cut short by a crash), or naming another machine.
    for (const QByteArray& contents : {QByteArray(), QByteArray("1\nprogram\nanother-host\n")}) {
        QFile unreadable(path);
        ASSERT_TRUE(unreadable.open(QIODevice::WriteOnly));
        unreadable.write(contents);
        unreadable.close();
        SingleInstanceLock next(QStringLiteral("Program"));
        EXPECT_TRUE(next.acquire()) << contents.toStdString();
        // While it is held, another copy is still refused.
        SingleInstanceLock other(QStringLiteral("Program"));
        EXPECT_FALSE(other.acquire()) << contents.toStdString();
    }

    qputenv("XDG_RUNTIME_DIR", previous);
}

TEST(SingleInstanceLock, WithoutAPrivateRuntimeFolderTheLockGoesToAPrivateFolderOfTheUser) {
    QTemporaryDir cache;
    QTemporaryDir shared;
    ASSERT_TRUE(cache.isValid() && shared.isValid());
    const QByteArray previousRuntime = qgetenv("XDG_RUNTIME_DIR");
    const QByteArray previousCache = qgetenv("XDG_CACHE_HOME");
    qputenv("XDG_CACHE_HOME", cache.path().toLocal8Bit());
    const QString expected = cache.path() + QStringLiteral("/Program/runtime");

    // Unset, and set to a folder others may write to: neither is used.
    QFile::setPermissions(shared.path(), QFileDevice::Permissions(0x7777));
    for (const QByteArray& runtime : {QByteArray(), shared.path().toLocal8Bit()}) {
        if (runtime.isEmpty()) {
            qunsetenv("XDG_RUNTIME_DIR");
        } else {
            qputenv("XDG_RUNTIME_DIR", runtime);
        }
        QString error;
        EXPECT_EQ(SingleInstanceLock::lockFolder(QStringLiteral("Program"), &error), expected);
        EXPECT_TRUE(error.isEmpty()) << error.toStdString();
        EXPECT_EQ(QFileInfo(expected).permissions() & QFileDevice::Permissions(0x0077),
                  QFileDevice::Permissions());
    }
    SingleInstanceLock lock(QStringLiteral("Program"));
    EXPECT_EQ(lock.lockPath(), expected + QStringLiteral("/Program.lock"));
    EXPECT_TRUE(lock.acquire());

    // A private folder that turned into something else is refused with the reason, not used.
    lock.release();
    QDir(expected).removeRecursively();
    ASSERT_TRUE(QFile::link(shared.path(), expected));
    SingleInstanceLock refused(QStringLiteral("Program"));
    EXPECT_FALSE(refused.acquire());
    EXPECT_TRUE(refused.lockPath().isEmpty());
    EXPECT_NE(refused.folderError().indexOf(QStringLiteral("not a folder")), -1)
        << refused.folderError().toStdString();

    qputenv("XDG_RUNTIME_DIR", previousRuntime);
    qputenv("XDG_CACHE_HOME", previousCache);
}

}  // namespace
}  // namespace dvr::skin
