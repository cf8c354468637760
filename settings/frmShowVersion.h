#pragma once

#include "elements/WidgetArray.h"
#include "platform/Platform.h"

#include <QDialog>
#include <QIcon>

class QLabel;
class QPushButton;

// "くるりん号のバージョン情報": the program's name, version and model line, and a link line that
// opens the maker's homepage.
class frmShowVersion : public QDialog {
    Q_OBJECT
public:
    frmShowVersion(Platform& platform, QWidget* parent);

    QPushButton* Command1;
    WidgetArray<QLabel> Label1;
    QLabel* Label2;
    WidgetArray<QLabel> Label3;
    QLabel* Label4;
    QLabel* Label5;
    QLabel* Image1;

    void Form_Load();
    void Label5_Click();
    void Command1_Click();

protected:
    void showEvent(QShowEvent* event) override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // The icon and the hand cursor as drawn for the screen the box is on.
    void showForScreenScale();

    Platform& m_platform;
    QIcon m_icon;
    bool m_unloading { false };
};
