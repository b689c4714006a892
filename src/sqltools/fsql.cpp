#include "sqltools/fsql.h"
#include "browser/fobject.h"
#include "frames/data_frame.h"
#include "frames/plan_frame.h"
#include "controls/kdcomctrls.h"
#include "controls/kdgrid.h"
#include "controls/kdmemo.h"
#include "controls/kdsqlerrormark.h"
#include "core/kdcallwait.h"
#include "core/kdopeners.h"
#include "core/kdreg.h"
#include "core/kdsub_msg.h"
#include "core/kdsub_options.h"
#include "core/kdsub_start.h"
#include "platform/db/dbconnection.h"
#include "platform/db/dberror.h"
#include "platform/db/dbquery.h"
#include "platform/db/dbsql.h"
#include "sqltools/fsqllog.h"
#include "sqltools/sqlbind.h"
#include "sqltools/sqlhistory.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QRegularExpression>
#include <QSplitter>
#include <QTabWidget>
#include <QTime>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

const QString kLayoutKey = QStringLiteral("\\Software\\Tarnwell\\ZUMAQ\\GUI\\EXECSQL");

QString NotAvailable() { return kdopeners::NotAvailableText(); }

// A row-returning statement: a query, or a change with RETURNING.
bool ReturnsRows(db::CommandKind kind, const QString &text)
{
    using K = db::CommandKind;
    if (kind == K::Select || kind == K::SelectForLock)
        return true;
    if (kind == K::Insert || kind == K::Update || kind == K::Delete) {
        // The word outside literals and comments: parseParams has skipped them in its scan,
        // so look for it in the text with quoted parts blanked.
        static const QRegularExpression quoted(QStringLiteral("'(?:[^']|'')*'|\"(?:[^\"]|\"\")*\"|--[^\\n]*|/\\*.*?\\*/"),
                                               QRegularExpression::DotMatchesEverythingOption);
        QString t = text;
        t.replace(quoted, QStringLiteral(" "));
        static const QRegularExpression word(QStringLiteral("\\bRETURNING\\b"), QRegularExpression::CaseInsensitiveOption);
        return word.match(t).hasMatch();
    }
    return false;
}

QString Elapsed(qint64 ms)
{
    return QStringLiteral("処理時間(HH:MM:SS.Ms)：") + QTime(0, 0).addMSecs(int(ms)).toString(QStringLiteral("hh:mm:ss.zzz"));
}

// The run's last status text: shown again once the loop's progress display has ended.
QString &LastStatus()
{
    static QString text;
    return text;
}

void SetStatus(const QString &text)
{
    LastStatus() = text;
    if (TkdMainForm *m = TkdMainForm::Instance())
        m->SetStatusText(text);
}

const QString &InterruptedText()
{
    static const QString text = QStringLiteral("処理を中断しました。");
    return text;
}

bool IsCancelled(const std::exception &e)
{
    auto *d = dynamic_cast<const db::Error *>(&e);
    return d && d->kind == db::Error::Kind::Cancelled;
}

