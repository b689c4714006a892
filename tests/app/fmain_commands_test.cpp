// The main window's commands on the real window: every stored-shortcut action with its default
// key, the menus, the enabling rules of the editing commands and what the commands do, the
// user-command and report submenus, the menu merge of child windows, help and the status bar.
#include "app/fmain.h"
#include "app/fsupport.h"
#include "app/stubconn.h"
#include "controls/kdhhelp.h"
#include "controls/kdmacro.h"
#include "controls/kdmemo.h"
#include "controls/kdstsbar.h"
#include "core/kdopeners.h"
#include "core/kdreg.h"
#include "core/kdshortcut.h"
#include "core/kdsub_msg.h"
#include "core/kdsub_options.h"
#include "core/kdsub_sql.h"
#include "core/kdsub_start.h"
#include "support/qstring_printer.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QToolBar>
#include <QClipboard>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QStatusTipEvent>
#include <QTest>
#include <QVBoxLayout>
#include <gtest/gtest.h>

namespace {

void Flush()
{
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

QStringList MenuTexts(const QMenu *menu)
{
    QStringList texts;
    for (QAction *a : menu->actions())
        if (a->isVisible() || a->isSeparator())
            texts << (a->isSeparator() ? QStringLiteral("-") : a->text());
    return texts;
}

// A child window holding an SQL editor, a read-only SQL editor and an edit box.
class EditorChild : public QWidget
{
public:
    EditorChild()
    {
        auto *box = new QVBoxLayout(this);
        memo = new TkdMemo;
        readOnly = new TkdMemo;
        readOnly->setReadOnly(true);
        edit = new QLineEdit;
        box->addWidget(memo);
        box->addWidget(readOnly);
        box->addWidget(edit);
        resize(500, 400);
    }
    TkdMemo *memo;
    TkdMemo *readOnly;
    QLineEdit *edit;
};

class MainCommandsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        FOldHook = SetMessageBoxHook([this](MessageBoxRequest &r) {
            Boxes << r.text;
            if (OnBox)
                OnBox(r);
            return Answer;
        });
        SetLogonProc([](const TLogonValues &, bool) { return true; });
        kdopeners::Clear();
    }
    void TearDown() override
    {
        if (Main) {
            Main->SetCloseSteps({});
            delete Main;
        }
        Flush();
        kdopeners::Clear();
        SetLogonProc({});
        SetMessageBoxHook(FOldHook);
    }
    TfrmMain *Make()
    {
        Main = new TfrmMain(QStringList());
        Main->SetCloseSteps({});
        Main->show();
        QApplication::setActiveWindow(Main);
        Flush();
        return Main;
    }
    EditorChild *AddEditor()
    {
        auto *child = new EditorChild;
        Main->AddChildWindow(child);
        Flush();
        return child;
    }
    void Focus(QWidget *w)
    {
        QApplication::setActiveWindow(Main);
        w->setFocus();
        Flush();
        Main->UpdateEditActions();
    }
    bool On(const char *name) const { return Main->Act(QLatin1String(name))->isEnabled(); }
    void Trigger(const char *name) { Main->Act(QLatin1String(name))->trigger(); }

    TfrmMain *Main = nullptr;
    QStringList Boxes;
    int Answer = IDOK;
    std::function<void(MessageBoxRequest &)> OnBox;

private:
    MessageBoxHook FOldHook;
};

} // namespace

TEST_F(MainCommandsTest, EveryStoredShortcutBelongsToAnActionOfTheMainWindowWithItsDefaultKey)
{
    Make();
    int count = 0;
    for (const TShortcutRow &row : ShortcutRows()) {
        SCOPED_TRACE(row.Action);
        QAction *a = Main->FindAction(QLatin1String(row.Action));
        ASSERT_NE(a, nullptr);
        EXPECT_EQ(ShortCutToText(a->shortcut()), QLatin1String(row.Default));
        ++count;
    }
    EXPECT_EQ(count, 67);
    // Keys a user reaches first.
    const std::pair<const char *, QKeySequence> keys[] = {
        {"actViewSQL", QKeySequence(Qt::CTRL | Qt::Key_S)},      {"actViewField", QKeySequence(Qt::CTRL | Qt::Key_T)},
        {"actViewTemplate", QKeySequence(Qt::CTRL | Qt::Key_J)}, {"actEditFind", QKeySequence(Qt::CTRL | Qt::Key_F)},
        {"actEditFindPrev", QKeySequence(Qt::SHIFT | Qt::Key_F3)}, {"actEditComment", QKeySequence(Qt::CTRL | Qt::Key_Minus)},
        {"actEditJump", QKeySequence(Qt::CTRL | Qt::Key_G)},     {"actDelete", QKeySequence(Qt::Key_Delete)},
    };
    for (const auto &[name, key] : keys)
        EXPECT_EQ(Main->Act(QLatin1String(name))->shortcut(), key) << name;
    // The connection window's carriers never fire in the main window.
    EXPECT_EQ(Main->Act("actDelete")->shortcutContext(), Qt::WidgetShortcut);
}

