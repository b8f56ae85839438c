#include "hardware/lcd_picture.h"

#include <cstring>

#include "hardware/machine.h"
#include "hardware/ports.h"

namespace vantrel {

const uint8_t* lcdMemory(const Machine& m) {
    return calculatorOn(m) ? m.mem.ramAt(lcdAddress) : blankLcdBuffer.data();
}

[[gnu::noinline]] LcdBytes lcdMemoryCopy(const Machine& m) {
    LcdBytes copy;
    std::memcpy(copy.data(), lcdMemory(m), copy.size());
    return copy;
}

void stretchLcd(const uint8_t* lcd, ShownLcd& shown) {
    for (int y = 0; y < lcdShownHeight; ++y)
        for (int x = 0; x < lcdShownWidth; ++x)
            shown[y * lcdShownWidth + x] = lcdPixel(lcd, lcdSourceColumn(x), lcdSourceRow(y));
}

}  // namespace vantrel
