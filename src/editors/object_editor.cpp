#include "editors/object_editor.h"

#include "browser/fddlexec.h"
#include "browser/fddlpreview.h"
#include "browser/fobject.h"
#include "controls/fprint.h"
#include "controls/kdmemo.h"
#include "controls/kdstdctl.h"
#include "core/kddialogsupport.h"
#include "core/kdreg.h"
#include "core/kdsub_object.h"
#include "core/kdsub_text.h"
#include "editors/catalog_lookup.h"
#include "frames/cross_frame.h"
#include "frames/grant_frame.h"
#include "platform/db/dbconnection.h"
#include "platform/db/dbquery.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMdiSubWindow>
#include <QMenu>
#include <QSaveFile>
#include <QTabWidget>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

// The real dialogs: preview, run log and its wait.
class TDialogRunner : public TDDLRunner
{
public:
    bool Preview(QStringList &Lines, const QString &Schema, const QString &Name) override
    {
        return TfrmDDLPreview::ShowWindow(Lines, Schema, Name);
    }
    void Run(TkdConnForm *Owner, const QStringList &Lines) override { TfrmDDLExec::ShowWindow(Owner, Lines); }
    void RunStopping(TkdConnForm *Owner, const QStringList &Lines) override
    {
        TfrmDDLExec::ShowWindowStopping(Owner, Lines);
    }
    void Wait() override { TfrmDDLExec::WaitProc(); }
};

TDDLRunner *&InstalledRunner()
{
    static TDDLRunner *runner = nullptr;
    return runner;
}

const char *const kDefaultTablespaceSql =
    "SELECT T.spcname FROM pg_database D LEFT JOIN pg_tablespace T ON D.dattablespace = T.oid "
    "WHERE D.datname = current_database()";

QString GuiKey(const QString &key)
{
    return QString::fromUtf16(kMainKey) + QStringLiteral("\\GUI\\") + key;
}

} // namespace

TDDLRunner &DDLRunner()
{
    static TDialogRunner dialogs;
    return InstalledRunner() ? *InstalledRunner() : dialogs;
}

TDDLRunner *SetDDLRunner(TDDLRunner *Runner)
{
    TDDLRunner *previous = InstalledRunner();
    InstalledRunner() = Runner;
    return previous;
}

QWidget *ShowEditorWindow(TObjectEditor *Editor, TOpenMode Mode, bool New)
{
    try {
        Editor->OpenOn(Mode, New);
    } catch (...) {
        delete Editor;
        throw;
    }
    if (TkdMainForm *host = TkdMainForm::Instance())
        host->AddChildWindow(Editor);
    Editor->CreateTaskButton();
    Editor->ChangedIsNew();
    Editor->UpdateActions();
    return Editor;
}

// ---------------------------------------------------------------------------------------------

