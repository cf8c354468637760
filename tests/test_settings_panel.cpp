#include "settings/frmSet.h"
#include "settings/Keypad.h"
#include "tests/IconInk.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTest>

#include <gtest/gtest.h>

namespace {

// Records which of the bus's procedures the panel called, and what the panel looked like then.
class RecordingOwner : public ControlDeskOwner {
public:
    QStringList calls;
    frmSet* panel { nullptr };
    bool frame2EnabledAtCall { true };
    QString keypadDigits;

    void Check1_Click() override { calls << "Check1_Click"; }
    void Check2_Click() override
    {
        calls << "Check2_Click";
        frame2EnabledAtCall = panel->Frame2->isEnabled();
    }
    void HScroll1_Change() override { calls << "HScroll1_Change"; }
    void HScroll2_Change() override { calls << "HScroll2_Change"; }
    void MnuEditHkPic_Click() override { calls << "MnuEditHkPic_Click"; }
    void MnuHelpVer_Click() override { calls << "MnuHelpVer_Click"; }
    void SignKeypadEnter(const QString& digits) override
    {
        calls << "SignKeypadEnter";
        keypadDigits = digits;
    }
};

class SettingsPanel : public ::testing::Test {
protected:
    RecordingOwner owner;
    frmSet panel { owner };

