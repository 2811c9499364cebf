#include "common/skin/widgets/SingleInstanceLock.h"

#include <gtest/gtest.h>

#include <QFile>
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

    qputenv("XDG_RUNTIME_DIR", previous);
}

}  // namespace
}  // namespace dvr::skin
