#include "app/Form1.h"
#include "geometry/Twips.h"
#include "tests/support/GifWriter.h"
#include "settings/frmSet.h"
#include "settings/Keypad.h"
#include "tests/FakePlatform.h"
#include "tests/SignFiles.h"
#include "tests/IconInk.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <chrono>
#include <set>
#include <thread>

namespace {

using namespace signfiles;

class Sign : public ::testing::Test {
protected:
    FakePlatform platform;
    Form1 bus { platform };
    QTemporaryDir dir;
    QString folder;

    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        folder = dir.path() + "/signs";
        QDir().mkpath(folder);
        bus.Form_Load();
    }
    // The three signs of the usual story: a.bmp red, b.jpg green, c.gif blue.
    void makeAbc()
    {
        writePicture(folder + "/a.bmp", Qt::red);
        writePicture(folder + "/b.jpg", Qt::green);
        writePicture(folder + "/c.gif", Qt::blue);
    }
    void useFolder(const QString& path)
    {
        bus.SetSignFolderPath(path);
        ASSERT_TRUE(bus.picDir());
    }
    void key(int vk) { bus.Picture1_KeyDown(vk, 0); }
    void down() { key(VbKey::Down); }
    void up() { key(VbKey::Up); }
    QColor shown() const { return bus.ImgDesiMaku->picture().image().pixelColor(0, 0); }
    static bool near(QColor a, QColor b) // JPEG is lossy
    {
        return std::abs(a.red() - b.red()) < 12 && std::abs(a.green() - b.green()) < 12 && std::abs(a.blue() - b.blue()) < 12;
    }
    void typeOnKeypad(const QString& digits)
    {
        QTest::mouseClick(bus.panel().Command2(Keypad::Clear), Qt::LeftButton);
        for (QChar c : digits)
            QTest::mouseClick(bus.panel().Command2(c.digitValue()), Qt::LeftButton);
        QTest::mouseClick(bus.panel().Command2(Keypad::Enter), Qt::LeftButton);
    }
};

TEST_F(Sign, the_sign_takes_each_pictures_own_size)
{
    writePicture(folder + "/a.bmp", Qt::red, { 30, 10 });
    writePicture(folder + "/b.bmp", Qt::green, { 80, 60 });
    useFolder(folder);
    EXPECT_NE(shown(), QColor(Qt::red)) << "the default sign shows until a key";
    down();
    EXPECT_EQ(bus.ImgDesiMaku->twipsRect(), (twips::Rect { 0, 0, 80 * 15, 60 * 15 }));
    up();
    EXPECT_EQ(bus.ImgDesiMaku->twipsRect(), (twips::Rect { 0, 0, 30 * 15, 10 * 15 }));
    // Drawn from the box's inner corner, cut at its inner edges, white where it does not reach.
    bus.show();
    const QImage box = bus.Picture1->grab().toImage();
    EXPECT_EQ(box.pixelColor(1, 1), QColor(Qt::red));
    EXPECT_EQ(box.pixelColor(30, 10), QColor(Qt::red));
    EXPECT_EQ(box.pixelColor(31, 11), QColor(Qt::white));
    EXPECT_EQ(box.pixelColor(0, 0), QColor(Qt::black));
    down();
    const QImage big = bus.Picture1->grab().toImage();
    EXPECT_EQ(big.pixelColor(50, 30), QColor(Qt::green));
    EXPECT_EQ(big.pixelColor(51, 31), QColor(Qt::black)) << "the border stays on top";
}

TEST_F(Sign, any_key_appends_the_separator_to_the_folder_path_once)
{
    makeAbc();
    useFolder(folder);
    key(65); // 'A' does nothing else
    EXPECT_EQ(bus.SignFolderPath(), folder + "/");
    down();
    EXPECT_EQ(bus.SignFolderPath(), folder + "/");
    bus.SetSignFolderPath("/");
    key(65);
    EXPECT_EQ(bus.SignFolderPath(), "/");
    bus.SetSignFolderPath("");
    key(65);
    EXPECT_EQ(bus.SignFolderPath(), "/");
}