QString ErrorText(const std::exception &e)
{
    if (auto *d = dynamic_cast<const db::Error *>(&e))
        return d->message;
    if (auto *b = dynamic_cast<const EBindConvertError *>(&e))
        return b->Message();
    if (auto *f = dynamic_cast<const TkdFileError *>(&e))
        return f->Message();
    return QString::fromUtf8(e.what());
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Result pane

TSQLResultPane::TSQLResultPane(QWidget *parent) : QWidget(parent)
{
    FFrame = new TfraData(this);
    FFrame->setObjectName(QStringLiteral("fraData"));
    // Each statement goes out as one command: a text holding two is refused by the server.
    FFrame->qryData()->setSingleStatement(true);
    auto *lay = new QVBoxLayout(this);
    lay->setContentsMargins(0, 0, 0, 0);
    lay->addWidget(FFrame);
}

TSQLResultPane::~TSQLResultPane()
{
    Release();
}

db::Query *TSQLResultPane::Query() const
{
    return FFrame->qryData();
}

void TSQLResultPane::Release()
{
    FFrame->qryData()->close();
}

void TSQLResultPane::SetConnection(db::Connection *conn)
{
    Release();
    FFrame->SetConnection(conn);
}

// ---------------------------------------------------------------------------------------------
// Window

TfrmSQL::TfrmSQL(TkdConnForm *AOwner) : TkdForm(AOwner ? static_cast<QObject *>(AOwner->Widget()) : nullptr)
{
    setObjectName(QStringLiteral("frmSQL"));
    setWindowTitle(QStringLiteral("SQL 実行"));
    // A long statement keeps the windows painting and answers Esc.
    InstallCallWaiter();
    setAttribute(Qt::WA_DeleteOnClose);
    BuildWindow();
    InitForm();
    CreateTaskButton();
    SetTaskIcon(10);
    setAcceptDrops(true);
    FLog = -1;
    fraData->Frame()->SetTableName(QStringLiteral("SQL"));
    FillConnectionBox();
    const int i = AOwner ? cmbDBName->findText(BoxText(AOwner)) : -1;
    if (i >= 0) {
        cmbDBName->setCurrentIndex(i);
        cmbDBNameChange();
    }
    connect(cmbDBName, &QComboBox::activated, this, [this] { GuardedCall([this] { cmbDBNameChange(); }); });
    LoadWindowLayout();
    if (TkdMainForm *m = TkdMainForm::Instance())
        m->AddChildWindow(this);
    txtSQL->setFocus();
}

TfrmSQL::~TfrmSQL()
{
    if (TkdMainForm *m = TkdMainForm::Instance())
        m->UnmergeMenu(mnuTool);
}

QString TfrmSQL::BoxText(TkdConnForm *form)
{
    return FormatRecParam(form->RecParam(), 1);
}

void TfrmSQL::BuildWindow()
{
    auto *root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);

    auto makeAction = [this](const char *name, const QString &caption, const QString &hint, int image) {
        auto *a = new QAction(caption, this);
        a->setObjectName(QLatin1String(name));
        a->setToolTip(hint);
        a->setStatusTip(hint);
        if (TkdMainForm *m = TkdMainForm::Instance())
            a->setIcon(m->Image(image));
        return a;
    };
    actExec = makeAction("actExec", QStringLiteral("実行(&E)"), QStringLiteral("入力したSQL文を実行します。"), 28);
    actPrev = makeAction("actPrev", QStringLiteral("前(&P)"), QStringLiteral("前の履歴を表示します。"), 29);
    actNext = makeAction("actNext", QStringLiteral("次(&N)"), QStringLiteral("次の履歴を表示します。"), 30);
    actLog = makeAction("actLog", QStringLiteral("履歴(&L)"), QStringLiteral("過去に実行したSQL文を一覧表示します。"), 86);
    actOpen = makeAction("actOpen", QStringLiteral("開く(&O)"), QStringLiteral("SQLスクリプトファイルを開きます。"), 17);
    actSave = makeAction("actSave", QStringLiteral("保存(&S)"), QStringLiteral("入力したSQL文をスクリプトファイルとして保存します。"), 18);
    actExit = makeAction("actExit", QStringLiteral("終了(&X)"), QStringLiteral("画面を閉じます。"), 42);
    actExec->setShortcut(QKeySequence(Qt::Key_F9));
    actExec->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    addAction(actExec);

    connect(actExec, &QAction::triggered, this, [this] { GuardedCall([this] { actExecExecute(); }); });
    connect(actPrev, &QAction::triggered, this, [this] { GuardedCall([this] { actPrevExecute(); }); });
    connect(actNext, &QAction::triggered, this, [this] { GuardedCall([this] { actNextExecute(); }); });
    connect(actLog, &QAction::triggered, this, [this] { GuardedCall([this] { actLogExecute(); }); });
    // Script files come with a later version of the window.
    connect(actOpen, &QAction::triggered, this, [] { ShowMessageBox(NotAvailable(), MB_OK | MB_ICONINFORMATION); });
    connect(actSave, &QAction::triggered, this, [] { ShowMessageBox(NotAvailable(), MB_OK | MB_ICONINFORMATION); });
    connect(actExit, &QAction::triggered, this, &QWidget::close);

    auto *bar = new QHBoxLayout;
    bar->setSpacing(0);
    tolCmd = new QToolBar(this);
    tolCmd->setObjectName(QStringLiteral("tolCmd"));
    tolCmd->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    for (QAction *a : {actExec, actPrev, actNext, actLog, actExit})
        tolCmd->addAction(a);
    tolOption = new QToolBar(this);
    tolOption->setObjectName(QStringLiteral("tolOption"));
    tolOption->addAction(actOpen);
    tolOption->addAction(actSave);
    btnShowDesign = new QToolButton(this);
    btnShowDesign->setObjectName(QStringLiteral("btnShowDesign"));
    btnShowDesign->setCheckable(true);
    btnShowDesign->setToolTip(QStringLiteral("SQLビルダを表示します。"));
    btnShowDesign->setText(QStringLiteral("SQLビルダ"));
    btnExplan = new QToolButton(this);
    btnExplan->setObjectName(QStringLiteral("btnExplan"));
    btnExplan->setCheckable(true);
    btnExplan->setToolTip(QStringLiteral("実行計画を表示します。"));
    btnExplan->setText(QStringLiteral("実行計画"));
    if (TkdMainForm *m = TkdMainForm::Instance()) {
        btnShowDesign->setIcon(m->Image(110));
        btnExplan->setIcon(m->Image(112));
    }
    tolOption->addWidget(btnShowDesign);
    tolOption->addWidget(btnExplan);
    connect(btnShowDesign, &QToolButton::clicked, this, [this] {
        // The query builder comes with a later version of the window.
        btnShowDesign->setChecked(false);
        ShowMessageBox(NotAvailable(), MB_OK | MB_ICONINFORMATION);
    });
    connect(btnExplan, &QToolButton::clicked, this, [this] { btnExplanClick(); });
    pnlName = new QLabel(QStringLiteral("　データベース"), this);
    pnlName->setObjectName(QStringLiteral("pnlName"));
    cmbDBName = new QComboBox(this);
    cmbDBName->setObjectName(QStringLiteral("cmbDBName"));
    cmbDBName->setMinimumContentsLength(30);
    cmbDBName->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    bar->addWidget(tolCmd);
    bar->addWidget(tolOption);
    tolCmd->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    tolOption->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    bar->addSpacing(8);
    bar->addWidget(pnlName);
    bar->addWidget(cmbDBName, 1);
    root->addLayout(bar);

    splSQL = new QSplitter(Qt::Vertical, this);
    splSQL->setObjectName(QStringLiteral("splSQL"));
    splSQL->setChildrenCollapsible(false);
    splParam = new QSplitter(Qt::Horizontal, splSQL);
    splParam->setObjectName(QStringLiteral("pnlSQL"));
    splParam->setMinimumHeight(30);
    txtSQL = new TkdMemo(splParam);
    txtSQL->setObjectName(QStringLiteral("txtSQL"));
    grdParam = new TkdStringGrid(splParam);
    grdParam->setObjectName(QStringLiteral("grdParam"));
    grdParam->SetColCount(3);
    grdParam->SetRowCount(2);
    grdParam->SetFixedRows(1);
    grdParam->SetHeader({QStringLiteral("バインド変数名"), QStringLiteral("値"), QStringLiteral("型")});
    grdParam->SetEditStyles(2, gePickList);
    grdParam->hide();
    grdParam->OnGetPickListitems = [this](int ACol, int, QStringList &AItems) {
        if (ACol != 2)
            return;
        if (!FTypeListLoaded) {
            FTypeListLoaded = true;
            if (auto *obj = dynamic_cast<TfrmObject *>(OwnerForm())) {
                QStringList all;
                GuardedCall([&] { obj->GetDataType(all, 0); });
                for (const QString &t : all)
                    if (IsKnownBindType(t))
                        L_tstrTypLst << t;
            }
        }
        AItems = L_tstrTypLst;
    };
    // The variable names are the statement's: column 0 is never edited.
    connect(grdParam, &TkdStringGrid::OnSelectCell, this, [this](TkdStringGrid *, int ACol, int) {
        grdParam->setEditTriggers(ACol == 0 ? QAbstractItemView::NoEditTriggers
                                            : QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed
                                                  | QAbstractItemView::AnyKeyPressed);
    });

    auto *results = new QWidget(splSQL);
    auto *rl = new QVBoxLayout(results);
    rl->setContentsMargins(0, 0, 0, 0);
    pagData = new QTabWidget(results);
    pagData->setObjectName(QStringLiteral("pagData"));
    fraData = new TSQLResultPane(pagData);
    fraData->setObjectName(QStringLiteral("fraData"));
    pagData->addTab(fraData, QStringLiteral("結果"));
    pagExplan = new QTabWidget(results);
    pagExplan->setObjectName(QStringLiteral("pagExplan"));
    fraExplan = new TfraExplan(pagExplan);
    fraExplan->setObjectName(QStringLiteral("fraExplan"));
    pagExplan->addTab(fraExplan, QStringLiteral("実行計画"));
    pagExplan->hide();
    rl->addWidget(pagData);
    rl->addWidget(pagExplan);
    splSQL->addWidget(splParam);
    splSQL->addWidget(results);
    root->addWidget(splSQL, 1);

    qrySQL = new db::Query(nullptr, this);
    qryExec = new db::Query(nullptr, this);
    qryExec->setSingleStatement(true);

    mnuTool = new QMenu(QStringLiteral("SQL実行(&O)"), this);
    mnuTool->setObjectName(QStringLiteral("mnuTool"));
    mnuTool->addAction(actExec);
    mnuTool->addSeparator();
    mnuTool->addAction(actPrev);
    mnuTool->addAction(actNext);
    mnuTool->addAction(actLog);
    mnuTool->addSeparator();
    mnuTool->addAction(actOpen);
    mnuTool->addAction(actSave);

    connect(txtSQL, &QsciScintilla::textChanged, this, [this] { UpdateActions(); });
    connect(this, &TkdForm::OwnerFormChanged, this, [this](TkdConnForm *form) {
        db::Connection *c = form ? form->dbsMain() : nullptr;
        for (TSQLResultPane *p : findChildren<TSQLResultPane *>())
            p->SetConnection(c);
        qrySQL->setConnection(c);
        qryExec->setConnection(c);
        fraExplan->SetConnection(c);
    });
    UpdateActions();
    resize(800, 600);
}

