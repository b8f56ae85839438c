// What the window shows: the LCD from calculator RAM in the chosen colours, the
// black frame, the blank picture while the calculator is off, and the key panel.
#include <gtest/gtest.h>

#include <QImage>
#include <QMenuBar>
#include <algorithm>

#include "machine/machine.h"
#include "machine/thread_control.h"
#include "shell/calculator_view.h"
#include "shell/main_window.h"
#include "shell/skin_painter.h"
#include "shell_support.h"

namespace vantrel::test {
namespace {

class WindowPaint : public ::testing::Test {
protected:
    void SetUp() override {
        settings.romPath = dir.filePath(QStringLiteral("missing.bin")).toStdString();
        settings.ramPath = dir.filePath(QStringLiteral("state.bin")).toStdString();
        window = std::make_unique<MainWindow>(settings);
        // No ROM and no thread: the machine is ours to set up.
        Machine& m = window->calculator().machine();
        m.mem.state.port3Value = 0x0B;
        m.mem.state.ram[0xFC00 - 0x8000] = 0x80;  // top-left pixel
        m.mem.state.ram[0xFFFF - 0x8000] = 0x01;  // bottom-right pixel
    }

    QImage client(qreal ratio = 1.0) {
        CalculatorView* view = window->view();
        QPixmap pixmap(QSize(clientWidth, clientHeight) * ratio);
        pixmap.setDevicePixelRatio(ratio);
        view->render(&pixmap);
        return pixmap.toImage();
    }

