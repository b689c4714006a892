// The options dialog: creation, loading the controls from the options, the OK checks,
// applying the controls, the formatting preview and the hot-key list. The pages are built in
// foption_pages.cpp, the rules without a window in foption_rules.cpp.
#include "app/foption.h"

#include "controls/kdcomctrls.h"
#include "controls/kdhhelp.h"
#include "controls/kdmemo.h"
#include "controls/kdstdctl.h"
#include "core/kdreg.h"
#include "core/kdshortcut.h"
#include "core/kdsub_msg.h"
#include "core/kdsub_options.h"
#include "core/kdsub_service.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QEventLoop>
#include <QFileDialog>
#include <QFontDatabase>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QBoxLayout>
#include <QToolButton>
#include <memory>

namespace {

QPointer<TfrmOption> &CurrentForm()
{
    static QPointer<TfrmOption> form;
    return form;
}

TfrmOption::TPickHook &PickHook()
{
    static TfrmOption::TPickHook hook;
    return hook;
}

// The default of a folder option, as a fresh installation has it.
QString FolderDefault(const char *valueName)
{
    for (const TOptionRow<TkdOption> &row : OptionTable<TkdOption>())
        if (qstrcmp(row.Value, valueName) == 0)
            return OptionDefaultText(row.DefaultText, row.DefaultBase);
    return QString();
}

// A caption without its accelerator marks ("オプション(&P)..." shows "オプション(P)...").
QString PlainCaption(QString caption)
{
    QString out;
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption.at(i) == QLatin1Char('&') && i + 1 < caption.size()) {
            ++i;
        }
        out += caption.at(i);
    }
    return out;
}

void SetChecked(QButtonGroup *group, int index)
{
    if (QAbstractButton *b = group->button(index))
        b->setChecked(true);
}

int Checked(const QButtonGroup *group)
{
    return qMax(0, group->checkedId());
}

struct TCategory {
    const char *Caption;
    std::initializer_list<const char *> Actions;
};

const std::initializer_list<TCategory> &ShortCutCategories()
{
    static const std::initializer_list<TCategory> categories = {
        {"ファイルメニュー", {"actDBCommit", "actDBRollback", "actDBLogon", "actDBLogoff", "actFileExit"}},
        {"編集メニュー",
         {"actEditUndo", "actEditRedo", "actEditCut", "actEditCopy", "actEditPaste", "actEditDelete",
          "actEditRename", "actEditSelectAll", "actEditSelectMode", "actEditFind", "actEditFindNext",
          "actEditFindPrev", "actEditReplace", "actEditJump", "actEditFormat", "actEditComment",
          "actEditUpperCase", "actEditLowerCase", "actEditIndentF", "actEditIndentR", "actEditMacroSave",
          "actEditMacroExec", "actEditOpen"}},
        {"オブジェクトリストメニュー",
         {"actNew", "actOpen", "actOpenDefine", "actOpenSource", "actOpenData", "actOpenDataTop", "actExec",
          "actScript", "actPrint", "actCross", "actMatrix", "actGrant", "actAnalyze", "actDelete", "actGrep",
          "actExport", "actLoad"}},
        {"表示メニュー", {"actViewSQL", "actViewScript", "actViewField", "actViewTemplate"}},
        {"管理メニュー",
         {"actAdminUser", "actAdminStorage", "actAdminSession", "actAdminLock", "actAdminDatabase",
          "actAdminPerform", "actAdminExport", "actAdminImport", "actAdminLoad"}},
        {"ツールメニュー",
         {"actToolCommandSetup", "actToolReportSetup", "actViewComp", "actToolIndexAdviser", "actViewSQLCatch",
          "actViewSQLCRUD", "actToolOption", "actToolEditorOption", "actToolScriptOption"}},
    };
    return categories;
}

QAction *ActionOfNode(const QTreeWidgetItem *item)
{
    const auto *node = dynamic_cast<const TkdTreeNode *>(item);
    return node ? qobject_cast<QAction *>(node->Data().value<QObject *>()) : nullptr;
}

QString FirstSubItem(const TkdTreeNode *node)
{
    return node->SubItems().isEmpty() ? QString() : node->SubItems().first();
}

// Every node of the hot-key list that carries an action.
QList<TkdTreeNode *> ActionNodes(const QTreeWidget *tree)
{
    QList<TkdTreeNode *> nodes;
    for (int i = 0; i < tree->topLevelItemCount(); ++i) {
        QTreeWidgetItem *cat = tree->topLevelItem(i);
        for (int j = 0; j < cat->childCount(); ++j)
            if (auto *node = dynamic_cast<TkdTreeNode *>(cat->child(j)); node && ActionOfNode(node))
                nodes << node;
    }
    return nodes;
}

