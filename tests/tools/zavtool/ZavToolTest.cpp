// The backup writer and backup tool programs end to end: zavgen writes a file, zavtool reports it.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tests/player/media/MediaTestSupport.h"

namespace {

using dvr::testsupport::TempFolder;

std::string program(const char* name) {
    // The program folder of the build, unless the environment names another.
    const char* dir = std::getenv("DVR_BIN_DIR");
    return std::string(dir ? dir : DVR_BIN_DIR_DEFAULT) + "/" + name;
}

struct Outcome {
    int status = -1;
    std::string out;
};

// Runs a command line, collecting standard output (standard error goes to stdout when asked).
Outcome run(const std::string& command, bool withErrors = false) {
    Outcome r;
    std::FILE* pipe = popen((command + (withErrors ? " 2>&1" : " 2>/dev/null")).c_str(), "r");
    if (!pipe)
        return r;
    char buffer[4096];
    while (size_t got = std::fread(buffer, 1, sizeof buffer, pipe))
        r.out.append(buffer, got);
    const int status = pclose(pipe);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        out.push_back(line);
    return out;
}

class ZavTool : public ::testing::Test {
protected:
    TempFolder dir;
    std::string file = dir.file("f.zav");

    void generate(const std::string& options) {
        ASSERT_EQ(run(program("zavgen") + " " + file + " " + options).status, 0) << options;
    }
};

TEST_F(ZavTool, InfoPrintsOneJsonObject) {
    generate(
        "--channels 8 --family 3 --sound --placeholder --duration 30 --interval 5 --start \"2027-02-03 "
        "04:05:06\"");
    const Outcome r = run(program("zavtool") + " info " + file + " --json");
    ASSERT_EQ(r.status, 0);
    const std::regex object(
        R"(\{"channels": 8, "panes": 9, "layoutCode": 196616, "sound": true, "start": "2027-02-03 04:05:06", )"
        R"("end": "2027-02-03 04:05:31", "endOffset": (\d+), "fileSize": (\d+)\}\n)");
    std::smatch m;
    ASSERT_TRUE(std::regex_match(r.out, m, object)) << r.out;
    EXPECT_EQ(std::stoull(m[2]), std::filesystem::file_size(file));
}

TEST_F(ZavTool, FailuresGiveTheScanMessageAndAnErrorStatus) {
    std::ofstream(file) << std::string(70000, 'x');
    const Outcome r = run(program("zavtool") + " info " + file + " --json", true);
    EXPECT_NE(r.status, 0);
    EXPECT_EQ(r.out, "zavtool:  Unknown CD \n");
    EXPECT_NE(run(program("zavtool") + " frames").status, 0);
    EXPECT_NE(run(program("zavtool") + " audio " + file + " --channel 5 --out x.wav").status, 0);
    // A channel number past the int range does not wrap round to one that exists.
    for (const char* number : {"4294967297", "4294967296", "99999999999999999999", "-1", "1x", "\"\""}) {
        const Outcome refused =
            run(program("zavtool") + " audio " + file + " --channel " + number + " --out x.wav", true);
        EXPECT_EQ(refused.status, 1) << number;
        EXPECT_EQ(refused.out, "zavtool: --channel needs a number\n") << number;
    }
    for (const char* number : {"\"\"", "16", "1x"}) {
        const Outcome refused =
            run(program("zavtool") + " still " + file + " --channel " + number + " --out x.jpg", true);
        EXPECT_EQ(refused.status, 1) << number;
        EXPECT_EQ(refused.out, "zavtool: --channel takes a channel number 0 to 15\n") << number;
    }
    EXPECT_EQ(run(program("zavtool") + " --help").status, 0);
    // Each command answers --help with the usage.
    for (const char* command : {"info", "frames", "audio", "export", "still", "verify", "keygen"}) {
        const Outcome help = run(program("zavtool") + " " + command + " --help", true);
        EXPECT_EQ(help.status, 0) << command;
        EXPECT_NE(help.out.find("zavtool " + std::string(command)), std::string::npos) << command;
    }
    EXPECT_EQ(run(program("zavgen") + " --help").status, 0);
    EXPECT_NE(run(program("zavgen") + " " + file + " --channels 5").status, 0);
    // A value zavgen cannot take as asked is refused, not read as something else.
    for (const char* options :
         {"--corrupt short@x", "--corrupt short@", "--corrupt short@1x", "--duration \"\"",
          "--duration 2147483647", "--interval 0", "--trailing-zeros 100"})
        EXPECT_EQ(run(program("zavgen") + " " + file + " " + options).status, 1) << options;
}

TEST_F(ZavTool, PicturesThatCannotBeWrittenGiveAnErrorStatus) {
    generate("--channels 4 --duration 8");
    // A plain file where the folder should be: every picture file fails to open.
    const std::string notFolder = dir.file("plain");
    std::ofstream(notFolder) << "x";
    const Outcome r = run(program("zavtool") + " frames " + file + " --out " + notFolder, true);
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.out.find("zavtool: cannot write"), std::string::npos) << r.out;
}

