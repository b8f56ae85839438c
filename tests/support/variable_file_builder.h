// Variable files built by the tests in the published layout: signature, 42-byte
// comment, data-section length, entries (length word and data), checksum.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "link/variable_file.h"

namespace vantrel::test {

inline void putWord(std::vector<uint8_t>& out, uint16_t word) {
    out.push_back(static_cast<uint8_t>(word & 0xFF));
    out.push_back(static_cast<uint8_t>(word >> 8));
}

// The entries are the data of header and data packets; the data-section length and
// the checksum are computed the published way.
inline std::vector<uint8_t> variableFile(const std::vector<std::vector<uint8_t>>& entries,
                                         const std::string& commentText = "") {
    std::vector<uint8_t> file;
    // Room reserved up front also keeps GCC's bounds warning from misreading the inserts.
    file.reserve(64 * 1024);
    file.assign(variableFileSignature.begin(), variableFileSignature.end());
    char comment[42] = {};
    std::memcpy(comment, commentText.data(), std::min<std::size_t>(commentText.size(), 41));
    file.insert(file.end(), comment, comment + 42);
    std::vector<uint8_t> section;
    for (const auto& entry : entries) {
        putWord(section, static_cast<uint16_t>(entry.size()));
        section.insert(section.end(), entry.begin(), entry.end());
    }
    uint16_t sum = 0;
    for (uint8_t byte : section) sum = static_cast<uint16_t>(sum + byte);
    putWord(file, static_cast<uint16_t>(section.size()));
    file.insert(file.end(), section.begin(), section.end());
    putWord(file, sum);
    return file;
}

}  // namespace vantrel::test
