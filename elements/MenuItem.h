#pragma once

#include <QString>

class QAction;
class QMenu;

// A popup menu item whose check mark is changed only by the program, never by Qt on its own.
class MenuItem {
public:
    MenuItem(QMenu* menu, const QString& caption, bool checked);

    bool Checked() const { return m_checked; }
    void setChecked(bool checked);
    QAction* action() const { return m_action; }

private:
    QAction* m_action;
    bool m_checked;
};
