#include "link/link_engine.h"

#include <array>

namespace vantrel {

namespace {

// The SKIP reason with which the calculator declines the variable just offered
// (1 is the user leaving the receive screen).
constexpr uint8_t skipThis = 2;

}  // namespace

void LinkEngine::writeLinkPort(uint8_t value) {
    if (value == releaseValue) {
        lines.lineLevel = linesAtRest;
        lines.pollDue = 1;
        return;
    }
    if (value == abortValue) {
        if (peer_) peer_->transferAborted();
        resetLink();
        return;
    }
    lines.pollDue = 1;
    if (lines.lineLevel == linesAtRest) {
        // The calculator puts a bit on the lines; the masked value is the PC's answer.
        lines.lineLevel = value & 0x0C;
        gatherBit(value == oneBitValue ? 1 : 0);
    } else {
        // The calculator acknowledges the bit the PC presented.
        lines.lineLevel ^= 0x0F;
    }
}

uint8_t LinkEngine::readLinkPort() {
    const uint8_t level = lines.lineLevel;
    if (level == linesAtRest && lines.pollDue) {
        lines.pollDue = 0;
        pollLink();
    }
    return level;
}

void LinkEngine::gatherBit(int bit) {
    rxByte = static_cast<uint8_t>(rxByte | (bit << rxBitCount));
    if (++rxBitCount == 8) {
        const uint8_t byte = rxByte;
        rxByte = 0;
        rxBitCount = 0;
        appendReceivedByte(byte);
    }
}

void LinkEngine::appendReceivedByte(uint8_t byte) {
    LinkPacket& p = rxPacket;
    if (p.received < 4) {
        switch (p.received) {
            case 0:
                p.machineId = byte;
                break;
            case 1:
                p.commandId = byte;
                break;
            case 2:
                p.length = static_cast<uint16_t>((p.length & 0xFF00) | byte);
                break;
            default:
                p.length = static_cast<uint16_t>((p.length & 0x00FF) | (byte << 8));
                break;
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

void LinkEngine::pollLink() {
    for (;;) {
        if (!sending) {
            if (!receivedPacketReady()) return;
            setBusy(true);
            handlePacket();
            clearReceivedPacket();
            if (sendQueue.bitIndex == 8) {
                // Nothing to answer: the engine waits for the calculator, which needs no
                // interrupts from this side meanwhile. Without this, an ACK that comes
                // after a transfer has ended would leave the flag set for good.
                setBusy(false);
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
        if (state_ == LinkState::EndWithEot || state_ == LinkState::RxDone) {
            resetLink();
            return;
        }
        clearSendQueue(sendQueue);
        sending = 0;
        setBusy(false);
        return;
    }
}

void LinkEngine::handlePacket() {
    if (rxOversized_) {
        // Too long to hold: the transfer cannot go on.
        state_ = LinkState::EndWithEot;
        queueReply();
        return;
    }
    if (receiveMode) {
        handleReceiving();
    } else {
        handleUploading();
    }
}

void LinkEngine::handleReceiving() {
    switch (rxPacket.commandId) {
        case cmdVar:
            state_ = rxPacket.isBackupHeader() ? LinkState::RxBackupHeader : LinkState::RxHeader;
            // One name per transfer: a group of variables becomes one group file.
            if (!variables.fileName && !askSaveName()) {
                state_ = LinkState::EndWithEot;
                queueReply();
                return;
            }
            variables.append(rxPacket);
            queueReply();
            return;
        case cmdData:
            if (state_ == LinkState::RxHeader) {
                state_ = LinkState::RxData;
            } else if (state_ == LinkState::RxBackupHeader) {
                state_ = LinkState::RxBackupData;
                partsLeft = 3;
            } else if (state_ != LinkState::RxData && state_ != LinkState::RxBackupData) {
                // Data without a header belongs to no variable; kept, it would corrupt the
                // file of the next transfer.
                state_ = LinkState::EndWithEot;
                queueReply();
                return;
            }
            variables.append(rxPacket);
            if (state_ == LinkState::RxBackupData && --partsLeft == 0) {
                state_ = storeReceivedFile() ? LinkState::RxDone : LinkState::EndWithEot;
            }
            queueReply();
            return;
        case cmdAck:
            return;
        case cmdEot:
            // Nothing received, nothing to save: acknowledge without a file or a prompt.
            if (variables.empty()) {
                state_ = LinkState::RxDone;
            } else {
                state_ = storeReceivedFile() ? LinkState::RxDone : LinkState::EndWithEot;
            }
            queueReply();
            return;
        default:  // ERR, and CTS or SKIP, which a sender never gets
            state_ = LinkState::EndWithEot;
            queueReply();
            return;
    }
}

void LinkEngine::handleUploading() {
    switch (rxPacket.commandId) {
        case cmdCts:
            if (state_ == LinkState::TxBackupHeader) {
                state_ = LinkState::TxBackupData;
                partsLeft = 3;
            } else if (state_ == LinkState::TxHeader) {
                state_ = LinkState::TxData;
            } else {
                state_ = LinkState::EndWithEot;
            }
            queueReply();
            return;
        case cmdSkip: {
            const uint8_t reason = rxPacket.length >= 1 ? rxPacket.payload[0] : 0;
            if (reason == skipThis && state_ == LinkState::TxHeader) {
                while (!variables.empty() && variables.first().commandId == cmdData)
                    variables.takeFirst();
                queueShort(cmdAck);
                state_ = variables.empty() ? LinkState::EndWithEot : LinkState::TxHeader;
            } else {
                // Exit, a full memory, or a skip where no variable was offered: end it.
                state_ = LinkState::EndWithEot;
            }
            queueReply();
            return;
        }
        case cmdAck:
            switch (state_) {
                case LinkState::TxBackupHeader:
                case LinkState::TxHeader:
                    return;
                case LinkState::TxBackupData:
                    if (--partsLeft <= 0) {
                        resetLink();  // the third part is in: the backup is complete
                        return;
                    }
                    queueReply();
                    return;
                case LinkState::TxData:
                    state_ = variables.empty() ? LinkState::TxEot : LinkState::TxHeader;
                    queueReply();
                    return;
                case LinkState::TxEot:
                    resetLink();
                    return;
                default:
                    queueReply();
                    return;
            }
        default:  // ERR and anything the upload does not expect
            state_ = LinkState::EndWithEot;
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
        state_ = LinkState::EndWithEot;
        queueShort(cmdEot);
        return;
    }
    const std::vector<uint8_t> bytes = variables.takeFirst().wireBytes();
    appendToSendQueue(sendQueue, bytes.data(), bytes.size());
}

void LinkEngine::queueReply() {
    switch (state_) {
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

bool LinkEngine::askSaveName() {
    if (!peer_) return false;
    std::optional<std::string> name = peer_->askSaveName(rxPacket.isBackupHeader());
    if (!name) return false;
    // No path holds a zero byte: the name ends there.
    if (const auto zero = name->find('\0'); zero != std::string::npos) name->resize(zero);
    if (name->empty()) return false;
    variables.fileName = std::move(*name);
    return true;
}

bool LinkEngine::storeReceivedFile() {
    const std::string name = variables.fileName.value_or(std::string());
    const std::vector<uint8_t> bytes =
        encodeVariableFile(variables, fileClock ? fileClock() : localFileTime());
    variables.clear();
    return peer_ && peer_->storeReceivedFile(name, bytes);
}

void LinkEngine::clearTransfer() {
    rxByte = 0;
    rxBitCount = 0;
    state_ = LinkState::Idle;
    receiveMode = 1;
    sending = 0;
    partsLeft = 0;
    variables.clear();
    lines.pollDue = 0;
    lines.lineLevel = linesAtRest;
    clearReceivedPacket();
    clearSendQueue(sendQueue);
}

void LinkEngine::resetLink() {
    clearTransfer();
    setBusy(false);
}

void LinkEngine::startUpload(VariableList packets) {
    // Whatever an earlier transfer left behind must not go out ahead of this file.
    clearTransfer();
    variables = std::move(packets);
    variables.fileName.reset();
    if (variables.count() >= 2 && variables.first().commandId == cmdVar) {
        const LinkPacket header = variables.takeFirst();
        const std::vector<uint8_t> bytes = header.wireBytes();
        appendToSendQueue(sendQueue, bytes.data(), bytes.size());
        if (header.isBackupHeader()) {
            state_ = LinkState::TxBackupHeader;
            partsLeft = 3;
        } else {
            state_ = LinkState::TxHeader;
        }
    } else {
        variables.clear();
        state_ = LinkState::EndWithEot;
    }
    sending = 1;
    receiveMode = 0;
    if (state_ == LinkState::EndWithEot) queueShort(cmdEot);
    setBusy(true);
    pollLink();
}

}  // namespace vantrel
