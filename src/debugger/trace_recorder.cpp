#include "debugger/trace_recorder.h"

#include <algorithm>

#include "debugger/disassembler.h"
#include "debugger/trace_line.h"
#include "machine/machine.h"

namespace vantrel {

TraceRecorder::TraceRecorder(std::size_t capacity) : entries_(std::max<std::size_t>(capacity, 1)) {}

void TraceRecorder::record(const Machine& m) {
    Entry& entry = entries_[next_];
    entry.registers = m.regs;
    entry.clock = m.model == MachineModel::hardware ? m.chip.clock() : noClock;
    for (unsigned i = 0; i < entry.bytes.size(); ++i)
        entry.bytes[i] = *m.mem.translateRead(static_cast<uint16_t>(m.regs.pc + i));
    next_ = next_ + 1 == entries_.size() ? 0 : next_ + 1;
    ++recorded_;
}

std::size_t TraceRecorder::kept() const {
    return static_cast<std::size_t>(std::min<uint64_t>(recorded_, entries_.size()));
}

std::vector<std::string> TraceRecorder::lines(const SymbolTable* symbols) const {
    std::vector<std::string> result;
    const std::size_t count = kept();
    result.reserve(count);
    std::size_t at = (next_ + entries_.size() - count) % entries_.size();
    for (std::size_t i = 0; i < count; ++i) {
        const Entry& entry = entries_[at];
        const uint16_t pc = entry.registers.pc;
        // The bytes as they were when the instruction ran; nothing past them is needed.
        const ByteReader read = [&entry, pc](uint16_t address) -> uint8_t {
            const auto offset = static_cast<uint16_t>(address - pc);
            return offset < entry.bytes.size() ? entry.bytes[offset] : 0;
        };
        result.push_back(traceLine(
            disassemble(read, pc, symbols), entry.registers,
            entry.clock == noClock ? std::nullopt : std::optional<uint64_t>(entry.clock)));
        at = at + 1 == entries_.size() ? 0 : at + 1;
    }
    return result;
}

}  // namespace vantrel
