// The unprefixed instruction set (main sub-table): all 256 opcodes, none of them the
// trap. The handler families are instantiated here with their operands fixed.
#pragma once

#include <cstddef>
#include <utility>

#include "cpu/dispatch_table.h"
#include "cpu/main_alu_ops.h"
#include "cpu/main_control_ops.h"
#include "cpu/main_load_ops.h"
#include "hardware/machine.h"

namespace vantrel {

// NOP, the seven self-loads LD r,r and ED 0x4F (LD R,A: there is no R register).
inline void nopHandler(Machine&) {}

namespace mainops {

template <int D, int S>
consteval Handler loadHandler() {
    if constexpr (D == regMemHL && S == regMemHL) return halt;
    else if constexpr (D == S) return nopHandler;
    else return ldRR<D, S>;
}

template <std::size_t... I>
constexpr void fillLoadBlock(HandlerTable& t, std::index_sequence<I...>) {
    ((t[mainTableBase + 0x40 + I] = loadHandler<static_cast<int>(I >> 3), static_cast<int>(I & 7)>()),
     ...);
}

template <std::size_t... I>
constexpr void fillAluBlock(HandlerTable& t, std::index_sequence<I...>) {
    ((t[mainTableBase + 0x80 + I] = aluR<static_cast<AluOp>(I >> 3), static_cast<int>(I & 7)>), ...);
}

// One opcode per register field y in 0x00-0x3F and 0xC0-0xFF: column + y * 8.
template <std::size_t... Y>
constexpr void fillColumns(HandlerTable& t, std::index_sequence<Y...>) {
    constexpr std::size_t b = mainTableBase;
    ((t[b + 0x04 + Y * 8] = inc<static_cast<int>(Y)>), ...);
    ((t[b + 0x05 + Y * 8] = dec<static_cast<int>(Y)>), ...);
    ((t[b + 0x06 + Y * 8] = ldRN<static_cast<int>(Y)>), ...);
    ((t[b + 0xC0 + Y * 8] = retCond<static_cast<int>(Y)>), ...);
    ((t[b + 0xC2 + Y * 8] = jpCond<static_cast<int>(Y)>), ...);
    ((t[b + 0xC4 + Y * 8] = callCond<static_cast<int>(Y)>), ...);
    ((t[b + 0xC6 + Y * 8] = aluN<static_cast<AluOp>(Y)>), ...);
    ((t[b + 0xC7 + Y * 8] = rst<static_cast<uint16_t>(Y * 8)>), ...);
}

// One opcode per register pair p: column + p * 16.
template <std::size_t... P>
constexpr void fillPairColumns(HandlerTable& t, std::index_sequence<P...>) {
    constexpr std::size_t b = mainTableBase;
    ((t[b + 0x01 + P * 16] = ldPairImm<static_cast<int>(P)>), ...);
    ((t[b + 0x03 + P * 16] = inc16<static_cast<int>(P)>), ...);
    ((t[b + 0x09 + P * 16] = addHL<static_cast<int>(P)>), ...);
    ((t[b + 0x0B + P * 16] = dec16<static_cast<int>(P)>), ...);
    // PUSH and POP name AF where the other columns name SP.
    ((t[b + 0xC1 + P * 16] = pop<P == 3 ? pairStackAF : static_cast<int>(P)>), ...);
    ((t[b + 0xC5 + P * 16] = push<P == 3 ? pairStackAF : static_cast<int>(P)>), ...);
}

}  // namespace mainops

constexpr void fillMainTable(HandlerTable& table) {
    using namespace mainops;
    constexpr std::size_t b = mainTableBase;
    fillLoadBlock(table, std::make_index_sequence<64>{});
    fillAluBlock(table, std::make_index_sequence<64>{});
    fillColumns(table, std::make_index_sequence<8>{});
    fillPairColumns(table, std::make_index_sequence<4>{});

    table[b + 0x00] = nopHandler;
    table[b + 0x02] = ldPairFromA<pairBC>;
    table[b + 0x12] = ldPairFromA<pairDE>;
    table[b + 0x0A] = ldAFromPair<pairBC>;
    table[b + 0x1A] = ldAFromPair<pairDE>;
    table[b + 0x22] = ldAbsFromHL;
    table[b + 0x2A] = ldHLFromAbs;
    table[b + 0x32] = ldAbsFromA;
    table[b + 0x3A] = ldAFromAbs;

    table[b + 0x07] = rlca;
    table[b + 0x0F] = rrca;
    table[b + 0x17] = rla;
    table[b + 0x1F] = rra;
    table[b + 0x27] = daaA;
    table[b + 0x2F] = cpl;
    table[b + 0x37] = scf;
    table[b + 0x3F] = ccf;

    table[b + 0x08] = exAFAlt;
    table[b + 0x10] = djnz;
    table[b + 0x18] = jrE;
    table[b + 0x20] = jrCond<condNZ>;
    table[b + 0x28] = jrCond<condZ>;
    table[b + 0x30] = jrCond<condNC>;
    table[b + 0x38] = jrCond<condC>;

    table[b + 0xC3] = jpNN;
    table[b + 0xC9] = ret;
    table[b + 0xCD] = callNN;
    table[b + 0xD3] = outNA;
    table[b + 0xDB] = inAN;
    table[b + 0xD9] = exx;
    table[b + 0xE3] = exSPHL;
    table[b + 0xE9] = jpHL;
    table[b + 0xEB] = exDEHL;
    table[b + 0xF3] = di;
    table[b + 0xF9] = ldSPFromHL;
    table[b + 0xFB] = ei;

    table[b + 0xCB] = prefix<cbTableBase>;
    table[b + 0xDD] = prefix<ddTableBase>;
    table[b + 0xED] = prefix<edTableBase>;
    table[b + 0xFD] = prefix<fdTableBase>;
}

}  // namespace vantrel
