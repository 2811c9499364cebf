// The per-camera PTZ command table: 16 cameras x 30 slots of named byte
// commands, the three built-in camera protocols, and the reader of block
// command files ("<N>" camera headers, one "name/count/hex/hex/.../" line per
// slot). Pure: no I/O beyond what the caller hands in.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace dvr::ptz {

inline constexpr int kPtzCameras = 16;
inline constexpr int kPtzSlots = 30;
inline constexpr int kPtzMaxBytes = 32;
inline constexpr size_t kPtzMaxNameChars = 63;
// Longest line of a block command file; the rest of a longer line is dropped.
inline constexpr size_t kPtzLineChars = 256;

// Command codes; the code is the slot index.
enum PtzCode : int {
    kStop = 0,
    kLeft = 1,
    kRight = 2,
    kUp = 3,
    kDown = 4,
    kLeftUp = 5,
    kRightUp = 6,
    kRightDown = 7,
    kLeftDown = 8,
    kZoomIn = 9,
    kZoomOut = 10,
    kFocusOut = 11,
    kFocusIn = 12,
};
inline constexpr int kPtzMoveCodes = 13;  // stop and the twelve moves

// "stop", "left", ..., "focus-in" for codes 0 to 12 (the command-line names).
std::string_view ptzCodeName(int code);
// The code of a command-line name; nothing for an unknown name.
std::optional<int> ptzCodeFromName(std::string_view name);
// The code a live-view PTZ button identifier stands for; nothing for others.
std::optional<int> ptzCodeForButton(int buttonId);

struct PtzCommand {
    std::string name;  // at most 63 characters; not sent
    int length = 0;    // bytes sent; 0 = empty slot
    std::array<uint8_t, kPtzMaxBytes> bytes{};

    bool empty() const { return length <= 0; }
    std::span<const uint8_t> view() const {
        return {bytes.data(), static_cast<size_t>(length > 0 ? length : 0)};
    }
    bool operator==(const PtzCommand&) const = default;
};

class PtzCommandTable {
public:
    // Out-of-range camera or slot: an empty command (reads), ignored (writes).
    const PtzCommand& at(int camera, int slot) const;
    PtzCommand* slot(int camera, int slot);
    void set(int camera, int slot, const PtzCommand& command);
    void clear();
    void clearCamera(int camera);

private:
    // Default-initialised: every command starts empty by its own initialisers.
    std::array<std::array<PtzCommand, kPtzSlots>, kPtzCameras> m_slots;
};

// The protocols behind the "Ptz Type" setting.
enum class PtzSourceKind { None, File, BuiltinA, BuiltinB, BuiltinC };
struct PtzSource {
    PtzSourceKind kind = PtzSourceKind::None;
    std::string_view fileName;  // for File: the name inside the PTZ folder
};
PtzSource ptzSourceForType(int ptzType);
// The protocol whose stop depends on the axis of the last move and whose
// diagonals go out as two commands.
inline constexpr int kSplitDiagonalType = 9;

// Built-in protocols: fill slots 0 to 29 of one camera (slots past the moves
// hold the stop command). Other cameras are left as they are.
void fillProtocolA(PtzCommandTable& table, int camera);  // 8 bytes, XOR check
void fillProtocolB(PtzCommandTable& table, int camera);  // 6 bytes, XOR check
void fillProtocolC(PtzCommandTable& table, int camera);  // 7 bytes, sum XOR 0xA5

// The stop of built-in protocol B for the axis of `lastMove`: pan after
// left/right, zoom after zoom, focus after focus, tilt after anything else.
PtzCommand protocolBStop(int camera, int lastMove);

// Reads one command line "name/count/b1/b2/.../" (trailing "/" optional).
// Bytes are hexadecimal, taken modulo 256; at most 32 are kept. The length is
// the count, limited to 32 and to the bytes actually given: a command never
// sends bytes the line does not hold. Missing or unreadable count: empty.
PtzCommand parseCommandLine(std::string_view line);

// The camera number of a block header line ("<3>", "3"): the text up to the
// first '<' or '>' read as a positive decimal number, else the text between
// them. Nothing when the line is not a header.
std::optional<int> blockHeaderNumber(std::string_view line);

// Reads a block command file into the table: each header N (1..16) starts
// camera N-1, following lines fill its slots 0..29 in order; lines before the
// first header are ignored; a header above 16 ends reading. Returns the
// number of cameras named.
int readBlockFile(std::string_view text, PtzCommandTable& table);

// Splits text into lines ended by LF or CR LF, each cut at `limit` characters.
template <typename Fn>
void forEachLine(std::string_view text, size_t limit, Fn&& fn) {
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        const size_t next = end == std::string_view::npos ? text.size() : end + 1;
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = text.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.size() > limit)
            line = line.substr(0, limit);
        if (!fn(line))
            return;
        pos = next;
    }
}

}  // namespace dvr::ptz
