#include "platform/posix/CommandLine.h"

#include <cctype>
#include <cstdio>

#include "platform/posix/ShownText.h"

namespace {

bool LooksLikeAnOption(std::string_view argument) {
    return argument.size() >= 2 && argument[0] == '-' &&
           !std::isdigit(static_cast<unsigned char>(argument[1]));
}

bool IsWindowsSwitch(std::string_view argument) {
    return argument.size() >= 2 && std::string_view("sScCpPaA").find(argument[1]) != std::string_view::npos &&
           (argument.size() == 2 || argument[2] == ':');
}

const GlimraOwnOption* FindOwn(std::span<const GlimraOwnOption> own, std::string_view argument) {
    const bool twoDashes = argument.starts_with("--");
    const std::string_view name = argument.substr(twoDashes ? 2 : 1);
    for (const GlimraOwnOption& option : own)
        if (option.Name == name && (twoDashes || option.OneDashToo))
            return &option;
    return nullptr;
}

std::string Quoted(std::string_view text) {
    return "'" + ShownText(text) + "'";
}

} // namespace

std::vector<const char*> GlimraCommandLine::Argv() const {
    std::vector<const char*> argv;
    for (const std::string& argument : Arguments)
        argv.push_back(argument.c_str());
    argv.push_back(nullptr);
    return argv;
}

GlimraCommandLine ReadCommandLine(int argc, const char* const* argv, std::span<const GlimraOwnOption> own,
                                  bool windowsSwitches) {
    GlimraCommandLine line;
    line.Arguments.emplace_back(argc > 0 ? argv[0] : "");
    bool help = false, version = false;
    // The first mistake is the one reported, but the whole line is read: --help may still follow.
    auto mistake = [&line](std::string text) {
        if (line.Mistake.empty())
            line.Mistake = std::move(text);
    };
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "-h" || argument == "--help" || argument == "-help") {
            help = true;
            continue;
        }
        if (argument == "--version") {
            version = true;
            continue;
        }
        if (!LooksLikeAnOption(argument) || (windowsSwitches && IsWindowsSwitch(argument))) {
            line.Arguments.emplace_back(argument);
            continue;
        }
        std::string_view name = argument;
        std::optional<std::string_view> inlineValue;
        if (const size_t equals = argument.find('=');
            argument.starts_with("--") && equals != std::string_view::npos) {
            name = argument.substr(0, equals);
            inlineValue = argument.substr(equals + 1);
        }
        const GlimraOwnOption* ownOption = FindOwn(own, name);
        std::optional<bool> takesValue;
        if (ownOption != nullptr)
            takesValue = ownOption->TakesValue;
        else if (name.starts_with("--"))
            takesValue = GlimraSettingOverrides::OptionTakesValue(name.substr(2));
        if (!takesValue) {
            mistake("unknown option " + Quoted(name));
            continue;
        }
        std::optional<std::string_view> value = inlineValue;
        if (*takesValue && !value) {
            if (i + 1 < argc && !LooksLikeAnOption(argv[i + 1]))
                value = argv[++i];
            else {
                mistake("option " + Quoted(name) + " needs a value");
                continue;
            }
        }
        if (!*takesValue && value) {
            mistake("option " + Quoted(name) + " takes no value");
            continue;
        }
        if (ownOption != nullptr) {
            line.Arguments.emplace_back(name);
            if (value)
                line.Arguments.emplace_back(*value);
            continue;
        }
        std::string optionText(name), valueText(value.value_or(""));
        char* pair[] = {nullptr, optionText.data(), valueText.data()};
        try {
            line.Overrides.Take(value ? 3 : 2, pair, 1);
        } catch (const GlimraSettingsError& error) {
            // The message carries the value as given: shown as any other.
            mistake(ShownText(error.what(), 200));
        }
    }
    if (help)
        line.What = GlimraCommandLine::Ask::Help;
    else if (version)
        line.What = GlimraCommandLine::Ask::Version;
    else if (!line.Mistake.empty())
        line.What = GlimraCommandLine::Ask::Mistake;
    return line;
}

std::optional<int> AnswerWithoutRunning(const GlimraCommandLine& line, const char* program,
                                        const char* usage) {
    switch (line.What) {
    case GlimraCommandLine::Ask::Help:
        std::fputs(usage, stdout);
        std::fputs(SettingOptionsUsage().c_str(), stdout);
        return 0;
    case GlimraCommandLine::Ask::Version:
        std::printf("%s %s\n", program, GLIMRA_VERSION);
        return 0;
    case GlimraCommandLine::Ask::Mistake:
        return TellMistake(program, line.Mistake, usage);
    case GlimraCommandLine::Ask::Run:
        break;
    }
    return std::nullopt;
}

int TellMistake(const char* program, const std::string& mistake, const char* usage) {
    std::fprintf(stderr, "%s: %s\n%s", program, mistake.c_str(), usage);
    return 2;
}
