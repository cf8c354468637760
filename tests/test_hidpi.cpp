// The bus on screens of other scales. Three offscreen screens side by side: "plain" at 1x,
// "fine" at 2x and "between" at 1.25x; windows are moved from one to another as a user would
// drag them across monitors.

#include "app/Form1.h"
#include "assets/Assets.h"
#include "doors/DoorMotion.h"
#include "geometry/Twips.h"
#include "platform/Fonts.h"
#include "tests/FakePlatform.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTemporaryFile>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

namespace {

QScreen* screenNamed(const QString& name)
{
    for (QScreen* screen : QGuiApplication::screens()) {
        if (screen->name() == name)
            return screen;
    }
    return nullptr;
}

// Moves a shown window onto the named screen and waits until it has taken that screen's scale.
bool moveTo(QWidget& window, const QString& screenName)
{
    QScreen* screen = screenNamed(screenName);
    if (!screen)
        return false;
    window.move(screen->geometry().topLeft() + QPoint(10, 10));
    const qreal ratio = screen->devicePixelRatio();
    return QTest::qWaitFor([&] { return window.devicePixelRatioF() == ratio && window.screen() == screen; });
}

QImage grab(QWidget& window)
{
    return window.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// How many pixels of a region of the window's rendering differ from the same region of a
// picture by more than tolerance in some channel; both are in the screen's own pixels, and the
// region's corner is at `at` in the rendering and at `from` in the picture.
int differences(const QImage& rendering, QPoint at, const QImage& picture, QPoint from, QSize size, int tolerance = 0)
{
    const QImage expected = picture.convertToFormat(QImage::Format_RGB32);
    int count = 0;
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x) {
            const QRgb a = rendering.pixel(at.x() + x, at.y() + y);
            const QRgb b = expected.pixel(from.x() + x, from.y() + y);
            if (std::abs(qRed(a) - qRed(b)) > tolerance || std::abs(qGreen(a) - qGreen(b)) > tolerance
                || std::abs(qBlue(a) - qBlue(b)) > tolerance)
                ++count;
        }
    }
    return count;
}

// The 1x picture enlarged the way a screen would stretch it, pixel for pixel.
QImage enlarged(const QImage& picture, QSize deviceSize)
{
    QImage copy = picture;
    copy.setDevicePixelRatio(1.0);
    return copy.scaled(deviceSize, Qt::IgnoreAspectRatio, Qt::FastTransformation);
}

QImage smoothlyScaled(const QImage& picture, QSize deviceSize)
{
    return picture.scaled(deviceSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

class BusOnScreens : public ::testing::Test {
protected:
    FakePlatform platform;
    Form1 bus { platform };

    void SetUp() override
    {
        bus.Form_Load();
        bus.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&bus));
    }
};

// Regions of the body that nothing covers: the front wheel and the bus's name, in 1x pixels.
const QRect kFrontWheel(126, 159, 65, 63);
const QRect kLettering(574, 101, 117, 31);

TEST_F(BusOnScreens, at_2x_the_body_door_and_sign_come_from_their_2x_drawings)
{
    ASSERT_TRUE(moveTo(bus, "fine"));
    const QImage shot = grab(bus);
    const QImage body2x = Assets::bitmap("A1", 2.0);
    ASSERT_EQ(body2x.size(), QSize(1616, 448));
    for (const QRect& region : { kFrontWheel, kLettering }) {
        const QRect device(region.topLeft() * 2, region.size() * 2);
        EXPECT_EQ(differences(shot, device.topLeft(), body2x, device.topLeft(), device.size()), 0) << region.x();
        // A stretched 1x body would differ across much of the wheel's rim and the lettering.
        EXPECT_GT(differences(shot, device.topLeft(), enlarged(Assets::bitmap("A1"), body2x.size()), device.topLeft(),
                              device.size()),
                  device.width() * device.height() / 20)
            << region.x();
    }

    // The front door is its 2x drawing stretched into the doorway's 154 x 302 screen pixels: as a
    // smooth scale of it would be, give or take rounding, and far from the 1x drawing stretched.
    constexpr int kRounding = 6;
    const QRect door(52, 106, 154, 302);
    EXPECT_EQ(differences(shot, door.topLeft(), smoothlyScaled(Assets::bitmap("A2", 2.0), door.size()), {}, door.size(),
                          kRounding),
              0);
    EXPECT_GT(differences(shot, door.topLeft(), smoothlyScaled(Assets::bitmap("A2"), door.size()), {}, door.size(),
                          kRounding),
              1000);
    const QRect leftLeaf(730, 106, 114, 310);
    EXPECT_EQ(differences(shot, leftLeaf.topLeft(), smoothlyScaled(Assets::bitmap("A3L", 2.0), leftLeaf.size()), {},
                          leftLeaf.size(), kRounding),
              0);

    // The default sign inside the sign box's border, as much as the box shows of it.
    const QPoint sign(2 * 500, 2 * 42);
    const QSize shown(100, 60);
    EXPECT_EQ(differences(shot, sign, Assets::bitmap("A4", 2.0), {}, shown), 0);
    EXPECT_GT(differences(shot, sign, enlarged(Assets::bitmap("A4"), { 104, 64 }), {}, shown), 200);
}

