// Storing the variables the calculator sent: the overwrite question for an existing
// file, a name that cannot be written refused before it is asked about, and every
// failure told with the system's reason. The file is replaced whole or not at all.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "session/calculator/front_end.h"

namespace vantrel {

// Shows a file prompt about the file; true for Yes to the overwrite question.
using FilePromptFunction = std::function<bool(FilePrompt kind, const std::string& reason)>;

// True when the bytes were written to name.
bool storeReceivedFile(const std::string& name, const std::vector<uint8_t>& bytes,
                       const FilePromptFunction& prompt);

}  // namespace vantrel