void TfrmSQL::UpdateActions()
{
    const QString t = txtSQL->text();
    actExec->setEnabled(!t.isEmpty() && t != QLatin1String("\r\n") && t != QLatin1String("\n"));
    actSave->setEnabled(!t.isEmpty());
}

void TfrmSQL::Activate()
{
    TkdForm::Activate();
    if (TkdMainForm *m = TkdMainForm::Instance())
        m->MergeMenu(mnuTool);
}

void TfrmSQL::FillConnectionBox()
{
    cmbDBName->clear();
    TkdMainForm *m = TkdMainForm::Instance();
    if (!m)
        return;
    for (TkdConnForm *f : m->Connections())
        cmbDBName->addItem(BoxText(f), QVariant::fromValue(static_cast<void *>(f)));
}

void TfrmSQL::cmbDBNameChange()
{
    const int i = cmbDBName->currentIndex();
    if (i >= 0) {
        auto *form = static_cast<TkdConnForm *>(cmbDBName->itemData(i).value<void *>());
        SetOwnerForm(form);
        db::Connection *c = form ? form->dbsMain() : nullptr;
        for (TSQLResultPane *p : findChildren<TSQLResultPane *>())
            p->SetConnection(c);
        qrySQL->setConnection(c);
        qryExec->setConnection(c);
        fraExplan->SetConnection(c);
        const QString id = FormatRecParam(form->RecParam(), 0);
        setWindowTitle(QStringLiteral("SQL 実行 - ") + id);
        SetTaskCaption(id.size() > 12 ? id.left(10) + QStringLiteral("…") : id);
    }
    L_strDBNmBfr = cmbDBName->currentText();
}