TEST_F(Sign, a_new_folder_keeps_the_index_and_the_old_picture)
{
    for (int i = 0; i < 8; ++i)
        writePicture(folder + QStringLiteral("/%1.bmp").arg(i), QColor(i * 30, 0, 0));
    useFolder(folder);
    for (int i = 0; i < 5; ++i)
        down();
    EXPECT_EQ(shown(), QColor(150, 0, 0));
    const QString three = dir.path() + "/three";
    QDir().mkpath(three);
    writePicture(three + "/x.bmp", Qt::red);
    writePicture(three + "/y.bmp", Qt::green);
    writePicture(three + "/z.bmp", Qt::blue);
    useFolder(three);
    EXPECT_EQ(shown(), QColor(150, 0, 0)) << "the sign keeps its picture until a key";
    down();
    EXPECT_EQ(bus.sign().index(), 6);
    EXPECT_EQ(shown(), QColor(150, 0, 0));
    up();
    up();
    up();
    EXPECT_EQ(shown(), QColor(150, 0, 0)) << "entries 5 and 4 are empty";
    up();
    EXPECT_EQ(bus.sign().index(), 2);
    EXPECT_EQ(shown(), QColor(Qt::blue));
}

TEST_F(Sign, keypad_shows_the_numbered_entry_without_moving_the_arrow_index)
{
    for (int i = 0; i < 10; ++i)
        writePicture(folder + QStringLiteral("/%1.bmp").arg(i), QColor(i * 20, 0, 0));
    useFolder(folder);
    typeOnKeypad("007");
    EXPECT_EQ(shown(), QColor(140, 0, 0));
    typeOnKeypad("");
    EXPECT_EQ(shown(), QColor(0, 0, 0)) << "an empty display means entry 0";
    typeOnKeypad("3");
    EXPECT_EQ(shown(), QColor(60, 0, 0));
    typeOnKeypad("10"); // the list's length
    EXPECT_EQ(shown(), QColor(60, 0, 0));
    typeOnKeypad("40000");
    EXPECT_EQ(shown(), QColor(60, 0, 0));
    EXPECT_EQ(bus.sign().index(), 0);
    down();
    EXPECT_EQ(shown(), QColor(20, 0, 0)) << "the arrows step from their own index";
}

TEST_F(Sign, keypad_appends_the_separator_even_when_the_entry_then_fails)
{
    makeAbc();
    useFolder(folder);
    typeOnKeypad("99");
    EXPECT_EQ(bus.SignFolderPath(), folder + "/");
}

TEST_F(Sign, a_folder_of_more_than_32767_files_never_hangs_or_crashes)
{
    for (int i = 0; i < 32800; ++i)
        writeText(folder + QStringLiteral("/%1.bmp").arg(i, 5, 10, QChar('0')), {});
    writePicture(folder + "/00001.bmp", Qt::green);
    writePicture(folder + "/32767.bmp", Qt::blue);
    writePicture(folder + "/32768.bmp", Qt::red);
    useFolder(folder);
    EXPECT_EQ(bus.File1.ListCount(), 32800);
    down(); // the 16-bit count wraps round: stepping goes on
    EXPECT_EQ(bus.sign().index(), 1);
    EXPECT_EQ(shown(), QColor(Qt::green));
    typeOnKeypad("32767");
    EXPECT_EQ(shown(), QColor(Qt::blue));
    typeOnKeypad("32768"); // beyond 16 bits: nothing changes
    EXPECT_EQ(shown(), QColor(Qt::blue));
    up();
    EXPECT_EQ(bus.sign().index(), 0);
}

