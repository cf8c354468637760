#include "app/Form1.h"
#include "assets/Assets.h"
#include "platform/MakerLibrary.h"
#include "platform/Startup.h"
#include "platform/SystemErrors.h"
#include "platform/Translation.h"
#include "settings/Keypad.h"
#include "settings/frmSet.h"
#include "settings/frmShowVersion.h"
#include "sign/frmBrowseDir.h"
#include "tests/FakePlatform.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>

using Translation::Language;

namespace {

const QString kBuiltTranslations = QStringLiteral(KURURIN_TRANSLATIONS_DIR);

// ---------------------------------------------------------------------------------------------
// Which language the user's desktop asks for

TEST(LanguageChoice, english_when_it_comes_before_japanese)
{
    EXPECT_EQ(Translation::choose({ "en-US", "ja-JP" }), Language::English);
    EXPECT_EQ(Translation::choose({ "en" }), Language::English);
    EXPECT_EQ(Translation::choose({ "en-GB" }), Language::English);
    EXPECT_EQ(Translation::choose({ "de-DE", "en-GB", "ja-JP" }), Language::English)
        << "a language without a translation is passed over";
}

TEST(LanguageChoice, japanese_when_it_comes_first_or_nothing_else_is_offered)
{
    EXPECT_EQ(Translation::choose({ "ja-JP", "en-US" }), Language::Japanese);
    EXPECT_EQ(Translation::choose({ "de-DE", "ja", "en" }), Language::Japanese);
    EXPECT_EQ(Translation::choose({ "C" }), Language::Japanese);
    EXPECT_EQ(Translation::choose({ "POSIX" }), Language::Japanese);
    EXPECT_EQ(Translation::choose({ "de-DE" }), Language::Japanese);
    EXPECT_EQ(Translation::choose({ "fr-FR", "de-DE" }), Language::Japanese);
    EXPECT_EQ(Translation::choose({}), Language::Japanese);
    EXPECT_EQ(Translation::choose({ "", "xx-garbage" }), Language::Japanese);
}

TEST(LanguageChoice, translations_are_looked_for_beside_the_program_then_in_the_data_folder)
{
    const QStringList folders = Translation::folders("/opt/bus/bin");
    ASSERT_EQ(folders.size(), 2);
    EXPECT_EQ(folders[0], "/opt/bus/bin/translations");
    EXPECT_EQ(QDir::cleanPath(folders[1]), "/opt/bus/share/kururin/translations");
}

TEST(LanguageChoice, a_missing_translation_leaves_the_japanese_texts)
{
    const Startup::ApplicationLanguage language({ "en-US" }, { "/nonexistent" });
    EXPECT_EQ(language.language(), Language::Japanese);
    EXPECT_EQ(QCoreApplication::translate("frmSet", "設定パネル"), "設定パネル");
    EXPECT_EQ(QLocale().language(), QLocale::Japanese) << "the pictures' lettering follows the texts";
}

TEST(LanguageChoice, qt_s_own_buttons_and_dialogs_speak_the_language_of_the_texts)
{
    const auto cancel = [] { return QCoreApplication::translate("QPlatformTheme", "Cancel"); };
    {
        const Startup::ApplicationLanguage language({ "ja-JP" }, { kBuiltTranslations });
        EXPECT_EQ(cancel(), "キャンセル") << "needs Debian's qt6-translations-l10n, which the package recommends";
        EXPECT_EQ(QCoreApplication::translate("QFileDialog", "File &name:"), "ファイル名(&N):");
    }
    EXPECT_EQ(cancel(), "Cancel") << "gone with the language";
    const Startup::ApplicationLanguage language({ "en-US" }, { kBuiltTranslations });
    EXPECT_EQ(cancel(), "Cancel");
}

TEST(LanguageChoice, the_first_folder_holding_the_translation_serves)
{
    const Startup::ApplicationLanguage language({ "en-US" }, { "/nonexistent", kBuiltTranslations });
    EXPECT_EQ(language.language(), Language::English);
    EXPECT_EQ(QCoreApplication::translate("frmSet", "設定パネル"), "Control panel");
    EXPECT_EQ(QLocale().language(), QLocale::English);
}

// ---------------------------------------------------------------------------------------------
// The windows in each language

// A text the user sees and the room its control gives it, in pixels.
struct Caption {
    QString where;
    QString text;
    QSize needed;
    QSize room;
};

QString describe(const QWidget* w)
{
    return w->window()->objectName() + u'/' + w->metaObject()->className() + u' ' + w->objectName();
}

// How far a left-aligned caption can run before a control stacked above it covers it.
int uncoveredWidth(const QWidget* w)
{
    int right = w->geometry().right() + 1;
    const QObjectList& siblings = w->parentWidget()->children();
    for (qsizetype i = siblings.indexOf(w) + 1; i < siblings.size(); ++i) {
        const auto* above = qobject_cast<const QWidget*>(siblings[i]);
        if (above && !above->isHidden() && above->geometry().intersects(w->geometry()) && above->x() > w->x())
            right = std::min(right, above->x());
    }
    return right - w->x();
}

// Every caption of a window measured with its own font. A button's text has the room the style
// leaves inside its frame, an option's text the room right of its dot, a label's text its
// contents up to any control lying over it, a frame's caption the top edge between its corners.
std::vector<Caption> captionsOf(QWidget* window)
{
    std::vector<Caption> captions;
    for (QWidget* w : window->findChildren<QWidget*>()) {
        if (w->isHidden())
            continue;
        const QFontMetrics fm(w->font());
        if (auto* option = qobject_cast<QRadioButton*>(w)) {
            QStyleOptionButton opt;
            opt.initFrom(option);
            opt.text = option->text();
            const QRect room = option->style()->subElementRect(QStyle::SE_RadioButtonContents, &opt, option);
            captions.push_back({ describe(w), opt.text, fm.size(Qt::TextShowMnemonic, opt.text), room.size() });
        } else if (auto* button = qobject_cast<QPushButton*>(w); button && !button->text().isEmpty()) {
            QStyleOptionButton opt;
            opt.initFrom(button);
            opt.text = button->text();
            if (button->autoDefault())
                opt.features |= QStyleOptionButton::AutoDefaultButton;
            const QRect room = button->style()->subElementRect(QStyle::SE_PushButtonContents, &opt, button);
            captions.push_back({ describe(w), opt.text, fm.size(Qt::TextShowMnemonic, opt.text), room.size() });
        } else if (auto* label = qobject_cast<QLabel*>(w); label && !label->text().isEmpty()) {
            QRect room = label->contentsRect().marginsRemoved(QMargins(label->margin(), label->margin(),
                                                                      label->margin(), label->margin()));
            room.setRight(std::min(room.right(), uncoveredWidth(label) - 1));
            // Left-aligned, so what must stay clear is the ink: a full-width colon's blank half may
            // run under the next control.
            const QSize ink(fm.tightBoundingRect(label->text()).right() + 1, fm.height());
            captions.push_back({ describe(w), label->text(), ink, room.size() });
        } else if (auto* frame = dynamic_cast<CaptionFrame*>(w)) {
            // The caption is painted from 6 pixels in, padded by 2 on each side, and must leave the
            // border's right corner showing.
            captions.push_back({ describe(w), frame->title(), QSize(fm.horizontalAdvance(frame->title()) + 10, fm.height()),
                                 QSize(frame->width() - 8, frame->height()) });
        }
    }
    return captions;
}

void expectEveryCaptionFits(QWidget* window)
{
    const std::vector<Caption> captions = captionsOf(window);
    EXPECT_FALSE(captions.empty());
    for (const Caption& c : captions) {
        EXPECT_LE(c.needed.width(), c.room.width()) << qPrintable(c.where) << " \"" << qPrintable(c.text) << "\" is too wide";
        EXPECT_LE(c.needed.height(), c.room.height()) << qPrintable(c.where) << " \"" << qPrintable(c.text) << "\" is too high";
    }
}

bool isJapanese(QChar c)
{
    return (c.unicode() >= 0x3000 && c.unicode() <= 0x9FFF) || (c.unicode() >= 0xFF00 && c.unicode() <= 0xFFEF);
}

// Every text of a window that a user reads: its title, captions, tooltips and accessible names.
QStringList textsOf(QWidget* window)
{
    QStringList texts { window->windowTitle() };
    for (const Caption& c : captionsOf(window))
        texts << c.text;
    for (QWidget* w : window->findChildren<QWidget*>()) {
        texts << w->toolTip() << w->accessibleName();
        if (auto* menu = qobject_cast<QMenu*>(w)) {
            for (QAction* action : menu->actions())
                texts << action->text();
        }
    }
    texts.removeAll(QString());
    return texts;
}

// The lettering of a toggle's picture: the columns and rows its dark ink spans.
QRect letteringOf(const QPushButton* toggle)
{
    const QImage image = toggle->icon().pixmap(QSize(50, 20), 1.0).toImage();
    QRect ink;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qGray(image.pixel(x, y)) < 64)
                ink |= QRect(x, y, 1, 1);
    return ink;
}

