#pragma once

#include "platform/Platform.h"
#include "platform/SdlSound.h"

#include <QObject>

#include <functional>

class QSocketNotifier;

// The real desktop: Qt for windows, pictures and dialogs, SDL for sound.
class DesktopPlatform final : public Platform {
public:
    DesktopPlatform();
    ~DesktopPlatform() override;

    Result<QStringList> ListFolder(const QString& path) override;
    Result<Picture> LoadPicture(const QString& fileName, QSize visibleSize) override;
    QString BrowseForFolder(QWidget* owner, const QString& title) override;
    void MsgBox(QWidget* owner, const QString& text, const QString& title, MsgIcon icon) override;
    void SetTopmost(QWidget* window) override;
    QString ExeName() const override;
    QString ProgramFolder() const override;
    void PopupMenu(QMenu* menu, QPoint globalPos) override;
    void DragWithMouse(QWidget* child, QPoint grabOffset) override;
    QString GetOpenFileName(QWidget* owner, const QString& filter) override;
    Result<QString> MakerHomepage() override;
    void OpenUrl(QWidget* owner, const QString& address) override;
    QString UserConfigFolder() const override;
    bool IsWritableFolder(const QString& folder) const override;
    Result<QByteArray> ReadFile(const QString& path) override;
    Result<void> WriteFileAtomically(const QString& path, const QByteArray& bytes) override;
    void PlaySound(std::span<const std::byte> waveImage, bool wait) override;
    void StopSound() override;
    void WatchShutdownRequests(std::function<void()> onRequest) override;

private:
    std::function<void()> m_onShutdown;
    QSocketNotifier* m_signalNotifier { nullptr };
    SdlSound m_sound;
};