TEST_F(Sign, a_large_photo_is_decoded_only_where_the_sign_shows_it)
{
    writePicture(folder + "/a.jpg", Qt::green, { 1200, 800 }, "JPG");
    writePicture(folder + "/b.bmp", Qt::red, { 900, 700 });
    useFolder(folder);
    up(); // index 0 stays: nothing happens
    typeOnKeypad("0");
    EXPECT_EQ(bus.ImgDesiMaku->picture().size(), QSize(1200, 800));
    EXPECT_TRUE(bus.ImgDesiMaku->picture().isPartial());
    EXPECT_LE(bus.ImgDesiMaku->picture().image().width(), 64);
    EXPECT_EQ(bus.ImgDesiMaku->Width(), 1200 * 15);
    down();
    EXPECT_EQ(bus.ImgDesiMaku->picture().size(), QSize(900, 700));
    EXPECT_EQ(shown(), QColor(Qt::red));
}

TEST_F(Sign, a_folder_that_does_not_exist_is_reported_and_the_list_keeps_its_entries)
{
    makeAbc();
    useFolder(folder);
    bus.SetSignFolderPath(dir.path() + "/nowhere");
    // After the message the folder window is offered, holding the path that failed.
    QString offered;
    QTimer::singleShot(0, [&] {
        ASSERT_NE(bus.browseDirWindow(), nullptr);
        offered = bus.browseDirWindow()->Text1->text();
        QTest::mouseClick(bus.browseDirWindow()->Command2(1), Qt::LeftButton);
    });
    EXPECT_FALSE(bus.picDir());
    EXPECT_EQ(offered, dir.path() + "/nowhere");
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(platform.messages[0].text, "指定したパスが見つかりません。再度指定しなおしてください。");
    EXPECT_EQ(bus.File1.ListCount(), 3);
    EXPECT_EQ(bus.File1.Path(), folder);
    EXPECT_EQ(bus.SignFolderPath(), dir.path() + "/nowhere");
}

TEST_F(Sign, a_path_that_names_a_file_or_runs_through_one_is_a_path_not_found)
{
    makeAbc();
    useFolder(folder);
    writeText(dir.path() + "/notes.txt");
    for (const QString& path : { dir.path() + "/notes.txt", dir.path() + "/notes.txt/signs" }) {
        platform.messages.clear();
        bus.SetSignFolderPath(path);
        QString offered;
        QTimer::singleShot(0, [&] {
            ASSERT_NE(bus.browseDirWindow(), nullptr);
            offered = bus.browseDirWindow()->Text1->text();
            QTest::mouseClick(bus.browseDirWindow()->Command2(1), Qt::LeftButton);
        });
        EXPECT_FALSE(bus.picDir()) << qPrintable(path);
        EXPECT_EQ(offered, path) << "back to the folder window with the path";
        ASSERT_EQ(platform.messages.size(), 1u);
        EXPECT_EQ(platform.messages[0].text, "指定したパスが見つかりません。再度指定しなおしてください。");
        EXPECT_EQ(bus.File1.ListCount(), 3);
    }
}

// The folder selection window, opened modally from the panel's button.
class FolderWindow : public Sign {
protected:
    // Runs `inside` once the modal window is up, then returns when it has closed.
    void openWindow(std::function<void(frmBrowseDir&)> inside)
    {
        bool ran = false;
        QTimer::singleShot(0, [&] {
            frmBrowseDir* w = bus.browseDirWindow();
            ASSERT_NE(w, nullptr);
            ran = true;
            inside(*w);
            if (bus.browseDirWindow() && bus.browseDirWindow()->isVisible())
                QTest::mouseClick(bus.browseDirWindow()->Command2(1), Qt::LeftButton);
        });
        QTest::mouseClick(bus.panel().Command1, Qt::LeftButton);
        EXPECT_TRUE(ran);
        EXPECT_EQ(bus.browseDirWindow(), nullptr);
    }
};

// The right edge of what a label draws, in its window's pixels.
int inkRightOf(QLabel* label)
{
    const QImage image = label->grab().toImage();
    const QColor background = image.pixelColor(image.width() - 1, 0);
    int last = -1;
    for (int x = 0; x < image.width(); ++x)
        for (int y = 0; y < image.height(); ++y)
            if (image.pixelColor(x, y) != background)
                last = x;
    return label->x() + last + 1;
}

