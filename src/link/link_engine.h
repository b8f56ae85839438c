// The PC end of the link cable: the calculator's packet protocol on top of the bit
// layer of port 7. Listens while the calculator sends variables and writes them into
// one variable file; feeds a variable file to the calculator on upload.
//
// All work happens inside the calculator's port-7 accesses on the emulation thread,
// except startUpload, which runs on the user-interface thread while the caller holds
// the emulation loop at an instruction boundary (or blocked in a call to its peer).
// Only busy() may be asked from any thread at any time.
#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "link/link_lines.h"
#include "link/link_packet.h"
#include "link/variable_file.h"
#include "link/variable_list.h"

namespace vantrel {

// The PC side's owner: where received variables go. Called on the emulation thread
// in the middle of a port access; each call may block until the user answers.
class LinkPeer {
public:
    virtual ~LinkPeer() = default;
    // The file name for the variables about to arrive; none refuses them. backup: a
    // memory backup, which takes its own extension.
    virtual std::optional<std::string> askSaveName(bool backup) = 0;
    // The received variables as a whole variable file. True when they were stored.
    virtual bool storeReceivedFile(const std::string& name, const std::vector<uint8_t>& bytes) = 0;
    // The calculator wrote the abort value: the transfer is over.
    virtual void transferAborted() {}
};

enum class LinkState : uint32_t {
    Idle = 0,
    EndWithEot = 1,      // the transfer failed or was refused: send EOT, then reset
    RxHeader = 2,        // a variable header arrived: answer ACK and CTS
    RxBackupHeader = 3,  // a backup header arrived: answer ACK and CTS
    RxData = 4,
    RxBackupData = 5,    // receiving the three parts of a backup
    RxDone = 6,          // the received file was written: send ACK, then reset
    TxBackupHeader = 7,  // a backup header was sent; waiting for CTS
    TxHeader = 8,        // a variable header is or has been sent; waiting for CTS or SKIP
    TxData = 9,          // a variable's data was sent; waiting for ACK
    TxBackupData = 10,   // sending the three parts of a backup
    TxEot = 11,          // EOT was sent; waiting for the final ACK
};

class LinkEngine {
public:
    LinkEngine() = default;
    LinkEngine(const LinkEngine&) = delete;
    LinkEngine& operator=(const LinkEngine&) = delete;

    void setPeer(LinkPeer* peer) { peer_ = peer; }

    // Port 7 (emulation thread).
    uint8_t readLinkPort();
    void writeLinkPort(uint8_t value);
    // Begins sending the packets of a variable file, dropping whatever an earlier
    // transfer left; packets without a variable in them (a file that could not be
    // read) end the calculator's wait with EOT (user-interface thread, loop held).
    void startUpload(VariableList packets);
    // Drops every transfer and goes back to listening.
    void resetLink();

    // True while the PC side of a transfer is busy: the calculator then needs
    // interrupts to move it on. Any thread.
    bool busy() const { return busy_.load(std::memory_order_acquire); }
    LinkState state() const { return state_; }
    // While the peer is asked for a save name: the name of the variable whose header
    // came in (emulation thread, from inside that call).
    std::string incomingVariableName() const { return rxPacket.variableName(); }

    // The local time written into received files; tests set a fixed one.
    FileClock fileClock = localFileTime;

private:
    friend struct LinkEngineProbe;  // tests look at the bit and packet layers

    void appendReceivedByte(uint8_t byte);
    void pollLink();
    void setBusy(bool value) { busy_.store(value, std::memory_order_release); }

    uint8_t rxByte = 0;
    uint8_t rxBitCount = 0;
    LinkPacket rxPacket;
    SendQueue sendQueue;
    uint32_t sending = 0;
    VariableList variables;
    LinkState state_ = LinkState::Idle;
    LinkLines lines;
    int32_t partsLeft = 0;
    uint32_t receiveMode = 1;

    void gatherBit(int bit);
    void beginPayload();
    bool receivedPacketReady() const;
    void clearReceivedPacket();
    void handlePacket();
    void handleReceiving();
    void handleUploading();
    void queueReply();
    void queueShort(uint8_t commandId);
    void queueEntry();
    bool askSaveName();
    bool storeReceivedFile();
    void clearTransfer();

    // Bytes of a packet being passed over: one of an unknown command (given up once
    // its declared length and checksum have gone by), or a known packet too long to
    // hold, which ends the transfer once it has gone by.
    uint32_t rxDiscard_ = 0;
    bool rxOversized_ = false;
    LinkPeer* peer_ = nullptr;
    std::atomic<bool> busy_{false};
};

}  // namespace vantrel
