#include "settings/IniRecord.h"
#include "settings/SettingsFile.h"
#include "tests/FakePlatform.h"

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
    ASSERT_TRUE(IniRecord::read("1234.5,1235.5,-0.5,7.49,\"\",\"\",0,0,\"\",1,2,#TRUE#,#TRUE#,1,1,0", v).ok());
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
    int itemsRead = 0;
    const Result<void> outcome = IniRecord::read("1,2,3,4,\"/signs\",\"r\",5", v, &itemsRead);
    EXPECT_FALSE(outcome.ok());
    EXPECT_EQ(itemsRead, 7);
    EXPECT_EQ(v.signFolder, "/signs");
    EXPECT_EQ(v.reservedText, "r");
    EXPECT_EQ(v.reservedNumber1, 5);
    EXPECT_FALSE(IniRecord::read("", v).ok());
}

TEST(SettingsRecord, values_that_do_not_fit_their_item_fail_there)
{
    Values v;
    int itemsRead = -1;
    EXPECT_FALSE(IniRecord::read("1,2,3,4,\"\",\"\",0,0,\"\",1,2,#MAYBE#,#TRUE#,1,1,0", v, &itemsRead).ok());
    EXPECT_EQ(itemsRead, 11) << "a boolean item that is no boolean";
    EXPECT_FALSE(IniRecord::read("1,2,3,4,\"\",\"\",0,0,\"\",1,2,#TRUE#,#TRUE#,1,1,40000", v, &itemsRead).ok());
    EXPECT_EQ(itemsRead, 15) << "a mode beyond 16 bits";
    EXPECT_FALSE(IniRecord::read("9e12,2,3,4", v, &itemsRead).ok());
    EXPECT_EQ(itemsRead, 0) << "a position beyond 32 bits";
}

TEST(SettingsRecord, an_unterminated_quote_runs_to_the_end_of_the_file)
{
    Values v;
    int itemsRead = -1;
    EXPECT_FALSE(IniRecord::read("1,2,3,4,\"/never/closed,5,6", v, &itemsRead).ok());
    EXPECT_EQ(itemsRead, 5);
    EXPECT_EQ(v.signFolder, "/never/closed,5,6");
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
    EXPECT_FALSE(file.save().ok());
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
        EXPECT_FALSE(file.save().ok());
        EXPECT_EQ(platform.writtenFiles, QStringList { user }) << folder.toStdString();
    }
}

} // namespace
