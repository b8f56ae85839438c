#include "shell/panel_geometry.h"

#include <algorithm>
#include <cmath>

#include "hardware/lcd_picture.h"

namespace vantrel {

int PanelPlacement::layoutX(double x) const {
    return static_cast<int>(std::floor((x - left) / scale));
}

int PanelPlacement::layoutY(double y) const {
    return static_cast<int>(std::floor((y - top) / scale));
}

PanelPlacement placePanel(double viewWidth, double viewHeight) {
    PanelPlacement placement;
    placement.scale = std::max(1.0, std::min(viewWidth / panelWidth, viewHeight / panelHeight));
    placement.left = std::max(0.0, (viewWidth - panelWidth * placement.scale) / 2);
    placement.top = std::max(0.0, (viewHeight - panelHeight * placement.scale) / 2);
    return placement;
}

int largestZoomThatFits(int roomWidth, int roomHeight, int extraWidth, int extraHeight,
                        int minWidth, int highest) {
    for (int zoom = highest; zoom > 1; --zoom) {
        const int width = std::max(panelWidth * zoom, minWidth) + extraWidth;
        if (width <= roomWidth && panelHeight * zoom + extraHeight <= roomHeight) return zoom;
    }
    return 1;
}

int LcdCells::width() const { return stretched ? 0 : cellWidth * lcdWidth; }
int LcdCells::height() const { return stretched ? 0 : cellHeight * lcdHeight; }

LcdCells lcdCells(int frameWidth, int frameHeight, bool square) {
    LcdCells cells;
    if (square) {
        cells.stretched = false;
        cells.cellWidth = cells.cellHeight =
            std::max(1, std::min(frameWidth / lcdWidth, frameHeight / lcdHeight));
    } else {
        if (frameWidth < 2 * lcdShownWidth || frameHeight < 2 * lcdShownHeight) return cells;
        cells.stretched = false;
        cells.cellWidth = frameWidth / lcdWidth;
        const int tallest = frameHeight / lcdHeight;
        // The 1x picture's pixels are 212/128 wide for every 2 high.
        constexpr double shape = static_cast<double>(lcdShownWidth) / lcdWidth /
                                 (static_cast<double>(lcdShownHeight) / lcdHeight);
        cells.cellHeight =
            std::clamp(static_cast<int>(std::lround(cells.cellWidth / shape)), 1, tallest);
    }
    cells.left = (frameWidth - cells.width()) / 2;
    cells.top = (frameHeight - cells.height()) / 2;
    return cells;
}

}  // namespace vantrel
