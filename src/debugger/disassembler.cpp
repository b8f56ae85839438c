#include "debugger/disassembler.h"

#include <bitset>
#include <cstdio>
#include <initializer_list>

#include "debugger/symbol_table.h"
#include "hardware/memory_map.h"

namespace vantrel {

namespace {

constexpr const char* conditionNames[8] = {"NZ", "Z", "NC", "C", "PO", "PE", "P", "M"};
constexpr const char* aluNames[8] = {"ADD A,", "ADC A,", "SUB ", "SBC A,",
                                     "AND ",   "XOR ",   "OR ",  "CP "};
constexpr const char* shiftNames[8] = {"RLC", "RRC", "RL", "RR", "SLA", "SRA", "SLL", "SRL"};
constexpr const char* accumulatorOps[8] = {"RLCA", "RRCA", "RLA", "RRA",
                                           "DAA",  "CPL",  "SCF", "CCF"};
constexpr const char* blockNames[4][4] = {{"LDI", "CPI", "INI", "OUTI"},
                                          {"LDD", "CPD", "IND", "OUTD"},
                                          {"LDIR", "CPIR", "INIR", "OTIR"},
                                          {"LDDR", "CPDR", "INDR", "OTDR"}};

using OpcodeSet = std::bitset<256>;

OpcodeSet opcodeSet(std::initializer_list<uint8_t> opcodes) {
    OpcodeSet set;
    for (uint8_t op : opcodes) set.set(op);
    return set;
}

// DD and FD opcodes that hold an instruction here (the same for both). The others trap
// instead of running the unprefixed instruction; the repeated prefixes are separate.
// clang-format off
const OpcodeSet indexOpcodes = opcodeSet({
    0x09, 0x19, 0x29, 0x39, 0x21, 0x22, 0x2A, 0x23, 0x2B,              // 16-bit
    0x24, 0x25, 0x26, 0x2C, 0x2D, 0x2E,                                // IXh, IXl
    0x34, 0x35, 0x36,                                                  // on (IX+d)
    0x44, 0x4C, 0x54, 0x5C, 0x7C, 0x45, 0x4D, 0x55, 0x5D, 0x7D,        // LD r,IXh/IXl
    0x60, 0x61, 0x62, 0x63, 0x65, 0x67, 0x68, 0x69, 0x6A, 0x6B, 0x6C, 0x6F,  // LD IXh/IXl,r
    0x46, 0x4E, 0x56, 0x5E, 0x66, 0x6E, 0x7E,                          // LD r,(IX+d)
    0x70, 0x71, 0x72, 0x73, 0x74, 0x75, 0x77,                          // LD (IX+d),r
    0x84, 0x85, 0x8C, 0x8D,                                            // ADD/ADC IXh/IXl
    0x86, 0x8E, 0x96, 0x9E, 0xA6, 0xAE, 0xB6, 0xBE,                    // ALU (IX+d)
    0xCB, 0xE1, 0xE3, 0xE5, 0xE9, 0xF9,
});

// ED opcodes that hold an instruction here: the documented set without copies.
const OpcodeSet edOpcodes = opcodeSet({
    0x40, 0x48, 0x50, 0x58, 0x60, 0x68, 0x78, 0x41, 0x49, 0x51, 0x59, 0x61, 0x69, 0x79,
    0x42, 0x52, 0x62, 0x72, 0x4A, 0x5A, 0x6A, 0x7A, 0x43, 0x53, 0x73, 0x4B, 0x5B, 0x7B,
    0x44, 0x45, 0x4D, 0x46, 0x56, 0x5E, 0x47, 0x4F, 0x57, 0x5F, 0x67, 0x6F,
    0xA0, 0xA8, 0xB0, 0xB8, 0xA1, 0xA9, 0xB1, 0xB9, 0xA2, 0xAA, 0xB2, 0xBA, 0xA3, 0xAB, 0xB3, 0xBB,
});
// clang-format on

bool isSllSlot(uint8_t op) { return (op & 0xF8) == 0x30; }

// Only the forms on memory alone, without SLL, exist after DD CB d.
bool indexedCbExists(uint8_t op) { return (op & 7) == 6 && op != 0x36; }

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

class Decoder {
public:
    Decoder(const ByteReader& read, uint16_t address, const SymbolTable* symbols)
        : read_(read), symbols_(symbols) {
        in_.address = address;
        in_.length = 0;
    }

