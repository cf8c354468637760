#pragma once

#include "elements/WidgetArray.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

// What the folder selection window asks of whoever keeps the sign folder.
class FolderWindowOwner {
public:
    virtual ~FolderWindowOwner() = default;
    virtual QString SignFolderPath() const = 0;
    virtual void SetSignFolderPath(const QString& path) = 0;
    // Applies the stored path; false when the folder does not exist, in which case the user has
    // been told and this window holds the path again for another try.
    virtual bool picDir() = 0;
    // Runs the folder picker; an empty result when the user cancelled.
    virtual QString BrowseForFolder(const QString& title) = 0;
};

// "画像の位置": where the user types or browses for the folder of sign pictures.
class frmBrowseDir : public QDialog {
    Q_OBJECT
public:
    frmBrowseDir(FolderWindowOwner& owner, QWidget* parent);

    QLabel* Label1;
    QLabel* Label2;
    QLineEdit* Text1;
    QPushButton* Command1;
    WidgetArray<QPushButton> Command2;

    // Puts a path into the field, as if typed.
    void showPath(const QString& path);

    void Command1_Click();
    void Command2_Click(int index);

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void unload();

    FolderWindowOwner& m_owner;
    bool m_unloading { false };
};
