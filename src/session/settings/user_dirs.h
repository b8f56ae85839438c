// The user's folders as the desktop names them: home, configuration, data, pictures.
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

}  // namespace vantrel