int TextToInt(const QString &text, int fallback)
{
    bool ok = false;
    const int v = text.trimmed().toInt(&ok);
    return ok ? v : fallback;
}

} // namespace

// ---------------------------------------------------------------------------------------------

TfrmOption *TfrmOption::Current()
{
    return CurrentForm().data();
}

TfrmOption::TPickHook TfrmOption::SetPickHook(TPickHook hook)
{
    TPickHook old = std::move(PickHook());
    PickHook() = std::move(hook);
    return old;
}

TfrmOption::TfrmOption(QWidget *mainWindow) : TkdForm(mainWindow)
{
    // Owned by ShowWindow, not closed away by the window system.
    setAttribute(Qt::WA_DeleteOnClose, false);
    setParent(mainWindow, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setObjectName(QStringLiteral("frmOption"));
    setWindowTitle(QStringLiteral("オプション"));
    setProperty("HelpContext", 50100);

    auto *box = new QVBoxLayout(this);
    box->setContentsMargins(6, 6, 6, 6);
    pagOption = new QTabWidget(this);
    pagOption->setObjectName(QStringLiteral("pagOption"));
    box->addWidget(pagOption, 1);
    BuildObjectListPage();
    BuildDefinePage();
    BuildSQLPage();
    BuildQueryPage();
    BuildFormatPage();
    BuildKeyPage();
    BuildOutputPage();
    BuildOtherPage();

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    btnOk = new QPushButton(QStringLiteral("OK"), this);
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnCancel = new QPushButton(QStringLiteral("キャンセル"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    btnHelp = new QPushButton(QStringLiteral("ヘルプ"), this);
    btnHelp->setObjectName(QStringLiteral("btnHelp"));
    // Enter and Esc close nothing: neither button is a default or cancel button.
    for (QPushButton *b : {btnOk, btnCancel, btnHelp}) {
        b->setAutoDefault(false);
        b->setDefault(false);
        buttons->addWidget(b);
    }
    box->addLayout(buttons);
    connect(btnOk, &QPushButton::clicked, this, [this] { GuardedCall([this] { btnOkClick(); }); });
    connect(btnCancel, &QPushButton::clicked, this, [this] { btnCancelClick(); });
    connect(btnHelp, &QPushButton::clicked, this, [this] { GuardedCall([this] { btnHelpClick(); }); });

    InitForm();
    // The shared control settings leave the preview as this dialog wants it.
    TkdMemoProp prop = txtFormat->Prop();
    prop.Font.Name = QStringLiteral("FixedSys");
    prop.ScrollBarsBoth = false;
    prop.Leftbar.Visible = false;
    prop.Ruler.Visible = false;
    txtFormat->ApplyProp(prop);
    txtFormat->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    txtFormat->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    txtFormat->setReadOnly(true);
    txtFormat->setEnabled(false);
    resize(534, 500);
}

TfrmOption::~TfrmOption()
{
    if (CurrentForm() == this)
        CurrentForm() = nullptr;
}

void TfrmOption::Prepare()
{
    const QString sample = QStringLiteral("ABCxzy\r\nあいう亜井宇");
    for (QPlainTextEdit *memo : {txtDataFontSample, txtDiagramFontSample, txtGridFontSample})
        memo->setPlainText(sample);
    if (TkdMainForm *host = TkdMainForm::Instance()) {
        const std::pair<QToolButton *, int> images[] = {{btnTable, 45}, {btnIndex, 46}, {btnView, 47},
                                                        {btnFunc, 52},  {btnType, 55},  {btnTrigger, 57},
                                                        {btnRule, 127}, {btnSeq, 58},   {btnConst, 66}};
        for (const auto &[button, index] : images)
            button->setIcon(host->Image(index));
    }
    pagOption->setCurrentWidget(tabObjectList);
    LoadControls();
    FKeptFormat = TFormatOption::Global();
    SampleSQL = OptionSampleSQL();
    txtFormat->setText(QString());
    txtFormat->setText(OptionPreviewText(SampleSQL, FormatFromControls()));
}

int TfrmOption::ShowModal()
{
    CurrentForm() = this;
    FModalResult = 0;
    setWindowModality(Qt::ApplicationModal);
    if (QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    show();
    raise();
    activateWindow();
    btnOk->setFocus();
    QEventLoop loop;
    FLoop = &loop;
    if (FModalResult == 0)
        loop.exec();
    FLoop = nullptr;
    hide();
    CurrentForm() = nullptr;
    return FModalResult;
}

void TfrmOption::SetModalResult(int result)
{
    FModalResult = result;
    if (FLoop)
        FLoop->quit();
}

void TfrmOption::closeEvent(QCloseEvent *e)
{
    // Closed by the window system: as Cancel.
    if (FModalResult == 0)
        SetModalResult(2);
    e->accept();
}

bool TfrmOption::ShowWindow()
{
    TkdMainForm *host = TkdMainForm::Instance();
    std::unique_ptr<TfrmOption> form(new TfrmOption(host ? host->Widget() : nullptr));
    form->Prepare();
    if (form->ShowModal() == 1) {
        form->ApplyControls();
        return true;
    }
    form->RestoreFormat();
    return false;
}

void TfrmOption::RestoreFormat()
{
    TFormatOption::Global() = FKeptFormat;
}

// ---------------------------------------------------------------------------------------------
// Loading

void TfrmOption::FillFontList(QListWidget *list, QPlainTextEdit *sample, const QString &name, int size)
{
    InstallFontSubstitutions();
    QStringList names;
    const QStringList families = QFontDatabase::families();
    for (const QString &family : families)
        if (!family.startsWith(QLatin1Char('@')) && !QFontDatabase::isPrivateFamily(family))
            names << family;
    // The stored Windows names stand for installed fonts and are offered as such.
    for (const QString &mapped : {QStringLiteral("ＭＳ ゴシック"), QStringLiteral("ＭＳ Ｐゴシック"),
                                  QStringLiteral("FixedSys"), QStringLiteral("MS UI Gothic")}) {
        const QStringList subs = QFont::substitutes(mapped);
        if (!names.contains(mapped) && !subs.isEmpty() && families.contains(subs.first(), Qt::CaseInsensitive))
            names << mapped;
    }
    names.sort(Qt::CaseInsensitive);
    list->clear();
    list->addItems(names);
    list->clearSelection();
    list->setCurrentRow(-1);
    const int row = names.indexOf(name);
    if (row >= 0) {
        list->setCurrentRow(row);
        list->scrollToItem(list->item(row), QAbstractItemView::PositionAtCenter);
    }
    QFont font(name);
    font.setPointSize(qMax(1, size));
    font.setFixedPitch(true);
    sample->setFont(font);
}

void TfrmOption::LoadControls()
{
    const TkdOption &o = TkdOption::Global();
    const TFormatOption &f = TFormatOption::Global();
    // Page "オブジェクトリスト"
    chkData->setChecked(o.TreeData);
    chkRowSelect->setChecked(o.RowSelect);
    chkDelErr->setChecked(o.DelErr);
    chkFind->setChecked(o.Find);
    chkFindAuto->setChecked(o.FindAuto);
    btnTable->setChecked(o.ShowTable);
    btnIndex->setChecked(o.ShowIndex);
    btnView->setChecked(o.ShowView);
    btnFunc->setChecked(o.ShowFunc);
    btnType->setChecked(o.ShowType);
    btnTrigger->setChecked(o.ShowTrigger);
    btnSeq->setChecked(o.ShowSeq);
    btnConst->setChecked(o.ShowConst);
    btnRule->setChecked(o.ShowRule);
    chkProgress->setChecked(o.Progress);
    chkUserFirst->setChecked(o.UserFirst);
    SetChecked(rdoSort, o.TreeSort);
    // Page "定義情報"
    cmbOpenMode->setCurrentIndex(qBound(0, int(o.OpenMode), 2));
    chkShowDDL->setChecked(o.ShowDDL);
    chkShowStorageSource->setChecked(o.ShowStorageSource);
    chkShowColumnSource->setChecked(o.ShowColumnSource);
    chkCloseDDL->setChecked(o.CloseDDL);
    chkBeforeSource->setChecked(o.SaveBeforeSrc);
    chkBeforeSrcDialog->setChecked(o.SaveBeforeSrcDialog);
    chkBeforeSrcRenum->setChecked(o.SaveBeforeSrcRenum);
    chkBeforeSrcHead->setChecked(o.SaveBeforeSrcHead);
    txtBeforeSource->setText(o.SaveBeforeSrcDir);
    chkAfterSource->setChecked(o.SaveAfterSrc);
    chkAfterSrcDialog->setChecked(o.SaveAfterSrcDialog);
    chkAfterSrcRenum->setChecked(o.SaveAfterSrcRenum);
    chkAfterSrcHead->setChecked(o.SaveAfterSrcHead);
    txtAfterSource->setText(o.SaveAfterSrcDir);
    chkBackupData->setChecked(o.BackupData);
    chkDefaultAutoQuote->setChecked(o.DefaultAutoQuote);
    // Page "SQL実行"
    FillFontList(lstDiagramFontName, txtDiagramFontSample, o.DiagramFontName, o.DiagramFontSize);
    txtDiagramFontSize->SetValueInt(o.DiagramFontSize);
    FillFontList(lstGridFontName, txtGridFontSample, o.GridFontName, o.GridFontSize);
    txtGridFontSize->SetValueInt(o.GridFontSize);
    chkUsePartial->setChecked(o.UsePartial);
    txtSQLBuf->setText(QString::number(o.SQLBuf));
    // Page "データ"
    txtDefTopRecord->setText(QString::number(o.DefTopRecord));
    FillFontList(lstDataFontName, txtDataFontSample, o.DataFontName, o.DataFontSize);
    txtDataFontSize->SetValueInt(o.DataFontSize);
    SetChecked(rdoDataShowMode, o.DataShowMode);
    txtDataColWidthH->setText(QString::number(o.DataColWidthH));
    txtDataColWidthV->setText(QString::number(o.DataColWidthV));
    chkShowWhereGrid->setChecked(o.ShowWhereGrid);
    chkWhereAutoQuote->setChecked(o.WhereAutoQuote);
    chkUpdateMode->setChecked(o.UpdateMode);
    cmbDateFormat->setEditText(o.DateFormat);
    cmbTimeFormat->setEditText(o.TimeDelphi);
    chkAddStripe->setChecked(o.AddStripe);
    // Page "整形出力"
    {
        const QSignalBlocker block(txtIndent);
        txtIndent->setText(QString::number(f.Indent));
    }
    PreIndent = int(txtIndent->ValueInt());
    SetChecked(rdoItemReturn, f.ItemReturn);
    SetChecked(rdoReserveTran, f.ReserveTrans);
    SetChecked(rdoItemTran, f.ItemTrans);
    SetChecked(rdoCommaPos, f.CommaPos);
    SetChecked(rdoAndPos, f.AndPos);
    SetChecked(rdoReservePos, f.ReservePos);
    // Page "キー操作"
    LoadShortCuts();
    // Page "外部出力"
    txtExcelDir->setText(o.ExcelDir);
    SetChecked(rdoExcel, o.ExcelMode);
    chkExcelDialog->setChecked(o.ExcelDialog);
    txtFormSQL->setText(o.ExcelForm);
    txtSQLTop->setText(QString::number(o.ExcelTop + 1));
    cmbSQLLeft->setCurrentIndex(qBound(0, o.ExcelLeft, 255));
    txtFormMatrix->setText(o.ExcelFormMatrix);
    txtMatrixRow->setText(QString::number(o.ExcelMatrixRow));
    txtMatrixCol->setText(QString::number(o.ExcelMatrixCol));
    chkExcelRefresh->setChecked(o.ExcelRefresh);
    SetChecked(rdoExcelTitle, int(o.ExcelTitle));
    SetChecked(rdoPasteColumn, o.PasteColumn);
    chkPasteDialog->setChecked(o.PasteDialog);
    SetChecked(rdoPasteTitle, int(o.PasteTitle));
    txtFileDir->setText(o.FileDir);
    cmbEncoding->setCurrentIndex(qBound(0, o.Encoding, 4));
    // Page "詳細設定"
    txtCrossLevel->setText(QString::number(o.CrossLevel));
    txtTempDir->setText(o.TempDir);
    txtDataGenCommit->setText(QString::number(o.DataGenCommit));
    chkUseUpperName->setChecked(o.UseLowerName);
    chkCodeAssist->setChecked(o.CodeAssist);
    chkUpdateToCommit->setChecked(o.UpdateToCommit);

    // The enabled states follow the loaded values.
    chkFindClick();
    chkBeforeSourceClick();
    chkAfterSourceClick();
    const bool perLine = Checked(rdoItemReturn) == 0;
    grpCommaPos->setEnabled(perLine);
    grpAndPos->setEnabled(perLine);
}

void TfrmOption::LoadShortCuts()
{
    TkdMainForm *host = TkdMainForm::Instance();
    lstShortCut->setUpdatesEnabled(false);
    lstShortCut->clear();
    for (const TCategory &cat : ShortCutCategories()) {
        TkdTreeNode *parent = lstShortCut->AddNode(nullptr, QString::fromUtf8(cat.Caption));
        for (const char *name : cat.Actions) {
            QAction *action = host ? host->FindAction(QLatin1String(name)) : nullptr;
            if (!action)
                continue;
            TkdTreeNode *node = lstShortCut->AddNode(parent, PlainCaption(action->text()));
            node->SetData(QVariant::fromValue<QObject *>(action));
            node->SetSubItems({ShortCutToText(action->shortcut())});
        }
    }
    lstShortCut->expandAll();
    lstShortCut->setUpdatesEnabled(true);
}

TkdTreeNode *TfrmOption::ShortCutNode(const QString &actionName) const
{
    for (TkdTreeNode *node : ActionNodes(lstShortCut))
        if (ActionOfNode(node)->objectName() == actionName)
            return node;
    return nullptr;
}

// ---------------------------------------------------------------------------------------------
// Handlers

void TfrmOption::chkFindClick()
{
    chkFindAuto->setEnabled(chkFind->isChecked());
}

void TfrmOption::chkBeforeSourceClick()
{
    const bool on = chkBeforeSource->isChecked();
    for (QWidget *w : std::initializer_list<QWidget *>{chkBeforeSrcDialog, chkBeforeSrcRenum, chkBeforeSrcHead,
                                                       lblBeforeSource, txtBeforeSource, btnBeforeSource})
        w->setEnabled(on);
}

void TfrmOption::chkAfterSourceClick()
{
    const bool on = chkAfterSource->isChecked();
    for (QWidget *w : std::initializer_list<QWidget *>{chkAfterSrcDialog, chkAfterSrcRenum, chkAfterSrcHead,
                                                       lblAfterSource, txtAfterSource, btnAfterSource})
        w->setEnabled(on);
}

TFormatOption TfrmOption::FormatFromControls() const
{
    TFormatOption layout = TFormatOption::Global();
    layout.Indent = int(txtIndent->ValueInt());
    layout.ItemReturn = Checked(rdoItemReturn);
    layout.ReservePos = Checked(rdoReservePos);
    layout.CommaPos = Checked(rdoCommaPos);
    layout.AndPos = Checked(rdoAndPos);
    layout.ReserveTrans = Checked(rdoReserveTran);
    layout.ItemTrans = Checked(rdoItemTran);
    return layout;
}

void TfrmOption::FormatChange()
{
    // The preview formats with the settings of the page; the options themselves are left as
    // they are, also when formatting fails.
    txtFormat->setText(QString());
    txtFormat->setText(OptionPreviewText(SampleSQL, FormatFromControls()));
    const bool perLine = Checked(rdoItemReturn) == 0;
    grpCommaPos->setEnabled(perLine);
    grpAndPos->setEnabled(perLine);
}

void TfrmOption::txtIndentChange()
{
    const QString text = txtIndent->text();
    if (text.contains(QLatin1Char('.'))) {
        QString cleaned = text;
        cleaned.remove(QLatin1Char('.'));
        txtIndent->setText(cleaned); // re-enters this handler
        return;
    }
    const int value = int(txtIndent->ValueInt());
    if (value != PreIndent) {
        PreIndent = value;
        FormatChange();
    }
}

void TfrmOption::FontSizeExit(TkdNumEdit *sizeBox, QPlainTextEdit *sample)
{
    QFont font = sample->font();
    if (sizeBox->text().trimmed().isEmpty()) {
        sizeBox->setText(QString::number(font.pointSize()));
        return;
    }
    font.setPointSize(qMax(1, TextToInt(sizeBox->text(), 10)));
    sample->setFont(font);
}

bool TfrmOption::eventFilter(QObject *watched, QEvent *e)
{
    if (e->type() == QEvent::FocusOut) {
        if (watched == txtDiagramFontSize)
            FontSizeExit(txtDiagramFontSize, txtDiagramFontSample);
        else if (watched == txtGridFontSize)
            FontSizeExit(txtGridFontSize, txtGridFontSample);
        else if (FDataSizeExits.contains(static_cast<QWidget *>(watched)))
            FontSizeExit(txtDataFontSize, txtDataFontSample);
    }
    if (lstShortCut && watched == lstShortCut) {
        if (e->type() == QEvent::KeyPress) {
            // Keys that can be assigned are taken whole: no incremental search moves the
            // selection to another entry between the press and the release.
            auto *k = static_cast<QKeyEvent *>(e);
            if (HotKeyVirtualKey(k->key()) != 0 || (k->key() >= Qt::Key_F1 && k->key() <= Qt::Key_F24))
                return true;
        } else if (e->type() == QEvent::KeyRelease) {
            auto *k = static_cast<QKeyEvent *>(e);
            if (!k->isAutoRepeat())
                lstShortCutKeyUp(k->key(), k->modifiers());
            return true;
        }
    }
    return TkdForm::eventFilter(watched, e);
}

void TfrmOption::lstShortCutKeyUp(int qtKey, Qt::KeyboardModifiers modifiers)
{
    try {
        auto *node = dynamic_cast<TkdTreeNode *>(lstShortCut->currentItem());
        if (!node || !node->isSelected() || !ActionOfNode(node))
            return;
        const THotKeyResult r = HotKeyFor(qtKey, modifiers);
        if (r.Action == THotKeyAction::Ignore)
            return;
        QString text;
        if (r.Action == THotKeyAction::Assign) {
            text = ShortCutToText(r.Shortcut);
            if (text.isEmpty())
                return;
            for (TkdTreeNode *other : ActionNodes(lstShortCut))
                if (other != node && FirstSubItem(other) == text) {
                    ShowMessageBoxFmt(QStringLiteral("同じ%sが既に存在しています。"), {QStringLiteral("ショートカット")},
                                      MB_OK | MB_ICONWARNING);
                    return;
                }
        }
        node->SetSubItems({text});
        lstShortCut->viewport()->update();
    } catch (...) {
        // A failure here leaves the entry as it was.
    }
}

// ---------------------------------------------------------------------------------------------
// OK, Cancel, Help

bool TfrmOption::CheckControls()
{
    struct TCheck {
        bool Failed;
        QWidget *Page;
        TkdNumEdit *Box;
        const char *Message;
    };
    const auto outside = [](TkdNumEdit *box, qint64 low, qint64 high) {
        const qint64 v = box->ValueInt();
        return v < low || v > high;
    };
    const TCheck checks[] = {
        {txtDataFontSize->ValueInt() == 0, tabQuery, txtDataFontSize, "サイズ(pt)は1以上の整数で入力して下さい。"},
        {txtDiagramFontSize->ValueInt() == 0, tabSQL, txtDiagramFontSize,
         "ダイアグラム部 サイズ(pt)は1以上の整数で入力して下さい。"},
        {txtGridFontSize->ValueInt() == 0, tabSQL, txtGridFontSize, "グリッド部 サイズ(pt)は1以上の整数で入力して下さい。"},
        {txtDefTopRecord->ValueInt() <= 0, tabQuery, txtDefTopRecord,
         "件数を指定して開く場合の既定レコード件数は1以上の整数で入力して下さい。"},
        {outside(txtSQLTop, 1, 65535), tabOutput, txtSQLTop, "開始行は1から65535までの整数で入力して下さい。"},
        {outside(txtMatrixRow, 1, 65535), tabOutput, txtMatrixRow, "頁行数は1から65535までの整数で入力して下さい。"},
        {outside(txtMatrixCol, 1, 255), tabOutput, txtMatrixCol, "桁数は1から255までの整数で入力して下さい。"},
    };
    for (const TCheck &c : checks) {
        if (!c.Failed)
            continue;
        pagOption->setCurrentWidget(c.Page);
        ShowMessageBox(QString::fromUtf8(c.Message), MB_OK | MB_ICONWARNING);
        c.Box->setFocus();
        return false;
    }
    return true;
}

void TfrmOption::btnOkClick()
{
    if (CheckControls())
        SetModalResult(1);
}

void TfrmOption::btnCancelClick()
{
    SetModalResult(2);
}

void TfrmOption::btnHelpClick()
{
    ShowHelpContext(50100);
}

// ---------------------------------------------------------------------------------------------
// Applying

void TfrmOption::ApplyControls()
{
    TkdOption &o = TkdOption::Global();
    TFormatOption &f = TFormatOption::Global();
    // 1. Every field from its control; whether the tree order changed is kept for the windows.
    const int newSort = Checked(rdoSort);
    const bool orderChanged = o.TreeSort != newSort;
    o.TreeSort = newSort;
    o.TreeData = chkData->isChecked();
    o.RowSelect = chkRowSelect->isChecked();
    o.DelErr = chkDelErr->isChecked();
    o.Find = chkFind->isChecked();
    o.FindAuto = chkFindAuto->isChecked();
    o.ShowTable = btnTable->isChecked();
    o.ShowIndex = btnIndex->isChecked();
    o.ShowView = btnView->isChecked();
    o.ShowFunc = btnFunc->isChecked();
    o.ShowType = btnType->isChecked();
    o.ShowTrigger = btnTrigger->isChecked();
    o.ShowSeq = btnSeq->isChecked();
    o.ShowConst = btnConst->isChecked();
    o.ShowRule = btnRule->isChecked();
    o.Progress = chkProgress->isChecked();
    o.UserFirst = chkUserFirst->isChecked();
    o.OpenMode = static_cast<TOpenMode>(qMax(0, cmbOpenMode->currentIndex()));
    o.ShowDDL = chkShowDDL->isChecked();
    o.ShowStorageSource = chkShowStorageSource->isChecked();
    o.ShowColumnSource = chkShowColumnSource->isChecked();
    o.CloseDDL = chkCloseDDL->isChecked();
    o.SaveBeforeSrc = chkBeforeSource->isChecked();
    o.SaveBeforeSrcDialog = chkBeforeSrcDialog->isChecked();
    o.SaveBeforeSrcRenum = chkBeforeSrcRenum->isChecked();
    o.SaveBeforeSrcHead = chkBeforeSrcHead->isChecked();
    o.SaveAfterSrc = chkAfterSource->isChecked();
    o.SaveAfterSrcDialog = chkAfterSrcDialog->isChecked();
    o.SaveAfterSrcRenum = chkAfterSrcRenum->isChecked();
    o.SaveAfterSrcHead = chkAfterSrcHead->isChecked();
    o.BackupData = chkBackupData->isChecked();
    o.DefaultAutoQuote = chkDefaultAutoQuote->isChecked();
    o.UsePartial = chkUsePartial->isChecked();
    o.SQLBuf = int(txtSQLBuf->ValueInt());
    o.DefTopRecord = int(txtDefTopRecord->ValueInt());
    o.DataShowMode = Checked(rdoDataShowMode);
    o.DataColWidthH = int(txtDataColWidthH->ValueInt());
    o.DataColWidthV = int(txtDataColWidthV->ValueInt());
    o.ShowWhereGrid = chkShowWhereGrid->isChecked();
    o.WhereAutoQuote = chkWhereAutoQuote->isChecked();
    o.UpdateMode = chkUpdateMode->isChecked();
    o.DateFormat = cmbDateFormat->Text();
    o.TimeDelphi = cmbTimeFormat->Text();
    o.AddStripe = chkAddStripe->isChecked();
    f = FormatFromControls();
    o.ExcelMode = Checked(rdoExcel);
    o.ExcelDialog = chkExcelDialog->isChecked();
    o.ExcelForm = txtFormSQL->text();
    o.ExcelLeft = qMax(0, cmbSQLLeft->currentIndex());
    o.ExcelFormMatrix = txtFormMatrix->text();
    o.ExcelMatrixRow = int(txtMatrixRow->ValueInt());
    o.ExcelMatrixCol = int(txtMatrixCol->ValueInt());
    o.ExcelRefresh = chkExcelRefresh->isChecked();
    o.ExcelTitle = static_cast<TTitleMode>(Checked(rdoExcelTitle));
    o.PasteColumn = Checked(rdoPasteColumn);
    o.PasteDialog = chkPasteDialog->isChecked();
    o.PasteTitle = static_cast<TTitleMode>(Checked(rdoPasteTitle));
    o.Encoding = qMax(0, cmbEncoding->currentIndex());
    o.CrossLevel = int(txtCrossLevel->ValueInt());
    o.DataGenCommit = int(txtDataGenCommit->ValueInt());
    o.UseLowerName = chkUseUpperName->isChecked();
    o.CodeAssist = chkCodeAssist->isChecked();
    o.UpdateToCommit = chkUpdateToCommit->isChecked();

    // 2. Folder boxes end with the separator; an emptied box takes the option's default.
    const std::tuple<TkdStrEdit *, QString *, const char *> folders[] = {
        {txtBeforeSource, &o.SaveBeforeSrcDir, "SaveBeforeSrcDir"},
        {txtAfterSource, &o.SaveAfterSrcDir, "SaveAfterSrcDir"},
        {txtFileDir, &o.FileDir, "FileDir"},
        {txtExcelDir, &o.ExcelDir, "ExcelDir"},
        {txtTempDir, &o.TempDir, "TempDir"},
    };
    for (const auto &[box, field, value] : folders) {
        const QString text = NormalizeFolderText(box->text(), FolderDefault(value));
        box->setText(text);
        *field = text;
    }

    // 3. Fonts: a name only when its list has a selected entry; sizes from the boxes.
    const std::tuple<QListWidget *, QString *, TkdNumEdit *, int *> fonts[] = {
        {lstDataFontName, &o.DataFontName, txtDataFontSize, &o.DataFontSize},
        {lstDiagramFontName, &o.DiagramFontName, txtDiagramFontSize, &o.DiagramFontSize},
        {lstGridFontName, &o.GridFontName, txtGridFontSize, &o.GridFontSize},
    };
    for (const auto &[list, name, sizeBox, size] : fonts) {
        const QList<QListWidgetItem *> selected = list->selectedItems();
        if (!selected.isEmpty())
            *name = selected.first()->text();
        *size = int(sizeBox->ValueInt());
    }

    // 4. Derived values.
    o.TimeOracle = TimeOracleFormat(o.TimeDelphi);
    o.ExcelTop = int(txtSQLTop->ValueInt()) - 1;

    // 5. Hot keys onto the actions, then onto every connection window.
    lstShortCut->setUpdatesEnabled(false);
    for (TkdTreeNode *node : ActionNodes(lstShortCut))
        ActionOfNode(node)->setShortcut(TextToShortCut(FirstSubItem(node)));
    lstShortCut->setUpdatesEnabled(true);
    if (TkdMainForm *host = TkdMainForm::Instance())
        for (TkdConnForm *conn : host->Connections())
            conn->SetShortCut();

    // 6. Connection windows.
    ApplyToConnectionWindows(orderChanged);

    // 7. The program's date and time formats.
    ApplyDateTimeFormats(cmbDateFormat->Text(), cmbTimeFormat->Text());
}

void TfrmOption::ApplyToConnectionWindows(bool orderChanged)
{
    TkdMainForm *host = TkdMainForm::Instance();
    if (!host)
        return;
    const TkdOption &o = TkdOption::Global();
    const QList<QWidget *> children = host->ChildWindows();
    for (auto it = children.crbegin(); it != children.crend(); ++it) {
        QWidget *window = *it;
        if (!dynamic_cast<TkdConnForm *>(window))
            continue;
        if (orderChanged) {
            // Pressing the tree-order button rebuilds the tree in that order.
            const QString name = o.TreeSort == 1 ? QStringLiteral("btnTree2") : QStringLiteral("btnTree1");
            if (auto *button = window->findChild<QAbstractButton *>(name))
                button->click();
        }
        if (QWidget *find = window->findChild<QWidget *>(QStringLiteral("pnlFind")))
            find->setVisible(o.Find);
        if (auto *list = window->findChild<QAbstractItemView *>(QStringLiteral("lstObject")))
            list->setSelectionBehavior(o.RowSelect ? QAbstractItemView::SelectRows : QAbstractItemView::SelectItems);
    }
}

// ---------------------------------------------------------------------------------------------
// Folder and file questions

void TfrmOption::PickFolder(TkdStrEdit *box, const QString &caption)
{
    std::optional<QString> chosen;
    if (PickHook()) {
        chosen = PickHook()(true, caption, box->text(), QString());
    } else {
        const QString dir = QFileDialog::getExistingDirectory(this, caption, box->text());
        if (!dir.isEmpty())
            chosen = dir;
    }
    if (chosen && !chosen->isEmpty())
        box->setText(*chosen);
}

void TfrmOption::PickFormFile(TkdStrEdit *box)
{
    QString text = box->text();
    if (text.endsWith(QLatin1Char('/')) || text.endsWith(QLatin1Char('\\'))) {
        text.chop(1);
        box->setText(text);
    }
    const QString filter = ExcelFileFilter() + QStringLiteral("|すべてのファイル(*.*)|*.*");
    std::optional<QString> chosen;
    if (PickHook()) {
        chosen = PickHook()(false, QString(), text, filter);
    } else {
        const QString file = QFileDialog::getOpenFileName(this, QString(), text, QtFileFilter(filter), nullptr,
                                                          QFileDialog::ReadOnly);
        if (!file.isEmpty())
            chosen = file;
    }
    if (chosen && !chosen->isEmpty())
        box->setText(*chosen);
}
