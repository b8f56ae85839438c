// The calculator panel at any size: it keeps its proportions, sits centred in the
// view, and every point of the view maps back onto the 1x layout that the keys and
// the LCD are defined in. The LCD's 128 x 64 pixels become whole cells of device
// pixels from a device scale of 2 up (or square ones at any scale); below that the
// 1x picture is stretched.
#pragma once

namespace vantrel {

// The panel at 1x: the LCD frame at the top, the key panel below.
inline constexpr int panelWidth = 231;
inline constexpr int panelHeight = 447;

struct PanelPlacement {
    double scale = 1;  // view pixels per 1x pixel
    double left = 0;   // where the panel's 1x origin lands in the view
    double top = 0;

    // A point of the view on the 1x layout (outside the panel gives points outside it).
    int layoutX(double x) const;
    int layoutY(double y) const;
};

// The largest panel that fits the view, centred; never below 1x.
PanelPlacement placePanel(double viewWidth, double viewHeight);

// The largest zoom up to highest (never below 1) at which the panel, with what the
// window adds around it (menus, status line and frame: extraWidth x extraHeight; the
// window never narrower than minWidth), fits into a room of roomWidth x roomHeight.
int largestZoomThatFits(int roomWidth, int roomHeight, int extraWidth, int extraHeight,
                        int minWidth, int highest);

// The LCD's pixels inside a frame of frameWidth x frameHeight device pixels.
struct LcdCells {
    bool stretched = true;  // the 1x picture (212 x 128) stretched over the whole frame
    int cellWidth = 0;      // else each LCD pixel is cellWidth x cellHeight device pixels,
    int cellHeight = 0;
    int left = 0;  // and the picture's top-left in the frame
    int top = 0;

    int width() const;
    int height() const;
};

// Whole cells once the frame is at least twice the 1x picture each way, as tall as
// fits and as wide as keeps the 1x picture's proportions, centred; margins inside the
// frame show the LCD's background. square: cells as high as wide, as screenshots have
// them, the largest whole ones that fit (one pixel at least), at any frame size.
LcdCells lcdCells(int frameWidth, int frameHeight, bool square = false);

}  // namespace vantrel
