#pragma once

#include <QIcon>
#include <QImage>

// Pixels of a window's icon that would show on its title bar.
inline int inkIn(const QIcon& icon)
{
    const QImage image = icon.pixmap(32).toImage().convertToFormat(QImage::Format_ARGB32);
    int ink = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            ink += qAlpha(image.pixel(x, y)) != 0;
    return ink;
}
