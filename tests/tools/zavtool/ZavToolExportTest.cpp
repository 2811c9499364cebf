// zavtool export end to end: zavgen writes a backup file, zavtool exports one channel, ffprobe and
// ffmpeg judge the AVI file and every frame shows the channel's signature colour.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>
#include <string>

#include "common/evidence/Manifest.h"
#include "tests/common/export/AviCheck.h"
#include "tests/support/FileSizeLimit.h"
#include "tools/synth/Synth.h"

namespace {

using namespace dvr::testing;
using dvr::testsupport::TempFolder;

std::string program(const char* name) {
    const char* dir = std::getenv("DVR_BIN_DIR");
    return std::string(dir ? dir : DVR_BIN_DIR_DEFAULT) + "/" + name;
}

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

class ZavToolExport : public ::testing::Test {
protected:
    TempFolder dir;
    std::string file = dir.file("f.zav");

    void generate(const std::string& options) {
        ASSERT_EQ(runCommand(program("zavgen") + " " + file + " " + options + " >/dev/null 2>&1").status, 0)
            << options;
    }
    // Runs zavtool export with the arguments; standard error joins the output.
    CommandOutcome exportWith(const std::string& args) {
        return runCommand(program("zavtool") + " export " + file + " " + args + " 2>&1");
    }
    // Every frame of the file shows the channel's signature colour away from its digits and stamp.
    void expectChannelColour(const std::string& avi, int channel, int width, int height, long frames) {
        const auto decoded = decodeAvi(avi, width, height);
        ASSERT_EQ(long(decoded.size()), frames);
        const uint32_t colour = dvr::synth::signatureColour(channel);
        for (size_t i = 0; i < decoded.size(); ++i)
            ASSERT_TRUE(
                nearColour(pixelAt(decoded[i], width, width * 93 / 100, height * 45 / 100), colour, 24))
                << avi << " frame " << i << std::hex << " "
                << pixelAt(decoded[i], width, width * 93 / 100, height * 45 / 100) << " wanted " << colour;
    }
};

TEST_F(ZavToolExport, EachLayoutGivesItsChannelsPartAtTheChosenSizeAndRate) {
    struct Case {
        const char* layout;
        int channel;
        const char* size;
        int width;
        int height;
        int rate;
    };
    for (const Case c :
         {Case{"quad", 2, "360x240", 360, 240, 10}, Case{"pair", 5, "720x480", 720, 480, 15},
          Case{"frame", 3, "720x480", 720, 480, 25}, Case{"full", 6, "360x240", 360, 240, 1}}) {
        SCOPED_TRACE(c.layout);
        generate(std::string("--channels 8 --duration 60 --interval 2 --layout ") + c.layout);
        const std::string avi = dir.file(std::string(c.layout) + ".avi");
        const CommandOutcome r = exportWith("--channel " + std::to_string(c.channel) + " --out " + avi +
                                            " --size " + c.size + " --fps " + std::to_string(c.rate));
        ASSERT_EQ(r.status, 0) << r.out;
        std::smatch m;
        ASSERT_TRUE(std::regex_search(r.out, m, std::regex(R"((\d+) pictures of channel \d+, (\d+) frames)")))
            << r.out;
        const long frames = std::stol(m[2]);
        EXPECT_EQ(std::stol(m[1]), frames);
        EXPECT_GE(frames, 10);
        const AviFacts facts = probeAvi(avi);
        EXPECT_EQ(facts.errors, "");
        EXPECT_EQ(facts.codec, "mjpeg");
        EXPECT_EQ(facts.width, c.width);
        EXPECT_EQ(facts.height, c.height);
        EXPECT_EQ(facts.rate, std::to_string(c.rate) + "/1");
        EXPECT_EQ(facts.frames, frames);
        EXPECT_NEAR(facts.durationSeconds, double(frames) / c.rate, 0.01);
        expectChannelColour(avi, c.channel, c.width, c.height, frames);
        EXPECT_TRUE(std::filesystem::exists(dir.file(std::string(c.layout) + ".log")));
    }
}

// The export keeps the pictures the player's window shows: quads only from first fields, except from
// the recorders of layout code 0x20016, which keep every quad.
TEST_F(ZavToolExport, QuadsFollowTheWindowsFieldRule) {
    generate("--channels 4 --layout quad --duration 20 --interval 2 --whole-frame-quads");
    CommandOutcome r = exportWith("--channel 1 --out " + dir.file("dropped.avi"));
    EXPECT_NE(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("no picture of channel 1"), std::string::npos) << r.out;

    generate("--channels 16 --family 2 --layout quad --duration 20 --interval 2 --whole-frame-quads");
    r = exportWith("--channel 1 --out " + dir.file("kept.avi"));
    EXPECT_EQ(r.status, 0) << r.out;

    // Field pairs, ten groups, all before the file's unplayed tail: one picture per pair, never the
    // second field as a picture of its own.
    generate("--channels 4 --layout quad --duration 20 --interval 2 --trailing-zeros 655360");
    r = exportWith("--channel 1 --out " + dir.file("pairs.avi"));
    EXPECT_NE(r.out.find("10 pictures of channel 1"), std::string::npos) << r.out;
}

TEST_F(ZavToolExport, TheLogHoldsTheRangeChannelRateAndSize) {
    generate("--channels 4 --layout quad --duration 120 --interval 2");
    const std::string avi = dir.file("cam.avi");
    const CommandOutcome r = exportWith("--channel 1 --out " + avi +
                                        " --from \"2026-05-17 12:00:10\" --to \"2026-05-17 12:00:20\"");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(readAll(dir.file("cam.log")),
              "RECORD START : 2026/05/17 12:00:10 \n"
              "RECORD END   : 2026/05/17 12:00:20 \n"
              "CHANNEL      : 02 \n"
              "FRAME RATE   : 10 Frame \n"
              "RECORD SIZE  : 360 * 240 Pixel \n");
    EXPECT_EQ(probeAvi(avi).frames, 6);  // one picture every two seconds, both ends included
}

TEST_F(ZavToolExport, RealPaceLastsAsLongAsTheRecording) {
    generate("--channels 4 --layout quad --duration 120 --interval 2");
    const std::string avi = dir.file("real.avi");
    const CommandOutcome r =
        exportWith("--channel 0 --out " + avi + " --pace real --fps 5 --to \"2026-05-17 12:00:29\"");
    ASSERT_EQ(r.status, 0) << r.out;
    // Pictures at 0, 2, ... 28 seconds: 29 seconds of five frames each.
    const AviFacts facts = probeAvi(avi);
    EXPECT_EQ(facts.frames, 29 * 5);
    EXPECT_NEAR(facts.durationSeconds, 29.0, 0.01);
    expectChannelColour(avi, 0, 360, 240, 29 * 5);
}

TEST_F(ZavToolExport, ThreadCountsGiveTheSameFile) {
    generate("--channels 4 --layout pair --duration 80 --interval 2");
    // The same file name in two folders: the stream name inside the file is the same too.
    for (const char* folder : {"one", "three", "plain"})
        std::filesystem::create_directory(dir.file(folder));
    ASSERT_EQ(exportWith("--channel 3 --out " + dir.file("one/x.avi") + " --threads 1").status, 0);
    ASSERT_EQ(exportWith("--channel 3 --out " + dir.file("three/x.avi") + " --threads 3").status, 0);
    const std::string one = readAll(dir.file("one/x.avi"));
    EXPECT_GT(one.size(), 10000u);
    EXPECT_TRUE(one == readAll(dir.file("three/x.avi")));
    // Without the stamp: as many frames, other pixels.
    ASSERT_EQ(exportWith("--channel 3 --out " + dir.file("plain/x.avi") + " --no-stamp").status, 0);
    EXPECT_EQ(probeAvi(dir.file("plain/x.avi")).frames, probeAvi(dir.file("one/x.avi")).frames);
    EXPECT_FALSE(one == readAll(dir.file("plain/x.avi")));
}

TEST_F(ZavToolExport, RefusalsAreOneLineWithAnErrorStatus) {
    generate("--channels 4 --layout quad --duration 60 --interval 2");
    const std::string avi = dir.file("x.avi");
    const std::string folder = dir.file("locked");
    std::filesystem::create_directory(folder);
    std::filesystem::permissions(folder,
                                 std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    const bool rootIgnoresModes = ::access(folder.c_str(), W_OK) == 0;
    struct Case {
        std::string args;
        std::string message;
    };
    std::vector<Case> cases = {
        {"--channel 4 --out " + avi, "zavtool: unknown channel 4: the file has channels 0 to 3\n"},
        {"--channel 1 --out " + avi + " --from \"2027-01-01 00:00:00\"",
         "zavtool: empty range: the file holds 2026-05-17 12:00:00 to 2026-05-17 12:00:58\n"},
        {"--channel 1 --out " + avi + " --from \"2026-05-17 12:00:11\" --to \"2026-05-17 12:00:11\"",
         "zavtool: no picture of channel 1 in the range\n"},
        {"--channel 1 --out " + dir.file("none/x.avi"),
         "zavtool: cannot create " + dir.file("none/x.avi") + ": No such file or directory\n"},
        // Never written through, nor removed, even with --overwrite.
        {"--channel 1 --out /dev/full", "zavtool: /dev/full is not a regular file\n"},
        {"--channel 1 --overwrite --out /dev/full", "zavtool: /dev/full is not a regular file\n"},
    };
    if (!rootIgnoresModes)
        cases.push_back({"--channel 1 --out " + folder + "/x.avi",
                         "zavtool: cannot create " + folder + "/x.avi: Permission denied\n"});
    for (const Case& c : cases) {
        const CommandOutcome r = exportWith(c.args);
        EXPECT_EQ(r.status, 1) << c.args;
        EXPECT_EQ(r.out, c.message) << c.args;
    }
    EXPECT_FALSE(std::filesystem::exists(avi)) << "a failed export leaves no file";
}

TEST_F(ZavToolExport, StillsAreTheChannelsPartThroughTheFilters) {
    generate("--channels 4 --layout pair --duration 120 --interval 2");
    auto still = [&](const std::string& args) {
        return runCommand(program("zavtool") + " still " + file + " --channel 3 " + args + " 2>&1");
    };
    const CommandOutcome plain = still("--at \"2026-05-17 12:00:09\" --out " + dir.file("a.png"));
    ASSERT_EQ(plain.status, 0) << plain.out;
    EXPECT_NE(plain.out.find("at 2026/05/17 12:00:10, 360 x 240"), std::string::npos) << plain.out;
    ASSERT_EQ(still("--at \"2026-05-17 12:00:09\" --filter bright,bright --out " + dir.file("b.png")).status,
              0);
    ASSERT_EQ(still("--out " + dir.file("c.jpg")).status, 0);

    // PNG keeps every value: the filtered picture is the plain one brightened twice.
    const auto a = decodeAvi(dir.file("a.png"), 360, 240);
    const auto b = decodeAvi(dir.file("b.png"), 360, 240);
    ASSERT_EQ(a.size(), 1u);
    ASSERT_EQ(b.size(), 1u);
    for (size_t i = 0; i < a[0].size(); ++i)
        ASSERT_EQ(int(b[0][i]), std::min(255, int(a[0][i]) + 20)) << i;
    EXPECT_TRUE(nearColour(pixelAt(a[0], 360, 335, 108), dvr::synth::signatureColour(3), 24));
    const auto c = decodeAvi(dir.file("c.jpg"), 360, 240);
    ASSERT_EQ(c.size(), 1u);
    EXPECT_TRUE(nearColour(pixelAt(c[0], 360, 335, 108), dvr::synth::signatureColour(3), 24));

    EXPECT_EQ(still("--out " + dir.file("x.bmp")).out, "zavtool: still needs --out X.jpg or X.png\n");
    EXPECT_EQ(
        still("--filter brighter --out " + dir.file("x.jpg")).out,
        "zavtool: unknown filter \"brighter\" (bright, dark, sharpen, blur, contrast-up, contrast-down)\n");
    EXPECT_EQ(still("--at \"2026-05-18 00:00:00\" --out " + dir.file("x.jpg")).status, 1);
}

TEST_F(ZavToolExport, AnExistingOutputOrAPlantedLinkIsReplacedOnlyWhenAskedAndNeverFollowed) {
    generate("--channels 4 --duration 20 --interval 2");
    const std::string victim = dir.file("victim");
    std::ofstream(victim) << "precious";
    const std::string jpg = dir.file("s.jpg");
    const std::string avi = dir.file("e.avi");
    const std::string wav = dir.file("a.wav");
    std::filesystem::create_symlink(victim, jpg);
    std::filesystem::create_symlink(victim, avi);
    std::filesystem::create_symlink(victim, wav);
    std::filesystem::create_symlink(victim, jpg + ".manifest.json");
    std::filesystem::create_symlink(victim, avi + ".manifest.json");
    const std::string commands[] = {"still " + file + " --channel 3 --out " + jpg,
                                    "export " + file + " --channel 3 --no-stamp --out " + avi,
                                    "audio " + file + " --channel 1 --out " + wav};
    const std::string outs[] = {jpg, avi, wav};
    for (size_t i = 0; i < 3; ++i) {
        const CommandOutcome refused = runCommand(program("zavtool") + " " + commands[i] + " 2>&1");
        EXPECT_EQ(refused.status, 1) << commands[i];
        EXPECT_EQ(refused.out, "zavtool: " + outs[i] + " exists (--overwrite replaces it)\n");
        const CommandOutcome replaced =
            runCommand(program("zavtool") + " " + commands[i] + " --overwrite 2>&1");
        EXPECT_EQ(replaced.status, 0) << replaced.out;
        EXPECT_TRUE(std::filesystem::is_regular_file(std::filesystem::symlink_status(outs[i]))) << outs[i];
    }
    // The manifests beside them replaced the links planted at their names.
    EXPECT_TRUE(std::filesystem::is_regular_file(std::filesystem::symlink_status(jpg + ".manifest.json")));
    EXPECT_TRUE(std::filesystem::is_regular_file(std::filesystem::symlink_status(avi + ".manifest.json")));
    std::ifstream in(victim);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "precious");

    // The log and the manifest written beside an output are outputs too: a file at either name is not
    // replaced unless asked, even when the output's own name is free.
    const std::string notes = dir.file("report.log");
    const std::string stillManifest = dir.file("p.jpg.manifest.json");
    std::ofstream(notes) << "my notes";
    std::ofstream(stillManifest) << "my manifest";
    const CommandOutcome logTaken =
        runCommand(program("zavtool") + " export " + file + " --channel 3 --no-stamp --out " +
                   dir.file("report.avi") + " 2>&1");
    EXPECT_EQ(logTaken.status, 1);
    EXPECT_EQ(logTaken.out, "zavtool: " + notes + " exists (--overwrite replaces it)\n");
    const CommandOutcome manifestTaken = runCommand(program("zavtool") + " still " + file +
                                                    " --channel 3 --out " + dir.file("p.jpg") + " 2>&1");
    EXPECT_EQ(manifestTaken.status, 1);
    EXPECT_EQ(manifestTaken.out, "zavtool: " + stillManifest + " exists (--overwrite replaces it)\n");
    EXPECT_FALSE(std::filesystem::exists(dir.file("report.avi")));
    EXPECT_FALSE(std::filesystem::exists(dir.file("p.jpg")));
    EXPECT_EQ(readAll(notes), "my notes");
    EXPECT_EQ(readAll(stillManifest), "my manifest");
}

// --overwrite replaces a file with a new one, so a run that fails keeps the old one; and the file being
// read is never the one replaced.
TEST_F(ZavToolExport, AFailedRunKeepsTheFileItWouldHaveReplacedAndNeverReplacesItsInput) {
    generate("--channels 4 --duration 20 --interval 2");
    const std::string avi = dir.file("e.avi");
    const std::string jpg = dir.file("s.jpg");
    const std::string wav = dir.file("a.wav");
    for (const std::string& out : {avi, jpg, wav})
        std::ofstream(out) << "the earlier one";
    const std::string before = readAll(file);
    struct Case {
        std::string command;
        std::string out;
    };
    const Case cases[] = {
        {"export " + file + " --channel 1 --no-stamp --overwrite --out " + avi +
             " --from \"2030-01-01 00:00:00\"",
         avi},
        // Begun, but no picture in the range: the new file goes and the earlier one comes back.
        {"export " + file + " --channel 1 --no-stamp --overwrite --out " + avi +
             " --from \"2026-05-17 12:00:11\" --to \"2026-05-17 12:00:11\"",
         avi},
        {"still " + file + " --channel 1 --overwrite --out " + jpg + " --at \"2030-01-01 00:00:00\"", jpg},
        {"still " + dir.file("missing.zav") + " --channel 1 --overwrite --out " + jpg, jpg},
        {"audio " + dir.file("missing.zav") + " --channel 1 --overwrite --out " + wav, wav},
    };
    for (const Case& c : cases) {
        const CommandOutcome r = runCommand(program("zavtool") + " " + c.command + " 2>&1");
        EXPECT_EQ(r.status, 1) << c.command << "\n" << r.out;
        EXPECT_EQ(readAll(c.out), "the earlier one") << c.command;
    }
    // Nothing is left under another name.
    size_t entries = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        entries += entry.path().filename().string().rfind(".e.avi", 0) == 0 ? 1 : 0;
    EXPECT_EQ(entries, 0u);
    for (const std::string& command : {"export " + file + " --channel 1 --no-stamp --overwrite --out " + file,
                                       "audio " + file + " --channel 1 --overwrite --out " + file}) {
        const CommandOutcome r = runCommand(program("zavtool") + " " + command + " 2>&1");
        EXPECT_EQ(r.status, 1) << command;
        EXPECT_EQ(r.out, "zavtool: " + file + " is the file being read\n") << command;
    }
    EXPECT_EQ(readAll(file), before);
}

// A still or sound file that cannot be written whole (a full disk) leaves no part of itself behind,
// and with --overwrite the file it was to replace stays as it was.
TEST_F(ZavToolExport, AWriteThatFailsLeavesNoPartialFileAndKeepsTheEarlierOne) {
    generate("--channels 4 --family 3 --sound --duration 20 --interval 2");
    const std::string jpg = dir.file("s.jpg");
    const std::string wav = dir.file("a.wav");
    for (const bool overwrite : {false, true}) {
        SCOPED_TRACE(overwrite ? "--overwrite" : "a new file");
        for (const std::string& out : {jpg, wav}) {
            std::filesystem::remove(out);
            if (overwrite)
                std::ofstream(out) << "the earlier one";
        }
        const std::string flag = overwrite ? " --overwrite" : "";
        for (const std::string& command : {"still " + file + " --channel 1 --out " + jpg + flag,
                                           "audio " + file + " --channel 1 --out " + wav + flag}) {
            CommandOutcome r;
            {
                // Room for the earlier files, not for a whole picture or a whole sound file.
                const dvr::testsupport::FileSizeLimit full(2048);
                r = runCommand(program("zavtool") + " " + command + " 2>&1");
            }
            EXPECT_EQ(r.status, 1) << command << "\n" << r.out;
            EXPECT_NE(r.out.find("cannot write "), std::string::npos) << r.out;
        }
        for (const std::string& out : {jpg, wav}) {
            if (overwrite)
                EXPECT_TRUE(readAll(out) == "the earlier one") << out << " was replaced";
            else
                EXPECT_FALSE(std::filesystem::exists(out)) << out;
        }
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        const std::vector<std::string> expected = overwrite
                                                      ? std::vector<std::string>{"a.wav", "f.zav", "s.jpg"}
                                                      : std::vector<std::string>{"f.zav"};
        EXPECT_EQ(names, expected);
    }
}

// The picture times of an export's manifest, in frame order.
std::vector<std::string> frameTimes(const std::string& avi) {
    const auto parsed = dvr::evidence::parseManifest(readAll(avi + ".manifest.json"));
    EXPECT_TRUE(parsed.manifest) << parsed.error;
    std::vector<std::string> times;
    if (parsed.manifest)
        for (const auto& f : parsed.manifest->frames)
            times.push_back(f.time);
    return times;
}

// A recorder's disk copy holds pictures up to its last sector: the export takes them all, the player's
// forward play (and --forward-range) stops 640 KiB before the end.
TEST_F(ZavToolExport, TheWholeRecordingUpToTheFilesLastPicture) {
    generate("--channels 4 --layout quad --duration 40 --interval 2");
    const CommandOutcome info = runCommand(program("zavtool") + " info " + file + " 2>&1");
    ASSERT_NE(info.out.find("end:         2026-05-17 12:00:38"), std::string::npos) << info.out;
    const std::string avi = dir.file("all.avi");
    CommandOutcome r = exportWith("--channel 1 --no-stamp --out " + avi);
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("20 pictures of channel 1, 20 frames"), std::string::npos) << r.out;
    EXPECT_NE(
        r.out.find("pictures 2026-05-17 12:00:00 to 2026-05-17 12:00:38, 15 from past the forward range"),
        std::string::npos)
        << r.out;
    EXPECT_EQ(r.out.find("left out"), std::string::npos) << "nothing was left out: " << r.out;
    std::vector<std::string> times = frameTimes(avi);
    ASSERT_EQ(times.size(), 20u);
    for (size_t i = 0; i < times.size(); ++i)
        EXPECT_EQ(times[i], "2026-05-17 12:00:" + std::string(i < 5 ? "0" : "") + std::to_string(i * 2)) << i;