// The prompt above, the path and its browse button on one line, OK and キャンセル beneath: all
// inside the window and none over another, with the caption "位置：" readable before the path.
void expectLaidOutForReading(frmBrowseDir& w)
{
    const QRect window = w.rect();
    const std::vector<std::pair<const char*, const QWidget*>> controls = {
        { "prompt", w.Label2 }, { "path", w.Text1 }, { "browse", w.Command1 }, { "OK", w.Command2(0) }, { "cancel", w.Command2(1) },
    };
    for (std::size_t i = 0; i < controls.size(); ++i) {
        EXPECT_TRUE(window.contains(controls[i].second->geometry())) << controls[i].first;
        for (std::size_t j = i + 1; j < controls.size(); ++j)
            EXPECT_FALSE(controls[i].second->geometry().intersects(controls[j].second->geometry()))
                << controls[i].first << " and " << controls[j].first;
    }
    EXPECT_TRUE(window.contains(w.Label1->geometry()));
    EXPECT_EQ(w.Command1->y(), w.Text1->y()) << "the browse button sits on the path's line";
    EXPECT_GT(w.Command1->x(), w.Text1->x());
    EXPECT_EQ(w.Command2(0)->y(), w.Command2(1)->y());
    EXPECT_EQ(w.Command2(0)->size(), w.Command2(1)->size());
    EXPECT_GT(w.Command2(1)->x(), w.Command2(0)->x()) << "OK comes first";
    // The caption lies on the path's line and ends before it, beneath which its box runs on.
    const QRect caption = w.Label1->geometry();
    EXPECT_GE(caption.top(), w.Text1->geometry().top());
    EXPECT_LE(caption.bottom(), w.Text1->geometry().bottom());
    EXPECT_LT(caption.left(), w.Text1->x());
    EXPECT_LE(inkRightOf(w.Label1), w.Text1->x());
}

TEST_F(FolderWindow, is_laid_out_as_a_small_modal_dialog)
{
    bus.SetSignFolderPath("/some/where");
    openWindow([&](frmBrowseDir& w) {
        EXPECT_TRUE(w.isModal());
        EXPECT_EQ(w.parentWidget(), nullptr) << "no owner: the window manager places it";
        EXPECT_EQ(w.windowTitle(), "画像の位置");
        EXPECT_EQ(w.size(), QSize(460, 81));
        EXPECT_FALSE(w.windowFlags() & Qt::WindowCloseButtonHint);
        EXPECT_EQ(w.Text1->text(), "/some/where");
        EXPECT_EQ(w.Label2->text(), "方向幕のあるフォルダを指定してください");
        EXPECT_EQ(w.Label1->text(), "位置：");
        EXPECT_EQ(w.Command1->text(), "参照(&B)...");
        expectLaidOutForReading(w);
        EXPECT_EQ(w.Text1->nextInFocusChain(), w.Command1);
        EXPECT_EQ(w.Command1->nextInFocusChain(), w.Command2(0));
        EXPECT_EQ(w.Command2(0)->nextInFocusChain(), w.Command2(1));
        EXPECT_FALSE(w.close()) << "no close box";

        // Without a blank icon of its own it would show the application's, or the toolkit's.
        const QIcon before = QApplication::windowIcon();
        QPixmap applicationIcon(32, 32);
        applicationIcon.fill(Qt::red);
        QApplication::setWindowIcon(QIcon(applicationIcon));
        const int windowInk = inkIn(w.windowIcon());
        QApplication::setWindowIcon(before);
        EXPECT_EQ(windowInk, 0) << "no icon on its title bar";
    });
}