class NoDesk : public ControlDeskOwner {
public:
    void Check1_Click() override { }
    void Check2_Click() override { }
    void HScroll1_Change() override { }
    void HScroll2_Change() override { }
    void MnuEditHkPic_Click() override { }
    void MnuHelpVer_Click() override { }
    void SignKeypadEnter(const QString&) override { }
};

class NoFolders : public FolderWindowOwner {
public:
    QString SignFolderPath() const override { return {}; }
    void SetSignFolderPath(const QString&) override { }
    bool picDir() override { return true; }
    QString BrowseForFolder(const QString&) override { return {}; }
};

// The program's windows as a user in the given language would see them.
struct Windows {
    explicit Windows(const QStringList& uiLanguages)
        : language(uiLanguages, { kBuiltTranslations })
    {
        about.Form_Load();
    }

    Startup::ApplicationLanguage language;
    FakePlatform platform;
    NoDesk deskOwner;
    NoFolders folderOwner;
    Form1 bus { platform };
    frmSet desk { deskOwner };
    frmBrowseDir folders { folderOwner, nullptr };
    frmShowVersion about { platform, nullptr };

    std::vector<QWidget*> all() { return { &bus, &desk, &folders, &about }; }
    // The windows with captions; the bus has only its menu, which takes the width of its items.
    std::vector<QWidget*> captioned() { return { &desk, &folders, &about }; }
};

