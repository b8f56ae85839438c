// What the machine asks of the window. The core never opens a dialog itself: the
// Qt window implements this with blocking queued calls to the user-interface thread,
// the headless runner and the tests with scripted answers. Every default is the
// answer of a window that is not there: 0, no name, nothing shown.
#pragma once

#include <cstdint>
#include <string>

namespace vantrel {

struct IllegalOpcodeSnapshot;

// Kinds of the file prompt.
enum FilePromptKind : int {
    promptCannotOpen = 1,
    promptOverwrite = 2,
    promptBadData = 3,
};

// Codes of the upload hint.
enum LinkHintCode : int {
    hintNotWaiting = 1,   // the calculator is not in its receive screen: hint box and beep
    hintAbortBeep = 2,    // the calculator wrote the abort value: beep only
};

class HostInterface {
public:
    virtual ~HostInterface() = default;

    // Repaint the LCD rectangle, background not erased. Called from the emulation
    // thread; must not block.
    virtual void repaintLcd() {}

    // Blocking calls (the emulation thread waits for the answer).
    // isError: an error box (result 0); else the Yes/No question (non-zero: Yes).
    // reason: the system's text of what went wrong ("No space left on device"), shown
    // after the prompt's own text; empty when there is none.
    virtual int filePrompt(int kind, bool isError, const std::string& fileName, const std::string& reason) {
        (void)kind; (void)isError; (void)fileName; (void)reason;
        return 0;
    }
    virtual void uploadHint(int code) { (void)code; }
    // True with the chosen file name in name. backup: the variables are a memory
    // backup, which takes the extension ".85b" rather than ".85g".
    virtual bool askSaveName(std::string& name, bool backup) { (void)name; (void)backup; return false; }
    // Non-zero: continue after the illegal instruction; 0: stop the emulation.
    virtual int illegalOpcode(const IllegalOpcodeSnapshot& snapshot) { (void)snapshot; return 0; }

    // Posted, never blocks: the new value of the window's linkActive flag.
    virtual void postLinkActive(uint32_t value) { (void)value; }
};

}  // namespace vantrel
