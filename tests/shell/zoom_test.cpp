// The window at any size: the panel in proportion, LCD pixels as whole cells from 2x,
// key rectangles and clicks scaled with it, and the zoom and place kept for the next
// start.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QHelpEvent>
#include <QImage>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QScreen>
#include <QToolTip>

#include "machine/machine.h"
#include "running_window.h"
#include "session/keys/key_help.h"
#include "session/keys/key_table.h"
#include "shell/calculator_view.h"
#include "shell/panel_geometry.h"
#include "shell/skin_painter.h"

namespace vantrel::test {
namespace {

TEST(PanelGeometry, LcdCellsAreWholeAndUniformFromTwiceTheFrame) {
    // 1x: the 212 x 128 picture of old, stretched.
    EXPECT_TRUE(lcdCells(212, 128).stretched);
    EXPECT_TRUE(lcdCells(423, 256).stretched);
    // The frame at each zoom (in device pixels) and the cell each LCD pixel gets: as
    // wide as fits, as tall as keeps the 1x picture's proportions.
    struct Case {
        int zoom, cellWidth, cellHeight;
    };
    for (const Case c : {Case{2, 3, 4}, Case{3, 4, 5}, Case{4, 6, 7}}) {
        const int width = 212 * c.zoom, height = 128 * c.zoom;
        const LcdCells cells = lcdCells(width, height);
        ASSERT_FALSE(cells.stretched) << c.zoom;
        EXPECT_EQ(cells.cellWidth, c.cellWidth) << c.zoom;
        EXPECT_EQ(cells.cellHeight, c.cellHeight) << c.zoom;
        // Centred, inside the frame, with margins of at most one cell.
        EXPECT_GE(cells.left, 0);
        EXPECT_GE(cells.top, 0);
        EXPECT_LE(cells.left + cells.width(), width);
        EXPECT_LE(cells.top + cells.height(), height);
        EXPECT_LE(std::abs(cells.left - (width - cells.width() - cells.left)), 1);
        EXPECT_LT(width - cells.width(), 128 + 2 * cells.cellWidth);
    }
    // A frame as flat as a stripe keeps cells at least a pixel high.
    EXPECT_GE(lcdCells(2000, 256).cellHeight, 1);
}

TEST(PanelGeometry, SquareCellsAreTheLargestWholeOnesThatFitCentred) {
    struct Case {
        int width, height, cell;
    };
    for (const Case c : {Case{212, 128, 1}, Case{318, 192, 2}, Case{424, 256, 3}, Case{636, 384, 4},
                         Case{848, 512, 6}, Case{100, 40, 1}}) {
        const LcdCells cells = lcdCells(c.width, c.height, true);
        EXPECT_FALSE(cells.stretched);
        EXPECT_EQ(cells.cellWidth, c.cell) << c.width;
        EXPECT_EQ(cells.cellHeight, c.cell) << c.width;
        EXPECT_EQ(cells.left, (c.width - 128 * c.cell) / 2);
        EXPECT_EQ(cells.top, (c.height - 64 * c.cell) / 2);
    }
}

TEST(PanelGeometry, LargestZoomThatFitsTheScreenWithMenusAndFrame) {
    // Menus, status line and a title bar: 75 pixels high; the frame 8 wide.
    auto fitting = [](int width, int height) {
        return largestZoomThatFits(width, height, 8, 75, 240, 4);
    };
    EXPECT_EQ(fitting(1920, 1080), 2);
    EXPECT_EQ(fitting(1920, 1040), 2);  // a panel at the bottom
    EXPECT_EQ(fitting(1366, 768), 1);
    EXPECT_EQ(fitting(2560, 1440), 3);
    EXPECT_EQ(fitting(3840, 2160), 4);
    EXPECT_EQ(fitting(640, 400), 1);  // never below 1x
    EXPECT_EQ(largestZoomThatFits(1000, 2000, 8, 75, 240, 4), 4);
    EXPECT_EQ(largestZoomThatFits(900, 2000, 8, 75, 240, 4), 3);  // width decides
}

TEST(PanelGeometry, PanelKeepsItsProportionsCentredAndNeverShrinksBelowOneTimes) {
    PanelPlacement at = placePanel(231 * 3, 447 * 3);
    EXPECT_DOUBLE_EQ(at.scale, 3);
    EXPECT_EQ(at.left, 0);
    EXPECT_EQ(at.top, 0);
    // Wider than the panel: the height decides, the panel sits in the middle.
    at = placePanel(1000, 447 * 2);
    EXPECT_DOUBLE_EQ(at.scale, 2);
    EXPECT_DOUBLE_EQ(at.left, (1000 - 462) / 2.0);
    EXPECT_EQ(at.layoutX(at.left + 2 * 100 + 1), 100);
    EXPECT_EQ(at.layoutX(at.left - 1), -1);  // left of the panel is outside it
    at = placePanel(100, 100);
    EXPECT_DOUBLE_EQ(at.scale, 1);
}

TEST(LegendColours, SmallTextReadsOnLightAndDarkFaces) {
    for (const QColor face : {QColor(239, 239, 239), QColor(200, 200, 200), QColor(49, 54, 59),
                              QColor(128, 128, 128)}) {
        for (const QColor legend : {secondLegendColour, alphaLegendColour}) {
            const QColor shown = legendColour(legend, face);
            EXPECT_GE(contrastRatio(shown, face), 4.5) << face.name().toStdString();
            // The hue stays while there is colour left (on mid grey it goes to black).
            if (shown.hslHue() >= 0) {
                EXPECT_NEAR(shown.hslHue(), legend.hslHue(), 3) << face.name().toStdString();
            }
        }
    }
}

class Zoom : public RunningWindow {
protected:
    // The window resized so that the calculator's area is zoom times the panel; the
    // screen's size does not limit a size set this way.
    void sizeView(int zoom) {
        const QSize chrome = window->size() - window->view()->size();
        window->resize(QSize(clientWidth, clientHeight) * zoom + chrome);
        ASSERT_TRUE(waitUntil(
            [&] { return window->view()->size() == QSize(clientWidth, clientHeight) * zoom; }));
    }
    QImage render() {
        CalculatorView* view = window->view();
        QImage image(view->size(), QImage::Format_RGB32);
        view->render(&image);
        return image;
    }
    void click(QEvent::Type type, QPointF at) {
        QMouseEvent event(type, at, window->view()->mapToGlobal(at), Qt::LeftButton,
                          type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                          Qt::NoModifier);
        QApplication::sendEvent(window->view(), &event);
    }
};

TEST_F(Zoom, LcdCellsAndKeyRectanglesFollowTheZoom) {
    ASSERT_NO_FATAL_FAILURE(start());
    window->view()->applyLcdColours(0x00FFFFFF, 0x00000000);
    struct Case {
        int zoom, cellWidth, cellHeight;
        bool square;
    };
    auto* square = window->findChild<QAction*>(QStringLiteral("squarePixels"));
    ASSERT_NE(square, nullptr);
    EXPECT_FALSE(square->isChecked());  // at 1x the picture of old
    for (const Case c : {Case{2, 3, 3, true}, Case{3, 4, 4, true}, Case{4, 6, 6, true},
                         Case{2, 3, 4, false}, Case{3, 4, 5, false}, Case{4, 6, 7, false}}) {
        ASSERT_NO_FATAL_FAILURE(sizeView(c.zoom));
        // View > Square LCD Pixels shows what is drawn, ticked from 2x by default;
        // unticked, the cells take the 1x picture's proportions.
        if (square->isChecked() != c.square) square->trigger();
        EXPECT_EQ(settings.squarePixels, c.square ? SquarePixels::fromTwice : SquarePixels::never);
        const CalculatorView* view = window->view();
        EXPECT_DOUBLE_EQ(view->placement().scale, c.zoom);
        for (const SkinKey& key : skinKeys) {
            const QRect box = view->toView(key.box);
            EXPECT_EQ(box, QRect(key.box.left * c.zoom, key.box.top * c.zoom,
                                 key.box.width() * c.zoom, key.box.height() * c.zoom));
        }
        // The lit top-left LCD pixel: one cell of white, measured from its corner.
        const QImage image = render();
        const QRect frame = view->lcdArea();
        const LcdCells cells = lcdCells(frame.width(), frame.height(), c.square);
        const QPoint corner = frame.topLeft() + QPoint(cells.left, cells.top);
        int wide = 0, high = 0;
        while (image.pixelColor(corner + QPoint(wide, 0)) == Qt::white) ++wide;
        while (image.pixelColor(corner + QPoint(0, high)) == Qt::white) ++high;
        EXPECT_EQ(wide, c.cellWidth) << c.zoom;
        EXPECT_EQ(high, c.cellHeight) << c.zoom;
        EXPECT_EQ(image.pixelColor(corner - QPoint(1, 0)), Qt::black);
    }
}

TEST_F(Zoom, ClicksAtThreeTimesLandOnTheKeyUnderThePointer) {
    ASSERT_NO_FATAL_FAILURE(start());
    ASSERT_NO_FATAL_FAILURE(sizeView(3));
    // A click reaches the calculator as the key's matrix code.
    const KeyBox& enter = skinKeys[static_cast<std::size_t>(keyIndex(keyEnter))].box;
    const QRect enterBox = window->view()->toView(enter);
    click(QEvent::MouseButtonPress, enterBox.center());
    click(QEvent::MouseButtonRelease, enterBox.center());
    EXPECT_TRUE(waitUntil([&] { return window->calculator().machine().keyLatch.load() == 9; }));

    for (int index = 0; index < keyCount; ++index) {
        const KeyBox& box = skinKeys[static_cast<std::size_t>(index)].box;
        // Just inside the key's top-left and bottom-right corners, in 3x pixels.
        for (const QPointF at : {QPointF(box.left * 3 + 1, box.top * 3 + 1),
                                 QPointF(box.right * 3 - 1, box.bottom * 3 - 1)}) {
            click(QEvent::MouseButtonPress, at);
            EXPECT_EQ(window->view()->pressedKey(), index) << at.x() << "," << at.y();
            click(QEvent::MouseButtonRelease, at);
        }
    }
    // The key's right edge is outside it at 3x as it is at 1x.
    click(QEvent::MouseButtonPress, QPointF(enter.right * 3 + 1, enter.top * 3 + 6));
    EXPECT_EQ(window->view()->pressedKey(), -1);
    click(QEvent::MouseButtonRelease, QPointF(enter.right * 3 + 1, enter.top * 3 + 6));
}

TEST_F(Zoom, TooltipsNameThePcKeysOfTheKeyUnderThePointer) {
    ASSERT_NO_FATAL_FAILURE(start());
    window->activateWindow();
    ASSERT_NO_FATAL_FAILURE(sizeView(2));
    const QRect log = window->view()->toView(skinKeys[keyIndex(keyLog)].box);
    QHelpEvent help(QEvent::ToolTip, log.center(), window->view()->mapToGlobal(log.center()));
    QApplication::sendEvent(window->view(), &help);
    EXPECT_EQ(QToolTip::text(), QString::fromStdString(keyTooltip(keyIndex(keyLog))));
    EXPECT_TRUE(QToolTip::text().startsWith(QStringLiteral("[LOG]: L")))
        << QToolTip::text().toStdString();
    QToolTip::hideText();
}

TEST_F(Zoom, ZoomsThatDoNotFitTheScreenAreDisabledAndSayWhyAndTheChosenOneIsRemembered) {
    ASSERT_NO_FATAL_FAILURE(start());
    const QRect area = window->screen()->availableGeometry();
    // The test screen (800 x 600) has room for 1x only.
    ASSERT_LT(area.height(), 2 * 447);
    QMenu* view = nullptr;
    for (QMenu* menu : window->menuBar()->findChildren<QMenu*>())
        if (menu->title() == QStringLiteral("&View")) view = menu;
    ASSERT_NE(view, nullptr);
    EXPECT_TRUE(view->toolTipsVisible());
    emit view->aboutToShow();
    for (int zoom = 1; zoom <= 4; ++zoom) {
        const auto* action =
            window->findChild<QAction*>(QStringLiteral("command%1").arg(cmdZoom1 + zoom - 1));
        ASSERT_NE(action, nullptr);
        EXPECT_EQ(action->isEnabled(), zoom == 1) << zoom;
        EXPECT_EQ(action->toolTip().startsWith(QStringLiteral("Does not fit on this screen")),
                  zoom > 1)
            << action->toolTip().toStdString();
    }
    // F12 asks for 4x all the same: the window stays as it is and the status line says why.
    const QSize before = window->size();
    window->onCommand(cmdZoom1 + 3);
    EXPECT_EQ(window->size(), before);
    EXPECT_EQ(window->statusMessage(), QStringLiteral("Zoom 4x does not fit on this screen"));
    EXPECT_EQ(settings.zoom, 0);  // none chosen yet

    // Dragged larger, then back to 1x by the menu.
    ASSERT_NO_FATAL_FAILURE(sizeView(2));
    window->onCommand(cmdZoom1);
    ASSERT_TRUE(waitUntil([&] { return window->view()->size() == QSize(231, 447); }));
    window->move(area.topLeft() + QPoint(30, 20));
    ASSERT_TRUE(waitUntil([&] { return window->pos() == area.topLeft() + QPoint(30, 20); }));
    window->closeWithoutDialogs();
    EXPECT_EQ(settings.zoom, 1);
    EXPECT_TRUE(settings.window.placed);
    EXPECT_EQ(QPoint(settings.window.x, settings.window.y), area.topLeft() + QPoint(30, 20));
    EXPECT_EQ(QSize(settings.window.width, settings.window.height), QSize(231, 447));
    EXPECT_FALSE(settings.window.maximized);

    // The next window comes back there, at that size.
    MainWindow next(settings);
    next.placeOnScreen();
    next.show();
    ASSERT_TRUE(waitUntil([&] { return next.isVisible(); }));
    EXPECT_EQ(next.pos(), area.topLeft() + QPoint(30, 20));
    EXPECT_EQ(next.view()->size(), QSize(231, 447));
}

}  // namespace
}  // namespace vantrel::test
