// Plays sound blocks through SDL's disk driver and checks what reached the "device".
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>
#include <vector>

#include "player/audio/MuLaw.h"
#include "player/audio/PlayerSound.h"
#include "player/audio/SdlAudioDevice.h"

namespace dvr::player {
namespace {

namespace fs = std::filesystem;
using media::PlayMode;

// Waits until the device has taken everything written for playing, so that closing it
// loses nothing; false when it stops taking samples.
bool waitUntilPlayed(const PlayerSound& sound) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (sound.pendingSamples() > 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// Mu-law bytes of a tone of the given frequency; no sample is silent, so the tone can be
// told from the silence the device writes while it has nothing to play.
std::vector<uint8_t> tone(double hz, size_t count, double phase) {
    std::vector<uint8_t> out(count);
    for (size_t i = 0; i < count; ++i) {
        const double v = std::sin(phase + 2.0 * M_PI * hz * static_cast<double>(i) / kSoundSampleRate);
        const double level = (v >= 0 ? 1000.0 : -1000.0) + 12000.0 * v;
        out[i] = pcmToMuLaw(static_cast<int16_t>(level));
    }
    return out;
}

class SdlDiskAudio : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() / ("discoro-audio-" + std::to_string(::getpid()));
        fs::create_directories(m_dir);
        m_file = m_dir / "sound.raw";
        ::setenv("SDL_AUDIODRIVER", "disk", 1);
        ::setenv("SDL_DISKAUDIOFILE", m_file.c_str(), 1);
    }
    void TearDown() override { fs::remove_all(m_dir); }

    std::vector<int16_t> writtenSamples() const {
        std::ifstream in(m_file, std::ios::binary);
        std::vector<char> raw((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::vector<int16_t> samples(raw.size() / 2);
        for (size_t i = 0; i < samples.size(); ++i) {
            samples[i] = static_cast<int16_t>(static_cast<uint8_t>(raw[2 * i]) |
                                              (static_cast<uint8_t>(raw[2 * i + 1]) << 8));
        }
        return samples;
    }

    fs::path m_dir;
    fs::path m_file;
};

// Feeds blocks of four tones (one per sound channel) the way the playback thread does.
void play(PlayerSound& sound, const std::array<std::vector<uint8_t>, 4>& tones, size_t from, size_t to,
          PlayMode mode) {
    constexpr size_t kPerBlock = 250;
    const std::atomic<PlayMode> playMode{mode};
    for (size_t at = from; at < to; at += kPerBlock) {
        std::array<std::span<const uint8_t>, 4> block;
        for (size_t k = 0; k < 4; ++k) {
            block[k] = std::span<const uint8_t>(tones[k]).subspan(at, std::min(kPerBlock, to - at));
        }
        sound.handOver(block, playMode);
    }
}

TEST_F(SdlDiskAudio, WritesTheSelectedChannelsToneAndNothingOutsideForwardPlay) {
    const size_t kCount = 4000;  // half a second per channel
    std::array<std::vector<uint8_t>, 4> tones;
    for (size_t k = 0; k < 4; ++k) {
        tones[k] = tone(300.0 + 200.0 * static_cast<double>(k), kCount, 0.3 * static_cast<double>(k + 1));
    }
    PlayerSound sound;
    std::string error;
    ASSERT_TRUE(sound.createOutputs(openSdlAudioDevice, &error)) << error;
    sound.setSoundOn(true);
    sound.selectChannel(3);

    play(sound, tones, 0, 1000, PlayMode::Pause);
    play(sound, tones, 1000, 2000, PlayMode::FastForward);
    play(sound, tones, 2000, kCount, PlayMode::Forward);
    const uint64_t written = sound.output(2)->writtenBytes();
    ASSERT_GT(written, 1024u);
    for (int k : {0, 1, 3}) {
        EXPECT_EQ(sound.output(k)->writtenBytes(), 0u);
    }
    // Let the device take everything, then close it so the file is complete.
    ASSERT_TRUE(waitUntilPlayed(sound));
    sound.destroyOutputs();

    const std::vector<int16_t> samples = writtenSamples();
    std::vector<int16_t> expected(written);
    decodeMuLaw(std::span<const uint8_t>(tones[2]).subspan(2000, written), expected);
    size_t first = 0;
    while (first < samples.size() && samples[first] == 0) {
        ++first;
    }
    ASSERT_LE(first + expected.size(), samples.size());
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), samples.begin() + static_cast<long>(first)));
    for (size_t i = first + expected.size(); i < samples.size(); ++i) {
        ASSERT_EQ(samples[i], 0) << "sample " << i;
    }
}

TEST_F(SdlDiskAudio, PausedPlayQueuesNothing) {
    std::array<std::vector<uint8_t>, 4> tones;
    for (auto& t : tones) {
        t = tone(440.0, 3000, 0.5);
    }
    PlayerSound sound;
    std::string error;
    ASSERT_TRUE(sound.createOutputs(openSdlAudioDevice, &error)) << error;
    sound.setSoundOn(true);
    play(sound, tones, 0, 3000, PlayMode::Pause);
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(sound.output(k)->writtenBytes(), 0u);
    }
    EXPECT_EQ(sound.pendingSamples(), 0);
    sound.destroyOutputs();
    for (int16_t s : writtenSamples()) {
        ASSERT_EQ(s, 0);
    }
}

}  // namespace
}  // namespace dvr::player
