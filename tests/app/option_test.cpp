// The options dialog on the real main window: the rules of hot keys and folder boxes, the
// defaults of a fresh installation, the formatting preview, the OK checks and their order,
// applying the controls, the hot-key list, help, and the workbook extension at start-up.
#include "app/app_openers.h"
#include "app/fmain.h"
#include "app/foption.h"
#include "app/option_run.h"
#include "controls/kdcomctrls.h"
#include "controls/kdhhelp.h"
#include "controls/kdmemo.h"
#include "controls/kdstdctl.h"
#include "core/kdopeners.h"
#include "core/kdreg.h"
#include "core/kdshortcut.h"
#include "core/kdsub_msg.h"
#include "core/kdsub_options.h"
#include "core/kdsub_service.h"
#include "core/kdsub_start.h"
#include "support/qstring_printer.h"

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QGroupBox>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <gtest/gtest.h>

namespace {

void Flush()
{
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

class OptionDialogTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // The folders fixed at start-up, which the folder defaults are joined to.
        InitializeSharedUnit();
        ASSERT_TRUE(AppDataFolder().startsWith(QLatin1Char('/')));
        ASSERT_TRUE(DocumentFolder().startsWith(QLatin1Char('/')));
        FOldHook = SetMessageBoxHook([this](MessageBoxRequest &r) {
            Boxes << r.text;
            Icons << (r.flags & 0xF0);
            return IDOK;
        });
        SetLogonProc([](const TLogonValues &, bool) { return true; });
        kdopeners::Clear();
        RegisterAppOpeners();
        THTMLHelp::SetOpenHook([this](const QUrl &url) {
            Opened << url.toLocalFile();
            return true;
        });
    }
    void TearDown() override
    {
        Form.reset();
        if (Main) {
            Main->SetCloseSteps({});
            delete Main;
        }
        Flush();
        THTMLHelp::SetOpenHook({});
        kdopeners::Clear();
        SetLogonProc({});
        SetMessageBoxHook(FOldHook);
        ResetAllOptions();
    }
    // The main window with the options of a fresh installation.
    TfrmMain *Make()
    {
        Main = new TfrmMain(QStringList());
        Main->SetCloseSteps({});
        ResetAllOptions();
        Main->show();
        QApplication::setActiveWindow(Main);
        Flush();
        return Main;
    }
    // The dialog as the command opens it, shown but not run modally.
    TfrmOption *Dialog()
    {
        Form = std::make_unique<TfrmOption>(Main);
        Form->Prepare();
        Form->show();
        QApplication::setActiveWindow(Form.get());
        Flush();
        return Form.get();
    }
    // Runs the main window's command; `act` works on the open dialog (Cancel ends it unless
    // `act` did).
    void RunCommand(const std::function<void(TfrmOption *)> &act)
    {
        EXPECT_TRUE(RunOptionsCommand(Main, act, false));
        Flush();
    }
    static void Select(TfrmOption *d, const QString &actionName)
    {
        TkdTreeNode *node = d->ShortCutNode(actionName);
        ASSERT_NE(node, nullptr) << actionName.toStdString();
        d->lstShortCut->setCurrentItem(node);
        node->setSelected(true);
    }
    static QString Shown(TfrmOption *d, const QString &actionName)
    {
        TkdTreeNode *node = d->ShortCutNode(actionName);
        return node && !node->SubItems().isEmpty() ? node->SubItems().first() : QStringLiteral("<none>");
    }

    TfrmMain *Main = nullptr;
    std::unique_ptr<TfrmOption> Form;
    QStringList Boxes;
    QList<int> Icons;
    QStringList Opened;

private:
    MessageBoxHook FOldHook;
};

} // namespace

