// The program's icons, drawn in code so they stay sharp at any scale.
#pragma once

#include <QIcon>

namespace vantrel {

QIcon appIcon();         // the window, the exit dialog and the About box
QIcon errorChipIcon();   // the illegal-opcode dialog
QIcon colorsPageIcon();  // the Colors page of Preferences

}  // namespace vantrel