void TfrmSQL::DBChange()
{
    const QString remembered = cmbDBName->currentText();
    FillConnectionBox();
    const int i = cmbDBName->findText(remembered);
    if (cmbDBName->count() == 0 || i < 0 || !OwnerFormOpen()) {
        close();
        return;
    }
    cmbDBName->setCurrentIndex(i);
}

void TfrmSQL::closeEvent(QCloseEvent *e)
{
    for (TSQLResultPane *p : findChildren<TSQLResultPane *>())
        p->Release();
    qrySQL->close();
    qryExec->close();
    SetStatus(QString());
    TkdForm::closeEvent(e);
}

void TfrmSQL::resizeEvent(QResizeEvent *e)
{
    TkdForm::resizeEvent(e);
    SetPlanHeaderWidths();
}

void TfrmSQL::SetPlanHeaderWidths()
{
    TkdTreeView *tree = fraExplan->lstPlan();
    tree->setColumnWidth(0, qMax(100, width() - 329));
    tree->setColumnWidth(1, 100);
    tree->setColumnWidth(2, 80);
    tree->setColumnWidth(3, 80);
}

void TfrmSQL::btnExplanClick()
{
    const bool plan = btnExplan->isChecked();
    pagExplan->setVisible(plan);
    pagData->setVisible(!plan);
    if (plan)
        SetPlanHeaderWidths();
    txtSQL->CloseCodeAssist(false);
}