TEST(OptionRules, HotKeysFollowTheKeyNumberRules)
{
    struct Case {
        int Key;
        Qt::KeyboardModifiers Mods;
        THotKeyAction Action;
        const char *Text; // the shortcut's stored text for Assign
    };
    const Case cases[] = {
        {Qt::Key_Space, Qt::NoModifier, THotKeyAction::Clear, ""},
        {Qt::Key_Space, Qt::ControlModifier, THotKeyAction::Clear, ""},
        {Qt::Key_A, Qt::NoModifier, THotKeyAction::Ignore, ""},
        {Qt::Key_7, Qt::NoModifier, THotKeyAction::Ignore, ""},
        {Qt::Key_A, Qt::ShiftModifier, THotKeyAction::Assign, "Shift+A"},
        {Qt::Key_S, Qt::ControlModifier, THotKeyAction::Assign, "Ctrl+S"},
        {Qt::Key_7, Qt::AltModifier, THotKeyAction::Assign, "Alt+7"},
        {Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier, THotKeyAction::Assign, "Shift+Ctrl+Alt+Z"},
        // The Meta key is not one of the three states.
        {Qt::Key_Z, Qt::ControlModifier | Qt::MetaModifier, THotKeyAction::Assign, "Ctrl+Z"},
        {Qt::Key_Delete, Qt::NoModifier, THotKeyAction::Assign, "Del"},
        {Qt::Key_F1, Qt::NoModifier, THotKeyAction::Assign, "F1"},
        {Qt::Key_F10, Qt::ShiftModifier, THotKeyAction::Assign, "Shift+F10"},
        {Qt::Key_F11, Qt::NoModifier, THotKeyAction::Ignore, ""},
        {Qt::Key_F12, Qt::ControlModifier, THotKeyAction::Ignore, ""},
        {Qt::Key_Left, Qt::ControlModifier, THotKeyAction::Ignore, ""},
        {Qt::Key_Return, Qt::NoModifier, THotKeyAction::Ignore, ""},
        {Qt::Key_Escape, Qt::NoModifier, THotKeyAction::Ignore, ""},
        {Qt::Key_Shift, Qt::ShiftModifier, THotKeyAction::Ignore, ""},
        // Symbol keys: 186 to 190 and 192 to 221 are taken, 191 ("/") and 222 ("^") are not;
        // a symbol typed with Shift names the key it is typed on.
        {Qt::Key_Minus, Qt::ControlModifier, THotKeyAction::Assign, "Ctrl+-"},
        {Qt::Key_Minus, Qt::NoModifier, THotKeyAction::Assign, "-"},
        {Qt::Key_Equal, Qt::ControlModifier | Qt::ShiftModifier, THotKeyAction::Assign, "Shift+Ctrl+-"},
        {Qt::Key_Exclam, Qt::ShiftModifier, THotKeyAction::Assign, "Shift+1"},
        {Qt::Key_At, Qt::ControlModifier, THotKeyAction::Assign, "Ctrl+@"},
        {Qt::Key_BracketRight, Qt::ControlModifier, THotKeyAction::Assign, "Ctrl+]"},
        {Qt::Key_Slash, Qt::ControlModifier, THotKeyAction::Ignore, ""},
        {Qt::Key_Question, Qt::ShiftModifier, THotKeyAction::Ignore, ""},
        {Qt::Key_AsciiCircum, Qt::ControlModifier, THotKeyAction::Ignore, ""},
    };
    for (const Case &c : cases) {
        const THotKeyResult r = HotKeyFor(c.Key, c.Mods);
        EXPECT_EQ(int(r.Action), int(c.Action)) << QKeySequence(c.Key).toString().toStdString();
        if (c.Action == THotKeyAction::Assign) {
            EXPECT_EQ(ShortCutToText(r.Shortcut), QLatin1String(c.Text));
            // What is shown is what the action gets back on OK.
            EXPECT_EQ(TextToShortCut(ShortCutToText(r.Shortcut)), r.Shortcut) << c.Text;
        }
    }
}

