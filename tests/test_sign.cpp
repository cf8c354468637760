#include "sign/DestinationSign.h"
#include "sign/FileList.h"
#include "elements/InputCodes.h"
#include "tests/FakePlatform.h"
#include "tests/SignFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using namespace signfiles;

class RecordingFace : public SignFace {
public:
    void showPicture(Picture picture) override
    {
        shown = std::move(picture);
        ++count;
    }
    Picture shown;
    int count { 0 };
};

// The sign's list and its arrow keys without a window: the list read from a real folder, the
// pictures shown onto a face that keeps the last one.
class SignList : public ::testing::Test {
protected:
    FakePlatform platform;
    FileList list { platform };
    RecordingFace face;
    DestinationSign sign { platform, list, face, QSize(50, 30) };
    QTemporaryDir dir;
    QString folder;

    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        folder = dir.path() + "/signs";
        QDir().mkpath(folder);
        list.setPattern(QStringLiteral("*.bmp;*.wmf;*.emf;*.gif;*.jpg;*.jpeg"));
    }
    // The three signs of the usual story: a.bmp red, b.jpg green, c.gif blue.
    void makeAbc()
    {
        writePicture(folder + "/a.bmp", Qt::red);
        writePicture(folder + "/b.jpg", Qt::green);
        writePicture(folder + "/c.gif", Qt::blue);
    }
    void useFolder(const QString& path)
    {
        sign.setFolderPath(path);
        ASSERT_TRUE(sign.pointListAtFolder().ok());
    }
    void down() { sign.keyDown(VbKey::Down); }
    void up() { sign.keyDown(VbKey::Up); }
    QColor shown() const { return face.shown.isEmpty() ? QColor() : face.shown.image().pixelColor(0, 0); }
    static bool near(QColor a, QColor b) // JPEG is lossy
    {
        return std::abs(a.red() - b.red()) < 12 && std::abs(a.green() - b.green()) < 12 && std::abs(a.blue() - b.blue()) < 12;
    }
};

TEST_F(SignList, arrow_keys_step_through_the_list_and_stop_at_its_ends)
{
    makeAbc();
    useFolder(folder);
    EXPECT_EQ(face.count, 0) << "pointing at a folder shows nothing until a key";
    down();
    EXPECT_TRUE(near(shown(), Qt::green));
    down();
    EXPECT_EQ(shown(), QColor(Qt::blue));
    down();
    EXPECT_EQ(shown(), QColor(Qt::blue));
    EXPECT_EQ(sign.index(), 2);
    up();
    up();
    EXPECT_EQ(shown(), QColor(Qt::red));
    up();
    EXPECT_EQ(sign.index(), 0);
    EXPECT_EQ(shown(), QColor(Qt::red));
}

TEST_F(SignList, an_empty_folder_lets_the_index_run_past_the_end_showing_nothing)
{
    useFolder(folder);
    const QColor before = shown();
    up();
    EXPECT_EQ(sign.index(), 0);
    down();
    down();
    down();
    EXPECT_EQ(sign.index(), 3);
    EXPECT_EQ(shown(), before);
    makeAbc();
    useFolder(folder); // the index survives a new folder
    up();
    up();
    EXPECT_EQ(sign.index(), 1);
    EXPECT_TRUE(near(shown(), Qt::green));
}

TEST_F(SignList, the_list_holds_the_six_picture_extensions_in_any_case_sorted_without_regard_to_case)
{
    writePicture(folder + "/Photo.JPG", Qt::red, { 10, 10 }, "JPG");
    writePicture(folder + "/map.jpeg", Qt::red, { 10, 10 }, "JPG");
    writePicture(folder + "/Zebra.bmp", Qt::red);
    writePicture(folder + "/apple.GIF", Qt::red, { 10, 10 });
    writeText(folder + "/clip.wmf");
    writeText(folder + "/clip.EMF");
    writeText(folder + "/notes.txt");
    writePicture(folder + "/anim.png", Qt::red);
    writePicture(folder + "/.hidden.bmp", Qt::red);
    QDir().mkpath(folder + "/folder.bmp");
    useFolder(folder);
    QStringList names;
    for (int i = 0; i < list.ListCount(); ++i)
        names << list.List(i);
    EXPECT_EQ(names.join(",").toStdString(), "apple.GIF,clip.EMF,clip.wmf,map.jpeg,Photo.JPG,Zebra.bmp");
    EXPECT_EQ(list.List(6), "");
    EXPECT_EQ(list.List(-1), "");
}

TEST_F(SignList, symbolic_links_count_as_what_they_point_at)
{
    makeAbc();
    const QString elsewhere = dir.path() + "/elsewhere";
    QDir().mkpath(elsewhere);
    writePicture(elsewhere + "/yellow.bmp", Qt::yellow);
    ASSERT_TRUE(QFile::link(elsewhere + "/yellow.bmp", folder + "/d.bmp"));
    ASSERT_TRUE(QFile::link(elsewhere + "/gone.bmp", folder + "/e.bmp")); // points at nothing
    ASSERT_TRUE(QFile::link(elsewhere, folder + "/f.bmp"));              // a folder
    // The sign folder itself through a link, as a user's ~/signs -> /media/usb/signs.
    ASSERT_TRUE(QFile::link(folder, dir.path() + "/linked"));
    useFolder(dir.path() + "/linked");
    EXPECT_EQ(list.ListCount(), 4);
    EXPECT_EQ(list.List(3), "d.bmp");
    for (int i = 0; i < 3; ++i)
        down();
    EXPECT_EQ(shown(), QColor(Qt::yellow));
    down();
    EXPECT_EQ(shown(), QColor(Qt::yellow)) << "the list ends at the last real picture";
}

TEST_F(SignList, an_unreadable_entry_keeps_the_old_sign_but_the_index_moves_on)
{
    writePicture(folder + "/a.bmp", Qt::red);
    writeText(folder + "/b.bmp");
    writePicture(folder + "/c.bmp", Qt::blue);
    useFolder(folder);
    down();
    down();
    EXPECT_EQ(shown(), QColor(Qt::blue));
    up();
    up();
    EXPECT_EQ(shown(), QColor(Qt::red));
    down();
    EXPECT_EQ(sign.index(), 1);
    EXPECT_EQ(shown(), QColor(Qt::red));
    QFile::remove(folder + "/c.bmp"); // deleted after listing
    down();
    EXPECT_EQ(sign.index(), 2);
    EXPECT_EQ(shown(), QColor(Qt::red));
}

} // namespace
