#include "Elements.h"

#include <QIcon>
#include <QPixmap>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QRegion>

WindowlessElement::WindowlessElement(QWidget* host, twips::Rect rect)
    : m_host(host)
    , m_rect(rect)
{
}

void WindowlessElement::setLeft(float v)
{
    Move({ v, {}, {}, {} });
}

void WindowlessElement::setTop(float v)
{
    Move({ m_rect.left, v, {}, {} });
}

void WindowlessElement::setWidth(float v)
{
    Move({ m_rect.left, {}, v, {} });
}

void WindowlessElement::setHeight(float v)
{
    Move({ m_rect.left, {}, {}, v });
}

void WindowlessElement::Move(const MoveArgs& args)
{
    const twips::Rect before = m_rect;
    m_rect = args.appliedTo(m_rect);
    if (m_rect != before)
        changed(before, m_visible);
}

void WindowlessElement::setVisible(bool visible)
{
    if (visible == m_visible)
        return;
    m_visible = visible;
    changed(m_rect, !visible);
}

QRect WindowlessElement::footprint(const twips::Rect& rect, qreal dpr) const
{
    const QRectF r = twips::toPixels(rect);
    return QRectF(r.topLeft() * dpr, r.size() * dpr).toAlignedRect();
}

namespace {

// A one-pixel outline just inside r, made of four strips: it covers whole logical pixels on every
// screen, where a pen's line would straddle the pixel edges and, on a 2x screen, cover one device
// pixel of the edge and one of what lies inside.
void outline(QPainter& painter, const QRect& r, const QColor& colour)
{
    painter.fillRect(QRect(r.left(), r.top(), r.width(), 1), colour);
    painter.fillRect(QRect(r.left(), r.bottom(), r.width(), 1), colour);
    painter.fillRect(QRect(r.left(), r.top(), 1, r.height()), colour);
    painter.fillRect(QRect(r.right(), r.top(), 1, r.height()), colour);
}

QRect toLogical(const QRect& device, qreal dpr)
{
    return QRectF(QPointF(device.topLeft()) / dpr, QSizeF(device.size()) / dpr).toAlignedRect();
}

} // namespace

void WindowlessElement::changed(const twips::Rect& before, bool wasVisible)
{
    if (!m_host)
        return;
    // Door animations change an element and pause without returning to the event loop, so the
    // change is painted here and now, and only over the area it touched. A door moves by a
    // fifteenth of a pixel per step: when the pixels it covers stay the same, so does the
    // picture, and there is nothing to paint.
    const qreal dpr = m_host->devicePixelRatioF();
    const QRect oldFootprint = footprint(before, dpr);
    const QRect newFootprint = footprint(m_rect, dpr);
    if (wasVisible == m_visible && oldFootprint == newFootprint && !m_forceRepaint)
        return;
    m_forceRepaint = false;
    QRegion dirty;
    if (wasVisible)
        dirty += toLogical(oldFootprint, dpr);
    if (m_visible)
        dirty += toLogical(newFootprint, dpr);
    if (dirty.isEmpty())
        return;
    if (RepaintBatch* batch = RepaintBatch::openOn(m_host))
        batch->hold(dirty);
    else if (m_host->isVisible())
        m_host->repaint(dirty);
    else
        m_host->update(dirty);
}

namespace {
RepaintBatch* g_innermostBatch = nullptr;
}

RepaintBatch::RepaintBatch(QWidget* host)
    : m_host(host)
    , m_outer(g_innermostBatch)
{
    g_innermostBatch = this;
}

RepaintBatch::~RepaintBatch()
{
    flush();
    g_innermostBatch = m_outer;
}

void RepaintBatch::flush()
{
    if (m_region.isEmpty())
        return;
    if (m_host->isVisible())
        m_host->repaint(m_region);
    else
        m_host->update(m_region);
    m_region = QRegion();
}

RepaintBatch* RepaintBatch::openOn(const QWidget* host)
{
    for (RepaintBatch* b = g_innermostBatch; b; b = b->m_outer) {
        if (b->m_host == host)
            return b;
    }
    return nullptr;
}

ImageElement::ImageElement(QWidget* host, twips::Rect rect, bool stretch)
    : WindowlessElement(host, rect)
    , m_stretch(stretch)
{
}

void ImageElement::setPicture(Picture picture)
{
    m_picture = std::move(picture);
    m_stretcher.reset();
    twips::Rect sized = twipsRect();
    if (!m_stretch && !m_picture.isEmpty()) {
        sized.width = twips::fromPixels(m_picture.size().width());
        sized.height = twips::fromPixels(m_picture.size().height());
    }
    const twips::Rect before = twipsRect();
    forceRepaint();
    Move({ sized.left, sized.top, sized.width, sized.height });
    if (sized == before)
        changed(before, Visible());
}