TEST_F(MainCommandsTest, StoredShortcutsComeBackOnTheNextStart)
{
    Make();
    Main->Act("actViewSQL")->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Q));
    Main->Act("actEditUndo")->setShortcut(QKeySequence());
    const QStringList warnings = SaveSettings();
    EXPECT_TRUE(warnings.isEmpty()) << warnings.join(QLatin1Char('\n')).toStdString();
    delete Main;
    Main = nullptr;
    Make();
    EXPECT_EQ(Main->Act("actViewSQL")->shortcut(), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Q));
    // A cleared shortcut stays cleared.
    EXPECT_TRUE(Main->Act("actEditUndo")->shortcut().isEmpty());
    EXPECT_EQ(Main->Act("actEditRedo")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Y));
    // Back to the defaults for the other tests.
    Main->Act("actViewSQL")->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    Main->Act("actEditUndo")->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    SaveSettings();
}

TEST_F(MainCommandsTest, MenusHoldTheCommandsInTheirOrder)
{
    Make();
    QStringList top;
    for (QAction *a : Main->menuBar()->actions())
        top << a->text();
    EXPECT_EQ(top, (QStringList{"ファイル(&F)", "編集(&E)", "表示(&V)", "管理(&A)", "ツール(&T)", "ウィンドウ(&W)", "ヘルプ(&H)"}));
    auto menu = [this](const char *name) { return Main->menuBar()->findChild<QMenu *>(QLatin1String(name)); };
    EXPECT_EQ(MenuTexts(menu("mnuFile")),
              (QStringList{"コミット(&C)", "ロールバック(&R)", "データベース接続(&L)", "データベース切断(&D)", "-", "終了(&X)"}));
    EXPECT_EQ(MenuTexts(menu("mnuEdit")),
              (QStringList{"元に戻す(&U)", "やり直し(&R)", "-", "切り取り(&T)", "コピー(&C)", "貼り付け(&P)", "削除(&D)",
                           "名前の変更(&H)", "すべて選択(&L)", "矩形選択モード(&B)", "-", "検索(&F)", "次を検索(&S)",
                           "前を検索(&P)", "置換(&E)...", "行ジャンプ(&J)...", "-", "SQL整形(&O)", "コメント挿入/削除", "-",
                           "大文字に変更", "小文字に変更", "-", "インデント", "逆インデント", "-", "マクロ記録開始",
                           "マクロ実行", "-", "定義情報"}));
    // The editor pop-up: no rename, two View commands at the end; its open item carries Ctrl+O.
    const QStringList pop = MenuTexts(Main->popEditor);
    EXPECT_FALSE(pop.contains(QStringLiteral("名前の変更(&H)")));
    EXPECT_EQ(pop.mid(pop.size() - 3), (QStringList{"定義情報", "表・列", "SQLリファレンス"}));
    EXPECT_EQ(Main->findChild<QAction *>(QStringLiteral("mnuPopEditOpen"))->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_O));
    EXPECT_EQ(Main->mnuMacroRun->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_M));
    EXPECT_EQ(MenuTexts(menu("mnuAdmin")),
              (QStringList{"ユーザー情報(&U)", "テーブルスペース情報(&T)", "セッション情報(&S)", "ロック情報(&L)", "サーバ情報(&D)",
                           "パフォーマンス情報(&Q)", "-", "バックアップ(&B)", "リストア(&E)", "ロード(&O)"}));
    EXPECT_EQ(MenuTexts(Main->mnuToolBar),
              (QStringList{"標準", "編集", "表示", "ツール", "管理", "新規作成", "-", "位置の初期化"}));
    const QStringList view = MenuTexts(menu("mnuDisplay"));
    EXPECT_EQ(view.mid(0, 4), (QStringList{"SQL実行(&S)", "スクリプト実行", "表・列", "SQLリファレンス"}));
    EXPECT_TRUE(view.contains(QStringLiteral("ワークスペース")));
    // No web address is set, so the home-page submenu stays hidden.
    EXPECT_FALSE(Main->mnuHelpHomePage->menuAction()->isVisible());
    // Hints: the short text is the tool tip.
    EXPECT_EQ(Main->Act("actDBCommit")->toolTip(), QStringLiteral("COMMIT"));
    EXPECT_EQ(Main->Act("actEditRename")->whatsThis(), QStringLiteral("選択中のオブジェクト名を変更します。"));
}

TEST_F(MainCommandsTest, SixToolBarsCarryTheirCommandsAndConnectionCommandsFollowTheSelector)
{
    Make();
    for (QToolBar *bar : {Main->pnlDB, Main->pnlEdit, Main->pnlTool, Main->pnlAdmin, Main->pnlNewObj, Main->pnlTool2}) {
        SCOPED_TRACE(bar->objectName().toStdString());
        EXPECT_TRUE(bar->isVisible());
        EXPECT_TRUE(bar->isMovable());
        EXPECT_EQ(Main->toolBarArea(bar), Qt::TopToolBarArea);
    }
    EXPECT_EQ(Main->pnlNewObj->actions().size(), 9);
    EXPECT_EQ(Main->pnlAdmin->actions().size(), 6);
    for (QAction *a : {Main->btnNewTable, Main->actAdminUser, Main->actViewSQL, Main->mnuReload, Main->mnuDispList})
        EXPECT_FALSE(a->isEnabled()) << a->objectName().toStdString();
    auto *conn = StubConnForm::Open(Main, QStringLiteral("u"), QStringLiteral("db"));
    for (QAction *a : {Main->btnNewTable, Main->actAdminUser, Main->actViewSQL, Main->mnuReload, Main->mnuDispList})
        EXPECT_TRUE(a->isEnabled()) << a->objectName().toStdString();
    // List and detail style reach every connection window.
    Main->mnuDispList->trigger();
    EXPECT_FALSE(conn->ReportStyle);
    EXPECT_FALSE(Main->ObjectListReport());
    Main->mnuDispReport->trigger();
    EXPECT_TRUE(conn->ReportStyle);
    // A new-object button opens an empty editor of its type in the current schema.
    conn->SetParam(QStringLiteral("MetaDefSchema"), QStringLiteral("sales"));
    Main->btnNewView->trigger();
    EXPECT_EQ(conn->Opened, QStringList{QStringLiteral("47|sales||0|0|0|")});
}