TEST_F(FolderWindow, ok_stores_the_typed_path_and_applies_it)
{
    makeAbc();
    openWindow([&](frmBrowseDir& w) {
        w.Text1->setText(folder);
        QTest::mouseClick(w.Command2(0), Qt::LeftButton);
        EXPECT_FALSE(w.isVisible()) << "closed after a folder that exists";
    });
    EXPECT_EQ(bus.SignFolderPath(), folder);
    EXPECT_EQ(bus.File1.Path(), folder);
    EXPECT_EQ(bus.File1.ListCount(), 3);
    EXPECT_EQ(platform.listCount, 1) << "picDir ran once";
}

TEST_F(FolderWindow, cancel_changes_nothing_even_after_browsing)
{
    bus.SetSignFolderPath("/kept");
    platform.browseResult = dir.path() + "/Mixed/Case";
    openWindow([&](frmBrowseDir& w) {
        QTest::mouseClick(w.Command1, Qt::LeftButton);
        EXPECT_EQ(w.Text1->text(), dir.path() + "/Mixed/Case") << "the case of a browsed path is kept";
        ASSERT_EQ(platform.browseOwners.size(), 1u);
        EXPECT_EQ(platform.browseOwners[0], &bus) << "the picker is owned by the bus window";
        EXPECT_EQ(platform.browseTitles[0], "方向幕のあるフォルダを選択してください");
    });
    EXPECT_EQ(bus.SignFolderPath(), "/kept");
    EXPECT_EQ(platform.listCount, 0);
}

TEST_F(FolderWindow, a_cancelled_picker_keeps_the_typed_text)
{
    openWindow([&](frmBrowseDir& w) {
        w.Text1->setText("/typed/Path");
        platform.browseResult.clear();
        QTest::mouseClick(w.Command1, Qt::LeftButton);
        EXPECT_EQ(w.Text1->text(), "/typed/Path");
    });
}

TEST_F(FolderWindow, enter_and_escape_close_nothing)
{
    makeAbc();
    openWindow([&](frmBrowseDir& w) {
        w.Text1->setText(folder);
        QTest::keyClick(w.Text1, Qt::Key_Return);
        QTest::keyClick(w.Text1, Qt::Key_Escape);
        QTest::keyClick(&w, Qt::Key_Enter);
        EXPECT_EQ(bus.browseDirWindow(), &w);
        EXPECT_TRUE(w.isVisible());
        EXPECT_EQ(platform.listCount, 0);
    });
}

TEST_F(FolderWindow, a_missing_folder_leaves_the_user_in_the_one_window_with_that_path)
{
    makeAbc();
    platform.onMessage = [&](const FakePlatform::Message&) {
        EXPECT_EQ(bus.browseDirWindow()->Text1->text(), dir.path() + "/nowhere");
    };
    openWindow([&](frmBrowseDir& w) {
        w.Text1->setText(dir.path() + "/nowhere");
        QTest::mouseClick(w.Command2(0), Qt::LeftButton);
        EXPECT_EQ(bus.browseDirWindow(), &w) << "still the same, single window";
        EXPECT_EQ(w.Text1->text(), dir.path() + "/nowhere");
        int open = 0;
        for (QWidget* top : QApplication::topLevelWidgets())
            open += qobject_cast<frmBrowseDir*>(top) != nullptr;
        EXPECT_EQ(open, 1);
        w.Text1->setText(folder);
        QTest::mouseClick(w.Command2(0), Qt::LeftButton);
        EXPECT_FALSE(w.isVisible());
    });
    EXPECT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(bus.File1.ListCount(), 3);
}

TEST_F(FolderWindow, an_empty_path_is_stored_and_applied_like_any_other)
{
    bus.SetSignFolderPath("/before");
    openWindow([&](frmBrowseDir& w) {
        w.Text1->clear();
        QTest::mouseClick(w.Command2(0), Qt::LeftButton);
    });
    EXPECT_EQ(bus.SignFolderPath(), "");
    EXPECT_EQ(platform.messages.size(), 1u);
}

} // namespace

