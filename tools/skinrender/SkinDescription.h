#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

// One statement of a skin description file: a command word, positional
// arguments and name=value options, in the order written.
struct DescStatement {
    int line = 0;
    std::string command;
    std::vector<std::string> arguments;
    std::map<std::string, std::string> options;
    // Indented statements that belong to this one (drawing steps of a background).
    std::vector<DescStatement> children;

    std::string option(const std::string& name, const std::string& fallback = {}) const;
    bool hasOption(const std::string& name) const { return options.count(name) != 0; }
};

struct DescParseResult {
    std::vector<DescStatement> statements;
    std::string error;  // "line N: what" on failure
};

// Parses the description text. Syntax, one statement per line:
//   command arg "quoted arg" name=value name="quoted value"   # comment
// Lines indented under a statement are its children.
DescParseResult parseDescription(const std::string& text);

// "%d" in pattern replaced by n (every occurrence).
std::string substituteNumber(const std::string& pattern, int n);