void TfrmSQL::LoadWindowLayout()
{
    TkdRegistry reg(HKEY_CURRENT_USER);
    if (!reg.OpenKey(kLayoutKey, true))
        return;
    if (!isMaximized() && !isMinimized()) {
        const int w = reg.ValueExists(QStringLiteral("Width")) ? reg.ReadInteger(QStringLiteral("Width")) : width();
        const int h = reg.ValueExists(QStringLiteral("Height")) ? reg.ReadInteger(QStringLiteral("Height")) : height();
        resize(w, h);
    }
    const int d = qMax(30, (height() - tolCmd->sizeHint().height()) / 4);
    int sqlHeight = reg.ValueExists(QStringLiteral("SQLHeight")) ? reg.ReadInteger(QStringLiteral("SQLHeight")) : d;
    sqlHeight = qBound(30, sqlHeight, qMax(30, height() - tolCmd->sizeHint().height() - 90));
    splSQL->setSizes({sqlHeight, qMax(90, height() - sqlHeight)});
    reg.CloseKey();
}

void TfrmSQL::SaveWindowLayout()
{
    TkdRegistry reg(HKEY_CURRENT_USER);
    if (!reg.OpenKey(kLayoutKey, true))
        return;
    if (!isMaximized() && !isMinimized()) {
        reg.WriteInteger(QStringLiteral("Width"), width());
        reg.WriteInteger(QStringLiteral("Height"), height());
    }
    reg.WriteBool(QStringLiteral("ShowBuild"), false);
    reg.WriteInteger(QStringLiteral("SQLHeight"), splParam->height());
    reg.CloseKey();
}

// ---------------------------------------------------------------------------------------------
// History

void TfrmSQL::RecordHistory()
{
    TSQLHistory h = TSQLHistory::Global();
    QString text;
    for (const QString &l : SelectionLines(txtSQL->text()))
        text += l + QStringLiteral("\r\n");
    if (h.Record(text) == TSQLHistory::TRecordResult::Failed)
        ShowMessageBox(TSQLHistory::FailureText(), MB_OK | MB_ICONERROR);
    if (TkdOption::Global().SQLBuf > 0)
        FLog = 0;
    txtSQL->setModified(false);
}

void TfrmSQL::ShowHistoryEntry()
{
    txtSQL->clear();
    if (FLog >= 0) {
        if (std::optional<QString> t = TSQLHistory::Global().Read(FLog)) {
            QString text = *t;
            // The file holds CR LF after each line; the editor shows the lines.
            if (text.endsWith(QStringLiteral("\r\n")))
                text.chop(2);
            txtSQL->setText(text);
        }
    }
    txtSQL->setModified(false);
    txtSQL->SendScintilla(QsciScintillaBase::SCI_EMPTYUNDOBUFFER);
    txtSQL->setCursorPosition(0, 0);
}

void TfrmSQL::actPrevExecute()
{
    TkdWaitCursor wait;
    // The text being edited is kept: a modified text is recorded first, as a run does.
    if (txtSQL->isModified())
        RecordHistory();
    if (FLog < SQLHistoryList().size() - 1) {
        ++FLog;
        ShowHistoryEntry();
    }
    txtSQL->CloseCodeAssist(false);
}

void TfrmSQL::actNextExecute()
{
    TkdWaitCursor wait;
    if (txtSQL->isModified())
        RecordHistory();
    if (FLog >= 0) {
        --FLog;
        ShowHistoryEntry();
    }
    txtSQL->CloseCodeAssist(false);
}

void TfrmSQL::actLogExecute()
{
    if (txtSQL->isModified())
        RecordHistory();
    const int i = TfrmSQLLog::ShowWindow(this);
    if (i >= 0) {
        TkdWaitCursor wait;
        FLog = i;
        ShowHistoryEntry();
    }
}

// ---------------------------------------------------------------------------------------------
// Running

void TfrmSQL::ShowTime(qint64 ms)
{
    SetStatus(Elapsed(ms));
}

void TfrmSQL::DiscardResults()
{
    for (TSQLResultPane *p : fraDatas)
        if (p != fraData) {
            p->Release();
            delete p;
        }
    fraDatas.clear();
    FSQLCount = 0;
    while (pagData->count() > 1)
        pagData->removeTab(pagData->count() - 1);
    FTab = 0;
}

QStringList TfrmSQL::LinesToRun(int &offset) const
{
    offset = 0;
    if (TkdOption::Global().UsePartial && txtSQL->hasSelectedText()) {
        int lf, i_f, lt, it;
        txtSQL->getSelection(&lf, &i_f, &lt, &it);
        offset = lf;
        return SelectionLines(txtSQL->selectedText());
    }
    return SelectionLines(txtSQL->text());
}

