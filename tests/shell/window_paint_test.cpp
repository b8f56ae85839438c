// What the window shows: the LCD from calculator RAM in the chosen colours, the
// black frame, the blank picture while the calculator is off, and the key panel.
#include <gtest/gtest.h>

#include <QImage>
#include <QMenuBar>

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

TEST_F(WindowPaint, CalculatorOffShowsOnlyTheBackgroundColour) {
    window->calculator().machine().mem.state.port3Value = 0x03;
    window->view()->applyLcdColours(0x00FFFFFF, 0x00000000);
    const QImage image = client();
    for (int y = 3; y < 131; y += 3)
        for (int x = 9; x < 221; x += 3)
            ASSERT_EQ(image.pixelColor(x, y), QColor(Qt::black)) << x << "," << y;
}

TEST_F(WindowPaint, LcdStaysSharpAtDoubleDensity) {
    const QImage image = client(2.0);
    // Each calculator pixel covers whole device pixels: no grey seams at its edges.
    EXPECT_EQ(image.pixelColor(18, 6), QColor(Qt::white));
    EXPECT_EQ(image.pixelColor(19, 9), QColor(Qt::white));
    EXPECT_EQ(image.pixelColor(21, 7), QColor(Qt::white));
    EXPECT_EQ(image.pixelColor(22, 6), QColor(Qt::black));
    EXPECT_EQ(image.pixelColor(18, 10), QColor(Qt::black));
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

TEST_F(WindowPaint, WindowHasTheFixedClientAreaBelowItsMenus) {
    window->show();
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Vantrel 2.0"));
    EXPECT_EQ(window->view()->size(), QSize(231, 447));
    EXPECT_EQ(window->view()->y(), window->menuBar()->height());
    EXPECT_EQ(window->minimumSize(), window->maximumSize());
    EXPECT_FALSE(window->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(window->windowFlags() & Qt::WindowMinimizeButtonHint);
    QStringList menus;
    for (QAction* a : window->menuBar()->actions()) menus << a->text();
    EXPECT_EQ(menus, (QStringList{QStringLiteral("&File"), QStringLiteral("&Tools")}));
    auto* help = qobject_cast<QMenuBar*>(window->menuBar()->cornerWidget(Qt::TopRightCorner));
    ASSERT_NE(help, nullptr);
    EXPECT_EQ(help->actions().value(0)->text(), QStringLiteral("&Help"));
    window->hide();
}

}  // namespace
}  // namespace vantrel::test
