#include "platform/WindowDrag.h"

#include <QApplication>
#include <QEventLoop>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWidget>

namespace WindowDrag {

QPoint position(QPoint pointerInParent, QRect parentArea, QPoint grabOffset)
{
    const QPoint held(qBound(parentArea.left(), pointerInParent.x(), parentArea.right()),
                      qBound(parentArea.top(), pointerInParent.y(), parentArea.bottom()));
    return held - grabOffset;
}

namespace {

class DragLoop : public QObject {
public:
    DragLoop(QWidget* child, QPoint grabOffset)
        : m_child(child)
        , m_grab(grabOffset)
        , m_start(child->pos())
    {
    }

    void exec()
    {
        qApp->installEventFilter(this);
        m_child->grabMouse();
        m_child->grabKeyboard();
        m_loop.exec();
        m_child->releaseKeyboard();
        m_child->releaseMouse();
        qApp->removeEventFilter(this);
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::MouseMove: {
            const auto* move = static_cast<QMouseEvent*>(event);
            // A release the window system did not pass on (the grab was taken away) ends it too.
            if (!(move->buttons() & Qt::LeftButton)) {
                m_loop.quit();
                return true;
            }
            follow(move->globalPosition().toPoint());
            return true;
        }
        case QEvent::MouseButtonRelease:
            if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
                follow(static_cast<QMouseEvent*>(event)->globalPosition().toPoint());
                m_loop.quit();
            }
            return true;
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
            return true;
        case QEvent::KeyPress:
            if (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
                m_child->move(m_start);
                m_loop.quit();
            }
            return true;
        case QEvent::ApplicationDeactivate:
        case QEvent::WindowDeactivate:
            m_loop.quit();
            return false;
        default:
            return false;
        }
    }

private:
    void follow(QPoint global)
    {
        QWidget* parent = m_child->parentWidget();
        const QPoint target = position(parent->mapFromGlobal(global), parent->rect(), m_grab);
        if (target != m_child->pos())
            m_child->move(target);
    }

    QWidget* m_child;
    QPoint m_grab;
    QPoint m_start;
    QEventLoop m_loop;
};

} // namespace

void run(QWidget* child, QPoint grabOffset)
{
    if (!child || !child->parentWidget())
        return;
    DragLoop loop(child, grabOffset);
    loop.exec();
}

} // namespace WindowDrag
