// The command line of the `sea` program, in the conventions of familiar
// tools: `sea COMMAND [OPTIONS] ARGUMENTS`, options before or after the
// arguments, `--name value` or `--name=value`, `--` before an argument that
// starts with a dash, `--help` on every command, sizes with units. Each
// command states its options in a table, and a name that is not in it is
// answered with the names that are.
#pragma once

#include <stdint.h>

#include <map>
#include <stdexcept>
#include <string>
#include <vector>

// A command line that `sea` does not understand: exit status 2.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct OptionSpec {
    const char* name;   // "--level"
    const char* alias;  // "-o", or nullptr
    const char* value;  // what the value is called ("FILE"), nullptr for a switch
    const char* help;
};

struct ParsedCommand;

struct CommandSpec {
    const char* name;
    const char* arguments;  // "MANIFEST", "[DIR]"
    const char* summary;    // one line for `sea help`
    const char* details;    // the rest of `sea COMMAND --help`
    std::vector<OptionSpec> options;
    size_t least_words, most_words;
    int (*run)(const ParsedCommand&);
};

struct ParsedCommand {
    std::vector<std::string> words;
    std::map<std::string, std::string> values;  // by the option's name; "" for a switch
    bool help = false;

    bool has(const std::string& name) const { return values.count(name) != 0; }
    std::string value(const std::string& name, const std::string& otherwise = "") const {
        auto found = values.find(name);
        return found == values.end() ? otherwise : found->second;
    }
};

// The words after the command's name. Throws UsageError.
ParsedCommand parse_command(const CommandSpec& command, const std::vector<std::string>& words);

// "sea build MANIFEST [options]" and its options, one a line.
std::string command_usage(const CommandSpec& command);
std::string command_help(const CommandSpec& command);

// A size in bytes: a whole number, or a number with a unit: KB, MB, GB
// (powers of 1000) or KiB, MiB, GiB (powers of 1024), with or without a
// blank, in any case ("1.44MB", "64 KiB"). Throws UsageError naming option.
int64_t parse_size(const std::string& text, const std::string& option, int64_t most);
