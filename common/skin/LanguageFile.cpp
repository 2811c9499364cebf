#include "common/skin/LanguageFile.h"

#include <array>
#include <cstdio>

#include "common/skin/IniFile.h"
#include "common/skin/ProgramFolder.h"

namespace dvr::skin {

namespace {

struct BuiltInMessage {
    int number;
    std::string_view text;
};

// The English texts of the ERR_MSG section, used when the language file lacks them.
constexpr std::array<BuiltInMessage, 16> kErrorMessages = {{
    {1, " Can't find Printer's driver!"},
    {3, "Disconnected a socket. "},
    {6, "Please Insert Command Name or Clear Command Data."},
    {8, "Please Select New Pt Command."},
    {9, "Please Insert Command Name"},
    {10, "User Pantilt Cmd is full(100)"},
    {11, "Please Select Pt Cmd List"},
    {12, "Can't Delete Default Pt Cmd"},
    {15, "Please Input correct IP/PORT or Press [IP Load] button."},
    {16, "Please Input correct Member ID or Name."},
    {19, "Another instance of this program exists"},
    {20, "ERROR"},
    {23, "Can't not open file!!"},
    {26, "play error"},
    {29, "Can't read bmp file1!"},
    {30, "Can't read bmp file2!"},
}};

}  // namespace

LanguageFile::LanguageFile(std::string programFolder)
    : m_path(ProgramFolder::join(programFolder, "ini/lang.ini")) {}

std::string LanguageFile::text(std::string_view section, std::string_view key,
                               std::string_view defaultText) const {
    return IniFile(m_path).readString(section, key, defaultText, kMaxTextChars);
}

std::string LanguageFile::errorMessage(int number) const {
    return text("ERR_MSG", errorMessageKey(number), builtInErrorMessage(number));
}

std::string_view LanguageFile::builtInErrorMessage(int number) {
    for (const BuiltInMessage& message : kErrorMessages) {
        if (message.number == number) {
            return message.text;
        }
    }
    return {};
}

std::string LanguageFile::errorMessageKey(int number) {
    char key[16];
    std::snprintf(key, sizeof key, "MSG_%03d", number);
    return key;
}

}  // namespace dvr::skin