    Instruction run() {
        const uint8_t op = fetch();
        switch (op) {
            case 0xCB:
                decodeCb();
                break;
            case 0xED:
                decodeEd();
                break;
            case 0xDD:
                decodeIndex("IX");
                break;
            case 0xFD:
                decodeIndex("IY");
                break;
            default:
                decodeMain(op);
                break;
        }
        return std::move(in_);
    }

private:
    uint8_t fetch() {
        const uint8_t value = read_(static_cast<uint16_t>(in_.address + in_.length));
        if (in_.length < in_.bytes.size()) in_.bytes[in_.length] = value;
        ++in_.length;
        return value;
    }
    uint16_t fetchWord() {
        const uint8_t low = fetch();
        return static_cast<uint16_t>(low | fetch() << 8);
    }

    std::string address(uint16_t value) const {
        if (symbols_)
            if (const std::string* name = symbols_->nameAt(value)) return *name;
        return hexText(value, 4);
    }
    std::string wordOperand() { return address(fetchWord()); }
    // A 16-bit load is mostly of an address, but a 0 there clears or counts.
    std::string immediateWord() {
        const uint16_t value = fetchWord();
        return value == 0 ? hexText(0, 4) : address(value);
    }
    std::string byteOperand() { return byteText(fetch()); }

    void set(std::string text, FlowKind flow = FlowKind::plain) {
        in_.text = std::move(text);
        in_.flow = flow;
    }
    void setTransfer(std::string text, FlowKind flow, uint16_t target) {
        set(std::move(text), flow);
        in_.target = target;
    }

    void trap() {
        std::string text = "DB ";
        for (unsigned i = 0; i < in_.length; ++i) text += (i ? "," : "") + byteText(in_.bytes[i]);
        set(text + " ; trap");
        in_.traps = true;
    }

    // HL, or the index register in its place.
    std::string pairHL() const { return index_ ? index_ : "HL"; }
    std::string pair(unsigned p) const {
        static constexpr const char* names[4] = {"BC", "DE", nullptr, "SP"};
        return p == 2 ? pairHL() : names[p];
    }
    std::string stackPair(unsigned p) const { return p == 3 ? "AF" : pair(p); }

    // The register field; with an index prefix 6 is (IX+d), whose displacement comes
    // next in the stream, and 4 and 5 are the index halves unless the instruction also
    // has the memory operand.
    std::string reg(unsigned field) {
        static constexpr const char* names[8] = {"B", "C", "D", "E", "H", "L", "(HL)", "A"};
        if (!index_) return names[field];
        if (field == 6)
            return std::string("(") + index_ + displacementText(static_cast<int8_t>(fetch())) + ")";
        if ((field == 4 || field == 5) && !indexMemoryForm_)
            return std::string(index_) + (field == 4 ? "h" : "l");
        return names[field];
    }

    std::string relativeTarget(uint16_t& target) {
        const auto e = static_cast<int8_t>(fetch());
        target = static_cast<uint16_t>(in_.address + in_.length + e);
        return address(target);
    }