    void SetUp() override { owner.panel = &panel; }
};

TEST_F(SettingsPanel, is_a_fixed_tool_window_without_a_close_button)
{
    EXPECT_EQ(panel.windowTitle(), "設定パネル");
    EXPECT_EQ(panel.size(), QSize(263, 171));
    EXPECT_EQ(panel.minimumSize(), panel.maximumSize());
    const Qt::WindowFlags flags = panel.windowFlags();
    EXPECT_EQ(flags & Qt::WindowType_Mask, Qt::Tool);
    EXPECT_TRUE(flags & Qt::CustomizeWindowHint);
    EXPECT_FALSE(flags & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_FALSE(flags & Qt::WindowSystemMenuHint);
    EXPECT_EQ(panel.palette().color(QPalette::Window), QColor(64, 64, 64));
}

TEST_F(SettingsPanel, shows_no_icon_on_its_title_bar_even_when_the_application_has_one)
{
    // The panel has no parent, so without a blank icon of its own it would show the
    // application's icon, or the toolkit's when the application has none.
    const QIcon before = QApplication::windowIcon();
    QPixmap applicationIcon(32, 32);
    applicationIcon.fill(Qt::red);
    QApplication::setWindowIcon(QIcon(applicationIcon));
    const int appInk = inkIn(QApplication::windowIcon());
    const int panelInk = inkIn(panel.windowIcon());
    QApplication::setWindowIcon(before);
    ASSERT_GT(appInk, 0);
    EXPECT_EQ(panelInk, 0);
}

TEST_F(SettingsPanel, ignores_a_close_request_from_the_window_manager)
{
    panel.show();
    EXPECT_FALSE(panel.close());
    EXPECT_TRUE(panel.isVisible());
}

// Right and bottom edges just past the rectangle, as the next control along would start.
int rightOf(const QRect& r)
{
    return r.x() + r.width();
}
int bottomOf(const QRect& r)
{
    return r.y() + r.height();
}

TEST_F(SettingsPanel, every_control_lies_inside_its_frame_and_none_covers_another)
{
    struct Control {
        const char* name;
        QWidget* widget;
    };
    // The frames own their controls: disabling a frame disables what lies in it.
    const std::vector<std::pair<QWidget*, std::vector<Control>>> containers = {
        { &panel, { { "FrameA", panel.FrameA }, { "Frame1", panel.Frame1 }, { "Command3", panel.Command3 } } },
        { panel.FrameA,
          { { "Check1", panel.Check1 },
            { "HScroll1", panel.HScroll1 },
            { "lblMaeSpeed", panel.lblMaeSpeed },
            { "Check2", panel.Check2 },
            { "HScroll2", panel.HScroll2 },
            { "lblNakaSpeed", panel.lblNakaSpeed },
            { "Frame2", panel.Frame2 } } },
        { panel.Frame2, { { "Option1(0)", panel.Option1(0) }, { "Option1(1)", panel.Option1(1) }, { "Option1(2)", panel.Option1(2) } } },
        { panel.Frame1, { { "Label1", panel.Label1 }, { "Command1", panel.Command1 } } },
    };
    for (const auto& [container, controls] : containers) {
        for (std::size_t i = 0; i < controls.size(); ++i) {
            const auto& [name, control] = controls[i];
            EXPECT_EQ(control->parentWidget(), container) << name;
            EXPECT_TRUE(container->rect().contains(control->geometry())) << name;
            EXPECT_FALSE(control->geometry().isEmpty()) << name;
            for (std::size_t j = i + 1; j < controls.size(); ++j)
                EXPECT_FALSE(control->geometry().intersects(controls[j].widget->geometry())) << name << " and " << controls[j].name;
            // The display and the folder button stay clear of the keypad.
            if (container == panel.Frame1) {
                for (const auto& [index, key] : panel.Command2)
                    EXPECT_FALSE(control->geometry().intersects(key->geometry())) << name << " and key " << index;
            }
        }
    }
    // Each speed shows right beneath its slider.
    for (const auto& [slider, speed] : { std::pair { panel.HScroll1, panel.lblMaeSpeed }, std::pair { panel.HScroll2, panel.lblNakaSpeed } }) {
        const QRect bar = slider->geometry();
        const QRect label = speed->geometry();
        EXPECT_GE(label.y(), bottomOf(bar));
        EXPECT_LE(label.y(), bottomOf(bar) + 2);
        EXPECT_GE(label.x(), bar.x());
        EXPECT_LE(label.x() + label.width(), bar.x() + bar.width());
    }
    // Front door above middle door, as on the bus; the options read left to right.
    EXPECT_LT(bottomOf(panel.Check1->geometry()), panel.Check2->y());
    EXPECT_LT(bottomOf(panel.HScroll1->geometry()), panel.HScroll2->y());
    EXPECT_LT(panel.Option1(0)->x(), panel.Option1(1)->x());
    EXPECT_LT(panel.Option1(1)->x(), panel.Option1(2)->x());
}

TEST_F(SettingsPanel, keypad_keys_form_a_telephone_grid)
{
    // Rows from the top: 7 8 9, 4 5 6, 1 2 3, 0 C 設定.
    const int grid[4][3] = { { 7, 8, 9 }, { 4, 5, 6 }, { 1, 2, 3 }, { 0, Keypad::Clear, Keypad::Enter } };
    ASSERT_EQ(panel.Command2.size(), std::size_t(Keypad::kKeyCount));
    const QSize keySize = panel.Command2(0)->size();
    for (int row = 0; row < 4; ++row) {
        for (int column = 0; column < 3; ++column) {
            const int index = grid[row][column];
            const QRect key = panel.Command2(index)->geometry();
            EXPECT_EQ(panel.Command2(index)->parentWidget(), panel.Frame1) << index;
            EXPECT_TRUE(panel.Frame1->rect().contains(key)) << index;
            EXPECT_EQ(key.size(), keySize) << index;
            // Keys lie edge to edge: no gap between neighbours, and at most their one-pixel
            // edges shared, so no key hides part of another's face.
            if (column > 0) {
                const QRect before = panel.Command2(grid[row][column - 1])->geometry();
                EXPECT_EQ(key.y(), before.y()) << index;
                EXPECT_LE(key.x(), rightOf(before)) << index;
                EXPECT_GE(key.x(), rightOf(before) - 1) << index;
            }
            if (row > 0) {
                const QRect above = panel.Command2(grid[row - 1][column])->geometry();
                EXPECT_EQ(key.x(), above.x()) << index;
                EXPECT_LE(key.y(), bottomOf(above)) << index;
                EXPECT_GE(key.y(), bottomOf(above) - 1) << index;
            }
        }
    }
    EXPECT_EQ(panel.Command2(7)->text(), "7");
    EXPECT_EQ(panel.Command2(Keypad::Clear)->text(), "C");
    EXPECT_EQ(panel.Command2(Keypad::Enter)->text(), "設定");
}

TEST_F(SettingsPanel, captions_colours_and_fonts)
{
    EXPECT_EQ(panel.Frame2->title(), "中扉動作");
    EXPECT_EQ(panel.Option1(0)->text(), "両方");
    EXPECT_EQ(panel.Option1(1)->text(), "左");
    EXPECT_EQ(panel.Option1(2)->text(), "右");
    EXPECT_EQ(panel.Command1->text(), "方向幕フォルダー");
    EXPECT_EQ(panel.Command3->text(), "バージョン情報");
    EXPECT_EQ(panel.FrameA->palette().color(QPalette::Window), QColor(0, 0, 0));
    EXPECT_EQ(panel.Frame2->palette().color(QPalette::Window), QColor(224, 224, 224));
    EXPECT_EQ(panel.Frame1->palette().color(QPalette::Window), QColor(64, 64, 64));
    for (QLabel* label : { panel.lblMaeSpeed, panel.lblNakaSpeed }) {
        EXPECT_EQ(label->palette().color(QPalette::Window), QColor(0, 0, 0));
        EXPECT_EQ(label->palette().color(QPalette::WindowText), QColor(255, 192, 128));
        EXPECT_TRUE(label->alignment() & Qt::AlignRight);
        EXPECT_EQ(label->frameShape(), QFrame::Box);
    }
    EXPECT_EQ(panel.Label1->palette().color(QPalette::WindowText), QColor(255, 128, 0));
    // The Windows faces are asked for by the installed faces that stand in for them.
    EXPECT_EQ(panel.Label1->font().family(), "IPAGothic");
    EXPECT_EQ(panel.Label1->font().pixelSize(), 19);
    EXPECT_EQ(panel.Command2(5)->font().family(), "IPAPGothic");
    EXPECT_EQ(panel.Command2(5)->font().pixelSize(), 16);
    // The Windows face names resolve to installed Japanese fonts, so no text shows as boxes.
    EXPECT_TRUE(QFontInfo(panel.Label1->font()).family().startsWith("IPA")) << QFontInfo(panel.Label1->font()).family().toStdString();
    EXPECT_TRUE(QFontMetrics(panel.Command2(Keypad::Enter)->font()).inFont(QChar(u'設')));
}

TEST_F(SettingsPanel, toggles_carry_their_pictures_and_start_released)
{
    for (QPushButton* toggle : { panel.Check1, panel.Check2 }) {
        EXPECT_TRUE(toggle->isCheckable());
        EXPECT_EQ(frmSet::Value(toggle), 0);
        EXPECT_EQ(toggle->iconSize(), QSize(50, 20));
        EXPECT_FALSE(toggle->icon().isNull());
    }
}

TEST_F(SettingsPanel, sliders_span_1_to_30000_in_steps_of_1_and_labels_show_0_until_a_change)
{
    EXPECT_EQ(panel.HScroll1->minimum(), 1);
    EXPECT_EQ(panel.HScroll1->maximum(), 30000);
    EXPECT_EQ(panel.HScroll1->value(), 6000);
    EXPECT_EQ(panel.HScroll2->value(), 10000);
    for (QScrollBar* bar : { panel.HScroll1, panel.HScroll2 }) {
        EXPECT_EQ(bar->singleStep(), 1);
        EXPECT_EQ(bar->pageStep(), 1);
    }
    EXPECT_EQ(panel.lblMaeSpeed->text(), "0");
    EXPECT_EQ(panel.lblNakaSpeed->text(), "0");

    panel.HScroll1->setValue(6000); // no change, no handler
    EXPECT_TRUE(owner.calls.isEmpty());
    panel.HScroll1->setValue(1);
    panel.HScroll2->setValue(30000);
    EXPECT_EQ(owner.calls, QStringList({ "HScroll1_Change", "HScroll2_Change" }));
}

// Where a part of a scroll bar (its thumb, an arrow, a page area) lies, in its own pixels.
QPoint centreOf(const QScrollBar* bar, QStyle::SubControl part)
{
    QStyleOptionSlider option;
    option.initFrom(bar);
    option.subControls = QStyle::SC_All;
    option.orientation = bar->orientation();
    option.state |= QStyle::State_Horizontal;
    option.minimum = bar->minimum();
    option.maximum = bar->maximum();
    option.sliderPosition = bar->sliderPosition();
    option.sliderValue = bar->value();
    option.singleStep = bar->singleStep();
    option.pageStep = bar->pageStep();
    return bar->style()->subControlRect(QStyle::CC_ScrollBar, &option, part, bar).center();
}

TEST_F(SettingsPanel, a_speed_changes_when_the_thumb_is_let_go_not_while_it_is_dragged)
{
    panel.show();
    for (const auto& [bar, change] : { std::pair { panel.HScroll1, "HScroll1_Change" }, std::pair { panel.HScroll2, "HScroll2_Change" } }) {
        owner.calls.clear();
        const int before = bar->value();
        const QPoint thumb = centreOf(bar, QStyle::SC_ScrollBarSlider);
        QTest::mousePress(bar, Qt::LeftButton, {}, thumb);
        QTest::mouseMove(bar, thumb + QPoint(8, 0));
        const int partWay = bar->value();
        EXPECT_GT(partWay, before) << change << ": the value follows the thumb, so a moving door takes the pace at once";
        QTest::mouseMove(bar, thumb + QPoint(16, 0));
        EXPECT_GT(bar->value(), partWay) << change;
        EXPECT_TRUE(owner.calls.isEmpty()) << change << ": nothing while the thumb is dragged";
        QTest::mouseRelease(bar, Qt::LeftButton, {}, thumb + QPoint(16, 0));
        EXPECT_EQ(owner.calls, QStringList { change }) << "once, when it is let go";

        owner.calls.clear();
        const QPoint grabbed = centreOf(bar, QStyle::SC_ScrollBarSlider);
        QTest::mousePress(bar, Qt::LeftButton, {}, grabbed);
        QTest::mouseRelease(bar, Qt::LeftButton, {}, grabbed);
        EXPECT_TRUE(owner.calls.isEmpty()) << change << ": let go where it was taken, nothing changed";

        const int atThumb = bar->value();
        QTest::mouseClick(bar, Qt::LeftButton, {}, centreOf(bar, QStyle::SC_ScrollBarAddLine));
        EXPECT_EQ(bar->value(), atThumb + 1);
        EXPECT_EQ(owner.calls, QStringList { change }) << "an arrow click changes it at once";
        QTest::mouseClick(bar, Qt::LeftButton, {}, centreOf(bar, QStyle::SC_ScrollBarSubPage));
        EXPECT_EQ(owner.calls, QStringList({ change, change })) << "so does a page click";
    }
}

TEST_F(SettingsPanel, tab_order_runs_through_the_keypad_then_mode_toggles_sliders_and_buttons)
{
    std::vector<QWidget*> expected;
    for (int i = 0; i < Keypad::kKeyCount; ++i)
        expected.push_back(panel.Command2(i));
    expected.insert(expected.end(), { panel.Option1(2), panel.Option1(1), panel.Option1(0), panel.Check1, panel.Check2,
                                      panel.HScroll2, panel.HScroll1, panel.Command3, panel.Command1 });
    for (std::size_t i = 1; i < expected.size(); ++i)
        EXPECT_EQ(expected[i - 1]->nextInFocusChain(), expected[i]) << i;
    EXPECT_EQ(panel.Label1->focusPolicy(), Qt::NoFocus);
    EXPECT_EQ(panel.lblMaeSpeed->focusPolicy(), Qt::NoFocus);
}

TEST_F(SettingsPanel, middle_door_toggle_locks_the_mode_before_the_door_moves)
{
    panel.show();
    QTest::mouseClick(panel.Check2, Qt::LeftButton);
    EXPECT_EQ(frmSet::Value(panel.Check2), 1);
    EXPECT_FALSE(owner.frame2EnabledAtCall);
    EXPECT_FALSE(panel.Option1(1)->isEnabled());
    QTest::mouseClick(panel.Check2, Qt::LeftButton);
    EXPECT_TRUE(owner.frame2EnabledAtCall);
    EXPECT_EQ(owner.calls, QStringList({ "Check2_Click", "Check2_Click" }));
}

TEST_F(SettingsPanel, buttons_forward_to_the_bus)
{
    panel.show();
    QTest::mouseClick(panel.Check1, Qt::LeftButton);
    QTest::mouseClick(panel.Command1, Qt::LeftButton);
    QTest::mouseClick(panel.Command3, Qt::LeftButton);
    EXPECT_EQ(owner.calls, QStringList({ "Check1_Click", "MnuEditHkPic_Click", "MnuHelpVer_Click" }));
    EXPECT_EQ(frmSet::Value(panel.Check1), 1);
}

TEST_F(SettingsPanel, keypad_appends_up_to_six_digits_and_c_clears)
{
    panel.show();
    for (int digit : { 0, 0, 7, 1, 2, 3, 9 })
        QTest::mouseClick(panel.Command2(digit), Qt::LeftButton);
    EXPECT_EQ(panel.Label1->text(), "007123");
    QTest::mouseClick(panel.Command2(Keypad::Enter), Qt::LeftButton);
    EXPECT_EQ(owner.keypadDigits, "007123");
    EXPECT_EQ(panel.Label1->text(), "007123") << "enter keeps the display";
    QTest::mouseClick(panel.Command2(Keypad::Clear), Qt::LeftButton);
    EXPECT_EQ(panel.Label1->text(), "");
}

TEST_F(SettingsPanel, mode_is_the_selected_option)
{
    EXPECT_EQ(panel.Mode(), 0);
    panel.Option1(2)->setChecked(true);
    EXPECT_EQ(panel.Mode(), 2);
}

} // namespace