TSQLResultPane *TfrmSQL::NewResultPane()
{
    auto *p = new TSQLResultPane(this);
    p->setObjectName(QStringLiteral("fraData%1").arg(FSQLCount));
    p->Frame()->setObjectName(p->objectName());
    p->SetConnection(OwnerForm() ? OwnerForm()->dbsMain() : nullptr);
    p->Frame()->SetGridType(fraData->Frame()->GridType());
    p->hide();
    return p;
}

void TfrmSQL::actExecExecute()
{
    if (!OwnerForm() || !OwnerForm()->dbsMain())
        return;
    // A run never starts inside another (an event let through by a message box).
    if (FRunning)
        return;
    FRunning = true;
    struct Done {
        bool &flag;
        ~Done() { flag = false; }
    } done{FRunning};
    TkdWaitCursor wait;
    if (txtSQL->isModified())
        RecordHistory();
    txtSQL->setModified(false);
    DiscardResults();
    TRunState state;
    state.Lines = LinesToRun(state.LineOffset);
    if (btnExplan->isChecked()) {
        RunPlan(state);
    } else {
        FIsSelect = false;
        const QList<TSqlStatementLines> statements = SplitStatements(state.Lines);
        LastStatus().clear();
        {
            TkdLoopScope loop;
            TkdMainForm *host = TkdMainForm::Instance();
            QElapsedTimer sincePump;
            for (int i = 0; i < statements.size(); ++i) {
                // Between statements, about every 50 ms: the progress shows, the windows
                // paint, other input is dropped (a click on 実行 never queues a second run)
                // and Esc ends the run; the statements run so far keep their effects.
                if (statements.size() > 1 && (!sincePump.isValid() || sincePump.elapsed() >= db::kCallWaitIntervalMs)) {
                    if (host)
                        host->SetLoopMessage(i + 1, int(statements.size()));
                    const bool escape = PumpEventsDroppingInput();
                    sincePump.start();
                    if (escape) {
                        SetStatus(InterruptedText());
                        break;
                    }
                }
                if (!RunStatement(statements.at(i), state))
                    break;
            }
        }
        // The end of the loop restored the status bar's default text: the run's time or
        // request stays visible.
        if (!LastStatus().isEmpty())
            SetStatus(LastStatus());
    }
    txtSQL->CloseCodeAssist(false);
}

bool TfrmSQL::StatementFailed(const QString &message, const TSqlStatementLines &st, TRunState &state, bool offerContinue)
{
    txtSQL->setFocus();
    const QString owner = OwnerForm() ? OwnerForm()->ConnectionParam(QStringLiteral("User_Name")) : QString();
    MarkSQLError(txtSQL, qrySQL, owner, st.FirstLine + state.LineOffset, st.LastLine + state.LineOffset, message);
    QList<MsgCheckItem> items;
    if (offerContinue && st.LastLine < state.Lines.size() - 1)
        items.append({QStringLiteral("処理を続行する"), state.ContinueAfterErrors});
    ShowCheckMessageBox(message, MB_OK | MB_ICONWARNING, items);
    state.ContinueAfterErrors = !items.isEmpty() && items.first().Checked;
    return state.ContinueAfterErrors;
}

void TfrmSQL::StatementCancelled(const QString &message, const TSqlStatementLines &st, TRunState &state)
{
    // The user asked for it with Esc: no box, the statement is marked and the status bar
    // says that the run was stopped.
    txtSQL->setFocus();
    const QString owner = OwnerForm() ? OwnerForm()->ConnectionParam(QStringLiteral("User_Name")) : QString();
    MarkSQLError(txtSQL, qrySQL, owner, st.FirstLine + state.LineOffset, st.LastLine + state.LineOffset, message);
    SetStatus(Elapsed(state.TotalMs) + QStringLiteral("　") + InterruptedText());
}

