// Placeholder: the keypad logic lands with the keypad work.
#include "hardware/keypad.h"

#include "hardware/machine.h"

namespace vantrel {

const std::array<KeyRect, keyCount> keyRects{};

Keypad::Keypad(const Machine& machine) : machine_(machine) {}
void Keypad::onKey(bool, KeyPainter*, int) {}
void Keypad::pressAt(int, int, KeyPainter*) {}
void Keypad::releaseMouse(KeyPainter*) {}
void Keypad::dragTo(int, int, KeyPainter*) {}
void Keypad::keyboardKeyDown(KeyPainter*, PcKey) {}
void Keypad::keyboardChar(KeyPainter*, char32_t) {}
void Keypad::keyboardRelease(KeyPainter*) {}
std::optional<int> Keypad::mapPcKey(PcKey) const { return std::nullopt; }
std::optional<int> Keypad::mapPcChar(char32_t) const { return std::nullopt; }
uint8_t Keypad::nextKeyCode() { return 0; }
bool Keypad::secondShiftActive() const { return false; }
bool Keypad::alphaShiftActive() const { return false; }

}  // namespace vantrel