TEST_F(ZavTool, FramesReadsEveryChannelFromItsPixels) {
    // Pair pictures of 4 channels, two groups: forward from the start, the first group shown twice.
    generate("--channels 4 --layout pair --duration 8 --interval 4");
    const std::string out = dir.file("pictures");
    for (const std::string mode : {"forward", "backward"}) {
        const Outcome r =
            run(program("zavtool") + " frames " + file + " --json --mode " + mode + " --out " + out);
        ASSERT_EQ(r.status, 0);
        const auto all = lines(r.out);
        ASSERT_GE(all.size(), 3u);
        const std::regex picture(
            R"(\{"offset": (\d+), "channel": (\d+), "time": "2026-05-17 12:00:0[04]", "field": 255, "flags": 50331649\})");
        std::set<int> channels;
        for (size_t i = 0; i + 1 < all.size(); ++i) {
            std::smatch m;
            ASSERT_TRUE(std::regex_match(all[i], m, picture)) << all[i];
            channels.insert(std::stoi(m[2]));
        }
        EXPECT_EQ(channels, (std::set<int>{0, 2}));  // pair pictures align to even channels
        EXPECT_EQ(all.back().rfind("{\"summary\": {\"pictures\": ", 0), 0u) << all.back();
        EXPECT_NE(all.back().find("\"decodeFailures\": 0"), std::string::npos);
        for (int c = 0; c < 4; ++c)
            EXPECT_TRUE(std::filesystem::exists(out + "/ch0" + std::to_string(c + 1) + ".jpg")) << c;
    }
}

TEST_F(ZavTool, AudioWritesTheChosenChannelsTone) {
    generate("--channels 4 --family 3 --sound --placeholder --duration 4 --interval 2");
    const std::string wav = dir.file("c2.wav");
    ASSERT_EQ(run(program("zavtool") + " audio " + file + " --channel 2 --out " + wav).status, 0);
    std::ifstream in(wav, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_GT(bytes.size(), 44u);
    EXPECT_EQ(std::string(bytes.data(), 4), "RIFF");
    EXPECT_EQ(std::string(bytes.data() + 8, 8), "WAVEfmt ");
    const size_t samples = (bytes.size() - 44) / 2;
    EXPECT_EQ(samples, 4u * 8000);
    // Sound channel 2 carries 500 Hz: about 1000 sign changes per second.
    int crossings = 0;
    int16_t previous = 0;
    for (size_t i = 0; i < samples; ++i) {
        int16_t s;
        std::memcpy(&s, bytes.data() + 44 + 2 * i, 2);
        if ((s >= 0) != (previous >= 0))
            ++crossings;
        previous = s;
    }
    EXPECT_NEAR(crossings / 4.0, 2 * 500, 20);
}

}  // namespace
