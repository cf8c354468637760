#include "app/Form1.h"
#include "doors/DoorMotion.h"
#include "tests/FakePlatform.h"

#include <QCoreApplication>
#include <QFile>
#include <QLabel>
#include <QMetaObject>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTest>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace {

// Notes each pause instead of waiting it out.
class RecordingPacer : public Doors::Pacer {
public:
    void pause(int counts) override
    {
        pauses.push_back(counts);
        if (onPause)
            onPause(int(pauses.size()));
    }
    std::vector<int> pauses;
    std::function<void(int)> onPause;
};

// The door movements driven from the control desk, on the real bus window with its elements.
class DeskDrivesDoors : public ::testing::Test {
protected:
    FakePlatform platform;
    Form1 bus { platform };
    RecordingPacer pacer;
    frmSet* desk { nullptr };

    void SetUp() override
    {
        bus.setPacer(pacer);
        bus.Form_Load();
        bus.show();
        desk = &bus.panel();
    }
    static QByteArray clip(int n)
    {
        QFile f(QStringLiteral(":/wave/%1").arg(n));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
};

TEST_F(DeskDrivesDoors, front_door_toggle_opens_then_closes_at_the_sliders_pace)
{
    desk->HScroll1->setValue(123);
    QTest::mouseClick(desk->Check1, Qt::LeftButton);
    EXPECT_FLOAT_EQ(bus.Image1(2).Width(), 70);
    EXPECT_FLOAT_EQ(bus.Image1(2).Left(), 390);
    EXPECT_EQ(pacer.pauses.size(), 1086u);
    EXPECT_EQ(pacer.pauses.front(), 123);
    QTest::mouseClick(desk->Check1, Qt::LeftButton);
    EXPECT_FLOAT_EQ(bus.Image1(2).Width(), 1155);
    EXPECT_EQ(pacer.pauses.size(), 2 * 1086u);
    EXPECT_TRUE(platform.sounds.empty()) << "the front door makes no sound";
}

TEST_F(DeskDrivesDoors, middle_door_plays_the_opening_clip_to_its_end_then_folds_both_leaves)
{
    desk->HScroll2->setValue(77);
    QTest::mouseClick(desk->Check2, Qt::LeftButton);
    ASSERT_EQ(platform.sounds.size(), 1u);
    EXPECT_TRUE(platform.sounds[0].wait);
    EXPECT_EQ(platform.sounds[0].bytes, clip(101));
    EXPECT_FLOAT_EQ(bus.imgNakaorido(0).Width(), 110);
    EXPECT_FLOAT_EQ(bus.imgNakaorido(1).Width(), 110);
    EXPECT_FLOAT_EQ(bus.imgNakaorido(1).Left(), 7075);
    EXPECT_FALSE(desk->Frame2->isEnabled());
    EXPECT_EQ(pacer.pauses.back(), 77);

    QTest::mouseClick(desk->Check2, Qt::LeftButton);
    ASSERT_EQ(platform.sounds.size(), 2u);
    EXPECT_FALSE(platform.sounds[1].wait) << "the closing clip plays on while the leaves move";
    EXPECT_EQ(platform.sounds[1].bytes, clip(102));
    EXPECT_FLOAT_EQ(bus.imgNakaorido(0).Width(), 855);
    EXPECT_FLOAT_EQ(bus.imgNakaorido(1).Left(), 6330);
    EXPECT_TRUE(desk->Frame2->isEnabled());
}

TEST_F(DeskDrivesDoors, leaf_choice_comes_from_the_option_buttons_and_defaults_to_the_right_leaf)
{
    desk->Option1(1)->setChecked(true);
    QTest::mouseClick(desk->Check2, Qt::LeftButton);
    EXPECT_FLOAT_EQ(bus.imgNakaorido(0).Width(), 110);
    EXPECT_FLOAT_EQ(bus.imgNakaorido(1).Width(), 855);
    QTest::mouseClick(desk->Check2, Qt::LeftButton);
    EXPECT_FLOAT_EQ(bus.imgNakaorido(0).Width(), 855);

    // No option selected at all: only the right leaf moves.
    for (const auto& [index, option] : desk->Option1)
        option->setAutoExclusive(false);
    for (const auto& [index, option] : desk->Option1)
        option->setChecked(false);
    QTest::mouseClick(desk->Check2, Qt::LeftButton);
    EXPECT_FLOAT_EQ(bus.imgNakaorido(0).Width(), 855);
    EXPECT_FLOAT_EQ(bus.imgNakaorido(1).Width(), 110);
    EXPECT_FLOAT_EQ(bus.imgNakaorido(1).Left(), 7075);
}

TEST_F(DeskDrivesDoors, events_waiting_when_the_closing_clip_starts_run_before_the_leaves_move)
{
    QTest::mouseClick(desk->Check2, Qt::LeftButton);
    float widthSeenByWaitingEvent = -1;
    std::size_t pausesSeen = 0;
    QTimer::singleShot(0, [&] {
        widthSeenByWaitingEvent = bus.imgNakaorido(0).Width();
        pausesSeen = pacer.pauses.size();
    });
    const std::size_t before = pacer.pauses.size();
    QTest::mouseClick(desk->Check2, Qt::LeftButton);
    EXPECT_FLOAT_EQ(widthSeenByWaitingEvent, 110) << "ran inside the closing, before the first step";
    EXPECT_EQ(pausesSeen, before);
    EXPECT_FLOAT_EQ(bus.imgNakaorido(0).Width(), 855);
}

TEST_F(DeskDrivesDoors, no_events_run_during_a_movement)
{
    bool ran = false;
    bool ranDuringMovement = false;
    pacer.onPause = [&](int n) {
        if (n == 1)
            QTimer::singleShot(0, [&] { ran = true; });
        if (n > 1 && ran)
            ranDuringMovement = true;
    };
    QTest::mouseClick(desk->Check1, Qt::LeftButton);
    EXPECT_FALSE(ranDuringMovement);
    QCoreApplication::processEvents();
    EXPECT_TRUE(ran) << "handled afterwards";
}

TEST_F(DeskDrivesDoors, speed_labels_show_the_slider_values)
{
    desk->HScroll1->setValue(1);
    desk->HScroll2->setValue(30000);
    EXPECT_EQ(desk->lblMaeSpeed->text(), "1");
    EXPECT_EQ(desk->lblNakaSpeed->text(), "30000");
}


class PaintCounter : public QObject {
public:
    int paints { 0 };
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

// A step moves a door by a fifteenth of a pixel; only steps that change the pixels are painted.
TEST_F(DeskDrivesDoors, only_steps_that_change_the_pixels_are_painted)
{
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&bus));
    QCoreApplication::processEvents();
    PaintCounter counter;
    bus.installEventFilter(&counter);
    QTest::mouseClick(desk->Check1, Qt::LeftButton);
    bus.removeEventFilter(&counter);
    EXPECT_GE(counter.paints, 1086 / 15 - 2);
    EXPECT_LE(counter.paints, 1086 / 15 + 3);
}


