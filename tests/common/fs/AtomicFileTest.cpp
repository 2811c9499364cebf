#include "common/fs/AtomicFile.h"
#include "common/fs/SafeOpen.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "tests/support/TempFolder.h"

namespace dvr::fs {
namespace {

using testing::ScopedFault;
using testing::Step;
using testsupport::TempFolder;

TEST(AtomicFile, ReplacesTheWholeFileAndKeepsItsMode) {
    TempFolder folder;
    const std::string path = folder.write("opt.ini", "old contents that are longer");
    ::chmod(path.c_str(), 0640);
    const FileResult result = AtomicFile::write(path, "new");
    ASSERT_TRUE(result.ok) << result.describe();
    EXPECT_EQ(TempFolder::read(path), "new");
    EXPECT_EQ(TempFolder::mode(path), 0640u);
    EXPECT_EQ(folder.names(), std::vector<std::string>{"opt.ini"});  // no temporary left behind
}

TEST(AtomicFile, NewFilesTakeTheModeAskedForWhateverTheUmask) {
    TempFolder folder;
    const mode_t old = ::umask(0);
    const FileResult plain = AtomicFile::write(folder.file("a/b/plain"), "x");
    const FileResult secret = AtomicFile::writeWithMode(folder.file("secret"), "pw", 0600);
    ::umask(old);
    ASSERT_TRUE(plain.ok) << plain.describe();
    ASSERT_TRUE(secret.ok) << secret.describe();
    EXPECT_EQ(TempFolder::mode(folder.file("a/b/plain")), 0644u);
    EXPECT_EQ(TempFolder::mode(folder.file("secret")), 0600u);
    // A private mode asked for wins over the old file's.
    ::chmod(folder.file("secret").c_str(), 0666);
    ASSERT_TRUE(AtomicFile::writeWithMode(folder.file("secret"), "pw2", 0600).ok);
    EXPECT_EQ(TempFolder::mode(folder.file("secret")), 0600u);
}

// A user who keeps new files private (umask 077) gets private files from both ways of creating one; a
// mode asked for exactly is kept, and so is the mode of a file replaced.
TEST(AtomicFile, NewFilesOfTheDefaultModeFollowTheUsersUmask) {
    TempFolder folder;
    const mode_t old = ::umask(077);
    EXPECT_EQ(currentUmask(), 077u);
    const FileResult plain = AtomicFile::write(folder.file("plain"), "x");
    std::string reason;
    const bool created = static_cast<bool>(createNew(folder.file("still.jpg"), 0644, &reason));
    const unsigned plainMode = TempFolder::mode(folder.file("plain"));
    ::chmod(folder.file("plain").c_str(), 0640);
    const FileResult again = AtomicFile::write(folder.file("plain"), "y");
    const FileResult shared = AtomicFile::writeWithMode(folder.file("shared"), "z", 0644);
    ::umask(022);
    EXPECT_EQ(currentUmask(), 022u);
    const FileResult usual = AtomicFile::write(folder.file("usual"), "u");
    ::umask(old);
    ASSERT_TRUE(plain.ok && again.ok && shared.ok && usual.ok);
    ASSERT_TRUE(created) << reason;
    EXPECT_EQ(plainMode, 0600u);
    EXPECT_EQ(TempFolder::mode(folder.file("still.jpg")), 0600u);
    EXPECT_EQ(TempFolder::mode(folder.file("plain")), 0640u);
    EXPECT_EQ(TempFolder::mode(folder.file("shared")), 0644u);
    EXPECT_EQ(TempFolder::mode(folder.file("usual")), 0644u);
}

TEST(AtomicFile, PlantedLinksAreReplacedNeverFollowed) {
    TempFolder folder;
    const std::string victim = folder.write("victim", "precious");
    const std::string path = folder.file("AlarmEvent.am");
    // Links at the target and at every temporary name the older writers used.
    for (const std::string& name : {path, path + ".tmp", path + ".tmp" + std::to_string(::getpid())}) {
        ASSERT_EQ(::symlink(victim.c_str(), name.c_str()), 0) << name;
    }
    const FileResult result = AtomicFile::write(path, "events");
    ASSERT_TRUE(result.ok) << result.describe();
    EXPECT_EQ(TempFolder::read(victim), "precious");
    EXPECT_EQ(TempFolder::read(path), "events");
    struct stat status {};
    ASSERT_EQ(::lstat(path.c_str(), &status), 0);
    EXPECT_TRUE(S_ISREG(status.st_mode));
    EXPECT_EQ(TempFolder::mode(path), 0644u);  // a link's mode is not the file's
}

TEST(AtomicFile, AFailureAtAnyStepLeavesTheOldFileAndNoTemporary) {
    for (const Step step : {Step::CreateTemporary, Step::Write, Step::Sync, Step::Rename}) {
        TempFolder folder;
        const std::string path = folder.write("cnn.ini", "old book");
        ScopedFault fault(step, EIO);
        const FileResult result = AtomicFile::write(path, "new book");
        EXPECT_FALSE(result.ok);
        EXPECT_EQ(result.path, path);
        EXPECT_EQ(result.reason, std::strerror(EIO));
        EXPECT_EQ(result.describe(), path + ": " + std::strerror(EIO));
        EXPECT_EQ(TempFolder::read(path), "old book") << int(step);
        EXPECT_EQ(folder.names(), std::vector<std::string>{"cnn.ini"}) << int(step);
    }
}

TEST(AtomicFile, AFaultFiresOnTheCountedWriteOnly) {
    TempFolder folder;
    ScopedFault fault(Step::Rename, EIO, 2);
    EXPECT_TRUE(AtomicFile::write(folder.file("one"), "1").ok);
    EXPECT_FALSE(AtomicFile::write(folder.file("two"), "2").ok);
    EXPECT_TRUE(AtomicFile::write(folder.file("three"), "3").ok);
    EXPECT_EQ(folder.names(), (std::vector<std::string>{"one", "three"}));
}

TEST(AtomicFile, RefusesFoldersAndMissingNames) {
    TempFolder folder;
    std::filesystem::create_directory(folder.file("dir"));
    EXPECT_EQ(AtomicFile::write(folder.file("dir"), "x").reason, std::strerror(EISDIR));
    EXPECT_FALSE(AtomicFile::write(folder.path() + "/", "x").ok);
    folder.write("file", "f");
    const FileResult blocked = AtomicFile::write(folder.file("file/inner"), "x");
    EXPECT_FALSE(blocked.ok);
    EXPECT_EQ(TempFolder::read(folder.file("file")), "f");
}

}  // namespace
}  // namespace dvr::fs