TEST(OptionRules, FolderBoxesAndTheSampleStatement)
{
    struct Case {
        const char *Text;
        const char *Stored;
    };
    const Case cases[] = {
        {"/data/out", "/data/out/"},
        {"/data/out/", "/data/out/"},
        {"  /data/out  ", "/data/out/"},
        // A blank after the closing separator is trimmed, not doubled.
        {"/data/out/ ", "/data/out/"},
        // An emptied box is the option's default, never the root folder.
        {"", "/default/"},
        {"   ", "/default/"},
        {"/", "/"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(NormalizeFolderText(QString::fromUtf8(c.Text), QStringLiteral("/default/")), QLatin1String(c.Stored))
            << c.Text;

    EXPECT_TRUE(OptionSampleSQL().startsWith(QStringLiteral("/* 表示サンプル */\r\nBEGIN SELECT S01.COL01")));
    EXPECT_TRUE(OptionSampleSQL().endsWith(QStringLiteral("ORDER BY COL1, COL2 DESC; END;")));
}

TEST(OptionRules, StoredWorkbookExtensionIsAlwaysOneTheProgramWrites)
{
    struct Case {
        const char *Stored;
        const char *Used;
    };
    const Case cases[] = {{"", ".XLSX"}, {".XLS", ".XLSX"}, {".xls", ".XLSX"}, {" .Xls ", ".XLSX"}, {".XLSX", ".XLSX"},
                          {".xlsx", ".XLSX"}};
    for (const Case &c : cases)
        EXPECT_EQ(WorkbookExtension(QLatin1String(c.Stored)), QLatin1String(c.Used)) << c.Stored;
}

TEST_F(OptionDialogTest, TheCommandOpensAModalDialogWithTheDefaultsOfAFreshInstallation)
{
    Make();
    const TkdOption before = TkdOption::Global();
    RunCommand([this](TfrmOption *d) {
        EXPECT_TRUE(d->isModal());
        EXPECT_TRUE(d->isWindow());
        EXPECT_EQ(d->windowTitle(), QStringLiteral("オプション"));
        EXPECT_EQ(d->property("HelpContext").toInt(), 50100);
        EXPECT_FALSE(d->windowFlags() & Qt::WindowCloseButtonHint);
        EXPECT_FALSE(d->windowFlags() & Qt::WindowSystemMenuHint);
        EXPECT_EQ(d->pagOption->currentWidget(), d->tabObjectList);
        EXPECT_EQ(d->focusWidget(), d->btnOk);
        EXPECT_FALSE(d->btnOk->isDefault());
        EXPECT_GE(d->width(), 534);
        EXPECT_GE(d->height(), 500);
        const QStringList pages{QStringLiteral("オブジェクトリスト"), QStringLiteral("定義情報"), QStringLiteral("SQL実行"),
                                QStringLiteral("データ"), QStringLiteral("整形出力"), QStringLiteral("キー操作"),
                                QStringLiteral("外部出力"), QStringLiteral("詳細設定")};
        ASSERT_EQ(d->pagOption->count(), pages.size());
        for (int i = 0; i < pages.size(); ++i)
            EXPECT_EQ(d->pagOption->tabText(i), pages.at(i));

        struct Box {
            TkdCheckBox *Check;
            bool On;
        };
        const Box boxes[] = {
            {d->chkData, false},          {d->chkRowSelect, false},       {d->chkDelErr, false},
            {d->chkFind, true},           {d->chkFindAuto, true},         {d->chkProgress, true},
            {d->chkUserFirst, false},     {d->chkShowDDL, false},         {d->chkShowStorageSource, true},
            {d->chkShowColumnSource, true}, {d->chkCloseDDL, true},       {d->chkBeforeSource, false},
            {d->chkAfterSource, false},   {d->chkBackupData, true},       {d->chkDefaultAutoQuote, false},
            {d->chkUsePartial, true},     {d->chkShowWhereGrid, true},    {d->chkWhereAutoQuote, true},
            {d->chkUpdateMode, true},     {d->chkAddStripe, true},        {d->chkExcelDialog, false},
            {d->chkExcelRefresh, false},  {d->chkPasteDialog, false},     {d->chkUseUpperName, true},
            {d->chkCodeAssist, true},     {d->chkUpdateToCommit, true},
        };
        for (const Box &b : boxes)
            EXPECT_EQ(b.Check->isChecked(), b.On) << b.Check->objectName().toStdString();
        for (QToolButton *b : {d->btnTable, d->btnIndex, d->btnView, d->btnFunc, d->btnType, d->btnTrigger, d->btnSeq,
                               d->btnConst, d->btnRule}) {
            EXPECT_TRUE(b->isChecked()) << b->objectName().toStdString();
            EXPECT_FALSE(b->icon().isNull()) << b->objectName().toStdString();
        }
        struct Number {
            TkdNumEdit *Box;
            const char *Text;
        };
        const Number numbers[] = {{d->txtDiagramFontSize, "9"}, {d->txtGridFontSize, "9"}, {d->txtSQLBuf, "32"},
                                  {d->txtDefTopRecord, "1000"}, {d->txtDataFontSize, "10"}, {d->txtDataColWidthH, "20"},
                                  {d->txtDataColWidthV, "30"},  {d->txtIndent, "4"},      {d->txtSQLTop, "1"},
                                  {d->txtMatrixRow, "60"},      {d->txtMatrixCol, "30"},  {d->txtCrossLevel, "3"},
                                  {d->txtDataGenCommit, "50"}};
        for (const Number &n : numbers)
            EXPECT_EQ(n.Box->text(), QLatin1String(n.Text)) << n.Box->objectName().toStdString();
        struct Radio {
            QButtonGroup *Group;
            int Id;
        };
        const Radio radios[] = {{d->rdoSort, 0},        {d->rdoDataShowMode, 0}, {d->rdoItemReturn, 0},
                                {d->rdoReserveTran, 0}, {d->rdoItemTran, 2},     {d->rdoCommaPos, 0},
                                {d->rdoAndPos, 0},      {d->rdoReservePos, 0},   {d->rdoExcel, 0},
                                {d->rdoExcelTitle, 0},  {d->rdoPasteColumn, 0},  {d->rdoPasteTitle, 0}};
        for (const Radio &r : radios)
            EXPECT_EQ(r.Group->checkedId(), r.Id) << r.Group->objectName().toStdString();
        EXPECT_EQ(d->cmbOpenMode->currentText(), QStringLiteral("定義情報"));
        EXPECT_FALSE(d->cmbOpenMode->isEditable());
        EXPECT_EQ(d->cmbDateFormat->Text(), QStringLiteral("yyyy/MM/dd"));
        EXPECT_TRUE(d->cmbDateFormat->isEditable());
        EXPECT_EQ(d->cmbDateFormat->count(), 6);
        EXPECT_EQ(d->cmbTimeFormat->Text(), QStringLiteral("HH:mm:ss"));
        EXPECT_EQ(d->cmbSQLLeft->currentText(), QStringLiteral("A"));
        EXPECT_EQ(d->cmbSQLLeft->count(), 256);
        EXPECT_EQ(d->cmbEncoding->currentText(), QStringLiteral("UTF-8"));
        EXPECT_EQ(d->txtExcelDir->text(), DocumentFolder());
        EXPECT_EQ(d->txtFileDir->text(), DocumentFolder());
        EXPECT_EQ(d->txtBeforeSource->text(), AppDataFolder());
        EXPECT_EQ(d->txtTempDir->text(), AppDataFolder() + QStringLiteral("temp/"));
        EXPECT_EQ(d->txtFormSQL->text(), QString());
        // The source groups follow their check boxes; the find option enables the generic search.
        EXPECT_FALSE(d->txtBeforeSource->isEnabled());
        EXPECT_FALSE(d->btnAfterSource->isEnabled());
        EXPECT_TRUE(d->chkFindAuto->isEnabled());
        // The stored font name stands for an installed font and is selected in all three lists.
        for (QListWidget *list : {d->lstDataFontName, d->lstDiagramFontName, d->lstGridFontName}) {
            ASSERT_NE(list->currentItem(), nullptr) << list->objectName().toStdString();
            EXPECT_EQ(list->currentItem()->text(), QStringLiteral("ＭＳ ゴシック"));
            QStringList names;
            for (int i = 0; i < list->count(); ++i)
                names << list->item(i)->text();
            QStringList sorted = names;
            sorted.sort(Qt::CaseInsensitive);
            EXPECT_EQ(names, sorted);
        }
        EXPECT_EQ(d->txtDataFontSample->toPlainText(), QStringLiteral("ABCxzy\nあいう亜井宇"));
        EXPECT_EQ(d->txtDataFontSample->font().pointSize(), 10);
        EXPECT_EQ(d->txtGridFontSample->font().pointSize(), 9);
        // The preview: indent 4, one item per line, upper-case keywords, names unchanged,
        // commas and AND at line start, keywords right-aligned.
        TFormatOption layout;
        layout.Reset();
        EXPECT_EQ(layout.Indent, 4);
        EXPECT_EQ(d->txtFormat->text(), OptionPreviewText(OptionSampleSQL(), layout));
        const QStringList lines = d->txtFormat->text().split(QRegularExpression(QStringLiteral("\\r?\\n")));
        ASSERT_GE(lines.size(), 6);
        EXPECT_EQ(lines.at(0), QStringLiteral("/* 表示サンプル */"));
        EXPECT_EQ(lines.at(1), QStringLiteral("BEGIN"));
        EXPECT_EQ(lines.at(2), QStringLiteral("    SELECT S01.COL01"));
        EXPECT_EQ(lines.at(3), QStringLiteral("          ,S01.COL02"));
        EXPECT_EQ(lines.at(4), QStringLiteral("      FROM SAMPLE01 S01"));
        EXPECT_FALSE(d->txtFormat->isEnabled());
        EXPECT_TRUE(d->txtFormat->isReadOnly());
        d->btnCancel->click();
    });
    // Cancel: nothing changed.
    EXPECT_EQ(TkdOption::Global().TreeSort, before.TreeSort);
    EXPECT_EQ(TkdOption::Global().UpdateToCommit, before.UpdateToCommit);
}

TEST_F(OptionDialogTest, PreviewFollowsTheFormatPageAndCancelKeepsTheFormattingOptions)
{
    Make();
    const TFormatOption kept = TFormatOption::Global();
    RunCommand([&](TfrmOption *d) {
        d->pagOption->setCurrentWidget(d->TabFormat);
        const QString first = d->txtFormat->text();
        // "なし" disables the comma and AND positions and formats again.
        d->rdoItemReturn->button(1)->click();
        EXPECT_FALSE(d->grpCommaPos->isEnabled());
        EXPECT_FALSE(d->grpAndPos->isEnabled());
        EXPECT_NE(d->txtFormat->text(), first);
        TFormatOption layout = kept;
        layout.ItemReturn = 1;
        EXPECT_EQ(d->txtFormat->text(), OptionPreviewText(OptionSampleSQL(), layout));
        d->rdoItemReturn->button(0)->click();
        EXPECT_TRUE(d->grpCommaPos->isEnabled());
        EXPECT_TRUE(d->grpAndPos->isEnabled());
        EXPECT_EQ(d->txtFormat->text(), first);
        // Lower-case keywords.
        d->rdoReserveTran->button(1)->click();
        EXPECT_TRUE(d->txtFormat->text().contains(QStringLiteral("select")));
        // The options themselves never change while the dialog is open.
        EXPECT_EQ(TFormatOption::Global().ReserveTrans, kept.ReserveTrans);
        EXPECT_EQ(TFormatOption::Global().ItemReturn, kept.ItemReturn);

        // A point typed into the indent box is removed at once; the digits join.
        d->txtIndent->setFocus();
        d->txtIndent->clear();
        QTest::keyClicks(d->txtIndent, QStringLiteral("1.2"));
        EXPECT_EQ(d->txtIndent->text(), QStringLiteral("12"));
        layout = kept;
        layout.ReserveTrans = 1;
        layout.Indent = 12;
        EXPECT_EQ(d->txtFormat->text(), OptionPreviewText(OptionSampleSQL(), layout));
        // A change that leaves the number as it was does not format again.
        d->txtIndent->setText(QStringLiteral("2"));
        d->txtFormat->setText(QStringLiteral("marker"));
        d->txtIndent->setText(QStringLiteral("02"));
        EXPECT_EQ(d->txtFormat->text(), QStringLiteral("marker"));
        d->txtIndent->setText(QStringLiteral("3"));
        EXPECT_NE(d->txtFormat->text(), QStringLiteral("marker"));
        d->btnCancel->click();
    });
    const TFormatOption &now = TFormatOption::Global();
    EXPECT_EQ(now.Indent, kept.Indent);
    EXPECT_EQ(now.ReserveTrans, kept.ReserveTrans);
    EXPECT_EQ(now.ItemReturn, kept.ItemReturn);
}

TEST_F(OptionDialogTest, OkChecksRunInOrderAndKeepTheDialogOpen)
{
    Make();
    TfrmOption *d = Dialog();
    struct Case {
        const char *Name;
        std::function<void()> Set;
        QWidget *Page;
        QWidget *Focus;
        const char *Message; // nullptr: passes
    };
    const auto reset = [d] {
        d->txtDataFontSize->setText(QStringLiteral("10"));
        d->txtDiagramFontSize->setText(QStringLiteral("9"));
        d->txtGridFontSize->setText(QStringLiteral("9"));
        d->txtDefTopRecord->setText(QStringLiteral("1000"));
        d->txtSQLTop->setText(QStringLiteral("1"));
        d->txtMatrixRow->setText(QStringLiteral("60"));
        d->txtMatrixCol->setText(QStringLiteral("30"));
    };
    const auto set = [](TkdNumEdit *box, const char *text) {
        return [box, text] { box->setText(QLatin1String(text)); };
    };
    const Case cases[] = {
        {"data size empty", set(d->txtDataFontSize, ""), d->tabQuery, d->txtDataFontSize,
         "サイズ(pt)は1以上の整数で入力して下さい。"},
        {"data size 0", set(d->txtDataFontSize, "0"), d->tabQuery, d->txtDataFontSize,
         "サイズ(pt)は1以上の整数で入力して下さい。"},
        {"diagram and grid 0",
         [d] {
             d->txtDiagramFontSize->setText(QStringLiteral("0"));
             d->txtGridFontSize->setText(QStringLiteral("0"));
         },
         d->tabSQL, d->txtDiagramFontSize, "ダイアグラム部 サイズ(pt)は1以上の整数で入力して下さい。"},
        {"grid 0", set(d->txtGridFontSize, "0"), d->tabSQL, d->txtGridFontSize,
         "グリッド部 サイズ(pt)は1以上の整数で入力して下さい。"},
        {"data size before top record",
         [d] {
             d->txtDefTopRecord->setText(QStringLiteral("0"));
             d->txtDataFontSize->setText(QStringLiteral("0"));
         },
         d->tabQuery, d->txtDataFontSize, "サイズ(pt)は1以上の整数で入力して下さい。"},
        {"top record 0", set(d->txtDefTopRecord, "0"), d->tabQuery, d->txtDefTopRecord,
         "件数を指定して開く場合の既定レコード件数は1以上の整数で入力して下さい。"},
        {"start row 65535", set(d->txtSQLTop, "65535"), nullptr, nullptr, nullptr},
        {"start row 65536", set(d->txtSQLTop, "65536"), d->tabOutput, d->txtSQLTop,
         "開始行は1から65535までの整数で入力して下さい。"},
        {"start row 0", set(d->txtSQLTop, "0"), d->tabOutput, d->txtSQLTop, "開始行は1から65535までの整数で入力して下さい。"},
        {"page rows 0", set(d->txtMatrixRow, "0"), d->tabOutput, d->txtMatrixRow,
         "頁行数は1から65535までの整数で入力して下さい。"},
        {"page rows 65536", set(d->txtMatrixRow, "65536"), d->tabOutput, d->txtMatrixRow,
         "頁行数は1から65535までの整数で入力して下さい。"},
        {"columns 255", set(d->txtMatrixCol, "255"), nullptr, nullptr, nullptr},
        {"columns 256", set(d->txtMatrixCol, "256"), d->tabOutput, d->txtMatrixCol,
         "桁数は1から255までの整数で入力して下さい。"},
        // No range test on the other boxes: 0 is accepted.
        {"others 0",
         [d] {
             for (TkdNumEdit *b : {d->txtSQLBuf, d->txtDataColWidthH, d->txtDataColWidthV, d->txtCrossLevel,
                                   d->txtDataGenCommit, d->txtIndent})
                 b->setText(QStringLiteral("0"));
         },
         nullptr, nullptr, nullptr},
    };
    for (const Case &c : cases) {
        reset();
        d->pagOption->setCurrentWidget(d->tabKey);
        d->btnCancel->setFocus();
        Boxes.clear();
        Icons.clear();
        c.Set();
        d->btnOk->click();
        if (!c.Message) {
            EXPECT_TRUE(Boxes.isEmpty()) << c.Name;
            EXPECT_EQ(d->ModalResult(), 1) << c.Name;
            d->SetModalResult(0);
            continue;
        }
        EXPECT_EQ(Boxes, QStringList{QString::fromUtf8(c.Message)}) << c.Name;
        EXPECT_EQ(Icons, QList<int>{MB_ICONWARNING}) << c.Name;
        EXPECT_EQ(d->pagOption->currentWidget(), c.Page) << c.Name;
        EXPECT_TRUE(c.Focus->hasFocus()) << c.Name;
        EXPECT_EQ(d->ModalResult(), 0) << c.Name;
        EXPECT_TRUE(d->isVisible()) << c.Name;
    }
}

TEST_F(OptionDialogTest, OkAppliesTheControlsToTheOptions)
{
    Make();
    const QString docs = DocumentFolder();
    RunCommand([&](TfrmOption *d) {
        d->chkData->setChecked(true);
        d->chkFind->setChecked(false);
        EXPECT_FALSE(d->chkFindAuto->isEnabled());
        d->btnRule->setChecked(false);
        d->cmbOpenMode->setCurrentIndex(2);
        d->chkBeforeSource->setChecked(true);
        EXPECT_TRUE(d->txtBeforeSource->isEnabled());
        // Folders: without a closing separator, emptied, with a blank after the separator.
        d->txtBeforeSource->setText(QStringLiteral("/srv/before"));
        d->txtAfterSource->setText(QString());
        d->txtExcelDir->setText(QStringLiteral("/srv/excel/ "));
        d->txtFileDir->setText(QStringLiteral("  "));
        d->txtTempDir->setText(QStringLiteral("/srv/temp/"));
        d->txtFormSQL->setText(QStringLiteral("/srv/form/"));
        d->txtSQLTop->setText(QStringLiteral("5"));
        d->cmbSQLLeft->setCurrentIndex(27);
        d->txtMatrixRow->setText(QStringLiteral("70"));
        d->txtDefTopRecord->setText(QStringLiteral("250"));
        d->rdoDataShowMode->button(2)->click();
        d->rdoExcelTitle->button(1)->click();
        d->rdoPasteTitle->button(2)->click();
        d->cmbEncoding->setCurrentIndex(4);
        d->cmbDateFormat->setEditText(QStringLiteral("dd/MM/yyyy"));
        d->cmbTimeFormat->setEditText(QStringLiteral("hh:mm"));
        d->chkUseUpperName->setChecked(false);
        d->txtGridFontSize->setText(QStringLiteral("14"));
        // A font name only when its list has a selected entry.
        d->lstGridFontName->clearSelection();
        d->lstDiagramFontName->setCurrentRow(0);
        d->txtIndent->setText(QStringLiteral("2"));
        d->rdoItemTran->button(0)->click();
        d->btnOk->click();
    });
    const TkdOption &o = TkdOption::Global();
    EXPECT_TRUE(o.TreeData);
    EXPECT_FALSE(o.Find);
    EXPECT_FALSE(o.ShowRule);
    EXPECT_TRUE(o.ShowTable);
    EXPECT_EQ(o.OpenMode, omData);
    EXPECT_TRUE(o.SaveBeforeSrc);
    EXPECT_EQ(o.SaveBeforeSrcDir, QStringLiteral("/srv/before/"));
    EXPECT_EQ(o.SaveAfterSrcDir, AppDataFolder());
    EXPECT_EQ(o.ExcelDir, QStringLiteral("/srv/excel/"));
    EXPECT_EQ(o.FileDir, docs);
    EXPECT_EQ(o.TempDir, QStringLiteral("/srv/temp/"));
    EXPECT_EQ(o.ExcelForm, QStringLiteral("/srv/form/"));
    EXPECT_EQ(o.ExcelTop, 4);
    EXPECT_EQ(o.ExcelLeft, 27);
    EXPECT_EQ(o.ExcelMatrixRow, 70);
    EXPECT_EQ(o.DefTopRecord, 250);
    EXPECT_EQ(o.DataShowMode, 2);
    EXPECT_EQ(o.ExcelTitle, tmComment);
    EXPECT_EQ(o.PasteTitle, tmNone);
    EXPECT_EQ(o.Encoding, 4);
    EXPECT_FALSE(o.UseLowerName);
    EXPECT_EQ(o.DateFormat, QStringLiteral("dd/MM/yyyy"));
    EXPECT_EQ(o.TimeDelphi, QStringLiteral("hh:mm"));
    EXPECT_EQ(o.TimeOracle, QStringLiteral("hh24:mi"));
    EXPECT_EQ(o.GridFontSize, 14);
    EXPECT_EQ(o.GridFontName, QStringLiteral("ＭＳ ゴシック"));
    EXPECT_NE(o.DiagramFontName, QStringLiteral("ＭＳ ゴシック"));
    EXPECT_FALSE(o.DiagramFontName.isEmpty());
    EXPECT_EQ(TFormatOption::Global().Indent, 2);
    EXPECT_EQ(TFormatOption::Global().ItemTrans, 0);
    // The program's date and time formats follow at once.
    EXPECT_EQ(TkdFormatSettings::Global().ShortDateFormat, QStringLiteral("dd/MM/yyyy"));
    EXPECT_EQ(TkdFormatSettings::Global().LongDateFormat, QStringLiteral("dd/MM/yyyy"));
    EXPECT_EQ(TkdFormatSettings::Global().ShortTimeFormat, QStringLiteral("hh:mm"));
    ApplyDateTimeFormats(QStringLiteral("yyyy/MM/dd"), QStringLiteral("HH:mm:ss"));
}

TEST_F(OptionDialogTest, HotKeyListAssignsRefusesDuplicatesAndClears)
{
    Make();
    TfrmOption *d = Dialog();
    d->pagOption->setCurrentWidget(d->tabKey);
    d->lstShortCut->setFocus();
    // Six categories in order, each entry with the action's caption and current key.
    ASSERT_EQ(d->lstShortCut->topLevelItemCount(), 6);
    EXPECT_EQ(d->lstShortCut->topLevelItem(0)->text(0), QStringLiteral("ファイルメニュー"));
    EXPECT_EQ(d->lstShortCut->topLevelItem(5)->text(0), QStringLiteral("ツールメニュー"));
    const int counts[] = {5, 23, 17, 4, 9, 9};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(d->lstShortCut->topLevelItem(i)->childCount(), counts[i]) << i;
    EXPECT_EQ(Shown(d, QStringLiteral("actViewSQL")), QStringLiteral("Ctrl+S"));
    EXPECT_EQ(Shown(d, QStringLiteral("actEditFindPrev")), QStringLiteral("Shift+F3"));
    EXPECT_EQ(Shown(d, QStringLiteral("actDBCommit")), QString());
    EXPECT_EQ(d->lstShortCut->headerItem()->text(1), QStringLiteral("ショートカット"));
    // The selected entry is white on the highlight, also while the list has no focus.
    const QPalette pal = d->lstShortCut->palette();
    EXPECT_EQ(pal.color(QPalette::Inactive, QPalette::Highlight), pal.color(QPalette::Active, QPalette::Highlight));
    EXPECT_EQ(pal.color(QPalette::Inactive, QPalette::HighlightedText), QColor(Qt::white));
    EXPECT_EQ(pal.color(QPalette::Active, QPalette::HighlightedText), QColor(Qt::white));

    // Ctrl+S on another entry: refused with a warning, nothing changes.
    Select(d, QStringLiteral("actViewTemplate"));
    QTest::keyClick(d->lstShortCut, Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(Boxes, QStringList{QStringLiteral("同じショートカットが既に存在しています。")});
    EXPECT_EQ(Icons, QList<int>{MB_ICONWARNING});
    EXPECT_EQ(Shown(d, QStringLiteral("actViewTemplate")), QStringLiteral("Ctrl+J"));
    // On its own entry it is accepted.
    Boxes.clear();
    Select(d, QStringLiteral("actViewSQL"));
    QTest::keyClick(d->lstShortCut, Qt::Key_S, Qt::ControlModifier);
    EXPECT_TRUE(Boxes.isEmpty());
    EXPECT_EQ(Shown(d, QStringLiteral("actViewSQL")), QStringLiteral("Ctrl+S"));
    // A plain letter assigns nothing and does not move the selection; Shift with it does.
    Select(d, QStringLiteral("actDBCommit"));
    QTest::keyClick(d->lstShortCut, Qt::Key_R);
    EXPECT_EQ(Shown(d, QStringLiteral("actDBCommit")), QString());
    EXPECT_EQ(d->lstShortCut->currentItem(), d->ShortCutNode(QStringLiteral("actDBCommit")));
    QTest::keyClick(d->lstShortCut, Qt::Key_R, Qt::ShiftModifier);
    EXPECT_EQ(Shown(d, QStringLiteral("actDBCommit")), QStringLiteral("Shift+R"));
    // F1 is assigned, not taken by the help.
    Select(d, QStringLiteral("actDBRollback"));
    QTest::keyClick(d->lstShortCut, Qt::Key_F1);
    EXPECT_EQ(Shown(d, QStringLiteral("actDBRollback")), QStringLiteral("F1"));
    EXPECT_TRUE(Opened.isEmpty());
    // F11 is ignored; Space empties the entry.
    QTest::keyClick(d->lstShortCut, Qt::Key_F11);
    EXPECT_EQ(Shown(d, QStringLiteral("actDBRollback")), QStringLiteral("F1"));
    Select(d, QStringLiteral("actViewTemplate"));
    QTest::keyClick(d->lstShortCut, Qt::Key_Space);
    EXPECT_EQ(Shown(d, QStringLiteral("actViewTemplate")), QString());
    // A category node carries no action: nothing happens on it.
    d->lstShortCut->setCurrentItem(d->lstShortCut->topLevelItem(0));
    QTest::keyClick(d->lstShortCut, Qt::Key_F5);
    EXPECT_TRUE(d->lstShortCut->topLevelItem(0)->text(1).isEmpty());
    EXPECT_EQ(Boxes.size(), 0);

    // Nothing reaches the actions before OK.
    EXPECT_EQ(Main->Act(QStringLiteral("actViewTemplate"))->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_J));
    d->ApplyControls();
    EXPECT_TRUE(Main->Act(QStringLiteral("actViewTemplate"))->shortcut().isEmpty());
    EXPECT_EQ(Main->Act(QStringLiteral("actDBCommit"))->shortcut(), QKeySequence(Qt::SHIFT | Qt::Key_R));
    EXPECT_EQ(Main->Act(QStringLiteral("actDBRollback"))->shortcut(), QKeySequence(Qt::Key_F1));
    EXPECT_EQ(Main->Act(QStringLiteral("actViewSQL"))->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_S));
}

TEST_F(OptionDialogTest, AClearedShortcutStaysClearedAfterARestart)
{
    Make();
    RunCommand([this](TfrmOption *d) {
        Select(d, QStringLiteral("actEditFind"));
        d->lstShortCut->setFocus();
        QTest::keyClick(d->lstShortCut, Qt::Key_Space);
        d->btnOk->click();
    });
    EXPECT_TRUE(Main->Act(QStringLiteral("actEditFind"))->shortcut().isEmpty());
    ASSERT_TRUE(SaveSettings().isEmpty());
    Main->SetCloseSteps({});
    delete Main;
    Main = nullptr;
    Flush();
    Main = new TfrmMain(QStringList());
    Main->SetCloseSteps({});
    EXPECT_TRUE(Main->Act(QStringLiteral("actEditFind"))->shortcut().isEmpty());
    EXPECT_EQ(Main->Act(QStringLiteral("actEditReplace"))->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_R));
    // Back to the default for the tests that follow.
    SharedRegistry().DeleteKey(QString::fromUtf16(kMainKey) + QStringLiteral("\\SHORTCUT"));
}

