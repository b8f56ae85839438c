// The debugger's side of one running calculator: stopping and stepping it, what it
// shows while stopped (registers, code, memory, stack), changing registers and RAM,
// the breakpoints with their file beside the state file, the symbols, and the
// instruction trace. The window's debugger and the headless runner use it; neither
// touches the loop or memory itself.
//
// Every call comes from the front end's thread. The calculator is only read or changed
// while its loop rests (stopped for the debugger, or held for the call), so a view
// taken while it runs is a snapshot between two instructions.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "debugger/address_range.h"
#include "debugger/breakpoints.h"
#include "debugger/stepper.h"
#include "debugger/stop_info.h"
#include "debugger/symbol_table.h"
#include "hardware/memory_map.h"
#include "text/failure.h"
#include "z80/cpu_registers.h"

namespace vantrel {

class Calculator;
class Machine;
class SessionHost;
class TraceRecorder;

// Where the LCD's memory lies, for views that mark it.
inline constexpr AddressRange lcdMemoryRange{lcdAddress, lcdBytes};

// The processor's registers and the hardware around them.
struct MachineView {
    CpuRegisters registers{};
    uint8_t romBank = 0;
    uint8_t port2 = 0;
    uint8_t port3 = 0;  // bit 3: on
    uint8_t port6 = 0;
    uint8_t keyGroupMask = 0;  // port 1 as written: a set bit leaves its key group out
    uint8_t keyLatch = 0;      // the key code latched with the last interrupt request
    bool on = false;
    bool asleep = false;  // HALT has put it to sleep (or does before the next instruction)
    // The hardware model's processor beyond the registers (hardware false: none).
    bool hardware = false;
    uint64_t clock = 0;  // T-states
    uint8_t r = 0;
    bool iff1 = false;
    bool iff2 = false;

    bool operator==(const MachineView&) const = default;
};

// One instruction of the listing.
struct CodeLine {
    uint16_t address = 0;
    uint8_t length = 1;
    std::array<uint8_t, 4> bytes{};
    std::string text;   // the mnemonic, with names where symbols are known
    std::string label;  // the name of this address, if any
    bool traps = false;
    bool breakpoint = false;
    bool breakpointEnabled = false;
};

// A word on the stack; name: the routine a return address goes back into, when a CALL,
// CALL cc or RST just before the word's target would have pushed the word.
struct StackEntry {
    uint16_t address = 0;
    uint16_t value = 0;
    std::string name;
};

struct AddressBreakpointView {
    uint16_t address = 0;
    bool enabled = true;
    std::string name;
};

struct WriteBreakpointView {
    AddressRange range;
    bool enabled = true;
    std::string name;
};

class DebugSession {
public:
    DebugSession(Calculator& calculator, Machine& machine, SessionHost& host);
    ~DebugSession();
    DebugSession(const DebugSession&) = delete;
    DebugSession& operator=(const DebugSession&) = delete;

    // --- open and closed ---------------------------------------------------------------
    // Breakpoints and the break on illegal instructions take effect while the debugger
    // is open. withFile: the ROM's breakpoints are read from the file beside the state
    // file now, and written there after every change.
    void open(bool withFile);
    // The calculator runs on, unwatched; the breakpoints stay for the next opening.
    void close();
    bool isOpen() const { return open_; }

    // Called on the front end's thread whenever the calculator has stopped for the
    // debugger (a breakpoint, a step's end, a Break).
    void setStopListener(std::function<void()> listener);

    // --- running and stopping -----------------------------------------------------------
    bool stopped() const;
    // Whether the calculator's thread exists (it runs, sleeps or is stopped).
    bool running() const;
    StopInfo lastStop() const;
    // "Breakpoint at 10DFh (add32)" and the like.
    std::string stopText() const;
    // A step or Run to Cursor is under way.
    bool stepping() const;

    // Break: stops at the next instruction boundary (at once when asleep in HALT).
    void breakIn();
    // Each of these goes on from a stop; nothing happens otherwise. A step that meets
    // HALT while interrupts are enabled stops after it with the calculator asleep; the
    // next step or Continue lets it sleep, and a step then waits for the key that wakes it.
    void continueRun();
    void stepInto();
    void stepOver();
    void stepOut();
    void runTo(uint16_t address);

