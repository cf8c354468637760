#pragma once

#include "picture/Picture.h"
#include "result/Result.h"

#include <QString>
#include <QStringList>

#include <QByteArray>
#include <QPoint>
#include <QSize>

#include <cstddef>
#include <functional>
#include <span>

class QMenu;
class QWidget;

// Everything the program asks of the desktop goes through here, so that the windows and the
// logic can be driven by tests with a fake standing in for real dialogs, sound and files.
class Platform {
public:
    virtual ~Platform() = default;

    // Pictures: BMP, GIF, JPEG, PNG, WMF and EMF. An empty name gives an empty picture and no failure. With a
    // visible size, decoding may stop at the part of that size the picture shows at its top left.
    virtual Result<Picture> LoadPicture(const QString& fileName, QSize visibleSize) = 0;

    // A modal folder picker owned by the given window, starting at the file system's root and
    // offering only folders. Returns an absolute path, or nothing when cancelled.
    virtual QString BrowseForFolder(QWidget* owner, const QString& title) = 0;

    // The names of a folder's ordinary files, hidden ones left out; on failure, the system's
    // words for why. Patterns and order are the caller's business.
    virtual Result<QStringList> ListFolder(const QString& path) = 0;

    // Message boxes: one OK button; returns when the user has closed the box.
    enum class MsgIcon { None, Information, Exclamation, Critical };
    virtual void MsgBox(QWidget* owner, const QString& text, const QString& title, MsgIcon icon) = 0;

    // Keeps a top-level window above every window that is not itself topmost, from the moment it
    // is shown when it is not shown yet.
    virtual void SetTopmost(QWidget* window) = 0;

    // The executable's file name without its folder and its last extension.
    virtual QString ExeName() const = 0;
    // The folder that holds the executable.
    virtual QString ProgramFolder() const = 0;

    // Lets the user drag a child window with the left mouse button, held at grabOffset, until
    // the button is released; the pointer is kept inside the parent's client area meanwhile.
    virtual void DragWithMouse(QWidget* child, QPoint grabOffset) = 0;

    // The standard open-file dialog, modal and owned by owner. The chosen file's full path, or
    // nothing when the user cancelled.
    virtual QString GetOpenFileName(QWidget* owner, const QString& filter) = 0;

    // Pops the menu up at a screen position and returns when it has closed.
    virtual void PopupMenu(QMenu* menu, QPoint globalPos) = 0;

    // Calls onRequest on the event thread when the session ends or the process is asked to stop
    // (SIGTERM, SIGINT, SIGHUP), so the program can shut down as if its window were closed.
    virtual void WatchShutdownRequests(std::function<void()> onRequest) = 0;

    // The maker's homepage address, asked of the maker's library; on failure, why not.
    virtual Result<QString> MakerHomepage() = 0;
    // Hands an address to the desktop's default handler (the web browser); nothing is reported.
    virtual void OpenUrl(QWidget* owner, const QString& address) = 0;

    // The settings file's folders and files.
    virtual QString UserConfigFolder() const = 0;
    virtual bool IsWritableFolder(const QString& folder) const = 0;
    virtual Result<QByteArray> ReadFile(const QString& path) = 0;
    // Replaces the file whole or not at all; on failure, the system's words for why.
    virtual Result<void> WriteFileAtomically(const QString& path, const QByteArray& bytes) = 0;

    // Sound: plays a complete RIFF WAVE image. With wait, returns when the clip has been heard
    // to its end; without, returns at once and the clip plays on. A new clip cuts off the one
    // still playing. The bytes must stay valid until the next call or StopSound().
    // A clip that cannot be played leaves the program silent.
    virtual void PlaySound(std::span<const std::byte> waveImage, bool wait) = 0;
    virtual void StopSound() = 0;
};