TObjectEditor::TObjectEditor(TkdConnForm *Owner, const TEditorPolicy &Policy, TSourceMode Mode)
    : TkdForm(Owner ? Owner->Widget() : nullptr), FPolicy(Policy)
{
    SourceMode = Mode;
    setAttribute(Qt::WA_DeleteOnClose);
    SetObjType(Policy.ObjType);
    setWindowTitle(Policy.Kind + QStringLiteral(" - 新規"));

    actCompile = new QAction(QStringLiteral("作成(&C)"), this);
    actCompile->setObjectName(QStringLiteral("actCompile"));
    actCompile->setToolTip(QStringLiteral("現在の設定値を元にオブジェクトを作成・修正します。"));
    actCompile->setStatusTip(actCompile->toolTip());
    actRefresh = new QAction(QStringLiteral("戻す(&R)"), this);
    actRefresh->setObjectName(QStringLiteral("actRefresh"));
    actRefresh->setToolTip(QStringLiteral("表示中の情報を変更前の状態に戻します。"));
    actRefresh->setStatusTip(actRefresh->toolTip());
    actDelete = new QAction(QStringLiteral("削除(&D)"), this);
    actDelete->setObjectName(QStringLiteral("actDelete"));
    actDelete->setToolTip(QStringLiteral("オブジェクトを削除します。"));
    actDelete->setStatusTip(actDelete->toolTip());
    actExit = new QAction(QStringLiteral("終了(&X)"), this);
    actExit->setObjectName(QStringLiteral("actExit"));
    actExit->setToolTip(QStringLiteral("画面を閉じます。"));
    actExit->setStatusTip(actExit->toolTip());
    if (TkdMainForm *host = TkdMainForm::Instance()) {
        actCompile->setIcon(host->Image(15));
        actRefresh->setIcon(host->Image(16));
        actDelete->setIcon(host->Image(41));
        actExit->setIcon(host->Image(42));
    }
    connect(actCompile, &QAction::triggered, this, [this] { GuardedCall([this] { Compile(); }); });
    connect(actRefresh, &QAction::triggered, this, [this] { GuardedCall([this] { Reload(); }); });
    connect(actDelete, &QAction::triggered, this, [this] { GuardedCall([this] { actDeleteExecute(); }); });
    connect(actExit, &QAction::triggered, this, [this] { actExitExecute(); });

    mnuObject = new QMenu(Policy.Kind + QStringLiteral("(&O)"), this);
    mnuObject->setObjectName(QStringLiteral("mnuObject"));
    mnuObject->addAction(actCompile);
    mnuObject->addAction(actDelete);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    // The tool bar and the name panel share the top row; the panel stays visible however
    // narrow the window is (a tool bar would hide it in its overflow menu).
    auto *top = new QWidget(this);
    auto *topRow = new QHBoxLayout(top);
    topRow->setContentsMargins(0, 0, 0, 0);
    topRow->setSpacing(0);
    tolCmd = new QToolBar(top);
    tolCmd->setObjectName(QStringLiteral("tolCmd"));
    tolCmd->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    tolCmd->addAction(actCompile);
    tolCmd->addAction(actDelete);
    tolCmd->addAction(actRefresh);
    tolCmd->addAction(actExit);
    tolCmd->addSeparator();
    pnlName = new QWidget(top);
    pnlName->setObjectName(QStringLiteral("pnlName"));
    auto *nameRow = new QHBoxLayout(pnlName);
    nameRow->setContentsMargins(4, 0, 4, 0);
    if (Policy.HasSchema) {
        nameRow->addWidget(new QLabel(QStringLiteral("スキーマ"), pnlName));
        cmbSchema = new TkdComboBox(pnlName);
        cmbSchema->setObjectName(QStringLiteral("cmbSchema"));
        cmbSchema->setEditable(true);
        cmbSchema->setMinimumWidth(110);
        nameRow->addWidget(cmbSchema);
        nameRow->addWidget(new QLabel(QStringLiteral("名前"), pnlName));
    } else {
        nameRow->addWidget(new QLabel(QStringLiteral("　名前"), pnlName));
    }
    txtName = new TkdStrEdit(pnlName);
    txtName->setObjectName(QStringLiteral("txtName"));
    txtName->setMinimumWidth(140);
    nameRow->addWidget(txtName);
    topRow->addWidget(tolCmd);
    topRow->addWidget(pnlName, 1);
    layout->addWidget(top);

    pagObject = new QTabWidget(this);
    pagObject->setObjectName(QStringLiteral("pagObject"));
    tabDefine = new QWidget;
    tabDefine->setObjectName(QStringLiteral("tabDefine"));
    pagObject->addTab(tabDefine, QStringLiteral("定義情報"));
    tabSource = new QWidget;
    tabSource->setObjectName(QStringLiteral("tabSource"));
    auto *sourceLayout = new QVBoxLayout(tabSource);
    sourceLayout->setContentsMargins(0, 0, 0, 0);
    txtSource = new TkdMemo(tabSource);
    txtSource->setObjectName(QStringLiteral("txtSource"));
    sourceLayout->addWidget(txtSource);
    pagObject->addTab(tabSource, QStringLiteral("ソース"));
    if (Policy.HasGrant) {
        tabGrant = new QWidget;
        tabGrant->setObjectName(QStringLiteral("tabGrant"));
        auto *l = new QVBoxLayout(tabGrant);
        l->setContentsMargins(0, 0, 0, 0);
        fraGrant = new TfraGrant(tabGrant);
        fraGrant->setObjectName(QStringLiteral("fraGrant"));
        l->addWidget(fraGrant);
        pagObject->addTab(tabGrant, QStringLiteral("権限"));
    }
    if (Policy.HasCross) {
        tabCross = new QWidget;
        tabCross->setObjectName(QStringLiteral("tabCross"));
        auto *l = new QVBoxLayout(tabCross);
        l->setContentsMargins(0, 0, 0, 0);
        fraCross = new TfraCross(tabCross);
        fraCross->setObjectName(QStringLiteral("fraCross"));
        l->addWidget(fraCross);
        pagObject->addTab(tabCross, QStringLiteral("相関"));
    }
    layout->addWidget(pagObject, 1);
}

