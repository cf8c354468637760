#include "app/Form1.h"
#include "geometry/Twips.h"
#include "tests/support/GifWriter.h"
#include "signboard/SignboardFrame.h"
#include "tests/CpuClock.h"
#include "tests/FakePlatform.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

twips::Rect T(float l, float t, float w, float h)
{
    return { l, t, w, h };
}

class Signboard : public ::testing::Test {
protected:
    FakePlatform platform;
    Form1 bus { platform };
    QTemporaryDir dir;

    void SetUp() override
    {
        bus.Form_Load();
        bus.show();
    }
    QString picture(const QString& name, QSize size, QColor colour = Qt::magenta)
    {
        QImage image(size, QImage::Format_RGB32);
        image.fill(colour);
        const QString path = dir.path() + "/" + name;
        EXPECT_TRUE(image.save(path));
        return path;
    }
    void choose(const QString& path)
    {
        platform.openResult = path;
        bus.MnuSetKanban_Click();
    }
    twips::Rect post(int i) { return bus.shpK_Waku(i).twipsRect(); }
};

TEST_F(Signboard, a_chosen_picture_resizes_the_board_at_its_place_and_the_frame_follows)
{
    const QString path = picture("board.png", { 200, 100 });
    choose(path);
    EXPECT_EQ(bus.PicKanban->twipsRect(), T(3180, 1815, 202 * 15, 102 * 15)) << "the picture plus its border";
    EXPECT_EQ(bus.SignboardPicturePath(), path);
    EXPECT_EQ(post(0), T(3105, 1815, 75, 1530 + 15));
    EXPECT_EQ(post(1), T(3180 + 3030, 1815, 75, 1545));
    EXPECT_EQ(post(2), T(3105, 1815 + 1530, 3030 + 150, 60));
    ASSERT_EQ(platform.openOwners.size(), 1u);
    EXPECT_EQ(platform.openOwners[0], &bus);
    EXPECT_TRUE(platform.openFilters[0].contains("*.jpg"));
    EXPECT_TRUE(platform.openFilters[0].contains("*.bmp"));
    EXPECT_TRUE(platform.openFilters[0].contains("(*)"));
    // Shown on the bus inside the board's border.
    const QImage shot = bus.PicKanban->grab().toImage();
    EXPECT_EQ(shot.pixelColor(1, 1), QColor(Qt::magenta));
    EXPECT_EQ(shot.pixelColor(0, 0), QColor(Qt::black));
}

TEST_F(Signboard, nothing_changes_for_a_cancel_a_missing_file_or_a_non_picture)
{
    const QString good = picture("good.bmp", { 50, 20 });
    choose(good);
    const auto board = bus.PicKanban->twipsRect();
    const auto frame = post(2);
    choose("");
    choose(dir.path() + "/missing.bmp");
    QFile text(dir.path() + "/notes.bmp");
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("hello");
    text.close();
    choose(text.fileName());
    EXPECT_EQ(bus.PicKanban->twipsRect(), board);
    EXPECT_EQ(post(2), frame);
    EXPECT_EQ(bus.SignboardPicturePath(), good);
    EXPECT_TRUE(platform.messages.empty());
}

TEST_F(Signboard, an_absurd_picture_header_is_refused_at_once)
{
    // A bitmap header claiming 100,000 x 100,000 pixels, with almost nothing behind it.
    QByteArray bmp(54, '\0');
    auto le32 = [&](int at, quint32 v) {
        for (int i = 0; i < 4; ++i)
            bmp[at + i] = char((v >> (8 * i)) & 0xFF);
    };
    bmp[0] = 'B';
    bmp[1] = 'M';
    le32(2, 54 + 16);
    le32(10, 54);
    le32(14, 40);
    le32(18, 100000);
    le32(22, 100000);
    bmp[26] = 1;
    bmp[28] = 24;
    bmp.append(16, '\x7f');
    QFile f(dir.path() + "/huge.bmp");
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bmp);
    f.close();
    const auto before = bus.PicKanban->twipsRect();
    CpuClock clock;
    clock.start();
    choose(f.fileName());
    EXPECT_LT(clock.elapsed(), 2000);
    EXPECT_EQ(bus.PicKanban->twipsRect(), before);
    EXPECT_FALSE(PictureLoader::load(f.fileName()).ok());

    // A GIF whose screen and image claim 65,535 x 65,535 pixels: refused from its header.
    QByteArray gif("GIF89a\xff\xff\xff\xff\x00\x00\x00,\x00\x00\x00\x00\xff\xff\xff\xff\x00\x02\x02\x44\x01\x00;", 30);
    QFile g(dir.path() + "/huge.gif");
    ASSERT_TRUE(g.open(QIODevice::WriteOnly));
    g.write(gif);
    g.close();
    clock.restart();
    EXPECT_EQ(PictureLoader::load(g.fileName()).kind(), Failure::Kind::TooLarge);
    EXPECT_LT(clock.elapsed(), 2000);
}