bool TfrmSQL::RunStatement(const TSqlStatementLines &st, TRunState &state)
{
    const QStringList clean = CleanStatementLines(st.Lines);
    const QString text = StatementText(clean);
    if (text.trimmed().isEmpty())
        return true;
    db::Connection *conn = OwnerForm()->dbsMain();
    const db::StatementInfo info = db::classify(text);
    const bool rows = ReturnsRows(info.kind, text);
    db::Query *query = qryExec;
    TSQLResultPane *pane = nullptr;
    if (rows) {
        pane = FIsSelect ? NewResultPane() : fraData;
        query = pane->Query();
        if (pane == fraData)
            pane->Release();
        fraDatas.append(pane);
    }
    query->close();
    query->setParamCreation(!IsCreateStatement(text));
    QString runText = text;
    if (rows || DropsTrailingSemicolon(info.kind, text))
        runText = WithoutTrailingSemicolon(text);
    if (pane) {
        pane->Frame()->SetSQL(runText);
        pane->Frame()->Prepare();
    } else {
        query->setSql(runText);
    }

    QElapsedTimer timer;
    bool goOn = true;
    try {
        BindParams(query);
        timer.start();
        query->prepare();
        if (rows) {
            if (FTab > 0) {
                pane->show();
                pagData->addTab(pane, QStringLiteral("結果%1").arg(FTab + 1));
            }
            ++FTab;
            pane->Frame()->Open();
            state.TotalMs += timer.elapsed();
            ShowTime(state.TotalMs);
        } else {
            query->execute();
            state.TotalMs += timer.elapsed();
            ShowTime(state.TotalMs);
            ReadBackParams(query);
            // A COMMIT or ROLLBACK typed in the window ends the connection's block; while
            // changes are not committed one by one, a new block begins as after logon.
            if ((info.kind == db::CommandKind::Commit || info.kind == db::CommandKind::Rollback)
                && !TkdOption::Global().UpdateToCommit && !conn->inTransaction())
                conn->execute(QStringLiteral("BEGIN"));
            if (!state.NoMoreDialogs) {
                QList<MsgCheckItem> items;
                if (st.LastLine < state.Lines.size() - 1)
                    items.append({QStringLiteral("以降の結果ダイアログを表示しない"), false});
                ShowCheckMessageBox(QStringLiteral(" SQLを実行しました。\r\n(対象：%1 レコード )")
                                        .arg(qMax<qint64>(0, query->rowsAffected())),
                                    MB_OK | MB_ICONINFORMATION, items);
                if (!items.isEmpty() && items.first().Checked)
                    state.NoMoreDialogs = true;
            }
        }
    } catch (const EAbort &) {
        goOn = false; // the bind step stopped the run; the status bar asks for the values
    } catch (const std::exception &e) {
        if (timer.isValid())
            state.TotalMs += timer.elapsed();
        ShowTime(state.TotalMs);
        if (IsCancelled(e)) {
            StatementCancelled(ErrorText(e), st, state);
            goOn = false;
            if (rows)
                FIsSelect = true;
            ++FSQLCount;
            return false;
        }
        const bool lost = !conn->isConnected();
        goOn = StatementFailed(ErrorText(e), st, state, !lost) && !lost;
    }
    if (rows)
        FIsSelect = true;
    ++FSQLCount;
    return goOn;
}

void TfrmSQL::RunPlan(TRunState &state)
{
    QStringList first;
    for (const QString &l : state.Lines) {
        if (IsStatementEnd(l))
            break;
        first << l;
    }
    const QString text = StatementText(CleanStatementLines(first));
    if (text.trimmed().isEmpty())
        return;
    QElapsedTimer timer;
    try {
        fraExplan->SetConnection(OwnerForm()->dbsMain());
        fraExplan->SetSQL(text);
        // The plan query's variables come from the grid, as a run's do.
        fraExplan->OnBindParams = [this, &timer](db::Query &query) {
            BindParams(&query);
            timer.start();
        };
        fraExplan->ShowData();
        fraExplan->OnBindParams = nullptr;
        ShowTime(timer.isValid() ? timer.elapsed() : 0);
    } catch (const EAbort &) {
        fraExplan->OnBindParams = nullptr;
    } catch (const std::exception &e) {
        fraExplan->OnBindParams = nullptr;
        ShowTime(timer.isValid() ? timer.elapsed() : 0);
        txtSQL->setFocus();
        const QString owner = OwnerForm() ? OwnerForm()->ConnectionParam(QStringLiteral("User_Name")) : QString();
        MarkSQLError(txtSQL, qrySQL, owner, 0, txtSQL->lines() - 1, ErrorText(e));
        if (IsCancelled(e))
            SetStatus(Elapsed(timer.isValid() ? timer.elapsed() : 0) + QStringLiteral("　") + InterruptedText());
        else
            ShowMessageBox(ErrorText(e), MB_OK | MB_ICONERROR);
    }
}

// ---------------------------------------------------------------------------------------------
// Bind variables

