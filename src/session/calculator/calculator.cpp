#include "session/calculator/calculator.h"

#include "hardware/rom_image.h"
#include "machine/bus.h"
#include "machine/emulation_thread.h"
#include "machine/hardware_control.h"
#include "machine/interrupts.h"
#include "session/calculator/front_end.h"
#include "session/calculator/session_host.h"
#include "session/calculator/timer_tick.h"
#include "session/debug/debug_session.h"
#include "session/history/rewind.h"
#include "session/link/upload.h"
#include "session/screenshots/lcd_image.h"

namespace vantrel {

namespace {

// The wait for the loop to reach its next HALT before an injected key.
constexpr uint16_t injectedKeyWaitMs = 100;

}  // namespace

Calculator::Calculator(FrontEnd& frontEnd)
    : frontEnd_(frontEnd),
      machine_(std::make_unique<Machine>()),
      host_(std::make_unique<SessionHost>(frontEnd)),
      debugger_(std::make_unique<DebugSession>(*this, *machine_, *host_)),
      keypad_(*machine_),
      heldKeys_(*machine_),
      rewind_(std::make_unique<Rewind>(*this)) {
    machine_->setHost(host_.get());
    host_->watchLink(&machine_->link);
}

Calculator::~Calculator() {
    if (thread_ && !abandoned_) stop();
    if (abandoned_) {
        // The thread still runs on these and calls the host: they must outlive it.
        (void)machine_.release();
        (void)host_.release();
        (void)thread_.release();
        (void)debugger_.release();  // the loop may still ask it, as its supervisor
    }
}

RomLoadResult Calculator::load(const std::string& romPath, const std::string& ramPath,
                               bool testRomVersion) {
    const RomLoadResult rom = loadRomImage(*machine_, romPath);
    usable_ = rom.usable(testRomVersion);
    romChecksum_ = rom.checksum;
    ramPath_ = ramPath;
    if (FileClaim::identity(ramPath) != claim_.file()) claim_.release();
    const FileClaim::Claimed claimed = claim_.claim(ramPath);
    stateInUse_ = claimed.outcome == FileClaim::Outcome::inUse;
    stateHolder_ = claimed.holder;
    replaceChosen_ = false;
    stateLoad_ = usable_ ? readStateFile(*machine_, ramPath) : StateLoadResult{};
    return rom;
}

RomLoadResult Calculator::probeRom(const std::string& romPath) {
    Machine probe;
    return loadRomImage(probe, romPath);
}

bool Calculator::stateFileIsRomImage() const {
    return vantrel::stateFileIsRomImage(*machine_, ramPath_);
}

Result<> Calculator::saveState() {
    if (!usable_ || abandoned_ || running())
        return Failure::decline(abandoned_ ? "The calculator did not stop."
                                           : "The calculator is running.");
    if (stateInUse_) return Failure::decline(stateFileInUseText);
    if (stateFileKept()) return Failure::decline(notAStateFileKeptText);
    return saveStateFile(*machine_, ramPath_);
}

StateLoadResult Calculator::reloadState(const std::string& ramPath) {
    if (abandoned_) return {};
    const FileClaim::Claimed claimed = claim_.claim(ramPath);
    reloadRefused_ = claimed.outcome == FileClaim::Outcome::inUse;
    if (reloadRefused_) return {StateLoad::inUse};
    ramPath_ = ramPath;
    stateInUse_ = false;
    stateHolder_ = 0;
    replaceChosen_ = false;
    if (!usable_) return stateLoad_ = {};
    keypad_.clear();
    return stateLoad_ = reloadStateFile(*machine_, ramPath);
}

bool Calculator::reset() {
    if (!running()) return false;
    keypad_.clear();
    {
        HoldGuard hold(machine_->control);
        Machine& m = *machine_;
        m.link.resetLink();
        m.keyLatch.store(0);
        m.regs = CpuRegisters{};
        m.mem.state = StateRecord{};
        coldStartMachine(m);
        jumpTo(m, m.regs.pc);
    }
    // Replaces a pending interrupt for a key of the old run, and wakes a sleeping loop.
    machine_->control.post(EmuRequest::Redraw);
    machine_->control.resume();
    return true;
}

void Calculator::start() {
    if (!usable_ || abandoned_ || thread_) return;
    host_->resumeAnswering();
    thread_ = std::make_unique<EmulationThread>(
        *machine_, [host = host_.get()](LoopEnd end) { host->postLoopEnded(end); });
}

bool Calculator::stop() {
    keypad_.clear();
    rewind_->end();
    if (!thread_ || abandoned_) return !abandoned_;
    host_->beginStop();
    if (!thread_->stop()) {
        abandoned_ = true;
        return false;
    }
    loopEnd_ = thread_->loopEnd();
    thread_.reset();
    debugger_->calculatorStopped();
    return true;
}

bool Calculator::running() const { return thread_ != nullptr && !abandoned_; }

std::optional<LoopEnd> Calculator::loopEnd() const {
    if (thread_ && !abandoned_) return thread_->loopEnd();
    return loopEnd_;
}

CloseSave Calculator::saveOnClose(SaveStateMode mode, bool canAsk) const {
    // A refused illegal instruction ends the run without keeping its state; a state
    // file that another calculator has is that one's to write.
    if (!usable_ || abandoned_ || stateInUse_ || loopEnd() == LoopEnd::aborted)
        return CloseSave::discard;
    switch (mode) {
        case SaveStateMode::always:
            return CloseSave::save;
        case SaveStateMode::never:
            return CloseSave::discard;
        case SaveStateMode::showDialog:
            break;
    }
    // Without a question, a calculator that is on is saved and one that is off is not.
    if (!calculatorOn()) return CloseSave::discard;
    return canAsk ? CloseSave::ask : CloseSave::save;
}

void Calculator::tick() {
    rewind_->tick();
    if (hardwareModel()) heldKeys_.letGoOfTaps();
    // The hardware model's interrupts and keys come from its emulated clock.
    if (!running() || stoppedForDebugger() || hardwareModel()) return;
    if (const auto key = timerTick(*machine_, keypad_)) keyDelivered(key->code, key->shifts);
}

void Calculator::keyDelivered(uint8_t code, ShiftState shifts) { keyHistory_.add(code, shifts); }

bool Calculator::stoppedForDebugger() const { return debugger_->stopped(); }

PressOutcome Calculator::clickAt(int x, int y) {
    if (hardwareModel()) return holdKey(mouseSource, keyIndexAt(x, y));
    return keypad_.pressAt(x, y);
}
PressOutcome Calculator::pressKey(int index) {
    if (hardwareModel()) return holdKey(mouseSource, index);
    return keypad_.pressKey(index);
}
void Calculator::releaseMouse() {
    if (hardwareModel()) return heldKeys_.release(mouseSource);
    keypad_.releaseMouse();
}
void Calculator::dragMouseTo(int x, int y) {
    if (!hardwareModel()) return keypad_.dragTo(x, y);
    if (const auto shown = heldKeys_.shownKey();
        shown && !skinKeys[static_cast<std::size_t>(*shown)].box.contains(x, y))
        heldKeys_.release(mouseSource);
}

PressOutcome Calculator::pcKeyDown(int32_t source, PcKey key, char32_t character) {
    if (hardwareModel()) {
        auto index = keypad_.mapPcKey(key);
        if (!index && character != 0) index = keypad_.mapPcChar(character);
        return holdKey(source, index);
    }
    return keypad_.keyboardPress(source, key, character);
}
void Calculator::pcKeyUp(int32_t source) {
    if (hardwareModel()) return heldKeys_.release(source);
    keypad_.keyboardRelease(source);
}
void Calculator::releasePcKeys() {
    if (hardwareModel()) return heldKeys_.releaseAll(false);
    keypad_.releaseKeyboard();
}
bool Calculator::pcKeyHeld() const {
    return hardwareModel() ? heldKeys_.pcKeyHeld() : keypad_.keyboardHeld();
}
std::optional<int> Calculator::shownKey() const {
    return hardwareModel() ? heldKeys_.shownKey() : keypad_.shownKey();
}
PressOutcome Calculator::typeCharacter(char32_t character) {
    if (hardwareModel()) return typeHardwareCharacter(character);
    return keypad_.typeCharacter(character);
}
std::size_t Calculator::keyQueueRoom() const {
    if (hardwareModel()) return typedKeyRoom(*machine_);
    return keyQueueCapacity - keypad_.queuedPresses();
}
bool Calculator::keyPending() const {
    return hardwareModel() ? typingBusy(*machine_) : keypad_.keyPending();
}

void Calculator::injectKey(KeyCode code) {
    if (!running()) return;
    // Named before it goes: the shifts are the calculator's until it takes the key.
    keyDelivered(code, keypad_.shifts());
    vantrel::injectKey(*machine_, code, injectedKeyWaitMs);
}

void Calculator::upload(bool autoLinkOnUpload, const std::optional<std::string>& givenFile) {
    if (!running()) return;
    // The keys it types and the transfer itself need a running calculator.
    if (stoppedForDebugger()) {
        frontEnd_.linkHint(LinkHint::debuggerStopped);
        return;
    }
    uploadFile(*machine_, frontEnd_, autoLinkOnUpload, givenFile);
}

bool Calculator::linkBusy() const { return !abandoned_ && machine_->link.busy(); }

LcdBytes Calculator::lcd() const {
    if (abandoned_) return LcdBytes{};
    return lcdMemoryCopy(machine_->mem);
}

LcdShades Calculator::lcdPicture() const {
    if (abandoned_ || machine_->model != MachineModel::hardware)
        return shadesOfLcdBytes(lcd().data());
    return lcdShades(lcdFrames(*machine_), smoothGreyscale_);
}

CpuRegisters Calculator::registers() {
    if (abandoned_) return {};
    HoldGuard hold(machine_->control);
    return machine_->regs;
}

uint8_t Calculator::romBank() {
    if (abandoned_) return 0;
    HoldGuard hold(machine_->control);
    return machine_->mem.state.romBank;
}

bool Calculator::calculatorOn() const { return !abandoned_ && vantrel::calculatorOn(*machine_); }

ShiftState Calculator::shiftState() const {
    if (abandoned_) return {};
    return keypad_.shifts();
}

bool Calculator::asleep() const {
    // The hardware model is looked at only while it rests at a run limit.
    if (hardwareModel())
        return running() && vantrel::restingAtLimit(*machine_) && machine_->chip.halted &&
               !typingBusy(*machine_) && !machine_->link.busy();
    return running() && machine_->control.pendingCode() == code(EmuRequest::Pause) &&
           !keypad_.keyPending() && !machine_->link.busy();
}

}  // namespace vantrel