QRect ImageElement::footprint(const twips::Rect& rect, qreal dpr) const
{
    const QRectF r = twips::toPixels(rect);
    const QPoint corner(qRound(r.left() * dpr), qRound(r.top() * dpr));
    if (!m_stretch && !m_picture.isEmpty())
        return { corner, m_picture.size() * dpr };
    return { corner, QSize(qMax(1, qRound(r.width() * dpr)), qMax(1, qRound(r.height() * dpr))) };
}

void ImageElement::paint(QPainter& painter) const
{
    if (!Visible() || m_picture.isEmpty())
        return;
    const qreal dpr = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const QRect device = footprint(twipsRect(), dpr);
    if (m_stretch) {
        // Stretched once per device-pixel size and then copied: on a high-dpi screen that is a
        // finer step than a logical pixel, so the door moves as finely as the screen can show.
        // The source is the picture as drawn for this screen's scale.
        const QImage& stretched = m_stretcher.stretch(m_picture.sourceFor(dpr), device.size(), dpr);
        painter.drawImage(QPointF(device.topLeft()) / dpr, stretched);
    } else
        m_picture.drawAt(painter, pixelRect().topLeft());
}

ShapeElement::ShapeElement(QWidget* host, twips::Rect rect, QColor fill, QColor border)
    : WindowlessElement(host, rect)
    , m_fill(fill)
    , m_border(border)
{
}

QRect ShapeElement::footprint(const twips::Rect& rect, qreal dpr) const
{
    const QRect r = twips::toPixelGrid(rect);
    return { r.topLeft() * dpr, r.size() * dpr };
}

void ShapeElement::paint(QPainter& painter) const
{
    if (!Visible())
        return;
    const QRect r = twips::toPixelGrid(twipsRect());
    if (r.isEmpty())
        return;
    painter.fillRect(r, m_fill);
    outline(painter, r, m_border);
}

PictureBox::PictureBox(QWidget* parent, twips::Rect rect)
    : QWidget(parent)
    , m_rect(rect)
{
    setAutoFillBackground(false);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    setGeometry(twips::toPixelGrid(m_rect));
}

void PictureBox::setLeft(float v)
{
    Move({ v, {}, {}, {} });
}

void PictureBox::setTop(float v)
{
    Move({ m_rect.left, v, {}, {} });
}

void PictureBox::Move(const MoveArgs& args)
{
    const twips::Rect before = m_rect;
    m_rect = args.appliedTo(m_rect);
    applyRect(before);
}

void PictureBox::applyRect(const twips::Rect& before)
{
    setGeometry(twips::toPixelGrid(m_rect));
    if (m_rect.width != before.width || m_rect.height != before.height)
        emit Resize();
}

void PictureBox::setPicture(Picture picture)
{
    m_picture = std::move(picture);
    if (m_autoSize && !m_picture.isEmpty()) {
        const twips::Rect before = m_rect;
        const QSize border(2, 2);
        m_rect.width = twips::fromPixels(m_picture.size().width() + border.width());
        m_rect.height = twips::fromPixels(m_picture.size().height() + border.height());
        applyRect(before);
    }
    update();
}

ImageElement& PictureBox::addImage(twips::Rect rect, bool stretch)
{
    // Images inside a picture box are drawn by the box itself, offset by its border; the host is
    // the box so that a change repaints it.
    m_images.push_back(std::make_unique<ImageElement>(this, rect, stretch));
    return *m_images.back();
}

void PictureBox::syncFromWidgetGeometry()
{
    m_rect.left = twips::fromPixels(x());
    m_rect.top = twips::fromPixels(y());
}

void PictureBox::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    painter.save();
    painter.setClipRect(QRect(1, 1, width() - 2, height() - 2));
    m_picture.drawAt(painter, QPointF(1, 1));
    painter.translate(innerOrigin());
    // Stacking: the first element added lies on top, so paint in reverse.
    for (auto it = m_images.rbegin(); it != m_images.rend(); ++it)
        (*it)->paint(painter);
    painter.restore();
    outline(painter, rect(), QColor(0, 0, 0));
}

ImageElement* PictureBox::imageAt(QPointF pixel) const
{
    const QPointF inner = pixel - QPointF(innerOrigin());
    for (const auto& image : m_images) {
        if (image->hitTest(inner) && QRectF(innerOrigin(), size() - QSize(2, 2)).contains(pixel))
            return image.get();
    }
    return nullptr;
}