namespace {

// The sign folder taken away while it is in use (a USB stick pulled out): the keys and the
// keypad go quiet, the sign keeps its picture, and pointing at the folder again reports it.
TEST_F(Sign, a_sign_folder_removed_while_in_use_leaves_the_sign_as_it_was)
{
    makeAbc();
    useFolder(folder);
    down();
    const QColor before = shown();
    ASSERT_TRUE(QDir(folder).removeRecursively());
    down();
    up();
    typeOnKeypad("2");
    EXPECT_EQ(shown(), before);
    EXPECT_TRUE(platform.messages.empty());
    QTimer::singleShot(0, [&] {
        if (bus.browseDirWindow())
            QTest::mouseClick(bus.browseDirWindow()->Command2(1), Qt::LeftButton);
    });
    EXPECT_FALSE(bus.picDir());
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(bus.File1.ListCount(), 3) << "the list keeps what it last read";
}

} // namespace

namespace {

TEST_F(Sign, a_sign_folder_made_unreadable_is_reported_in_plain_words_and_the_list_kept)
{
    makeAbc();
    useFolder(folder);
    platform.unreadableFolders << folder;
    EXPECT_TRUE(bus.picDir()) << "not a missing folder: the folder window closes";
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(platform.messages[0].text, "アクセスが拒否されました。");
    EXPECT_EQ(bus.File1.ListCount(), 3);
    down();
    EXPECT_TRUE(near(shown(), Qt::green)) << "the list read before still steps";
}

} // namespace

namespace {

// An LED-like sign: its pages told apart by colour, each on show for delayCs hundredths of a
// second, played for ever.
void writeAnimatedSign(const QString& path, const QList<QColor>& pages, int delayCs = 5, QSize size = { 40, 20 })
{
    QList<QImage> frames;
    for (const QColor& colour : pages) {
        QImage frame(size, QImage::Format_RGB32);
        frame.fill(colour);
        frames << frame;
    }
    writeText(path, GifWriter::animation(frames, delayCs, 0));
}

TEST_F(Sign, an_animated_sign_shows_its_first_frame_as_a_still_one_would_and_plays_while_the_bus_is_seen)
{
    writePicture(folder + "/a.bmp", Qt::red);
    writeAnimatedSign(folder + "/b.gif", { Qt::green, Qt::blue });
    writePicture(folder + "/c.gif", Qt::green);
    useFolder(folder);
    const PictureAnimator& animation = bus.signAnimation();

    down();
    EXPECT_EQ(shown(), QColor(Qt::green));
    const twips::Rect animatedRect = bus.ImgDesiMaku->twipsRect();
    EXPECT_TRUE(animation.isPlaying());
    EXPECT_FALSE(animation.isTicking()) << "the bus is not on the screen yet";

    bus.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&bus));
    EXPECT_TRUE(animation.isTicking());
    QTRY_COMPARE_WITH_TIMEOUT(shown(), QColor(Qt::blue), 3000);
    QTRY_COMPARE_WITH_TIMEOUT(shown(), QColor(Qt::green), 3000);
    EXPECT_EQ(bus.ImgDesiMaku->twipsRect(), animatedRect) << "frames keep the place and size of the first";

    // A still GIF of the same first frame: the same sign, and nothing left running.
    down();
    EXPECT_EQ(shown(), QColor(Qt::green));
    EXPECT_EQ(bus.ImgDesiMaku->twipsRect(), animatedRect);
    EXPECT_FALSE(animation.isPlaying());
    EXPECT_FALSE(animation.isTicking());

    // Back onto it: from its first frame again, then on.
    up();
    EXPECT_EQ(shown(), QColor(Qt::green));
    EXPECT_TRUE(animation.isTicking());
    QTRY_COMPARE_WITH_TIMEOUT(shown(), QColor(Qt::blue), 3000);
    up();
    EXPECT_EQ(shown(), QColor(Qt::red));
    EXPECT_FALSE(animation.isTicking());
    // The keypad reaches it as well.
    typeOnKeypad("1");
    EXPECT_EQ(shown(), QColor(Qt::green));
    EXPECT_TRUE(animation.isTicking());
}

