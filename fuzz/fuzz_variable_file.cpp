// The variable-file reader on arbitrary bytes. Whatever it accepts must be packets
// the engine can send, and must survive being written and read again unchanged.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "link/variable_file.h"

using namespace vantrel;

namespace {

const std::string& scratchDir() {
    // Never destroyed: the clean-up at exit still needs it.
    static const std::string& dir = *new std::string([] {
        char pattern[] = "/tmp/vantrel-fuzz-vf-XXXXXX";
        if (!::mkdtemp(pattern)) std::abort();
        std::atexit([] {
            ::unlink((scratchDir() + "/in.85g").c_str());
            ::unlink((scratchDir() + "/out.85g").c_str());
            ::rmdir(scratchDir().c_str());
        });
        return std::string(pattern);
    }());
    return dir;
}

void writeFile(const std::string& path, const uint8_t* data, size_t size) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) std::abort();
    if (size && std::fwrite(data, 1, size, f) != size) std::abort();
    std::fclose(f);
}

int noAnswer(int, bool, const std::string&, const std::string&) { return 0; }
int yes(int, bool, const std::string&, const std::string&) { return 1; }

std::vector<std::vector<uint8_t>> drain(VariableList& list) {
    std::vector<std::vector<uint8_t>> packets;
    while (!list.empty()) {
        const LinkPacket p = list.takeFirst();
        const bool sound = (p.commandId == cmdVar || p.commandId == cmdData) && p.length < oversizedLength &&
                           p.payload.size() == p.length + 2u && p.payloadSize == p.length + 2u &&
                           p.received == p.length + 6u && (p.commandId != cmdVar || p.length > 0);
        if (!sound) std::abort();
        packets.push_back(p.wireBytes());
    }
    return packets;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string in = scratchDir() + "/in.85g";
    const std::string out = scratchDir() + "/out.85g";
    writeFile(in, data, size);

    VariableList list;
    list.fileName = in;
    readVariableFile(list, noAnswer);
    size_t section = 0;
    {
        VariableList copy;
        copy.fileName = out;
        const auto packets = drain(list);
        for (const auto& bytes : packets) {
            const uint8_t command = bytes[1];
            const uint16_t length = static_cast<uint16_t>(bytes[2] | (bytes[3] << 8));
            copy.append(LinkPacket::withData(command, bytes.data() + 4, length));
            section += length + 2u;
        }
        if (packets.empty()) return 0;
        ::unlink(out.c_str());
        if (!writeVariableFile(copy, yes)) std::abort();

        // Read back (while the data-section length still fits its 16-bit field).
        if (section >= 65536) return 0;
        VariableList again;
        again.fileName = out;
        readVariableFile(again, noAnswer);
        if (drain(again) != packets) std::abort();
    }
    return 0;
}
