#include "debugger/disassembler.h"

#include <cstdio>

#include "debugger/symbol_table.h"
#include "hardware/memory_map.h"

namespace vantrel {

namespace {

// How far below a memory operand or jump target a name may lie and still name it.
constexpr uint16_t maxNameOffset = 15;

constexpr const char* conditionNames[8] = {"NZ", "Z", "NC", "C", "PO", "PE", "P", "M"};

const char* registerName(Arg a) {
    switch (a) {
        case Arg::b:
            return "B";
        case Arg::c:
            return "C";
        case Arg::d:
            return "D";
        case Arg::e:
            return "E";
        case Arg::h:
            return "H";
        case Arg::l:
            return "L";
        case Arg::a:
            return "A";
        case Arg::f:
            return "F";
        case Arg::i:
            return "I";
        case Arg::r:
            return "R";
        case Arg::ixh:
            return "IXh";
        case Arg::ixl:
            return "IXl";
        case Arg::iyh:
            return "IYh";
        case Arg::iyl:
            return "IYl";
        case Arg::af:
            return "AF";
        case Arg::afAlt:
            return "AF'";
        case Arg::bc:
            return "BC";
        case Arg::de:
            return "DE";
        case Arg::hl:
            return "HL";
        case Arg::sp:
            return "SP";
        case Arg::ix:
            return "IX";
        case Arg::iy:
            return "IY";
        case Arg::atBC:
            return "(BC)";
        case Arg::atDE:
            return "(DE)";
        case Arg::atHL:
            return "(HL)";
        case Arg::atSP:
            return "(SP)";
        case Arg::atC:
            return "(C)";
        default:
            return nullptr;
    }
}

std::string hexText(unsigned value, int digits) {
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "%0*X", digits, value);
    std::string text = buffer;
    if (text[0] > '9') text.insert(0, "0");  // an assembler reads it as a number
    return text + 'h';
}

std::string byteText(uint8_t value) { return hexText(value, 2); }

std::string displacementText(int8_t d) {
    const int magnitude = d < 0 ? -d : d;
    return (d < 0 ? "-" : "+") + hexText(static_cast<unsigned>(magnitude), 2);
}

bool conditionHolds(unsigned condition, uint8_t f) {
    static constexpr uint8_t flagOf[4] = {flagZ, flagC, flagPV, flagS};
    const bool set = (f & flagOf[condition >> 1]) != 0;
    return (condition & 1) ? set : !set;
}

FlowKind flowKind(const OpcodeInfo& info) {
    const bool relative = info.op == Operation::jr || info.op == Operation::djnz;
    switch (info.flow) {
        case Flow::jump:
            if (relative)
                return info.conditional ? FlowKind::conditionalRelativeJump
                                        : FlowKind::relativeJump;
            return info.conditional ? FlowKind::conditionalJump : FlowKind::jump;
        case Flow::call:
            return info.conditional ? FlowKind::conditionalCall : FlowKind::call;
        case Flow::ret:
            return info.conditional ? FlowKind::conditionalReturn : FlowKind::ret;
        case Flow::restart:
            return FlowKind::restart;
        case Flow::halt:
            return FlowKind::halt;
        case Flow::blockRepeat:
            return FlowKind::repeatingBlock;
        default:
            return FlowKind::plain;
    }
}

// The bytes before the operands: the prefix and opcode. A DDCB/FDCB form's
// displacement comes before its final byte, at the third byte.
unsigned opcodeBytes(const std::array<uint8_t, 4>& b) {
    const bool prefixed = b[0] == 0xCB || b[0] == 0xDD || b[0] == 0xED || b[0] == 0xFD;
    return prefixed ? 2 : 1;
}

class Renderer {
public:
    Renderer(Instruction& in, const SymbolTable* symbols)
        : in_(in), symbols_(symbols), at_(opcodeBytes(in.bytes)) {}

    std::string render() {
        const OpcodeInfo& info = *in_.info;
        if (info.op == Operation::droppedPrefix)
            return "DB " + byteText(in_.bytes[0]) + " ; prefix ignored";
        if (info.op == Operation::edNop) return "DB EDh," + byteText(in_.bytes[1]) + " ; NOP";
        std::string text = mnemonic(info.op);
        const char* separator = " ";
        for (const Operand& operand : {info.first, info.second}) {
            if (operand.arg == Arg::none) continue;
            text += separator + operandText(operand);
            separator = ",";
        }
        if (info.copy != Arg::none) text += std::string(",") + registerName(info.copy);
        return text;
    }

private:
    uint8_t next() { return in_.bytes[at_++]; }
    uint16_t nextWord() {
        const uint8_t low = next();
        return static_cast<uint16_t>(low | next() << 8);
    }

    // An address by its name where the symbols know one.
    std::string named(uint16_t value) const {
        if (symbols_)
            if (const std::string* name = symbols_->nameAt(value)) return *name;
        return hexText(value, 4);
    }
    // ... and also by a name a few bytes below it, in the same memory (ROM or RAM).
    std::string namedNear(uint16_t value) const {
        if (symbols_ && !symbols_->nameAt(value))
            if (const auto near = symbols_->nearest(value, maxNameOffset))
                if (((value - near->offset) ^ value) < 0x8000) return near->text();
        return named(value);
    }

