// The calculator panel: the LCD's black frame at the top and, from client row 126,
// the key panel, every key inside its keyRects rectangle with its legend, the 2nd
// functions and the alpha letters printed above the keys. Drawn with vectors in 1x
// coordinates, so that it is sharp at any zoom and device pixel ratio.
#pragma once

#include <QColor>
#include <QPixmap>

class QPainter;

namespace vantrel {

inline constexpr int skinTop = 126;
inline constexpr int skinWidth = 231;
inline constexpr int skinHeight = 321;

// The legends' own colours; on the panel they are made dark or light enough to read
// against the window's button colour (legendColour).
inline const QColor secondLegendColour{150, 92, 0};
inline const QColor alphaLegendColour{24, 70, 160};

// The contrast ratio of two colours, 1 to 21, as accessibility guidelines measure it.
double contrastRatio(const QColor& a, const QColor& b);
// The colour darkened on a light face, or lightened on a dark one, until small text
// in it reads well there (a contrast ratio of at least 7), keeping its hue.
QColor legendColour(const QColor& colour, const QColor& face);

// Paints the key panel in 1x client coordinates; face is the window's button colour.
void paintSkinPicture(QPainter& painter, const QColor& face);

// The whole panel (231 x 447 at 1x: the frame around the LCD, whose inside is left
// black, and the key panel) at scale times its 1x size and the given device pixel ratio.
QPixmap renderPanel(const QColor& face, qreal scale, qreal devicePixelRatio);

}  // namespace vantrel