TEST_F(Signboard, a_hidden_board_takes_a_new_picture_and_stays_hidden)
{
    bus.MnuViewKanban_Click();
    EXPECT_FALSE(bus.PicKanban->isVisible());
    EXPECT_FALSE(bus.MnuViewKanban->Checked());
    choose(picture("b.bmp", { 30, 30 }));
    EXPECT_FALSE(bus.PicKanban->isVisible());
    EXPECT_EQ(bus.PicKanban->picture().size(), QSize(30, 30));
    bus.MnuViewKanban_Click();
    EXPECT_TRUE(bus.PicKanban->isVisible());
    EXPECT_TRUE(bus.MnuViewKanban->Checked());
}

TEST_F(Signboard, hiding_the_board_leaves_its_frame_standing)
{
    bus.MnuViewKanban_Click();
    for (int i = 0; i <= 2; ++i)
        EXPECT_TRUE(bus.shpK_Waku(i).Visible());
}

TEST_F(Signboard, reset_moves_the_board_to_its_reset_place_without_its_picture_and_keeps_everything_else)
{
    const QString path = picture("c.bmp", { 120, 40 });
    choose(path);
    bus.PicKanban->Move({ 6000, 300, {}, {} });
    bus.MnuViewKanban_Click(); // hidden
    bus.MnuKanbanReset_Click();
    EXPECT_EQ(bus.PicKanban->twipsRect(), SignboardFrame::kResetPlace);
    EXPECT_TRUE(bus.PicKanban->picture().isEmpty());
    EXPECT_FALSE(bus.PicKanban->isVisible());
    EXPECT_FALSE(bus.MnuViewKanban->Checked());
    EXPECT_TRUE(bus.MnuViewWaku->Checked());
    EXPECT_EQ(bus.SignboardPicturePath(), path);
    EXPECT_EQ(post(0), T(3105, 1815, 75, 465));
}

TEST_F(Signboard, the_frame_item_hides_and_shows_all_three_bars_and_fits_them)
{
    bus.MnuViewWaku_Click();
    EXPECT_FALSE(bus.MnuViewWaku->Checked());
    for (int i = 0; i <= 2; ++i)
        EXPECT_FALSE(bus.shpK_Waku(i).Visible());
    // Dragged while the frame is hidden: showing it fits it around the new place.
    platform.dragTo = QPoint(400, 20);
    QTest::mousePress(bus.PicKanban, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(bus.PicKanban->Left(), 6000);
    EXPECT_EQ(post(0).left, 3105) << "hidden bars do not follow a drag";
    bus.MnuViewWaku_Click();
    EXPECT_TRUE(bus.MnuViewWaku->Checked());
    for (int i = 0; i <= 2; ++i)
        EXPECT_TRUE(bus.shpK_Waku(i).Visible());
    EXPECT_EQ(post(0), T(6000 - 75, 300, 75, 465));
}

TEST_F(Signboard, left_drags_with_any_modifier_right_opens_the_menu_middle_does_nothing)
{
    platform.dragTo = QPoint(255, 103); // 40 pixels (600 twips) right of where the board starts out, at 3225 twips
    QTest::mousePress(bus.PicKanban, Qt::LeftButton, Qt::ShiftModifier, QPoint(7, 9));
    QTest::mouseRelease(bus.PicKanban, Qt::LeftButton, Qt::ShiftModifier, QPoint(7, 9));
    ASSERT_EQ(platform.drags.size(), 1u);
    EXPECT_EQ(platform.drags[0].first, bus.PicKanban);
    EXPECT_EQ(platform.drags[0].second, QPoint(7, 9));
    EXPECT_EQ(bus.PicKanban->twipsRect(), T(3825, 1545, 1410, 450));
    EXPECT_EQ(post(0).left, 3105) << "the frame stays where it stood";
    bus.PicKanban_DblClick();
    EXPECT_EQ(post(0), T(3750, 1545, 75, 465));

    QTest::mousePress(bus.PicKanban, Qt::LeftButton, Qt::ControlModifier, QPoint(1, 1));
    EXPECT_EQ(platform.drags.size(), 2u);
    QTest::mousePress(bus.PicKanban, Qt::MiddleButton, {}, QPoint(1, 1));
    EXPECT_EQ(platform.drags.size(), 2u);
    EXPECT_TRUE(platform.popups.empty());
    QTest::mousePress(bus.PicKanban, Qt::RightButton, {}, QPoint(1, 1));
    ASSERT_EQ(platform.popups.size(), 1u);
    EXPECT_EQ(platform.popups[0].menu, bus.MnuTempMenu1);
}

TEST_F(Signboard, a_left_press_that_moves_nothing_keeps_its_place_to_the_twip)
{
    // 3187 twips lies inside pixel 212; read back from whole pixels it would be 3180.
    bus.PicKanban->Move({ 3187, 1822, {}, {} });
    QTest::mouseClick(bus.PicKanban, Qt::LeftButton, {}, QPoint(7, 9));
    ASSERT_EQ(platform.drags.size(), 1u);
    EXPECT_EQ(bus.PicKanban->Left(), 3187);
    EXPECT_EQ(bus.PicKanban->Top(), 1822);

    platform.dragTo = QPoint(252, 130);
    QTest::mouseClick(bus.PicKanban, Qt::LeftButton, {}, QPoint(7, 9));
    EXPECT_EQ(bus.PicKanban->Left(), 3780) << "a real move takes its place from where the board stands";
    EXPECT_EQ(bus.PicKanban->Top(), 1950);
}

TEST_F(Signboard, a_double_click_fits_the_frame)
{
    bus.PicKanban->Move({ 4000, 600, {}, {} });
    QTest::mouseDClick(bus.PicKanban, Qt::LeftButton, {}, QPoint(3, 3));
    EXPECT_EQ(post(1), T(4000 + 1410, 600, 75, 465));
}

TEST_F(Signboard, the_board_covers_the_doors_and_bars_beneath_it)
{
    choose(picture("d.bmp", { 60, 40 }, Qt::cyan));
    bus.PicKanban->Move({ 390, 1000, {}, {} }); // over the front door
    const QImage shot = bus.grab().toImage();
    EXPECT_EQ(shot.pixelColor(26 + 10, 66 + 10), QColor(Qt::cyan));
}

} // namespace