TObjectEditor::~TObjectEditor() = default;

void TObjectEditor::FinishSetup()
{
    InitForm();
    if (cmbSchema)
        connect(cmbSchema, &QComboBox::editTextChanged, this, [this] { OnChange(); });
    connect(txtName, &QLineEdit::textChanged, this, [this] { OnChange(); });
    connect(txtSource, &QsciScintilla::textChanged, this, [this] { OnChange(); });
    connect(pagObject, &QTabWidget::currentChanged, this, [this](int i) { pagObjectChange(i); });
}

QString TObjectEditor::CaptionFor(TkdConnForm *Owner, const TEditorPolicy &Policy, const QString &Schema,
                                  const QString &Name, const QString &Table)
{
    if (Name.isEmpty() || !Owner)
        return Policy.Kind + QStringLiteral(" - 新規");
    const TRecParam rec = MakeRecParam(
        Owner->ConnectionParam(QStringLiteral("Server")), Owner->ConnectionParam(QStringLiteral("Database")),
        Policy.HasSchema ? Schema : Owner->CurrentSchema(), Owner->ConnectionParam(QStringLiteral("Port")),
        Owner->ConnectionParam(QStringLiteral("User_Name")), Owner->ConnectionParam(QStringLiteral("Password")),
        Name, QString(), Table);
    return Policy.Kind + QStringLiteral(" - ") + FormatRecParam(rec, Policy.CaptionMode);
}

QString TObjectEditor::SchemaText() const
{
    return cmbSchema ? cmbSchema->Text() : QString();
}

QString TObjectEditor::NameText() const
{
    return txtName->text();
}

bool TObjectEditor::SourcePageShown() const { return pagObject->currentWidget() == tabSource; }
bool TObjectEditor::DefinePageShown() const { return pagObject->currentWidget() == tabDefine; }
bool TObjectEditor::GrantPageShown() const { return tabGrant && pagObject->currentWidget() == tabGrant; }
bool TObjectEditor::CrossPageShown() const { return tabCross && pagObject->currentWidget() == tabCross; }

void TObjectEditor::ChangedIsNew()
{
    if (!pagObject)
        return; // during construction of the base
    if (IsNew()) {
        setWindowTitle(FPolicy.Kind + QStringLiteral(" - 新規"));
        SetTaskCaption(QStringLiteral("新規"));
    } else {
        setWindowTitle(CaptionFor(OwnerForm(), FPolicy, SchemaText(), NameText()));
        SetTaskCaption(NameText());
    }
    pnlName->setEnabled(IsNew());
    // Typed names of a new object fold to lower case (unless UseLowerName); the names of an
    // existing object are shown exactly as the catalog holds them.
    const TEditCharCase nameCase = IsNew() && !UseLowerName() ? ecLowerCase : ecNormal;
    txtName->SetCharCase(nameCase);
    if (cmbSchema)
        cmbSchema->SetCharCase(nameCase);
    for (QWidget *page : {tabSource, tabGrant, tabCross})
        if (page)
            pagObject->setTabVisible(pagObject->indexOf(page), !IsNew());
    ChangedIsNewEditor();
    if (IsNew() && SourceMode == smShow)
        txtName->setFocus();
    UpdateActions();
}

void TObjectEditor::OnChange()
{
    if (FLoading)
        return;
    SetModified(true);
    UpdateActions();
}

void TObjectEditor::UpdateActions()
{
    if (!actCompile)
        return;
    actCompile->setEnabled(Modified() || SourcePageShown());
    actRefresh->setEnabled(true);
    actDelete->setEnabled(!IsNew());
    actExit->setEnabled(true);
    if (actOutput) {
        // Output shows the object as it stands on the server.
        const bool ready = !IsNew() && !Modified();
        for (QAction *a : {actOutput, actPrint, actSave})
            a->setEnabled(ready);
    }
    UpdateEditorActions();
}

