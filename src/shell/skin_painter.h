// The key panel below the LCD: a 231 x 321 picture drawn at client point (0, 126),
// every key inside its keyRects rectangle with its legend, the 2nd functions and
// the alpha letters printed above the keys. Drawn with vectors so that it is sharp
// at any device pixel ratio.
#pragma once

#include <QColor>
#include <QPixmap>

class QPainter;

namespace vantrel {

inline constexpr int skinTop = 126;
inline constexpr int skinWidth = 231;
inline constexpr int skinHeight = 321;

inline const QColor secondLegendColour{150, 92, 0};
inline const QColor alphaLegendColour{24, 70, 160};

// Paints the panel in client coordinates; face is the window's button colour.
void paintSkinPicture(QPainter& painter, const QColor& face);

// The same as a pixmap of 231 x 321 logical pixels at the given device pixel ratio.
QPixmap renderSkin(const QColor& face, qreal devicePixelRatio);

}  // namespace vantrel
