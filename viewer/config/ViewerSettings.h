#pragma once

#include <cstdint>
#include <string>

namespace dvr::config {

// The viewer's persistent settings in memory, with their stored value names and defaults. Strings are
// bounded to their field sizes when loaded; one-byte fields keep the low 8 bits of the stored integer.
struct ViewerSettings {
    static constexpr const char* kDefaultRecorderAddress = "192.168.1.160";
    static constexpr std::size_t kUserIdMaxChars = 63;            // "User ISeed"
    static constexpr std::size_t kPasswordMaxChars = 31;          // "User PSeed"
    static constexpr std::size_t kRecorderAddressMaxChars = 255;  // "Host IPAddress": a host name fits
    // "Record Path": a folder path as long as the system takes one (a path cut short names another folder).
    static constexpr std::size_t kSaveFolderMaxChars = 4095;
    static constexpr std::size_t kAddressLabelMaxChars = 31;  // "Ip Label"

    std::string userId = "admin";                           // "User ISeed": log-in user ID
    std::string password;                                   // "User PSeed": log-in password
    std::string recorderAddress = kDefaultRecorderAddress;  // "Host IPAddress"
    std::string saveFolder;                                 // "Record Path": snapshots and AVI files
    int recorderPort = 50000;                               // "Host Port"
    std::uint8_t rotationIntervalIndex = 3;                 // "Rotate Interval": 0..9 = 1..10 s
    std::uint8_t reconnectCount = 3;                        // "Reconnect Count": kept only
    std::uint8_t fastPlaySpeedCode = 4;                     // "Request Speed": fast forward/reverse speed
    int fullScreen = 0;                                     // "Use FullScreen"
    int alertMode = 0;                                      // "Use AlertMode": kept only
    int manualAddressMode = 1;                              // "Use ManualMode": 1 typed, 0 from DDNS
    std::uint8_t ptzProtocolIndex = 1;                      // "Ptz Type"
    std::uint8_t ptzBaudRateIndex = 1;                      // "Ptz Baudrate"
    std::uint8_t recordInterval = 1;                        // "Record Interval": kept only
    std::uint8_t dateShow = 1;                              // "Date Show": kept only
    std::string addressLabel = "INTRANET";                  // "Ip Label": name of the current entry
    std::string ptzCommandFilePath;                         // "Ptz File Path": written at exit, never read

    // The recorder address as the setup sheet shows it: "0.0.0.0" reads as the default address.
    std::string displayedRecorderAddress() const;
    // The entry name as shown: an empty label reads "UNTITLE".
    std::string displayedAddressLabel() const;
};

// The values of ini/opt.ini.
struct ViewerOptions {
    static constexpr int kMinNetworkSpeed = 1;
    static constexpr int kMaxNetworkSpeed = 10;

    // NETWORK_SPEED: live request pacing per layout.
    int division1 = 2;
    int division4 = 4;
    int division9 = 6;
    int division16 = 8;
    int showFrameRate = 0;  // DRAW / FRAM: non-zero shows pictures per second
    int maxStopCount = 5;   // PTZ_CMD_INTERVAL / MAX_STOP_COUNT: repeats of a PTZ stop command
    int pixelX = 0;         // PIXEL_OFFSET / PIXEL_X: read, no effect
    int pixelY = 0;         // PIXEL_OFFSET / PIXEL_Y: read, no effect

    // The pacing value of a split code: 256 -> DIVISION1, 1025 -> DIVISION4, 2307 -> DIVISION9, any
    // other -> DIVISION16.
    int networkSpeed(std::uint16_t splitCode) const;
    void setNetworkSpeed(std::uint16_t splitCode, int value);
};

}  // namespace dvr::config
