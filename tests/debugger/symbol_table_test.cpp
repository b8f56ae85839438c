#include "debugger/symbol_table.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "debugger/disassembler.h"
#include "support/temp_dir.h"

#ifdef VANTREL_FIRMWARE_SYMBOLS
#include "support/firmware_symbols.h"
#endif

namespace vantrel {
namespace {

// --- the demo firmware's own file ------------------------------------------------------

#ifdef VANTREL_FIRMWARE_SYMBOLS  // builds without the assembled firmware leave these out

TEST(SymbolTableFirmware, ReadsEverySymbolOfTheAssemblersFile) {
    SymbolTable table;
    ASSERT_TRUE(table.loadFile(VANTREL_FIRMWARE_SYMBOLS));
    const auto expected = test::readFirmwareSymbols();
    ASSERT_GT(expected.size(), 100u);
    EXPECT_EQ(table.size(), expected.size());
    for (const auto& [name, value] : expected) {
        std::string upper = name;
        for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        EXPECT_EQ(table.find(upper), value) << name;
    }
}

TEST(SymbolTableFirmware, LabelsNameTheirAddressesBeforeConstants) {
    SymbolTable table;
    ASSERT_TRUE(table.loadFile(VANTREL_FIRMWARE_SYMBOLS));
    // 0 is both the reset label and constants such as LINK_OK; 0xFC00 is two constants.
    EXPECT_EQ(*table.nameAt(0x0000), "reset");
    EXPECT_EQ(*table.nameAt(0xFC00), "LCD_MEM");
    const uint16_t add32 = table.find("add32").value();
    EXPECT_EQ(table.nearest(add32 + 3)->text(), "add32+3");
}

TEST(SymbolTableFirmware, DisassemblyNamesCallTargets) {
    SymbolTable table;
    ASSERT_TRUE(table.loadFile(VANTREL_FIRMWARE_SYMBOLS));
    const auto rom = test::readBytes(VANTREL_FIRMWARE_ROM);
    ASSERT_EQ(rom.size(), 0x20000u);
    const ByteReader read = [&rom](uint16_t a) { return rom[a]; };
    uint16_t at = table.find("addTermToSum").value();
    bool found = false;
    for (int i = 0; i < 12 && !found; ++i) {
        const Instruction in = disassemble(read, at, &table);
        found = in.text == "CALL add32" && in.target == table.find("add32");
        at = in.next();
    }
    EXPECT_TRUE(found);

    const uint8_t loads[] = {0x21, 0x00, 0x00, 0x21, 0x30, 0x84};
    const ByteReader readLoads = [&loads](uint16_t a) { return loads[a % 6]; };
    EXPECT_EQ(disassemble(readLoads, 0, &table).text, "LD HL,0000h");
    EXPECT_EQ(disassemble(readLoads, 3, &table).text, "LD HL,numA");
}
#endif

// --- crafted files ------------------------------------------------------------------------

TEST(SymbolTableText, ReadsEachFormAndSkipsTheRest) {
    SymbolTable table;
    const std::size_t added = table.addText(
        "; a comment\n"
        "FOO\t\tEQU 01234H\n"
        "bar: EQU 0x8000\r\n"
        "Baz equ $C000\n"
        "qux = 100\n"
        "quux=0FFFFh\n"
        "corge: 1A2B\n"
        "grault: 10 ; listing form: hexadecimal\n"
        "garply EQU 12 ; equates: decimal\n"
        "big EQU 10000H\n"
        "negative EQU -1\n"
        "two words here\n"
        "EQU 1234\n"
        "empty EQU\n"
        "foo EQU 9999H\n"
        "loop: ld a,b\n"
        "1abc EQU 5\n");
    EXPECT_EQ(added, 8u);
    EXPECT_EQ(table.find("foo"), 0x1234);  // the later lower-case foo is the same name
    EXPECT_EQ(table.find("BAR"), 0x8000);
    EXPECT_EQ(table.find("baz"), 0xC000);
    EXPECT_EQ(table.find("qux"), 100);
    EXPECT_EQ(table.find("quux"), 0xFFFF);
    EXPECT_EQ(table.find("corge"), 0x1A2B);
    EXPECT_EQ(table.find("grault"), 0x10);
    EXPECT_EQ(table.find("garply"), 12);
    EXPECT_FALSE(table.find("big"));
    EXPECT_FALSE(table.find("loop"));
}

TEST(SymbolTableText, ChoosesOneNameAndFindsTheNearest) {
    SymbolTable table;
    table.addText("LIMIT EQU 8000H\nOTHER EQU 9000H\nbuffer EQU 8000H\nSECOND EQU 9000H\n");
    EXPECT_EQ(*table.nameAt(0x8000), "buffer");
    EXPECT_EQ(*table.nameAt(0x9000), "OTHER");
    EXPECT_EQ(table.nameAt(0x8001), nullptr);

    EXPECT_EQ(table.nearest(0x8000)->text(), "buffer");
    EXPECT_EQ(table.nearest(0x801C)->text(), "buffer+1Ch");
    EXPECT_EQ(table.nearest(0x80A0)->text(), "buffer+0A0h");
    EXPECT_EQ(table.nearest(0xFFFF)->text(), "OTHER+6FFFh");
    EXPECT_FALSE(table.nearest(0x7FFF));
    EXPECT_FALSE(table.nearest(0x8010, 0x0F));
}

// Memory operands and jump targets are named from a name up to 15 bytes below them, in
// the same memory; an exact name comes first, and a 16-bit immediate takes only that.
TEST(SymbolTableText, DisassemblyNamesAddressesNearAName) {
    SymbolTable table;
    table.addText("numA EQU 8430H\nnumB EQU 8440H\nromTop EQU 7FFEH\n");
    const auto text = [&](std::vector<uint8_t> bytes) {
        bytes.resize(4, 0);
        return disassemble([&](uint16_t a) { return bytes[a & 3]; }, 0, &table).text;
    };
    EXPECT_EQ(text({0x3A, 0x33, 0x84}), "LD A,(numA+3)");
    EXPECT_EQ(text({0x32, 0x3F, 0x84}), "LD (numA+0Fh),A");
    EXPECT_EQ(text({0x3A, 0x40, 0x84}), "LD A,(numB)");
    EXPECT_EQ(text({0x3A, 0x50, 0x84}), "LD A,(8450h)");   // 16 bytes on
    EXPECT_EQ(text({0x2A, 0x00, 0x80}), "LD HL,(8000h)");  // ROM's name, RAM's address
    EXPECT_EQ(text({0xC3, 0x32, 0x84}), "JP numA+2");
    EXPECT_EQ(text({0x21, 0x33, 0x84}), "LD HL,8433h");
}

TEST(SymbolTableText, StrangeInputNeverBreaksIt) {
    SymbolTable table;
    std::mt19937 random(85);
    std::string noise(200000, '\0');
    for (char& c : noise) c = static_cast<char>(random());
    table.addText(noise);
    table.addText(std::string(100000, 'a') + " EQU 1\n" + std::string(256, 'n') + " EQU 2\n");
    EXPECT_FALSE(table.find(std::string(256, 'n')));
    table.addText(std::string("x EQU 1\0y EQU 2\n", 16));
    EXPECT_EQ(table.find("x"), std::nullopt);  // the NUL makes the line junk
    table.addText("p EQU 1\nq EQU 2");         // no newline at the end
    EXPECT_EQ(table.find("q"), 2);
}

// Typed, "FFFF" and "C000h" are addresses; as names they would send a breakpoint or a
// listing to the wrong place, so they are left out, and said so.
TEST(SymbolTableText, NamesThatReadAsNumbersAreLeftOutAndListed) {
    SymbolTable table;
    std::vector<std::string> numbers;
    EXPECT_EQ(table.addText("FFFF EQU 1234h\nC000h EQU 10h\nadd EQU 5\nadd32 EQU 6\nhl EQU 7\n",
                            &numbers),
              2u);
    EXPECT_EQ(numbers, (std::vector<std::string>{"FFFF", "C000h", "add"}));
    EXPECT_FALSE(table.find("FFFF"));
    EXPECT_EQ(table.find("add32"), 6);  // beyond FFFF: a name
    EXPECT_EQ(table.nameAt(0x1234), nullptr);
    EXPECT_FALSE(table.add("beef", 1));
}

TEST(SymbolTableFile, RefusesFilesItCannotOrShouldNotReadSayingWhy) {
    test::TempDir dir;
    SymbolTable table;
    table.add("kept", 1);
    EXPECT_EQ(table.loadFile(dir / "missing.sym").failure(),
              Failure::system(ENOENT, "No such file or directory."));
    EXPECT_EQ(table.loadFile(dir.path()).failure(), Failure::system(EISDIR, "Is a directory."));
    test::writeText(dir / "huge.sym", "name EQU 1\n");
    std::filesystem::resize_file(dir / "huge.sym", SymbolTable::maxFileBytes + 1);
    EXPECT_EQ(table.loadFile(dir / "huge.sym").failure(),
              Failure::system(EFBIG, "It is larger than any symbol file (8 MiB)."));
    EXPECT_EQ(table.size(), 1u);
}

}  // namespace
}  // namespace vantrel