    void decodeMain(uint8_t op) {
        const unsigned x = op >> 6, y = (op >> 3) & 7, z = op & 7, p = y >> 1, q = y & 1;
        uint16_t target = 0;
        switch (x) {
            case 0:
                switch (z) {
                    case 0:
                        if (y == 0) return set("NOP");
                        if (y == 1) return set("EX AF,AF'");
                        if (y == 2) {
                            std::string text = "DJNZ " + relativeTarget(target);
                            return setTransfer(text, FlowKind::conditionalRelativeJump, target);
                        }
                        if (y == 3) {
                            std::string text = "JR " + relativeTarget(target);
                            return setTransfer(text, FlowKind::relativeJump, target);
                        }
                        {
                            std::string text = std::string("JR ") + conditionNames[y - 4] + "," +
                                               relativeTarget(target);
                            return setTransfer(text, FlowKind::conditionalRelativeJump, target);
                        }
                    case 1:
                        if (q == 0) return set("LD " + pair(p) + "," + immediateWord());
                        return set("ADD " + pairHL() + "," + pair(p));
                    case 2: {
                        static constexpr const char* through[2] = {"(BC)", "(DE)"};
                        if (p < 2)
                            return set(q ? std::string("LD A,") + through[p]
                                         : std::string("LD ") + through[p] + ",A");
                        const std::string memory = "(" + wordOperand() + ")";
                        if (p == 2)
                            return set(q ? "LD " + pairHL() + "," + memory
                                         : "LD " + memory + "," + pairHL());
                        return set(q ? "LD A," + memory : "LD " + memory + ",A");
                    }
                    case 3:
                        return set((q ? "DEC " : "INC ") + pair(p));
                    case 4:
                        return set("INC " + reg(y));
                    case 5:
                        return set("DEC " + reg(y));
                    case 6: {
                        std::string destination = reg(y);  // (IX+d) comes before n
                        return set("LD " + destination + "," + byteOperand());
                    }
                    default:
                        return set(accumulatorOps[y]);
                }
            case 1:
                if (op == 0x76) return set("HALT", FlowKind::halt);
                {
                    std::string destination = reg(y);
                    return set("LD " + destination + "," + reg(z));
                }
            case 2:
                return set(aluNames[y] + reg(z));
            default:
                break;
        }
        switch (z) {
            case 0:
                return set(std::string("RET ") + conditionNames[y], FlowKind::conditionalReturn);
            case 1:
                if (q == 0) return set("POP " + stackPair(p));
                if (p == 0) return set("RET", FlowKind::ret);
                if (p == 1) return set("EXX");
                if (p == 2) return set("JP (" + pairHL() + ")", FlowKind::jump);
                return set("LD SP," + pairHL());
            case 2:
                target = fetchWord();
                return setTransfer(std::string("JP ") + conditionNames[y] + "," + address(target),
                                   FlowKind::conditionalJump, target);
            case 3:
                switch (y) {
                    case 0:
                        target = fetchWord();
                        return setTransfer("JP " + address(target), FlowKind::jump, target);
                    case 2:
                        return set("OUT (" + byteOperand() + "),A");
                    case 3:
                        return set("IN A,(" + byteOperand() + ")");
                    case 4:
                        return set("EX (SP)," + pairHL());
                    case 5:
                        return set("EX DE,HL");
                    case 6:
                        return set("DI");
                    default:
                        return set("EI");
                }
            case 4:
                target = fetchWord();
                return setTransfer(std::string("CALL ") + conditionNames[y] + "," + address(target),
                                   FlowKind::conditionalCall, target);
            case 5:
                if (q == 0) return set("PUSH " + stackPair(p));
                target = fetchWord();
                return setTransfer("CALL " + address(target), FlowKind::call, target);
            case 6:
                return set(aluNames[y] + byteOperand());
            default:
                target = static_cast<uint16_t>(y * 8);
                return setTransfer("RST " + byteText(static_cast<uint8_t>(target)),
                                   FlowKind::restart, target);
        }
    }

    void decodeCb() {
        const uint8_t op = fetch();
        if (isSllSlot(op)) return trap();
        const unsigned y = (op >> 3) & 7;
        switch (op >> 6) {
            case 0:
                return set(std::string(shiftNames[y]) + " " + reg(op & 7));
            case 1:
                return set("BIT " + std::to_string(y) + "," + reg(op & 7));
            case 2:
                return set("RES " + std::to_string(y) + "," + reg(op & 7));
            default:
                return set("SET " + std::to_string(y) + "," + reg(op & 7));
        }
    }

