// The unprefixed instruction set (main sub-table): all 256 opcodes, none of them the
// trap. The handler families are instantiated here with their operands fixed.
#pragma once

#include <cstddef>
#include <utility>

#include "z80/main_alu_ops.h"
#include "z80/main_control_ops.h"
#include "z80/main_load_ops.h"
#include "z80/table_layout.h"

namespace vantrel {

// NOP, the seven self-loads LD r,r and ED 0x4F (LD R,A: there is no R register).
template <class M>
inline void nopHandler(M&) {}

namespace mainops {

template <class M, int D, int S>
consteval Handler<M> loadHandler() {
    if constexpr (D == regMemHL && S == regMemHL)
        return halt<M>;
    else if constexpr (D == S)
        return nopHandler<M>;
    else
        return ldRR<D, S, M>;
}

template <class M, class Table, std::size_t... I>
constexpr void fillLoadBlock(Table& t, std::index_sequence<I...>) {
    ((t[mainTableBase + 0x40 + I] =
          loadHandler<M, static_cast<int>(I >> 3), static_cast<int>(I & 7)>()),
     ...);
}

template <class M, class Table, std::size_t... I>
constexpr void fillAluBlock(Table& t, std::index_sequence<I...>) {
    ((t[mainTableBase + 0x80 + I] = aluR<static_cast<AluOp>(I >> 3), static_cast<int>(I & 7), M>),
     ...);
}

// One opcode per register field y in 0x00-0x3F and 0xC0-0xFF: column + y * 8.
template <class M, class Table, std::size_t... Y>
constexpr void fillColumns(Table& t, std::index_sequence<Y...>) {
    constexpr std::size_t b = mainTableBase;
    ((t[b + 0x04 + Y * 8] = inc<static_cast<int>(Y), M>), ...);
    ((t[b + 0x05 + Y * 8] = dec<static_cast<int>(Y), M>), ...);
    ((t[b + 0x06 + Y * 8] = ldRN<static_cast<int>(Y), M>), ...);
    ((t[b + 0xC0 + Y * 8] = retCond<static_cast<int>(Y), M>), ...);
    ((t[b + 0xC2 + Y * 8] = jpCond<static_cast<int>(Y), M>), ...);
    ((t[b + 0xC4 + Y * 8] = callCond<static_cast<int>(Y), M>), ...);
    ((t[b + 0xC6 + Y * 8] = aluN<static_cast<AluOp>(Y), M>), ...);
    ((t[b + 0xC7 + Y * 8] = rst<static_cast<uint16_t>(Y * 8), M>), ...);
}

// One opcode per register pair p: column + p * 16.
template <class M, class Table, std::size_t... P>
constexpr void fillPairColumns(Table& t, std::index_sequence<P...>) {
    constexpr std::size_t b = mainTableBase;
    ((t[b + 0x01 + P * 16] = ldPairImm<static_cast<int>(P), M>), ...);
    ((t[b + 0x03 + P * 16] = inc16<static_cast<int>(P), M>), ...);
    ((t[b + 0x09 + P * 16] = addHL<static_cast<int>(P), M>), ...);
    ((t[b + 0x0B + P * 16] = dec16<static_cast<int>(P), M>), ...);
    // PUSH and POP name AF where the other columns name SP.
    ((t[b + 0xC1 + P * 16] = pop < P == 3 ? pairStackAF : static_cast<int>(P), M >), ...);
    ((t[b + 0xC5 + P * 16] = push < P == 3 ? pairStackAF : static_cast<int>(P), M >), ...);
}

}  // namespace mainops

template <class M, class Table>
constexpr void fillMainTable(Table& table) {
    using namespace mainops;
    constexpr std::size_t b = mainTableBase;
    fillLoadBlock<M>(table, std::make_index_sequence<64>{});
    fillAluBlock<M>(table, std::make_index_sequence<64>{});
    fillColumns<M>(table, std::make_index_sequence<8>{});
    fillPairColumns<M>(table, std::make_index_sequence<4>{});

    table[b + 0x00] = nopHandler<M>;
    table[b + 0x02] = ldPairFromA<pairBC, M>;
    table[b + 0x12] = ldPairFromA<pairDE, M>;
    table[b + 0x0A] = ldAFromPair<pairBC, M>;
    table[b + 0x1A] = ldAFromPair<pairDE, M>;
    table[b + 0x22] = ldAbsFromHL<M>;
    table[b + 0x2A] = ldHLFromAbs<M>;
    table[b + 0x32] = ldAbsFromA<M>;
    table[b + 0x3A] = ldAFromAbs<M>;

    table[b + 0x07] = rlca<M>;
    table[b + 0x0F] = rrca<M>;
    table[b + 0x17] = rla<M>;
    table[b + 0x1F] = rra<M>;
    table[b + 0x27] = daaA<M>;
    table[b + 0x2F] = cpl<M>;
    table[b + 0x37] = scf<M>;
    table[b + 0x3F] = ccf<M>;

    table[b + 0x08] = exAFAlt<M>;
    table[b + 0x10] = djnz<M>;
    table[b + 0x18] = jrE<M>;
    table[b + 0x20] = jrCond<condNZ, M>;
    table[b + 0x28] = jrCond<condZ, M>;
    table[b + 0x30] = jrCond<condNC, M>;
    table[b + 0x38] = jrCond<condC, M>;

    table[b + 0xC3] = jpNN<M>;
    table[b + 0xC9] = ret<M>;
    table[b + 0xCD] = callNN<M>;
    table[b + 0xD3] = outNA<M>;
    table[b + 0xDB] = inAN<M>;
    table[b + 0xD9] = exx<M>;
    table[b + 0xE3] = exSPHL<M>;
    table[b + 0xE9] = jpHL<M>;
    table[b + 0xEB] = exDEHL<M>;
    table[b + 0xF3] = di<M>;
    table[b + 0xF9] = ldSPFromHL<M>;
    table[b + 0xFB] = ei<M>;

    table[b + 0xCB] = prefix<cbTableBase, M>;
    table[b + 0xDD] = prefix<ddTableBase, M>;
    table[b + 0xED] = prefix<edTableBase, M>;
    table[b + 0xFD] = prefix<fdTableBase, M>;
}

}  // namespace vantrel
