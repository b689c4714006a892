#include "editors/nametable_editor.h"

#include "browser/fobject.h"
#include "browser/savedsource.h"
#include "controls/kdstdctl.h"
#include "core/kdreg.h"
#include "core/kdsub_msg.h"
#include "core/kdsub_options.h"
#include "core/kdsub_text.h"
#include "editors/nametable_def.h"
#include "editors/tool_window.h"
#include "frames/data_frame.h"
#include "platform/db/dbconnection.h"
#include "platform/db/dbquery.h"

#include <QAction>
#include <QComboBox>
#include <QEventLoop>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

TfrmNameTable::TfrmNameTable(TkdConnForm *Owner) : TkdForm(Owner ? Owner->Widget() : nullptr)
{
    setObjectName(QStringLiteral("frmNameTable"));
    setWindowTitle(QStringLiteral("スクリプト名テーブル"));
    resize(640, 420);
    TkdMainForm *host = TkdMainForm::Instance();

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto *tolCmd = new QToolBar(this);
    tolCmd->setObjectName(QStringLiteral("tolCmd"));
    tolCmd->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    btnCommit = new QToolButton(tolCmd);
    btnCommit->setObjectName(QStringLiteral("btnCommit"));
    btnCommit->setText(QStringLiteral("登録(&C)"));
    btnCommit->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    btnCommit->setPopupMode(QToolButton::MenuButtonPopup);
    auto *popDataGenerate = new QMenu(btnCommit);
    popDataGenerate->setObjectName(QStringLiteral("popDataGenerate"));
    mnuInstData = popDataGenerate->addAction(QStringLiteral("初期データ登録"));
    mnuInstData->setObjectName(QStringLiteral("mnuInstData"));
    mnuInstData->setToolTip(QStringLiteral("初期データ登録"));
    mnuInstData->setStatusTip(QStringLiteral("初期データを登録します。"));
    mnuInstData->setEnabled(false);
    btnCommit->setMenu(popDataGenerate);
    btnExit = new QToolButton(tolCmd);
    btnExit->setObjectName(QStringLiteral("btnExit"));
    btnExit->setText(QStringLiteral("終了(&X)"));
    btnExit->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    if (host) {
        btnCommit->setIcon(host->Image(15));
        mnuInstData->setIcon(host->Image(39));
        btnExit->setIcon(host->Image(42));
    }
    tolCmd->addWidget(btnCommit);
    tolCmd->addWidget(btnExit);
    tolCmd->addSeparator();
    tolCmd->addWidget(new QLabel(QStringLiteral("　データベース"), tolCmd));
    cmbDBName = new QComboBox(tolCmd);
    cmbDBName->setObjectName(QStringLiteral("cmbDBName"));
    cmbDBName->setMinimumWidth(260);
    tolCmd->addWidget(cmbDBName);
    layout->addWidget(tolCmd);

    auto *pnlName = new QWidget(this);
    pnlName->setObjectName(QStringLiteral("pnlName"));
    auto *row = new QHBoxLayout(pnlName);
    row->setContentsMargins(4, 2, 4, 2);
    auto *schema = new TDropDownComboBox(pnlName);
    cmbSchema = schema;
    cmbSchema->setObjectName(QStringLiteral("cmbSchema"));
    cmbSchema->setEditable(true);
    cmbSchema->setMinimumWidth(160);
    auto *name = new TDropDownComboBox(pnlName);
    cmbName = name;
    cmbName->setObjectName(QStringLiteral("cmbName"));
    cmbName->setEditable(true);
    cmbName->setMinimumWidth(200);
    // Names are taken as typed: a registered name that needs quotes stays as it is.
    for (TkdComboBox *c : {cmbSchema, cmbName})
        c->SetCharCase(ecNormal);
    row->addWidget(new QLabel(QStringLiteral("スキーマ"), pnlName));
    row->addWidget(cmbSchema);
    row->addWidget(new QLabel(QStringLiteral("名前"), pnlName));
    row->addWidget(cmbName);
    row->addStretch(1);
    layout->addWidget(pnlName);

    fraData = new TfraData(this);
    fraData->setObjectName(QStringLiteral("fraData"));
    layout->addWidget(fraData, 1);

    schema->OnDropDown = [this] {
        if (auto *conn = dynamic_cast<TfrmObject *>(OwnerForm())) {
            const QString text = cmbSchema->currentText();
            QStringList list;
            conn->GetSchemaInfo(list, false);
            const QSignalBlocker block(cmbSchema);
            cmbSchema->clear();
            cmbSchema->addItems(list);
            cmbSchema->setEditText(text);
        }
    };
    name->OnDropDown = [this] {
        if (auto *conn = dynamic_cast<TfrmObject *>(OwnerForm())) {
            const QString text = cmbName->currentText();
            QStringList list;
            conn->GetObject(list, cmbSchema->currentText(), QStringLiteral("TABLE"));
            const QSignalBlocker block(cmbName);
            cmbName->clear();
            cmbName->addItems(list);
            cmbName->setEditText(text);
        }
    };
    connect(btnCommit, &QToolButton::clicked, this, [this] { GuardedCall([this] { btnCommitClick(); }); });
    connect(mnuInstData, &QAction::triggered, this, [this] { GuardedCall([this] { mnuInstDataClick(); }); });
    connect(btnExit, &QToolButton::clicked, this, [this] { close(); });
    for (TkdComboBox *c : {cmbSchema, cmbName})
        connect(c, &QComboBox::editTextChanged, this, [this] {
            // A changed name closes the grid until the table is registered again.
            if (fraData->qryData())
                fraData->qryData()->close();
            UpdateInstData();
        });
    connect(cmbDBName, &QComboBox::currentIndexChanged, this, [this] {
        GuardedCall([this] { cmbDBNameSelect(); });
    });
    InitForm();
}

