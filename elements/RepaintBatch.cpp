#include "elements/RepaintBatch.h"

#include <QBackingStore>
#include <QGuiApplication>
#include <QWidget>

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
    // One rectangle: the two leaves of a half-open middle door make a region of two, and under a
    // clip of several rectangles Qt draws every picture span by span, handing the spans to worker
    // threads and waiting for them, instead of copying it straight in.
    const QRect area = m_region.boundingRect();
    m_region = QRegion();
    if (m_host->isVisible()) {
        m_host->repaint(area);
        m_painted = area;
    } else
        m_host->update(area);
}

void RepaintBatch::settle()
{
    // Only X makes a paint wait for the server: before drawing over an area it last sent through
    // shared memory, Qt's backing store makes a round trip to be sure the server has read it.
    // Other backing stores may clear what they hand out, so they are left alone.
    if (m_painted.isEmpty() || !m_host->isVisible() || QGuiApplication::platformName() != QLatin1String("xcb"))
        return;
    QWidget* window = m_host->window();
    QBackingStore* store = window->backingStore();
    // X's backing store clears what it hands out only for a see-through window; ours are opaque.
    if (!store || window->testAttribute(Qt::WA_TranslucentBackground))
        return;
    // Asked for and given back unpainted now, in the step's pause, the area costs the next
    // step's paint no wait.
    store->beginPaint(QRegion(QRect(m_host->mapTo(window, m_painted.topLeft()), m_painted.size())));
    store->endPaint();
    m_painted = QRect();
}

RepaintBatch* RepaintBatch::openOn(const QWidget* host)
{
    for (RepaintBatch* b = g_innermostBatch; b; b = b->m_outer) {
        if (b->m_host == host)
            return b;
    }
    return nullptr;
}
