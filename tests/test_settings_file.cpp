#include "app/Form1.h"
#include "geometry/Twips.h"
#include "settings/IniRecord.h"
#include "settings/SettingsFile.h"
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

namespace {

using IniRecord::Values;

// ---- The record itself

TEST(SettingsRecord, is_one_line_of_sixteen_items_in_the_fixed_order)
{
    Values v;
    v.form1Left = 0;
    v.form1Top = 0;
    v.panelLeft = 0;
    v.panelTop = 3675;
    v.signFolder = "/home/me/signs/";
    v.signboardLeft = 3180;
    v.signboardTop = 1815;
    v.frameShown = false;
    v.frontSpeed = 10000;
    v.middleSpeed = 6000;
    v.mode = 2;
    EXPECT_EQ(IniRecord::write(v),
              QByteArray("0,0,0,3675,\"/home/me/signs/\",\"\",0,0,\"\",3180,1815,#TRUE#,#FALSE#,10000,6000,2\r\n"));
}

TEST(SettingsRecord, numbers_keep_their_point_and_fractions_without_spaces)
{
    Values v;
    v.form1Left = -1234.5f;
    v.form1Top = 0.25f;
    v.reservedNumber1 = -7;
    const QByteArray line = IniRecord::write(v);
    EXPECT_TRUE(line.startsWith("-1234.5,0.25,")) << line.toStdString();
    EXPECT_TRUE(line.contains(",-7,0,"));
}

TEST(SettingsRecord, every_item_survives_a_round_trip_including_awkward_paths)
{
    Values v;
    v.form1Left = 1500;
    v.form1Top = -300;
    v.panelLeft = 12345;
    v.panelTop = 4500;
    v.signFolder = QStringLiteral("/home/me/方向幕 集, \"特別\"/");
    v.reservedText = "kept";
    v.reservedNumber1 = 2147483647;
    v.reservedNumber2 = -2147483647 - 1;
    v.signboardPath = QStringLiteral("/media/usb/看板 \"A\", 2.jpg");
    v.signboardLeft = 6000;
    v.signboardTop = 90;
    v.signboardShown = false;
    v.frameShown = true;
    v.frontSpeed = 1;
    v.middleSpeed = 30000;
    v.mode = 1;
    Values back;
    const auto outcome = IniRecord::read(IniRecord::write(v), back);
    ASSERT_TRUE(outcome.ok());
    EXPECT_EQ(back.form1Left, 1500);
    EXPECT_EQ(back.form1Top, -300);
    EXPECT_EQ(back.panelLeft, 12345);
    EXPECT_EQ(back.panelTop, 4500);
    EXPECT_EQ(back.signFolder, v.signFolder);
    EXPECT_EQ(back.reservedText, "kept");
    EXPECT_EQ(back.reservedNumber1, 2147483647);
    EXPECT_EQ(back.reservedNumber2, -2147483647 - 1);
    EXPECT_EQ(back.signboardPath, v.signboardPath);
    EXPECT_EQ(back.signboardLeft, 6000);
    EXPECT_EQ(back.signboardTop, 90);
    EXPECT_FALSE(back.signboardShown);
    EXPECT_TRUE(back.frameShown);
    EXPECT_EQ(back.frontSpeed, 1);
    EXPECT_EQ(back.middleSpeed, 30000);
    EXPECT_EQ(back.mode, 1);
}

TEST(SettingsRecord, positions_read_back_as_whole_twips_rounding_halves_to_even)
{
    Values v;
    IniRecord::read("1234.5,1235.5,-0.5,7.49,\"\",\"\",0,0,\"\",1,2,#TRUE#,#TRUE#,1,1,0", v);
    EXPECT_EQ(v.form1Left, 1234);
    EXPECT_EQ(v.form1Top, 1236);
    EXPECT_EQ(v.panelLeft, 0);
    EXPECT_EQ(v.panelTop, 7);
}

TEST(SettingsRecord, reading_is_forgiving_about_spaces_letters_and_line_ends)
{
    Values v;
    const auto outcome = IniRecord::read(" 15 , abc ,30,\t45,\"/s/\",\"\",0,0,\"\",1,2,#false#,#TRUE#\n100\r200,1,\"extra\",\"items\"", v);
    ASSERT_TRUE(outcome.ok());
    EXPECT_EQ(v.form1Left, 15);
    EXPECT_EQ(v.form1Top, 0) << "a number item that is no number reads as 0";
    EXPECT_EQ(v.panelTop, 45);
    EXPECT_FALSE(v.signboardShown);
    EXPECT_EQ(v.frontSpeed, 100);
    EXPECT_EQ(v.middleSpeed, 200);
    EXPECT_EQ(v.mode, 1);
}

TEST(SettingsRecord, too_few_items_fail_and_keep_what_was_read)
{
    Values v;
    v.reservedText = "before";
    const auto outcome = IniRecord::read("1,2,3,4,\"/signs\",\"r\",5", v);
    EXPECT_FALSE(outcome.ok());
    EXPECT_EQ(outcome.itemsRead, 7);
    EXPECT_EQ(v.signFolder, "/signs");
    EXPECT_EQ(v.reservedText, "r");
    EXPECT_EQ(v.reservedNumber1, 5);
    EXPECT_FALSE(IniRecord::read("", v).ok());
}

TEST(SettingsRecord, values_that_do_not_fit_their_item_fail_there)
{
    Values v;
    auto outcome = IniRecord::read("1,2,3,4,\"\",\"\",0,0,\"\",1,2,#MAYBE#,#TRUE#,1,1,0", v);
    EXPECT_EQ(outcome.itemsRead, 11) << "a boolean item that is no boolean";
    outcome = IniRecord::read("1,2,3,4,\"\",\"\",0,0,\"\",1,2,#TRUE#,#TRUE#,1,1,40000", v);
    EXPECT_EQ(outcome.itemsRead, 15) << "a mode beyond 16 bits";
    outcome = IniRecord::read("9e12,2,3,4", v);
    EXPECT_EQ(outcome.itemsRead, 0) << "a position beyond 32 bits";
}

TEST(SettingsRecord, an_unterminated_quote_runs_to_the_end_of_the_file)
{
    Values v;
    const auto outcome = IniRecord::read("1,2,3,4,\"/never/closed,5,6", v);
    EXPECT_EQ(outcome.itemsRead, 5);
    EXPECT_EQ(v.signFolder, "/never/closed,5,6");
}

// ---- The bus reading and writing its file

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

// Where the file goes, decided without a window.
TEST(SettingsPlace, beside_a_writable_program_else_the_users_folder)
{
    FakePlatform platform;
    SettingsFile file(platform);
    EXPECT_EQ(file.pathForWriting(), platform.programFolder + "/RX27A0022.ini");
    platform.readOnlyFolders << platform.programFolder;
    EXPECT_EQ(file.pathForWriting(), platform.userConfigFolder + "/RX27A0022.ini");
    platform.exeName = QStringLiteral("renamed");
    EXPECT_EQ(file.pathForWriting(), platform.userConfigFolder + "/renamed.ini");
}

TEST(SettingsPlace, a_program_in_the_root_folder_puts_one_separator_before_the_name)
{
    FakePlatform platform;
    platform.failWritesWith = QStringLiteral("not written");
    platform.programFolder = QStringLiteral("/");
    platform.writableFolders << QStringLiteral("/");
    SettingsFile file(platform);
    EXPECT_EQ(file.pathForWriting(), "/RX27A0022.ini");
    file.save();
    EXPECT_EQ(platform.writtenFiles, QStringList { "/RX27A0022.ini" });
}

TEST(SettingsPlace, a_program_under_usr_keeps_its_settings_in_the_users_folder_even_when_usr_is_writable)
{
    // Root may write into /usr, but the package manager owns it. The folders are taken as
    // writable here whoever runs the test; no write reaches them, as every write fails.
    FakePlatform platform;
    platform.failWritesWith = QStringLiteral("not written");
    platform.writableFolders << QStringLiteral("/opt/kururin") << QStringLiteral("/usr") << QStringLiteral("/usr/bin")
                             << QStringLiteral("/usr/local/games");
    SettingsFile file(platform);
    const QString user = platform.userConfigFolder + "/RX27A0022.ini";

    platform.programFolder = QStringLiteral("/opt/kururin");
    EXPECT_EQ(file.pathForWriting(), "/opt/kururin/RX27A0022.ini") << "a writable folder elsewhere takes the file";

    for (const QString& folder : { QStringLiteral("/usr"), QStringLiteral("/usr/bin"), QStringLiteral("/usr/local/games") }) {
        platform.programFolder = folder;
        platform.writtenFiles.clear();
        EXPECT_EQ(file.pathForWriting(), user) << folder.toStdString();
        EXPECT_EQ(file.pathForReading(), user) << folder.toStdString();
        file.save();
        EXPECT_EQ(platform.writtenFiles, QStringList { user }) << folder.toStdString();
    }
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