TEST_F(MainCommandsTest, WindowCommandsGoThroughTheOpenerTable)
{
    Make();
    QStringList opened;
    kdopeners::Register(QStringLiteral("TfrmSQL"), [&](const TOpenerArgs &a) {
        opened << QStringLiteral("SQL:") + (a.Owner ? a.Owner->Identity() : QString());
        return nullptr;
    });
    kdopeners::Register(QStringLiteral("TfrmField"), [&](const TOpenerArgs &a) {
        opened << a.Values.value(QStringLiteral("Schema")).toString() + QLatin1Char('.')
                      + a.Values.value(QStringLiteral("TableName")).toString();
        return nullptr;
    });
    // Without a connection the commands do nothing even when invoked.
    Main->actViewSQL->trigger();
    EXPECT_TRUE(opened.isEmpty());
    EXPECT_TRUE(Boxes.isEmpty());
    StubConnForm::Open(Main, QStringLiteral("u"), QStringLiteral("db"));
    Main->actViewSQL->trigger();
    EXPECT_EQ(opened, QStringList{QStringLiteral("SQL:u @ db/localhost:5432")});
    // Tables and columns take the editor's selection, upper-cased and split at the first dot.
    EditorChild *child = AddEditor();
    child->memo->setText(QStringLiteral("select * from public.emp"));
    child->memo->setSelection(0, 14, 0, 24);
    Focus(child->memo);
    Main->actViewField->trigger();
    EXPECT_EQ(opened.last(), QStringLiteral("PUBLIC.EMP"));
    // A window not built yet says so.
    Main->actAdminSession->trigger();
    EXPECT_EQ(Boxes, QStringList{kdopeners::NotAvailableText()});
}

TEST_F(MainCommandsTest, EditingCommandsAreEnabledByTheFocusedControl)
{
    Make();
    EditorChild *child = AddEditor();
    QApplication::clipboard()->setText(QStringLiteral("clip"));
    struct Row {
        const char *action;
        bool writableNoSel, writableSel, readOnlySel, lineEdit;
    };
    const Row rows[] = {
        {"actEditUndo", true, true, false, true},       {"actEditRedo", true, true, false, true},
        {"actEditCut", true, true, false, true},        {"actEditDelete", true, true, false, true},
        {"actEditCopy", true, true, true, true},        {"actEditSelectAll", true, true, true, true},
        {"actEditPaste", true, true, false, true},      {"actEditReplace", true, true, false, false},
        {"actEditFind", true, true, true, false},       {"actEditJump", true, true, true, false},
        {"actEditFormat", true, true, false, false},    {"actEditComment", true, true, false, false},
        {"actEditUpperCase", false, true, false, true}, {"actEditIndentF", false, true, false, true},
        {"actEditOpen", false, true, false, true},      {"actEditMacroSave", true, true, false, false},
        {"actEditMacroExec", false, false, false, false}, {"actEditRename", true, true, true, true},
        {"actEditSelectMode", true, true, true, false},
    };
    child->memo->setText(QStringLiteral("select 1"));
    child->readOnly->setText(QStringLiteral("select 2"));
    Focus(child->memo);
    for (const Row &r : rows)
        EXPECT_EQ(On(r.action), r.writableNoSel) << "writable, no selection: " << r.action;
    child->memo->setSelection(0, 0, 0, 6);
    Flush();
    for (const Row &r : rows)
        EXPECT_EQ(On(r.action), r.writableSel) << "writable, selection: " << r.action;
    child->readOnly->setSelection(0, 0, 0, 6);
    Focus(child->readOnly);
    for (const Row &r : rows)
        EXPECT_EQ(On(r.action), r.readOnlySel) << "read-only: " << r.action;
    Focus(child->edit);
    for (const Row &r : rows)
        EXPECT_EQ(On(r.action), r.lineEdit) << "edit box: " << r.action;
    // Formatting needs text that is not blank.
    child->memo->setText(QStringLiteral("   \n  "));
    Focus(child->memo);
    EXPECT_FALSE(On("actEditFormat"));
    // Paste needs text on the clipboard.
    QApplication::clipboard()->clear();
    Flush();
    EXPECT_FALSE(On("actEditPaste"));
}

TEST_F(MainCommandsTest, EditBoxCommandsActOnTheBoxAndRedoUndoes)
{
    Make();
    EditorChild *child = AddEditor();
    Focus(child->edit);
    QTest::keyClicks(child->edit, QStringLiteral("abc"));
    child->edit->setSelection(1, 2);
    Trigger("actEditUpperCase");
    EXPECT_EQ(child->edit->text(), QStringLiteral("aBC"));
    Trigger("actEditSelectAll");
    EXPECT_EQ(child->edit->selectedText(), QStringLiteral("aBC"));
    Trigger("actEditDelete");
    EXPECT_EQ(child->edit->text(), QString());
    Trigger("actEditRedo");  // an edit box has no redo: it undoes
    EXPECT_EQ(child->edit->text(), QStringLiteral("aBC"));
}

