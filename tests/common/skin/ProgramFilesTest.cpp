#include "common/skin/ProgramFiles.h"

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "common/skin/ProgramFolder.h"
#include "tests/support/TempFolder.h"

using namespace dvr::skin;
using dvr::testsupport::TempFolder;

namespace {

// A program folder with shipped files and an empty per-user folder beside it.
struct Layout {
    TempFolder temp;
    std::string program = temp.path() + "/share/vistrel";
    std::string user = temp.path() + "/user/Vistrel";

    Layout() {
        temp.write("share/vistrel/ini/opt.ini", "[DRAW]\r\nFRAM=1\r\n");
        temp.write("share/vistrel/ini/res.ini", "[MAIN]\r\n");
    }
    ProgramFiles files(bool programFolderWritable) const {
        return ProgramFiles(program, user,
                            [programFolderWritable](const std::string&) { return programFolderWritable; });
    }
};

TEST(ProgramFilesTest, AWritableProgramFolderKeepsEveryFileBesideTheProgram) {
    const Layout layout;
    const ProgramFiles files = layout.files(true);
    EXPECT_EQ(files.readPath("ini\\opt.ini"), layout.program + "/ini/opt.ini");
    EXPECT_EQ(files.writePath("ini/opt.ini"), layout.program + "/ini/opt.ini");
    EXPECT_EQ(files.writePath("Backup"), layout.program + "/Backup");
    EXPECT_EQ(files.prepareWrite("ini/cnn.ini"), layout.program + "/ini/cnn.ini");
    EXPECT_FALSE(std::filesystem::exists(layout.user));
    // Paths the user chose stay as they are.
    EXPECT_EQ(files.writePath("/media/disc/shots"), "/media/disc/shots");
    EXPECT_EQ(files.readPath("/media/disc/a.zav"), "/media/disc/a.zav");
}

TEST(ProgramFilesTest, AReadOnlyProgramFolderSendsWritesToAPerUserCopyThatIsReadFirst) {
    const Layout layout;
    const ProgramFiles files = layout.files(false);
    EXPECT_EQ(files.writePath("Backup"), layout.user + "/Backup");
    EXPECT_EQ(files.readPath("ini/opt.ini"), layout.program + "/ini/opt.ini");

    // The first write starts from a copy of the shipped file, so keys it does not touch survive.
    const std::string target = files.prepareWrite("ini/opt.ini");
    ASSERT_EQ(target, layout.user + "/ini/opt.ini");
    EXPECT_EQ(TempFolder::read(target), "[DRAW]\r\nFRAM=1\r\n");
    EXPECT_EQ(files.readPath("ini/opt.ini"), target);
    // Files shipped without a copy are still read from the program folder.
    EXPECT_EQ(files.readPath("ini/res.ini"), layout.program + "/ini/res.ini");

    // A file the program folder never held gets no copy, only its folder.
    const std::string addressBook = files.prepareWrite("ini/cnn.ini");
    EXPECT_EQ(addressBook, layout.user + "/ini/cnn.ini");
    EXPECT_FALSE(std::filesystem::exists(addressBook));

    // Once the per-user copy exists it stays the file, even when the program folder becomes writable.
    const ProgramFiles later = layout.files(true);
    EXPECT_EQ(later.writePath("ini/opt.ini"), target);
    EXPECT_EQ(later.readPath("ini/opt.ini"), target);
    EXPECT_EQ(later.writePath("ini/ddns.ini"), layout.program + "/ini/ddns.ini");
}

TEST(ProgramFilesTest, WritabilityIsJudgedOnTheFileOrTheNearestExistingFolder) {
    const Layout layout;
    std::vector<std::string> asked;
    const ProgramFiles files(layout.program, layout.user, [&asked](const std::string& path) {
        asked.push_back(path);
        return true;
    });
    files.writePath("ini/opt.ini");
    files.writePath("PTZ/user/new.tl");
    files.writePath("AlarmEvent.am");
    ASSERT_EQ(asked.size(), 4U);
    // An existing file is replaced through its folder: both are asked.
    EXPECT_EQ(asked[0], layout.program + "/ini");
    EXPECT_EQ(asked[1], layout.program + "/ini/opt.ini");
    EXPECT_EQ(asked[2], layout.program);
    EXPECT_EQ(asked[3], layout.program);

    // A file others may write in a folder this user may not: the user's copy is written.
    const ProgramFiles lockedFolder(layout.program, layout.user, [&layout](const std::string& path) {
        return path != layout.program + "/ini";
    });
    EXPECT_EQ(lockedFolder.writePath("ini/opt.ini"), layout.user + "/ini/opt.ini");

    // A file standing where a folder of the path should be blocks the program folder.
    { std::ofstream(layout.program + "/logo") << "not a folder"; }
    EXPECT_EQ(files.writePath("logo/new.bmp"), layout.user + "/logo/new.bmp");

    // A program folder that does not exist is never written (nor created).
    const ProgramFiles missing(layout.temp.path() + "/nowhere", layout.user);
    EXPECT_EQ(missing.writePath("ini/opt.ini"), layout.user + "/ini/opt.ini");
}

TEST(ProgramFilesTest, AnInstalledProgramFolderIsNeverWrittenEvenWhenItCouldBe) {
    const Layout layout;
    chmod(layout.temp.file("share/vistrel/ini/opt.ini").c_str(), 0444);
    const ProgramFiles files(
        layout.program, layout.user, [](const std::string&) { return true; }, true);
    for (const char* relative : {"ini/opt.ini", "ini/cnn.ini", "AlarmEvent.am", "Backup", "PTZ/user.tl"}) {
        EXPECT_EQ(files.writePath(relative), layout.user + "/" + relative) << relative;
    }
    const std::string copy = files.prepareWrite("ini/opt.ini");
    EXPECT_EQ(copy, layout.user + "/ini/opt.ini");
    EXPECT_EQ(TempFolder::read(copy), "[DRAW]\r\nFRAM=1\r\n");
    struct stat status {};
    ASSERT_EQ(stat(copy.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0644u) << "the user's copy can be written";
}

TEST(ProgramFilesTest, AnInstalledFolderIsTheSharedFolderBesideTheProgram) {
    struct Case {
        const char* folder;
        const char* executableFolder;
        bool installed;
    };
    const Case cases[] = {{"/usr/share/vistrel", "/usr/bin", true},
                          {"/usr/share/discoro/", "/usr/bin", true},
                          {"/opt/dvr/bin/../share/vistrel", "/opt/dvr/bin", true},
                          {"/usr/bin", "/usr/bin", false},
                          {"/home/me/vistrel", "/usr/bin", false},
                          {"/usr/share/other", "/usr/bin", false},
                          {"", "/usr/bin", false},
                          {"/usr/share/vistrel", "", false}};
    for (const Case& c : cases) {
        EXPECT_EQ(ProgramFolder::isInstalledFolder(c.folder, c.executableFolder), c.installed) << c.folder;
    }
}

TEST(ProgramFilesTest, FileSystemPermissionsDecideWithoutAnInjectedCheck) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "root may write anywhere";
    }
    const Layout layout;
    ASSERT_EQ(::chmod((layout.program + "/ini/opt.ini").c_str(), 0444), 0);
    ASSERT_EQ(::chmod((layout.program + "/ini").c_str(), 0555), 0);
    ASSERT_EQ(::chmod(layout.program.c_str(), 0555), 0);
    const ProgramFiles files(layout.program, layout.user);
    const std::string target = files.prepareWrite("ini/opt.ini");
    EXPECT_EQ(target, layout.user + "/ini/opt.ini");
    EXPECT_EQ(::access(target.c_str(), W_OK), 0);  // the copy of a read-only file is the user's to write
    EXPECT_EQ(files.writePath("avi"), layout.user + "/avi");
    ::chmod(layout.program.c_str(), 0755);
    ::chmod((layout.program + "/ini").c_str(), 0755);
}

