#include "common/skin/ProgramFolder.h"

#include <stdlib.h>

#include <filesystem>

#include <gtest/gtest.h>

using namespace dvr::skin;

TEST(ProgramFolderTest, NormalizesTheTextsPaths) {
    struct Case {
        const char* path;
        const char* normalized;
    };
    const Case cases[] = {
        {"ini\\res.ini", "ini/res.ini"},
        {"ini\\\\opt.ini", "ini/opt.ini"},
        {"a//b///c", "a/b/c"},
        {"./logo/slogo.bmp", "logo/slogo.bmp"},
        {"PTZ\\pelcoD.tl", "PTZ/pelcoD.tl"},
        {"/opt/vistrel/", "/opt/vistrel/"},
        {"//opt\\\\x", "/opt/x"},
        {"/", "/"},
        {"", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ProgramFolder::normalize(c.path), c.normalized) << c.path;
    }
}

TEST(ProgramFolderTest, JoinsFolderAndRelativePath) {
    struct Case {
        const char* folder;
        const char* relative;
        const char* joined;
    };
    const Case cases[] = {
        {"/opt/vistrel", "ini\\opt.ini", "/opt/vistrel/ini/opt.ini"},
        {"/opt/vistrel/", "Backup", "/opt/vistrel/Backup"},
        {"/opt/vistrel//", "\\ini\\\\lang.ini", "/ini/lang.ini"},  // an absolute path stays as it is
        {"/opt/vistrel", "/home/u/shots", "/home/u/shots"},
        {"", "res.ini", "res.ini"},
        {"/opt/discoro", "", "/opt/discoro"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ProgramFolder::join(c.folder, c.relative), c.joined) << c.folder << " + " << c.relative;
    }
}

TEST(ProgramFolderTest, TakesTheHomeOptionOutOfTheArguments) {
    std::string error;
    std::vector<std::string> arguments{"discoro", "--home", "/tmp/h", "backup.zav"};
    EXPECT_EQ(ProgramFolder::takeHomeOption(arguments, &error), "/tmp/h");
    EXPECT_EQ(arguments, (std::vector<std::string>{"discoro", "backup.zav"}));

    arguments = {"vistrel", "--home=/tmp/g"};
    EXPECT_EQ(ProgramFolder::takeHomeOption(arguments, &error), "/tmp/g");
    EXPECT_EQ(arguments, (std::vector<std::string>{"vistrel"}));

    arguments = {"vistrel", "file"};
    EXPECT_EQ(ProgramFolder::takeHomeOption(arguments, &error), std::nullopt);
    EXPECT_TRUE(error.empty());

    arguments = {"vistrel", "--home"};
    EXPECT_EQ(ProgramFolder::takeHomeOption(arguments, &error), std::nullopt);
    EXPECT_FALSE(error.empty());
}

TEST(ProgramFolderTest, OptionBeatsEnvironmentWhichBeatsTheExecutablesFolder) {
    const char* variable = "DVR_PROGRAM_FOLDER_TEST_HOME";
    ::unsetenv(variable);
    const std::string executable = std::filesystem::read_symlink("/proc/self/exe").parent_path().string();
    EXPECT_EQ(ProgramFolder::executableFolder(), executable);
    EXPECT_EQ(ProgramFolder::resolve(std::nullopt, variable), executable);

    ::setenv(variable, "/tmp/from-env", 1);
    EXPECT_EQ(ProgramFolder::resolve(std::nullopt, variable), "/tmp/from-env");
    EXPECT_EQ(ProgramFolder::resolve(std::string("/tmp/from-option"), variable), "/tmp/from-option");
    ::setenv(variable, "", 1);
    EXPECT_EQ(ProgramFolder::resolve(std::nullopt, variable), executable);
    ::unsetenv(variable);

    const std::string relative = ProgramFolder::resolve(std::string("portable\\home"), variable);
    EXPECT_EQ(relative, ProgramFolder::join(std::filesystem::current_path().string(), "portable/home"));
}
