// The live view's PTZ control: the command table of the chosen protocol and
// camera, the button state (a held move repeats after every live picture; on
// release a stop phase sends the stop command a fixed number of times), and
// the one point where commands go out: after each live picture, between the
// reply and the next live request. After a send the next live request waits
// a short pause, kept by the host's timer (never a sleep).
#pragma once

#include "viewer/ptz/PtzCommandTable.h"
#include "viewer/ptz/PtzFiles.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace dvr::ptz {

// A user-visible message: language-file key of section "ERR_MSG" and its
// built-in default text; the caption is "Message".
struct PtzMessage {
    std::string_view key;
    std::string_view defaultText;
    std::string text;  // the text itself when it is not from the language file
};
inline constexpr std::string_view kMessageCaption = "Message";
inline constexpr std::string_view kMessageSection = "ERR_MSG";

// What the controller needs from its host (the live window, vistrelctl).
class PtzHost {
public:
    virtual ~PtzHost() = default;
    // Sends PTZ bytes to the camera line with the baud-rate code; `code` is
    // the slot the bytes came from (0 stop .. 12), -1 for an operated command.
    virtual void sendPtz(int code, std::span<const uint8_t> bytes, uint32_t baudRateCode) = 0;
    // Starts the single-shot pause timer; when it fires the host calls
    // PtzController::onPauseElapsed().
    virtual void startPauseTimer(int milliseconds) = 0;
    // The pause is over: the host sends the held live request now.
    virtual void resumeLiveLoop() = 0;
    virtual void showMessage(const PtzMessage&) {}
    // Diagnostic traces ("PTZ EVENT : %d \n").
    virtual void trace(std::string_view) {}
};

inline constexpr int kPendingNone = 0;
inline constexpr int kPendingStopPhase = 512;
inline constexpr int kDefaultMaxStopCount = 5;
inline constexpr int kPtzSendPauseMs = 5;

struct PtzSettings {
    int ptzType = 1;            // "Ptz Type": protocol index 0..10
    uint32_t baudRateCode = 1;  // "Ptz Baudrate": passed through unchanged
    int maxStopCount = kDefaultMaxStopCount;
};

class PtzController {
public:
    PtzController(PtzHost& host, PtzFolders folders, PtzSettings settings);

    // --- buttons ---------------------------------------------------------
    // A PTZ button was pressed: ends a running stop phase; the move of the
    // button's code is held (an unknown identifier holds nothing).
    void pressButton(int buttonId);
    // The same by command code (1..12; anything else holds nothing).
    void pressCode(int code);
    // Any PTZ button was released: the stop phase starts.
    void release();
    // PTZ CH plus and minus: camera +-1 modulo 16 and the table rebuilt;
    // nothing while channel rotation runs. True when the camera changed.
    bool cameraUp(bool rotationOn);
    bool cameraDown(bool rotationOn);
    // Selects a camera (0..15) directly and rebuilds the table.
    void setCamera(int camera);
    // Sends `command` once after the next live picture (the editor's Operate).
    void operateOnce(const PtzCommand& command);

    // --- settings --------------------------------------------------------
    // A new protocol index: the table is rebuilt.
    void setPtzType(int ptzType);
    void setBaudRateCode(uint32_t code) { m_settings.baudRateCode = code; }
    void setMaxStopCount(int count) { m_settings.maxStopCount = count; }
    // Builds the table of the protocol for the current camera. A missing
    // command file is created empty and MSG_023 shown.
    void rebuildTable();

    // --- the live loop ---------------------------------------------------
    // Called after every completed live picture: sends what is pending.
    // True when something was sent and the pause timer started (the host
    // holds the next live request until onPauseElapsed()).
    bool afterLivePicture();
    void onPauseElapsed();
    // The live loop stopped (disconnect): a running pause is forgotten.
    void cancelPause() { m_pausing = false; }

    // --- state -----------------------------------------------------------
    int camera() const { return m_camera; }
    // "%03d" of camera + 1, as the PTZ channel field shows it.
    std::string cameraText() const;
    int pending() const { return m_pending; }
    int stopCounter() const { return m_stopCounter; }
    int lastMove() const { return m_lastMove; }
    bool pausing() const { return m_pausing; }
    const PtzSettings& settings() const { return m_settings; }
    const PtzCommandTable& table() const { return m_table; }
    // Where the last file-based rebuild read or created its file.
    const PtzFileResult& lastFile() const { return m_lastFile; }
    // Whether the current protocol has any command for the current camera.
    bool hasCommands() const;

private:
    void send(int code, const PtzCommand& command);
    void sendStop();
    bool changeCamera(int delta, bool rotationOn);

    PtzHost& m_host;
    PtzFolders m_folders;
    PtzSettings m_settings;
    PtzCommandTable m_table;
    PtzFileResult m_lastFile;
    int m_camera = 0;
    int m_pending = kPendingNone;
    int m_stopCounter = 0;
    int m_lastMove = 0;
    std::optional<PtzCommand> m_once;
    bool m_sent = false;  // something went out in this afterLivePicture()
    bool m_pausing = false;
};

}  // namespace dvr::ptz