TEST(ProgramFilesTest, TheUserFolderFollowsXdgDataHome) {
    const char* savedData = std::getenv("XDG_DATA_HOME");
    const char* savedHome = std::getenv("HOME");
    const std::string data = savedData ? savedData : "";
    const std::string home = savedHome ? savedHome : "";

    ::setenv("XDG_DATA_HOME", "/tmp/data", 1);
    EXPECT_EQ(ProgramFiles::defaultUserFolder("Discoro"), "/tmp/data/Discoro");
    ::setenv("XDG_DATA_HOME", "relative/ignored", 1);
    ::setenv("HOME", "/home/u", 1);
    EXPECT_EQ(ProgramFiles::defaultUserFolder("Vistrel"), "/home/u/.local/share/Vistrel");
    ::unsetenv("XDG_DATA_HOME");
    ::unsetenv("HOME");
    EXPECT_EQ(ProgramFiles::defaultUserFolder("Vistrel"), "");

    savedData ? ::setenv("XDG_DATA_HOME", data.c_str(), 1) : ::unsetenv("XDG_DATA_HOME");
    savedHome ? ::setenv("HOME", home.c_str(), 1) : ::unsetenv("HOME");
}

TEST(ProgramFilesTest, TheProgramFolderIsTheExecutablesOnlyWhenItHoldsTheProgramsFiles) {
    const TempFolder temp;
    const std::string prefix = temp.path() + "/usr";
    std::filesystem::create_directories(prefix + "/bin");
    const ProgramFolder::Program& player = ProgramFolder::kPlayer;

    // Installed: nothing beside the program, its files under ../share/discoro.
    EXPECT_EQ(ProgramFolder::installedFolder(prefix + "/bin", player), prefix + "/bin");
    temp.write("usr/share/discoro/res.ini", "[MAIN]\r\n");
    EXPECT_EQ(ProgramFolder::installedFolder(prefix + "/bin", player), prefix + "/share/discoro");
    // Vistrel's files are not Discoro's.
    EXPECT_EQ(ProgramFolder::installedFolder(prefix + "/bin", ProgramFolder::kViewer), prefix + "/bin");
    // A build tree or portable copy: the files beside the program win.
    temp.write("usr/bin/res.ini", "[MAIN]\r\n");
    EXPECT_EQ(ProgramFolder::installedFolder(prefix + "/bin", player), prefix + "/bin");

    // --home and the environment variable come before either.
    const ProgramFolder::Program program{"DVR_PROGRAM_FILES_TEST_HOME", "discoro", "res.ini", "Discoro"};
    ::setenv(program.homeVariable, "/tmp/from-env", 1);
    EXPECT_EQ(ProgramFolder::resolve(std::nullopt, program), "/tmp/from-env");
    EXPECT_EQ(ProgramFolder::resolve(std::string("/tmp/from-option"), program), "/tmp/from-option");
    ::unsetenv(program.homeVariable);
    EXPECT_EQ(ProgramFolder::resolve(std::nullopt, program),
              ProgramFolder::installedFolder(ProgramFolder::executableFolder(), program));
}

}  // namespace
