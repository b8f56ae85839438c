// One running calculator: the machine with its ROM image and state file, the
// emulation thread, the 50 ms tick, the keypad and its queue, the upload flow, and the
// rules for starting, stopping and saving. Every front end (the window, the headless
// runner, the tests) drives the calculator through this object and asks it what to
// show; none of them touches the loop, the thread control or memory.
//
// All calls come from the front end's thread.
#pragma once

#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "files/file_claim.h"
#include "hardware/lcd_picture.h"
#include "hardware/lcd_shades.h"
#include "hardware/machine_model.h"
#include "machine/emulation_thread.h"
#include "machine/loop_end.h"
#include "machine/real_speed.h"
#include "session/calculator/machine_files.h"
#include "session/keys/held_keys.h"
#include "session/keys/key_history.h"
#include "session/keys/keypad.h"
#include "session/settings/settings.h"
#include "z80/cpu_registers.h"

namespace vantrel {

class DebugSession;
class FrontEnd;
class Machine;
class Rewind;
class SessionHost;

// What closing does with the state file.
enum class CloseSave { save, discard, ask };

class Calculator {
public:
    explicit Calculator(FrontEnd& frontEnd);
    ~Calculator();
    Calculator(const Calculator&) = delete;
    Calculator& operator=(const Calculator&) = delete;

    // --- the model ------------------------------------------------------------------------
    // Which calculator runs (the classic model unless set): set before load(), while no
    // thread runs. The hardware model runs the ROM image unpatched on the complete Z80
    // in emulated time; its keys are held on the key matrix and typed in emulated time.
    void setModel(MachineModel model);
    MachineModel model() const;
    bool hardwareModel() const { return model() == MachineModel::hardware; }
    // The settings' model (only while no thread runs), speed and smooth greyscale.
    void takeMachineSettings(const Settings& settings);
    // Real speed (the hardware model; the classic model runs as fast as it can).
    void setSpeed(SpeedFactor factor);
    void setFastForward(bool on);
    // The speed reached, in percent of real speed; nothing in the classic model or before
    // the first figure.
    std::optional<int> speedPercent() const;
    // Runs in emulated time (see the run limit in machine/hardware_control.h): the loop
    // rests at the first instruction boundary at or past the limit until it is raised;
    // input given only while it rests there makes runs byte-identical.
    void setRunLimit(uint64_t clock);
    void clearRunLimit();
    // True once the loop rests at the limit set now.
    bool waitForRunLimit(std::chrono::milliseconds timeout);
    // The clock where the loop rests at its limit; nothing while it does not.
    std::optional<uint64_t> restingAtLimit() const;
    // The hardware model's T-state clock now (taken at an instruction boundary).
    uint64_t emulatedClock() const;
    // The emulated time of the newest LCD frame, in ms; nothing in the classic model.
    std::optional<uint64_t> lcdFrameMs() const;

    // --- the ROM image and the state file -------------------------------------------
    // Loads the ROM image; when the machine may run on it, also the state file (or
    // makes a cold start). Only while no thread runs: before start(), or after a
    // stop() that ended it (the calculator then runs on another ROM image).
    RomLoadResult load(const std::string& romPath, const std::string& ramPath, bool testRomVersion);
    bool usable() const { return usable_; }
    // What load() would make of a ROM image, read on a machine of its own: the
    // calculator itself is not touched.
    static RomLoadResult probeRom(const std::string& romPath);
    // Whether load() found a state file (else the calculator started cold).
    bool stateRestored() const { return stateLoad_.restored(); }
    // What load() or the last reloadState() found at the state path.
    const StateLoadResult& stateLoad() const { return stateLoad_; }
    const std::string& ramPath() const { return ramPath_; }

    // Whether the state file names the ROM image (it is then neither read nor written).
    bool stateFileIsRomImage() const;

    // A state file belongs to one running calculator at a time (a window or a runner,
    // in this process or another): load() claims it. A calculator that finds it in use
    // runs on what the file held, but never writes it.
    bool stateFileInUse() const { return stateInUse_; }
    // The process that has it, 0 when unknown.
    long stateFileHolder() const { return stateHolder_; }
    // The claimed state file, links followed; empty when none is claimed.
    const std::string& claimedStateFile() const { return claim_.file(); }
    // The state file's full path, links followed, whoever has it.
    std::string stateFileIdentity() const { return FileClaim::identity(ramPath_); }

    // A file found at the state path that is no state file (stateLoad().notAStateFile())
    // is not written over until the user has chosen so.
    bool stateFileKept() const { return stateLoad_.notAStateFile() && !replaceChosen_; }
    void allowReplacingStateFile() { replaceChosen_ = true; }

    // Writes the state file. Declined while the emulation thread runs or after one that
    // would not stop, for a state file in use elsewhere and for one that is kept.
    Result<> saveState();
    // Loads another state file into the running calculator, which stays asleep if it
    // slept; undelivered keys are forgotten. restored() when the file was read (else a
    // cold start). The path becomes the calculator's state file, unless another running
    // calculator has it: then nothing changes and the outcome is StateLoad::inUse.
    StateLoadResult reloadState(const std::string& ramPath);
    // Whether the last reloadState() was refused for a state file in use elsewhere.
    bool reloadRefused() const { return reloadRefused_; }
    // A cold start of the running calculator, as a start without a state file makes
    // one: memory cleared, the processor at 0x0000, running at once even from its
    // sleep. Keys not yet delivered and a link transfer under way are dropped; the
    // state file is left alone. False when no calculator runs.
    bool reset();