    void decodeIndex(const char* indexName) {
        const uint8_t op = fetch();
        if (op == 0xDD || op == 0xFD) {
            in_.length = 1;
            in_.bytes[1] = 0;
            return set("DB " + byteText(in_.bytes[0]) + " ; prefix ignored");
        }
        if (!indexOpcodes[op]) return trap();
        if (op == 0xCB) return decodeIndexedCb(indexName);
        const unsigned x = op >> 6, y = (op >> 3) & 7, z = op & 7;
        index_ = indexName;
        indexMemoryForm_ =
            (x == 1 && (y == 6 || z == 6)) || (x == 2 && z == 6) || (x == 0 && y == 6);
        decodeMain(op);
    }

    void decodeIndexedCb(const char* indexName) {
        const auto d = static_cast<int8_t>(fetch());
        const uint8_t op = fetch();
        if (!indexedCbExists(op)) return trap();
        const std::string operand = std::string("(") + indexName + displacementText(d) + ")";
        const unsigned y = (op >> 3) & 7;
        switch (op >> 6) {
            case 0:
                return set(std::string(shiftNames[y]) + " " + operand);
            case 1:
                return set("BIT " + std::to_string(y) + "," + operand);
            case 2:
                return set("RES " + std::to_string(y) + "," + operand);
            default:
                return set("SET " + std::to_string(y) + "," + operand);
        }
    }

    void decodeEd() {
        const uint8_t op = fetch();
        if (!edOpcodes[op]) return trap();
        const unsigned y = (op >> 3) & 7, z = op & 7, p = y >> 1, q = y & 1;
        if (op >= 0xA0) {
            const bool repeats = y >= 6;
            return set(blockNames[y - 4][z], repeats ? FlowKind::repeatingBlock : FlowKind::plain);
        }
        switch (z) {
            case 0:
                return set("IN " + reg(y) + ",(C)");
            case 1:
                return set("OUT (C)," + reg(y));
            case 2:
                return set((q ? "ADC HL," : "SBC HL,") + pair(p));
            case 3: {
                const std::string memory = "(" + wordOperand() + ")";
                return set(q ? "LD " + pair(p) + "," + memory : "LD " + memory + "," + pair(p));
            }
            case 4:
                return set("NEG");
            case 5:
                return set(y == 1 ? "RETI" : "RETN", FlowKind::ret);
            case 6:
                return set(y == 0 ? "IM 0" : y == 2 ? "IM 1" : "IM 2");
            default: {
                static constexpr const char* names[6] = {"LD I,A", "LD R,A", "LD A,I",
                                                         "LD A,R", "RRD",    "RLD"};
                return set(names[y]);
            }
        }
    }

