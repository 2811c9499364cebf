#pragma once

#include <string>
#include <string_view>

namespace dvr::skin {

// The viewer's texts (ini/lang.ini in the program folder). Except in ERR_MSG the key of a text is its
// English wording, which is also its default, so a missing file leaves the program in English. The file
// is read afresh for every lookup.
class LanguageFile {
public:
    static constexpr std::size_t kMaxTextChars = 259;

    explicit LanguageFile(std::string programFolder);

    const std::string& path() const { return m_path; }

    // The text of key in section, or `defaultText` when the file, section or key is missing; at most
    // 259 characters either way.
    std::string text(std::string_view section, std::string_view key, std::string_view defaultText) const;
    // A text whose key is its English wording.
    std::string text(std::string_view section, std::string_view englishText) const {
        return text(section, englishText, englishText);
    }
    // Message number n of ERR_MSG (key "MSG_%03d") with its built-in English text as default.
    std::string errorMessage(int number) const;

    // The built-in English text of ERR_MSG message n; empty for numbers without one.
    static std::string_view builtInErrorMessage(int number);
    // "MSG_%03d".
    static std::string errorMessageKey(int number);

private:
    std::string m_path;
};

}  // namespace dvr::skin
