#include "elements/RepaintBatch.h"

#include <QBackingStore>
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
    if (m_painted.isEmpty() || !m_host->isVisible())
        return;
    QWidget* window = m_host->window();
    QBackingStore* store = window->backingStore();
    // A see-through window's backing store clears what it hands out; ours are opaque.
    if (!store || window->testAttribute(Qt::WA_TranslucentBackground))
        return;
    // Handing out an area the window system is still reading from waits until it is done (on
    // X, a round trip to the server). Asked for and given back unpainted now, the next step's
    // paint finds it free.
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
