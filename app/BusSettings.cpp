#include "app/BusSettings.h"

#include "app/Form1.h"
#include "platform/Platform.h"
#include "settings/SettingsFile.h"
#include "signboard/Signboard.h"

#include <QGuiApplication>
#include <QScreen>
#include <QTimer>

#include <memory>

namespace {

void keepOnScreen(QWidget* window)
{
    // A monitor unplugged since the last run must not leave a window where nobody can see it.
    const QRect placed(window->frameGeometry().topLeft(), window->frameGeometry().size());
    const auto screens = QGuiApplication::screens();
    for (const QScreen* screen : screens) {
        if (screen->availableGeometry().intersects(placed))
            return;
    }
    if (const QScreen* primary = QGuiApplication::primaryScreen())
        window->move(primary->availableGeometry().topLeft());
}

} // namespace

BusSettings::BusSettings(Form1& bus, Signboard& signboard, SettingsFile& file, Platform& platform)
    : m_bus(bus)
    , m_signboard(signboard)
    , m_file(file)
    , m_platform(platform)
{
}

void BusSettings::load()
{
    // Whatever the file does not hold keeps its present value, which a save writes back.
    IniRecord::Values& v = m_file.values();
    v.signFolder = m_bus.sign().folderPath();
    const bool whole = m_file.load().ok();
    m_bus.sign().setFolderPath(v.signFolder);
    if (!whole || !apply(v))
        recover();
}

bool BusSettings::apply(const IniRecord::Values& v)
{
    applyPlaces(v);
    applySignboard(v);

    if (!m_bus.panel().setSpeeds(v.frontSpeed, v.middleSpeed))
        return false;

    // A sign folder that is gone, or not chosen yet, leaves the default sign up; the path stays
    // as it was for when the folder is back.
    DestinationSign& sign = m_bus.sign();
    if (sign.pointListAtFolder().ok()) {
        sign.ensureTrailingSeparator();
        sign.show(m_bus.File1.List(0));
    }

    return m_bus.panel().setMode(v.mode);
}

void BusSettings::applyPlaces(const IniRecord::Values& v)
{
    m_bus.setLeft(v.form1Left);
    m_bus.setTop(v.form1Top);
    m_bus.panel().setLeft(v.panelLeft);
    m_bus.panel().setTop(v.panelTop);
    keepOnScreen(&m_bus);
    keepOnScreen(&m_bus.panel());
}

void BusSettings::applySignboard(const IniRecord::Values& v)
{
    m_signboard.setShown(v.signboardShown);
    m_bus.MnuViewKanban->setChecked(v.signboardShown);
    m_signboard.setFrameShown(v.frameShown);
    m_bus.MnuViewWaku->setChecked(v.frameShown);
    m_signboard.placeAt(v.signboardLeft, v.signboardTop);

    // A picture that cannot be loaded now (deleted, or on a drive that is not there) is simply
    // missing: everything else still applies, and the path is kept for when the file is back.
    m_signboard.setPicture(m_platform.LoadPicture(v.signboardPath, QSize()).valueOr(Picture()));
}

void BusSettings::recover()
{
    // No settings file, or one that cannot be used: the arrangement a first run gets.
    m_bus.setLeft(0);
    m_bus.setTop(0);
    m_bus.panel().setLeft(0);
    m_bus.panel().setTop(m_bus.Height());
    placePanelUnderBusOnceFramed();
    m_signboard.reset();
    m_bus.panel().setSpeeds(10000, 6000);
    m_bus.panel().setMode(0);
}

void BusSettings::placePanelUnderBusOnceFramed()
{
    // Until the window manager has put its frame around the bus, the bus's outer height is not
    // known; the panel is moved under the frame once it is.
    Form1* bus = &m_bus;
    auto* timer = new QTimer(bus);
    timer->setInterval(25);
    auto deadline = std::make_shared<int>(80);
    QObject::connect(timer, &QTimer::timeout, bus, [bus, timer, deadline] {
        const bool framed = bus->isVisible() && bus->frameGeometry().height() > bus->height();
        if (framed && bus->panelLoaded())
            bus->panel().move(bus->panel().frameGeometry().x(), bus->frameGeometry().bottom() + 1);
        if (framed || --*deadline <= 0)
            timer->deleteLater();
    });
    timer->start();
}

void BusSettings::save()
{
    collect(m_file.values());
    if (const Result<void> saved = m_file.save(); !saved.ok()) {
        m_platform.MsgBox(&m_bus, Form1::tr("設定を保存できませんでした。\n%1\n\n%2").arg(m_file.pathForWriting(), saved.failure().description),
                          Form1::programTitle(), Platform::MsgIcon::Exclamation);
    }
}

void BusSettings::collect(IniRecord::Values& v)
{
    const frmSet& desk = m_bus.panel();
    v.form1Left = m_bus.Left();
    v.form1Top = m_bus.Top();
    v.panelLeft = desk.Left();
    v.panelTop = desk.Top();
    v.signFolder = m_bus.sign().folderPath();
    v.signboardLeft = m_signboard.left();
    v.signboardTop = m_signboard.top();
    v.signboardShown = m_bus.MnuViewKanban->Checked();
    v.frameShown = m_bus.MnuViewWaku->Checked();
    v.frontSpeed = desk.frontSpeed();
    v.middleSpeed = desk.middleSpeed();
    // With no option selected the doors move the right leaf alone, as with the third option.
    v.mode = qint16(desk.Mode() < 0 ? 2 : desk.Mode());
}
