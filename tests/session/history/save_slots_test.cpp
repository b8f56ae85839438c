// Save slots on a running calculator: save, change, load, undo; slots of two ROM
// images apart; a damaged slot and a failed save leave every file as it was.
#include "session/history/save_slots.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "machine/machine.h"
#include "machine/thread_control.h"
#include "session/calculator/calculator.h"
#include "support/full_disk.h"
#include "support/scripted_front_end.h"
#include "support/temp_dir.h"

namespace vantrel::test {
namespace {

std::vector<uint8_t> spinningRom(uint8_t mark = 0) {
    std::vector<uint8_t> rom(romSize);
    std::memcpy(rom.data() + 0x328A, "10.0", 4);
    rom[0x0158] = 0x46;
    rom[0x0141] = 0x05;
    rom[0x0149] = 0x0E;
    rom[0x0000] = 0x18;  // JR -2: spins at 0
    rom[0x0001] = 0xFE;
    rom[0x4000] = mark;  // another ROM image
    return rom;
}

// A running calculator on its ROM image, and what the test changes in it.
struct SlotRig {
    TempDir dir;
    ScriptedFrontEnd front;
    Calculator calculator{front};

    explicit SlotRig(uint8_t mark = 0) {
        writeBytes(dir / "rom.bin", spinningRom(mark));
        EXPECT_TRUE(calculator.load(dir / "rom.bin", dir / "state.bin", true).usable(true));
        calculator.start();
    }
    void change(uint8_t value) {
        HoldGuard hold(calculator.machine().control);
        calculator.machine().mem.state.ram[0x1234] = value;
        calculator.machine().mem.state.ram[0x7C00] = value;  // in the LCD's memory
        calculator.machine().regs.b = value;
    }
};

TEST(SaveSlotsTest, SaveChangeLoadUndoAndUndoTheSave) {
    SlotRig rig;
    SaveSlots slots(rig.calculator, rig.dir / "data");
    EXPECT_FALSE(slots.info(3).used);
    rig.change(0x11);
    const auto saved = rig.calculator.captureState();
    ASSERT_TRUE(slots.save(3, 0x00FFFFFF, 0));
    const std::string file = slotStatePath(slots.folder(), 3);
    EXPECT_EQ(readBytes(file), saved);  // an ordinary state file
    const SlotInfo info = slots.info(3);
    EXPECT_TRUE(info.used);
    EXPECT_EQ(info.model, MachineModel::classic);
    EXPECT_EQ(info.picture, slotPicturePath(slots.folder(), 3));
    EXPECT_EQ(slots.undoableSave(), std::nullopt);  // nothing was replaced

    rig.change(0x22);
    const auto changed = rig.calculator.captureState();
    ASSERT_TRUE(slots.load(3));
    EXPECT_EQ(rig.calculator.captureState(), saved);
    ASSERT_TRUE(slots.canUndoLoad());
    ASSERT_TRUE(slots.undoLoad());
    EXPECT_EQ(rig.calculator.captureState(), changed);
    EXPECT_FALSE(slots.canUndoLoad());

    // Saving over the slot, then taking that back: the first state and its picture.
    const auto firstPicture = readBytes(info.picture);
    ASSERT_TRUE(slots.save(3, 0x00FFFFFF, 0));
    EXPECT_EQ(readBytes(file), changed);
    EXPECT_NE(readBytes(info.picture), firstPicture);
    ASSERT_EQ(slots.undoableSave(), 3);
    ASSERT_TRUE(slots.undoSave());
    EXPECT_EQ(readBytes(file), saved);
    EXPECT_EQ(readBytes(info.picture), firstPicture);
    EXPECT_EQ(slots.undoableSave(), std::nullopt);
}

TEST(SaveSlotsTest, TwoRomImagesKeepTheirSlotsApart) {
    SlotRig first(1);
    SlotRig second(2);
    SaveSlots firstSlots(first.calculator, first.dir / "data");
    SaveSlots secondSlots(second.calculator, first.dir / "data");  // one data folder
    ASSERT_NE(firstSlots.folder(), secondSlots.folder());
    first.change(0x33);
    ASSERT_TRUE(firstSlots.save(1, 0x00FFFFFF, 0));
    EXPECT_FALSE(secondSlots.info(1).used);
    const auto secondState = second.calculator.captureState();
    const auto empty = secondSlots.load(1);
    ASSERT_FALSE(empty);
    EXPECT_EQ(empty.failure().reason, "Slot 1 is empty.");
    EXPECT_EQ(second.calculator.captureState(), secondState);
    EXPECT_FALSE(secondSlots.canUndoLoad());
}

TEST(SaveSlotsTest, DamagedSlotRefusedAndFailedSaveLosesNothing) {
    SlotRig rig;
    SaveSlots slots(rig.calculator, rig.dir / "data");
    ASSERT_TRUE(slots.save(2, 0x00FFFFFF, 0));
    const std::string file = slotStatePath(slots.folder(), 2);
    std::vector<uint8_t> damaged = readBytes(file);
    damaged.resize(damaged.size() - 5);
    writeBytes(file, damaged);
    EXPECT_FALSE(slots.info(2).model.has_value());

    rig.change(0x44);
    const auto before = rig.calculator.captureState();
    const auto refused = slots.load(2);
    ASSERT_FALSE(refused);
    EXPECT_NE(refused.failure().reason.find("kept as it is"), std::string::npos);
    EXPECT_NE(refused.failure().reason.find("32795 bytes"), std::string::npos);
    EXPECT_EQ(readBytes(file), damaged);
    EXPECT_EQ(rig.calculator.captureState(), before);
    EXPECT_FALSE(slots.canUndoLoad());

    // A disk that takes no more: the system's reason, the slot as it was.
    Result<> failed;
    {
        FileSizeLimit full(1000);
        failed = slots.save(2, 0x00FFFFFF, 0);
    }
    ASSERT_FALSE(failed);
    EXPECT_EQ(failed.failure().code, EFBIG);
    EXPECT_NE(failed.failure().reason.find(errorText(EFBIG)), std::string::npos);
    EXPECT_EQ(readBytes(file), damaged);
    EXPECT_FALSE(slots.save(0, 0, 0));
    EXPECT_FALSE(slots.load(11));
}

}  // namespace
}  // namespace vantrel::test
