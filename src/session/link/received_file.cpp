#include "session/link/received_file.h"

#include "files/file_io.h"

namespace vantrel {

bool storeReceivedFile(const std::string& name, const std::vector<uint8_t>& bytes,
                       const FilePromptFunction& prompt) {
    // Refused before the question: what cannot be written is not offered for replacing.
    const WriteTarget target = checkWriteTarget(name);
    if (!target.usable) {
        prompt(FilePrompt::cannotOpen, writeErrorText(name, target.error));
        return false;
    }
    if (target.exists && !prompt(FilePrompt::overwrite, {})) return false;
    int error = 0;
    if (writeWholeFile(name, bytes.data(), bytes.size(), &error)) return true;
    prompt(FilePrompt::cannotOpen, writeErrorText(name, error));
    return false;
}

}  // namespace vantrel
