#include "elements/WindowIcon.h"

#include <QIcon>
#include <QPixmap>
#include <QWidget>

void clearWindowIcon(QWidget* window)
{
    QPixmap blank(16, 16);
    blank.fill(Qt::transparent);
    window->setWindowIcon(QIcon(blank));
}