void TfrmNameTable::ShowWindow(TkdConnForm *Owner)
{
    QPointer<TfrmNameTable> w = new TfrmNameTable(Owner);
    w->setWindowModality(Qt::ApplicationModal);
    w->Prepare(Owner);
    QEventLoop loop;
    connect(w, &QObject::destroyed, &loop, &QEventLoop::quit);
    w->show();
    if (w)
        loop.exec();
}

void TfrmNameTable::Prepare(TkdConnForm *Owner)
{
    FillConnections(Owner ? Owner->Identity() : QString());
    GuardedCall([this] { cmbDBNameSelect(); });
}

void TfrmNameTable::FillConnections(const QString &Select)
{
    FillConnectionBox(cmbDBName, FConnections, OwnerForm(), Select);
}

QString TfrmNameTable::Database() const
{
    return OwnerForm() ? OwnerForm()->ConnectionParam(QStringLiteral("Database")) : QString();
}

void TfrmNameTable::SetCaption()
{
    if (!OwnerForm())
        return;
    TRecParam rec = OwnerForm()->RecParam();
    rec.strSchema = cmbSchema->currentText();
    rec.strObjNm = cmbName->currentText();
    setWindowTitle(QStringLiteral("スクリプト名テーブル編集 - ") + FormatRecParam(rec, 3));
    SetTaskCaption(cmbName->currentText());
}

void TfrmNameTable::UpdateInstData()
{
    mnuInstData->setEnabled(fraData->qryData() && fraData->qryData()->isActive());
}

void TfrmNameTable::cmbDBNameSelect()
{
    const int i = cmbDBName->currentIndex();
    if (i < 0 || i >= FConnections.size())
        return;
    if (fraData->qryData())
        fraData->qryData()->close();
    SetOwnerForm(FConnections.at(i));
    fraData->SetConnection(OwnerForm()->dbsMain());
    QString schema, name;
    SplitNameTable(NameTableOf(TScriptOption::Global().NameTable, Database()), schema, name);
    {
        const QSignalBlocker b1(cmbSchema), b2(cmbName);
        cmbSchema->setEditText(schema);
        cmbName->setEditText(name);
    }
    SetCaption();
    Reload();
    if (L_enmRelRes == rrNone)
        ShowMessageBox(QStringLiteral("表またはビューが存在しません。"), MB_ICONERROR | MB_OK);
}