TEST_F(Sign, a_minimized_or_hidden_bus_pauses_its_sign)
{
    writeAnimatedSign(folder + "/a.gif", { Qt::red, Qt::green, Qt::blue });
    useFolder(folder);
    bus.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&bus));
    typeOnKeypad("0");
    const PictureAnimator& animation = bus.signAnimation();
    ASSERT_TRUE(animation.isTicking());

    bus.showMinimized();
    QTRY_VERIFY(animation.isPaused());
    EXPECT_FALSE(animation.isTicking());
    const QColor whileMinimized = shown();
    QTest::qWait(300);
    EXPECT_EQ(shown(), whileMinimized);

    bus.showNormal();
    QTRY_VERIFY(!animation.isPaused());
    EXPECT_TRUE(animation.isTicking());
    QTRY_VERIFY_WITH_TIMEOUT(shown() != whileMinimized, 3000);

    bus.hide();
    EXPECT_TRUE(animation.isPaused());
    EXPECT_FALSE(animation.isTicking());
    bus.show();
    EXPECT_TRUE(animation.isTicking());
}

TEST_F(Sign, a_step_onto_a_broken_file_leaves_the_animated_sign_playing)
{
    writeAnimatedSign(folder + "/a.gif", { Qt::red, Qt::green });
    writeText(folder + "/b.gif");
    useFolder(folder);
    bus.show();
    typeOnKeypad("0");
    down();
    EXPECT_EQ(bus.sign().index(), 1);
    EXPECT_TRUE(bus.signAnimation().isTicking());
    QTRY_COMPARE_WITH_TIMEOUT(shown(), QColor(Qt::green), 3000);
}

TEST_F(Sign, an_animation_that_says_how_often_it_plays_stops_on_its_last_frame_and_its_timer_with_it)
{
    QList<QImage> frames;
    for (QColor c : { Qt::red, Qt::green, Qt::blue }) {
        QImage frame(40, 20, QImage::Format_RGB32);
        frame.fill(c);
        frames << frame;
    }
    writeText(folder + "/a.gif", GifWriter::animation(frames, 2, 1));
    useFolder(folder);
    bus.show();
    typeOnKeypad("0");
    QTRY_VERIFY_WITH_TIMEOUT(!bus.signAnimation().isPlaying(), 3000);
    EXPECT_FALSE(bus.signAnimation().isTicking());
    EXPECT_EQ(shown(), QColor(Qt::blue));
}

// A door movement holds the event thread: the sign waits, its pauses do no work for the sign,
// and once the door is still the sign goes on with the next frame.
TEST_F(Sign, a_moving_door_holds_the_sign_which_goes_on_once_the_door_is_still)
{
    writeAnimatedSign(folder + "/a.gif", { Qt::red, Qt::green, Qt::blue }, 2);
    useFolder(folder);
    bus.show();
    typeOnKeypad("0");
    ASSERT_TRUE(bus.signAnimation().isTicking());

    struct Watching final : Doors::Pacer {
        explicit Watching(const ImageElement& sign) : sign(sign) { }
        void pause(int) override
        {
            std::this_thread::sleep_for(std::chrono::microseconds(300));
            keys.insert(sign.picture().image().cacheKey());
        }
        const ImageElement& sign;
        std::set<qint64> keys;
    } pacer(*bus.ImgDesiMaku);
    bus.setPacer(pacer);
    const qint64 before = bus.ImgDesiMaku->picture().image().cacheKey();
    QTest::mouseClick(bus.panel().Check1, Qt::LeftButton);
    EXPECT_EQ(pacer.keys, std::set<qint64> { before }) << "the sign changed while the door moved";
    QTRY_VERIFY_WITH_TIMEOUT(bus.ImgDesiMaku->picture().image().cacheKey() != before, 3000);
    EXPECT_TRUE(bus.signAnimation().isTicking());
}

} // namespace
