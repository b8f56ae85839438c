#include "session/settings/user_dirs.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace vantrel {

std::string homeDirectory() {
    if (const char* home = std::getenv("HOME"); home && home[0] == '/') return home;
    if (const passwd* user = ::getpwuid(::getuid()); user && user->pw_dir && user->pw_dir[0] == '/')
        return user->pw_dir;
    return {};
}

std::string configHome() {
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && xdg[0] == '/') return xdg;
    const std::string home = homeDirectory();
    return home.empty() ? std::string() : home + "/.config";
}

std::string dataHome() {
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && xdg[0] == '/') return xdg;
    const std::string home = homeDirectory();
    return home.empty() ? std::string() : home + "/.local/share";
}

std::string picturesDirectory() {
    const std::string home = homeDirectory();
    std::ifstream file(configHome() + "/user-dirs.dirs");
    std::string line;
    const std::string key = "XDG_PICTURES_DIR=";
    while (std::getline(file, line)) {
        if (line.compare(0, key.size(), key) != 0) continue;
        std::string value = line.substr(key.size());
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
            value = value.substr(1, value.size() - 2);
        if (value.compare(0, 5, "$HOME") == 0) value = home + value.substr(5);
        // "$HOME/" alone means the home directory itself: pictures are disabled.
        if (!value.empty() && value[0] == '/' &&
            std::filesystem::path(value) != std::filesystem::path(home + "/"))
            return value;
        break;
    }
    return home.empty() ? std::string() : home + "/Pictures";
}

std::string programDirectory(const char* argv0) {
    std::error_code ec;
    auto program = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec && argv0) program = std::filesystem::absolute(argv0, ec);
    return ec ? std::string() : program.parent_path().string();
}

}  // namespace vantrel
