#include "app/Form1.h"
#include "elements/ControlGeometry.h"
#include "geometry/Twips.h"
#include "tests/FakePlatform.h"
#include "tests/IconInk.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

const QString kReport = QStringLiteral("\r\n\r\n 上記内容をソラミチHP関係者まで報告してください。");

class AboutBox : public ::testing::Test {
protected:
    FakePlatform platform;
    std::unique_ptr<frmShowVersion> box;

    void SetUp() override
    {
        platform.exeName = QStringLiteral("RX27A0022");
        box = std::make_unique<frmShowVersion>(platform, nullptr);
        box->show();
    }
};

TEST_F(AboutBox, shows_the_name_version_and_model_line_on_white)
{
    EXPECT_EQ(box->windowTitle(), "くるりん号のバージョン情報");
    EXPECT_EQ(box->size(), QSize(333, 223));
    EXPECT_TRUE(box->isModal());
    EXPECT_FALSE(box->windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_EQ(box->palette().color(QPalette::Window), QColor(Qt::white));
    EXPECT_EQ(box->Label1(0)->text(), "くるりん号");
    EXPECT_EQ(box->Label1(1)->text(), "型番・製造番号：RX27A0022");
    EXPECT_EQ(box->Label2->text(), "Varsion　1.0.0");
    EXPECT_EQ(box->Label5->text(), "ここをクリックするとソラミチHPが開きます。");
    EXPECT_FALSE(box->Label3(0)->text().isEmpty());
    EXPECT_FALSE(box->Label3(1)->text().isEmpty());
    EXPECT_TRUE(box->Label3(2)->isHidden());
    EXPECT_EQ(controlRect(box->Command1), (twips::Rect { 3570, 2940, 1230, 345 }));
    EXPECT_EQ(controlRect(box->Label4), (twips::Rect { 15, 2835, 4965, 60 }));
    EXPECT_EQ(box->Label4->height(), 4);
    EXPECT_EQ(controlRect(box->Image1), (twips::Rect { 285, 165, 480, 480 }));
    EXPECT_EQ(box->Image1->pixmap().size(), QSize(32, 32));
    EXPECT_EQ(box->Label1(1)->palette().color(QPalette::WindowText), QColor(255, 255, 0));
    EXPECT_EQ(box->Label1(1)->palette().color(QPalette::Window), QColor(78, 78, 78));
    EXPECT_TRUE(box->Label1(1)->font().bold());
    EXPECT_EQ(box->Label1(0)->font().pixelSize(), 19);
    EXPECT_EQ(box->Label5->palette().color(QPalette::WindowText), QColor(0, 0, 255));
    EXPECT_TRUE(box->Label5->font().underline());
}

TEST_F(AboutBox, the_model_line_follows_the_executables_name)
{
    platform.exeName = QStringLiteral("Bus.Copy");
    frmShowVersion renamed(platform, nullptr);
    EXPECT_EQ(renamed.Label1(1)->text(), "型番・製造番号：Bus.Copy");
}

TEST_F(AboutBox, only_ok_takes_the_focus_and_only_the_link_shows_the_hand)
{
    for (QWidget* w : box->findChildren<QWidget*>()) {
        if (w != box->Command1) {
            EXPECT_EQ(w->focusPolicy(), Qt::NoFocus) << w->metaObject()->className();
        }
    }
    EXPECT_NE(box->Command1->focusPolicy(), Qt::NoFocus);
    const QCursor hand = box->Label5->cursor();
    EXPECT_EQ(hand.shape(), Qt::BitmapCursor);
    EXPECT_EQ(hand.hotSpot(), QPoint(12, 1));
    EXPECT_EQ(hand.pixmap().size(), QSize(32, 32));
    EXPECT_FALSE(box->Label1(1)->testAttribute(Qt::WA_SetCursor));
    EXPECT_FALSE(box->testAttribute(Qt::WA_SetCursor));
}

TEST_F(AboutBox, each_click_on_the_link_asks_the_library_afresh_and_opens_the_page)
{
    QTest::mouseClick(box->Label5, Qt::LeftButton);
    QTest::mouseClick(box->Label5, Qt::LeftButton);
    EXPECT_EQ(platform.makerCalls, 2);
    ASSERT_EQ(platform.openedUrls.size(), 2u);
    EXPECT_EQ(platform.openedUrls[0].first, box.get());
    EXPECT_EQ(platform.openedUrls[0].second, platform.makerAnswer.value());
    EXPECT_TRUE(box->isVisible()) << "the box stays open";
}

TEST_F(AboutBox, a_library_failure_shows_the_report_message_and_opens_nothing)
{
    platform.makerAnswer = Failure { Failure::Kind::NotFound, QStringLiteral("ファイルが見つかりません。: libKBT7Res.so") };
    QTest::mouseClick(box->Label5, Qt::LeftButton);
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(platform.messages[0].text, "ファイルが見つかりません。: libKBT7Res.so" + kReport);
    EXPECT_EQ(platform.messages[0].title, "Sorhpurl.dllのエラー");
    EXPECT_EQ(platform.messages[0].icon, Platform::MsgIcon::Critical);
    EXPECT_TRUE(platform.openedUrls.empty());
    EXPECT_TRUE(box->isVisible());
}

TEST_F(AboutBox, ok_closes_it)
{
    QTest::mouseClick(box->Command1, Qt::LeftButton);
    EXPECT_FALSE(box->isVisible());
    EXPECT_EQ(box->result(), QDialog::Accepted);
}

TEST(AboutFromThePanel, the_version_button_opens_the_box_modally_until_ok)
{
    FakePlatform platform;
    Form1 bus(platform);
    bus.Form_Load();
    bool seen = false;
    bool owned = true;
    int iconInk = -1;
    QTimer::singleShot(0, [&] {
        ASSERT_NE(bus.aboutBox(), nullptr);
        seen = bus.aboutBox()->isVisible();
        owned = bus.aboutBox()->parentWidget() != nullptr;
        iconInk = inkIn(bus.aboutBox()->windowIcon());
        QTest::mouseClick(bus.aboutBox()->Command1, Qt::LeftButton);
    });
    QTest::mouseClick(bus.panel().Command3, Qt::LeftButton);
    EXPECT_TRUE(seen);
    EXPECT_FALSE(owned) << "no owner window: the window manager places it";
    EXPECT_EQ(bus.aboutBox(), nullptr);
    EXPECT_GT(inkIn(bus.windowIcon()), 0) << "the bus has its icon";
    EXPECT_EQ(iconInk, 0) << "the about box has none, not the bus's";
}

} // namespace