// A flood of input while a door moves: a thousand clicks and key presses wait their turn and
// are then handled one after the other, in the order they came.
TEST_F(DeskDrivesDoors, a_thousand_inputs_queued_during_a_movement_are_handled_in_order_afterwards)
{
    QTemporaryDir dir;
    for (const char* name : { "a.bmp", "b.bmp", "c.bmp" }) {
        QImage image(8, 8, QImage::Format_RGB32);
        image.fill(Qt::gray);
        ASSERT_TRUE(image.save(dir.path() + "/" + name));
    }
    bus.SetSignFolderPath(dir.path());
    ASSERT_TRUE(bus.picDir());

    auto post = [](QWidget* target, QEvent* event) { QCoreApplication::postEvent(target, event); };
    auto key = [&](Qt::Key k) {
        post(bus.Picture1, new QKeyEvent(QEvent::KeyPress, k, Qt::NoModifier));
        post(bus.Picture1, new QKeyEvent(QEvent::KeyRelease, k, Qt::NoModifier));
    };
    auto click = [&] {
        const QPointF at(5, 5);
        post(desk->Check1, new QMouseEvent(QEvent::MouseButtonPress, at, desk->Check1->mapToGlobal(at), Qt::LeftButton,
                                           Qt::LeftButton, Qt::NoModifier));
        post(desk->Check1, new QMouseEvent(QEvent::MouseButtonRelease, at, desk->Check1->mapToGlobal(at), Qt::LeftButton,
                                           Qt::NoButton, Qt::NoModifier));
    };
    bool flooded = false;
    pacer.onPause = [&](int) {
        if (flooded)
            return;
        flooded = true;
        // Down first, then up: handled in order, the sign ends on the first entry again.
        for (int i = 0; i < 250; ++i)
            key(Qt::Key_Down);
        for (int i = 0; i < 250; ++i)
            key(Qt::Key_Up);
        for (int i = 0; i < 499; ++i)
            click();
    };
    QTest::mouseClick(desk->Check1, Qt::LeftButton); // opens; the flood arrives meanwhile
    EXPECT_FLOAT_EQ(bus.Image1(2).Width(), 70) << "nothing ran during the movement";
    EXPECT_EQ(bus.sign().index(), 0);
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();

    EXPECT_EQ(bus.sign().index(), 0);
    EXPECT_EQ(bus.SignFolderPath(), dir.path() + "/");
    // 1 + 499 toggles: an even number, so the door ends closed, after 500 whole movements.
    EXPECT_EQ(frmSet::Value(desk->Check1), 0);
    EXPECT_FLOAT_EQ(bus.Image1(2).Width(), 1155);
    EXPECT_EQ(pacer.pauses.size(), 500u * 1086u);
}

} // namespace