TEST(EnglishTexts, every_window_speaks_english_with_no_japanese_left)
{
    Windows english({ "en-US" });
    ASSERT_EQ(english.language.language(), Language::English);
    for (QWidget* window : english.all()) {
        for (const QString& text : textsOf(window))
            EXPECT_FALSE(std::any_of(text.begin(), text.end(), isJapanese)) << qPrintable(window->objectName()) << ": " << qPrintable(text);
    }
    EXPECT_EQ(english.bus.windowTitle(), "Kururin-go - RX27A0022");
    EXPECT_EQ(english.desk.Command2(Keypad::Enter)->text(), "Set");
    EXPECT_EQ(english.about.Label1(1)->text(), "Model and serial no.: RX27A0022");
}

TEST(EnglishTexts, every_caption_fits_its_control_in_the_programs_fonts)
{
    Windows english({ "en-US" });
    for (QWidget* window : english.captioned()) {
        SCOPED_TRACE(qPrintable(window->objectName()));
        expectEveryCaptionFits(window);
    }
}

TEST(EnglishTexts, the_door_toggles_carry_english_lettering_inside_their_pictures)
{
    QRect japanese[2];
    {
        Windows windows({ "ja-JP" });
        japanese[0] = letteringOf(windows.desk.Check1);
        japanese[1] = letteringOf(windows.desk.Check2);
    }
    Windows english({ "en-US" });
    const QPushButton* toggles[] = { english.desk.Check1, english.desk.Check2 };
    for (int i = 0; i < 2; ++i) {
        const QRect lettering = letteringOf(toggles[i]);
        EXPECT_NE(lettering, japanese[i]) << "toggle " << i << " still shows the Japanese picture";
        // A pixel of yellow stays clear all round: nothing of the word is cut off.
        EXPECT_TRUE(QRect(1, 1, 48, 18).contains(lettering)) << "toggle " << i;
        EXPECT_GT(lettering.width(), 20) << "toggle " << i << " has a word on it";
    }
    EXPECT_EQ(english.desk.Check1->toolTip(), "Front door");
    EXPECT_EQ(english.desk.Check2->accessibleName(), "Middle door");
}

