#include "app/Form1.h"
#include "geometry/Twips.h"
#include "tests/FakePlatform.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QRadioButton>
#include <QScreen>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

// The bus reading its settings file at start-up and writing it at the end.

namespace {

class Settings : public ::testing::Test {
protected:
    std::unique_ptr<FakePlatform> platform = std::make_unique<FakePlatform>();
    std::unique_ptr<Form1> bus;
    QTemporaryDir pictures;

    QString iniPath() const { return platform->programFolder + "/RX27A0022.ini"; }
    void start()
    {
        bus = std::make_unique<Form1>(*platform);
        bus->Form_Load();
    }
    void stop()
    {
        bus->SaveIni();
        bus.reset();
    }
    void writeIni(const QByteArray& bytes)
    {
        QFile f(iniPath());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    QByteArray readIni(const QString& path = {}) const
    {
        QFile f(path.isEmpty() ? iniPath() : path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    QString picture(const QString& name, QSize size, QColor colour)
    {
        QImage image(size, QImage::Format_RGB32);
        image.fill(colour);
        const QString path = pictures.path() + "/" + name;
        EXPECT_TRUE(image.save(path));
        return path;
    }
    QString signFolder()
    {
        const QString folder = pictures.path() + "/signs";
        QDir().mkpath(folder);
        QImage a(52, 32, QImage::Format_RGB32);
        a.fill(Qt::red);
        a.save(folder + "/a.bmp");
        a.fill(Qt::green);
        a.save(folder + "/b.bmp");
        return folder;
    }
    static QByteArray record(QByteArray item1to4, QByteArray signFolder, QByteArray boardPath, QByteArray tail)
    {
        return item1to4 + ",\"" + signFolder + "\",\"r6\",7,8,\"" + boardPath + "\"," + tail + "\r\n";
    }
    void expectRecoveryDefaults()
    {
        EXPECT_EQ(bus->Left(), 0);
        EXPECT_EQ(bus->Top(), 0);
        EXPECT_EQ(bus->panel().Left(), 0);
        EXPECT_EQ(bus->panel().HScroll1->value(), 10000);
        EXPECT_EQ(bus->panel().HScroll2->value(), 6000);
        EXPECT_TRUE(bus->panel().Option1(0)->isChecked());
        EXPECT_EQ(bus->PicKanban->twipsRect(), (twips::Rect { 3180, 1815, 1410, 450 }));
        EXPECT_TRUE(bus->PicKanban->picture().isEmpty());
    }
};

TEST_F(Settings, a_first_run_gets_the_defaults_and_writes_them_at_exit)
{
    start();
    expectRecoveryDefaults();
    EXPECT_EQ(bus->SignFolderPath(), "");
    EXPECT_TRUE(bus->MnuViewKanban->Checked());
    const float panelTop = bus->panel().Top();
    stop();
    const QByteArray expected = "0,0,0," + QByteArray::number(int(panelTop))
        + ",\"\",\"\",0,0,\"\",3180,1815,#TRUE#,#TRUE#,10000,6000,0\r\n";
    EXPECT_EQ(readIni(), expected);
}

TEST_F(Settings, everything_saved_comes_back_at_the_next_start)
{
    const QString folder = signFolder();
    const QString board = picture("board.bmp", { 60, 20 }, Qt::yellow);
    writeIni(record("1500,600,9000,750", folder.toUtf8(), board.toUtf8(), "4500,300,#FALSE#,#FALSE#,1234,4321,2"));
    start();
    EXPECT_EQ(bus->Left(), 1500);
    EXPECT_EQ(bus->Top(), 600);
    EXPECT_EQ(bus->panel().Left(), 9000);
    EXPECT_EQ(bus->panel().Top(), 750);
    EXPECT_EQ(bus->SignFolderPath(), folder + "/") << "the first sign loads and the path gains its separator";
    EXPECT_EQ(bus->ImgDesiMaku->picture().image().pixelColor(0, 0), QColor(Qt::red));
    EXPECT_EQ(bus->SignboardPicturePath(), board);
    EXPECT_EQ(bus->PicKanban->twipsRect(), (twips::Rect { 4500, 300, 62 * 15, 22 * 15 }));
    EXPECT_TRUE(bus->PicKanban->isHidden());
    EXPECT_FALSE(bus->MnuViewKanban->Checked());
    EXPECT_FALSE(bus->shpK_Waku(1).Visible());
    EXPECT_FALSE(bus->MnuViewWaku->Checked());
    EXPECT_EQ(bus->shpK_Waku(1).twipsRect(), (twips::Rect { 4500 + 930, 300, 75, 330 + 15 })) << "fitted";
    EXPECT_EQ(bus->panel().HScroll1->value(), 1234);
    EXPECT_EQ(bus->panel().lblNakaSpeed->text(), "4321");
    EXPECT_TRUE(bus->panel().Option1(2)->isChecked());
    stop();
    EXPECT_EQ(readIni(), record("1500,600,9000,750", (folder + "/").toUtf8(), board.toUtf8(),
                                "4500,300,#FALSE#,#FALSE#,1234,4321,2"))
        << "reserved items travel through unchanged";
}

TEST_F(Settings, a_slider_value_equal_to_its_initial_one_leaves_its_label_at_0)
{
    writeIni(record("0,0,0,0", "", "", "1,2,#TRUE#,#TRUE#,6000,10000,0"));
    start();
    EXPECT_EQ(bus->panel().HScroll1->value(), 6000);
    EXPECT_EQ(bus->panel().lblMaeSpeed->text(), "0");
}

TEST_F(Settings, too_few_items_take_the_recovery_path_keeping_what_was_read)
{
    writeIni("900,900,900,900,\"/somewhere/signs\",\"r6\",7");
    start();
    expectRecoveryDefaults();
    EXPECT_EQ(bus->SignFolderPath(), "/somewhere/signs");
    stop();
    EXPECT_TRUE(readIni().contains(",\"/somewhere/signs\",\"r6\",7,0,"));
}

TEST_F(Settings, an_invalid_mode_applies_everything_else_then_recovers)
{
    const QString folder = signFolder();
    writeIni(record("1500,600,9000,750", folder.toUtf8(), "", "4500,300,#TRUE#,#FALSE#,1234,4321,3"));
    start();
    expectRecoveryDefaults();
    EXPECT_FALSE(bus->MnuViewWaku->Checked()) << "applied before the failure and left alone by the recovery";
    EXPECT_EQ(bus->File1.Path(), folder);
    EXPECT_EQ(bus->ImgDesiMaku->picture().image().pixelColor(0, 0), QColor(Qt::red));
}

TEST_F(Settings, a_speed_out_of_range_recovers_after_the_signboard_was_applied)
{
    const QString board = picture("b.bmp", { 40, 40 }, Qt::blue);
    for (const QByteArray speed : { "40000", "-1", "0" }) {
        writeIni(record("1500,600,9000,750", "", board.toUtf8(), "4500,300,#FALSE#,#TRUE#," + speed + ",6000,1"));
        start();
        expectRecoveryDefaults();
        EXPECT_FALSE(bus->MnuViewKanban->Checked()) << speed.toStdString();
        EXPECT_EQ(bus->SignboardPicturePath(), board);
        bus.reset();
    }
}

TEST_F(Settings, a_signboard_picture_that_is_gone_is_only_missing_not_a_reason_to_reset)
{
    const QString gone = pictures.path() + "/unplugged/board.jpg";
    writeIni(record("1500,600,9000,750", "", gone.toUtf8(), "4500,300,#TRUE#,#TRUE#,1234,4321,1"));
    start();
    EXPECT_EQ(bus->Left(), 1500);
    EXPECT_EQ(bus->panel().HScroll1->value(), 1234);
    EXPECT_TRUE(bus->panel().Option1(1)->isChecked());
    EXPECT_EQ(bus->PicKanban->Left(), 4500);
    EXPECT_TRUE(bus->PicKanban->picture().isEmpty());
    stop();
    EXPECT_TRUE(readIni().contains(gone.toUtf8())) << "kept for when the picture is back";
}

TEST_F(Settings, a_sign_folder_that_is_gone_or_empty_keeps_the_default_sign_and_everything_else)
{
    const QString empty = pictures.path() + "/empty";
    QDir().mkpath(empty);
    for (const QString& folder : { empty, pictures.path() + "/gone", QString() }) {
        writeIni(record("1500,600,9000,750", folder.toUtf8(), "", "4500,300,#TRUE#,#TRUE#,1234,4321,1"));
        start();
        EXPECT_EQ(bus->panel().HScroll1->value(), 1234) << folder.toStdString();
        EXPECT_EQ(bus->ImgDesiMaku->picture().size(), QSize(52, 32));
        bus.reset();
    }
}

TEST_F(Settings, letters_in_a_position_read_as_0_without_a_failure)
{
    writeIni(record("abc,600,9000,750", "", "", "4500,300,#TRUE#,#TRUE#,1234,4321,1"));
    start();
    EXPECT_EQ(bus->Left(), 0);
    EXPECT_EQ(bus->panel().HScroll1->value(), 1234);
}

TEST_F(Settings, a_window_saved_on_a_monitor_since_unplugged_comes_back_onto_the_screen)
{
    writeIni(record("9000000,-9000000,-9000000,9000000", "", "", "4500,300,#TRUE#,#TRUE#,1234,4321,1"));
    start();
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_TRUE(screen.intersects(bus->frameGeometry()));
    EXPECT_TRUE(screen.intersects(bus->panel().frameGeometry()));
    EXPECT_EQ(bus->panel().HScroll1->value(), 1234);
}

TEST_F(Settings, a_click_on_the_signboard_writes_its_place_back_unchanged)
{
    writeIni(record("0,0,0,0", "", "", "3187,1822,#TRUE#,#TRUE#,6000,10000,0"));
    start();
    QTest::mouseClick(bus->PicKanban, Qt::LeftButton, {}, QPoint(5, 5));
    ASSERT_EQ(platform->drags.size(), 1u);
    stop();
    EXPECT_TRUE(readIni().contains(",3187,1822,")) << readIni().toStdString();
}

TEST_F(Settings, a_read_only_program_folder_sends_the_file_to_the_users_folder)
{
    platform->readOnlyFolders << platform->programFolder;
    start();
    bus->panel().HScroll1->setValue(2222);
    stop();
    const QString userFile = platform->userConfigFolder + "/RX27A0022.ini";
    EXPECT_FALSE(QFile::exists(iniPath()));
    EXPECT_TRUE(readIni(userFile).contains(",2222,"));
    start(); // read back from the user's folder, as nothing lies beside the program
    EXPECT_EQ(bus->panel().HScroll1->value(), 2222);
}

TEST_F(Settings, a_file_beside_a_read_only_program_only_seeds_the_users_file)
{
    writeIni(record("0,0,0,0", "", "", "1,2,#TRUE#,#TRUE#,333,444,0"));
    platform->readOnlyFolders << platform->programFolder;
    start();
    EXPECT_EQ(bus->panel().HScroll1->value(), 333);
    bus->panel().HScroll1->setValue(2222);
    stop();
    start(); // the user's file now exists, and the change comes back
    EXPECT_EQ(bus->panel().HScroll1->value(), 2222);
    EXPECT_TRUE(readIni(iniPath()).contains(",333,"));
}

TEST_F(Settings, a_file_beside_the_program_wins_over_the_users_one)
{
    QDir().mkpath(platform->userConfigFolder);
    QFile user(platform->userConfigFolder + "/RX27A0022.ini");
    ASSERT_TRUE(user.open(QIODevice::WriteOnly));
    user.write(record("0,0,0,0", "", "", "1,2,#TRUE#,#TRUE#,111,222,0"));
    user.close();
    writeIni(record("0,0,0,0", "", "", "1,2,#TRUE#,#TRUE#,333,444,0"));
    start();
    EXPECT_EQ(bus->panel().HScroll1->value(), 333);
}

TEST_F(Settings, a_save_that_fails_tells_the_user_which_file)
{
    start();
    platform->failWritesWith = QStringLiteral("ディスクの空き容量が不足しています。");
    bus->SaveIni();
    ASSERT_EQ(platform->messages.size(), 1u);
    EXPECT_TRUE(platform->messages[0].text.contains(iniPath()));
    EXPECT_TRUE(platform->messages[0].text.contains("ディスクの空き容量が不足しています。"));
    EXPECT_EQ(platform->messages[0].icon, Platform::MsgIcon::Exclamation);
}

} // namespace
