#include "viewer/ptz/PtzCommandTable.h"

#include <algorithm>
#include <initializer_list>

namespace dvr::ptz {

namespace {

constexpr std::array<std::string_view, kPtzMoveCodes> kCodeNames = {
    "stop",       "left",      "right",   "up",       "down",      "left-up", "right-up",
    "right-down", "left-down", "zoom-in", "zoom-out", "focus-out", "focus-in"};

bool validCamera(int camera) {
    return camera >= 0 && camera < kPtzCameras;
}
bool validSlot(int slot) {
    return slot >= 0 && slot < kPtzSlots;
}

PtzCommand makeCommand(std::initializer_list<uint8_t> bytes) {
    PtzCommand c;
    for (uint8_t b : bytes)
        c.bytes[static_cast<size_t>(c.length++)] = b;
    return c;
}

uint8_t xorOf(const PtzCommand& c, int count) {
    uint8_t x = 0;
    for (int i = 0; i < count; ++i)
        x ^= c.bytes[static_cast<size_t>(i)];
    return x;
}

int hexDigit(char ch) {
    if (ch >= '0' && ch <= '9')
        return ch - '0';
    if (ch >= 'a' && ch <= 'f')
        return ch - 'a' + 10;
    if (ch >= 'A' && ch <= 'F')
        return ch - 'A' + 10;
    return -1;
}

bool isBlank(char ch) {
    return ch == ' ' || ch == '\t' || ch == '\r' || ch == '\n' || ch == '\v' || ch == '\f';
}

// A hexadecimal byte field: optional blanks and "0x", then digits; the value
// is taken modulo 256. Nothing when the field holds no digit.
std::optional<uint8_t> parseHexByte(std::string_view field) {
    size_t i = 0;
    while (i < field.size() && isBlank(field[i]))
        ++i;
    if (i + 2 < field.size() && field[i] == '0' && (field[i + 1] == 'x' || field[i + 1] == 'X') &&
        hexDigit(field[i + 2]) >= 0)
        i += 2;
    unsigned value = 0;
    bool any = false;
    for (; i < field.size(); ++i) {
        const int d = hexDigit(field[i]);
        if (d < 0)
            break;
        value = (value * 16 + static_cast<unsigned>(d)) & 0xFF;
        any = true;
    }
    if (!any)
        return std::nullopt;
    return static_cast<uint8_t>(value);
}

// A decimal number as the count and header fields are read: optional blanks
// and sign, then leading digits; large values saturate. Nothing without digits.
std::optional<long> parseDecimal(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && isBlank(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    long value = 0;
    bool any = false;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = std::min<long>(value * 10 + (text[i] - '0'), 1000000);
        any = true;
    }
    if (!any)
        return std::nullopt;
    return negative ? -value : value;
}

}  // namespace

std::string_view ptzCodeName(int code) {
    if (code < 0 || code >= kPtzMoveCodes)
        return {};
    return kCodeNames[static_cast<size_t>(code)];
}

std::optional<int> ptzCodeFromName(std::string_view name) {
    for (size_t i = 0; i < kCodeNames.size(); ++i)
        if (kCodeNames[i] == name)
            return static_cast<int>(i);
    return std::nullopt;
}

std::optional<int> ptzCodeForButton(int buttonId) {
    // The values the live view's skinned PTZ buttons report.
    switch (buttonId) {
        case 1326:
            return kLeft;
        case 1330:
            return kRight;
        case 1324:
            return kUp;
        case 1328:
            return kDown;
        case 1325:
            return kLeftUp;
        case 1331:
            return kRightUp;
        case 1329:
            return kRightDown;
        case 1327:
            return kLeftDown;
        case 1332:
            return kZoomIn;
        case 1033:
            return kZoomOut;
        case 1035:
            return kFocusOut;
        case 1334:
            return kFocusIn;
        default:
            return std::nullopt;
    }
}

const PtzCommand& PtzCommandTable::at(int camera, int slot) const {
    static const PtzCommand kEmpty;
    if (!validCamera(camera) || !validSlot(slot))
        return kEmpty;
    return m_slots[static_cast<size_t>(camera)][static_cast<size_t>(slot)];
}

PtzCommand* PtzCommandTable::slot(int camera, int slot) {
    if (!validCamera(camera) || !validSlot(slot))
        return nullptr;
    return &m_slots[static_cast<size_t>(camera)][static_cast<size_t>(slot)];
}

void PtzCommandTable::set(int camera, int slot, const PtzCommand& command) {
    if (PtzCommand* s = this->slot(camera, slot))
        *s = command;
}

void PtzCommandTable::clear() {
    for (auto& camera : m_slots)
        camera.fill(PtzCommand{});
}

void PtzCommandTable::clearCamera(int camera) {
    if (validCamera(camera))
        m_slots[static_cast<size_t>(camera)].fill(PtzCommand{});
}

PtzSource ptzSourceForType(int ptzType) {
    switch (ptzType) {
        case 0:
        case 7:
            return {PtzSourceKind::File, "pelcoD.tl"};
        case 1:
            return {PtzSourceKind::BuiltinA, {}};
        case 2:
            return {PtzSourceKind::File, "scc641.tl"};
        case 3:
            return {PtzSourceKind::File, "hmc250.tl"};
        case 4:
            return {PtzSourceKind::File, "hid2404.tl"};
        case 5:
            return {PtzSourceKind::File, "dsc_230s.tl"};
        case 6:
            return {PtzSourceKind::File, "drx_502a.tl"};
        case 8:
            return {PtzSourceKind::File, "ljd_dominator.tl"};
        case 9:
            return {PtzSourceKind::BuiltinB, {}};
        case 10:
            return {PtzSourceKind::BuiltinC, {}};
        default:
            return {};
    }
}

void fillProtocolA(PtzCommandTable& table, int camera) {
    if (!validCamera(camera))
        return;
    // data1..data4 per code: data1 focus, data2 direction and zoom bits,
    // data3 pan speed, data4 tilt speed.
    static constexpr std::array<std::array<uint8_t, 4>, kPtzMoveCodes> kData = {{
        {0, 0, 0, 0},           // stop
        {0, 0x04, 0x40, 0},     // left
        {0, 0x02, 0x40, 0},     // right
        {0, 0x08, 0, 0x3F},     // up
        {0, 0x10, 0, 0x3F},     // down
        {0, 0x0C, 0x40, 0x3F},  // left-up
        {0, 0x0A, 0x40, 0x3F},  // right-up
        {0, 0x12, 0x40, 0x3F},  // right-down
        {0, 0x14, 0x40, 0x3F},  // left-down
        {0, 0x20, 0, 0},        // zoom in
        {0, 0x40, 0, 0},        // zoom out
        {0x01, 0, 0, 0},        // focus out
        {0x02, 0, 0, 0},        // focus in
    }};
    for (int slot = 0; slot < kPtzSlots; ++slot) {
        const auto& d = kData[static_cast<size_t>(slot < kPtzMoveCodes ? slot : 0)];
        PtzCommand c = makeCommand({0xA0, static_cast<uint8_t>(camera), d[0], d[1], d[2], d[3], 0xAF, 0});
        c.bytes[7] = xorOf(c, 7);  // checksum
        table.set(camera, slot, c);
    }
}

namespace {

PtzCommand protocolBFrame(int camera, uint8_t c1, uint8_t c2, uint8_t c3) {
    PtzCommand c = makeCommand({static_cast<uint8_t>(camera + 1), 0xF0, c1, c2, c3, 0});
    c.bytes[5] = xorOf(c, 5);  // checksum
    return c;
}

}  // namespace

void fillProtocolB(PtzCommandTable& table, int camera) {
    if (!validCamera(camera))
        return;
    // c1 (function), c2 (direction), c3 (speed) per code; the diagonals hold
    // the pan command of their horizontal direction.
    static constexpr std::array<std::array<uint8_t, 3>, kPtzMoveCodes> kData = {{
        {0, 0, 0},   // stop
        {24, 1, 7},  // left
        {24, 0, 7},  // right
        {24, 2, 7},  // up
        {24, 3, 7},  // down
        {24, 1, 7},  // left-up
        {24, 0, 7},  // right-up
        {24, 0, 7},  // right-down
        {24, 1, 7},  // left-down
        {36, 1, 0},  // zoom in
        {36, 0, 0},  // zoom out
        {37, 1, 0},  // focus out
        {37, 0, 0},  // focus in
    }};
    for (int slot = 0; slot < kPtzSlots; ++slot) {
        const auto& d = kData[static_cast<size_t>(slot < kPtzMoveCodes ? slot : 0)];
        table.set(camera, slot, protocolBFrame(camera, d[0], d[1], d[2]));
    }
}

PtzCommand protocolBStop(int camera, int lastMove) {
    switch (lastMove) {
        case kLeft:
        case kRight:
            return protocolBFrame(camera, 19, 0, 0);  // pan stop
        case kZoomIn:
        case kZoomOut:
            return protocolBFrame(camera, 36, 4, 0);  // zoom stop
        case kFocusOut:
        case kFocusIn:
            return protocolBFrame(camera, 37, 4, 0);  // focus stop
        default:
            return protocolBFrame(camera, 20, 0, 0);  // tilt stop
    }
}

void fillProtocolC(PtzCommandTable& table, int camera) {
    if (!validCamera(camera))
        return;
    // lens, pan, tilt per code.
    static constexpr std::array<std::array<uint8_t, 3>, kPtzMoveCodes> kData = {{
        {0, 0, 0},        // stop
        {0, 0xBF, 0},     // left
        {0, 0x3F, 0},     // right
        {0, 0, 0x3F},     // up
        {0, 0, 0xBF},     // down
        {0, 0xBF, 0x3F},  // left-up
        {0, 0x3F, 0x3F},  // right-up
        {0, 0x3F, 0xBF},  // right-down
        {0, 0xBF, 0xBF},  // left-down
        {0x17, 0, 0},     // zoom in
        {0x1F, 0, 0},     // zoom out
        {0x04, 0, 0},     // focus out
        {0x08, 0, 0},     // focus in
    }};
    for (int slot = 0; slot < kPtzSlots; ++slot) {
        const auto& d = kData[static_cast<size_t>(slot < kPtzMoveCodes ? slot : 0)];
        PtzCommand c = makeCommand({0xE5, 0x10, static_cast<uint8_t>(camera + 1), d[0], d[1], d[2], 0});
        unsigned sum = 0;
        for (int i = 0; i < 6; ++i)
            sum += c.bytes[static_cast<size_t>(i)];
        c.bytes[6] = static_cast<uint8_t>((sum & 0xFF) ^ 0xA5);  // checksum
        table.set(camera, slot, c);
    }
}

PtzCommand parseCommandLine(std::string_view line) {
    PtzCommand c;
    size_t field = 0;
    long count = 0;
    int given = 0;
    bool bytesEnded = false;
    size_t pos = 0;
    while (pos <= line.size()) {
        size_t slash = line.find('/', pos);
        if (slash == std::string_view::npos)
            slash = line.size();
        const std::string_view text = line.substr(pos, slash - pos);
        if (field == 0) {
            c.name = std::string(text.substr(0, kPtzMaxNameChars));
        } else if (field == 1) {
            count = parseDecimal(text).value_or(0);
        } else if (!bytesEnded && given < kPtzMaxBytes) {
            // A field without a hexadecimal digit ends the bytes: what
            // follows it is not a command this line states clearly.
            if (const auto b = parseHexByte(text))
                c.bytes[static_cast<size_t>(given++)] = *b;
            else
                bytesEnded = true;
        }
        ++field;
        pos = slash + 1;
    }
    c.length = static_cast<int>(std::clamp<long>(count, 0, std::min(kPtzMaxBytes, given)));
    return c;
}

std::optional<int> blockHeaderNumber(std::string_view line) {
    size_t begin = 0;
    while (begin < line.size() && (line[begin] == '<' || line[begin] == '>'))
        ++begin;
    size_t end = line.find_first_of("<>", begin);
    if (end == std::string_view::npos)
        end = line.size();
    const auto n = parseDecimal(line.substr(begin, end - begin));
    if (!n || *n <= 0)
        return std::nullopt;
    return static_cast<int>(*n);
}

int readBlockFile(std::string_view text, PtzCommandTable& table) {
    int camera = -1;
    int slot = 0;
    int named = 0;
    forEachLine(text, kPtzLineChars, [&](std::string_view line) {
        if (const auto n = blockHeaderNumber(line)) {
            if (*n > kPtzCameras)
                return false;
            camera = *n - 1;
            slot = 0;
            ++named;
            return true;
        }
        if (camera < 0 || slot >= kPtzSlots)
            return true;
        table.set(camera, slot++, parseCommandLine(line));
        return true;
    });
    return named;
}

}  // namespace dvr::ptz
