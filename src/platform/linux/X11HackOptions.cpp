#include "platform/linux/X11HackOptions.h"

#include <charconv>

namespace {

// Daemons write long options with one dash or two.
bool IsOption(std::string_view argument, std::string_view name) {
    if (argument.starts_with("--"))
        argument.remove_prefix(2);
    else if (argument.starts_with("-"))
        argument.remove_prefix(1);
    else
        return false;
    return argument == name;
}

} // namespace

std::optional<uint64_t> ParseWindowId(std::string_view text) {
    int base = 10;
    if (text.starts_with("0x") || text.starts_with("0X")) {
        text.remove_prefix(2);
        base = 16;
    }
    if (text.empty())
        return std::nullopt;
    uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (error != std::errc() || end != text.data() + text.size() || value == 0 || value > 0xFFFFFFFFu)
        return std::nullopt;
    return value;
}

X11HackOptions ParseHackOptions(int argc, const char* const* argv) {
    X11HackOptions options;
    if (argc < 2 || argv[1] == nullptr)
        return options;
    const std::string_view first = argv[1];
    if (IsOption(first, "help") || first == "-h") {
        options.Mode = X11HackMode::Help;
    } else if (IsOption(first, "root")) {
        options.Mode = X11HackMode::Root;
    } else if (IsOption(first, "window")) {
        options.Mode = X11HackMode::Window;
    } else if (IsOption(first, "window-id")) {
        options.Mode = X11HackMode::WindowId;
        const std::optional<uint64_t> id =
            argc >= 3 && argv[2] != nullptr ? ParseWindowId(argv[2]) : std::nullopt;
        if (id)
            options.WindowId = *id;
        else
            options.Error = "--window-id takes a window id, decimal or 0x hexadecimal";
    }
    return options;
}
