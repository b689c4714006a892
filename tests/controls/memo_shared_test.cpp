// Shared editor settings given to every editor and memo, and the help component.
#include "controls/kdhhelp.h"
#include "controls/kdmacro.h"
#include "controls/kdmemo.h"
#include "controls/kdsharedsettings.h"
#include "core/kdsub_msg.h"
#include "core/kdsub_options.h"
#include "support/qstring_printer.h"

#include <QDir>
#include <QFile>
#include <QFontInfo>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(SharedSettings, EditorsMemosAndOtherControls)
{
    TkdMemoProp saved = SharedEditorProp();
    TkdMemoProp &prop = SharedEditorProp();
    prop.Font.Name = QStringLiteral("ＭＳ ゴシック");
    prop.Font.Size = 15;
    prop.Caret.TabSpaceCount = 4;
    prop.Leftbar.Visible = false;
    prop.ReserveWordList = {"SELECT", "FROM"};
    QMenu menu;
    SetSharedEditorPopup(&menu);

    TkdMemo memo;
    ApplySharedSettings(&memo);
    EXPECT_EQ(memo.Prop().Font.Size, 15);
    EXPECT_EQ(memo.tabWidth(), 4);
    EXPECT_EQ(memo.marginWidth(0), 0);
    EXPECT_EQ(memo.ReserveWordList(), (QStringList{"FROM", "SELECT"}));
    EXPECT_EQ(memo.MacroList(), SharedMacroList());
    EXPECT_EQ(memo.contextMenuPolicy(), Qt::CustomContextMenu);

    QPlainTextEdit plain;
    ApplySharedSettings(&plain);
    EXPECT_EQ(plain.font().pointSize(), 15);
    EXPECT_EQ(plain.font().family(), QStringLiteral("ＭＳ ゴシック"));

    // Other controls are left alone unless a branch takes them.
    QLabel label;
    const QFont before = label.font();
    ApplySharedSettings(&label);
    EXPECT_EQ(label.font(), before);
    int taken = 0;
    AddSharedSettingsBranch([&](QWidget *w) { return qobject_cast<QLabel *>(w) && ++taken; });
    ApplySharedSettings(&label);
    EXPECT_EQ(taken, 1);
    ApplySharedSettings(nullptr);

    SetSharedEditorPopup(nullptr);
    prop = saved;
}

TEST(SharedSettings, StoredSettingsRoundTrip)
{
    TkdEditorSettings s;
    s.Reset();
    TkdMemoProp prop;
    prop.LoadFrom(s);
    EXPECT_EQ(prop.Font.Name, s.FontName);
    EXPECT_EQ(prop.Font.Size, s.FontSize);
    EXPECT_EQ(prop.Marks.RetMark.Visible, s.RetMarkVisible);
    EXPECT_EQ(prop.View.Colors.Reserve.Color, s.ReserveColor);
    TkdEditorSettings back = s;
    back.FontSize = -1;
    back.ReserveWordList.clear();
    prop.SaveTo(back);
    EXPECT_EQ(back, s);

    // The defaults of the stored settings are those of a fresh property set.
    TkdMemoProp fresh;
    fresh.ReserveWordList = prop.ReserveWordList;
    EXPECT_EQ(prop, fresh);
}

TEST(SharedSettings, EditorFontMapsToInstalledJapaneseFont)
{
    InstallFontSubstitutions();
    struct Case { QString stored; QString shown; };
    const Case cases[] = {
        {"ＭＳ ゴシック", "Noto Sans Mono CJK JP"},
        {"ＭＳ Ｐゴシック", "Noto Sans CJK JP"},
        {"FixedSys", "Noto Sans Mono CJK JP"},
    };
    for (const Case &c : cases) {
        EXPECT_TRUE(QFont::substitutes(c.stored).contains(c.shown, Qt::CaseInsensitive)) << c.stored.toStdString();
        EXPECT_EQ(QFontInfo(QFont(c.stored, 12)).family(), c.shown) << c.stored.toStdString();
    }
}

namespace {
struct HelpFixture : public ::testing::Test {
    QTemporaryDir dir;
    QList<QUrl> opened;
    QStringList messages;
    MessageBoxHook oldHook;
    void SetUp() override
    {
        qputenv("VANTOR_HELP_DIR", dir.path().toLocal8Bit());
        THTMLHelp::SetOpenHook([this](const QUrl &u) {
            opened << u;
            return true;
        });
        oldHook = SetMessageBoxHook([this](MessageBoxRequest &r) {
            messages << r.text;
            return 1;
        });
        THTMLHelp::SetApplicationHelpFile(QString());
    }
    void TearDown() override
    {
        qunsetenv("VANTOR_HELP_DIR");
        THTMLHelp::SetOpenHook({});
        SetMessageBoxHook(oldHook);
        THTMLHelp::SetApplicationHelpFile(QString());
    }
    void Write(const QString &name)
    {
        QFile f(dir.path() + "/" + name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("<html></html>");
    }
};
} // namespace

TEST_F(HelpFixture, ContextsOpenTheirPages)
{
    Write("index.html");
    Write("50200.html");
    THTMLHelp help;
    bool call = true;
    struct Case { int command; qintptr data; QString page; };
    const Case cases[] = {
        {HELP_CONTEXT, 50200, "50200.html"},
        {HELP_INDEX, 0, "index.html"},
        {HELP_FINDER, 0, "index.html"},
        {HELP_CONTEXTPOPUP, 50200, "50200.html"},
    };
    for (const Case &c : cases) {
        opened.clear();
        EXPECT_FALSE(help.OnApplicationHelp(c.command, c.data, call));
        EXPECT_FALSE(call);
        ASSERT_EQ(opened.size(), 1) << c.command;
        EXPECT_EQ(QFileInfo(opened.first().toLocalFile()).fileName(), c.page);
    }
    EXPECT_TRUE(messages.isEmpty());
    help.OnApplicationHelp(HELP_SETPOPUP_POS, 200 * 65536 + 100, call);
    EXPECT_EQ(help.PopupPos(), QPoint(100, 200));
    opened.clear();
    ShowHelpContext(50200);
    EXPECT_EQ(opened.size(), 1);
}

TEST_F(HelpFixture, MissingHelpGivesAClearMessage)
{
    THTMLHelp help;
    bool call = true;
    help.OnApplicationHelp(HELP_CONTEXT, 50200, call);
    EXPECT_TRUE(opened.isEmpty());
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages.first().startsWith("ヘルプファイルが見つかりません。"));
}

TEST_F(HelpFixture, UnknownContextNamesTheMissingPage)
{
    Write("index.html");
    THTMLHelp help;
    bool call = true;
    for (int command : {HELP_CONTEXT, HELP_CONTEXTPOPUP}) {
        messages.clear();
        opened.clear();
        help.OnApplicationHelp(command, 30100, call);
        EXPECT_TRUE(opened.isEmpty()) << command; // never another page in its place
        ASSERT_EQ(messages.size(), 1) << command;
        EXPECT_TRUE(messages.first().startsWith("ヘルプのページが見つかりません。")) << command;
        EXPECT_TRUE(messages.first().endsWith("30100.html")) << command;
    }
}

TEST_F(HelpFixture, OtherHelpFilesAreNotHandled)
{
    Write("index.html");
    THTMLHelp::SetApplicationHelpFile("/somewhere/manual.hlp");
    THTMLHelp help;
    bool call = true;
    EXPECT_FALSE(help.OnApplicationHelp(HELP_INDEX, 0, call));
    EXPECT_TRUE(call);
    EXPECT_TRUE(opened.isEmpty());
}
