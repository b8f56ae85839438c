// Placeholder: whole-file operations land with the files work.
#include "hardware/file_io.h"

namespace vantrel {

bool readWholeFile(const std::string&, void*, std::size_t) { return false; }
bool writeWholeFile(const std::string&, const void*, std::size_t) { return false; }

}  // namespace vantrel