    const ByteReader& read_;
    const SymbolTable* symbols_;
    Instruction in_;
    const char* index_ = nullptr;  // "IX" or "IY" while decoding an index instruction
    bool indexMemoryForm_ = false;
};

}  // namespace

ByteReader memoryMapReader(const MemoryMap& memory) {
    return [&memory](uint16_t address) { return *memory.translateRead(address); };
}

Instruction disassemble(const ByteReader& read, uint16_t address, const SymbolTable* symbols) {
    return Decoder(read, address, symbols).run();
}

bool instructionTraps(const std::array<uint8_t, 4>& b) {
    switch (b[0]) {
        case 0xCB:
            return isSllSlot(b[1]);
        case 0xED:
            return !edOpcodes[b[1]];
        case 0xDD:
        case 0xFD:
            if (b[1] == 0xDD || b[1] == 0xFD) return false;  // the first prefix is dropped
            if (!indexOpcodes[b[1]]) return true;
            return b[1] == 0xCB && !indexedCbExists(b[3]);
        default:
            return false;
    }
}

std::optional<AddressRange> memoryWrites(const Instruction& in, const CpuRegisters& r) {
    if (in.traps) return std::nullopt;
    const auto& b = in.bytes;
    const auto byteAt = [](uint16_t address) { return AddressRange{address, 1}; };
    // A word goes to two consecutive host bytes at the translation of its low address,
    // so one stored at 0x7FFF lands whole in the write sink and 0x8000 keeps its value.
    const auto wordAt = [](uint16_t address) {
        return AddressRange{address, address == 0x7FFF ? 1u : 2u};
    };
    const AddressRange push = wordAt(static_cast<uint16_t>(r.sp - 2));
    const auto word = [&b](unsigned at) { return static_cast<uint16_t>(b[at] | b[at + 1] << 8); };

    const uint8_t op = b[0];
    switch (op) {
        case 0x02:
            return byteAt(r.bc());
        case 0x12:
            return byteAt(r.de());
        case 0x22:
            return wordAt(word(1));
        case 0x32:
            return byteAt(word(1));
        case 0x34:
        case 0x35:
        case 0x36:
        case 0x70:
        case 0x71:
        case 0x72:
        case 0x73:
        case 0x74:
        case 0x75:
        case 0x77:
            return byteAt(r.hl());
        case 0xE3:
            return wordAt(r.sp);
        case 0xCD:
        case 0xC5:
        case 0xD5:
        case 0xE5:
        case 0xF5:
            return push;
        case 0xCB: {
            const uint8_t cb = b[1];
            if ((cb & 7) == 6 && (cb >> 6) != 1) return byteAt(r.hl());  // not BIT
            return std::nullopt;
        }
        case 0xED: {
            const uint8_t ed = b[1];
            if (ed == 0x43 || ed == 0x53 || ed == 0x73) return wordAt(word(2));
            if (ed == 0x67 || ed == 0x6F) return byteAt(r.hl());
            // The repeating forms run whole: LDIR and LDDR store BC bytes (65536 for BC
            // 0), INIR and INDR store B bytes (256 for B 0).
            const bool up = (ed & 0x08) == 0;
            uint32_t count = 1;
            uint16_t start = 0;
            if (ed == 0xA0 || ed == 0xA8 || ed == 0xB0 || ed == 0xB8) {
                if (ed >= 0xB0) count = r.bc() ? r.bc() : 0x10000;
                start = r.de();
            } else if (ed == 0xA2 || ed == 0xAA || ed == 0xB2 || ed == 0xBA) {
                if (ed >= 0xB0) count = r.b ? r.b : 0x100;
                start = r.hl();
            } else {
                return std::nullopt;
            }
            return AddressRange{up ? start : static_cast<uint16_t>(start - (count - 1)), count};
        }
        case 0xDD:
        case 0xFD: {
            if (in.length < 2) return std::nullopt;  // a dropped prefix
            const uint16_t index = op == 0xDD ? r.ix : r.iy;
            const auto indexed = byteAt(static_cast<uint16_t>(index + static_cast<int8_t>(b[2])));
            switch (b[1]) {
                case 0x22:
                    return wordAt(word(2));
                case 0x34:
                case 0x35:
                case 0x36:
                case 0x70:
                case 0x71:
                case 0x72:
                case 0x73:
                case 0x74:
                case 0x75:
                case 0x77:
                    return indexed;
                case 0xCB:
                    return (b[3] >> 6) != 1 ? std::optional(indexed) : std::nullopt;
                case 0xE3:
                    return wordAt(r.sp);
                case 0xE5:
                    return push;
                default:
                    return std::nullopt;
            }
        }
        default:
            break;
    }
    if ((op & 0xC7) == 0xC7) return push;  // RST
    if ((op & 0xC7) == 0xC4 && conditionHolds((op >> 3) & 7, r.f)) return push;
    return std::nullopt;
}

}  // namespace vantrel
