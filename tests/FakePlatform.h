#pragma once

#include "picture/PictureLoader.h"
#include "platform/Files.h"
#include "platform/Folders.h"
#include "platform/SystemErrors.h"
#include "platform/Platform.h"

#include <QMenu>
#include <QDir>
#include <QStringList>
#include <QTemporaryDir>
#include <QWidget>

#include <cerrno>
#include <functional>
#include <optional>
#include <vector>

// Stands in for the desktop: records what the program asked for instead of showing dialogs.
// Folders and pictures come from the real file system, which tests fill in temporary folders.
class FakePlatform : public Platform {
public:
    FakePlatform() { QDir().mkpath(programFolder); }

    struct Message {
        QString text;
        QString title;
        MsgIcon icon;
    };
    struct Popup {
        QMenu* menu;
        QPoint pos;
    };
    struct Sound {
        QByteArray bytes;
        bool wait;
    };

    // Each fake has a program folder of its own, so tests never share a settings file.
    QTemporaryDir scratch;
    QString exeName { QStringLiteral("RX27A0022") };
    QString programFolder { scratch.path() + QStringLiteral("/bin") };
    std::vector<Message> messages;
    std::vector<Popup> popups;
    std::vector<Sound> sounds;
    std::vector<QWidget*> topmost;
    int stopCount { 0 };
    std::function<void()> shutdownRequest;
    std::function<void(const Message&)> onMessage;

    Result<QStringList> ListFolder(const QString& path) override
    {
        ++listCount;
        // Tests run as root, whom permissions do not stop: an unreadable folder is simulated.
        if (unreadableFolders.contains(path))
            return SystemErrors::failure(EACCES);
        return Folders::list(path);
    }
    Result<Picture> LoadPicture(const QString& fileName, QSize visibleSize) override
    {
        loadedPictures << fileName;
        return PictureLoader::load(fileName, visibleSize);
    }
    QString BrowseForFolder(QWidget* owner, const QString& title) override
    {
        browseOwners.push_back(owner);
        browseTitles << title;
        return browseResult;
    }
    void MsgBox(QWidget*, const QString& text, const QString& title, MsgIcon icon) override
    {
        messages.push_back({ text, title, icon });
        if (onMessage)
            onMessage(messages.back());
    }
    void SetTopmost(QWidget* window) override
    {
        topmost.push_back(window);
        window->setWindowFlag(Qt::WindowStaysOnTopHint, true);
    }
    QString ExeName() const override { return exeName; }
    QString ProgramFolder() const override { return programFolder; }
    void PopupMenu(QMenu* menu, QPoint globalPos) override { popups.push_back({ menu, globalPos }); }
    void DragWithMouse(QWidget* child, QPoint grabOffset) override
    {
        drags.push_back({ child, grabOffset });
        if (dragTo)
            child->move(*dragTo);
        // The real drag runs an event loop of its own until the button is released.
        if (whileDragging)
            whileDragging();
    }
    QString GetOpenFileName(QWidget* owner, const QString& filter) override
    {
        openOwners.push_back(owner);
        openFilters << filter;
        return openResult;
    }
    void WatchShutdownRequests(std::function<void()> onRequest) override { shutdownRequest = std::move(onRequest); }
    Result<QString> MakerHomepage() override
    {
        ++makerCalls;
        return makerAnswer;
    }
    void OpenUrl(QWidget* owner, const QString& address) override { openedUrls.push_back({ owner, address }); }
    QString UserConfigFolder() const override { return userConfigFolder; }
    bool IsWritableFolder(const QString& folder) const override
    {
        if (writableFolders.contains(folder))
            return true;
        return !readOnlyFolders.contains(folder) && Files::isWritableFolder(folder);
    }
    Result<QByteArray> ReadFile(const QString& path) override { return Files::read(path, 1 << 20); }
    Result<void> WriteFileAtomically(const QString& path, const QByteArray& bytes) override
    {
        writtenFiles << path;
        if (failWritesWith)
            return Failure { Failure::Kind::Other, *failWritesWith };
        return Files::writeAtomically(path, bytes);
    }
    void PlaySound(std::span<const std::byte> waveImage, bool wait) override
    {
        sounds.push_back({ QByteArray(reinterpret_cast<const char*>(waveImage.data()), qsizetype(waveImage.size())), wait });
    }
    void StopSound() override { ++stopCount; }

    std::vector<std::pair<QWidget*, QPoint>> drags;
    std::optional<QPoint> dragTo;
    std::function<void()> whileDragging;
    std::vector<QWidget*> openOwners;
    QStringList openFilters;
    QString openResult;
    QString userConfigFolder { scratch.path() + QStringLiteral("/config/kururin") };
    QStringList readOnlyFolders;
    // Folders taken as writable whoever runs the tests, as /usr is for root.
    QStringList writableFolders;
    QStringList unreadableFolders;
    std::optional<QString> failWritesWith;
    QStringList writtenFiles;
    Result<QString> makerAnswer { QStringLiteral("file:///usr/share/kururin/homepage/index.html") };
    int makerCalls { 0 };
    std::vector<std::pair<QWidget*, QString>> openedUrls;
    QStringList loadedPictures;
    QString browseResult;
    std::vector<QWidget*> browseOwners;
    QStringList browseTitles;
    int listCount { 0 };
};