TEST_F(MainCommandsTest, FindNextFindPreviousAndTheirMessages)
{
    Make();
    EditorChild *child = AddEditor();
    child->memo->setText(QStringLiteral("日本語 Emp\nemp emp\nEMP"));
    child->memo->setCursorPosition(0, 0);
    Focus(child->memo);
    Main->FindDialog();
    Main->FindText()->setText(QStringLiteral("emp"));
    Main->FindMatchCase()->setChecked(true);
    Trigger("actEditFindNext");
    int l1, i1, l2, i2;
    child->memo->getSelection(&l1, &i1, &l2, &i2);
    EXPECT_EQ((QList<int>{l1, i1, l2, i2}), (QList<int>{1, 0, 1, 3}));
    Trigger("actEditFindNext");
    child->memo->getSelection(&l1, &i1, &l2, &i2);
    EXPECT_EQ((QList<int>{l1, i1}), (QList<int>{1, 4}));
    Trigger("actEditFindNext");
    EXPECT_EQ(Boxes, QStringList{QStringLiteral("検索文字列 emp は見つかりませんでした。")});
    // Backward without match case from the end.
    Main->FindMatchCase()->setChecked(false);
    child->memo->setCursorPosition(2, 3);
    Trigger("actEditFindPrev");
    child->memo->getSelection(&l1, &i1, &l2, &i2);
    EXPECT_EQ((QList<int>{l1, i1}), (QList<int>{2, 0}));
    // Japanese text before a match keeps the character positions.
    child->memo->setCursorPosition(1, 0);
    Trigger("actEditFindPrev");
    EXPECT_EQ(child->memo->selectedText(), QStringLiteral("Emp"));
    EXPECT_EQ(child->memo->SelStart(), 4);
    EXPECT_EQ(child->memo->SelLength(), 3);
    // Find next from the replace dialog uses that dialog's match-case flag.
    Main->ReplaceDialog();
    Main->ReplaceFindText()->setText(QStringLiteral("EMP"));
    Main->ReplaceMatchCase()->setChecked(true);
    child->memo->setCursorPosition(0, 0);
    Main->EditFindNext(true);
    child->memo->getSelection(&l1, &i1, &l2, &i2);
    EXPECT_EQ((QList<int>{l1, i1}), (QList<int>{2, 0}));
}

TEST_F(MainCommandsTest, ReplaceAndReplaceAll)
{
    Make();
    EditorChild *child = AddEditor();
    Focus(child->memo);
    Main->ReplaceDialog();
    struct Case {
        const char *text, *find, *with;
        bool matchCase;
        const char *result;
        int count;
    };
    const Case cases[] = {
        // A replacement holding the find text is not found again.
        {"a a\na", "a", "aa", false, "aa aa\naa", 3},
        {"Abc abc ABC", "abc", "x", true, "Abc x ABC", 1},
        {"Abc abc ABC", "abc", "x", false, "x x x", 3},
        {"nothing here", "zzz", "y", false, "nothing here", 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        Boxes.clear();
        child->memo->setText(QString::fromUtf8(c.text));
        Main->ReplaceFindText()->setText(QString::fromUtf8(c.find));
        Main->ReplaceText()->setText(QString::fromUtf8(c.with));
        Main->ReplaceMatchCase()->setChecked(c.matchCase);
        Main->ReplaceAll();
        EXPECT_EQ(child->memo->text(), QString::fromUtf8(c.result));
        EXPECT_EQ(Boxes, QStringList{QString::number(c.count) + QStringLiteral("個の置換を行いました。")});
    }
    // One undo step takes the whole replacement back.
    child->memo->setText(QStringLiteral("x x x"));
    Main->ReplaceFindText()->setText(QStringLiteral("x"));
    Main->ReplaceText()->setText(QStringLiteral("y"));
    Main->ReplaceAll();
    child->memo->undo();
    EXPECT_EQ(child->memo->text(), QStringLiteral("x x x"));
    // An empty find text does nothing at all.
    Boxes.clear();
    Main->ReplaceFindText()->clear();
    Main->ReplaceAll();
    EXPECT_TRUE(Boxes.isEmpty());
    // Replace: the selection equal to the find text is replaced, then the next one is found.
    child->memo->setText(QStringLiteral("ab AB ab"));
    Main->ReplaceFindText()->setText(QStringLiteral("ab"));
    Main->ReplaceText()->setText(QStringLiteral("X"));
    Main->ReplaceMatchCase()->setChecked(false);
    child->memo->setSelection(0, 0, 0, 2);
    Main->ReplaceOne();
    EXPECT_EQ(child->memo->text(), QStringLiteral("X AB ab"));
    EXPECT_EQ(child->memo->selectedText(), QStringLiteral("AB"));
    child->memo->setCursorPosition(0, 7);
    Main->ReplaceOne();
    EXPECT_EQ(Boxes.last(), QStringLiteral("検索文字列abは見つかりませんでした。"));
}

TEST_F(MainCommandsTest, JumpAsksForALineAndReportsOneItCannotReach)
{
    Make();
    EditorChild *child = AddEditor();
    child->memo->setText(QStringLiteral("1\n2\n3\n4\n5"));
    Focus(child->memo);
    QString answer;
    OnBox = [&](MessageBoxRequest &r) {
        if (r.kind == MessageBoxRequest::Kind::Input)
            r.value = answer;
    };
    struct Case {
        const char *typed;
        int row;            // expected caret row, -1: a message
        const char *message;
    };
    const Case cases[] = {
        {" 4 ", 3, nullptr},
        {"5", 4, nullptr},
        {"6", -1, "指定行 6 は見つかりませんでした。"},
        {"x1", -1, "指定行 x1 は見つかりませんでした。"},
        {"-3", 0, nullptr},  // below line 1: the first line, no failure
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.typed);
        Boxes.clear();
        answer = QString::fromUtf8(c.typed);
        child->memo->setCursorPosition(1, 0);
        Main->EditJump();
        if (c.row >= 0) {
            EXPECT_EQ(child->memo->Row(), c.row);
            EXPECT_EQ(Boxes.size(), 1);  // the question only
        } else {
            EXPECT_EQ(Boxes.last(), QString::fromUtf8(c.message));
        }
    }
}

