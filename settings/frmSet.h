#pragma once

#include "doors/DoorRequests.h"
#include "elements/CaptionFrame.h"
#include "elements/WidgetArray.h"

#include <QWidget>

class QFrame;
class QLabel;
class QPushButton;
class QRadioButton;
class QScrollBar;

// What the control desk asks of the bus. The panel has almost no logic of its own: every
// handler forwards here.
class ControlDeskOwner {
public:
    virtual ~ControlDeskOwner() = default;
    virtual void Check1_Click() = 0;
    virtual void Check2_Click() = 0;
    virtual void HScroll1_Change() = 0;
    virtual void HScroll2_Change() = 0;
    virtual void MnuEditHkPic_Click() = 0;
    virtual void MnuHelpVer_Click() = 0;
    // The keypad's enter key, with the digits on its display.
    virtual void SignKeypadEnter(const QString& digits) = 0;
};

// The settings panel: the driver's control desk beside the bus, kept above every window.
class frmSet : public QWidget, public Doors::DoorRequests {
    Q_OBJECT
public:
    explicit frmSet(ControlDeskOwner& owner);

    // Left and Top of the outer frame, in twips.
    float Left() const;
    float Top() const;
    void setLeft(float v);
    void setTop(float v);

    static int Value(const QPushButton* toggle);
    int Mode() const; // index of the selected Option1 element, -1 when none is
    // Selects an Option1 element; false, changing nothing, for an index that has none.
    bool setMode(int mode);

    // What the toggles ask of the doors, and which leaves of the middle door the options choose.
    bool frontDoorOpen() const override;
    bool middleDoorOpen() const override;
    Doors::LeafChoice leafChoice() const override;

    // The door speeds, the sliders' values, and their display beneath each slider.
    int frontSpeed() const override;
    int middleSpeed() const override;
    void showFrontSpeed();
    void showMiddleSpeed();
    // False, leaving both sliders as they were, when a slider would refuse its value.
    bool setSpeeds(qint32 front, qint32 middle);

    QFrame* FrameA;
    QPushButton* Check1;
    QScrollBar* HScroll1;
    QLabel* lblMaeSpeed;
    QPushButton* Check2;
    QScrollBar* HScroll2;
    QLabel* lblNakaSpeed;
    CaptionFrame* Frame2;
    WidgetArray<QRadioButton> Option1;
    QFrame* Frame1;
    QLabel* Label1;
    WidgetArray<QPushButton> Command2;
    QPushButton* Command1;
    QPushButton* Command3;

    void Check1_Click();
    void Check2_Click();
    void Command1_Click();
    void Command2_Click(int index);
    void Command3_Click();
    void HScroll1_Change();
    void HScroll2_Change();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    void setTabOrder();
    void connectHandlers();
    void raiseChangeWhenSettled(QScrollBar* bar, void (frmSet::*change)());

    ControlDeskOwner& m_owner;
};
