#include "signboard/Signboard.h"
#include "signboard/SignboardFrame.h"
#include "geometry/Twips.h"
#include "tests/FakePlatform.h"

#include <QFile>
#include <QTemporaryDir>
#include <QWidget>

#include <gtest/gtest.h>

#include <memory>

namespace {

TEST(SignboardFrameFit, wraps_the_board_at_its_reset_place_and_at_its_first_place)
{
    auto p = SignboardFrame::fit(SignboardFrame::kResetPlace, 75, 75);
    EXPECT_EQ(p.leftPost.left, 3105);
    EXPECT_EQ(*p.leftPost.top, 1815);
    EXPECT_EQ(*p.leftPost.width, 75);
    EXPECT_EQ(*p.leftPost.height, 465);
    EXPECT_EQ(p.rightPost.left, 4590);
    EXPECT_EQ(*p.rightPost.height, 465);
    EXPECT_EQ(p.bottomBar.left, 3105);
    EXPECT_EQ(*p.bottomBar.top, 2265);
    EXPECT_EQ(*p.bottomBar.width, 1560);
    EXPECT_FALSE(p.bottomBar.height.has_value()) << "the bar keeps its own height";

    p = SignboardFrame::fit({ 3225, 1545, 1410, 450 }, 75, 80);
    EXPECT_EQ(p.leftPost.left, 3150);
    EXPECT_EQ(p.rightPost.left, 4635);
    EXPECT_EQ(*p.rightPost.width, 80) << "each post passes its own width back";
    EXPECT_EQ(*p.rightPost.top, 1545);
    EXPECT_EQ(*p.bottomBar.top, 1995);
}

// The board and its frame on a bare window, as the bus makes them, starting at the reset place.
class Board : public ::testing::Test {
protected:
    FakePlatform platform;
    QWidget bus;
    PictureBox* board { Signboard::makeBoard(bus) };
    ControlArray<ShapeElement> frame;
    std::unique_ptr<Signboard> signboard;
    QTemporaryDir dir;

    void SetUp() override
    {
        Signboard::makeFrame(bus, frame);
        signboard = std::make_unique<Signboard>(*board, frame);
        QObject::connect(board, &PictureBox::Resize, &bus, [this] { signboard->followResize(); });
        signboard->reset();
    }
    twips::Rect post(int i) { return frame(i).twipsRect(); }
};

TEST_F(Board, the_resize_alone_keeps_the_posts_heights_until_the_fit)
{
    board->setPicture(Picture(QImage(100, 60, QImage::Format_RGB32)));
    EXPECT_EQ(post(0).height, 465) << "resize handler: posts follow the edges only";
    EXPECT_EQ(post(1).left, 3180 + 102 * 15);
    EXPECT_EQ(post(2).top, 1815 + 62 * 15);
    signboard->fit(); // what a double click on the board does
    EXPECT_EQ(post(0).height, 62 * 15 + 15);
}

TEST_F(Board, a_chosen_picture_gives_its_name_and_a_refusal_says_why)
{
    QImage image(30, 20, QImage::Format_RGB32);
    image.fill(Qt::magenta);
    const QString good = dir.path() + "/good.bmp";
    ASSERT_TRUE(image.save(good));
    platform.openResult = good;
    const Result<QString> chosen = signboard->choosePicture(platform, &bus);
    ASSERT_TRUE(chosen.ok());
    EXPECT_EQ(chosen.value(), good);
    EXPECT_EQ(board->picture().size(), QSize(30, 20));

    auto refusal = [this](const QString& name) {
        platform.openResult = name;
        const Result<QString> chosen = signboard->choosePicture(platform, &bus);
        EXPECT_FALSE(chosen.ok()) << name.toStdString();
        return chosen.ok() ? Failure::Kind::Other : chosen.kind();
    };
    EXPECT_EQ(refusal(""), Failure::Kind::Cancelled);
    EXPECT_EQ(refusal(dir.path() + "/missing.bmp"), Failure::Kind::NotFound);
    QFile text(dir.path() + "/notes.bmp");
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("hello");
    text.close();
    EXPECT_EQ(refusal(text.fileName()), Failure::Kind::NotAPicture);
    EXPECT_EQ(refusal(dir.path()), Failure::Kind::IsAFolder);
    EXPECT_EQ(board->picture().size(), QSize(30, 20)) << "a refusal leaves the board as it was";
}

} // namespace