    // --- the whole state as bytes (calculator_state.cpp) -----------------------------
    // The state file's bytes of the calculator now, taken at an instruction boundary;
    // empty after an abandoned stop.
    std::vector<uint8_t> captureState();
    // Puts the calculator in the state those bytes hold, at an instruction boundary,
    // and lets it run from there (a sleeping one too); undelivered keys are forgotten.
    // Bytes that are no state file are refused and change nothing.
    StateLoadResult restoreState(std::span<const uint8_t> bytes);
    // CRC-32 of the ROM image as read by load().
    uint32_t romChecksum() const { return romChecksum_; }
    // The last minute kept for rewinding, taken at the ticks.
    Rewind& rewind() { return *rewind_; }

    // --- the emulation thread ----------------------------------------------------------
    // Creates the thread; its first instruction runs at the first tick.
    void start();
    // How long stop() waits for the loop to end.
    static constexpr std::chrono::milliseconds stopTimeout = EmulationThread::stopTimeout;

    // Posts Stop and waits at most stopTimeout. True when the thread ended (or none ran).
    // A thread that does not stop is left to itself with the machine: the calculator
    // is gone for good (abandoned()).
    bool stop();
    bool running() const;
    bool abandoned() const { return abandoned_; }
    // How the loop ended, once it has.
    std::optional<LoopEnd> loopEnd() const;
    // What closing should do with the state file under the given mode; canAsk: the
    // front end can put the question to the user.
    CloseSave saveOnClose(SaveStateMode mode, bool canAsk) const;

    // --- the 50 ms timer -----------------------------------------------------------------
    void tick();

    // --- keys ---------------------------------------------------------------------------
    // Mouse, at 1x client coordinates of the skin.
    PressOutcome clickAt(int x, int y);
    // A skin key by index, as a click on it.
    PressOutcome pressKey(int index);
    void releaseMouse();
    void dragMouseTo(int x, int y);
    // PC keyboard: source identifies the physical key for its key-up.
    PressOutcome pcKeyDown(int32_t source, PcKey key, char32_t character);
    void pcKeyUp(int32_t source);
    void releasePcKeys();
    bool pcKeyHeld() const;
    // Text typed by the program, one character a press (a line break is Enter): see
    // Keypad::typeCharacter. Only as many as keyQueueRoom() are taken.
    PressOutcome typeCharacter(char32_t character);
    std::size_t keyQueueRoom() const;
    // The key drawn pressed now.
    std::optional<int> shownKey() const;
    // Which calculator key each named PC key presses (Settings::keyMap).
    void setKeyMap(const KeyMap& map) { keypad_.setKeyMap(map); }
    const KeyMap& keyMap() const { return keypad_.keyMap(); }
    bool keyPending() const;
    // A key pressed by program past the keypad and its queue (waits for the loop).
    void injectKey(KeyCode code);
    // The keys delivered to the calculator, named as it took them.
    const KeyHistory& keyHistory() const { return keyHistory_; }
    void clearKeyHistory() { keyHistory_.clear(); }

    // --- the link -------------------------------------------------------------------------
    // The Upload command (the Open dialog, or the given file).
    void upload(bool autoLinkOnUpload, const std::optional<std::string>& givenFile = std::nullopt);
    bool linkBusy() const;

    // --- what to show ----------------------------------------------------------------------
    // The LCD's bytes now (blank while the calculator is off).
    LcdBytes lcd() const;
    // The picture every front end shows (the window, screenshots, the runner, recordings):
    // the LCD's bytes in the classic model; in the hardware model its frames, the newest
    // or with smooth greyscale the average of the last few, with the contrast applied.
    LcdShades lcdPicture() const;
    void setSmoothGreyscale(bool on) { smoothGreyscale_ = on; }
    // The processor's registers and the ROM bank now (taken while the loop rests).
    CpuRegisters registers();
    uint8_t romBank();
    bool calculatorOn() const;
    // The [2nd] and [ALPHA] shifts of the calculator's software now (read while it runs).
    ShiftState shiftState() const;
    // Paused in HALT with no key to deliver and the link idle.
    bool asleep() const;

    // The machine, for tools that hold the loop themselves and for tests. Not to be
    // touched after an abandoned stop.
    Machine& machine() { return *machine_; }

    // --- the debugger -----------------------------------------------------------------------
    // Stops, steps and shows the calculator. While it has the calculator stopped, the
    // timer delivers nothing (keys wait in the keypad's queue) and an upload is refused.
    DebugSession& debugger() { return *debugger_; }
    bool stoppedForDebugger() const;

private:
    // Every key given to the calculator passes here: the classic model's latched key
    // (tick, injectKey), the hardware model's typed keys and newly held ones.
    void keyDelivered(uint8_t code, ShiftState shifts);
    // The hardware model's keys: held on the matrix, typed into the queue.
    PressOutcome holdKey(int32_t source, std::optional<int> index);
    PressOutcome typeHardwareCharacter(char32_t character);

    FrontEnd& frontEnd_;
    std::unique_ptr<Machine> machine_;
    std::unique_ptr<SessionHost> host_;
    std::unique_ptr<EmulationThread> thread_;
    std::unique_ptr<DebugSession> debugger_;
    Keypad keypad_;
    KeyHistory keyHistory_;
    HeldKeys heldKeys_;
    std::string ramPath_;
    FileClaim claim_;
    StateLoadResult stateLoad_;
    bool stateInUse_ = false;
    long stateHolder_ = 0;
    bool replaceChosen_ = false;
    bool reloadRefused_ = false;
    uint32_t romChecksum_ = 0;
    bool usable_ = false;
    bool abandoned_ = false;
    bool smoothGreyscale_ = true;
    std::optional<LoopEnd> loopEnd_;
    std::unique_ptr<Rewind> rewind_;
};

}  // namespace vantrel