TEST_F(BusOnScreens, at_2x_the_layout_is_the_1x_layout_twice_over_in_screen_pixels)
{
    ASSERT_TRUE(moveTo(bus, "plain"));
    const QImage plain = grab(bus);
    ASSERT_TRUE(moveTo(bus, "fine"));
    const QImage fine = grab(bus);
    ASSERT_EQ(plain.size(), QSize(807, 225));
    ASSERT_EQ(fine.size(), QSize(1614, 450));

    // Flat-coloured parts (the sign box's border, the empty signboard, the frame around it) land
    // on exactly the 2 x 2 blocks their 1x pixels become.
    const QRect signBox = bus.Picture1->geometry();
    QList<QRect> flat = { bus.PicKanban->geometry(), QRect(signBox.topLeft(), QSize(signBox.width(), 1)),
                          QRect(signBox.bottomLeft(), QSize(signBox.width(), 1)),
                          QRect(signBox.topLeft(), QSize(1, signBox.height())),
                          QRect(signBox.topRight(), QSize(1, signBox.height())) };
    for (int i = 0; i <= 2; ++i)
        flat.append(twips::toPixelGrid(bus.shpK_Waku(i).twipsRect()));
    int mismatches = 0;
    for (const QRect& r : flat) {
        for (int y = r.top(); y <= r.bottom(); ++y) {
            for (int x = r.left(); x <= r.right(); ++x) {
                for (QPoint d : { QPoint(0, 0), QPoint(1, 0), QPoint(0, 1), QPoint(1, 1) })
                    mismatches += fine.pixel(QPoint(x, y) * 2 + d) != plain.pixel(x, y);
            }
        }
    }
    EXPECT_EQ(mismatches, 0);
    // The doors, too, are placed on twice their 1x pixels.
    EXPECT_EQ(bus.Image1(2).footprint(bus.Image1(2).twipsRect(), 2.0), QRect(52, 106, 154, 302));
    EXPECT_EQ(bus.imgNakaorido(1).footprint(bus.imgNakaorido(1).twipsRect(), 2.0), QRect(844, 106, 114, 310));
}

TEST_F(BusOnScreens, moving_between_screens_redraws_with_each_screens_pictures)
{
    const QRect wheel1x = kFrontWheel;
    const QRect wheel2x(kFrontWheel.topLeft() * 2, kFrontWheel.size() * 2);
    for (int round = 0; round < 2; ++round) {
        ASSERT_TRUE(moveTo(bus, "fine"));
        EXPECT_EQ(differences(grab(bus), wheel2x.topLeft(), Assets::bitmap("A1", 2.0), wheel2x.topLeft(), wheel2x.size()), 0);
        ASSERT_TRUE(moveTo(bus, "plain"));
        EXPECT_EQ(differences(grab(bus), wheel1x.topLeft(), Assets::bitmap("A1"), wheel1x.topLeft(), wheel1x.size()), 0);
    }

    // The window icon given to the window system follows too.
    ASSERT_TRUE(moveTo(bus, "fine"));
    EXPECT_EQ(bus.windowIcon().pixmap(QSize(32, 32), 2.0).toImage().convertToFormat(QImage::Format_ARGB32),
              Assets::icon(2.0).convertToFormat(QImage::Format_ARGB32));
}

TEST_F(BusOnScreens, the_about_box_takes_the_icon_and_hand_cursor_drawn_for_its_screen)
{
    ASSERT_TRUE(moveTo(bus, "plain"));
    frmShowVersion about(platform, &bus);
    about.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&about));
    ASSERT_TRUE(moveTo(about, "plain"));
    EXPECT_EQ(about.Label5->cursor().pixmap().size(), QSize(32, 32));
    EXPECT_EQ(about.Label5->cursor().hotSpot(), QPoint(12, 1));
    EXPECT_EQ(about.Image1->pixmap().size(), QSize(32, 32));

    ASSERT_TRUE(moveTo(about, "fine"));
    const QCursor hand = about.Label5->cursor();
    ASSERT_EQ(hand.pixmap().size(), QSize(64, 64));
    // The hot spot is still the top of the fingertip, in the larger picture's pixels.
    const QImage image = hand.pixmap().toImage().convertToFormat(QImage::Format_ARGB32);
    EXPECT_GE(qAlpha(image.pixel(hand.hotSpot())), 128);
    EXPECT_EQ(qAlpha(image.pixel(hand.hotSpot() - QPoint(0, 1))), 0);
    EXPECT_EQ(about.Image1->pixmap().size(), QSize(64, 64));
    EXPECT_EQ(about.Image1->pixmap().toImage().convertToFormat(QImage::Format_ARGB32),
              Assets::icon(2.0).convertToFormat(QImage::Format_ARGB32));
    about.Command1_Click();
}

