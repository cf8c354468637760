#include "elements/MenuItem.h"

#include <QAction>
#include <QMenu>

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