    // --- what to show -------------------------------------------------------------------
    MachineView view();
    // count instructions from an address.
    std::vector<CodeLine> code(uint16_t from, int count);
    // The start of the instruction `count` lines above address, as far as the bytes
    // before it can be decoded into instructions that end there.
    uint16_t codeStartBefore(uint16_t address, int count);
    // The bytes as the processor reads them, bank window included.
    std::vector<uint8_t> memory(uint16_t address, std::size_t count);
    std::vector<StackEntry> stack(int count);
    // The instruction at PC with the registers, as a line of the trace.
    std::string stateLine();

    // --- changing, while stopped ---------------------------------------------------------
    bool setRegisters(const CpuRegisters& registers);
    // RAM only (0x8000-0xFFFF): the calculator cannot change its ROM either.
    bool writeMemory(uint16_t address, uint8_t value);

    // --- breakpoints --------------------------------------------------------------------
    bool toggleBreakpoint(uint16_t address);
    bool addBreakpoint(uint16_t address);
    bool removeBreakpoint(uint16_t address);
    bool setBreakpointEnabled(uint16_t address, bool enabled);
    bool addWriteBreakpoint(AddressRange range);
    bool removeWriteBreakpoint(AddressRange range);
    bool setWriteBreakpointEnabled(AddressRange range, bool enabled);
    bool breakOnIllegal() const { return breakpoints_.breakOnIllegal(); }
    void setBreakOnIllegal(bool on);
    std::vector<AddressBreakpointView> breakpoints() const;
    std::vector<WriteBreakpointView> writeBreakpoints() const;
    // The file beside the state file.
    std::string breakpointFile() const;
    // How its last reading or writing went; a failure says what went wrong for the
    // person to see ("The breakpoints are not saved in ...: ...").
    const Result<>& breakpointFileState() const { return breakpointFileState_; }

    // --- symbols ------------------------------------------------------------------------
    // Adds a symbol file's names, unless it cannot be read. Gives what was left out
    // (names that read as numbers) in a sentence; empty when nothing was.
    Result<std::string> loadSymbols(const std::string& path);
    // The ROM image's own symbol file, "<ROM file without extension>.sym", when there is one.
    std::string symbolFileBesideRom() const;
    std::size_t symbolCount() const { return symbols_.size(); }
    std::string nameAt(uint16_t address) const;
    // "add32+3" within 0x100 bytes of a name, else empty.
    std::string nearName(uint16_t address) const;
    // An address typed by the user: 10DF, 10DFh, $10DF, 0x10DF, or a symbol's name. What
    // reads as a number is that number (symbol files cannot name one so).
    std::optional<uint16_t> parseAddress(std::string_view text) const;
    // An address as the debugger writes it: "10DFh (add32)".
    std::string addressText(uint16_t address) const;

    // --- trace ----------------------------------------------------------------------------
    // Keeps the last `count` instructions from now on.
    void startTrace(std::size_t count);
    // The kept instructions, oldest first; instructions recorded in all.
    std::vector<std::string> traceLines() const;
    uint64_t tracedInstructions() const;
    std::size_t tracedKept() const;
    // The trace lines as a text file, replaced atomically.
    Result<> writeTrace(const std::string& path) const;

    // The calculator's thread has ended: a stop no longer applies.
    void calculatorStopped();

private:
    // Installs the stepper as the loop's supervisor when it has something to watch,
    // removes it otherwise. Only while the loop rests.
    void updateSupervisor();
    // Goes on from a stop after `prepare` has set up the stepper.
    template <class Prepare>
    void resume(Prepare&& prepare);
    void changed();
    // Changes the breakpoints while the loop rests, with the supervisor following;
    // tells the front end when edit reports a change (or always, with tellAlways).
    template <class Edit>
    bool editBreakpoints(Edit&& edit, bool tellAlways = false);

    Calculator& calculator_;
    Machine& machine_;
    SessionHost& host_;
    BreakpointSet breakpoints_;
    Stepper stepper_{breakpoints_};
    SymbolTable symbols_;
    std::unique_ptr<TraceRecorder> trace_;
    bool open_ = false;
    bool withFile_ = false;
    Result<> breakpointFileState_;
    uint32_t romChecksum_ = 0;

    // The listener outlives this object in work already posted to the front end.
    struct Listener {
        std::mutex mutex;
        std::function<void()> call;
    };
    std::shared_ptr<Listener> listener_ = std::make_shared<Listener>();
};

}  // namespace vantrel
