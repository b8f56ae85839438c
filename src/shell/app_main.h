// The program's entry: settings, command line, one instance per user, the window,
// the event loop, and the settings written back at the end.
#pragma once

namespace vantrel {

int appMain(int argc, char** argv);

}  // namespace vantrel
