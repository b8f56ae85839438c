// What a running calculator asks of the program around it: the window, the headless
// runner, a test. The calculator never shows anything itself.
#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>

#include "machine/host_interface.h"
#include "machine/loop_end.h"

namespace vantrel {

struct IllegalOpcodeSnapshot;

enum class FilePrompt {
    cannotOpen,  // an error box
    overwrite,   // the question "Overwrite file ...?"
    badData,     // an error box
    damaged,     // the question whether to upload a file whose checksum does not agree
};

enum class LinkHint {
    notWaiting,       // the calculator is not in its receive screen: the hint box and a beep
    aborted,          // the calculator wrote the link's abort value: a beep
    debuggerStopped,  // no upload while the debugger has the calculator stopped: a box
};

class FrontEnd {
public:
    virtual ~FrontEnd() = default;

    // Runs work on the front end's own thread, later; called from any thread. A front
    // end whose answers may be given on any thread runs it at once.
    virtual void post(std::function<void()> work) = 0;
    // True on the front end's own thread.
    virtual bool onOwnThread() const = 0;

    // Everything below runs on the front end's own thread.
    virtual void repaintLcd() {}
    virtual void loopEnded(LoopEnd) {}
    // The error boxes answer false; the questions answer true for Yes.
    // reason: the system's text of what went wrong, shown after the prompt's own text.
    virtual bool filePrompt(FilePrompt kind, const std::string& fileName,
                            const std::string& reason) = 0;
    virtual void linkHint(LinkHint hint) = 0;
    // The Save-As dialog for variables the calculator sends; none refuses them.
    virtual std::optional<std::string> askSaveName(bool backup) = 0;
    // The same, knowing the name of the first variable (the calculator names the next
    // ones only as they come): a front end that suggests a file name overrides this.
    virtual std::optional<std::string> askReceivedFileName(bool backup,
                                                           const std::string& /*firstVariable*/) {
        return askSaveName(backup);
    }
    virtual IllegalOpcodeAnswer illegalOpcode(const IllegalOpcodeSnapshot& snapshot) = 0;
    // The Upload command's Open dialog; none when cancelled.
    virtual std::optional<std::string> chooseUploadFile() = 0;
    // The variables of a file went to the link for the calculator.
    virtual void uploadStarted(const std::string& /*path*/, int /*variables*/) {}
    // The pause after each automatic link attempt of the Upload command. The front
    // end's thread blocks here; it may repaint meanwhile but must not take input or
    // run its timer.
    virtual void sleepFor(std::chrono::milliseconds duration);
};

}  // namespace vantrel
