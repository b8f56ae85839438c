// Stands in for the Preferences dialog until it is wired in: nothing changes.
#include <QWidget>

#include "shell/common/settings.h"

namespace vantrel {

int runPreferences(QWidget*, Settings&, bool) { return 2; }

}  // namespace vantrel
