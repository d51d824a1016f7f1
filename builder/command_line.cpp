// Parsing a command's words against its table of options.
#include "builder/command_line.h"

#include <math.h>
#include <stdlib.h>
#include <strings.h>

namespace {

const OptionSpec* find_option(const CommandSpec& command, const std::string& name) {
    for (const OptionSpec& option : command.options) {
        if (name == option.name || (option.alias && name == option.alias)) return &option;
    }
    return nullptr;
}

std::string option_names(const CommandSpec& command) {
    std::string names;
    for (const OptionSpec& option : command.options) {
        names += std::string(names.empty() ? "" : ", ") + (option.alias ? std::string(option.alias) + "/" : "") +
                 option.name;
    }
    return names.empty() ? "none but --help" : names + ", --help";
}

}  // namespace

ParsedCommand parse_command(const CommandSpec& command, const std::vector<std::string>& words) {
    ParsedCommand parsed;
    bool options_end = false;
    for (size_t i = 0; i < words.size(); ++i) {
        const std::string& word = words[i];
        if (options_end || word.size() < 2 || word[0] != '-') {
            parsed.words.push_back(word);
            continue;
        }
        if (word == "--") {
            options_end = true;
            continue;
        }
        if (word == "--help" || word == "-h") {
            parsed.help = true;
            continue;
        }
        size_t equals = word.find('=');
        std::string name = word.substr(0, equals);
        const OptionSpec* option = find_option(command, name);
        if (!option)
            throw UsageError("sea " + std::string(command.name) + " has no option " + name + "; its options: " +
                             option_names(command));
        if (!option->value) {
            if (equals != std::string::npos) throw UsageError(name + " takes no value");
            parsed.values[option->name] = "";
            continue;
        }
        std::string value;
        if (equals != std::string::npos) {
            value = word.substr(equals + 1);
        } else if (i + 1 < words.size()) {
            value = words[++i];
        } else {
            throw UsageError(name + " needs a value (" + option->value + ")");
        }
        parsed.values[option->name] = value;
    }
    if (parsed.help) return parsed;
    if (parsed.words.size() < command.least_words || parsed.words.size() > command.most_words) {
        std::string wanted = command.arguments[0] ? command.arguments : "no arguments";
        throw UsageError("sea " + std::string(command.name) + " takes " + wanted + ", not " +
                         std::to_string(parsed.words.size()) + " argument" + (parsed.words.size() == 1 ? "" : "s"));
    }
    return parsed;
}

std::string command_usage(const CommandSpec& command) {
    std::string usage = "usage: sea " + std::string(command.name);
    if (!command.options.empty()) usage += " [options]";
    if (command.arguments[0]) usage += " " + std::string(command.arguments);
    return usage + "\n";
}

std::string command_help(const CommandSpec& command) {
    std::string help = command_usage(command) + "\n" + command.summary + "\n";
    if (command.details[0]) help += "\n" + std::string(command.details);
    help += "\noptions:\n";
    std::vector<OptionSpec> options = command.options;
    options.push_back({"--help", "-h", nullptr, "show this help"});
    for (const OptionSpec& option : options) {
        std::string left = (option.alias ? std::string(option.alias) + ", " : "    ") + option.name +
                           (option.value ? std::string(" ") + option.value : "");
        help += "  " + left + std::string(left.size() < 24 ? 24 - left.size() : 1, ' ') + option.help + "\n";
    }
    return help;
}

int64_t parse_size(const std::string& text, const std::string& option, int64_t most) {
    struct Unit {
        const char* name;
        double factor;
    };
    static const Unit units[] = {{"", 1},     {"B", 1},           {"KB", 1e3},        {"MB", 1e6},
                                 {"GB", 1e9}, {"KiB", 1024.0},    {"MiB", 1048576.0}, {"GiB", 1073741824.0}};
    const std::string form = option + " needs a size: a number of bytes, or a number with KB, MB, GB (1000, "
                                      "1000000...) or KiB, MiB, GiB (1024, 1048576...), up to " +
                             std::to_string(most) + " bytes";
    char* end = nullptr;
    double number = strtod(text.c_str(), &end);
    if (text.empty() || end == text.c_str() || !(number >= 0) || text[0] == '+' || text[0] == '-')
        throw UsageError(form);
    while (*end == ' ') ++end;
    for (const Unit& unit : units) {
        if (strcasecmp(end, unit.name) != 0) continue;
        double bytes = number * unit.factor;
        if (bytes != floor(bytes)) throw UsageError(option + " " + text + " is not a whole number of bytes");
        if (bytes < 1 || bytes > static_cast<double>(most)) throw UsageError(form);
        return static_cast<int64_t>(bytes);
    }
    throw UsageError(form);
}