TEST_F(MainCommandsTest, FormattingStartsAtTheSelectedLineAndRefusesLongLines)
{
    Make();
    EditorChild *child = AddEditor();
    Focus(child->memo);
    child->memo->setText(QStringLiteral("-- 日本語\nselect a,b from t where x=1"));
    // A selection from the middle of the second line formats the whole line.
    child->memo->setSelection(1, 9, 1, 28);
    Main->EditFormat();
    const QString text = child->memo->text();
    EXPECT_TRUE(text.startsWith(QStringLiteral("-- 日本語\n"))) << text.toStdString();
    EXPECT_EQ(text.mid(text.indexOf(QLatin1Char('\n')) + 1), FormatSQL(QStringLiteral("select a,b from t where x=1")));
    // One line over 1000 characters anywhere refuses the whole command.
    const QString longLine = QStringLiteral("select 1 ") + QString(1000, QLatin1Char('x'));
    child->memo->setText(QStringLiteral("select 1\n") + longLine);
    child->memo->setSelection(0, 0, 0, 8);
    Main->EditFormat();
    EXPECT_EQ(child->memo->text(), QStringLiteral("select 1\n") + longLine);
    EXPECT_EQ(Boxes, QStringList{QStringLiteral("1行の文字数が1000文字を超えているため、整形できません。")});
}

TEST_F(MainCommandsTest, MacroRecordingTogglesItsCaptionAndRunIsEnabledAfterARecording)
{
    Make();
    EditorChild *child = AddEditor();
    child->memo->SetMacroList(SharedMacroList());
    Focus(child->memo);
    EXPECT_EQ(Main->Act("actEditMacroSave")->text(), QStringLiteral("マクロ記録開始"));
    Trigger("actEditMacroSave");
    EXPECT_EQ(Main->Act("actEditMacroSave")->text(), QStringLiteral("マクロ記録終了"));
    EXPECT_FALSE(On("actEditMacroExec"));
    QTest::keyClicks(child->memo, QStringLiteral("ab"));
    Trigger("actEditMacroSave");
    EXPECT_EQ(Main->Act("actEditMacroSave")->text(), QStringLiteral("マクロ記録開始"));
    EXPECT_TRUE(On("actEditMacroExec"));
    Trigger("actEditMacroExec");
    EXPECT_EQ(child->memo->text(), QStringLiteral("abab"));
}

TEST_F(MainCommandsTest, IndentSelectionModeAndCommentOnTheEditor)
{
    Make();
    EditorChild *child = AddEditor();
    child->memo->setText(QStringLiteral("a\nb\nc"));
    child->memo->setSelection(0, 0, 1, 1);
    Focus(child->memo);
    Trigger("actEditIndentF");
    EXPECT_TRUE(child->memo->RowText(0).startsWith(QLatin1Char(' ')) || child->memo->RowText(0).startsWith(QLatin1Char('\t')));
    EXPECT_NE(child->memo->RowText(1), QStringLiteral("b"));
    EXPECT_EQ(child->memo->RowText(2), QStringLiteral("c"));
    Trigger("actEditIndentR");
    EXPECT_EQ(child->memo->text(), QStringLiteral("a\nb\nc"));
    Trigger("actEditSelectMode");
    EXPECT_EQ(child->memo->SelectionMode(), TkdMemo::smBox);
    EXPECT_TRUE(Main->Act("actEditSelectMode")->isChecked());
    EXPECT_FALSE(On("actEditFormat"));  // formatting needs line mode
    Trigger("actEditSelectMode");
    EXPECT_EQ(child->memo->SelectionMode(), TkdMemo::smLine);
}

