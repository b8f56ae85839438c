#include "hardware/lcd_picture.h"

#include <cstring>

#include "hardware/ports.h"

namespace vantrel {

const uint8_t* lcdMemory(const MemoryMap& mem) {
    return calculatorOn(mem.state) ? mem.ramAt(lcdAddress) : blankLcdBuffer.data();
}

[[gnu::noinline]] LcdBytes lcdMemoryCopy(const MemoryMap& mem) {
    LcdBytes copy;
    std::memcpy(copy.data(), lcdMemory(mem), copy.size());
    return copy;
}

void stretchLcd(const uint8_t* lcd, ShownLcd& shown) {
    for (int y = 0; y < lcdShownHeight; ++y)
        for (int x = 0; x < lcdShownWidth; ++x)
            shown[static_cast<std::size_t>(y * lcdShownWidth + x)] =
                lcdPixel(lcd, lcdSourceColumn(x), lcdSourceRow(y));
}

}  // namespace vantrel