    std::string operandText(const Operand& operand) {
        const OpcodeInfo& info = *in_.info;
        switch (operand.arg) {
            case Arg::atIXd:
            case Arg::atIYd: {
                // A DDCB/FDCB form's displacement is its third byte, before the final one.
                const auto d = static_cast<int8_t>(
                    info.length == 4 && in_.bytes[1] == 0xCB ? in_.bytes[2] : next());
                return std::string(operand.arg == Arg::atIXd ? "(IX" : "(IY") +
                       displacementText(d) + ")";
            }
            case Arg::n:
                return byteText(next());
            case Arg::nn: {
                const uint16_t value = nextWord();
                if (info.op == Operation::jp || info.op == Operation::call) {
                    in_.target = value;
                    return namedNear(value);
                }
                // A 16-bit load is mostly of an address, but a 0 there clears or counts.
                return value == 0 ? hexText(0, 4) : named(value);
            }
            case Arg::atNN:
                return "(" + namedNear(nextWord()) + ")";
            case Arg::atN:
                return "(" + byteText(next()) + ")";
            case Arg::rel: {
                const auto e = static_cast<int8_t>(next());
                const auto target = static_cast<uint16_t>(in_.address + in_.length + e);
                in_.target = target;
                return namedNear(target);
            }
            case Arg::cond:
                return conditionNames[operand.value & 7];
            case Arg::number:
                return std::to_string(operand.value);
            case Arg::restart:
                in_.target = operand.value;
                return byteText(operand.value);
            case Arg::hl:
            case Arg::ix:
            case Arg::iy:
                // JP (HL) goes to HL itself, written in parentheses.
                if (info.op == Operation::jp)
                    return std::string("(") + registerName(operand.arg) + ")";
                return registerName(operand.arg);
            default:
                return registerName(operand.arg);
        }
    }

    Instruction& in_;
    const SymbolTable* symbols_;
    unsigned at_;
};

std::array<uint8_t, 4> bytesAt(const ByteReader& read, uint16_t address) {
    std::array<uint8_t, 4> bytes{};
    for (unsigned i = 0; i < bytes.size(); ++i) bytes[i] = read(static_cast<uint16_t>(address + i));
    return bytes;
}

}  // namespace

ByteReader memoryMapReader(const MemoryMap& memory) {
    return [&memory](uint16_t address) { return *memory.translateRead(address); };
}

Instruction disassemble(const ByteReader& read, uint16_t address, const SymbolTable* symbols,
                        Personality personality) {
    Instruction in;
    in.address = address;
    in.personality = personality;
    in.bytes = bytesAt(read, address);
    in.info = &describeInstruction(in.bytes);
    in.traps = personality == Personality::classic && !in.info->classic;
    in.length = static_cast<uint8_t>(in.traps ? classicTrapLength(in.bytes) : in.info->length);
    for (unsigned i = in.length; i < in.bytes.size(); ++i) in.bytes[i] = 0;
    if (in.traps) {
        in.text = "DB ";
        for (unsigned i = 0; i < in.length; ++i) in.text += (i ? "," : "") + byteText(in.bytes[i]);
        in.text += " ; trap";
        return in;
    }
    in.flow = flowKind(*in.info);
    in.text = Renderer(in, symbols).render();
    return in;
}

bool instructionTraps(const std::array<uint8_t, 4>& bytes) { return !existsOnClassic(bytes); }

std::optional<AddressRange> memoryWrites(const Instruction& in, const CpuRegisters& r) {
    if (in.traps || !in.info) return std::nullopt;
    const OpcodeInfo& info = *in.info;
    const bool chip = in.personality == Personality::complete;
    const auto& b = in.bytes;
    const auto byteAt = [](uint16_t address) { return AddressRange{address, 1}; };
    // This machine moves a word to two consecutive host bytes at the translation of its
    // low address, so one stored at 0x7FFF lands whole in the write sink and 0x8000
    // keeps its value; the chip stores two bytes through the map.
    const auto wordAt = [chip](uint16_t address) {
        return AddressRange{address, !chip && address == 0x7FFF ? 1u : 2u};
    };
    const auto stored = [&](uint16_t address) {
        return info.storeBytes == 2 ? wordAt(address) : byteAt(address);
    };
    switch (info.store) {
        case Store::atBC:
            return byteAt(r.bc());
        case Store::atDE:
            return byteAt(r.de());
        case Store::atHL:
            return byteAt(r.hl());
        case Store::atIndex:
            return byteAt(
                static_cast<uint16_t>((b[0] == 0xDD ? r.ix : r.iy) + static_cast<int8_t>(b[2])));
        case Store::atNN:
            return stored(static_cast<uint16_t>(b[in.length - 2u] | b[in.length - 1u] << 8));
        case Store::push:
            if (info.conditional && !conditionHolds(info.first.value, r.f)) return std::nullopt;
            return wordAt(static_cast<uint16_t>(r.sp - 2));
        case Store::stackTop:
            return wordAt(r.sp);
        case Store::blockAtDE:
        case Store::blockAtHL: {
            // This machine runs the repeating forms whole: LDIR and LDDR store BC bytes
            // (65536 for BC 0), INIR and INDR store B bytes (256 for B 0). The chip
            // stores one byte a round.
            const bool toDE = info.store == Store::blockAtDE;
            uint32_t count = 1;
            if (info.flow == Flow::blockRepeat && !chip)
                count = toDE ? (r.bc() ? r.bc() : 0x10000u) : (r.b ? r.b : 0x100u);
            const uint16_t start = toDE ? r.de() : r.hl();
            const bool up = info.op == Operation::ldi || info.op == Operation::ldir ||
                            info.op == Operation::ini || info.op == Operation::inir;
            return AddressRange{up ? start : static_cast<uint16_t>(start - (count - 1)), count};
        }
        default:
            return std::nullopt;
    }
}

}  // namespace vantrel
