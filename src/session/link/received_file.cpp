#include "session/link/received_file.h"

#include "files/file_io.h"

namespace vantrel {

bool storeReceivedFile(const std::string& name, const std::vector<uint8_t>& bytes,
                       const FilePromptFunction& prompt) {
    // Refused before the question: what cannot be written is not offered for replacing.
    const Result<WriteTarget> target = checkWriteTarget(name);
    if (!target) {
        prompt(FilePrompt::cannotOpen, target.failure().reason);
        return false;
    }
    if (target->exists && !prompt(FilePrompt::overwrite, {})) return false;
    const Result<> written = writeWholeFile(name, bytes.data(), bytes.size());
    if (written) return true;
    prompt(FilePrompt::cannotOpen, written.failure().reason);
    return false;
}

}  // namespace vantrel
