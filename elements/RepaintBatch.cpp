#include "elements/RepaintBatch.h"

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