TEST(ScaledArtwork, fractional_scales_take_the_next_larger_drawing_scaled_down_smoothly)
{
    const QImage drawn = Assets::bitmap("A4", 1.25);
    EXPECT_EQ(drawn.devicePixelRatio(), 1.5);
    EXPECT_EQ(drawn.size(), QSize(78, 48));
    EXPECT_EQ(Assets::bitmap("A4", 1.75).devicePixelRatio(), 2.0);
    EXPECT_EQ(Assets::bitmap("A4", 3.0).devicePixelRatio(), 2.0) << "2x serves every larger scale";

    const Picture sign([](qreal ratio) { return Assets::bitmap("A4", ratio); }, 1.0);
    EXPECT_EQ(sign.size(), QSize(52, 32));
    const QImage shown = sign.imageFor(1.25);
    EXPECT_EQ(shown.size(), QSize(65, 40));
    EXPECT_EQ(shown.devicePixelRatio(), 1.25);
    EXPECT_EQ(shown, smoothlyScaled(drawn, { 65, 40 }));
    EXPECT_EQ(sign.imageFor(1.0), Assets::bitmap("A4")) << "back at 1x, the 1x drawing itself";

    // The toggle pictures on the panel, likewise, through their icons.
    const QIcon toggle = Assets::bitmapIcon("toggle_front");
    EXPECT_EQ(toggle.pixmap(QSize(50, 20), 2.0).toImage(), QPixmap::fromImage(Assets::bitmap("toggle_front", 2.0)).toImage());
    const QPixmap between = toggle.pixmap(QSize(50, 20), 1.25);
    EXPECT_EQ(between.devicePixelRatio(), 1.25);
    EXPECT_EQ(between.toImage(), QPixmap::fromImage(smoothlyScaled(Assets::bitmap("toggle_front", 1.5), between.size())).toImage());
    EXPECT_EQ(toggle.pixmap(QSize(50, 20), 1.0).toImage(), QPixmap::fromImage(Assets::bitmap("toggle_front")).toImage());
}

TEST_F(BusOnScreens, on_the_between_screen_the_sign_shows_the_1_5x_drawing_scaled_down)
{
    ASSERT_TRUE(moveTo(bus, "between"));
    const QImage shot = grab(bus);
    ASSERT_EQ(shot.size(), QSize(1009, 281));
    // The sign box's inner corner, (500, 42), falls on the screen pixel (625, 52.5), which the
    // painter rounds to row 53. The sign box shows 62.5 x 37.5 screen pixels of the picture.
    const QImage expected = smoothlyScaled(Assets::bitmap("A4", 1.5), { 65, 40 });
    EXPECT_EQ(differences(shot, { 625, 53 }, expected, { 0, 0 }, { 62, 37 }), 0);
    EXPECT_GT(differences(shot, { 625, 53 }, smoothlyScaled(Assets::bitmap("A4"), { 65, 40 }), { 0, 0 }, { 62, 37 }), 200);
}

class Pauses : public Doors::Pacer {
public:
    std::vector<int> counts;
    void pause(int c) override { counts.push_back(c); }
};

class PaintCounter : public QObject {
public:
    int paints { 0 };
    bool eventFilter(QObject*, QEvent* e) override
    {
        paints += e->type() == QEvent::Paint;
        return false;
    }
};

// A step moves the door by a fifteenth of a 1x pixel, so at 2x twice as many steps change the
// screen's pixels; each of those is painted, and the pauses stay as they are.
TEST_F(BusOnScreens, at_2x_the_front_door_paints_every_step_that_changes_the_screen_at_the_same_pace)
{
    ASSERT_TRUE(moveTo(bus, "fine"));
    Pauses pacer;
    bus.setPacer(pacer);
    frmSet& desk = bus.panel();
    desk.HScroll1->setValue(321);
    QCoreApplication::processEvents();
    PaintCounter counter;
    bus.installEventFilter(&counter);
    QTest::mouseClick(desk.Check1, Qt::LeftButton);
    bus.removeEventFilter(&counter);
    EXPECT_EQ(pacer.counts.size(), 1086u);
    EXPECT_EQ(std::count(pacer.counts.begin(), pacer.counts.end(), 321), 1086);
    // The door's width on screen goes from 154 pixels down to 9: 145 changes.
    EXPECT_GE(counter.paints, 145 - 2);
    EXPECT_LE(counter.paints, 145 + 3);
    EXPECT_FLOAT_EQ(bus.Image1(2).Width(), 70);
}

} // namespace

int main(int argc, char** argv)
{
    QTemporaryFile screens;
    if (!screens.open())
        return 2;
    screens.write(R"({"screens": [
        {"name": "plain", "x": 0, "y": 0, "width": 1920, "height": 1080, "logicalDpi": 96, "logicalBaseDpi": 96},
        {"name": "fine", "x": 1920, "y": 0, "width": 3840, "height": 2160, "logicalDpi": 96, "logicalBaseDpi": 96},
        {"name": "between", "x": 5760, "y": 0, "width": 2400, "height": 1350, "logicalDpi": 96, "logicalBaseDpi": 96}
    ]})");
    screens.flush();
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + screens.fileName().toLocal8Bit());
    qputenv("QT_SCREEN_SCALE_FACTORS", "plain=1;fine=2;between=1.25");
    QApplication app(argc, argv);
    Fonts::installSubstitutions();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