TEST(EnglishTexts, messages_and_error_descriptions_are_english)
{
    Windows english({ "en-US" });
    english.platform.makerAnswer = MakerLibrary::homepage("libKBT7Res-not-here.so", {});
    english.about.Label5_Click();
    ASSERT_EQ(english.platform.messages.size(), 1u);
    EXPECT_EQ(english.platform.messages[0].title, "Sorhpurl.dll error");
    EXPECT_EQ(english.platform.messages[0].text,
              "File not found: libKBT7Res-not-here.so\r\n\r\n Please report the above to the Soramichi homepage team.");
    EXPECT_EQ(SystemErrors::text(ENOTDIR), "The path is not a folder.");
    EXPECT_EQ(SystemErrors::text(12345), "File system error (12345).");
    EXPECT_EQ(Form1::programTitle(), "Kururin-go");
}

TEST(EnglishTexts, leave_the_settings_file_as_the_japanese_program_writes_it)
{
    QByteArray written[2];
    int i = 0;
    for (const char* ui : { "ja-JP", "en-US" }) {
        Windows windows({ ui });
        // A sign folder with a name in Japanese, which the file keeps in its own encoding.
        const QString folder = windows.platform.scratch.path() + QStringLiteral("/方向幕");
        ASSERT_TRUE(QDir().mkpath(folder));
        windows.bus.SetSignFolderPath(folder);
        windows.bus.SaveIni();
        QFile file(windows.platform.programFolder + QStringLiteral("/RX27A0022.ini"));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << ui;
        written[i++] = file.readAll().replace(QFile::encodeName(windows.platform.scratch.path()), "SCRATCH");
    }
    EXPECT_FALSE(written[0].isEmpty());
    EXPECT_EQ(written[0], written[1]);
}

TEST(JapaneseTexts, stay_the_programs_own_where_english_is_not_asked_for_first)
{
    for (const QStringList& ui : { QStringList { "C" }, QStringList { "de-DE" }, QStringList { "ja-JP", "en-US" } }) {
        SCOPED_TRACE(qPrintable(ui.join(',')));
        Windows windows(ui);
        EXPECT_EQ(windows.language.language(), Language::Japanese);
        EXPECT_EQ(windows.bus.windowTitle(), "くるりん号　-　RX27A0022");
        EXPECT_EQ(windows.desk.windowTitle(), "設定パネル");
        EXPECT_EQ(windows.desk.Frame2->title(), "中扉動作");
        EXPECT_EQ(windows.desk.Option1(0)->text(), "両方");
        EXPECT_EQ(windows.desk.Command1->text(), "方向幕フォルダー");
        EXPECT_EQ(windows.desk.Command3->text(), "バージョン情報");
        EXPECT_EQ(windows.desk.Command2(Keypad::Enter)->text(), "設定");
        EXPECT_EQ(windows.folders.windowTitle(), "画像の位置");
        EXPECT_EQ(windows.folders.Command1->text(), "参照(&B)...");
        EXPECT_EQ(windows.about.Label2->text(), "Varsion　1.0.0");
        EXPECT_EQ(windows.bus.MnuSetKanban->action()->text(), "看板の画像を設定...");
        EXPECT_EQ(SystemErrors::text(ENOENT), "指定したパスが見つかりません。");
    }
}

TEST(JapaneseTexts, every_caption_fits_its_control_too)
{
    Windows japanese({ "ja-JP" });
    for (QWidget* window : japanese.captioned()) {
        SCOPED_TRACE(qPrintable(window->objectName()));
        expectEveryCaptionFits(window);
    }
}

} // namespace
