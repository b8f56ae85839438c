// Variable files as bytes: what the decoder accepts and refuses, and what the encoder
// produces from received packets.
#include "link/variable_file.h"

#include "link/link_fixture.h"

namespace vantrel::test {
namespace {

class VariableFileTest : public ::testing::Test {
protected:
    bool read(const std::vector<uint8_t>& bytes) {
        list.clear();
        return decodeVariableFile(bytes, list) == VariableFileRead::variables;
    }
    std::vector<LinkPacket> entries() {
        std::vector<LinkPacket> out;
        while (!list.empty()) out.push_back(list.takeFirst());
        return out;
    }

    VariableList list;
    const std::vector<uint8_t> header = {0x0A, 0x00, 0x00, 0x01, 'X'};
    const std::vector<uint8_t> data = bytesOf(10, 0xF5);
};

TEST_F(VariableFileTest, ReadsEntriesAsPacketsReadyToSend) {
    ASSERT_TRUE(read(variableFile({header, data})));
    const auto got = entries();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].commandId, cmdVar);
    EXPECT_EQ(got[1].commandId, cmdData);
    EXPECT_EQ(got[0].machineId, 0x05);
    EXPECT_EQ(got[1].length, 10);
    EXPECT_EQ(got[1].received, 16);
    EXPECT_EQ(got[1].payloadSize, 12);
    std::vector<uint8_t> payload = data;
    putWord(payload, dataChecksum(data.data(), data.size()));
    EXPECT_EQ(got[1].payload, payload);
    EXPECT_GT(dataChecksum(data.data(), data.size()), 0xFF);  // both checksum bytes matter
}

TEST_F(VariableFileTest, ShortOrForeignFilesAreRefused) {
    // Exactly the 55 header bytes: nothing to read.
    auto bare = variableFile({});
    bare.resize(55);
    EXPECT_FALSE(read(bare));
    EXPECT_TRUE(list.empty());

    auto foreign = variableFile({header, data});
    foreign[8] = 0x1B;  // the byte after "**TI85**"
    EXPECT_FALSE(read(foreign));
    EXPECT_TRUE(list.empty());

    auto cut = variableFile({header, data});
    cut.resize(54);
    EXPECT_FALSE(read(cut));

    // A single entry is not a variable; a file cut inside one, or with bytes after its
    // last whole entry that are none, ends inside a variable.
    EXPECT_EQ(decodeVariableFile(variableFile({header}), list), VariableFileRead::noVariables);
    EXPECT_EQ(decodeVariableFile(cut, list), VariableFileRead::badData);
    auto inside = variableFile({header, data, header, data});
    for (std::size_t cutAt : {inside.size() - 3, inside.size() - 2 - data.size() - 2,
                              inside.size() - 2 - data.size() - 3}) {
        list.clear();
        const std::vector<uint8_t> shorter(inside.begin(),
                                           inside.begin() + static_cast<std::ptrdiff_t>(cutAt));
        EXPECT_EQ(decodeVariableFile(shorter, list), VariableFileRead::truncated) << cutAt;
        EXPECT_GE(list.count(), 2) << cutAt;  // the whole ones before stay in the list
    }
}

TEST_F(VariableFileTest, FarTooLargeFileIsRefusedWhole) {
    // Entries of one byte each: held as packets, such a file would take many times
    // its size in memory.
    std::vector<uint8_t> tiny;
    for (int i = 0; i < 400000; ++i) tiny.insert(tiny.end(), {1, 0, 0x15});
    auto big = variableFile({header, data});
    big.insert(big.end() - 2, tiny.begin(), tiny.end());
    ASSERT_GT(big.size(), maxVariableFileSize);
    EXPECT_FALSE(read(big));
    EXPECT_TRUE(list.empty());

    // The largest real file still reads.
    EXPECT_TRUE(read(variableFile({header, bytesOf(65000, 1)})));
}

TEST_F(VariableFileTest, BackupHeaderTakesThreeDataEntries) {
    const std::vector<uint8_t> backup{0x00, 0x01, backupTypeId, 0x00, 0x00};
    ASSERT_TRUE(
        read(variableFile({backup, bytesOf(3, 0), bytesOf(4, 0), bytesOf(5, 0), header, data})));
    const auto got = entries();
    ASSERT_EQ(got.size(), 6u);
    const std::vector<uint8_t> commands{cmdVar, cmdData, cmdData, cmdData, cmdVar, cmdData};
    for (std::size_t i = 0; i < got.size(); ++i) EXPECT_EQ(got[i].commandId, commands[i]) << i;
}

