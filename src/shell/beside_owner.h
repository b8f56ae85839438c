// Where a window that explains or changes the calculator goes: beside the calculator's
// window, clear of the LCD and the keys it is about.
#pragma once

class QWidget;

namespace vantrel {

// Moves window (sized already) to the right of owner, or to its left when the screen
// has no room on the right; with room on neither side, to the side with more of it
// and as low as the screen allows, since the LCD is at the top of the owner. Nothing
// while the owner is not shown.
void placeBesideOwner(QWidget* window, const QWidget* owner);

}  // namespace vantrel