void TObjectEditor::SetPage(QWidget *Page)
{
    if (!Page || pagObject->indexOf(Page) < 0)
        Page = tabDefine;
    QSignalBlocker block(pagObject);
    pagObject->setCurrentWidget(Page);
    FPage = pagObject->currentIndex();
}

QWidget *TObjectEditor::OpeningPage(TOpenMode Mode, bool New)
{
    if (New)
        return tabDefine;
    switch (Mode) {
    case omSource: return tabSource;
    case omCross: return tabCross;
    case omGrant: return tabGrant;
    default: return tabDefine;
    }
}

void TObjectEditor::OpenOn(TOpenMode Mode, bool New)
{
    SetIsNew(New);
    SetPage(OpeningPage(Mode, New));
    ShowDefine();
}

QStringList TObjectEditor::ScriptLines()
{
    SourceMode = smText;
    SetPage(tabDefine);
    ShowDefine();
    QStringList lines = txtSource->text().split(QLatin1Char('\n'));
    for (QString &l : lines)
        if (l.endsWith(QLatin1Char('\r')))
            l.chop(1);
    while (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

bool TObjectEditor::MustRecreate() const
{
    return IsNew() || SourceMode == smText || SourcePageShown();
}

void TObjectEditor::ShowGrant()
{
    fraGrant->ShowData(SchemaText(), NameText(), -1);
}

void TObjectEditor::ShowCross()
{
    fraCross->ShowData(SchemaText(), NameText());
}

void TObjectEditor::ShowDefine()
{
    TkdWaitCursor wait;
    FLoading = true;
    struct TEnd {
        TObjectEditor *e;
        ~TEnd()
        {
            e->FLoading = false;
            e->SetModified(false);
            e->UpdateActions();
        }
    } end{this};
    if (!IsNew())
        LoadDefinition();
    SaveControls();
    if (SourcePageShown() || SourceMode == smText) {
        QStringList lines;
        GetSourceCreate(lines);
        txtSource->setText(lines.join(QLatin1Char('\n')));
        txtSource->SendScintilla(QsciScintillaBase::SCI_EMPTYUNDOBUFFER);
        txtSource->setCursorPosition(0, 0);
    }
    if (SourceMode == smShow && !IsNew()) {
        if (GrantPageShown())
            ShowGrant();
        if (CrossPageShown())
            ShowCross();
    }
}

void TObjectEditor::ObjectMissing()
{
    if (SourceMode == smShow)
        ShowMessageBox(QStringLiteral("定義情報を読み込めませんでした。"), MB_ICONERROR | MB_OK);
    throw EAbort();
}

void TObjectEditor::Refuse(const QString &Text, QWidget *Focus)
{
    ShowMessageBox(Text, MB_ICONWARNING | MB_OK);
    if (Focus)
        Focus->setFocus();
    throw EAbort();
}

void TObjectEditor::CheckNameLength(const QString &Text, QWidget *Focus)
{
    if (TrimBlanks(Text).toUtf8().size() > kMaxNameBytes)
        Refuse(QStringLiteral("名前が長すぎます。%1バイト以内で入力して下さい。").arg(kMaxNameBytes), Focus);
}

// ---------------------------------------------------------------------------------------------
// Pages

bool TObjectEditor::pagObjectChanging()
{
    if (Modified() && !IsToastObject()) {
        switch (ShowMessageBox(QStringLiteral("情報が変更されています。コンパイルしますか？"),
                               MB_YESNOCANCEL | MB_ICONQUESTION)) {
        case IDYES:
            GuardedCall([this] { Compile(); });
            break;
        case IDNO:
            SetModified(false);
            break;
        default:
            break;
        }
    }
    return !Modified();
}

void TObjectEditor::pagObjectChange(int Index)
{
    if (Index == FPage)
        return;
    const int target = Index;
    {
        // The question and a compile see the page that is being left.
        QSignalBlocker block(pagObject);
        pagObject->setCurrentIndex(FPage);
    }
    if (!pagObjectChanging()) {
        UpdateActions();
        return;
    }
    {
        QSignalBlocker block(pagObject);
        pagObject->setCurrentIndex(target);
    }
    FPage = pagObject->currentIndex();
    UpdateActions();
    GuardedCall([this] { ShowDefine(); });
}

void TObjectEditor::Reload()
{
    if (Modified()
        && ShowMessageBox(QStringLiteral("全ての変更を取り消しますか？"), MB_YESNO | MB_ICONQUESTION) != IDYES)
        return;
    ShowDefine();
}

// ---------------------------------------------------------------------------------------------
// Compile

void TObjectEditor::SaveSource(bool After)
{
    auto *conn = dynamic_cast<TfrmObject *>(OwnerForm());
    if (!conn)
        return;
    const QString schema = FPolicy.PreviewWithSchema ? SchemaText() : QString();
    if (After)
        conn->SaveAfterSource(schema, NameText(), ObjType());
    else
        conn->SaveBeforeSource(schema, NameText(), ObjType());
}

void TObjectEditor::Compile()
{
    CommitActiveEdit();
    if (KdIsBlankText(NameText()))
        Refuse(QStringLiteral("名前を入力して下さい。"), txtName);
    if (cmbSchema && cmbSchema->IsNull())
        Refuse(QStringLiteral("スキーマ名を入力して下さい。"), cmbSchema);
    if (IsNew()) {
        CheckNameLength(NameText(), txtName);
        if (cmbSchema)
            CheckNameLength(SchemaText(), cmbSchema);
    }
    ValidateInput();

    const bool wasNew = IsNew();
    const bool recreate = MustRecreate();
    QStringList lines;
    if (!wasNew && recreate)
        GetSourceDrop(lines);
    if (SourcePageShown()) {
        QStringList memo = txtSource->text().split(QLatin1Char('\n'));
        for (QString &l : memo)
            if (l.endsWith(QLatin1Char('\r')))
                l.chop(1);
        lines += memo;
    } else if (GrantPageShown()) {
        fraGrant->GetSource(lines);
    } else if (recreate) {
        GetSourceCreate(lines);
    } else {
        GetSourceAlter(lines);
    }
    const bool stopping = !wasNew && recreate && FinishRecreate(lines);

    if (TrimBlanks(lines.join(QLatin1Char('\n'))).isEmpty()) {
        ShowMessageBox(QStringLiteral("変更箇所が見つかりませんでした。"), FPolicy.NoChangeIcon | MB_OK);
        SetIsNew(false);
        ShowDefine();
        return;
    }

    TDDLRunner &runner = DDLRunner();
    const QString previewSchema = FPolicy.PreviewWithSchema ? SchemaText() : QString();
    if (FPolicy.Preview && !runner.Preview(lines, previewSchema, NameText()))
        return;
    if (!wasNew)
        SaveSource(false);

    db::Connection *c = OwnerForm()->dbsMain();
    if (FPolicy.Transaction)
        c->startTransaction();
    bool committed = !FPolicy.Transaction;
    try {
        if (FPolicy.RunLog && stopping) {
            runner.RunStopping(OwnerForm(), lines);
        } else if (FPolicy.RunLog) {
            runner.Run(OwnerForm(), lines);
        } else if (auto *conn = dynamic_cast<TfrmObject *>(OwnerForm())) {
            conn->ExecuteSQL(lines, false);
        } else {
            runner.Run(OwnerForm(), lines);
        }
        if (FPolicy.Transaction) {
            c->commit();
            committed = true;
        }
    } catch (...) {
        // Only the compile's own level is undone; the user's open work stays as it was.
        if (!committed) {
            try {
                c->rollback();
            } catch (...) {
            }
        }
        if (FPolicy.WaitAfterRollback && FPolicy.RunLog)
            runner.Wait();
        throw;
    }

    bool closeNow = false;
    try {
        if (!FPolicy.RunLog)
            ShowMessageBox(QStringLiteral("コンパイルは正常に終了しました。"), MB_ICONINFORMATION | MB_OK);
        AfterCommit(recreate, wasNew);
        SaveSource(true);
        SetIsNew(false);
        closeNow = wasNew && FPolicy.CloseAfterCreate;
        if (!closeNow)
            ShowDefine();
    } catch (...) {
        // Committed already: the object stands as the server holds it; the error is shown.
        if (FPolicy.RunLog)
            runner.Wait();
        throw;
    }
    if (FPolicy.RunLog)
        runner.Wait();
    if (closeNow) {
        SetModified(false);
        CloseWindow();
    }
}

// ---------------------------------------------------------------------------------------------
// Delete, exit, layout

void TObjectEditor::CloseWindow()
{
    if (auto *sub = qobject_cast<QMdiSubWindow *>(parentWidget()))
        sub->close();
    else
        close();
}

void TObjectEditor::actDeleteExecute()
{
    if (IsNew() || IsToastObject())
        return;
    bool cascade = false;
    int answer;
    const QString question = QStringLiteral("オブジェクトを削除しますか？");
    if (FPolicy.OfferCascade) {
        QList<MsgCheckItem> items{{QStringLiteral("CASCADE オプション"), false}};
        answer = ShowCheckMessageBox(question, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2, items);
        cascade = items.value(0).Checked;
    } else {
        answer = ShowMessageBox(question, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2);
    }
    if (answer != IDYES)
        return;
    {
        TkdWaitCursor wait;
        OwnerForm()->ExecuteSQL(DropStatement(cascade));
    }
    // Only now: the DROP succeeded.
    ShowMessageBox(QStringLiteral("オブジェクトが削除されました。"), MB_ICONINFORMATION | MB_OK);
    SetModified(false);
    CloseWindow();
}

void TObjectEditor::actExitExecute()
{
    CloseWindow();
}

void TObjectEditor::LoadWindowLayout()
{
    TkdRegistry &reg = SharedRegistry();
    if (!reg.OpenKey(GuiKey(FPolicy.LayoutKey), true))
        return;
    if (!isMaximized() && !isMinimized())
        resize(reg.GetInteger(QStringLiteral("Width"), width()), reg.GetInteger(QStringLiteral("Height"), height()));
    reg.CloseKey();
}

void TObjectEditor::SaveWindowLayout()
{
    if (SourceMode == smText)
        return;
    TkdRegistry &reg = SharedRegistry();
    if (!reg.OpenKey(GuiKey(FPolicy.LayoutKey), true))
        return;
    QWidget *frame = parentWidget() ? parentWidget() : this;
    if (!frame->isMaximized() && !frame->isMinimized()) {
        reg.WriteInteger(QStringLiteral("Width"), width());
        reg.WriteInteger(QStringLiteral("Height"), height());
    }
    reg.CloseKey();
}

QStringList TObjectEditor::ReadList(const QString &Sql, const QStringList &Values) const
{
    return ReadFirstColumn(OwnerForm(), Sql, Values);
}

QWidget *TObjectEditor::AddTablespacePage(TkdComboBox *&Box)
{
    auto *page = new QWidget(pagObject);
    page->setObjectName(QStringLiteral("tabStorage"));
    auto *grid = new QGridLayout(page);
    Box = new TkdComboBox(page);
    Box->setObjectName(QStringLiteral("cmbTBS"));
    Box->setEditable(false);
    Box->setMinimumWidth(180);
    grid->addWidget(new QLabel(QStringLiteral("表領域"), page), 0, 0);
    grid->addWidget(Box, 0, 1);
    grid->setColumnStretch(2, 1);
    grid->setRowStretch(1, 1);
    pagObject->addTab(page, QStringLiteral("領域情報"));
    return page;
}

QString TObjectEditor::FillTablespaces(TkdComboBox *Box)
{
    QStringList spaces;
    OwnerForm()->GetTBS(spaces);
    const QString def = ReadList(QString::fromLatin1(kDefaultTablespaceSql)).value(0);
    const QSignalBlocker block(Box);
    Box->clear();
    Box->addItems(spaces);
    SelectComboItem(Box, def);
    return def;
}

void TObjectEditor::AddOutputMenu(const TOutputMenu &Menu)
{
    TkdMainForm *host = TkdMainForm::Instance();
    auto action = [&](const char *name, const QString &text, const QString &tip, const QString &status, int image) {
        auto *a = new QAction(text, this);
        a->setObjectName(QLatin1String(name));
        a->setToolTip(tip);
        a->setStatusTip(status);
        if (host)
            a->setIcon(host->Image(image));
        return a;
    };
    actOutput = action("actOutput", QStringLiteral("出力(&P)"), Menu.OutputHint, Menu.OutputHint, 36);
    actPrint = action("actPrint", QStringLiteral("印刷(&P)"), QStringLiteral("印刷"),
                      QStringLiteral("オブジェクトの情報を印刷します。"), 98);
    actSave = action("actSave", QStringLiteral("ファイル保存(&S)"), QStringLiteral("ファイル保存"), Menu.SaveHint, 18);
    popOutput = new QMenu(this);
    popOutput->setObjectName(QStringLiteral("popOutput"));
    // The menu items are the actions themselves (mnuOutputPrint, mnuOutputSave).
    popOutput->addAction(actPrint);
    popOutput->addAction(actSave);
    actOutput->setMenu(popOutput);
    tolCmd->insertAction(Menu.Before ? Menu.Before : actDelete, actOutput);
    btnOutput = qobject_cast<QToolButton *>(tolCmd->widgetForAction(actOutput));
    if (btnOutput) {
        btnOutput->setObjectName(QStringLiteral("btnOutput"));
        btnOutput->setPopupMode(QToolButton::MenuButtonPopup);
    }
    if (Menu.ObjectSubmenu) {
        mnuObject->addMenu(popOutput)->setText(actOutput->text());
    } else {
        mnuObject->addSeparator();
        mnuObject->addAction(actPrint);
        mnuObject->addAction(actSave);
    }
    connect(actOutput, &QAction::triggered, this, [this] { actOutputExecute(); });
    connect(actPrint, &QAction::triggered, this, [this] { GuardedCall([this] { actPrintExecute(); }); });
    connect(actSave, &QAction::triggered, this, [this] { GuardedCall([this] { actSaveExecute(); }); });
}

QStringList TObjectEditor::OutputText()
{
    QStringList lines;
    GetSourceCreate(lines);
    return lines;
}

void TObjectEditor::actOutputExecute()
{
    if (actOutput && actOutput->isEnabled() && btnOutput)
        btnOutput->showMenu();
}

void TObjectEditor::actPrintExecute()
{
    if (IsNew() || Modified())
        return;
    PrintObjectText([this] { return OutputText(); });
}

void TObjectEditor::actSaveExecute()
{
    if (IsNew() || Modified())
        return;
    SaveObjectText(OutputText());
}

void TObjectEditor::PrintObjectText(const std::function<QStringList()> &Lines)
{
    const QString title = SchemaText() + QLatin1Char('.') + NameText();
    TfrmPrint::ShowWindow(title, [&] {
        TfrmPrint::BeginPrint();
        struct TEnd {
            ~TEnd() { TfrmPrint::EndPrint(); }
        } end;
        TfrmPrint::PrintSource(title, Lines(), true);
    });
}

void TObjectEditor::SaveObjectText(const QStringList &Lines)
{
    TkdOption &option = TkdOption::Global();
    TSaveFileRequest request;
    request.Parent = this;
    request.Title = QStringLiteral("ファイル保存");
    QString dir = option.FileDir;
    if (!dir.isEmpty() && !dir.endsWith(u'/') && !dir.endsWith(u'\\'))
        dir += u'/';
    request.FileName = dir + SafePathPart(SchemaText() + QLatin1Char('.') + NameText()) + QStringLiteral(".sql");
    request.Filter = QStringLiteral("SQLファイル(*.sql)|*.sql|すべてのファイル(*.*)|*.*");
    request.DefaultSuffix = QStringLiteral("sql");
    const QString path = PromptSaveFile(request);
    if (path.isEmpty())
        return;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw TkdFileError(QStringLiteral("ファイルを作成できません: %1 (%2)").arg(path, file.errorString()));
    file.write(TScriptSink::EncodeLines(Lines, GetFileEncoding()));
    if (!file.commit())
        throw TkdFileError(QStringLiteral("ファイルを書き込めません: %1 (%2)").arg(path, file.errorString()));
    ShowMessageBox(QStringLiteral("スクリプトが出力されました。"), MB_ICONINFORMATION | MB_OK);
    option.FileDir = QFileInfo(path).absolutePath() + u'/';
}
