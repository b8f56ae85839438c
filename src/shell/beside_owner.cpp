#include "shell/beside_owner.h"

#include <QScreen>
#include <QWidget>
#include <algorithm>

namespace vantrel {

void placeBesideOwner(QWidget* window, const QWidget* owner) {
    if (!owner || !owner->isVisible()) return;
    const QRect beside = owner->frameGeometry();
    // The frame the window will get, taken to be the owner's.
    const QSize frame = window->size() + (beside.size() - owner->size());
    const QScreen* screen = owner->screen();
    const QRect area = screen ? screen->availableGeometry() : QRect();
    constexpr int gap = 8;
    const int right = beside.right() + 1 + gap;
    const int left = beside.left() - gap - frame.width();
    int x = right;
    int y = beside.top();
    if (!area.isEmpty()) {
        const bool fitsRight = right + frame.width() <= area.right() + 1;
        const bool fitsLeft = left >= area.left();
        if (!fitsRight) {
            if (fitsLeft) {
                x = left;
            } else {
                x = area.right() + 1 - beside.right() > beside.left() - area.left()
                        ? area.right() + 1 - frame.width()
                        : area.left();
                y = area.bottom() + 1 - frame.height();
            }
        }
        x = std::clamp(x, area.left(), std::max(area.left(), area.right() + 1 - frame.width()));
        y = std::clamp(y, area.top(), std::max(area.top(), area.bottom() + 1 - frame.height()));
    }
    window->move(x, y);
}

}  // namespace vantrel
