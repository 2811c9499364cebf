#include "viewer/config/SettingsStore.h"

#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>

#include <gtest/gtest.h>

#include "common/skin/IniFile.h"
#include "tests/support/TempFolder.h"

using namespace dvr::config;

using namespace dvr::skin;
using dvr::testsupport::TempFolder;

namespace {

// A program folder and a per-user config folder, both temporary.
struct Fixture {
    TempFolder folder;
    std::string programFolder = folder.path() + "/program";
    std::string settingsFile = folder.path() + "/config/Vistrel/Vistrel.ini";
    Fixture() { std::filesystem::create_directories(programFolder); }
    SettingsStore store() const { return SettingsStore(settingsFile, programFolder); }
};

unsigned modeOf(const std::string& path) {
    struct stat status {};
    ::stat(path.c_str(), &status);
    return status.st_mode & 0777u;
}

}  // namespace

// A first start offers the recorder's factory log-in, a windowed start in manual address mode, the
// save folder made beside the program and the default network speed of each split; loading writes nothing.
TEST(SettingsStoreTest, FirstStartOffersTheFactoryLogInAndMakesTheSaveFolderWithoutWriting) {
    Fixture f;
    SettingsStore store = f.store();
    store.loadSettings();
    const ViewerSettings& s = store.settings();
    EXPECT_EQ(s.userId, "admin");
    EXPECT_EQ(s.password, "");
    EXPECT_EQ(s.displayedRecorderAddress(), "192.168.1.160");
    EXPECT_EQ(s.recorderPort, 50000);
    EXPECT_EQ(s.displayedAddressLabel(), "INTRANET");
    EXPECT_EQ(s.fullScreen, 0);
    EXPECT_EQ(s.manualAddressMode, 1);
    EXPECT_EQ(s.saveFolder, f.programFolder + "/Backup");
    EXPECT_TRUE(std::filesystem::is_directory(s.saveFolder));
    for (const auto& [split, speed] : {std::pair{256, 2}, {1025, 4}, {2307, 6}, {4102, 8}}) {
        EXPECT_EQ(store.options().networkSpeed(std::uint16_t(split)), speed) << split;
    }
    EXPECT_FALSE(std::filesystem::exists(f.settingsFile));
    EXPECT_FALSE(std::filesystem::exists(store.optionsFilePath()));
}

TEST(SettingsStoreTest, SavedSettingsLoadBackExactlyAndStayPrivate) {
    Fixture f;
    SettingsStore first = f.store();
    ViewerSettings& s = first.settings();
    s.userId = "operator";
    s.password = " p\\w=\"d\" ";  // blanks, backslash, quotes and '=' must all survive
    s.recorderAddress = "127.0.0.1";
    // Deeper than the 259 characters of older systems: a folder path cut short is another folder.
    s.saveFolder = f.folder.path() + "/" + std::string(150, 'a') + "/" + std::string(150, 'b') +
                   "/shots \xC3\xA9t\xC3\xA9";
    s.recorderPort = 50123;
    s.rotationIntervalIndex = 9;
    s.fastPlaySpeedCode = 8;
    s.fullScreen = 1;
    s.manualAddressMode = 0;
    s.ptzProtocolIndex = 4;
    s.addressLabel = "\xE5\xBA\x97";  // a name beyond Windows-1252
    s.ptzCommandFilePath = f.programFolder + "/PTZ/pelcoD.tl";
    ASSERT_TRUE(first.saveSettings());
    EXPECT_EQ(modeOf(f.settingsFile), 0600u);
    EXPECT_EQ(modeOf(std::filesystem::path(f.settingsFile).parent_path().string()), 0700u);

    SettingsStore second = f.store();
    second.loadSettings();
    const ViewerSettings& r = second.settings();
    EXPECT_EQ(r.userId, "operator");
    EXPECT_EQ(r.password, " p\\w=\"d\" ");
    EXPECT_EQ(r.recorderAddress, "127.0.0.1");
    EXPECT_EQ(r.saveFolder, s.saveFolder);
    EXPECT_TRUE(std::filesystem::is_directory(r.saveFolder));
    EXPECT_EQ(r.recorderPort, 50123);
    EXPECT_EQ(r.rotationIntervalIndex, 9);
    EXPECT_EQ(r.fastPlaySpeedCode, 8);
    EXPECT_EQ(r.fullScreen, 1);
    EXPECT_EQ(r.manualAddressMode, 0);
    EXPECT_EQ(r.ptzProtocolIndex, 4);
    EXPECT_EQ(r.addressLabel, "\xE5\xBA\x97");
    EXPECT_EQ(r.ptzCommandFilePath, "");  // written at exit, never read at start
    EXPECT_EQ(IniFile(f.settingsFile).readString("Setting", "Ptz File Path", ""),
              "sz:\"" + f.programFolder + "/PTZ/pelcoD.tl\"");
}

