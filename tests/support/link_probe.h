// The link engine's private layers, opened for tests that check them bit by bit.
#pragma once

#include "link/link_engine.h"

namespace vantrel {

struct LinkEngineProbe {
    explicit LinkEngineProbe(LinkEngine& e)
        : rxByte(e.rxByte),
          rxBitCount(e.rxBitCount),
          rxPacket(e.rxPacket),
          sendQueue(e.sendQueue),
          sending(e.sending),
          variables(e.variables),
          state(e.state_),
          lines(e.lines),
          partsLeft(e.partsLeft),
          receiveMode(e.receiveMode),
          engine(e) {}

    void appendReceivedByte(uint8_t byte) { engine.appendReceivedByte(byte); }
    void setBusy(bool busy) { engine.setBusy(busy); }

    uint8_t& rxByte;
    uint8_t& rxBitCount;
    LinkPacket& rxPacket;
    SendQueue& sendQueue;
    uint32_t& sending;
    VariableList& variables;
    LinkState& state;
    LinkLines& lines;
    int32_t& partsLeft;
    uint32_t& receiveMode;
    LinkEngine& engine;
};

}  // namespace vantrel
