#pragma once

#include "elements/InputCodes.h"
#include "picture/Picture.h"
#include "platform/Platform.h"
#include "sign/FileList.h"

#include <QSize>

#include <QString>

// Where the sign's picture is shown.
class SignFace {
public:
    virtual ~SignFace() = default;
    virtual void showPicture(Picture picture) = 0;
};

// The destination sign: the folder of sign pictures, the arrow keys' own position in its list,
// and the two ways a sign is chosen (the arrow keys on the sign box and the keypad's number).
class DestinationSign {
public:
    DestinationSign(Platform& platform, FileList& list, SignFace& face, QSize visibleSize);

    QString folderPath() const { return m_folderPath; }
    void setFolderPath(const QString& path) { m_folderPath = path; }
    qint32 index() const { return m_index; }

    // The path with "/" appended when it does not end with one, as it is stored from then on.
    void ensureTrailingSeparator();

    // An arrow key on the sign box: moves the index within the list and shows that entry.
    void keyDown(int keyCode);
    // The keypad's enter key: shows the entry whose number is on the display.
    void showNumber(const QString& digits);
    // Loads folder path + name into the sign; a failure leaves the sign as it was.
    bool show(const QString& name);

    // Points the list at the folder path; on failure the list keeps its previous folder. A path
    // that names a file, or runs through one, fails as NotFound, as if nothing were there.
    Result<void> pointListAtFolder();

private:
    Platform& m_platform;
    FileList& m_list;
    SignFace& m_face;
    QSize m_visibleSize;
    QString m_folderPath;
    qint32 m_index { 0 };
};