TEST_F(OptionDialogTest, CancelLeavesOptionsAndShortcutsAsTheyWere)
{
    Make();
    RunCommand([this](TfrmOption *d) {
        d->chkRowSelect->setChecked(true);
        d->rdoSort->button(1)->click();
        d->txtTempDir->setText(QString());
        Select(d, QStringLiteral("actViewSQL"));
        d->lstShortCut->setFocus();
        QTest::keyClick(d->lstShortCut, Qt::Key_Space);
        d->rdoReservePos->button(1)->click();
        d->btnCancel->click();
    });
    EXPECT_FALSE(TkdOption::Global().RowSelect);
    EXPECT_EQ(TkdOption::Global().TreeSort, 0);
    EXPECT_EQ(TkdOption::Global().TempDir, AppDataFolder() + QStringLiteral("temp/"));
    EXPECT_EQ(TFormatOption::Global().ReservePos, 0);
    EXPECT_EQ(Main->Act(QStringLiteral("actViewSQL"))->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_S));
}

TEST_F(OptionDialogTest, EnterAndEscCloseNothingAndHelpOpensTheDialogsPage)
{
    Make();
    RunCommand([this](TfrmOption *d) {
        QTest::keyClick(d->chkData, Qt::Key_Escape);
        QTest::keyClick(d->btnOk, Qt::Key_Return);
        EXPECT_EQ(d->ModalResult(), 0);
        d->btnHelp->click();
        ASSERT_EQ(Opened.size(), 1);
        EXPECT_TRUE(Opened.first().endsWith(QStringLiteral("/50100.html"))) << Opened.first().toStdString();
        // F1 on any control of the dialog opens the same page.
        QApplication::setActiveWindow(d);
        d->chkData->setFocus();
        QTest::keyClick(d->chkData, Qt::Key_F1);
        ASSERT_EQ(Opened.size(), 2);
        EXPECT_TRUE(Opened.last().endsWith(QStringLiteral("/50100.html")));
        // Ctrl+PageDown moves to the next page.
        QTest::keyClick(d->chkData, Qt::Key_PageDown, Qt::ControlModifier);
        EXPECT_EQ(d->pagOption->currentWidget(), d->tabDefine);
        d->btnCancel->click();
    });
}

