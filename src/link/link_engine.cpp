#include "link/link_engine.h"

#include <array>

#include "hardware/host_interface.h"
#include "hardware/machine.h"
#include "link/receive_screen.h"

namespace vantrel {

namespace {

// The SKIP reason with which the calculator declines the variable just offered
// (1 is the user leaving the receive screen).
constexpr uint8_t skipThis = 2;

void postLinkActive(Machine& m, uint32_t value) { m.host->postLinkActive(value); }

}  // namespace

LinkEngine::LinkEngine() { lines.engine = this; }

void LinkEngine::appendReceivedByte(Machine&, uint8_t byte) {
    LinkPacket& p = rxPacket;
    if (p.received < 4) {
        switch (p.received) {
        case 0: p.machineId = byte; break;
        case 1: p.commandId = byte; break;
        case 2: p.length = static_cast<uint16_t>((p.length & 0xFF00) | byte); break;
        default: p.length = static_cast<uint16_t>((p.length & 0x00FF) | (byte << 8)); break;
        }
        if (++p.received == 4) beginPayload();
        return;
    }
    if (rxDiscard_ > 0) {
        // An unknown packet is forgotten once it has gone by; listening goes on.
        if (--rxDiscard_ == 0 && !rxOversized_) clearReceivedPacket();
        return;
    }
    // Bytes beyond a packet's payload (or of a packet without one) have no place.
    if (rxOversized_ || !commandHasData(p.commandId) || p.received - 4u >= p.payload.size()) return;
    p.payload[p.received - 4u] = byte;
    ++p.received;
}

void LinkEngine::beginPayload() {
    LinkPacket& p = rxPacket;
    if (!commandIsKnown(p.commandId)) {
        rxDiscard_ = p.length + 2u;
        return;
    }
    if (!commandHasData(p.commandId)) return;
    if (p.length >= oversizedLength) {
        rxOversized_ = true;
        rxDiscard_ = p.length + 2u;
        return;
    }
    p.payloadSize = static_cast<uint16_t>(p.length + 2u);
    p.payload.assign(p.payloadSize, 0);
}

bool LinkEngine::receivedPacketReady() const {
    if (rxOversized_) return rxDiscard_ == 0;
    return rxDiscard_ == 0 && rxPacket.isComplete();
}

void LinkEngine::clearReceivedPacket() {
    rxPacket.clear();
    rxDiscard_ = 0;
    rxOversized_ = false;
}

void LinkEngine::pollLink(Machine& m) {
    for (;;) {
        if (!sending) {
            if (!receivedPacketReady()) return;
            postLinkActive(m, 1);
            handlePacket(m);
            clearReceivedPacket();
            if (sendQueue.bitIndex == 8) {
                // Nothing to answer: the engine waits for the calculator, which needs no
                // interrupts from this side meanwhile. Without this, an ACK that comes
                // after a transfer has ended would leave the flag set for good.
                postLinkActive(m, 0);
                return;
            }
            sending = 1;
            continue;
        }
        if (sendQueue.bitIndex < 8) {
            lines.lineLevel = nextSendBit(sendQueue) ? presentOne : presentZero;
            lines.pollDue = 1;
            return;
        }
        if (state == LinkState::EndWithEot || state == LinkState::RxDone) {
            resetLink(m);
            return;
        }
        clearSendQueue(sendQueue);
        sending = 0;
        postLinkActive(m, 0);
        return;
    }
}

void LinkEngine::handlePacket(Machine& m) {
    if (rxOversized_) {
        // Too long to hold: the transfer cannot go on.
        state = LinkState::EndWithEot;
        queueReply();
        return;
    }
    if (receiveMode) {
        handleReceiving(m);
    } else {
        handleUploading(m);
    }
}

void LinkEngine::handleReceiving(Machine& m) {
    switch (rxPacket.commandId) {
    case cmdVar:
        state = rxPacket.isBackupHeader() ? LinkState::RxBackupHeader : LinkState::RxHeader;
        // One name per transfer: a group of variables becomes one group file.
        if (!variables.fileName && !askSaveName(m)) {
            state = LinkState::EndWithEot;
            queueReply();
            return;
        }
        variables.append(rxPacket);
        queueReply();
        return;
    case cmdData:
        if (state == LinkState::RxHeader) {
            state = LinkState::RxData;
        } else if (state == LinkState::RxBackupHeader) {
            state = LinkState::RxBackupData;
            partsLeft = 3;
        } else if (state != LinkState::RxData && state != LinkState::RxBackupData) {
            // Data without a header belongs to no variable; kept, it would corrupt the
            // file of the next transfer.
            state = LinkState::EndWithEot;
            queueReply();
            return;
        }
        variables.append(rxPacket);
        if (state == LinkState::RxBackupData && --partsLeft == 0) {
            state = writeReceivedFile(m) ? LinkState::RxDone : LinkState::EndWithEot;
        }
        queueReply();
        return;
    case cmdAck:
        return;
    case cmdEot:
        // Nothing received, nothing to save: acknowledge without a file or a prompt.
        if (variables.empty()) {
            state = LinkState::RxDone;
        } else {
            state = writeReceivedFile(m) ? LinkState::RxDone : LinkState::EndWithEot;
        }
        queueReply();
        return;
    default:  // ERR, and CTS or SKIP, which a sender never gets
        state = LinkState::EndWithEot;
        queueReply();
        return;
    }
}

void LinkEngine::handleUploading(Machine& m) {
    switch (rxPacket.commandId) {
    case cmdCts:
        if (state == LinkState::TxBackupHeader) {
            state = LinkState::TxBackupData;
            partsLeft = 3;
        } else if (state == LinkState::TxHeader) {
            state = LinkState::TxData;
        } else {
            state = LinkState::EndWithEot;
        }
        queueReply();
        return;
    case cmdSkip: {
        const uint8_t reason = rxPacket.length >= 1 ? rxPacket.payload[0] : 0;
        if (reason == skipThis && state == LinkState::TxHeader) {
            while (!variables.empty() && variables.first().commandId == cmdData) variables.takeFirst();
            queueShort(cmdAck);
            state = variables.empty() ? LinkState::EndWithEot : LinkState::TxHeader;
        } else {
            // Exit, a full memory, or a skip where no variable was offered: end it.
            state = LinkState::EndWithEot;
        }
        queueReply();
        return;
    }
    case cmdAck:
        switch (state) {
        case LinkState::TxBackupHeader:
        case LinkState::TxHeader:
            return;
        case LinkState::TxBackupData:
            if (--partsLeft <= 0) {
                resetLink(m);  // the third part is in: the backup is complete
                return;
            }
            queueReply();
            return;
        case LinkState::TxData:
            state = variables.empty() ? LinkState::TxEot : LinkState::TxHeader;
            queueReply();
            return;
        case LinkState::TxEot:
            resetLink(m);
            return;
        default:
            queueReply();
            return;
        }
    default:  // ERR and anything the upload does not expect
        state = LinkState::EndWithEot;
        queueReply();
        return;
    }
}

void LinkEngine::queueShort(uint8_t commandId) {
    const std::array<uint8_t, 4> bytes{pcMachineId, commandId, 0, 0};
    appendToSendQueue(sendQueue, bytes.data(), bytes.size());
}

// The next list entry goes out whole. With none left (a file that ends early) the
// transfer ends with EOT instead.
void LinkEngine::queueEntry() {
    if (variables.empty()) {
        state = LinkState::EndWithEot;
        queueShort(cmdEot);
        return;
    }
    const std::vector<uint8_t> bytes = variables.takeFirst().wireBytes();
    appendToSendQueue(sendQueue, bytes.data(), bytes.size());
}

void LinkEngine::queueReply() {
    switch (state) {
    case LinkState::RxHeader:
    case LinkState::RxBackupHeader:
        queueShort(cmdAck);
        queueShort(cmdCts);
        return;
    case LinkState::RxData:
    case LinkState::RxBackupData:
    case LinkState::RxDone:
        queueShort(cmdAck);
        return;
    case LinkState::TxHeader:
        queueEntry();
        return;
    case LinkState::TxData:
        queueShort(cmdAck);
        queueEntry();
        return;
    case LinkState::TxBackupData:
        if (partsLeft == 3) queueShort(cmdAck);  // the answer to CTS
        queueEntry();
        return;
    case LinkState::Idle:
    case LinkState::EndWithEot:
    case LinkState::TxBackupHeader:
    case LinkState::TxEot:
        queueShort(cmdEot);
        return;
    }
}

bool LinkEngine::askSaveName(Machine& m) {
    std::string name;
    const bool backup = rxPacket.isBackupHeader();
    const bool chosen = m.callHost([&](HostInterface& h) { return h.askSaveName(name, backup); });
    if (!chosen) return false;
    // No path holds a zero byte: the name ends there.
    if (const auto zero = name.find('\0'); zero != std::string::npos) name.resize(zero);
    if (name.empty()) return false;
    variables.fileName = name;
    return true;
}

bool LinkEngine::writeReceivedFile(Machine& m) {
    const FilePrompt prompt = [&m](int kind, bool isError, const std::string& name, const std::string& reason) {
        return m.callHost([&](HostInterface& h) { return h.filePrompt(kind, isError, name, reason); });
    };
    return writeVariableFile(variables, prompt, fileClock);
}

void LinkEngine::clearTransfer() {
    rxByte = 0;
    rxBitCount = 0;
    state = LinkState::Idle;
    receiveMode = 1;
    sending = 0;
    partsLeft = 0;
    variables.clear();
    lines.pollDue = 0;
    lines.lineLevel = linesAtRest;
    clearReceivedPacket();
    clearSendQueue(sendQueue);
}

void LinkEngine::resetLink(Machine& m) {
    clearTransfer();
    postLinkActive(m, 0);
}

void LinkEngine::startUpload(Machine& m, const std::string& path) {
    // The emulation loop rests (at an instruction boundary or inside a host call)
    // while this thread works on the engine.
    HoldGuard guard(m.control);
    if (!screenShowsWaiting(m)) {
        m.host->uploadHint(hintNotWaiting);
        return;
    }
    // Whatever an earlier transfer left behind must not go out ahead of this file.
    clearTransfer();
    variables.fileName = path;
    const FilePrompt prompt = [&m](int kind, bool isError, const std::string& name, const std::string& reason) {
        return m.host->filePrompt(kind, isError, name, reason);
    };
    if (!readVariableFile(variables, prompt)) {
        state = LinkState::EndWithEot;
    } else if (variables.first().commandId == cmdVar) {
        const LinkPacket header = variables.takeFirst();
        const std::vector<uint8_t> bytes = header.wireBytes();
        appendToSendQueue(sendQueue, bytes.data(), bytes.size());
        if (header.isBackupHeader()) {
            state = LinkState::TxBackupHeader;
            partsLeft = 3;
        } else {
            state = LinkState::TxHeader;
        }
    } else {
        m.host->filePrompt(promptBadData, true, path, {});
        state = LinkState::EndWithEot;
    }
    sending = 1;
    receiveMode = 0;
    if (state == LinkState::EndWithEot) queueShort(cmdEot);
    postLinkActive(m, 1);
    pollLink(m);
}

}  // namespace vantrel
