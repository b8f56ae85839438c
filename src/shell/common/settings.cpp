// Placeholder: the settings file lands with the files work.
#include "shell/common/settings.h"

namespace vantrel {

void locateSettingsFile(Settings& settings, const std::string& programDir) {
    settings.iniPath = programDir + "/Vantrel.ini";
}
void readSettings(Settings& settings, const std::string& programDir) {
    if (settings.iniPath.empty()) locateSettingsFile(settings, programDir);
    settings.romPath = "TI85Rom.bin";
    settings.ramPath = "TI85Stat.bin";
}
bool writeSettings(const Settings&) { return false; }

}  // namespace vantrel
