#include "session/debug/debug_session.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <mutex>

#include "debugger/breakpoint_file.h"
#include "debugger/disassembler.h"
#include "debugger/trace_line.h"
#include "debugger/trace_recorder.h"
#include "files/file_io.h"
#include "machine/bus.h"
#include "machine/machine.h"
#include "session/calculator/calculator.h"
#include "session/calculator/session_host.h"
#include "text/blanks.h"
#include "text/digits.h"

namespace vantrel {

namespace {

// Names farther than this below an address say nothing about it.
constexpr uint16_t nameReach = 0x100;
// The most bytes before an address that the listing decodes to find where its
// instructions start.
constexpr int maxInstructionLength = 4;

// The 64 KiB the processor sees, copied in one hold.
struct AddressSpace {
    std::vector<uint8_t> bytes;

    uint8_t at(uint16_t address) const { return bytes[address]; }
    ByteReader reader() const {
        return [this](uint16_t address) { return bytes[address]; };
    }
};

AddressSpace copyAddressSpace(Machine& m) {
    AddressSpace space;
    space.bytes.resize(0x10000);
    HoldGuard hold(m.control);
    for (uint32_t address = 0; address < 0x10000; address += romPageSize) {
        const uint8_t* from = m.mem.translateRead(static_cast<uint16_t>(address));
        std::copy(from, from + romPageSize, space.bytes.begin() + address);
    }
    return space;
}

// A change of what the loop reads, made while it rests.
template <class Change>
bool changeHeld(ThreadControl& control, Change&& change) {
    HoldGuard hold(control);
    return change();
}

// The CALL, CALL cc or RST just before a word's target that would have pushed the
// word, if there is one: then the word is a return address.
std::optional<uint16_t> pushingCall(const AddressSpace& space, uint16_t value) {
    const ByteReader read = space.reader();
    for (const int length : {3, 1}) {
        const auto at = static_cast<uint16_t>(value - length);
        const Instruction in = disassemble(read, at);
        const bool calls = in.flow == FlowKind::call || in.flow == FlowKind::conditionalCall ||
                           in.flow == FlowKind::restart;
        if (calls && !in.traps && in.next() == value) return at;
    }
    return std::nullopt;
}

bool hasSmallLetter(const std::string& name) {
    return std::any_of(name.begin(), name.end(), [](char c) { return c >= 'a' && c <= 'z'; });
}

// The routine a return address goes back into: the name at or below the call, not one
// that starts at the return address itself (the code after the call). By the common
// habit a name in capitals only is a constant that happens to lie there, so a label
// further down is taken before it.
std::string routineOf(const SymbolTable& symbols, uint16_t call, uint16_t returnAddress) {
    std::string first;
    for (uint16_t from = call;;) {
        const auto back = static_cast<uint16_t>(returnAddress - from);
        if (back >= nameReach) break;
        const auto near = symbols.nearest(from, static_cast<uint16_t>(nameReach - 1 - back));
        if (!near) break;
        const auto named = static_cast<uint16_t>(from - near->offset);
        const std::string text =
            SymbolTable::NearName{near->name, static_cast<uint16_t>(returnAddress - named)}.text();
        if (hasSmallLetter(*near->name)) return text;
        if (first.empty()) first = text;
        if (named == 0) break;
        from = static_cast<uint16_t>(named - 1);
    }
    return first;
}

}  // namespace

DebugSession::DebugSession(Calculator& calculator, Machine& machine, SessionHost& host)
    : calculator_(calculator), machine_(machine), host_(host) {
    // From the emulation thread: the listener runs later on the front end's.
    stepper_.onStop = [this](const StopInfo&) {
        host_.postToFrontEnd([listener = listener_] {
            std::function<void()> call;
            {
                std::lock_guard lock(listener->mutex);
                call = listener->call;
            }
            if (call) call();
        });
    };
}

DebugSession::~DebugSession() {
    std::lock_guard lock(listener_->mutex);
    listener_->call = nullptr;
}

void DebugSession::setStopListener(std::function<void()> listener) {
    std::lock_guard lock(listener_->mutex);
    listener_->call = std::move(listener);
}

// --- open and closed ------------------------------------------------------------------

void DebugSession::open(bool withFile) {
    if (open_) return;
    // Without a state file there is no place beside it: the breakpoints live only here.
    withFile_ = withFile && !calculator_.ramPath().empty();
    withFile = withFile_;
    romChecksum_ = romChecksum(machine_.mem.rom);  // the ROM image never changes while it runs
    BreakpointSet loaded;
    if (withFile) {
        breakpointFileState_ = loadBreakpoints(breakpointFile(), romChecksum_, loaded);
        if (!breakpointFileState_) {
            const Failure& failure = breakpointFileState_.failure();
            breakpointFileState_ =
                Failure{failure.code, "The breakpoint file " + breakpointFile() +
                                          " was not read, and is not written: " + failure.reason};
        }
    }
    HoldGuard hold(machine_.control);
    if (withFile) breakpoints_ = loaded;
    open_ = true;
    updateSupervisor();
}

void DebugSession::close() {
    if (!open_) return;
    {
        HoldGuard hold(machine_.control);
        stepper_.cancel();
        open_ = false;
        updateSupervisor();
    }
    machine_.control.endDebugStop();
}

void DebugSession::updateSupervisor() {
    Supervisor* wanted = open_ && stepper_.needed() ? &stepper_ : nullptr;
    if (machine_.supervisor == wanted) return;
    if (wanted) stepper_.forgetResumePoint();
    machine_.supervisor = wanted;
    machine_.control.callAttention();
}

void DebugSession::calculatorStopped() { machine_.control.endDebugStop(); }

// --- running and stopping ---------------------------------------------------------------

bool DebugSession::running() const { return calculator_.running(); }

bool DebugSession::stopped() const { return running() && machine_.control.debugStopped(); }

StopInfo DebugSession::lastStop() const { return stopped() ? stepper_.lastStop() : StopInfo{}; }

bool DebugSession::stepping() const {
    if (!running() || stopped()) return false;
    HoldGuard hold(machine_.control);
    return stepper_.stepping();
}

std::string DebugSession::stopText() const {
    if (!running()) return "Not running";
    if (!stopped()) return "Running";
    const StopInfo stop = stepper_.lastStop();
    const std::string at = addressText(stop.pc);
    switch (stop.reason) {
        case StopReason::breakpoint:
            return "Breakpoint at " + at;
        case StopReason::runToCursor:
            return "Reached " + at;
        case StopReason::step:
            return "Stepped to " + at;
        case StopReason::writeBreakpoint: {
            std::string range;
            if (stop.written) {
                char text[16];
                std::snprintf(text, sizeof text, "%04X", stop.written->first);
                range = text;
                if (stop.written->length > 1) {
                    std::snprintf(text, sizeof text, "-%04X", stop.written->last());
                    range += text;
                }
                if (const std::string name = nearName(stop.written->first); !name.empty())
                    range += " (" + name + ")";
            }
            return "Write to " + range + " by the instruction at " + at;
        }
        case StopReason::illegalInstruction:
            return "Illegal instruction at " + at;
        case StopReason::breakIn:
        case StopReason::none:
            break;
    }
    return "Stopped at " + at;
}

void DebugSession::breakIn() {
    if (!running() || stopped()) return;
    machine_.control.stopForDebugger();
    stepper_.cancel();
    stepper_.setLastStop(StopInfo{StopReason::breakIn, machine_.regs.pc, std::nullopt});
    updateSupervisor();
    stepper_.onStop(stepper_.lastStop());
}

template <class Prepare>
void DebugSession::resume(Prepare&& prepare) {
    if (!stopped()) return;
    {
        HoldGuard hold(machine_.control);
        prepare();
        updateSupervisor();
    }
    machine_.control.endDebugStop();
}

void DebugSession::continueRun() {
    resume([&] { stepper_.run(machine_); });
}
void DebugSession::stepInto() {
    resume([&] { stepper_.stepInto(machine_); });
}
void DebugSession::stepOver() {
    resume([&] { stepper_.stepOver(machine_); });
}
void DebugSession::stepOut() {
    resume([&] { stepper_.stepOut(machine_); });
}
void DebugSession::runTo(uint16_t address) {
    resume([&] { stepper_.runTo(machine_, address); });
}

// --- what to show -------------------------------------------------------------------------

MachineView DebugSession::view() {
    MachineView v;
    HoldGuard hold(machine_.control);
    const StateRecord& state = machine_.mem.state;
    v.registers = machine_.regs;
    v.romBank = state.romBank;
    v.port2 = state.port2Value;
    v.port3 = state.port3Value;
    v.port6 = state.port6Value;
    v.keyGroupMask = state.keyGroupMask;
    v.keyLatch = static_cast<uint8_t>(machine_.keyLatch.load(std::memory_order_relaxed));
    v.on = vantrel::calculatorOn(state);
    v.asleep = machine_.control.pendingCode() == vantrel::code(EmuRequest::Pause);
    if (machine_.model == MachineModel::hardware) {
        const ChipState& chip = machine_.chip;
        v.hardware = true;
        v.asleep = chip.halted;
        v.clock = chip.clock();
        v.r = chip.r();
        v.iff1 = machine_.regs.interruptsEnabled();
        v.iff2 = chip.iff2;
    }
    return v;
}

std::vector<CodeLine> DebugSession::code(uint16_t from, int count) {
    const AddressSpace space = copyAddressSpace(machine_);
    const ByteReader read = space.reader();
    std::vector<CodeLine> lines;
    uint16_t address = from;
    for (int i = 0; i < count; ++i) {
        const Instruction in = disassemble(read, address, &symbols_);
        CodeLine line;
        line.address = address;
        line.length = in.length;
        line.bytes = in.bytes;
        line.text = in.text;
        line.label = nameAt(address);
        line.traps = in.traps;
        for (const auto& entry : breakpoints_.addresses()) {
            if (entry.address != address) continue;
            line.breakpoint = true;
            line.breakpointEnabled = entry.enabled;
        }
        lines.push_back(std::move(line));
        address = in.next();
    }
    return lines;
}

uint16_t DebugSession::codeStartBefore(uint16_t address, int count) {
    if (count <= 0) return address;
    const AddressSpace space = copyAddressSpace(machine_);
    const ByteReader read = space.reader();
    const int span = count * maxInstructionLength + 16;
    // Starting points, most trusted first: named addresses, then every byte in turn from
    // the farthest, which leaves the most instructions to fall into step.
    std::vector<uint16_t> starts;
    for (const auto& symbol : symbols_.symbols()) {
        const auto distance = static_cast<uint16_t>(address - symbol.value);
        if (distance > 0 && distance <= span) starts.push_back(symbol.value);
    }
    for (int back = span; back > 0; --back) starts.push_back(static_cast<uint16_t>(address - back));
    for (const uint16_t start : starts) {
        const int distance = static_cast<uint16_t>(address - start);
        std::vector<uint16_t> found;
        int offset = 0;
        while (offset < distance) {
            const auto at = static_cast<uint16_t>(start + offset);
            found.push_back(at);
            offset += disassemble(read, at).length;
        }
        if (offset == distance && static_cast<int>(found.size()) >= count)
            return found[found.size() - static_cast<std::size_t>(count)];
    }
    return static_cast<uint16_t>(address - count);
}

std::vector<uint8_t> DebugSession::memory(uint16_t address, std::size_t count) {
    std::vector<uint8_t> bytes(count);
    HoldGuard hold(machine_.control);
    for (std::size_t i = 0; i < count; ++i)
        bytes[i] = *machine_.mem.translateRead(static_cast<uint16_t>(address + i));
    return bytes;
}

std::vector<StackEntry> DebugSession::stack(int count) {
    const AddressSpace space = copyAddressSpace(machine_);
    uint16_t sp = 0;
    {
        HoldGuard hold(machine_.control);
        sp = machine_.regs.sp;
    }
    std::vector<StackEntry> entries;
    for (int i = 0; i < count; ++i) {
        StackEntry entry;
        entry.address = static_cast<uint16_t>(sp + 2 * i);
        entry.value = static_cast<uint16_t>(
            space.at(entry.address) | space.at(static_cast<uint16_t>(entry.address + 1)) << 8);
        if (const auto call = pushingCall(space, entry.value))
            entry.name = routineOf(symbols_, *call, entry.value);
        entries.push_back(std::move(entry));
    }
    return entries;
}

std::string DebugSession::stateLine() {
    const AddressSpace space = copyAddressSpace(machine_);
    const MachineView v = view();
    return traceLine(disassemble(space.reader(), v.registers.pc, &symbols_), v.registers,
                     v.hardware ? std::optional<uint64_t>(v.clock) : std::nullopt);
}

// --- changing, while stopped -----------------------------------------------------------------

bool DebugSession::setRegisters(const CpuRegisters& registers) {
    if (!stopped()) return false;
    HoldGuard hold(machine_.control);
    machine_.regs = registers;
    jumpTo(machine_, registers.pc);  // instruction bytes come from the new PC
    return true;
}

bool DebugSession::writeMemory(uint16_t address, uint8_t value) {
    if (!stopped() || address < 0x8000) return false;
    HoldGuard hold(machine_.control);
    writeByte(machine_, address, value);
    return true;
}

// --- breakpoints ------------------------------------------------------------------------------

template <class Edit>
bool DebugSession::editBreakpoints(Edit&& edit, bool tellAlways) {
    const bool done = changeHeld(machine_.control, [&] {
        const bool result = edit();
        updateSupervisor();
        return result;
    });
    if (done || tellAlways) changed();
    return done;
}

bool DebugSession::toggleBreakpoint(uint16_t address) {
    return editBreakpoints([&] { return breakpoints_.toggle(address); }, true);
}

bool DebugSession::addBreakpoint(uint16_t address) {
    return editBreakpoints([&] { return breakpoints_.add(address); });
}

bool DebugSession::removeBreakpoint(uint16_t address) {
    return editBreakpoints([&] { return breakpoints_.remove(address); });
}

bool DebugSession::setBreakpointEnabled(uint16_t address, bool enabled) {
    return editBreakpoints([&] { return breakpoints_.setEnabled(address, enabled); });
}

bool DebugSession::addWriteBreakpoint(AddressRange range) {
    return editBreakpoints([&] { return breakpoints_.addWrite(range); });
}

bool DebugSession::removeWriteBreakpoint(AddressRange range) {
    return editBreakpoints([&] { return breakpoints_.removeWrite(range); });
}

bool DebugSession::setWriteBreakpointEnabled(AddressRange range, bool enabled) {
    return editBreakpoints([&] { return breakpoints_.setWriteEnabled(range, enabled); });
}

void DebugSession::setBreakOnIllegal(bool on) {
    if (on == breakpoints_.breakOnIllegal()) return;
    editBreakpoints([&] {
        breakpoints_.setBreakOnIllegal(on);
        return true;
    });
}

std::vector<AddressBreakpointView> DebugSession::breakpoints() const {
    std::vector<AddressBreakpointView> list;
    for (const auto& entry : breakpoints_.addresses())
        list.push_back({entry.address, entry.enabled, nearName(entry.address)});
    return list;
}

std::vector<WriteBreakpointView> DebugSession::writeBreakpoints() const {
    std::vector<WriteBreakpointView> list;
    for (const auto& entry : breakpoints_.writes())
        list.push_back({entry.range, entry.enabled, nearName(entry.range.first)});
    return list;
}

std::string DebugSession::breakpointFile() const {
    return breakpointFilePath(calculator_.ramPath());
}

void DebugSession::changed() {
    if (!withFile_) return;
    breakpointFileState_ = saveBreakpoints(breakpointFile(), romChecksum_, breakpoints_, &symbols_);
    if (!breakpointFileState_) {
        const Failure& failure = breakpointFileState_.failure();
        breakpointFileState_ = Failure{failure.code, "The breakpoints are not saved in " +
                                                         breakpointFile() + ": " + failure.reason};
    }
}

// --- symbols ------------------------------------------------------------------------------------

Result<std::string> DebugSession::loadSymbols(const std::string& path) {
    const auto loaded = symbols_.loadFile(path);
    if (!loaded) return loaded.failure();
    const std::vector<std::string>& left = loaded->numberNames;
    if (left.empty()) return std::string();
    const std::size_t shown = std::min<std::size_t>(left.size(), 5);
    std::string names;
    for (std::size_t i = 0; i < shown; ++i) names += (i ? ", " : "") + left[i];
    if (shown < left.size()) names += ", ...";
    return "Left out, since they read as numbers (an address typed as a number means "
           "that number): " +
           names + ".";
}

std::string DebugSession::symbolFileBesideRom() const {
    if (machine_.romFile.empty()) return {};
    std::filesystem::path path(machine_.romFile);
    path.replace_extension(".sym");
    return isRegularFile(path.string()) ? path.string() : std::string();
}

std::string DebugSession::nameAt(uint16_t address) const {
    const std::string* name = symbols_.nameAt(address);
    return name ? *name : std::string();
}

std::string DebugSession::nearName(uint16_t address) const {
    const auto near = symbols_.nearest(address, nameReach - 1);
    return near ? near->text() : std::string();
}

std::optional<uint16_t> DebugSession::parseAddress(std::string_view input) const {
    const std::string_view text = trimBlanks(input);
    if (text.empty()) return std::nullopt;
    if (const auto value = parseMarkedNumber(text, 16, 0xFFFF))
        return static_cast<uint16_t>(*value);
    return symbols_.find(std::string(text));
}

std::string DebugSession::addressText(uint16_t address) const {
    char text[8];
    std::snprintf(text, sizeof text, "%04X", address);
    const std::string name = nearName(address);
    return name.empty() ? std::string(text) : std::string(text) + " (" + name + ")";
}

// --- trace ---------------------------------------------------------------------------------------

void DebugSession::startTrace(std::size_t count) {
    auto trace = std::make_unique<TraceRecorder>(count);
    HoldGuard hold(machine_.control);
    stepper_.setTrace(trace.get());
    trace_ = std::move(trace);
    updateSupervisor();
}

std::vector<std::string> DebugSession::traceLines() const {
    if (!trace_) return {};
    HoldGuard hold(machine_.control);
    return trace_->lines(&symbols_);
}

Result<> DebugSession::writeTrace(const std::string& path) const {
    std::string text;
    for (const std::string& line : traceLines()) text += line + "\n";
    const Result<> written = writeWholeFile(path, text.data(), text.size());
    if (written) return {};
    // The system's text alone, as the runner has always reported it.
    return Failure::system(written.failure().code);
}

std::size_t DebugSession::tracedKept() const {
    if (!trace_) return 0;
    HoldGuard hold(machine_.control);
    return trace_->kept();
}

uint64_t DebugSession::tracedInstructions() const {
    if (!trace_) return 0;
    HoldGuard hold(machine_.control);
    return trace_->recorded();
}

}  // namespace vantrel
