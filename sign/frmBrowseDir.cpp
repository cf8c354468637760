#include "sign/frmBrowseDir.h"

#include "elements/ControlGeometry.h"
#include "elements/WindowIcon.h"
#include "geometry/Twips.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

frmBrowseDir::frmBrowseDir(FolderWindowOwner& owner, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
    , m_owner(owner)
{
    setObjectName("frmBrowseDir");
    clearWindowIcon(this);
    setWindowTitle(tr("画像の位置"));
    setModal(true);
    setFixedSize(460, 81);

    // Created bottom of the stack first, so the first listed lies on top.
    Label1 = new QLabel(tr("位置："), this);
    placeControl(Label1, { 75, 465, 885, 210 });
    Label2 = new QLabel(tr("方向幕のあるフォルダを指定してください"), this);
    placeControl(Label2, { 135, 60, 3945, 225 });
    Text1 = new QLineEdit(this);
    placeControl(Text1, { 555, 405, 5070, 300 });
    Command1 = new QPushButton(tr("参照(&B)..."), this);
    placeControl(Command1, { 5655, 405, 1020, 345 });
    auto* ok = new QPushButton(tr("OK"), this);
    placeControl(ok, { 4200, 825, 1230, 345 });
    auto* cancel = new QPushButton(tr("キャンセル"), this);
    placeControl(cancel, { 5520, 825, 1230, 345 });
    Command2.add(0, ok);
    Command2.add(1, cancel);

    // Neither OK nor キャンセル answers Enter or Escape: the path is only ever applied on purpose.
    for (QPushButton* b : { Command1, ok, cancel }) {
        b->setAutoDefault(false);
        b->setDefault(false);
        b->setFocusPolicy(Qt::StrongFocus);
    }
    QWidget::setTabOrder(Text1, Command1);
    QWidget::setTabOrder(Command1, ok);
    QWidget::setTabOrder(ok, cancel);
    Text1->setFocus();

    connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });
    connect(ok, &QPushButton::clicked, this, [this] { Command2_Click(0); });
    connect(cancel, &QPushButton::clicked, this, [this] { Command2_Click(1); });
}

void frmBrowseDir::showPath(const QString& path)
{
    Text1->setText(path);
}

void frmBrowseDir::Command1_Click()
{
    // The browsed path is kept exactly as the picker gives it: on a case-sensitive file system
    // a lower-cased path would name another folder, or none.
    const QString chosen = m_owner.BrowseForFolder(tr("方向幕のあるフォルダを選択してください"));
    if (chosen.isEmpty())
        return;
    Text1->setText(chosen);
}

void frmBrowseDir::Command2_Click(int index)
{
    if (index == 0) {
        m_owner.SetSignFolderPath(Text1->text());
        if (!m_owner.picDir())
            return; // the user has been told and stays here with the path to correct
    }
    unload();
}

void frmBrowseDir::unload()
{
    m_unloading = true;
    hide();
    done(QDialog::Accepted);
}

void frmBrowseDir::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape || event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void frmBrowseDir::showEvent(QShowEvent* event)
{
    // QDialog would centre the window itself; it stands where the window manager puts it.
    QWidget::showEvent(event);
}

void frmBrowseDir::closeEvent(QCloseEvent* event)
{
    // The window has no close box: only its own buttons close it.
    if (m_unloading)
        event->accept();
    else
        event->ignore();
}