void PictureBox::mousePressEvent(QMouseEvent* event)
{
    m_pressed = event->button() == Qt::LeftButton;
    m_pressedImage = m_pressed ? imageAt(event->position()) : nullptr;
    const QPointF p = event->position();
    emit MouseDown(vbButton(event->button()), vbShift(event->modifiers()), float(p.x()) * twips::kPerPixel,
                   float(p.y()) * twips::kPerPixel);
    // A handler may have run its own loop until the button went up (a drag): no click follows.
    if (!(QGuiApplication::mouseButtons() & Qt::LeftButton))
        m_pressed = false;
}

void PictureBox::mouseReleaseEvent(QMouseEvent* event)
{
    if (!m_pressed || event->button() != Qt::LeftButton)
        return;
    m_pressed = false;
    if (!rect().contains(event->position().toPoint()))
        return;
    ImageElement* image = imageAt(event->position());
    if (image && image == m_pressedImage)
        emit ImageClick(image);
    else if (!image && !m_pressedImage)
        emit Click();
}

void PictureBox::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        emit DblClick();
}

void PictureBox::keyPressEvent(QKeyEvent* event)
{
    emit KeyDown(vbKeyCode(event), vbShift(event->modifiers()));
}

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

MenuItem::MenuItem(QMenu* menu, const QString& caption, bool checked)
    : m_action(menu->addAction(caption))
    , m_checked(checked)
{
    setChecked(checked);
    // Qt flips a checkable action before reporting the trigger; the handlers decide the mark.
    QObject::connect(m_action, &QAction::triggered, m_action, [this] { m_action->setChecked(m_checked); });
}

void MenuItem::setChecked(bool checked)
{
    m_checked = checked;
    // Only a ticked item is checkable, so an unticked one shows no empty box beside its text.
    m_action->setCheckable(checked);
    m_action->setChecked(checked);
}

QString MenuItem::Caption() const
{
    return m_action->text();
}

int vbButton(Qt::MouseButton button)
{
    switch (button) {
    case Qt::LeftButton: return 1;
    case Qt::RightButton: return 2;
    case Qt::MiddleButton: return 4;
    default: return 0;
    }
}

int vbShift(Qt::KeyboardModifiers modifiers)
{
    int shift = 0;
    if (modifiers & Qt::ShiftModifier)
        shift |= 1;
    if (modifiers & Qt::ControlModifier)
        shift |= 2;
    if (modifiers & Qt::AltModifier)
        shift |= 4;
    return shift;
}

int vbKeyCode(const QKeyEvent* event)
{
    const int key = event->key();
    switch (key) {
    case Qt::Key_Left: return 37;
    case Qt::Key_Up: return 38;
    case Qt::Key_Right: return 39;
    case Qt::Key_Down: return 40;
    case Qt::Key_PageUp: return 33;
    case Qt::Key_PageDown: return 34;
    case Qt::Key_End: return 35;
    case Qt::Key_Home: return 36;
    case Qt::Key_Return:
    case Qt::Key_Enter: return 13;
    case Qt::Key_Escape: return 27;
    case Qt::Key_Space: return 32;
    case Qt::Key_Tab: return 9;
    case Qt::Key_Backspace: return 8;
    case Qt::Key_Delete: return 46;
    case Qt::Key_Insert: return 45;
    default: break;
    }
    if ((key >= Qt::Key_0 && key <= Qt::Key_9) || (key >= Qt::Key_A && key <= Qt::Key_Z))
        return key;
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24)
        return 112 + (key - Qt::Key_F1);
    return 0;
}

namespace {
constexpr const char* kTwipsProperty = "kururinTwips";
}

void clearWindowIcon(QWidget* window)
{
    QPixmap blank(16, 16);
    blank.fill(Qt::transparent);
    window->setWindowIcon(QIcon(blank));
}

void placeControl(QWidget* control, twips::Rect rect)
{
    control->setProperty(kTwipsProperty, QRectF(rect.left, rect.top, rect.width, rect.height));
    control->setGeometry(twips::toPixelGrid(rect));
}

std::optional<twips::Rect> controlRect(const QWidget* control)
{
    const QVariant v = control->property(kTwipsProperty);
    if (!v.isValid())
        return std::nullopt;
    const QRectF r = v.toRectF();
    return twips::Rect { float(r.x()), float(r.y()), float(r.width()), float(r.height()) };
}