void TfrmSQL::BindParams(db::Query *query)
{
    const int n = query->paramCount();
    if (n == 0) {
        grdParam->hide();
        return;
    }
    bool changed = false;
    const bool opening = grdParam->isHidden();
    if (opening) {
        // Shown first: a splitter gives a hidden widget no room, so sizes set before would
        // leave the grid squeezed to its minimum.
        grdParam->show();
        changed = true;
    }
    if (grdParam->RowCount() != n + 1) {
        grdParam->SetRowCount(n + 1);
        changed = true;
    }
    grdParam->SetHeader({QStringLiteral("バインド変数名"), QStringLiteral("値"), QStringLiteral("型")});
    grdParam->SetEditStyles(2, gePickList);
    for (int r = 1; r <= n; ++r) {
        const QString name = query->param(r - 1).name();
        if (grdParam->Cells(0, r) != name) {
            grdParam->SetCells(1, r, QString());
            changed = true;
        }
        grdParam->SetCells(0, r, name);
    }
    grdParam->SetFixedRows(1);
    grdParam->show();
    if (opening)
        FitParamGrid();
    if (changed) {
        grdParam->SetCurrentCell(1, 1);
        SetStatus(QStringLiteral("バインド変数値を入力して下さい。"));
        throw EAbort();
    }
    for (int r = 1; r <= n; ++r)
        BindParamValue(query->param(r - 1), grdParam->Cells(2, r), grdParam->Cells(1, r));
}

void TfrmSQL::FitParamGrid()
{
    // A third of the editor panel, each column a third of that; but never narrower than the
    // column titles, and the editor panel grows (the results keeping their minimum) until
    // the rows show, so a small window does not open the grid with its titles and rows cut.
    const int total = splParam->width();
    const int w = qMax(210, total / 3);
    int columns = 0;
    for (int c = 0; c < 3; ++c) {
        grdParam->setColumnWidth(c, qMax(w / 3 - 2, grdParam->horizontalHeader()->sectionSizeHint(c)));
        columns += grdParam->columnWidth(c);
    }
    const int frame = 2 * grdParam->frameWidth();
    // Room for a vertical scroll bar too, should the rows outgrow the panel.
    const int scrollBar = grdParam->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, grdParam);
    const int needed = columns + frame + scrollBar + 2;
    const int gridWidth = qMin(qMax(w, needed), qMax(w, total - 100));
    splParam->setSizes({qMax(30, total - gridWidth), gridWidth});

    int rowsHeight = qMax(grdParam->horizontalHeader()->height(), grdParam->horizontalHeader()->sizeHint().height()) + frame;
    for (int r = 0; r < grdParam->Model()->rowCount(); ++r)
        rowsHeight += grdParam->rowHeight(r);
    if (columns + frame > gridWidth)
        rowsHeight += scrollBar;
    const QList<int> heights = splSQL->sizes();
    if (heights.size() == 2 && heights.at(0) < rowsHeight) {
        const int all = heights.at(0) + heights.at(1);
        const int top = qMin(rowsHeight, qMax(heights.at(0), all - 90));
        splSQL->setSizes({top, all - top});
    }
}

void TfrmSQL::ReadBackParams(db::Query *query)
{
    if (query->paramCount() == 0)
        return;
    // A CALL returns its output arguments as a row: a column named as a variable gives
    // that variable's value; the other variables show the value bound.
    const QStringList &names = query->returnedNames();
    for (int r = 1; r < grdParam->RowCount() && r - 1 < query->paramCount(); ++r) {
        const db::Param &p = query->param(r - 1);
        QString value = p.asString();
        for (int i = 0; i < names.size(); ++i)
            if (names.at(i).compare(p.name(), Qt::CaseInsensitive) == 0) {
                value = query->returnedValues().at(i);
                break;
            }
        grdParam->SetCells(1, r, value);
    }
}

// ---------------------------------------------------------------------------------------------

void RegisterSQLWindow()
{
    kdopeners::Register(QStringLiteral("TfrmSQL"), [](const TOpenerArgs &args) -> QWidget * {
        TkdConnForm *owner = args.Owner;
        if (!owner)
            if (TkdMainForm *m = TkdMainForm::Instance())
                owner = m->CurrentForm();
        if (!owner)
            return nullptr;
        auto *w = new TfrmSQL(owner);
        const QString sql = args.Values.value(QStringLiteral("SQL")).toString();
        if (!sql.isEmpty()) {
            w->txtSQL->setText(sql);
            if (args.Values.value(QStringLiteral("Plan")).toBool()) {
                w->btnExplan->setChecked(true);
                w->btnExplanClick();
            }
            if (args.Values.value(QStringLiteral("Run")).toBool())
                GuardedCall([w] { w->actExecExecute(); });
        }
        return w;
    });
}