TEST_F(MainCommandsTest, MainShortcutsDoNotFireWhileTheFindDialogIsActive)
{
    Make();
    int sqlWindows = 0;
    kdopeners::Register(QStringLiteral("TfrmSQL"), [&](const TOpenerArgs &) {
        ++sqlWindows;
        return nullptr;
    });
    StubConnForm::Open(Main, QStringLiteral("u"), QStringLiteral("db"));
    EditorChild *child = AddEditor();
    Focus(child->memo);
    QTest::keyClick(child->memo, Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(sqlWindows, 1);
    Focus(child->memo);
    Main->EditFind();
    QDialog *find = Main->FindDialog();
    QApplication::setActiveWindow(find);
    Flush();
    ASSERT_TRUE(find->isVisible());
    QTest::keyClick(Main->FindText(), Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(sqlWindows, 1);
}

TEST_F(MainCommandsTest, UserCommandMenuIsOrderedByNumberThenNameAndRebuildsCleanly)
{
    const QString dir = AppDataFolder() + QStringLiteral("USERCMD/");
    QDir().mkpath(dir);
    auto write = [&](const QString &name, const QString &body) {
        QFile f(dir + name + QStringLiteral(".cmd"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(body.toUtf8());
    };
    write(QStringLiteral("B"), QStringLiteral("<KDDOC KDDOC-VERSION=\"2\"><USERCMD SEQ=\"1\" SHORTCUT=\"16449\"/></KDDOC>"));
    write(QStringLiteral("A"), QStringLiteral("<KDDOC KDDOC-VERSION=\"2\"><USERCMD SEQ=\"1\"/></KDDOC>"));
    write(QStringLiteral("C"), QStringLiteral("<KDDOC KDDOC-VERSION=\"2\"><USERCMD SEQ=\"0\"/></KDDOC>"));
    write(QStringLiteral("D&E"), QStringLiteral("<KDDOC KDDOC-VERSION=\"3\"><USERCMD SEQ=\"9\"/></KDDOC>"));
    write(QStringLiteral("F"), QStringLiteral("not xml"));
    Make();
    Main->SetCommandList();
    Main->SetCommandList();
    QStringList names;
    for (QAction *a : Main->mnuCommandMenu->actions())
        names << (a->isSeparator() ? QStringLiteral("-") : a->text());
    // C (0), then the unreadable ones with 0 in name order, then B and A (1) by the exchange sort.
    EXPECT_EQ(names, (QStringList{"C", "D&&E", "F", "B", "A", "-", "ユーザー定義コマンドの登録(&M)"}));
    EXPECT_EQ(Main->mnuCommandMenu->actions().at(3)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_A));
    QDir(dir).removeRecursively();
    Main->SetCommandList();
    EXPECT_EQ(Main->mnuCommandMenu->actions().size(), 2);
}

TEST(UserCommandOrder, ExchangeSortByNumberAfterTheNameSort)
{
    const QList<TCommandEntry> sorted = OrderCommandEntries({{"B", 1}, {"A", 1}, {"C", 0}});
    QStringList names;
    for (const TCommandEntry &e : sorted)
        names << e.Name;
    EXPECT_EQ(names, (QStringList{"C", "B", "A"}));
    const QList<TCommandEntry> plain = OrderCommandEntries({{"b", 0}, {"C", 0}, {"a", 0}});
    EXPECT_EQ(plain.at(0).Name, QStringLiteral("a"));
    EXPECT_EQ(plain.at(2).Name, QStringLiteral("C"));
}

TEST(ReportTags, ObjectListKindIsZeroOtherKindsTheirOutputTypePlusOne)
{
    QTemporaryDir dir;
    struct Case {
        const char *body;
        int tag;
    };
    const Case cases[] = {
        {"<KDDOC KDDOC-VERSION=\"2\"><XLSDEF TYPE=\"OBJECT\" OUTPUTTYPE=\"1\"/></KDDOC>", 0},
        {"<KDDOC KDDOC-VERSION=\"2\"><XLSDEF TYPE=\"TABLE\" OUTPUTTYPE=\"1\"/></KDDOC>", 2},
        {"<KDDOC><XLSDEF TYPE=\"VIEW\"/></KDDOC>", 1},
        {"<KDDOC KDDOC-VERSION=\"2\"><XLSDEF TYPE=\"UNKNOWN\" OUTPUTTYPE=\"1\"/></KDDOC>", 0},
        {"<KDDOC KDDOC-VERSION=\"3\"><XLSDEF TYPE=\"TABLE\"/></KDDOC>", 0},
        {"<OTHER><XLSDEF TYPE=\"TABLE\"/></OTHER>", 0},
        {"<KDDOC/>", 0},
        {"broken", 0},
    };
    int n = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.body);
        const QString path = dir.filePath(QString::number(n++) + QStringLiteral(".def"));
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(c.body);
        f.close();
        EXPECT_EQ(ReadReportTag(path), c.tag);
    }
    EXPECT_EQ(ReadReportTag(dir.filePath(QStringLiteral("missing.def"))), 0);
}

TEST(ShortcutCodes, CommandFileCodesConvertBothWays)
{
    struct Case {
        int code;
        QKeySequence key;
    };
    const Case cases[] = {
        {0x4041, QKeySequence(Qt::CTRL | Qt::Key_A)},
        {0x2000 | 0x70, QKeySequence(Qt::SHIFT | Qt::Key_F1)},
        {0x8000 | 0x4000 | 0x31, QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_1)},
        {0x2E, QKeySequence(Qt::Key_Delete)},
        {0x4000 | 0xBD, QKeySequence(Qt::CTRL | Qt::Key_Minus)},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(ShortcutCodeToKeySequence(c.code), c.key) << c.code;
        EXPECT_EQ(KeySequenceToShortcutCode(c.key), c.code) << c.code;
    }
    EXPECT_TRUE(ShortcutCodeToKeySequence(0).isEmpty());
    EXPECT_TRUE(ShortcutCodeToKeySequence(0x4000 | 0xFF).isEmpty());
}

