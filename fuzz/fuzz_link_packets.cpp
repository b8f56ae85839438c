// The link engine behind port 7 on arbitrary calculator behaviour: whole bytes sent
// with the proper handshake, bytes received from the PC, and raw port accesses, both
// while the engine listens and during an upload.
//
// Input: byte 0 picks the mode and the window's answers; then operations, each one
// byte (low two bits) with an argument byte for 0 and 2:
//   0 b: the calculator sends byte b      1: it receives one byte from the PC
//   2 v: OUT (7), v                        3: IN A, (7)
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "link/variable_file.h"
#include "machine/bus.h"
#include "support/link_probe.h"

using namespace vantrel;

namespace {

// The window's answers; a received file must be one the decoder reads back.
class FuzzHost : public HostInterface {
public:
    std::optional<std::string> askSaveName(bool) override {
        if (!giveName) return std::nullopt;
        return std::string("received.85g");
    }
    bool storeReceivedFile(const std::string&, const std::vector<uint8_t>& bytes) override {
        VariableList list;
        if (decodeVariableFile(bytes, list) == VariableFileRead::badData) std::abort();
        return store;
    }
    bool store = true;
    bool giveName = true;
};

struct World {
    std::vector<uint8_t> groupFile;
    std::vector<uint8_t> backupFile;
    std::unique_ptr<Machine> m = std::make_unique<Machine>();
    FuzzHost host;
};

void putEntry(std::vector<uint8_t>& section, const std::vector<uint8_t>& entry) {
    section.push_back(static_cast<uint8_t>(entry.size() & 0xFF));
    section.push_back(static_cast<uint8_t>(entry.size() >> 8));
    section.insert(section.end(), entry.begin(), entry.end());
}

std::vector<uint8_t> variableFileBytes(const std::vector<std::vector<uint8_t>>& entries) {
    std::vector<uint8_t> file(variableFileSignature.begin(), variableFileSignature.end());
    file.resize(55, 0);
    std::vector<uint8_t> section;
    for (const auto& entry : entries) putEntry(section, entry);
    file[53] = static_cast<uint8_t>(section.size() & 0xFF);
    file[54] = static_cast<uint8_t>(section.size() >> 8);
    file.insert(file.end(), section.begin(), section.end());
    const uint16_t sum = dataChecksum(section.data(), section.size());
    file.push_back(static_cast<uint8_t>(sum & 0xFF));
    file.push_back(static_cast<uint8_t>(sum >> 8));
    return file;
}

World& world() {
    static World* w = [] {
        auto* made = new World;
        made->groupFile = variableFileBytes({{0x0A, 0x00, 0x00, 0x01, 'A'},
                                             {0, 0xFC, 1, 2, 3, 4, 5, 6, 7, 8},
                                             {0x03, 0x00, 0x0C, 0x01, 'S'},
                                             {0x01, 0x00, 'x'}});
        made->backupFile =
            variableFileBytes({{0x10, 0x00, 0x1D, 0x00, 0x00}, {1, 2, 3}, {4}, {5, 6}});
        made->m->setHost(&made->host);
        made->m->link.fileClock = [] { return FileTime{1, 2, 2030, 3, 4}; };
        return made;
    }();
    return *w;
}

void check(LinkEngine& engine) {
    const LinkEngineProbe e(engine);
    const bool sound =
        e.sendQueue.readPos <= e.sendQueue.length &&
        e.sendQueue.length == e.sendQueue.data.size() && e.sendQueue.bitIndex <= 8 &&
        e.rxBitCount < 8 &&
        (e.rxPacket.payload.empty() || e.rxPacket.payload.size() == e.rxPacket.payloadSize) &&
        (!commandHasData(e.rxPacket.commandId) || e.rxPacket.received < 4 ||
         e.rxPacket.received <= e.rxPacket.length + 6u);
    if (!sound) std::abort();
}

void sendByte(Machine& m, uint8_t byte) {
    for (int i = 0; i < 8; ++i) {
        portWrite(m, 7, (byte >> i) & 1 ? 0xE8 : 0xD4);
        portRead(m, 7);
        portWrite(m, 7, 0xC0);
        portRead(m, 7);
    }
}

void receiveByte(Machine& m) {
    for (int bit = 0; bit < 8; ++bit) {
        uint8_t level = 3;
        for (int i = 0; i < 4 && level == 3; ++i) level = portRead(m, 7);
        if (level == 3) return;
        portWrite(m, 7, level == 9 ? 0xD4 : 0xE8);
        portRead(m, 7);
        portWrite(m, 7, 0xC0);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    World& w = world();
    Machine& m = *w.m;
    m.link.resetLink();

    const uint8_t setup = data[0];
    w.host.giveName = (setup & 0x04) == 0;
    w.host.store = (setup & 0x08) == 0;
    if (setup & 0x01) {
        VariableList packets;
        decodeVariableFile((setup & 0x02) ? w.backupFile : w.groupFile, packets);
        m.link.startUpload(std::move(packets));
    }

    for (size_t i = 1; i < size; ++i) {
        const uint8_t op = data[i] & 3;
        if ((op == 0 || op == 2) && i + 1 >= size) break;
        switch (op) {
            case 0:
                sendByte(m, data[++i]);
                break;
            case 1:
                receiveByte(m);
                break;
            case 2:
                portWrite(m, 7, data[++i]);
                break;
            default:
                portRead(m, 7);
                break;
        }
        check(m.link);
    }
    return 0;
}
