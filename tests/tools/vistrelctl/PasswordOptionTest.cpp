// The password kept off the command line other users can list: read from a file or standard input, and
// a --password given anyway blanked out of the running program's command line after it was read; an
// answer that cannot be written fails the run.
#include "tools/vistrelctl/PasswordOption.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include "tests/support/LoggedSimulator.h"
#include "tests/support/TempFolder.h"
#include "tests/support/Wait.h"

namespace dvr::ctl {
namespace {

using testsupport::LoggedSimulator;
using testsupport::TempFolder;

TEST(PasswordOption, TheFilesFirstLineWithoutItsLineEndOrStandardInput) {
    TempFolder folder;
    const std::string path = folder.file("password");
    std::ofstream(path) << "se cret\r\nsecond line\n";
    std::istringstream none;
    std::string error;
    EXPECT_EQ(readPasswordFile(path, none, error), "se cret");

    std::istringstream typed("from stdin\n");
    EXPECT_EQ(readPasswordFile("-", typed, error), "from stdin");
    std::istringstream empty;
    EXPECT_EQ(readPasswordFile("-", empty, error), "");

    EXPECT_FALSE(readPasswordFile(folder.file("missing"), none, error));
    EXPECT_EQ(error,
              "cannot read the password file " + folder.file("missing") + ": No such file or directory");

    char argument[] = "secret";
    blankArgument(argument);
    EXPECT_STREQ(argument, "xxxxxx");
}

std::string binFolder() {
    if (const char* dir = std::getenv("DVR_BIN_DIR"))
        return dir;
    return DVR_BIN_DIR_DEFAULT;
}

// The command line of a running process as `ps` shows it, its arguments joined by blanks.
std::string commandLine(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/cmdline");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    for (char& c : text)
        if (c == '\0')
            c = ' ';
    return text;
}

// The program logs in with the password it was given either way; a --password is gone from its command
// line while it runs, and a --password-file never put it there.
TEST(PasswordOption, TheProgramLogsInWithThePasswordThatNoCommandLineShows) {
    const std::string program = binFolder() + "/vistrelctl";
    ASSERT_TRUE(std::filesystem::exists(program)) << "vistrelctl not built in " << binFolder();
    TempFolder folder;
    LoggedSimulator simulator{sim::SimOptions{}};
    ASSERT_TRUE(simulator.listening());
    const std::string port = std::to_string(simulator.port());
    const std::string out = folder.file("pictures");
    std::filesystem::create_directories(out);

    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::execl(program.c_str(), "vistrelctl", "live", "--host", "127.0.0.1", "--port", port.c_str(),
                "--password", "hunter2", "--seconds", "20", "--out", out.c_str(),
                static_cast<char*>(nullptr));
        ::_exit(127);
    }
    // Until the recorder saw the login and the argument was blanked (bounded).
    std::string shown;
    const bool blanked = testsupport::waitUntil([&] {
        shown = commandLine(child);
        return simulator.countLogged(R"("user":"admin","password":"hunter2")") == 1 &&
               shown.find("hunter2") == std::string::npos;
    });
    ::kill(child, SIGTERM);
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(blanked);
    EXPECT_EQ(simulator.countLogged(R"("user":"admin","password":"hunter2")"), 1u);
    EXPECT_NE(shown.find("--password xxxxxxx"), std::string::npos) << shown;

    const std::string file = folder.file("password");
    std::ofstream(file) << "from a file\n";
    const std::string command = program + " info --host 127.0.0.1 --port " + port + " --password-file '" +
                                file + "' --timeout 20 > /dev/null";
    EXPECT_EQ(std::system(command.c_str()), 0);
    EXPECT_EQ(simulator.countLogged(R"("user":"admin","password":"from a file")"), 1u);

    // The answer that cannot be written (a full disk) is a failed run, said on stderr.
    const std::string errors = folder.file("errors");
    const std::string full = program + " info --host 127.0.0.1 --port " + port + " --password-file '" + file +
                             "' --timeout 20 > /dev/full 2> '" + errors + "'";
    const int fullStatus = std::system(full.c_str());
    ASSERT_TRUE(WIFEXITED(fullStatus));
    EXPECT_EQ(WEXITSTATUS(fullStatus), 1);
    std::ifstream in(errors);
    const std::string said{std::istreambuf_iterator<char>(in), {}};
    EXPECT_EQ(said, "vistrelctl: cannot write the output\n");
}

}  // namespace
}  // namespace dvr::ctl