    QTemporaryDir dir;
    Settings settings;
    std::unique_ptr<MainWindow> window;
};

TEST_F(WindowPaint, SetBitIsATwoRowBlockInTheForegroundColourAtColumnNine) {
    window->view()->applyLcdColours(0x000000FF, 0x00FF0000);  // red on blue
    const QImage image = client();
    const QColor red(255, 0, 0), blue(0, 0, 255);
    EXPECT_EQ(image.pixelColor(9, 3), red);
    EXPECT_EQ(image.pixelColor(9, 4), red);
    EXPECT_EQ(image.pixelColor(9, 5), blue);
    EXPECT_EQ(image.pixelColor(10, 3), red);  // 212 / 128: column 0 is shown twice
    EXPECT_EQ(image.pixelColor(11, 3), blue);
    EXPECT_EQ(image.pixelColor(220, 130), red);  // column 127 only once
    EXPECT_EQ(image.pixelColor(220, 129), red);
    EXPECT_EQ(image.pixelColor(219, 130), blue);
    EXPECT_EQ(image.pixelColor(100, 60), blue);
}

TEST_F(WindowPaint, BlackFrameSurroundsTheLcd) {
    const QImage image = client();
    // One pixel around the LCD: columns 8 and 221, rows 2 and 131.
    for (const QPoint p : {QPoint(8, 2), QPoint(221, 2), QPoint(8, 131), QPoint(221, 131),
                           QPoint(100, 2), QPoint(100, 131), QPoint(8, 60), QPoint(221, 60)})
        EXPECT_EQ(image.pixelColor(p), QColor(Qt::black)) << p.x() << "," << p.y();
    // Outside the frame is the panel's background.
    EXPECT_EQ(image.pixelColor(4, 60), window->view()->palette().color(QPalette::Button));
}

TEST_F(WindowPaint, CalculatorOffShowsABlankFrameInThePanelColourNotAnEmptyScreen) {
    window->view()->applyLcdColours(0x00FFFFFF, 0x00000000);
    Machine& m = window->calculator().machine();
    std::fill_n(m.mem.state.ram.begin() + (0xFC00 - 0x8000), 0x400, 0);  // an empty screen
    const QImage empty = client();
    m.mem.state.port3Value = 0x03;
    const QImage off = client();
    const QColor face = window->view()->palette().color(QPalette::Button);
    ASSERT_NE(face, QColor(Qt::black));
    for (int y = 3; y < 131; y += 3)
        for (int x = 9; x < 221; x += 3) {
            ASSERT_EQ(empty.pixelColor(x, y), QColor(Qt::black)) << x << "," << y;
            ASSERT_EQ(off.pixelColor(x, y), face) << x << "," << y;
        }
    EXPECT_EQ(off.pixelColor(8, 2), QColor(Qt::black));  // the frame stays
    // Screenshots of a calculator that is off stay blank in the LCD's colours.
    const LcdBytes lcd = window->calculator().lcd();
    EXPECT_TRUE(std::all_of(lcd.begin(), lcd.end(), [](uint8_t b) { return b == 0; }));
}

TEST_F(WindowPaint, LcdPixelsAreWholeCellsAtDoubleDensity) {
    window->view()->applyLcdColours(0x00FFFFFF, 0x00FF0000);  // white on blue
    window->view()->setSquarePixels(SquarePixels::never);
    const QImage image = client(2.0);
    // The frame's inside is 424 x 256 device pixels: cells of 3 x 4, 20 pixels of
    // background left and right. No grey seams at a cell's edges.
    const QColor white(Qt::white), blue(0, 0, 255);
    EXPECT_EQ(image.pixelColor(18, 6), blue);
    EXPECT_EQ(image.pixelColor(37, 9), blue);
    EXPECT_EQ(image.pixelColor(38, 6), white);
    EXPECT_EQ(image.pixelColor(40, 9), white);
    EXPECT_EQ(image.pixelColor(41, 6), blue);
    EXPECT_EQ(image.pixelColor(38, 10), blue);
    // The bottom-right pixel ends 20 pixels short of the frame.
    EXPECT_EQ(image.pixelColor(38 + 127 * 3 + 2, 6 + 63 * 4 + 3), white);
    EXPECT_EQ(image.pixelColor(38 + 127 * 3 + 3, 6 + 63 * 4 + 3), blue);
}

TEST_F(WindowPaint, SquarePixelsFromTwiceTheFrameUnlessTurnedOffAndAtOneTimesWhenChosen) {
    window->view()->applyLcdColours(0x00FFFFFF, 0x00FF0000);  // white on blue
    const QColor white(Qt::white), blue(0, 0, 255);
    // By default: 3 x 3 cells in the 424 x 256 frame, 20 pixels of background left and
    // right, 32 above and below.
    QImage image = client(2.0);
    EXPECT_EQ(image.pixelColor(37, 38), blue);
    EXPECT_EQ(image.pixelColor(38, 37), blue);
    EXPECT_EQ(image.pixelColor(38, 38), white);
    EXPECT_EQ(image.pixelColor(40, 40), white);
    EXPECT_EQ(image.pixelColor(41, 38), blue);
    EXPECT_EQ(image.pixelColor(38, 41), blue);
    EXPECT_EQ(image.pixelColor(38 + 127 * 3 + 2, 38 + 63 * 3 + 2), white);
    EXPECT_EQ(image.pixelColor(38 + 127 * 3 + 3, 38 + 63 * 3 + 2), blue);
    // At 1x the picture of old, until square pixels are chosen: one pixel a cell then.
    EXPECT_EQ(client().pixelColor(10, 4), white);
    window->view()->setSquarePixels(SquarePixels::always);
    image = client();
    EXPECT_EQ(image.pixelColor(9 + 42, 3 + 32), white);
    EXPECT_EQ(image.pixelColor(9 + 43, 3 + 32), blue);
    EXPECT_EQ(image.pixelColor(9 + 42, 3 + 33), blue);
    EXPECT_EQ(image.pixelColor(9 + 42 + 127, 3 + 32 + 63), white);
    EXPECT_EQ(image.pixelColor(10, 4), blue);
}

TEST_F(WindowPaint, PressedKeyShowsAnEdgeThatReleaseRemoves) {
    const QImage before = client();
    window->calculator().pressKey(49);
    window->view()->showPressedKey();
    const QImage pressed = client();
    window->calculator().releaseMouse();
    window->view()->showPressedKey();
    const QImage after = client();
    const KeyBox& enter = skinKeys[static_cast<std::size_t>(49)].box;
    EXPECT_NE(before.pixelColor(enter.left, enter.top), pressed.pixelColor(enter.left, enter.top));
    EXPECT_EQ(before, after);
}

TEST_F(WindowPaint, EveryKeyIsDrawnInsideItsRectangle) {
    const QImage image = client();
    const QColor face = window->view()->palette().color(QPalette::Button);
    for (int i = 0; i < keyCount; ++i) {
        const KeyBox& k = skinKeys[static_cast<std::size_t>(i)].box;
        const QPoint centre((k.left + k.right) / 2, (k.top + k.bottom) / 2);
        int differing = 0;
        for (int y = k.top + 3; y < k.bottom - 3; ++y)
            for (int x = k.left + 3; x < k.right - 3; ++x)
                differing += image.pixelColor(x, y) != face;
        EXPECT_GT(differing, (k.right - k.left - 6) * (k.bottom - k.top - 6) / 2) << "key " << i;
        (void)centre;
    }
}

TEST_F(WindowPaint, WindowStartsAtOneTimesBelowItsMenusAndCanGrow) {
    window->placeOnScreen();
    window->show();
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Vantrel 2.0"));
    EXPECT_EQ(window->view()->size(), QSize(231, 447));
    EXPECT_EQ(window->view()->y(), window->menuBar()->height());
    EXPECT_EQ(window->view()->minimumSize(), QSize(231, 447));
    EXPECT_GT(window->maximumSize().height(), 4 * 447);
    EXPECT_TRUE(window->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(window->windowFlags() & Qt::WindowMinimizeButtonHint);
    QStringList menus;
    for (QAction* a : window->menuBar()->actions()) menus << a->text();
    EXPECT_EQ(menus, (QStringList{QStringLiteral("&File"), QStringLiteral("&Edit"),
                                  QStringLiteral("&View"), QStringLiteral("&Speed"),
                                  QStringLiteral("&Tools")}));
    auto* help = qobject_cast<QMenuBar*>(window->menuBar()->cornerWidget(Qt::TopRightCorner));
    ASSERT_NE(help, nullptr);
    EXPECT_EQ(help->actions().value(0)->text(), QStringLiteral("&Help"));
    window->hide();
}

TEST_F(WindowPaint, MenusShowTheirKeysAndDialogsEndInDots) {
    QStringList items;
    for (const QMenu* menu : window->menuBar()->findChildren<QMenu*>())
        for (const QAction* action : menu->actions())
            if (!action->isSeparator()) items << action->text();
    for (const char* expected :
         {"&Upload...\tF6", "&Screenshot\tF7", "&Preferences...\tF8", "&Paste\tShift+Ins",
          "&Copy Screen\tShift+F7", "Zoom &1x\tF9", "Zoom &4x\tF12", "&Keyboard...", "&About..."})
        EXPECT_TRUE(items.contains(QString::fromUtf8(expected))) << expected;
}

}  // namespace
}  // namespace vantrel::test