TEST_F(MainCommandsTest, ReportItemsNeedASelectedObjectOfTheCurrentConnection)
{
    const QString dir = AppDataFolder() + QStringLiteral("xlsdef/");
    QDir().mkpath(dir);
    QFile f(dir + QStringLiteral("Tables.def"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("<KDDOC KDDOC-VERSION=\"2\"><XLSDEF TYPE=\"TABLE\" OUTPUTTYPE=\"0\"/></KDDOC>");
    f.close();
    Make();
    QAction *item = Main->mnuReportMenu->actions().value(0);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->text(), QStringLiteral("Tables"));
    EXPECT_EQ(item->data().toInt(), 1);
    auto refresh = [this] { QMetaObject::invokeMethod(Main->mnuReportMenu, "aboutToShow"); };
    refresh();
    EXPECT_FALSE(item->isEnabled());
    auto *conn = StubConnForm::Open(Main, QStringLiteral("u"), QStringLiteral("db"));
    refresh();
    EXPECT_FALSE(item->isEnabled());
    conn->Selected = 1;
    refresh();
    EXPECT_TRUE(item->isEnabled());
    EXPECT_TRUE(Main->Act("actToolReportSetup")->isEnabled());
    QDir(dir).removeRecursively();
}

TEST_F(MainCommandsTest, ChildMenuJoinsAfterTheViewMenuAndLeavesAgain)
{
    Make();
    auto titles = [this] {
        QStringList t;
        for (QAction *a : Main->menuBar()->actions())
            t << a->text();
        return t;
    };
    QMenu objects(QStringLiteral("オブジェクトリスト(&O)"));
    QMenu other(QStringLiteral("その他"));
    Main->MergeMenu(&objects);
    EXPECT_EQ(titles().at(3), QStringLiteral("オブジェクトリスト(&O)"));
    Main->MergeMenu(&objects);
    EXPECT_EQ(titles().count(QStringLiteral("オブジェクトリスト(&O)")), 1);
    Main->MergeMenu(&other);
    EXPECT_FALSE(titles().contains(QStringLiteral("オブジェクトリスト(&O)")));
    EXPECT_EQ(titles().at(3), QStringLiteral("その他"));
    Main->MergeMenu(nullptr);
    EXPECT_EQ(titles().size(), 7);
}

TEST_F(MainCommandsTest, HintsNeverOverwriteTheStatusPanels)
{
    Make();
    Main->SetStatusText(QStringLiteral("3個のオブジェクトがあります。"));
    QStatusTipEvent tip(QStringLiteral("SQL実行画面を開きます。"));
    QApplication::sendEvent(Main, &tip);
    QStatusTipEvent fromBar(QStringLiteral("データベースに接続します。"));
    QApplication::sendEvent(Main->pnlDB, &fromBar);
    Flush();
    EXPECT_EQ(Main->StatusText(2), QStringLiteral("3個のオブジェクトがあります。"));
    EXPECT_TRUE(Main->stsMain->Panel(2)->isVisible());
    EXPECT_TRUE(Main->stsMain->currentMessage().isEmpty());
}

TEST_F(MainCommandsTest, F1OpensAnExistingPageOfTheFocusedWindow)
{
    Make();
    QList<QUrl> opened;
    THTMLHelp::SetOpenHook([&](const QUrl &url) {
        opened << url;
        return true;
    });
    EditorChild *child = AddEditor();
    child->setProperty("HelpContext", 50200);
    Focus(child->memo);
    QTest::keyClick(child->memo, Qt::Key_F1);
    Focus(Main->cmbDBName);
    QTest::keyClick(Main->cmbDBName, Qt::Key_F1);
    Trigger("actHelp");
    THTMLHelp::SetOpenHook({});
    ASSERT_EQ(opened.size(), 3);
    EXPECT_TRUE(opened.at(0).toLocalFile().endsWith(QStringLiteral("/50200.html")));
    EXPECT_TRUE(opened.at(1).toLocalFile().endsWith(QStringLiteral("/100.html")));
    EXPECT_TRUE(opened.at(2).toLocalFile().endsWith(QStringLiteral("/index.html")));
    for (const QUrl &url : opened)
        EXPECT_TRUE(QFileInfo::exists(url.toLocalFile())) << url.toString().toStdString();
    EXPECT_TRUE(Boxes.isEmpty()) << Boxes.join(QLatin1Char('\n')).toStdString();
}

TEST(SupportInformation, TextShowsPathsAsTheyAreAndSplitsTheSearchPath)
{
    TSupportFacts f;
    f.Version = QStringLiteral("0.1 (x86_64)");
    f.ProgramPath = QStringLiteral("/opt/Kelvane/bin/vantor");
    f.LibpqPath = QStringLiteral("/usr/lib/x86_64-linux-gnu/libpq.so.5");
    f.LibpqVersion = 150004;
    f.OS = QStringLiteral("Debian GNU/Linux 12 (bookworm)");
    f.Group = QStringLiteral("staff");
    f.Path = QStringLiteral("/usr/Local/bin:/usr/bin:");
    const QStringList text = SupportText(f);
    EXPECT_EQ(text, (QStringList{
                        "【Kelvane情報】",
                        "  バージョン         : 0.1 (x86_64)",
                        "  プログラムのパス   : /opt/Kelvane/bin/vantor",
                        "",
                        "【PostgreSQL情報】",
                        "  libpqのパス        : /usr/lib/x86_64-linux-gnu/libpq.so.5",
                        "  libpqのバージョン  : 15.4",
                        "",
                        "【OS情報】",
                        "  OS                 : Debian GNU/Linux 12 (bookworm)",
                        "  ユーザ権限         : staff",
                        "  PATH環境変数       : /usr/Local/bin",
                        "                       /usr/bin",
                        "                       ",
                    }));
    // The running system gives every fact.
    const TSupportFacts here = SupportFacts();
    EXPECT_TRUE(here.LibpqPath.contains(QStringLiteral("libpq"))) << here.LibpqPath.toStdString();
    EXPECT_GT(here.LibpqVersion, 0);
    EXPECT_FALSE(here.Group.isEmpty());
}

TEST_F(MainCommandsTest, SupportDialogCopiesItsTextOnce)
{
    Make();
    TfrmSupport dlg(Main);
    QApplication::clipboard()->clear();
    dlg.actCopyExecute();
    EXPECT_EQ(Boxes, QStringList{QStringLiteral("クリップボードに出力しました。")});
    EXPECT_EQ(QApplication::clipboard()->text(), dlg.txtSupport->toPlainText());
    EXPECT_TRUE(dlg.txtSupport->toPlainText().contains(QStringLiteral("\n  PATH環境変数       : ")));
    EXPECT_TRUE(dlg.txtSupport->isReadOnly());
}

TEST(HelpPages, EveryWindowClassHasAnExistingPage)
{
    const QString folder = THTMLHelp::HelpFolder();
    ASSERT_FALSE(folder.isEmpty());
    const char *const classes[] = {"TfrmMain", "TfrmLogon", "TfrmObject", "TfrmTable", "TfrmSQL", "TfrmPreview",
                                   "TfrmConst", "TfrmOption", "TfrmEditorOption", "TfrmSupportless", "TfrmIndexAdviser",
                                   "TfrmComment", "TfrmSession", "TfrmDDLExec"};
    for (const char *name : classes) {
        const int context = HelpContextOfClass(QLatin1String(name));
        if (qstrcmp(name, "TfrmSupportless") == 0) {
            EXPECT_EQ(context, 0);
            continue;
        }
        EXPECT_GT(context, 0) << name;
        EXPECT_TRUE(QFileInfo::exists(THTMLHelp::PageFor(context))) << name;
    }
}

TEST_F(MainCommandsTest, AnUpdateToCommitChangeEndsOrStartsTheTransactionOfEveryConnection)
{
    Make();
    auto *a = StubConnForm::Open(Main, QStringLiteral("a"), QStringLiteral("db"));
    auto *b = StubConnForm::Open(Main, QStringLiteral("b"), QStringLiteral("db"));
    const bool before = TkdOption::Global().UpdateToCommit;
    bool next = !before;
    kdopeners::Register(QStringLiteral("TfrmOption"), [&](const TOpenerArgs &) {
        TkdOption::Global().UpdateToCommit = next;
        return nullptr;
    });
    Trigger("actToolOption");
    const QString first = next ? QStringLiteral("COMMIT") : QStringLiteral("BEGIN");
    EXPECT_EQ(a->Statements, QStringList{first});
    EXPECT_EQ(b->Statements, QStringList{first});
    // No change: nothing is sent.
    Trigger("actToolOption");
    EXPECT_EQ(a->Statements.size(), 1);
    next = before;
    Trigger("actToolOption");
    EXPECT_EQ(a->Statements.last(), next ? QStringLiteral("COMMIT") : QStringLiteral("BEGIN"));
    EXPECT_EQ(b->Statements.size(), 2);
    TkdOption::Global().UpdateToCommit = before;
}

TEST_F(MainCommandsTest, EveryImageInUseResolves)
{
    Make();
    // The indexes of the commands, the new-object buttons and the object kinds.
    const int indexes[] = {0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12,  13,  14,  15,  16,  17,  18, 19,
                           20, 21, 22, 23, 24, 25, 26, 27, 28, 41, 45, 46, 47,  51,  52,  55,  57,  58,  66, 68,
                           69, 91, 92, 98, 103, 105, 106, 107, 119, 120, 126, 127};
    for (int i : indexes) {
        const QIcon icon = Main->Image(i);
        EXPECT_FALSE(icon.isNull()) << i;
        EXPECT_FALSE(icon.pixmap(16, 16).isNull()) << i;
    }
    // Data generation shows the theme's picture, not a glyph of its number.
    if (QIcon::hasThemeIcon(QStringLiteral("edit-table-insert-row-below"))) {
        EXPECT_EQ(Main->Image(103).name(), QStringLiteral("edit-table-insert-row-below"));
    }
    // The buttons of the windows and frames show pictures, not glyphs of their numbers.
    if (QIcon::hasThemeIcon(QStringLiteral("go-top"))) {
        for (int i : {29, 30, 35, 36, 37, 38, 86, 87, 88, 89, 93, 96, 99, 110, 112, 117})
            EXPECT_FALSE(Main->Image(i).name().isEmpty()) << i;
    }
    for (QAction *a : Main->findChildren<QAction *>()) {
        if (a->property("category").isValid() && !a->icon().isNull()) {
            EXPECT_FALSE(a->icon().pixmap(16, 16).isNull()) << a->objectName().toStdString();
        }
    }
}
