#pragma once

#include <QRect>
#include <QRegion>

class QWidget;

// Holds back the repaints that element changes on one window ask for, and paints them as one:
// a door step changes up to three properties and must reach the screen once, not three times.
class RepaintBatch {
public:
    explicit RepaintBatch(QWidget* host);
    ~RepaintBatch();
    RepaintBatch(const RepaintBatch&) = delete;
    RepaintBatch& operator=(const RepaintBatch&) = delete;

    // Paints what was held back, now.
    void flush();
    // On X, waits until the server has read what flush painted, so that the next paint does
    // not have to wait for it; elsewhere nothing needs waiting for.
    void settle();

    // The batch open on this window, if any.
    static RepaintBatch* openOn(const QWidget* host);
    void hold(const QRegion& region) { m_region += region; }

private:
    QWidget* m_host;
    QRegion m_region;
    QRect m_painted;
    RepaintBatch* m_outer;
};
