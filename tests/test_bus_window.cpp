#include "app/Form1.h"
#include "elements/PictureBox.h"
#include "geometry/Twips.h"
#include "tests/FakePlatform.h"

#include <QLabel>
#include <QMenu>
#include <QRadioButton>
#include <QScrollBar>
#include <QTest>

#include <gtest/gtest.h>

namespace {

twips::Rect T(float l, float t, float w, float h)
{
    return { l, t, w, h };
}

class BusWindow : public ::testing::Test {
protected:
    FakePlatform platform;
    Form1 bus { platform };

    void load()
    {
        bus.Form_Load();
        bus.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&bus));
    }
    QPoint pixelCentre(const WindowlessElement& e) const { return e.pixelRect().center().toPoint(); }
};

TEST_F(BusWindow, client_area_is_fixed_at_807_by_225)
{
    EXPECT_EQ(bus.size(), QSize(807, 225));
    EXPECT_EQ(bus.minimumSize(), bus.maximumSize());
    EXPECT_FALSE(bus.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(bus.windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_TRUE(bus.windowFlags() & Qt::WindowMinimizeButtonHint);
}

// The body picture's openings: a frame colour round each, and a one-pixel dark line of shadow
// along its right and bottom edges, past what shuts it.
bool isShadow(QColor c)
{
    return c.red() + c.green() + c.blue() < 3 * 64;
}

// Checks that `shut` covers an opening of the body exactly: the frame shows just above and left
// of it, the shadow line just right and below it, then the frame again.
void expectFillsItsOpening(const QImage& body, const QRect& shut, const char* what)
{
    SCOPED_TRACE(what);
    const QColor frame = body.pixelColor(shut.left() - 1, shut.top() - 1);
    const int right = shut.left() + shut.width();
    const int bottom = shut.top() + shut.height();
    ASSERT_LT(bottom + 1, body.height());
    for (int y = shut.top(); y < bottom; ++y) {
        EXPECT_EQ(body.pixelColor(shut.left() - 1, y), frame) << "left edge at y " << y;
        EXPECT_NE(body.pixelColor(shut.left(), y), frame) << "left edge at y " << y;
        EXPECT_TRUE(isShadow(body.pixelColor(right, y))) << "right edge at y " << y;
        EXPECT_EQ(body.pixelColor(right + 1, y), frame) << "right edge at y " << y;
    }
    for (int x = shut.left(); x < right; ++x) {
        EXPECT_EQ(body.pixelColor(x, shut.top() - 1), frame) << "top edge at x " << x;
        EXPECT_NE(body.pixelColor(x, shut.top()), frame) << "top edge at x " << x;
        EXPECT_TRUE(isShadow(body.pixelColor(x, bottom))) << "bottom edge at x " << x;
        EXPECT_EQ(body.pixelColor(x, bottom + 1), frame) << "bottom edge at x " << x;
    }
}

TEST_F(BusWindow, shut_doors_and_the_sign_box_fill_their_openings_in_the_body)
{
    const QImage body(":/art/A1");
    ASSERT_FALSE(body.isNull());
    const QRectF left = bus.imgNakaorido(0).pixelRect();
    const QRectF right = bus.imgNakaorido(1).pixelRect();
    // The middle door's leaves meet with neither a gap nor an overlap, and match each other.
    EXPECT_EQ(left.right(), right.left());
    EXPECT_EQ(left.top(), right.top());
    EXPECT_EQ(left.size(), right.size());
    expectFillsItsOpening(body, left.united(right).toRect(), "middle doorway");
    expectFillsItsOpening(body, bus.Image1(2).pixelRect().toRect(), "front doorway");
    expectFillsItsOpening(body, bus.Picture1->geometry(), "sign box");
}

TEST_F(BusWindow, every_element_lies_inside_the_window_and_the_sign_fills_its_box)
{
    const QRectF client(QPointF(0, 0), bus.size());
    for (const WindowlessElement* e : bus.windowlessElements())
        EXPECT_TRUE(client.contains(e->pixelRect())) << e->pixelRect().x() << "," << e->pixelRect().y();
    for (const QWidget* child : { static_cast<QWidget*>(bus.Picture1), static_cast<QWidget*>(bus.PicKanban) })
        EXPECT_TRUE(bus.rect().contains(child->geometry())) << child->objectName().toStdString();

    // The default sign is drawn as it is, covering the whole box.
    EXPECT_EQ(bus.ImgDesiMaku->pixelRect(), QRectF(QPointF(0, 0), bus.Picture1->size()));
    EXPECT_FALSE(bus.ImgDesiMaku->Stretch());
    EXPECT_EQ(bus.ImgDesiMaku->picture().size(), bus.Picture1->size());

    EXPECT_EQ(bus.File1.Pattern(), "*.bmp;*.wmf;*.emf;*.gif;*.jpg;*.jpeg");
    EXPECT_FALSE(bus.Image1.contains(0));
    EXPECT_FALSE(bus.Image1(1).Visible());
    // The doors' pictures are stretched to their places.
    for (int i : { 0, 1 })
        EXPECT_TRUE(bus.imgNakaorido(i).Stretch());
    EXPECT_EQ(bus.imgNakaorido(0).picture().size(), QSize(56, 152));
    EXPECT_EQ(bus.Image1(2).picture().size(), QSize(69, 152));
}

TEST_F(BusWindow, stacking_puts_child_windows_over_doors_and_the_first_listed_on_top)
{
    const auto& order = bus.windowlessElements();
    ASSERT_EQ(order.size(), 7u);
    EXPECT_EQ(order[0], &bus.imgNakaorido(0));
    EXPECT_EQ(order[1], &bus.imgNakaorido(1));
    EXPECT_EQ(order[2], &bus.Image1(2));
    EXPECT_EQ(order[4], &bus.shpK_Waku(0));
    EXPECT_EQ(order[6], &bus.shpK_Waku(2));

    // Child windows: the signboard lies above the sign box.
    const auto children = bus.findChildren<PictureBox*>(QString(), Qt::FindDirectChildrenOnly);
    ASSERT_EQ(children.size(), 2);
    EXPECT_EQ(children.indexOf(bus.Picture1), 0);
    EXPECT_EQ(children.indexOf(bus.PicKanban), 1);
}

TEST_F(BusWindow, frame_bars_are_grey_rectangles_around_the_signboard_at_creation)
{
    // Posts touch the signboard's sides along its whole height, and the bar lies along its
    // bottom edge from the outside of one post to the outside of the other, meeting both.
    const QRectF board = bus.PicKanban->geometry();
    const QRectF leftPost = bus.shpK_Waku(0).pixelRect();
    const QRectF rightPost = bus.shpK_Waku(1).pixelRect();
    const QRectF bar = bus.shpK_Waku(2).pixelRect();
    EXPECT_EQ(leftPost.right(), board.left());
    EXPECT_EQ(rightPost.left(), board.right());
    for (const QRectF& post : { leftPost, rightPost }) {
        EXPECT_LE(post.top(), board.top());
        EXPECT_GE(post.bottom(), bar.top());
        EXPECT_LE(post.bottom(), bar.bottom());
        EXPECT_GT(post.width(), 0);
    }
    EXPECT_EQ(bar.top(), board.bottom());
    EXPECT_EQ(bar.left(), leftPost.left());
    EXPECT_EQ(bar.right(), rightPost.right());
    EXPECT_GT(bar.height(), 0);

    // A door moved away uncovers the body; the bar's fill and outline show in the rendering.
    const QImage shot = bus.grab().toImage();
    EXPECT_EQ(shot.pixelColor(210, 110), QColor(128, 128, 128));
    EXPECT_EQ(shot.pixelColor(212, 110), QColor(224, 224, 224));
}

TEST_F(BusWindow, rendering_shows_body_doors_and_a_button_face_strip_at_the_bottom)
{
    const QImage shot = bus.grab().toImage();
    const QImage body(":/art/A1");
    const QColor face = bus.palette().color(QPalette::Button);
    for (int x : { 0, 400, 806 })
        EXPECT_EQ(shot.pixelColor(x, 224), face) << x;
    EXPECT_EQ(shot.pixelColor(700, 10), body.pixelColor(700, 10));
    // The sign box: border at its edge, default sign inside.
    EXPECT_EQ(shot.pixelColor(499, 41), QColor(0, 0, 0));
    EXPECT_EQ(shot.pixelColor(500 + 10, 42 + 10), QImage(":/art/A4").pixelColor(10, 10));
}

TEST_F(BusWindow, popup_menu_has_five_items_with_the_view_items_ticked)
{
    const auto actions = bus.MnuTempMenu1->actions();
    ASSERT_EQ(actions.size(), 5);
    EXPECT_EQ(actions[0]->text(), "看板の表示");
    EXPECT_EQ(actions[1]->text(), "枠の表示");
    EXPECT_EQ(actions[2]->text(), "看板の画像を設定...");
    EXPECT_TRUE(actions[3]->isSeparator());
    EXPECT_EQ(actions[4]->text(), "看板のリセット");
    EXPECT_TRUE(bus.MnuViewKanban->Checked());
    EXPECT_TRUE(bus.MnuViewWaku->Checked());
    EXPECT_FALSE(bus.MnuSetKanban->Checked());
    EXPECT_FALSE(bus.MnuKanbanReset->Checked());
    for (QAction* a : actions) {
        EXPECT_TRUE(a->isEnabled());
        EXPECT_TRUE(a->shortcut().isEmpty());
    }
}

TEST_F(BusWindow, a_triggered_item_keeps_the_tick_its_handler_gives)
{
    load();
    bus.MnuViewKanban->action()->trigger();
    EXPECT_FALSE(bus.MnuViewKanban->Checked());
    EXPECT_FALSE(bus.MnuViewKanban->action()->isChecked());
    EXPECT_FALSE(bus.PicKanban->isVisible());
    bus.MnuSetKanban->action()->trigger();
    EXPECT_FALSE(bus.MnuSetKanban->action()->isChecked());
}

TEST_F(BusWindow, start_up_places_windows_shows_the_panel_topmost_and_sets_the_caption)
{
    platform.exeName = QStringLiteral("MyBus");
    EXPECT_FALSE(bus.panelLoaded());
    load();
    ASSERT_TRUE(bus.panelLoaded());
    EXPECT_TRUE(bus.panel().isVisible());
    ASSERT_EQ(platform.topmost.size(), 1u);
    EXPECT_EQ(platform.topmost[0], &bus.panel());
    EXPECT_EQ(bus.windowTitle(), "くるりん号　-　MyBus");

    EXPECT_EQ(bus.Left(), 0);
    EXPECT_EQ(bus.Top(), 0);
    EXPECT_EQ(bus.panel().Left(), 0);
    EXPECT_GE(bus.panel().Top(), 3375);
    EXPECT_EQ(bus.panel().HScroll1->value(), 10000);
    EXPECT_EQ(bus.panel().HScroll2->value(), 6000);
    EXPECT_EQ(bus.panel().lblMaeSpeed->text(), "10000");
    EXPECT_EQ(bus.panel().lblNakaSpeed->text(), "6000");
    EXPECT_TRUE(bus.panel().Option1(0)->isChecked());

    // The first start puts the signboard at its home place with the frame fitted around it.
    EXPECT_EQ(bus.PicKanban->twipsRect(), T(3180, 1815, 1410, 450));
    EXPECT_EQ(bus.shpK_Waku(0).twipsRect(), T(3105, 1815, 75, 465));
    EXPECT_EQ(bus.shpK_Waku(1).twipsRect(), T(4590, 1815, 75, 465));
    EXPECT_EQ(bus.shpK_Waku(2).twipsRect(), T(3105, 2265, 1560, 60));
}

TEST_F(BusWindow, the_sign_box_has_the_focus_first_then_the_signboard)
{
    load();
    bus.activateWindow();
    QApplication::setActiveWindow(&bus);
    EXPECT_EQ(QApplication::focusWidget(), bus.Picture1);
    EXPECT_EQ(bus.Picture1->nextInFocusChain(), bus.PicKanban);
    EXPECT_EQ(bus.Picture1->focusPolicy(), Qt::StrongFocus);
    EXPECT_EQ(bus.PicKanban->focusPolicy(), Qt::StrongFocus);
}

TEST_F(BusWindow, right_press_on_the_body_or_a_frame_bar_opens_the_menu_but_not_on_doors_or_sign)
{
    load();
    QTest::mousePress(&bus, Qt::RightButton, {}, QPoint(700, 150));
    ASSERT_EQ(platform.popups.size(), 1u);
    EXPECT_EQ(platform.popups[0].menu, bus.MnuTempMenu1);

    QTest::mousePress(&bus, Qt::RightButton, {}, QPoint(211, 120)); // left post of the frame
    EXPECT_EQ(platform.popups.size(), 2u);

    QTest::mousePress(&bus, Qt::LeftButton, {}, QPoint(700, 150));
    QTest::mousePress(&bus, Qt::MiddleButton, {}, QPoint(700, 150));
    QTest::mousePress(&bus, Qt::RightButton, {}, pixelCentre(bus.Image1(2)));
    QTest::mousePress(&bus, Qt::RightButton, {}, pixelCentre(bus.imgNakaorido(0)));
    QTest::mousePress(&bus, Qt::RightButton, {}, pixelCentre(bus.imgNakaorido(1)));
    QTest::mousePress(bus.Picture1, Qt::RightButton, {}, QPoint(10, 10));
    EXPECT_EQ(platform.popups.size(), 2u);

    QTest::mousePress(bus.PicKanban, Qt::RightButton, {}, QPoint(10, 10));
    EXPECT_EQ(platform.popups.size(), 3u);
}

TEST_F(BusWindow, clicking_the_front_door_or_the_sign_gives_the_sign_box_the_focus)
{
    load();
    QApplication::setActiveWindow(&bus);
    bus.PicKanban->setFocus();
    QTest::mouseClick(&bus, Qt::LeftButton, {}, pixelCentre(bus.Image1(2)));
    EXPECT_TRUE(bus.Picture1->hasFocus());

    bus.PicKanban->setFocus();
    QTest::mouseClick(bus.Picture1, Qt::LeftButton, {}, QPoint(10, 10)); // on the sign picture
    EXPECT_TRUE(bus.Picture1->hasFocus());

    bus.PicKanban->setFocus();
    QTest::mouseClick(&bus, Qt::LeftButton, {}, pixelCentre(bus.imgNakaorido(0)));
    EXPECT_TRUE(bus.PicKanban->hasFocus()) << "the middle door has no click handler";
}

TEST_F(BusWindow, closing_the_bus_takes_the_panel_with_it)
{
    load();
    bus.close();
    EXPECT_FALSE(bus.isVisible());
    EXPECT_FALSE(bus.panel().isVisible());
}

} // namespace