    const std::string forward = dir.file("forward.avi");
    r = exportWith("--channel 1 --no-stamp --forward-range --out " + forward);
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("5 pictures of channel 1"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("2026-05-17 12:00:08, 0 from past the forward range"), std::string::npos) << r.out;
}

// A disk copy's tail can hold an older recording between newer ones: its pictures are left out, so
// picture times never go back.
TEST_F(ZavToolExport, OlderRecordingsInTheTailAreLeftOut) {
    const std::string newer = dir.file("newer.zav");
    const std::string older = dir.file("older.zav");
    const std::string later = dir.file("later.zav");
    generate("--channels 4 --layout quad --duration 40 --interval 2");
    for (const auto& [path, start] :
         {std::pair<std::string, const char*>{older, "2026-05-17 11:00:00"}, {later, "2026-05-17 12:01:00"}})
        ASSERT_EQ(runCommand(program("zavgen") + " " + path + " --channels 4 --layout quad --duration 10 " +
                             "--interval 2 --start \"" + start + "\" >/dev/null 2>&1")
                      .status,
                  0);
    // The records of the older and the later recording appended after the first one's.
    std::string bytes = readAll(file);
    bytes += readAll(older).substr(65536);
    bytes += readAll(later).substr(65536);
    std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;

    const std::string avi = dir.file("mixed.avi");
    const CommandOutcome r = exportWith("--channel 2 --no-stamp --out " + avi);
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("25 pictures of channel 2"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("pictures 2026-05-17 12:00:00 to 2026-05-17 12:01:08"), std::string::npos) << r.out;
    // The older recording's five pictures of the channel are counted, not left out in silence.
    EXPECT_NE(
        r.out.find("\n5 pictures left out: dated before the file's start or the last picture written\n"),
        std::string::npos)
        << r.out;
    const std::vector<std::string> times = frameTimes(avi);
    ASSERT_EQ(times.size(), 25u);
    EXPECT_TRUE(std::is_sorted(times.begin(), times.end()));
    EXPECT_EQ(times[20], "2026-05-17 12:01:00");
}

}  // namespace
