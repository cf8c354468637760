#pragma once

#include "app/BusSettings.h"
#include "app/DoorDriver.h"
#include "app/ElementAdapters.h"
#include "doors/Common.h"
#include "doors/DoorMotion.h"
#include "elements/ControlArray.h"
#include "elements/ImageElement.h"
#include "elements/MenuItem.h"
#include "elements/PictureBox.h"
#include "elements/ShapeElement.h"
#include "elements/WindowlessElement.h"
#include "elements/WindowlessLayer.h"
#include "platform/Platform.h"
#include "settings/frmSet.h"
#include "settings/frmShowVersion.h"
#include "settings/SettingsFile.h"
#include "sign/DestinationSign.h"
#include "sign/FileList.h"
#include "sign/frmBrowseDir.h"
#include "signboard/Signboard.h"

#include <QWidget>

#include <memory>
#include <vector>

class QMenu;

// The bus: a fixed-size window filled by the body picture, with the doors, the destination sign
// and the signboard laid on top. Loading it starts the program; unloading it ends the program.
class Form1 : public QWidget, public ControlDeskOwner, public FolderWindowOwner {
    Q_OBJECT
public:
    explicit Form1(Platform& platform);
    ~Form1() override;

    // The outer frame's place and size on the screen, in twips.
    float Left() const;
    float Top() const;
    float Width() const;
    float Height() const;
    void setLeft(float v);
    void setTop(float v);

    // The title of the program's message boxes.
    static QString programTitle();

    // The settings panel; created, hidden, on first use.
    frmSet& panel();
    bool panelLoaded() const { return m_panel != nullptr; }

    // Elements, by the names the handlers use. Child windows first, then windowless elements.
    PictureBox* PicKanban;
    FileList File1;
    PictureBox* Picture1;
    ImageElement* ImgDesiMaku;
    ControlArray<ImageElement> imgNakaorido;
    ControlArray<ImageElement> Image1;
    ControlArray<ShapeElement> shpK_Waku;

    QMenu* MnuTempMenu1;
    std::unique_ptr<MenuItem> MnuViewKanban;
    std::unique_ptr<MenuItem> MnuViewWaku;
    std::unique_ptr<MenuItem> MnuSetKanban;
    QAction* MnuBdr1;
    std::unique_ptr<MenuItem> MnuKanbanReset;

    // Start-up and shutdown.
    void Form_Load();
    void Form_Unload();
    void LoadIni();
    void SaveIni();

    // Public procedures the control desk calls.
    void Check1_Click() override;
    void Check2_Click() override;
    void HScroll1_Change() override;
    void HScroll2_Change() override;
    void MnuEditHkPic_Click() override;
    void MnuHelpVer_Click() override;
    void SignKeypadEnter(const QString& digits) override;

    // The sign folder and the folder selection window.
    QString SignFolderPath() const override { return m_sign.folderPath(); }
    void SetSignFolderPath(const QString& path) override { m_sign.setFolderPath(path); }
    bool picDir() override;
    QString BrowseForFolder(const QString& title) override;
    DestinationSign& sign() { return m_sign; }
    // What plays an animated sign, and an animated signboard.
    const PictureAnimator& signAnimation() const { return m_signFace.animator(); }
    const PictureAnimator& signboardAnimation() const { return m_signboard->animation(); }
    // The folder selection window while it is open.
    frmBrowseDir* browseDirWindow() const { return m_browseDir; }
    // The about box while it is open.
    frmShowVersion* aboutBox() const { return m_aboutBox; }

    // The full name of the signboard picture chosen last; empty until one is chosen.
    QString SignboardPicturePath() const { return m_settings.values().signboardPath; }

    // The bus window's own events.
    void Form_MouseDown(int button, int shift, float x, float y);
    void Image1_Click(int index);
    void ImgDesiMaku_Click();
    void Picture1_Click();
    void Picture1_KeyDown(int keyCode, int shift);

    // The signboard and its frame.
    void PicKanban_MouseDown(int button, int shift, float x, float y);
    void PicKanban_DblClick();
    void PicKanban_Resize();
    void MnuViewKanban_Click();
    void MnuViewWaku_Click();
    void MnuSetKanban_Click();
    void MnuKanbanReset_Click();

    // Door pauses; tests hand in one that does not wait.
    void setPacer(Doors::Pacer& pacer) { m_pacer = &pacer; }

    // Windowless elements in stacking order, the top one first.
    const std::vector<WindowlessElement*>& windowlessElements() const { return m_layer.elements(); }

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // The window's construction, in BusLayout.cpp, in the order the constructor runs it: the
    // order decides stacking and tab order.

    // The bus window's name, its title until the program is loaded, its icon, fixed size and body.
    void dressWindow();
    // The sign box and its picture. Made first of all child windows, so that every later one lies
    // above it; the sign logic needs the sign's picture element from the start.
    ImageElement& createSignBox();
    // The signboard's picture box, the door pictures and the frame bars, in that order.
    void createElements();
    void createDoorPictures();
    // The windowless elements in stacking order, the top one first.
    std::vector<WindowlessElement*> stackingOrder();
    // Hands the child windows' events to the handlers.
    void connectElements();
    // The popup menu of the bus and its signboard.
    void createMenu();

    QWidget* activeModalOwner();

    Platform& m_platform;
    Common m_common;
    DoorDriver m_doors;
    ElementSignFace m_signFace;
    DestinationSign m_sign;
    frmBrowseDir* m_browseDir { nullptr };
    frmShowVersion* m_aboutBox { nullptr };
    SettingsFile m_settings;
    std::unique_ptr<Signboard> m_signboard;
    std::unique_ptr<BusSettings> m_busSettings;
    Doors::ClockPacer m_clockPacer;
    Doors::Pacer* m_pacer { &m_clockPacer };
    std::unique_ptr<frmSet> m_panel;
    Picture m_body;
    WindowlessLayer m_layer;
    bool m_unloading { false };
};
