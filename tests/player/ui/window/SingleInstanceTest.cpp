#include "player/ui/SingleInstance.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

namespace dvr::player {
namespace {

TEST(SingleInstance, ASecondCopyIsRefusedUntilTheFirstEnds) {
    int argc = 1;
    char name[] = "single_instance_test";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    QTemporaryDir runtime;
    ASSERT_TRUE(runtime.isValid());
    qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());

    SingleInstance first(QStringLiteral("Discoro"));
    SingleInstance second(QStringLiteral("Discoro"));
    EXPECT_EQ(first.lockPath(), runtime.path() + QStringLiteral("/Discoro.lock"));
    ASSERT_TRUE(first.acquire());
    EXPECT_TRUE(first.acquire());
    EXPECT_FALSE(second.acquire());
    first.release();
    EXPECT_TRUE(second.acquire());
    second.release();

    // A lock file left by a program that no longer runs is taken over.
    QFile stale(first.lockPath());
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    stale.write("999999999\ndiscoro\n\n");
    stale.close();
    SingleInstance third(QStringLiteral("Discoro"));
    EXPECT_TRUE(third.acquire());
}

}  // namespace
}  // namespace dvr::player