namespace {

TEST_F(Signboard, an_animated_picture_plays_on_the_board_without_moving_it_or_its_frame)
{
    QList<QImage> frames;
    for (QColor c : { Qt::magenta, Qt::cyan }) {
        QImage frame(60, 24, QImage::Format_RGB32);
        frame.fill(c);
        frames << frame;
    }
    const QString path = dir.path() + "/board.gif";
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(GifWriter::animation(frames, 5, 0));
    }
    choose(path);
    const PictureAnimator& animation = bus.signboardAnimation();
    EXPECT_EQ(bus.PicKanban->twipsRect().width, 62 * 15);
    EXPECT_EQ(bus.PicKanban->twipsRect().height, 26 * 15);
    EXPECT_TRUE(animation.isTicking());

    // Dragged away, the board keeps playing, also while the mouse still holds it; its frame stays
    // behind until the next fit.
    platform.dragTo = QPoint(20, 30);
    int framesWhileDragging = 0;
    platform.whileDragging = [&] {
        const qint64 first = bus.PicKanban->picture().image().cacheKey();
        QTRY_VERIFY_WITH_TIMEOUT(bus.PicKanban->picture().image().cacheKey() != first, 3000);
        ++framesWhileDragging;
        EXPECT_EQ(bus.PicKanban->pos(), QPoint(20, 30)) << "a frame put the board back where the drag began";
    };
    bus.PicKanban_MouseDown(VbButton::Left, 0, 15, 15);
    EXPECT_EQ(framesWhileDragging, 1);
    EXPECT_EQ(bus.PicKanban->pos(), QPoint(20, 30));
    const twips::Rect board = bus.PicKanban->twipsRect();
    const twips::Rect leftPost = post(0);
    auto colour = [&] { return bus.PicKanban->picture().image().pixelColor(0, 0); };
    QTRY_COMPARE_WITH_TIMEOUT(colour(), QColor(Qt::cyan), 3000);
    QTRY_COMPARE_WITH_TIMEOUT(colour(), QColor(Qt::magenta), 3000);
    EXPECT_EQ(bus.PicKanban->twipsRect(), board);
    EXPECT_EQ(post(0), leftPost);
    EXPECT_EQ(bus.PicKanban->grab().toImage().pixelColor(5, 5), colour());

    // Hidden, it rests; shown, it goes on.
    bus.MnuViewKanban_Click();
    EXPECT_TRUE(animation.isPaused());
    EXPECT_FALSE(animation.isTicking());
    bus.MnuViewKanban_Click();
    EXPECT_TRUE(animation.isTicking());

    bus.MnuKanbanReset_Click();
    EXPECT_FALSE(animation.isPlaying());
    EXPECT_FALSE(animation.isTicking());
    EXPECT_TRUE(bus.PicKanban->picture().isEmpty());
}

} // namespace