TEST_F(VariableFileTest, ChecksumIsCheckedAndNeverReadAsAnEntry) {
    auto wrong = variableFile({header, data});
    wrong[wrong.size() - 1] ^= 0x5A;
    EXPECT_EQ(decodeVariableFile(wrong, list), VariableFileRead::checksumMismatch);
    EXPECT_EQ(list.count(), 2);

    // A checksum word of 0 is not an empty header entry.
    auto zero = variableFile({header, data});
    zero[zero.size() - 2] = 0;
    zero[zero.size() - 1] = 0;
    list.clear();
    EXPECT_EQ(decodeVariableFile(zero, list), VariableFileRead::checksumMismatch);
    EXPECT_EQ(list.count(), 2);
    // Not even when the data-section length is wrong.
    zero[53] = 0xFF;
    list.clear();
    EXPECT_EQ(decodeVariableFile(zero, list), VariableFileRead::checksumMismatch);
    EXPECT_EQ(list.count(), 2);

    // A group of more than 64 KiB: its length is written modulo 65536, and its
    // checksum still agrees.
    EXPECT_TRUE(read(variableFile({header, bytesOf(40000, 3), header, bytesOf(40000, 7)})));
    EXPECT_EQ(list.count(), 4);
}

TEST_F(VariableFileTest, LengthWordTooLargeForAPacketEndsTheReading) {
    auto file = variableFile({header, data, header});
    // Turn the last header's length word into 65530, with bytes behind it.
    const std::size_t at = 55 + 2 + header.size() + 2 + data.size();
    file[at] = 0xFA;
    file[at + 1] = 0xFF;
    file.resize(file.size() + 70000, 0x11);
    EXPECT_EQ(decodeVariableFile(file, list), VariableFileRead::truncated);
    EXPECT_EQ(list.count(), 2);
}

TEST_F(VariableFileTest, CommentCarriesTheLocalTime) {
    const auto comment = variableFileComment(fixedTime());
    const std::string text = "Vantrel generated file: 05/03/2026, 09:07";
    ASSERT_EQ(text.size(), 41u);
    EXPECT_EQ(std::string(comment.begin(), comment.begin() + 41), text);
    EXPECT_EQ(comment[41], 0);
    // A year that does not fit is cut, and the text still ends in its zero byte.
    const auto wide = variableFileComment({31, 12, 123456, 23, 59});
    EXPECT_EQ(wide[41], 0);
}

TEST_F(VariableFileTest, WritesHeaderEntriesAndTheSentChecksums) {
    list.append(LinkPacket::withData(cmdVar, header.data(), 5));
    LinkPacket dataPacket = LinkPacket::withData(cmdData, data.data(), 10);
    dataPacket.payload[10] = 0x34;  // the checksum as the calculator sent it, wrong or not
    dataPacket.payload[11] = 0x12;
    list.append(dataPacket);
    const auto bytes = encodeVariableFile(list, fixedTime());

    ASSERT_EQ(bytes.size(), 55u + 19u + 2u);
    const std::string signature("**TI85**\x1A\x0C\x00", 11);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 11), signature);
    EXPECT_EQ(bytes[53], 19);
    EXPECT_EQ(bytes[54], 0);
    const uint16_t expected =
        static_cast<uint16_t>(dataChecksum(header.data(), 5) + 5 + 0x1234 + 10);
    EXPECT_EQ(bytes[74] | (bytes[75] << 8), expected);
}

TEST_F(VariableFileTest, WrittenFileReadsBackAsTheSamePackets) {
    const std::vector<uint8_t> backup{0x00, 0x01, backupTypeId, 0x00, 0x00};
    const std::vector<std::vector<uint8_t>> parts{backup, bytesOf(1000, 1), {}, bytesOf(1, 9)};
    for (std::size_t i = 0; i < parts.size(); ++i)
        list.append(LinkPacket::withData(i == 0 ? cmdVar : cmdData, parts[i].data(),
                                         static_cast<uint16_t>(parts[i].size())));
    ASSERT_TRUE(read(encodeVariableFile(list, fixedTime())));
    const auto got = entries();
    ASSERT_EQ(got.size(), parts.size());
    for (std::size_t i = 0; i < parts.size(); ++i) {
        EXPECT_EQ(got[i].wireBytes(), pcPacket(i == 0 ? cmdVar : cmdData, parts[i])) << i;
    }
}

}  // namespace
}  // namespace vantrel::test