TEST_F(OptionDialogTest, FolderAndFormFileButtonsAskAndReplaceTheText)
{
    Make();
    TfrmOption *d = Dialog();
    QList<std::tuple<bool, QString, QString, QString>> asked;
    std::optional<QString> answer = QStringLiteral("/chosen");
    const auto old = TfrmOption::SetPickHook([&](bool folder, const QString &caption, const QString &start,
                                                 const QString &filter) {
        asked.append({folder, caption, start, filter});
        return answer;
    });
    d->txtExcelDir->setText(QStringLiteral("/start/"));
    d->btnExcelDir->click();
    EXPECT_EQ(d->txtExcelDir->text(), QStringLiteral("/chosen"));
    d->btnTempDir->click();
    d->txtFormMatrix->setText(QStringLiteral("/forms/"));
    answer = QStringLiteral("/forms/book.xlsx");
    d->btnFormMatrix->click();
    EXPECT_EQ(d->txtFormMatrix->text(), QStringLiteral("/forms/book.xlsx"));
    // Cancel keeps the text.
    answer.reset();
    d->btnFormSQL->click();
    EXPECT_EQ(d->txtFormSQL->text(), QString());
    TfrmOption::SetPickHook(old);
    ASSERT_EQ(asked.size(), 4);
    EXPECT_EQ(asked.at(0), std::make_tuple(true, QStringLiteral("出力先を選択して下さい。"), QStringLiteral("/start/"), QString()));
    EXPECT_EQ(std::get<1>(asked.at(1)), QStringLiteral("作業ファイル作成先を選択して下さい。"));
    // A form file box loses its closing separator first; the filter offers workbooks and all files.
    EXPECT_EQ(std::get<0>(asked.at(2)), false);
    EXPECT_EQ(std::get<2>(asked.at(2)), QStringLiteral("/forms"));
    EXPECT_EQ(std::get<3>(asked.at(2)), ExcelFileFilter() + QStringLiteral("|すべてのファイル(*.*)|*.*"));
}

