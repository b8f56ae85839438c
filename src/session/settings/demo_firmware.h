// The demo firmware and the folder the demo runs in. The demo keeps its own settings
// and state file in $XDG_DATA_HOME/vantrel/demo, so trying it never touches the
// user's own.
#pragma once

#include <string>

#include "session/settings/settings.h"
#include "text/failure.h"

namespace vantrel {

inline constexpr const char* demoFirmwareName = "vantrel-demo.rom";

// The demo firmware for the program in programDir: an installed program's in its
// data folder (<prefix>/share/vantrel), a program in the build tree the one built
// there. Empty when there is none.
std::string findDemoFirmware(const std::string& programDir);

// $XDG_DATA_HOME/vantrel/demo (~/.local/share/vantrel/demo); empty without a home.
std::string demoDirectory();

// Makes the demo folder ready: the firmware copied in afresh as TI85Rom.bin, its
// Vantrel.ini made once (ROM and state file beside it, other instances allowed).
// Gives the demo's settings, read from there.
Result<Settings> prepareDemo(const std::string& firmware);

}  // namespace vantrel
