#include "platform/DesktopPlatform.h"

#include "picture/PictureLoader.h"
#include "platform/Files.h"
#include "platform/Folders.h"
#include "platform/MakerLibrary.h"
#include "platform/WindowDrag.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QUrl>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QSessionManager>
#include <QSocketNotifier>
#include <QWidget>
#include <QWindow>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int g_signalPipe[2] { -1, -1 };

void onSignal(int)
{
    const char byte = 1;
    // Only async-signal-safe work here: wake the event loop and let it do the rest.
    [[maybe_unused]] const auto written = ::write(g_signalPipe[1], &byte, 1);
}

// A menu item is chosen with the left button only: Qt's menus take any button's release, and a
// right click meant to reopen the menu would otherwise hide the signboard.
class LeftButtonChooses : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::MouseButtonRelease && static_cast<QMouseEvent*>(event)->button() != Qt::LeftButton)
            return true;
        return QObject::eventFilter(watched, event);
    }
};

// The control desk stays above every window, so a dialog opened over the bus would lose its
// lower corner to the desk, labels and all. The program's dialogs stay above too; the newest
// above window is the topmost.
void keepAbove(QDialog& dialog)
{
    dialog.setWindowFlag(Qt::WindowStaysOnTopHint);
}

// The file the dialog was left with; empty when it was cancelled.
QString chosenFile(QFileDialog& dialog)
{
    keepAbove(dialog);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

} // namespace

DesktopPlatform::DesktopPlatform() = default;

DesktopPlatform::~DesktopPlatform()
{
    StopSound();
}

Result<Picture> DesktopPlatform::LoadPicture(const QString& fileName, QSize visibleSize)
{
    return PictureLoader::load(fileName, visibleSize);
}

QString DesktopPlatform::BrowseForFolder(QWidget* owner, const QString& title)
{
    QFileDialog dialog(owner, title, QStringLiteral("/"));
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOptions(QFileDialog::ShowDirsOnly | QFileDialog::DontResolveSymlinks);
    const QString chosen = chosenFile(dialog);
    if (chosen.isEmpty())
        return {};
    return QFileInfo(chosen).absoluteFilePath();
}

Result<QStringList> DesktopPlatform::ListFolder(const QString& path)
{
    return Folders::list(path);
}

void DesktopPlatform::MsgBox(QWidget* owner, const QString& text, const QString& title, MsgIcon icon)
{
    QMessageBox::Icon qtIcon = QMessageBox::NoIcon;
    switch (icon) {
    case MsgIcon::None: break;
    case MsgIcon::Information: qtIcon = QMessageBox::Information; break;
    case MsgIcon::Exclamation: qtIcon = QMessageBox::Warning; break;
    case MsgIcon::Critical: qtIcon = QMessageBox::Critical; break;
    }
    // The program's texts break their lines with CR LF; Qt wants LF.
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QMessageBox box(qtIcon, title, shown, QMessageBox::Ok, owner);
    keepAbove(box);
    box.exec();
}

void DesktopPlatform::SetTopmost(QWidget* window)
{
    const Qt::WindowFlags flags = window->windowFlags() | Qt::WindowStaysOnTopHint;
    if (!window->testAttribute(Qt::WA_WState_Created)) {
        // Not on the screen yet: the window manager is told when the window is first mapped.
        window->setWindowFlags(flags);
        return;
    }
    // QWidget::setWindowFlags would re-create the native window; telling the QWindow instead
    // just asks the window manager to keep it above, which is all that is wanted here.
    window->overrideWindowFlags(flags);
    if (QWindow* handle = window->windowHandle())
        handle->setFlags(flags);
}

QString DesktopPlatform::ExeName() const
{
    return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
}

QString DesktopPlatform::ProgramFolder() const
{
    return QCoreApplication::applicationDirPath();
}

void DesktopPlatform::PopupMenu(QMenu* menu, QPoint globalPos)
{
    LeftButtonChooses filter;
    menu->installEventFilter(&filter);
    menu->exec(globalPos);
    menu->removeEventFilter(&filter);
}

void DesktopPlatform::DragWithMouse(QWidget* child, QPoint grabOffset)
{
    WindowDrag::run(child, grabOffset);
}

QString DesktopPlatform::GetOpenFileName(QWidget* owner, const QString& filter)
{
    QFileDialog dialog(owner, QString(), QString(), filter);
    dialog.setFileMode(QFileDialog::ExistingFile);
    return chosenFile(dialog);
}

Result<QString> DesktopPlatform::MakerHomepage()
{
    // Beside the program, or where an installed program keeps its private libraries.
    const QString here = ProgramFolder();
    return MakerLibrary::homepage(MakerLibrary::kLibrary, { here, here + QStringLiteral("/../" KURURIN_PRIVATE_LIBDIR) });
}

void DesktopPlatform::OpenUrl(QWidget*, const QString& address)
{
    QDesktopServices::openUrl(QUrl(address));
}

QString DesktopPlatform::UserConfigFolder() const
{
    return Files::userConfigFolder();
}

bool DesktopPlatform::IsWritableFolder(const QString& folder) const
{
    return Files::isWritableFolder(folder);
}

Result<QByteArray> DesktopPlatform::ReadFile(const QString& path)
{
    // The settings file is one short line; anything far larger is not ours.
    return Files::read(path, 1 << 20);
}

Result<void> DesktopPlatform::WriteFileAtomically(const QString& path, const QByteArray& bytes)
{
    return Files::writeAtomically(path, bytes);
}

void DesktopPlatform::PlaySound(std::span<const std::byte> waveImage, bool wait)
{
    m_sound.play(waveImage, wait);
}

void DesktopPlatform::StopSound()
{
    m_sound.stop();
}

void DesktopPlatform::WatchShutdownRequests(std::function<void()> onRequest)
{
    m_onShutdown = std::move(onRequest);

    if (g_signalPipe[0] < 0 && ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signalPipe) == 0) {
        m_signalNotifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, qApp);
        QObject::connect(m_signalNotifier, &QSocketNotifier::activated, qApp, [this] {
            char byte;
            [[maybe_unused]] const auto got = ::read(g_signalPipe[0], &byte, 1);
            if (m_onShutdown)
                m_onShutdown();
        });
        struct sigaction action {};
        action.sa_handler = onSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        for (int sig : { SIGTERM, SIGINT, SIGHUP })
            ::sigaction(sig, &action, nullptr);
    }

    if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        QObject::connect(app, &QGuiApplication::commitDataRequest, app, [this](QSessionManager&) {
            if (m_onShutdown)
                m_onShutdown();
        });
    }
}