void TfrmNameTable::Reload()
{
    L_enmRelRes = rrDefault;
    if (fraData->qryData())
        fraData->qryData()->close();
    UpdateInstData();
    SetCaption();
    TkdConnForm *conn = OwnerForm();
    const QString schema = cmbSchema->currentText().trimmed(), name = cmbName->currentText().trimmed();
    if (!conn || schema.isEmpty() || name.isEmpty())
        return;
    TkdWaitCursor wait;
    int rows = 0;
    conn->dbsMain()->protect([&] {
        db::Query *q = conn->OpenSQL(NameTableCheckSQL(), {schema, name});
        while (!q->eof()) {
            ++rows;
            q->next();
        }
        q->close();
    });
    if (rows == 0) {
        L_enmRelRes = rrNone;
        return;
    }
    L_enmRelRes = rrSelect;
    try {
        fraData->SetTableName(schema + QLatin1Char('.') + name);
        fraData->SetSQL(NameTableSelectSQL(schema, name));
        fraData->Prepare();
        fraData->Open();
    } catch (...) {
        L_enmRelRes = rrLayout;
        UpdateInstData();
        throw;
    }
    UpdateInstData();
}

void TfrmNameTable::btnCommitClick()
{
    if (cmbName->IsNull()) {
        ShowMessageBox(QStringLiteral("名前を入力して下さい。"), MB_ICONWARNING | MB_OK);
        cmbName->setFocus();
        throw EAbort();
    }
    if (cmbSchema->IsNull()) {
        ShowMessageBox(QStringLiteral("スキーマ名を入力して下さい。"), MB_ICONWARNING | MB_OK);
        cmbSchema->setFocus();
        throw EAbort();
    }
    const QString schema = cmbSchema->currentText().trimmed(), name = cmbName->currentText().trimmed();
    const QString value = schema + QLatin1Char('.') + name;
    // Only an existing table with the four columns stays registered: the options dialog
    // stores the typed name before it opens this window, so a refused one is taken back.
    auto unregister = [this, &value] {
        TScriptOption &opt = TScriptOption::Global();
        if (NameTableOf(opt.NameTable, Database()) == value)
            SetRegisteredNameTable(opt.NameTable, Database(), QString());
    };
    try {
        Reload();
        if (L_enmRelRes == rrNone) {
            if (ShowMessageBox(QStringLiteral("テーブルが見つかりません。新規作成しますか？"), MB_YESNO | MB_ICONQUESTION)
                != IDYES) {
                unregister();
                return;
            }
            OwnerForm()->ExecuteSQL(NameTableCreateSQL(schema, name));
            Reload();
            mnuInstDataClick();
            Reload();
        }
    } catch (const EAbort &) {
        throw;
    } catch (...) {
        if (L_enmRelRes == rrLayout) {
            unregister();
            ShowMessageBox(QStringLiteral("テーブルレイアウトが一致しません。"), MB_ICONWARNING | MB_OK);
            return;
        }
        throw;
    }
    if (L_enmRelRes != rrSelect) {
        unregister();
        return;
    }
    SetRegisteredNameTable(TScriptOption::Global().NameTable, Database(), value);
}

void TfrmNameTable::mnuInstDataClick()
{
    if (!fraData->qryData() || !fraData->qryData()->isActive())
        return;
    QList<MsgCheckItem> boxes{{QStringLiteral("全オブジェクトを登録する(非チェック時は所有オブジェクトのみ)"), false}};
    if (ShowCheckMessageBox(QStringLiteral("初期データを登録しますか？"), MB_YESNO | MB_ICONQUESTION, boxes) != IDYES)
        return;
    const bool all = boxes.first().Checked;
    const QString schema = cmbSchema->currentText().trimmed(), name = cmbName->currentText().trimmed();
    TkdWaitCursor wait;
    db::Connection *c = OwnerForm()->dbsMain();
    // The schema filter goes to the server as a parameter, never spliced into the text.
    c->protect([&] {
        db::Query q(c);
        q.setSql(NameTableInitialDataSQL(schema, name, !all));
        if (!all)
            q.paramByName(QStringLiteral("SCHEMA")).setAsString(schema);
        q.execute();
    });
    Reload();
}

void TfrmNameTable::DBChange()
{
    const QString current = cmbDBName->currentText();
    FillConnections(current);
    if (FConnections.isEmpty() || cmbDBName->currentIndex() < 0)
        close();
}

void TfrmNameTable::LoadWindowLayout()
{
    LoadToolWindowSize(this, QStringLiteral("NAMETABLE"));
}

void TfrmNameTable::SaveWindowLayout()
{
    SaveToolWindowSize(this, QStringLiteral("NAMETABLE"));
}
