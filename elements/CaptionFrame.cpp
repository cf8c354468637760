#include "elements/CaptionFrame.h"

#include <QFontMetrics>
#include <QPainter>

CaptionFrame::CaptionFrame(const QString& title, QWidget* parent)
    : QWidget(parent)
    , m_title(title)
{
    setAutoFillBackground(true);
}

void CaptionFrame::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QFontMetrics fm(font());
    const int top = fm.height() / 2;
    const QRect box(0, top, width() - 2, height() - top - 2);
    painter.setPen(palette().color(QPalette::Dark));
    painter.drawRect(box);
    painter.setPen(palette().color(QPalette::Light));
    painter.drawRect(box.translated(1, 1));
    const QRect caption(6, 0, fm.horizontalAdvance(m_title) + 4, fm.height());
    painter.fillRect(caption, palette().color(QPalette::Window));
    painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
    painter.drawText(caption, Qt::AlignCenter, m_title);
}
