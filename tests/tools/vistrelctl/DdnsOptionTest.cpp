// vistrelctl ddns refuses a time limit that is not one before it looks anything up.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <cstdlib>
#include <string>

namespace dvr::ctl {
namespace {

std::string binFolder() {
    if (const char* dir = std::getenv("DVR_BIN_DIR"))
        return dir;
    return DVR_BIN_DIR_DEFAULT;
}

TEST(DdnsOption, TheTimeLimitMustBeATimeOfAtLeastAMillisecond) {
    // Refused while the command line is read (status 2), before the lookup would go to loopback's
    // discard port and fail there.
    for (const char* value : {"nan", "inf", "0.0004", "0", "-1", "3601", "2s"}) {
        const std::string command = binFolder() +
                                    "/vistrelctl ddns --template 'http://127.0.0.1:9/[0]/[1]' --member m "
                                    "--name n --timeout " +
                                    value + " > /dev/null 2>&1";
        const int status = std::system(command.c_str());
        ASSERT_TRUE(WIFEXITED(status)) << value;
        EXPECT_EQ(WEXITSTATUS(status), 2) << value;
    }
}

}  // namespace
}  // namespace dvr::ctl