TEST(SettingsStoreTest, StoredValuesAreBoundedToTheirFields) {
    Fixture f;
    f.folder.write("config/Vistrel/Vistrel.ini",
                   "[Setting]\n"
                   "User ISeed=sz:\"" +
                       std::string(100, 'u') +
                       "\"\n"
                       "User PSeed=sz:\"" +
                       std::string(40, 'p') +
                       "\"\n"
                       "Ip Label=sz:\"" +
                       std::string(40, 'l') +
                       "\"\n"
                       "Rotate Interval=dword:300\n"  // kept in one byte: 300 & 0xFF
                       "Host Port=sz:\"50001\"\n"     // wrong type: the default
                       "Use FullScreen=dword:\n"      // no number: the default
                       "Request Speed=dword:-1\n");
    SettingsStore store = f.store();
    store.loadSettings();
    EXPECT_EQ(store.settings().userId, std::string(63, 'u'));
    EXPECT_EQ(store.settings().password, std::string(31, 'p'));
    EXPECT_EQ(store.settings().addressLabel, std::string(31, 'l'));
    EXPECT_EQ(store.settings().rotationIntervalIndex, 44);
    EXPECT_EQ(store.settings().recorderPort, 50000);
    EXPECT_EQ(store.settings().fullScreen, 0);
    EXPECT_EQ(store.settings().fastPlaySpeedCode, 255);
}

TEST(SettingsStoreTest, SavingKeepsLinesItDoesNotOwn) {
    Fixture f;
    f.folder.write("config/Vistrel/Vistrel.ini",
                   "; kept\n[Recent File List]\nFile1=/x.zav\n[Setting]\nHost Port=dword:1\n");
    SettingsStore store = f.store();
    store.loadSettings();
    EXPECT_EQ(store.settings().recorderPort, 1);
    ASSERT_TRUE(store.saveSettings());
    const IniFile file(f.settingsFile);
    EXPECT_EQ(file.readString("Recent File List", "File1", ""), "/x.zav");
    EXPECT_EQ(file.readString("Setting", "Host Port", ""), "dword:1");
    EXPECT_EQ(TempFolder::read(f.settingsFile).substr(0, 7), "; kept\n");
}

TEST(SettingsStoreTest, AFileThatCannotBeReadIsKeptAndTheSaveRefusedWithTheReason) {
    Fixture f;
    // Over the size limit stands for any file that cannot be read.
    const std::string big(FileBytes::kMaxFileBytes + 1, ';');
    f.folder.write("config/Vistrel/Vistrel.ini", big);
    SettingsStore store = f.store();
    store.loadSettings();
    const auto saved = store.saveSettings();
    EXPECT_FALSE(saved.ok);
    EXPECT_EQ(saved.path, f.settingsFile);
    EXPECT_EQ(saved.reason, "cannot be read (larger than 16777216 bytes), so it is not rewritten");
    EXPECT_EQ(TempFolder::read(f.settingsFile).size(), big.size());
}

TEST(SettingsStoreTest, ReadsOptIniAndWritesOnlyTheNetworkSpeeds) {
    Fixture f;
    const std::string original =
        "[PIXEL_OFFSET]\r\nPIXEL_X=3\r\nPIXEL_Y=-2\r\n; frame counter\r\n[DRAW]\r\nFRAM=1\r\n"
        "[PTZ_CMD_INTERVAL]\r\nMAX_STOP_COUNT=7\r\n[NETWORK_SPEED]\r\nDIVISION1=10\r\nDIVISION4=0\r\n"
        "DIVISION9=42\r\n[DDNS_INFO]\r\nDDNS=EMPTY\r\n";
    f.folder.write("program/ini/opt.ini", original);
    SettingsStore store = f.store();
    store.loadSettings();
    const ViewerOptions& o = store.options();
    EXPECT_EQ(o.pixelX, 3);
    EXPECT_EQ(o.pixelY, -2);
    EXPECT_EQ(o.showFrameRate, 1);
    EXPECT_EQ(o.maxStopCount, 7);
    EXPECT_EQ(o.division1, 10);
    EXPECT_EQ(o.division4, 1);   // below the pacing range
    EXPECT_EQ(o.division9, 10);  // above the pacing range
    EXPECT_EQ(o.division16, 8);  // missing

    store.options().setNetworkSpeed(1025, 5);
    ASSERT_TRUE(store.writeNetworkSpeed());
    EXPECT_EQ(TempFolder::read(store.optionsFilePath()),
              "[PIXEL_OFFSET]\r\nPIXEL_X=3\r\nPIXEL_Y=-2\r\n; frame counter\r\n[DRAW]\r\nFRAM=1\r\n"
              "[PTZ_CMD_INTERVAL]\r\nMAX_STOP_COUNT=7\r\n[NETWORK_SPEED]\r\nDIVISION1=10\r\nDIVISION4=5\r\n"
              "DIVISION9=10\r\nDIVISION16=8\r\n[DDNS_INFO]\r\nDDNS=EMPTY\r\n");
    EXPECT_FALSE(std::filesystem::exists(f.settingsFile));  // opt.ini writes leave the settings alone
}

