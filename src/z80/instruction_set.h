// The instruction set, described once.
//
// Every slot of the five sub-tables (main, CB, DD, ED, FD: instructionSet, laid out as
// the dispatch tables are) and every final byte of the DDCB and FDCB forms
// (indexedCbSet) is one OpcodeInfo: what it does, its operands as written, its length,
// its T-states, where control goes, what it stores into memory, and whether this
// machine's personality has it. The complete Z80 has every slot.
//
// Everything that needs to know an instruction reads this: the executor's tables
// (instruction_table.h builds both personalities' handlers from it), the debugger's
// disassembler, its Step Over, its write breakpoints and its trap test. Adding or
// changing an instruction is an edit here (and, for a new kind of operation, its
// semantics in execute.h).
//
// The entries are generated from the opcode's fields (x = bits 7-6, y = 5-3, z = 2-0,
// p = y >> 1, q = y & 1) as the chip decodes them; the DD and FD sub-tables are the main
// one with IX or IY in place of HL.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "z80/table_layout.h"

namespace vantrel {

// What an instruction does. The executor has one piece of code for each.
enum class Operation : uint8_t {
    nop,
    prefix,         // CB, DD, ED or FD (first operand): the next byte picks the slot
    indexedPrefix,  // DD CB or FD CB: a displacement and the final byte follow
    droppedPrefix,  // DD or FD before an opcode that it does not change: runs alone
    edNop,          // an ED slot without an instruction: the chip does nothing
    ld8,
    ld16,
    ldAFromIR,  // LD A,I and LD A,R, which also set flags
    push,
    pop,
    exAF,
    exx,
    exDEHL,
    exSP,
    add,
    adc,
    sub,
    sbc,
    and_,
    xor_,
    or_,
    cp,
    inc8,
    dec8,
    inc16,
    dec16,
    add16,
    adc16,
    sbc16,
    rlca,
    rrca,
    rla,
    rra,
    daa,
    cpl,
    scf,
    ccf,
    neg,
    rlc,
    rrc,
    rl,
    rr,
    sla,
    sra,
    sll,
    srl,
    bit,
    res,
    set,
    rrd,
    rld,
    jp,
    jr,
    djnz,
    call,
    ret,
    retn,
    reti,
    rst,
    halt,
    di,
    ei,
    im,
    in,
    out,
    ldi,
    ldd,
    ldir,
    lddr,
    cpi,
    cpd,
    cpir,
    cpdr,
    ini,
    ind,
    inir,
    indr,
    outi,
    outd,
    otir,
    otdr,
};

// The operand kinds, as written and as the executor reaches them.
enum class Arg : uint8_t {
    none,
    b,  // the 8-bit registers in the order of the register field
    c,
    d,
    e,
    h,
    l,
    a,
    f,  // only in IN F,(C), which sets the flags and keeps nothing
    i,
    r,
    ixh,
    ixl,
    iyh,
    iyl,
    af,
    afAlt,
    bc,
    de,
    hl,  // also JP (HL): the jump goes to HL itself, written in parentheses
    sp,
    ix,
    iy,
    atBC,  // memory at a pair
    atDE,
    atHL,
    atSP,
    atIXd,  // (IX+d) and (IY+d): the displacement byte follows in the stream
    atIYd,
    n,        // an immediate byte
    nn,       // an immediate word
    atNN,     // memory at an immediate word
    atN,      // a port given by an immediate byte
    atC,      // the port in C
    rel,      // a relative jump's displacement, shown as its target
    cond,     // value: the condition field (NZ, Z, NC, C, PO, PE, P, M)
    number,   // value: a bit number, an interrupt mode, OUT (C),0's 0, a prefix byte
    restart,  // value: RST's target
};

struct Operand {
    Arg arg = Arg::none;
    uint8_t value = 0;
};

enum class Flow : uint8_t { none, jump, call, ret, restart, halt, blockRepeat, prefix };

// Where the instruction stores into memory.
enum class Store : uint8_t {
    none,
    atBC,
    atDE,
    atHL,
    atIndex,    // (IX+d) or (IY+d)
    atNN,       // the immediate address: a byte or a word
    push,       // a word below SP (PUSH, CALL, RST; CALL cc only when taken)
    stackTop,   // the word at SP (EX (SP),HL)
    blockAtDE,  // LDI and its family: at DE, BC bytes when it repeats whole
    blockAtHL,  // INI and its family: at HL, B bytes when it repeats whole
};

struct OpcodeInfo {
    Operation op = Operation::nop;
    Operand first;  // the operands as written: "LD first,second"
    Operand second;
    Arg copy = Arg::none;  // DDCB/FDCB forms that also copy the result into a register
    uint8_t length = 1;    // bytes with prefixes and operands
    // T-states on the complete chip: the whole instruction, or when a condition fails,
    // or the last round of a block instruction ...
    uint8_t cycles = 4;
    // ... and when the condition holds, or for each round that repeats. The prefix
    // slots count nothing themselves: the slot they lead to counts the instruction.
    uint8_t cyclesTaken = 4;
    uint8_t fetches = 1;  // opcode fetches, which R counts: one per prefix and opcode
    Flow flow = Flow::none;
    bool conditional = false;  // cycles and cyclesTaken differ by a condition or a repeat
    Store store = Store::none;
    uint8_t storeBytes = 0;
    bool classic = true;  // this machine's personality has it; otherwise the slot traps
};

// The operation's mnemonic as written.
constexpr const char* mnemonic(Operation op) {
    using O = Operation;
    switch (op) {
        case O::nop:
        case O::edNop:
            return "NOP";
        case O::prefix:
        case O::indexedPrefix:
        case O::droppedPrefix:
            return "DB";
        case O::ld8:
        case O::ld16:
        case O::ldAFromIR:
            return "LD";
        case O::push:
            return "PUSH";
        case O::pop:
            return "POP";
        case O::exAF:
        case O::exDEHL:
        case O::exSP:
            return "EX";
        case O::exx:
            return "EXX";
        case O::add:
        case O::add16:
            return "ADD";
        case O::adc:
        case O::adc16:
            return "ADC";
        case O::sub:
            return "SUB";
        case O::sbc:
        case O::sbc16:
            return "SBC";
        case O::and_:
            return "AND";
        case O::xor_:
            return "XOR";
        case O::or_:
            return "OR";
        case O::cp:
            return "CP";
        case O::inc8:
        case O::inc16:
            return "INC";
        case O::dec8:
        case O::dec16:
            return "DEC";
        case O::rlca:
            return "RLCA";
        case O::rrca:
            return "RRCA";
        case O::rla:
            return "RLA";
        case O::rra:
            return "RRA";
        case O::daa:
            return "DAA";
        case O::cpl:
            return "CPL";
        case O::scf:
            return "SCF";
        case O::ccf:
            return "CCF";
        case O::neg:
            return "NEG";
        case O::rlc:
            return "RLC";
        case O::rrc:
            return "RRC";
        case O::rl:
            return "RL";
        case O::rr:
            return "RR";
        case O::sla:
            return "SLA";
        case O::sra:
            return "SRA";
        case O::sll:
            return "SLL";
        case O::srl:
            return "SRL";
        case O::bit:
            return "BIT";
        case O::res:
            return "RES";
        case O::set:
            return "SET";
        case O::rrd:
            return "RRD";
        case O::rld:
            return "RLD";
        case O::jp:
            return "JP";
        case O::jr:
            return "JR";
        case O::djnz:
            return "DJNZ";
        case O::call:
            return "CALL";
        case O::ret:
            return "RET";
        case O::retn:
            return "RETN";
        case O::reti:
            return "RETI";
        case O::rst:
            return "RST";
        case O::halt:
            return "HALT";
        case O::di:
            return "DI";
        case O::ei:
            return "EI";
        case O::im:
            return "IM";
        case O::in:
            return "IN";
        case O::out:
            return "OUT";
        case O::ldi:
            return "LDI";
        case O::ldd:
            return "LDD";
        case O::ldir:
            return "LDIR";
        case O::lddr:
            return "LDDR";
        case O::cpi:
            return "CPI";
        case O::cpd:
            return "CPD";
        case O::cpir:
            return "CPIR";
        case O::cpdr:
            return "CPDR";
        case O::ini:
            return "INI";
        case O::ind:
            return "IND";
        case O::inir:
            return "INIR";
        case O::indr:
            return "INDR";
        case O::outi:
            return "OUTI";
        case O::outd:
            return "OUTD";
        case O::otir:
            return "OTIR";
        case O::otdr:
            return "OTDR";
    }
    return "";
}

namespace describe {

constexpr Arg registerArg(unsigned field) {
    constexpr Arg regs[8] = {Arg::b, Arg::c, Arg::d, Arg::e, Arg::h, Arg::l, Arg::atHL, Arg::a};
    return regs[field];
}
constexpr Arg pairArg(unsigned p) {
    constexpr Arg pairs[4] = {Arg::bc, Arg::de, Arg::hl, Arg::sp};
    return pairs[p];
}
constexpr Arg stackPairArg(unsigned p) { return p == 3 ? Arg::af : pairArg(p); }

constexpr Operand arg(Arg a, unsigned value = 0) { return Operand{a, static_cast<uint8_t>(value)}; }
constexpr Operand cond(unsigned field) { return arg(Arg::cond, field); }
constexpr Operand number(unsigned value) { return arg(Arg::number, value); }

constexpr Store storeAt(Arg a) {
    switch (a) {
        case Arg::atBC:
            return Store::atBC;
        case Arg::atDE:
            return Store::atDE;
        case Arg::atHL:
            return Store::atHL;
        case Arg::atIXd:
        case Arg::atIYd:
            return Store::atIndex;
        case Arg::atNN:
            return Store::atNN;
        default:
            return Store::none;
    }
}

constexpr bool isBlock(Operation op) { return op >= Operation::ldi && op <= Operation::otdr; }
constexpr bool repeats(Operation op) {
    switch (op) {
        case Operation::ldir:
        case Operation::lddr:
        case Operation::cpir:
        case Operation::cpdr:
        case Operation::inir:
        case Operation::indr:
        case Operation::otir:
        case Operation::otdr:
            return true;
        default:
            return false;
    }
}

// Flow, condition and store follow from the operation and its operands.
constexpr OpcodeInfo finish(OpcodeInfo in) {
    using O = Operation;
    switch (in.op) {
        case O::jp:
        case O::jr:
        case O::djnz:
            in.flow = Flow::jump;
            break;
        case O::call:
            in.flow = Flow::call;
            break;
        case O::ret:
        case O::retn:
        case O::reti:
            in.flow = Flow::ret;
            break;
        case O::rst:
            in.flow = Flow::restart;
            break;
        case O::halt:
            in.flow = Flow::halt;
            break;
        case O::prefix:
        case O::indexedPrefix:
        case O::droppedPrefix:
            in.flow = Flow::prefix;
            break;
        default:
            in.flow = repeats(in.op) ? Flow::blockRepeat : Flow::none;
            break;
    }
    in.conditional = in.first.arg == Arg::cond || in.op == O::djnz || repeats(in.op);
    if (!in.conditional) in.cyclesTaken = in.cycles;

    switch (in.op) {
        case O::ld8:
        case O::inc8:
        case O::dec8:
        case O::rlc:
        case O::rrc:
        case O::rl:
        case O::rr:
        case O::sla:
        case O::sra:
        case O::sll:
        case O::srl:
            in.store = storeAt(in.first.arg);
            break;
        case O::res:
        case O::set:
            in.store = storeAt(in.second.arg);
            break;
        case O::ld16:
            in.store = storeAt(in.first.arg);
            if (in.store != Store::none) in.storeBytes = 2;
            break;
        case O::rrd:
        case O::rld:
            in.store = Store::atHL;
            break;
        case O::push:
        case O::call:
        case O::rst:
            in.store = Store::push;
            in.storeBytes = 2;
            break;
        case O::exSP:
            in.store = Store::stackTop;
            in.storeBytes = 2;
            break;
        case O::ldi:
        case O::ldd:
        case O::ldir:
        case O::lddr:
            in.store = Store::blockAtDE;
            break;
        case O::ini:
        case O::ind:
        case O::inir:
        case O::indr:
            in.store = Store::blockAtHL;
            break;
        default:
            break;
    }
    if (in.store != Store::none && in.storeBytes == 0) in.storeBytes = 1;
    return in;
}

constexpr OpcodeInfo make(Operation op, Operand first, Operand second, unsigned length,
                          unsigned cycles, unsigned cyclesTaken = 0) {
    OpcodeInfo in;
    in.op = op;
    in.first = first;
    in.second = second;
    in.length = static_cast<uint8_t>(length);
    in.cycles = static_cast<uint8_t>(cycles);
    in.cyclesTaken = static_cast<uint8_t>(cyclesTaken ? cyclesTaken : cycles);
    return in;
}
constexpr OpcodeInfo make(Operation op, unsigned length, unsigned cycles) {
    return make(op, {}, {}, length, cycles);
}

// A slot that leads to another: its own counts are the other slot's.
constexpr OpcodeInfo prefixSlot(Operation op, unsigned prefixByte) {
    OpcodeInfo in = make(op, number(prefixByte), {}, 1, 0);
    in.fetches = 0;
    return in;
}

// --- main -----------------------------------------------------------------------

constexpr OpcodeInfo mainSlot(unsigned op) {
    using O = Operation;
    constexpr O alu[8] = {O::add, O::adc, O::sub, O::sbc, O::and_, O::xor_, O::or_, O::cp};
    constexpr O accumulator[8] = {O::rlca, O::rrca, O::rla, O::rra, O::daa, O::cpl, O::scf, O::ccf};
    const unsigned x = op >> 6, y = (op >> 3) & 7, z = op & 7, p = y >> 1, q = y & 1;
    const Operand r = arg(registerArg(y));
    const bool memory = y == 6;
    // ADD, ADC and SBC name A; the other five take the operand alone.
    const auto aluOp = [&](Operand operand, unsigned length, unsigned cycles) {
        const bool namesA = y == 0 || y == 1 || y == 3;
        return namesA ? make(alu[y], arg(Arg::a), operand, length, cycles)
                      : make(alu[y], operand, {}, length, cycles);
    };
    switch (x) {
        case 0:
            switch (z) {
                case 0:
                    if (y == 0) return make(O::nop, 1, 4);
                    if (y == 1) return make(O::exAF, arg(Arg::af), arg(Arg::afAlt), 1, 4);
                    if (y == 2) return make(O::djnz, arg(Arg::rel), {}, 2, 8, 13);
                    if (y == 3) return make(O::jr, arg(Arg::rel), {}, 2, 12);
                    return make(O::jr, cond(y - 4), arg(Arg::rel), 2, 7, 12);
                case 1:
                    if (q == 0) return make(O::ld16, arg(pairArg(p)), arg(Arg::nn), 3, 10);
                    return make(O::add16, arg(Arg::hl), arg(pairArg(p)), 1, 11);
                case 2: {
                    if (p < 2) {
                        const Operand at = arg(p == 0 ? Arg::atBC : Arg::atDE);
                        return q ? make(O::ld8, arg(Arg::a), at, 1, 7)
                                 : make(O::ld8, at, arg(Arg::a), 1, 7);
                    }
                    const Operand at = arg(Arg::atNN);
                    if (p == 2)
                        return q ? make(O::ld16, arg(Arg::hl), at, 3, 16)
                                 : make(O::ld16, at, arg(Arg::hl), 3, 16);
                    return q ? make(O::ld8, arg(Arg::a), at, 3, 13)
                             : make(O::ld8, at, arg(Arg::a), 3, 13);
                }
                case 3:
                    return make(q ? O::dec16 : O::inc16, arg(pairArg(p)), {}, 1, 6);
                case 4:
                    return make(O::inc8, r, {}, 1, memory ? 11 : 4);
                case 5:
                    return make(O::dec8, r, {}, 1, memory ? 11 : 4);
                case 6:
                    return make(O::ld8, r, arg(Arg::n), 2, memory ? 10 : 7);
                default:
                    return make(accumulator[y], 1, 4);
            }
        case 1:
            if (op == 0x76) return make(O::halt, 1, 4);
            return make(O::ld8, r, arg(registerArg(z)), 1, (memory || z == 6) ? 7 : 4);
        case 2:
            return aluOp(arg(registerArg(z)), 1, z == 6 ? 7 : 4);
        default:
            break;
    }
    switch (z) {
        case 0:
            return make(O::ret, cond(y), {}, 1, 5, 11);
        case 1:
            if (q == 0) return make(O::pop, arg(stackPairArg(p)), {}, 1, 10);
            if (p == 0) return make(O::ret, 1, 10);
            if (p == 1) return make(O::exx, 1, 4);
            if (p == 2) return make(O::jp, arg(Arg::hl), {}, 1, 4);
            return make(O::ld16, arg(Arg::sp), arg(Arg::hl), 1, 6);
        case 2:
            return make(O::jp, cond(y), arg(Arg::nn), 3, 10);
        case 3:
            switch (y) {
                case 0:
                    return make(O::jp, arg(Arg::nn), {}, 3, 10);
                case 1:
                    return prefixSlot(O::prefix, 0xCB);
                case 2:
                    return make(O::out, arg(Arg::atN), arg(Arg::a), 2, 11);
                case 3:
                    return make(O::in, arg(Arg::a), arg(Arg::atN), 2, 11);
                case 4:
                    return make(O::exSP, arg(Arg::atSP), arg(Arg::hl), 1, 19);
                case 5:
                    return make(O::exDEHL, arg(Arg::de), arg(Arg::hl), 1, 4);
                case 6:
                    return make(O::di, 1, 4);
                default:
                    return make(O::ei, 1, 4);
            }
        case 4:
            return make(O::call, cond(y), arg(Arg::nn), 3, 10, 17);
        case 5:
            if (q == 0) return make(O::push, arg(stackPairArg(p)), {}, 1, 11);
            if (p == 0) return make(O::call, arg(Arg::nn), {}, 3, 17);
            return prefixSlot(O::prefix, p == 1 ? 0xDD : p == 2 ? 0xED : 0xFD);
        case 6:
            return aluOp(arg(Arg::n), 2, 7);
        default:
            return make(O::rst, arg(Arg::restart, y * 8), {}, 1, 11);
    }
}

// --- CB ---------------------------------------------------------------------------

constexpr Operation shiftOperation(unsigned y) {
    using O = Operation;
    constexpr O shifts[8] = {O::rlc, O::rrc, O::rl, O::rr, O::sla, O::sra, O::sll, O::srl};
    return shifts[y];
}

constexpr OpcodeInfo cbSlot(unsigned op) {
    const unsigned x = op >> 6, y = (op >> 3) & 7, z = op & 7;
    const Operand operand = arg(registerArg(z));
    const bool memory = z == 6;
    OpcodeInfo in;
    switch (x) {
        case 0:
            in = make(shiftOperation(y), operand, {}, 2, memory ? 15 : 8);
            in.classic = y != 6;  // SLL is not an instruction on this machine
            break;
        case 1:
            in = make(Operation::bit, number(y), operand, 2, memory ? 12 : 8);
            break;
        default:
            in = make(x == 2 ? Operation::res : Operation::set, number(y), operand, 2,
                      memory ? 15 : 8);
            break;
    }
    in.fetches = 2;
    return in;
}

// --- DD and FD ----------------------------------------------------------------------

// The DD/FD opcodes of this machine's personality: the documented set, some of the
// IXh/IXl forms, and the repeated prefix. The others trap instead of running.
constexpr bool classicIndexSlot(unsigned op) {
    const unsigned x = op >> 6, y = (op >> 3) & 7, z = op & 7;
    const auto half = [](unsigned field) { return field == 4 || field == 5; };
    switch (x) {
        case 0:
            if ((op & 0x0F) == 0x09) return true;  // ADD IX,ss
            if (op == 0x21 || op == 0x22 || op == 0x2A || op == 0x23 || op == 0x2B) return true;
            if ((y == 4 || y == 5) && (z == 4 || z == 5 || z == 6)) return true;
            return op == 0x34 || op == 0x35 || op == 0x36;
        case 1:
            if (op == 0x76) return false;
            if ((y == 6) != (z == 6)) return true;  // (IX+d) with the real registers
            if (y == 6) return false;
            return y != z && (half(y) || half(z));
        case 2:
            if (z == 6) return true;
            return y <= 1 && half(z);  // only ADD and ADC take IXh/IXl
        default:
            return op == 0xCB || op == 0xDD || op == 0xFD || op == 0xE1 || op == 0xE3 ||
                   op == 0xE5 || op == 0xE9 || op == 0xF9;
    }
}

constexpr bool namesHL(Arg a) {
    return a == Arg::h || a == Arg::l || a == Arg::hl || a == Arg::atHL;
}

// HL, H, L and (HL) become the index register, its halves and (IX+d); where (HL) is an
// operand, H and L stay the real registers.
constexpr Arg indexed(Arg a, bool iy, bool memoryForm) {
    switch (a) {
        case Arg::hl:
            return iy ? Arg::iy : Arg::ix;
        case Arg::atHL:
            return iy ? Arg::atIYd : Arg::atIXd;
        case Arg::h:
            return memoryForm ? a : iy ? Arg::iyh : Arg::ixh;
        case Arg::l:
            return memoryForm ? a : iy ? Arg::iyl : Arg::ixl;
        default:
            return a;
    }
}

constexpr OpcodeInfo droppedPrefixSlot(bool classic) {
    OpcodeInfo in = make(Operation::droppedPrefix, 1, 4);
    in.classic = classic;
    return in;
}

constexpr OpcodeInfo indexSlot(unsigned op, bool iy) {
    if (op == 0xCB) {
        OpcodeInfo in = prefixSlot(Operation::indexedPrefix, iy ? 0xFD : 0xDD);
        in.length = 4;
        return in;
    }
    // Another prefix after DD or FD: the first one is dropped, and only the last of a
    // run counts.
    if (op == 0xDD || op == 0xFD || op == 0xED) return droppedPrefixSlot(op != 0xED);
    OpcodeInfo in = mainSlot(op);
    const bool usesHL = op != 0xEB && (namesHL(in.first.arg) || namesHL(in.second.arg));
    if (!usesHL) return droppedPrefixSlot(false);
    const bool memoryForm = in.first.arg == Arg::atHL || in.second.arg == Arg::atHL;
    in.first.arg = indexed(in.first.arg, iy, memoryForm);
    in.second.arg = indexed(in.second.arg, iy, memoryForm);
    in.length = static_cast<uint8_t>(in.length + (memoryForm ? 2 : 1));
    // The displacement costs 8 T-states, of which LD (IX+d),n hides 3 behind its n.
    const unsigned extra = !memoryForm ? 4 : op == 0x36 ? 9 : 12;
    in.cycles = static_cast<uint8_t>(in.cycles + extra);
    in.cyclesTaken = static_cast<uint8_t>(in.cyclesTaken + extra);
    in.fetches = 2;
    in.classic = classicIndexSlot(op);
    return in;
}

// --- DDCB and FDCB ------------------------------------------------------------------

constexpr OpcodeInfo indexedCbSlot(unsigned op, bool iy) {
    const unsigned x = op >> 6, y = (op >> 3) & 7, z = op & 7;
    const Operand memory = arg(iy ? Arg::atIYd : Arg::atIXd);
    // Outside column 6 the result also goes to the register of the low bits; BIT writes
    // nothing, so there every column is the same BIT.
    const Arg copy = (z == 6 || x == 1) ? Arg::none : registerArg(z);
    OpcodeInfo in;
    switch (x) {
        case 0:
            in = make(shiftOperation(y), memory, {}, 4, 23);
            break;
        case 1:
            in = make(Operation::bit, number(y), memory, 4, 20);
            break;
        default:
            in = make(x == 2 ? Operation::res : Operation::set, number(y), memory, 4, 23);
            break;
    }
    in.copy = copy;
    in.fetches = 2;
    // Only the forms on memory alone, without SLL, exist on this machine.
    in.classic = z == 6 && op != 0x36;
    return in;
}

// --- ED ---------------------------------------------------------------------------

constexpr OpcodeInfo edSlot(unsigned op) {
    using O = Operation;
    const unsigned y = (op >> 3) & 7, z = op & 7, p = y >> 1, q = y & 1;
    OpcodeInfo in;
    in.fetches = 2;
    if (op >= 0xA0 && op <= 0xBF && z <= 3) {
        constexpr O blocks[4][4] = {{O::ldi, O::cpi, O::ini, O::outi},
                                    {O::ldd, O::cpd, O::ind, O::outd},
                                    {O::ldir, O::cpir, O::inir, O::otir},
                                    {O::lddr, O::cpdr, O::indr, O::otdr}};
        const O block = blocks[y - 4][z];
        in = make(block, {}, {}, 2, 16, repeats(block) ? 21 : 16);
    } else if (op < 0x40 || op > 0x7F) {
        in = make(O::edNop, 2, 8);
        in.classic = false;
    } else {
        const Operand r = arg(y == 6 ? Arg::f : registerArg(y));
        switch (z) {
            case 0:
                in = make(O::in, r, arg(Arg::atC), 2, 12);
                in.classic = y != 6;  // IN F,(C)
                break;
            case 1:
                in = make(O::out, arg(Arg::atC), y == 6 ? number(0) : r, 2, 12);
                in.classic = y != 6;  // OUT (C),0
                break;
            case 2:
                in = make(q ? O::adc16 : O::sbc16, arg(Arg::hl), arg(pairArg(p)), 2, 15);
                break;
            case 3:
                in = q ? make(O::ld16, arg(pairArg(p)), arg(Arg::atNN), 4, 20)
                       : make(O::ld16, arg(Arg::atNN), arg(pairArg(p)), 4, 20);
                in.classic = p != 2;  // the second encodings of LD (nn),HL and LD HL,(nn)
                break;
            case 4:
                in = make(O::neg, 2, 8);
                in.classic = y == 0;
                break;
            case 5:
                in = make(y == 1 ? O::reti : O::retn, 2, 14);
                in.classic = y <= 1;
                break;
            case 6: {
                constexpr uint8_t modes[8] = {0, 0, 1, 2, 0, 0, 1, 2};
                in = make(O::im, number(modes[y]), {}, 2, 8);
                in.classic = y == 0 || y == 2 || y == 3;
                break;
            }
            default:
                switch (y) {
                    case 0:
                        in = make(O::ld8, arg(Arg::i), arg(Arg::a), 2, 9);
                        break;
                    case 1:
                        in = make(O::ld8, arg(Arg::r), arg(Arg::a), 2, 9);
                        break;
                    case 2:
                        in = make(O::ldAFromIR, arg(Arg::a), arg(Arg::i), 2, 9);
                        break;
                    case 3:
                        in = make(O::ldAFromIR, arg(Arg::a), arg(Arg::r), 2, 9);
                        break;
                    case 4:
                        in = make(O::rrd, 2, 18);
                        break;
                    case 5:
                        in = make(O::rld, 2, 18);
                        break;
                    default:
                        in = make(O::edNop, 2, 8);
                        in.classic = false;
                        break;
                }
                break;
        }
    }
    in.fetches = 2;
    return in;
}

}  // namespace describe

// The five sub-tables at the dispatch tables' offsets.
inline constexpr std::array<OpcodeInfo, instructionTableSize> instructionSet = [] {
    std::array<OpcodeInfo, instructionTableSize> set{};
    for (unsigned op = 0; op < 256; ++op) {
        set[mainTableBase + op] = describe::finish(describe::mainSlot(op));
        set[cbTableBase + op] = describe::finish(describe::cbSlot(op));
        set[ddTableBase + op] = describe::finish(describe::indexSlot(op, false));
        set[edTableBase + op] = describe::finish(describe::edSlot(op));
        set[fdTableBase + op] = describe::finish(describe::indexSlot(op, true));
    }
    return set;
}();

// The final bytes of DD CB d op (0-255) and of FD CB d op (256-511).
inline constexpr std::array<OpcodeInfo, 512> indexedCbSet = [] {
    std::array<OpcodeInfo, 512> set{};
    for (unsigned op = 0; op < 256; ++op) {
        set[op] = describe::finish(describe::indexedCbSlot(op, false));
        set[256 + op] = describe::finish(describe::indexedCbSlot(op, true));
    }
    return set;
}();

// The slot of the instruction that starts with these bytes (a DDCB/FDCB form's final
// byte is its fourth).
constexpr const OpcodeInfo& describeInstruction(const std::array<uint8_t, 4>& bytes) {
    switch (bytes[0]) {
        case 0xCB:
            return instructionSet[cbTableBase + bytes[1]];
        case 0xED:
            return instructionSet[edTableBase + bytes[1]];
        case 0xDD:
            if (bytes[1] == 0xCB) return indexedCbSet[bytes[3]];
            return instructionSet[ddTableBase + bytes[1]];
        case 0xFD:
            if (bytes[1] == 0xCB) return indexedCbSet[256u + bytes[3]];
            return instructionSet[fdTableBase + bytes[1]];
        default:
            return instructionSet[mainTableBase + bytes[0]];
    }
}

// Whether the instruction that starts with these bytes runs on the personality; on this
// machine's the others reach the illegal-opcode trap, which skips the prefix and opcode
// (and a DDCB/FDCB form's displacement and final byte).
constexpr bool existsOnClassic(const std::array<uint8_t, 4>& bytes) {
    return describeInstruction(bytes).classic;
}
constexpr unsigned classicTrapLength(const std::array<uint8_t, 4>& bytes) {
    return (bytes[0] == 0xDD || bytes[0] == 0xFD) && bytes[1] == 0xCB ? 4 : 2;
}

}  // namespace vantrel
