// The user's folders as the desktop names them: home, configuration, data, pictures;
// and the running program's own folder.
#pragma once

#include <string>

namespace vantrel {

// $HOME, else the password database's home; empty when neither is an absolute path.
std::string homeDirectory();
// $XDG_CONFIG_HOME when absolute, else ~/.config; empty without a home.
std::string configHome();
// $XDG_DATA_HOME when absolute, else ~/.local/share; empty without a home.
std::string dataHome();
// XDG_PICTURES_DIR from the user-dirs file, as xdg-user-dir reports it, else ~/Pictures.
std::string picturesDirectory();

// The folder of the running program, where a portable copy keeps its settings and an
// installed one finds its data: from the system's link to the program, else from
// argv0 (the program's own first argument) made absolute; empty when neither tells.
std::string programDirectory(const char* argv0 = nullptr);

}  // namespace vantrel
