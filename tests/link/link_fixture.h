// A machine with a scripted window, a calculator on the other end of the cable and a
// scratch directory for variable files.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "link/calculator_side.h"
#include "session/link/upload.h"
#include "support/link_probe.h"
#include "support/scripted_front_end.h"
#include "support/scripted_host.h"
#include "support/test_machine.h"
#include "support/variable_file_builder.h"

namespace vantrel::test {

inline FileTime fixedTime() { return {5, 3, 2026, 9, 7}; }

inline std::vector<uint8_t> readBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void writeBytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

// As the engine writes it at fixedTime.
inline std::vector<uint8_t> variableFileWithComment(
    const std::vector<std::vector<uint8_t>>& entries) {
    return test::variableFile(entries, "Vantrel generated file: 05/03/2026, 09:07");
}

inline std::vector<uint8_t> bytesOf(std::size_t count, uint8_t first) {
    std::vector<uint8_t> bytes(count);
    for (std::size_t i = 0; i < count; ++i) bytes[i] = static_cast<uint8_t>(first + i * 7);
    return bytes;
}

class LinkFixture : public ::testing::Test {
protected:
    void SetUp() override {
        dir = std::filesystem::temp_directory_path() /
              ("vantrel-link-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        m->setHost(&host);
        m->link.fileClock = fixedTime;
        host.saveName = (dir / "received.85g").string();
    }
    void TearDown() override {
        std::filesystem::permissions(dir, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add);
        std::filesystem::remove_all(dir);
    }

    // The calculator in its receive screen.
    void showWaiting() {
        m->mem.state.port3Value |= 0x08;
        std::memcpy(m->mem.state.ram.data() + (0x80DF - 0x8000), " Waiting", 8);
    }

    bool engineAtRest() const {
        LinkEngineProbe e(m->link);
        return e.state == LinkState::Idle && e.receiveMode == 1 && e.sending == 0 &&
               e.variables.empty() && !e.variables.fileName && e.sendQueue.bitIndex == 8 &&
               e.rxPacket.received == 0;
    }

    std::size_t filesIn() const {
        return static_cast<std::size_t>(
            std::distance(std::filesystem::directory_iterator(dir), {}));
    }

    // The Upload command's start with the file already chosen, as the window runs it.
    bool startUpload(const std::string& path) { return vantrel::startUpload(*m, front, path); }

    std::unique_ptr<Machine> m = makeMachine();
    ScriptedHost host;
    ScriptedFrontEnd front;  // the window, for what an upload's start tells
    CalculatorSide calc{*m};
    std::filesystem::path dir;
};

}  // namespace vantrel::test
