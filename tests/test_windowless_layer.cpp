#include "elements/ImageElement.h"
#include "elements/RepaintBatch.h"
#include "elements/ShapeElement.h"
#include "elements/WindowlessLayer.h"

#include <QPaintEvent>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

namespace {

// Two pictures overlapping in their middle, and a bar lying across both of them.
class WindowlessElements : public ::testing::Test {
protected:
    QWidget host;
    ImageElement back { &host, { 0, 0, 1500, 1500 }, true };
    ImageElement front { &host, { 750, 0, 1500, 1500 }, true };
    ShapeElement bar { &host, { 0, 1200, 2250, 150 }, Qt::gray, Qt::black };
    WindowlessLayer layer;

    void SetUp() override { layer.setElements({ &bar, &front, &back }); }

    static QPointF centre(const WindowlessElement& e) { return e.pixelRect().center(); }
    // A point on the picture that no other element covers.
    QPointF onlyBack() const { return QPointF(10, 10); }
    QPointF overlap() const { return QPointF(75, 10); }
};

TEST_F(WindowlessElements, the_topmost_visible_element_is_hit)
{
    EXPECT_EQ(layer.elementAt(overlap()), &front);
    EXPECT_EQ(layer.elementAt(onlyBack()), &back);
    EXPECT_EQ(layer.elementAt(centre(bar)), &bar);
    EXPECT_EQ(layer.elementAt(QPointF(200, 200)), nullptr);

    front.setVisible(false);
    EXPECT_EQ(layer.elementAt(overlap()), &back);
}

TEST_F(WindowlessElements, a_press_on_a_shape_goes_to_the_window_even_over_a_picture)
{
    EXPECT_EQ(layer.press(centre(bar), Qt::LeftButton), nullptr);
    EXPECT_EQ(layer.press(QPointF(200, 200), Qt::LeftButton), nullptr);
    EXPECT_EQ(layer.press(overlap(), Qt::LeftButton), &front);
    // A picture keeps the presses of every button, though only the left one can click it.
    EXPECT_EQ(layer.press(overlap(), Qt::RightButton), &front);
}

TEST_F(WindowlessElements, a_click_is_a_left_press_and_release_over_the_same_element)
{
    layer.press(overlap(), Qt::LeftButton);
    EXPECT_EQ(layer.release(overlap(), Qt::LeftButton), &front);

    // Released over another element, or the press forgotten once released.
    layer.press(overlap(), Qt::LeftButton);
    EXPECT_EQ(layer.release(onlyBack(), Qt::LeftButton), nullptr);
    EXPECT_EQ(layer.release(overlap(), Qt::LeftButton), nullptr);
}

TEST_F(WindowlessElements, other_buttons_neither_click_nor_cancel_a_left_press)
{
    layer.press(overlap(), Qt::RightButton);
    EXPECT_EQ(layer.release(overlap(), Qt::RightButton), nullptr);
    EXPECT_EQ(layer.release(overlap(), Qt::LeftButton), nullptr);

    layer.press(onlyBack(), Qt::LeftButton);
    EXPECT_EQ(layer.release(onlyBack(), Qt::RightButton), nullptr);
    EXPECT_EQ(layer.release(onlyBack(), Qt::LeftButton), &back);
}

TEST_F(WindowlessElements, a_press_elsewhere_cancels_the_pending_click)
{
    layer.press(onlyBack(), Qt::LeftButton);
    layer.press(centre(bar), Qt::LeftButton);
    EXPECT_EQ(layer.release(onlyBack(), Qt::LeftButton), nullptr);

    layer.press(onlyBack(), Qt::LeftButton);
    layer.press(onlyBack(), Qt::MiddleButton);
    EXPECT_EQ(layer.release(onlyBack(), Qt::LeftButton), nullptr);
}

// A window that keeps the areas it was asked to paint.
class PaintLog : public QWidget {
public:
    std::vector<QRegion> painted;

protected:
    void paintEvent(QPaintEvent* event) override { painted.push_back(event->region()); }
};

TEST(RepaintBatch, changes_held_in_a_batch_are_painted_once_as_one_rectangle)
{
    PaintLog host;
    host.resize(300, 100);
    // Two leaves apart, as a half-open middle door's are.
    ImageElement left(&host, { 150, 150, 600, 900 }, true);
    ImageElement right(&host, { 3000, 150, 600, 900 }, true);
    host.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));
    host.painted.clear();
    {
        RepaintBatch batch(&host);
        left.setWidth(450);
        right.setWidth(450);
        right.setLeft(3150);
        EXPECT_TRUE(host.painted.empty()) << "held until the batch is flushed";
        batch.flush();
        ASSERT_EQ(host.painted.size(), 1u);
        // A clip of one rectangle lets Qt copy pictures straight in.
        EXPECT_EQ(host.painted[0].rectCount(), 1);
        EXPECT_EQ(host.painted[0].boundingRect(), QRect(10, 10, 230, 60));
    }
    EXPECT_EQ(host.painted.size(), 1u) << "nothing was left to paint when the batch closed";

    // Outside a batch, each change is painted at once.
    left.setWidth(300);
    ASSERT_EQ(host.painted.size(), 2u);
    EXPECT_EQ(host.painted[1].boundingRect(), QRect(10, 10, 30, 60));
}

} // namespace
