#include "tools/skinrender/SkinDescription.h"

#include <cctype>
#include <sstream>

std::string DescStatement::option(const std::string& name, const std::string& fallback) const {
    const auto it = options.find(name);
    return it == options.end() ? fallback : it->second;
}

namespace {

// Splits a line into tokens; quoted parts keep their blanks. Returns false on
// an unterminated quote.
bool tokenize(const std::string& line, std::vector<std::string>& tokens) {
    std::string current;
    bool inQuote = false;
    bool hasToken = false;
    for (char c : line) {
        if (inQuote) {
            if (c == '"')
                inQuote = false;
            else
                current += c;
            continue;
        }
        if (c == '"') {
            inQuote = true;
            hasToken = true;
        } else if (c == '#' && !hasToken) {
            // A comment starts at a word boundary; "color=#fff" is a value.
            break;
        } else if (std::isspace(static_cast<unsigned char>(c))) {
            if (hasToken)
                tokens.push_back(current);
            current.clear();
            hasToken = false;
        } else {
            current += c;
            hasToken = true;
        }
    }
    if (inQuote)
        return false;
    if (hasToken)
        tokens.push_back(current);
    return true;
}

// Option names are lower-case words: "label=...", "at=...".
bool isOptionName(const std::string& name) {
    for (char c : name) {
        if (!(std::islower(static_cast<unsigned char>(c)) || std::isdigit(static_cast<unsigned char>(c)) ||
              c == '_'))
            return false;
    }
    return true;
}

}  // namespace

DescParseResult parseDescription(const std::string& text) {
    DescParseResult result;
    std::istringstream in(text);
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        std::vector<std::string> tokens;
        if (!tokenize(line, tokens)) {
            result.error = "line " + std::to_string(number) + ": unterminated quote";
            return result;
        }
        if (tokens.empty())
            continue;
        DescStatement statement;
        statement.line = number;
        statement.command = tokens[0];
        for (std::size_t i = 1; i < tokens.size(); ++i) {
            const std::string& token = tokens[i];
            const auto eq = token.find('=');
            if (eq != std::string::npos && eq > 0 && isOptionName(token.substr(0, eq)))
                statement.options[token.substr(0, eq)] = token.substr(eq + 1);
            else
                statement.arguments.push_back(token);
        }
        const bool indented = std::isspace(static_cast<unsigned char>(line[0])) != 0;
        if (indented) {
            if (result.statements.empty()) {
                result.error = "line " + std::to_string(number) + ": indented line without a statement above";
                return result;
            }
            result.statements.back().children.push_back(std::move(statement));
        } else {
            result.statements.push_back(std::move(statement));
        }
    }
    return result;
}

std::string substituteNumber(const std::string& pattern, int n) {
    std::string out;
    const std::string number = std::to_string(n);
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '%' && i + 1 < pattern.size() && pattern[i + 1] == 'd') {
            out += number;
            ++i;
        } else {
            out += pattern[i];
        }
    }
    return out;
}