TEST(ViewerOptionsTest, NetworkSpeedFollowsTheSplitCode) {
    ViewerOptions o;
    struct Case {
        std::uint16_t split;
        int speed;
    };
    const Case cases[] = {{256, 2}, {1025, 4}, {2307, 6}, {4102, 8}, {0, 8}, {1792, 8}};
    for (const Case& c : cases) {
        EXPECT_EQ(o.networkSpeed(c.split), c.speed) << c.split;
    }
    o.setNetworkSpeed(4102, 11);
    EXPECT_EQ(o.division16, 10);
    o.setNetworkSpeed(256, 0);
    EXPECT_EQ(o.division1, 1);
}

TEST(ViewerSettingsTest, DisplayedAddressAndLabel) {
    ViewerSettings s;
    s.recorderAddress = "0.0.0.0";
    EXPECT_EQ(s.displayedRecorderAddress(), "192.168.1.160");
    s.recorderAddress = "127.0.0.1";
    EXPECT_EQ(s.displayedRecorderAddress(), "127.0.0.1");
    s.addressLabel.clear();
    EXPECT_EQ(s.displayedAddressLabel(), "UNTITLE");
}

TEST(SettingsStoreTest, SettingsFileFollowsXdgConfigHome) {
    const char* savedConfig = std::getenv("XDG_CONFIG_HOME");
    const char* savedHome = std::getenv("HOME");
    const std::string config = savedConfig ? savedConfig : "";
    const std::string home = savedHome ? savedHome : "";

    ::setenv("XDG_CONFIG_HOME", "/tmp/dvr-xdg", 1);
    EXPECT_EQ(SettingsStore::defaultSettingsFilePath(), "/tmp/dvr-xdg/Vistrel/Vistrel.ini");
    ::setenv("XDG_CONFIG_HOME", "relative", 1);  // not absolute: ignored
    ::setenv("HOME", "/tmp/dvr-home", 1);
    EXPECT_EQ(SettingsStore::defaultSettingsFilePath(), "/tmp/dvr-home/.config/Vistrel/Vistrel.ini");

    savedConfig ? ::setenv("XDG_CONFIG_HOME", config.c_str(), 1) : ::unsetenv("XDG_CONFIG_HOME");
    savedHome ? ::setenv("HOME", home.c_str(), 1) : ::unsetenv("HOME");
}

TEST(SettingsStoreTest, AnInstalledProgramKeepsItsOptionsPerUser) {
    Fixture f;
    const std::string shipped = f.programFolder + "/ini/opt.ini";
    f.folder.write("program/ini/opt.ini", "[DRAW]\r\nFRAM=1\r\n[NETWORK_SPEED]\r\nDIVISION1=10\r\n");
    const std::string userFolder = f.folder.path() + "/data/Vistrel";
    const auto installed = [&] {
        return SettingsStore(f.settingsFile, ProgramFiles(f.programFolder, userFolder,
                                                          [](const std::string&) { return false; }));
    };

    SettingsStore store = installed();
    store.loadSettings();
    EXPECT_EQ(store.settings().saveFolder, userFolder + "/Backup");
    EXPECT_TRUE(std::filesystem::is_directory(userFolder + "/Backup"));
    store.options().setNetworkSpeed(1025, 3);
    ASSERT_TRUE(store.writeNetworkSpeed());
    EXPECT_EQ(store.optionsFilePath(), userFolder + "/ini/opt.ini");
    EXPECT_EQ(TempFolder::read(shipped), "[DRAW]\r\nFRAM=1\r\n[NETWORK_SPEED]\r\nDIVISION1=10\r\n");

    SettingsStore next = installed();
    next.loadSettings();
    EXPECT_EQ(next.options().division4, 3);
    EXPECT_EQ(next.options().showFrameRate, 1);  // the shipped keys came along in the copy
}
