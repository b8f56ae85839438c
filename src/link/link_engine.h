// The PC end of the link cable: the calculator's packet protocol on top of the bit
// layer of port 7. Listens while the calculator sends variables and writes them into
// one variable file; feeds a variable file to the calculator on upload.
//
// All work happens inside the calculator's port-7 accesses on the emulation thread,
// except startUpload, which runs on the user-interface thread while it holds the
// emulation loop at an instruction boundary (or blocked in a host call).
#pragma once

#include <cstdint>
#include <string>

#include "link/link_lines.h"
#include "link/link_packet.h"
#include "link/variable_file.h"
#include "link/variable_list.h"

namespace vantrel {

struct Machine;

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
    LinkEngine();
    LinkEngine(const LinkEngine&) = delete;
    LinkEngine& operator=(const LinkEngine&) = delete;

    // Port 7 (emulation thread).
    uint8_t readLinkPort(Machine& machine);
    void writeLinkPort(Machine& machine, uint8_t value);
    // Begins sending a variable file (user-interface thread).
    void startUpload(Machine& machine, const std::string& path);

    void appendReceivedByte(Machine& machine, uint8_t byte);
    void pollLink(Machine& machine);
    void resetLink(Machine& machine);

    uint8_t rxByte = 0;
    uint8_t rxBitCount = 0;
    LinkPacket rxPacket;
    SendQueue sendQueue;
    uint32_t sending = 0;
    VariableList variables;
    LinkState state = LinkState::Idle;
    LinkLines lines;
    int32_t partsLeft = 0;
    uint32_t receiveMode = 1;

    // The local time written into received files; tests set a fixed one.
    FileClock fileClock = localFileTime;

private:
    void gatherBit(Machine& m, int bit);
    void beginPayload();
    bool receivedPacketReady() const;
    void clearReceivedPacket();
    void handlePacket(Machine& m);
    void handleReceiving(Machine& m);
    void handleUploading(Machine& m);
    void queueReply();
    void queueShort(uint8_t commandId);
    void queueEntry();
    bool askSaveName(Machine& m);
    bool writeReceivedFile(Machine& m);
    void clearTransfer();

    // Bytes of a packet being passed over: one of an unknown command (given up once
    // its declared length and checksum have gone by), or a known packet too long to
    // hold, which ends the transfer once it has gone by.
    uint32_t rxDiscard_ = 0;
    bool rxOversized_ = false;
};

}  // namespace vantrel