TEST_F(OptionDialogTest, FontSizeBoxesRefillOrResizeTheirSample)
{
    Make();
    TfrmOption *d = Dialog();
    d->pagOption->setCurrentWidget(d->tabSQL);
    // Leaving an emptied size box refills it with the sample's size.
    d->txtGridFontSize->setFocus();
    d->txtGridFontSize->clear();
    d->chkUsePartial->setFocus();
    EXPECT_EQ(d->txtGridFontSize->text(), QStringLiteral("9"));
    d->txtGridFontSize->setFocus();
    d->txtGridFontSize->setText(QStringLiteral("15"));
    d->chkUsePartial->setFocus();
    EXPECT_EQ(d->txtGridFontSample->font().pointSize(), 15);
    EXPECT_EQ(d->txtDiagramFontSample->font().pointSize(), 9);
    // Leaving the history box acts on the data size box.
    d->pagOption->setCurrentWidget(d->tabQuery);
    d->txtDataFontSize->setText(QString());
    d->pagOption->setCurrentWidget(d->tabSQL);
    d->txtSQLBuf->setFocus();
    d->chkUsePartial->setFocus();
    EXPECT_EQ(d->txtDataFontSize->text(), QStringLiteral("10"));
    // Clicking a font gives its sample that font.
    QListWidgetItem *item = d->lstGridFontName->item(0);
    ASSERT_NE(item, nullptr);
    d->lstGridFontName->setCurrentItem(item);
    Q_EMIT d->lstGridFontName->itemClicked(item);
    EXPECT_EQ(d->txtGridFontSample->font().family(), item->text());
}
