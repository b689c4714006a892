#include "frames/data_frame.h"

#include "controls/kddbgrid.h"
#include "controls/kddbmodel.h"
#include "controls/kdsharedsettings.h"
#include "core/kddialogsupport.h"
#include "core/kdforms.h"
#include "core/kdsub_msg.h"
#include "core/kdsub_options.h"
#include "core/kdsub_service.h"
#include "core/kdsub_text.h"
#include "frames/data_frame_sql.h"
#include "frames/date_popup.h"
#include "frames/frame_support.h"
#include "frames/memo_dialog.h"
#include "frames/xls_sql_dialog.h"
#include "platform/db/dbconnection.h"
#include "platform/db/dberror.h"
#include "platform/db/dbquery.h"
#include "platform/workbook.h"

#include <QApplication>
#include <QClipboard>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHash>
#include <QMenu>
#include <QPainter>
#include <QStackedWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

constexpr int MaxWidthColumns = 100; // grids of this many columns keep no stored widths
const QString SectionV = QStringLiteral("COLWIDTH_V");
const QString SectionH = QStringLiteral("COLWIDTH_H");

bool IsTextKind(db::FieldType t)
{
    return t == db::FieldType::WideString || t == db::FieldType::FixedWideChar || t == db::FieldType::WideMemo;
}

bool IsDateKind(db::FieldType t)
{
    return t == db::FieldType::Date || t == db::FieldType::DateTime;
}

QString QuoteName(const QString &Name)
{
    return u'"' + QString(Name).replace(QStringLiteral("\""), QStringLiteral("\"\"")) + u'"';
}

// The parameter values of a query, to put back after its text was rebuilt.
struct SavedParam {
    QString name;
    db::ParamType type;
    QVariant value;
};

std::vector<SavedParam> SaveParams(db::Query *q)
{
    std::vector<SavedParam> out;
    for (int i = 0; i < q->paramCount(); ++i)
        out.push_back({q->param(i).name(), q->param(i).dataType(), q->param(i).value()});
    return out;
}

void RestoreParams(db::Query *q, const std::vector<SavedParam> &saved)
{
    for (const SavedParam &p : saved) {
        if (db::Param *to = q->findParam(p.name)) {
            to->setDataType(p.type);
            to->setValue(p.value);
        }
    }
}

} // namespace

TfraData::TfraData(QWidget *AOwner) : QWidget(AOwner)
{
    setObjectName(QStringLiteral("fraData"));
    FQuery = new db::Query(nullptr, this);
    FQuery->setObjectName(QStringLiteral("qryData"));
    FModel = new TkdDataSetModel(FQuery, this);

    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    FToolBar = new QWidget(this);
    FToolBar->setObjectName(QStringLiteral("scrButton"));
    FToolBar->setFixedWidth(24);
    FToolBar->setFocusPolicy(Qt::StrongFocus);
    row->addWidget(FToolBar);
    auto *stack = new QStackedWidget(this);
    stack->setObjectName(QStringLiteral("stkGrids"));
    row->addWidget(stack, 1);

    FGrid1 = new TkdDBGridV(stack);
    FGrid1->setObjectName(QStringLiteral("grdData1"));
    FGrid2 = new TkdDBGridH(stack);
    FGrid2->setObjectName(QStringLiteral("grdData2"));
    stack->addWidget(FGrid1);
    stack->addWidget(FGrid2);
    for (TkdDBGridBase *g : {static_cast<TkdDBGridBase *>(FGrid1), static_cast<TkdDBGridBase *>(FGrid2)}) {
        ApplySharedSettings(g);
        g->SetOptions(dgDefaultOptions | dgBit(dgMultiSelect));
        g->SetDataSource(FModel);
        g->OnEditButtonClick = [this] { Guard([this] { EditCell(); }); };
        g->OnDblClick = [this] {
            if (FBtnUpdate->isChecked())
                Guard([this] { EditCell(); });
        };
        for (QHeaderView *h : {g->horizontalHeader(), g->verticalHeader()}) {
            h->setContextMenuPolicy(Qt::CustomContextMenu);
            connect(h, &QWidget::customContextMenuRequested, this, [this, g, h](const QPoint &pos) {
                ChooseMenu(g, h->mapTo(g, pos));
            });
        }
    }
    FGrid1->OnTitleClick = [this](TColumn *c) { Guard([this, c] { SortBy(c->Index()); }); };
    FGrid2->OnTitleClick = [this](TRow *r) { Guard([this, r] { SortBy(r->Index()); }); };
    FGrid1->OnDrawCell = [this](QPainter *p, const QRect &r, int, TColumn *c, const TGridDrawState &s) {
        DrawCell(p, r, c->Field(), s.Record, s, false);
    };
    FGrid2->OnDrawCell = [this](QPainter *p, const QRect &r, int, TRow *c, const TGridDrawState &s) {
        DrawCell(p, r, c->Field(), s.Record, s, true);
    };

    FDatePopup = new TkdDatePopup(this);
    FDatePopup->setObjectName(QStringLiteral("dtpInputDate"));
    FDatePopup->hide();
    FDatePopup->OnClosed = [this] {
        if (TkdDBGridBase *g = VisibleGrid())
            g->setFocus();
    };

    BuildToolBar();
    BuildMenus();
    connect(FQuery, &db::DataSet::afterOpen, this, &TfraData::AfterOpenClose);
    connect(FQuery, &db::DataSet::afterClose, this, &TfraData::AfterOpenClose);
    connect(FQuery, &db::DataSet::beforeClose, this, &TfraData::BeforeClose);
    connect(FQuery, &db::DataSet::stateChanged, this, &TfraData::UpdateButtons);
    FBtnUpdate->setChecked(TkdOption::Global().UpdateMode);
    btnGridTypeClick();
    AfterOpenClose();
}

TfraData::~TfraData()
{
    // The grids leave the data set before it goes.
    FGrid1->SetDataSource(nullptr);
    FGrid2->SetDataSource(nullptr);
}

void TfraData::BuildToolBar()
{
    auto *col = new QVBoxLayout(FToolBar);
    col->setContentsMargins(0, 0, 0, 0);
    col->setSpacing(0);
    auto add = [&](const QString &name, int image, const QString &hint, std::function<void()> work) {
        return AddFrameToolButton(FToolBar, col, name, image, hint, std::move(work));
    };
    auto separator = [&] { col->addSpacing(6); };
    FBtnUpdate = add(QStringLiteral("btnUpdate"), 88, QStringLiteral("結果を編集可能にする"), [this] { btnUpdateClick(); });
    FBtnUpdate->setCheckable(true);
    add(QStringLiteral("btnGridType"), 87, QStringLiteral("出力方向変更"), [this] { btnGridTypeClick(); });
    add(QStringLiteral("btnExcel"), 44, QStringLiteral("結果をExcelファイルに出力する"), [this] { btnExcelClick(); });
    add(QStringLiteral("btnCopy"), 21, QStringLiteral("結果をクリップボードに出力する"), [this] { btnCopyClick(); });
    separator();
    add(QStringLiteral("btnIns"), 39, QStringLiteral("レコードの挿入"), [this] { btnInsClick(); });
    add(QStringLiteral("btnDel"), 40, QStringLiteral("レコードの削除"), [this] { btnDelClick(); });
    separator();
    add(QStringLiteral("btnFirst"), 37, QString(), [this] { MoveTo(0); });
    add(QStringLiteral("btnPrev"), 35, QString(), [this] { MoveTo(1); });
    add(QStringLiteral("btnNext"), 36, QString(), [this] { MoveTo(2); });
    add(QStringLiteral("btnLast"), 38, QString(), [this] { MoveTo(3); });
    col->addStretch();
}

void TfraData::BuildMenus()
{
    FPopRecord = new QMenu(this);
    FPopRecord->setObjectName(QStringLiteral("popRecord"));
    auto item = [this](QMenu *m, const QString &name, const QString &text, std::function<void()> work) {
        QAction *a = m->addAction(text);
        a->setObjectName(name);
        connect(a, &QAction::triggered, this, [this, work] { Guard(work); });
        return a;
    };
    item(FPopRecord, QStringLiteral("mnuIns"), QStringLiteral("レコードの挿入(&I)"), [this] { btnInsClick(); });
    item(FPopRecord, QStringLiteral("mnuCopy"), QStringLiteral("レコードのコピー(&C)"), [this] { VisibleGrid()->copy(); });
    item(FPopRecord, QStringLiteral("mnuPaste"), QStringLiteral("レコードの貼り付け(&V)"), [this] { VisibleGrid()->paste(); });
    item(FPopRecord, QStringLiteral("mnuDel"), QStringLiteral("レコードの削除(&D)"), [this] { btnDelClick(); });
    FPopColumn = new QMenu(this);
    FPopColumn->setObjectName(QStringLiteral("popColumn"));
    item(FPopColumn, QStringLiteral("mnuSort"), QStringLiteral("並び替え(&S)"), [this] { SortBy(FSelectedItem); });
    QMenu *group = FPopColumn->addMenu(QStringLiteral("集計情報を表示(&T)"));
    group->setObjectName(QStringLiteral("mnugroup"));
    group->menuAction()->setObjectName(QStringLiteral("mnugroup"));
    item(group, QStringLiteral("mnuCount"), QStringLiteral("件数(&C)"), [this] { ShowAggregate(QStringLiteral("COUNT")); });
    item(group, QStringLiteral("mnuSum"), QStringLiteral("合計(&S)"), [this] { ShowAggregate(QStringLiteral("SUM")); });
    item(group, QStringLiteral("mnuAverage"), QStringLiteral("平均(&A)"), [this] { ShowAggregate(QStringLiteral("AVG")); });
    item(group, QStringLiteral("mnuMax"), QStringLiteral("最大(&M)"), [this] { ShowAggregate(QStringLiteral("MAX")); });
    item(group, QStringLiteral("mnuMin"), QStringLiteral("最小(&N)"), [this] { ShowAggregate(QStringLiteral("MIN")); });
}

void TfraData::ChooseMenu(TkdDBGridBase *AGrid, const QPoint &APos)
{
    // The indicator column (row-wise) or row (column-wise) gives the record menu; the titles
    // give the column menu on the item under the mouse.
    QHeaderView *indicator = AGrid == FGrid1 ? AGrid->verticalHeader() : AGrid->horizontalHeader();
    QHeaderView *titles = AGrid == FGrid1 ? AGrid->horizontalHeader() : AGrid->verticalHeader();
    const QPoint global = AGrid->mapToGlobal(APos);
    if (indicator->isVisible() && indicator->geometry().contains(APos)) {
        FPopRecord->popup(global);
        return;
    }
    if (titles->isVisible() && titles->geometry().contains(APos)) {
        const QPoint local = titles->mapFrom(AGrid, APos);
        const int field = titles->logicalIndexAt(AGrid == FGrid1 ? local.x() : local.y());
        FSelectedItem = 0;
        const int count = AGrid->ItemCount();
        for (int i = 0; i < count; ++i) {
            const int fi = AGrid == FGrid1 ? FGrid1->Columns()[i]->FieldIndex() : FGrid2->Rows()[i]->FieldIndex();
            if (fi == field) {
                FSelectedItem = i;
                break;
            }
        }
        FPopColumn->popup(global);
    }
}

bool TfraData::Guard(const std::function<void()> &AWork)
{
    return GuardedCall(AWork);
}

TkdDataFrameHost *TfraData::Host() const
{
    return dynamic_cast<TkdDataFrameHost *>(FrameHost(this));
}

TDataHostKind TfraData::HostKind() const
{
    TkdDataFrameHost *h = Host();
    return h ? h->DataHostKind() : TDataHostKind::Other;
}

TkdDBGridBase *TfraData::VisibleGrid() const
{
    return FGridType ? static_cast<TkdDBGridBase *>(FGrid1) : static_cast<TkdDBGridBase *>(FGrid2);
}

QToolButton *TfraData::Button(const QString &AName) const
{
    return FToolBar->findChild<QToolButton *>(AName);
}

void TfraData::SetConnection(db::Connection *AConnection)
{
    FQuery->setConnection(AConnection);
}

void TfraData::SetSQL(const QString &AText)
{
    FSQL = AText;
    FSort = 0;
    FDesc = false;
}

void TfraData::SetGridType(bool AValue)
{
    if (AValue != FGridType)
        btnGridTypeClick();
}

// ---- query ---------------------------------------------------------------------------------

void TfraData::Prepare()
{
    TkdWaitCursor wait;
    if (!FQuery->connection()) {
        if (TkdForm *form = FrameHost(this))
            if (TkdConnForm *conn = form->OwnerForm())
                FQuery->setConnection(conn->dbsMain());
    }
    FQuery->close();
    FQuery->setSql(dataframe::BuildDataSQL(FSQL, FSort, FDesc, std::nullopt));
    FQuery->setReadOnly(!FBtnUpdate->isChecked());
    ApplyReadOnly();
}

void TfraData::ApplyReadOnly()
{
    const bool readOnly = !FBtnUpdate->isChecked();
    for (TkdDBGridBase *g : {static_cast<TkdDBGridBase *>(FGrid1), static_cast<TkdDBGridBase *>(FGrid2)}) {
        TDBGridOptions o = g->Options();
        if (readOnly) {
            o &= ~(dgBit(dgEditing) | dgBit(dgAlwaysShowEditor));
            g->HideEditor();
        } else {
            o |= dgBit(dgEditing) | dgBit(dgAlwaysShowEditor);
        }
        g->SetOptions(o);
    }
}

void TfraData::Open()
{
    TkdWaitCursor wait;
    const TDataHostKind kind = HostKind();
    const bool editor = kind == TDataHostKind::Table || kind == TDataHostKind::View;
    if (editor) {
        if (const std::optional<int> limit = Host()->DataRowLimit()) {
            const auto saved = SaveParams(FQuery);
            FQuery->setSql(dataframe::BuildDataSQL(FSQL, FSort, FDesc, limit));
            RestoreParams(FQuery, saved);
        }
        const QString set = QStringLiteral("SET CLIENT_ENCODING TO ") + QuoteLiteral(TkdOption::Global().CharacterSet.isEmpty()
                                                                                          ? QStringLiteral("UTF8")
                                                                                          : TkdOption::Global().CharacterSet);
        TkdForm *form = FrameHost(this);
        if (form && form->OwnerForm())
            form->OwnerForm()->ExecuteSQL(set);
        else if (FQuery->connection())
            FQuery->connection()->execute(set);
    }
    FQuery->open();
    if (editor && FQuery->isActive() && VisibleGrid()->ItemCount() < FQuery->fieldCount())
        ShowMessageBox(QStringLiteral("表示できないデータ型を持つ列が存在するため、\n\r対象列は表示されません。"),
                       MB_OK | MB_ICONINFORMATION);
}

void TfraData::UpdateButtons()
{
    const bool open = FQuery->isActive();
    const bool modify = open && !FQuery->readOnly();
    for (const char *name : {"btnCopy", "btnFirst", "btnPrev", "btnNext", "btnLast"})
        Button(QLatin1String(name))->setEnabled(open);
    Button(QStringLiteral("btnIns"))->setEnabled(modify);
    Button(QStringLiteral("btnDel"))->setEnabled(modify);
    for (QAction *a : FPopColumn->findChildren<QAction *>())
        a->setEnabled(open);
    for (QAction *a : FPopRecord->actions()) {
        const QString n = a->objectName();
        a->setEnabled(n == u"mnuCopy" ? open : modify);
    }
}

void TfraData::AfterOpenClose()
{
    UpdateButtons();
    if (!FQuery->isActive())
        return;
    for (int i = 0; i < FQuery->fieldCount(); ++i)
        if (FQuery->field(i).dataType() == db::FieldType::Bytes)
            FQuery->field(i).setReadOnly(true);
    if (FGrid1->Columns().Count() < MaxWidthColumns) {
        FGrid1->Columns().BeginUpdate();
        LoadWidths();
        FGrid1->Columns().EndUpdate();
    }
    // The ellipsis opens the text editor or the calendar.
    for (int i = 0; i < FGrid1->Columns().Count(); ++i) {
        TColumn *c = FGrid1->Columns()[i];
        if (db::Field *f = c->Field())
            if (IsTextKind(f->dataType()) || IsDateKind(f->dataType()))
                c->SetButtonStyle(cbsEllipsis);
    }
    for (int i = 0; i < FGrid2->Rows().Count(); ++i) {
        TRow *r = FGrid2->Rows()[i];
        if (db::Field *f = r->Field())
            if (IsTextKind(f->dataType()) || IsDateKind(f->dataType()))
                r->SetButtonStyle(cbsEllipsis);
    }
}

QString TfraData::WidthFile() const
{
    if (HostKind() != TDataHostKind::Table || FTableName.isEmpty())
        return QString();
    return TableIniFile(TkdOption::Global().TempDir, FTableName);
}

void TfraData::LoadWidths()
{
    // The cap is the width of DataColWidthV letters "A"; widths come from the header and the
    // field's display width, never from the rows.
    const int letters = TkdOption::Global().DataColWidthV > 0 ? TkdOption::Global().DataColWidthV : 30;
    const int cap = FGrid1->fontMetrics().horizontalAdvance(QString(letters, u'A'));
    QHash<QString, int> stored;
    int storedH = 0;
    const QString file = WidthFile();
    if (!file.isEmpty()) {
        try {
            for (const auto &kv : LoadIniSection(file, SectionV, GetFileEncoding()))
                stored.insert(kv.first, kv.second.toInt());
            for (const auto &kv : LoadIniSection(file, SectionH, GetFileEncoding()))
                if (kv.first == u"(ALL)")
                    storedH = kv.second.toInt();
        } catch (const TkdFileError &) {
            // An unreadable file leaves the default widths.
        }
    }
    for (int i = 0; i < FGrid1->Columns().Count(); ++i) {
        TColumn *c = FGrid1->Columns()[i];
        const int w = stored.value(c->Title()->Caption(), 0);
        if (w >= 1)
            c->SetWidth(w);
        else if (c->Width() > cap)
            c->SetWidth(cap);
    }
    if (storedH > 0)
        FGrid2->SetDefaultColWidth(storedH);
}

void TfraData::StoreWidths()
{
    const QString file = WidthFile();
    if (file.isEmpty() || FGrid1->Columns().Count() >= MaxWidthColumns)
        return;
    QList<QPair<QString, QString>> v;
    for (int i = 0; i < FGrid1->Columns().Count(); ++i) {
        TColumn *c = FGrid1->Columns()[i];
        v.append({c->Title()->Caption(), QString::number(c->Width())});
    }
    try {
        SaveIniSection(file, SectionV, v, GetFileEncoding());
        SaveIniSection(file, SectionH, {{QStringLiteral("(ALL)"), QString::number(FGrid2->DefaultColWidth())}},
                       GetFileEncoding());
    } catch (const TkdFileError &) {
        // Widths are a convenience: a file that cannot be written keeps the old widths.
    }
}

void TfraData::BeforeClose()
{
    if (FQuery->isActive())
        StoreWidths();
}

// ---- drawing -------------------------------------------------------------------------------

void TfraData::DrawCell(QPainter *APainter, const QRect &ARect, db::Field *AField, int ARecord,
                        const TGridDrawState &AState, bool AColumnWise)
{
    if (!AField || ARecord < 0)
        return;
    const TkdOption &opt = TkdOption::Global();
    const bool stripe = opt.AddStripe && !AState.Highlighted && (ARecord % 2) == 0;
    const dataframe::TCellLook look = dataframe::CellLook(AField->dataType(), AColumnWise, opt.DataShowMode);
    enum { None, Left, Right } place = look.place == dataframe::TCellLook::Grid  ? None
                                       : look.place == dataframe::TCellLook::Left ? Left
                                                                                   : Right;
    const bool fixPoint = look.fixPoint;
    if (!stripe && place == None)
        return;
    QColor back;
    QColor fore;
    const QPalette &pal = VisibleGrid()->palette();
    if (AState.Highlighted) {
        back = pal.color(QPalette::Highlight);
        fore = pal.color(QPalette::HighlightedText);
    } else if (stripe) {
        back = QColor(255, 255, 204);
        fore = Qt::black;
    } else {
        back = VisibleGrid()->Color();
        fore = pal.color(QPalette::Text);
    }
    if (place == None)
        place = AField->alignment() == db::Alignment::Right ? Right : Left;
    QString text = FModel->DisplayText(ARecord, AField->index());
    if (fixPoint)
        text = dataframe::FixLeadingPoint(text);
    APainter->save();
    APainter->fillRect(ARect, back);
    APainter->setPen(fore);
    const QRect r = ARect.adjusted(2, 0, -2, 0);
    const QString shown = APainter->fontMetrics().elidedText(text, Qt::ElideRight, r.width());
    APainter->setClipRect(ARect);
    APainter->drawText(r, int((place == Right ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter | Qt::TextSingleLine),
                       shown);
    APainter->restore();
}

// ---- commands ------------------------------------------------------------------------------

void TfraData::btnUpdateClick()
{
    if (!FQuery->isActive()) {
        ApplyReadOnly();
        return;
    }
    const auto saved = SaveParams(FQuery);
    FQuery->close();
    Prepare();
    RestoreParams(FQuery, saved);
    Open();
    if (FBtnUpdate->isChecked() && FQuery->isActive() && !FQuery->canModify()) {
        ShowMessageBox(QStringLiteral("この結果セットには書き込み出来ません。"), MB_OK | MB_ICONWARNING);
        FBtnUpdate->setChecked(false);
        ApplyReadOnly();
        UpdateButtons();
    }
}

void TfraData::btnGridTypeClick()
{
    FGridType = !FGridType;
    auto *stack = static_cast<QStackedWidget *>(FGrid1->parentWidget());
    stack->setCurrentWidget(FGridType ? static_cast<QWidget *>(FGrid1) : static_cast<QWidget *>(FGrid2));
    FGrid1->SelectedRecords().Clear();
    FGrid2->SelectedRecords().Clear();
}

void TfraData::btnInsClick()
{
    if (!FQuery->isActive())
        return;
    VisibleGrid()->SelectedRecords().Clear();
    FQuery->insert();
    VisibleGrid()->setFocus();
}

void TfraData::MoveTo(int AWhere)
{
    if (!FQuery->isActive())
        return;
    VisibleGrid()->SelectedRecords().Clear();
    switch (AWhere) {
    case 0: FQuery->first(); break;
    case 1: FQuery->prior(); break;
    case 2: FQuery->next(); break;
    default: FQuery->last(); break;
    }
}

void TfraData::SortBy(int AIndex)
{
    if (!FQuery->isActive() || dataframe::HasTopLevelOrderBy(FSQL))
        return;
    // The ORDER BY names the field's position in the select list, whatever the place of its
    // column in the grid.
    TkdDBGridBase *g = VisibleGrid();
    if (AIndex < 0 || AIndex >= g->ItemCount())
        AIndex = 0;
    const int field = FGridType ? FGrid1->Columns()[AIndex]->FieldIndex() : FGrid2->Rows()[AIndex]->FieldIndex();
    if (field < 0)
        return;
    const int n = field + 1;
    if (FSort != n) {
        FSort = n;
        FDesc = false;
    } else {
        FDesc = !FDesc;
    }
    const auto saved = SaveParams(FQuery);
    Prepare();
    RestoreParams(FQuery, saved);
    Open();
}

void TfraData::EditCell()
{
    if (!FQuery->isActive())
        return;
    TkdDBGridBase *g = VisibleGrid();
    db::Field *f = g->SelectedField();
    if (!f)
        return;
    const int item = g->SelectedIndex();
    const TColumnButtonStyle style = item < 0 ? cbsAuto
                                     : FGridType ? FGrid1->Columns()[item]->ButtonStyle()
                                                 : FGrid2->Rows()[item]->ButtonStyle();
    if (style != cbsEllipsis)
        return;
    g->HideEditor();
    if (IsTextKind(f->dataType())) {
        QString value = f->text();
        if (TfrmMemo::ShowWindow(value) == 1 && value != f->text()) {
            f->setText(value);
            g->viewport()->update();
        }
        g->setFocus();
    } else if (IsDateKind(f->dataType())) {
        OpenDateEditor(f);
    }
}

void TfraData::OpenDateEditor(db::Field *AField)
{
    TkdDBGridBase *g = VisibleGrid();
    const QRect cell = g->visualRect(g->currentIndex());
    const QPoint at = g->viewport()->mapTo(this, cell.topLeft());
    FDatePopup->Open(AField, QRect(at, cell.size()));
}

// ---- text of the result --------------------------------------------------------------------

QString TfraData::CellText(db::Field &AField, bool AForWorkbook)
{
    Q_UNUSED(AForWorkbook);
    if (AField.isNull())
        return QString();
    if (AField.dataType() == db::FieldType::Bytes)
        return AField.text().toUpper();
    return AField.text();
}

QString TfraData::HeadingOf(db::Field &AField, int ATitleMode) const
{
    if (ATitleMode == tmComment)
        if (TkdDataFrameHost *h = Host()) {
            const QString c = h->DataColumnComment(AField.displayName());
            if (!c.isEmpty())
                return c;
        }
    return AField.displayName();
}

bool TfraData::FetchRest(TkdLoopScope &ALoop)
{
    // Block by block, with Esc checked between blocks; the grids learn the new rows once.
    bool whole = true;
    while (!FQuery->fetchedAll()) {
        if (ALoop.Step(FQuery->fetchedCount(), 0)) {
            whole = false;
            break;
        }
        FQuery->fetchMore();
    }
    FModel->SyncRowCount();
    return whole;
}

QString TfraData::ResultText(bool AHeading, bool AComma, bool *AStopped)
{
    const QChar sep = AComma ? u',' : u'\t';
    db::DataSet *ds = FQuery;
    std::vector<int> cols;
    std::vector<bool> bytes;
    for (int i = 0; i < ds->fieldCount(); ++i)
        if (ds->field(i).visible()) {
            cols.push_back(i);
            bytes.push_back(ds->field(i).dataType() == db::FieldType::Bytes);
        }
    QString heading;
    if (AHeading) {
        const int mode = TkdOption::Global().PasteTitle == tmComment ? tmComment : tmColumnName;
        for (std::size_t k = 0; k < cols.size(); ++k) {
            if (k > 0)
                heading += sep;
            heading += HeadingOf(ds->field(cols[k]), mode);
        }
        heading += QStringLiteral("\r\n");
    }
    TkdLoopScope loop;
    bool stopped = !FetchRest(loop);
    const int rows = ds->fetchedCount();
    // First pass: the size of the text, so it is built in one buffer.
    qsizetype size = heading.size() + 1;
    for (int r = 0; r < rows && !stopped; ++r)
        for (std::size_t k = 0; k < cols.size(); ++k)
            size += ds->raw(r, cols[k]).size() * (bytes[k] ? 2 : 1) + 3;
    QString out;
    out.reserve(size);
    out += heading;
    for (int r = 0; r < rows && !stopped; ++r) {
        if ((r & 1023) == 0 && loop.Step(r, rows)) {
            stopped = true;
            break;
        }
        for (std::size_t k = 0; k < cols.size(); ++k) {
            if (k > 0)
                out += sep;
            if (ds->isNull(r, cols[k]))
                continue;
            const QString t = bytes[k] ? ds->displayText(r, cols[k]).toUpper() : ds->displayText(r, cols[k]);
            out += dataframe::QuoteCellText(t);
        }
        out += QStringLiteral("\r\n");
    }
    if (AStopped)
        *AStopped = stopped;
    return out;
}

void TfraData::btnCopyClick()
{
    if (!FQuery->isActive())
        return;
    TkdOption &opt = TkdOption::Global();
    bool comma = opt.PasteColumn == 1;
    bool heading = opt.PasteTitle == tmColumnName || opt.PasteTitle == tmComment;
    if (opt.PasteDialog) {
        QList<MsgCheckItem> items{{QStringLiteral("見出しを出力する"), heading},
                                  {QStringLiteral("カンマ区切りにする(非チェック時はタブ区切り)"), comma}};
        if (ShowCheckMessageBox(QStringLiteral("結果をクリップボードにコピーしますか？"), MB_YESNO | MB_ICONQUESTION, items) != IDYES)
            return;
        heading = items.at(0).Checked;
        comma = items.at(1).Checked;
    }
    opt.PasteColumn = comma ? 1 : 0;
    QString text;
    {
        TkdWaitCursor wait;
        text = ResultText(heading, comma);
    }
    QApplication::clipboard()->setText(text);
    ShowMessageBox(QStringLiteral("クリップボードに出力しました。"), MB_OK | MB_ICONINFORMATION);
}

void TfraData::btnDelClick()
{
    if (!FQuery->isActive())
        return;
    if (ShowMessageBox(QStringLiteral("レコードを削除しますか？"), MB_OKCANCEL | MB_ICONQUESTION) != IDOK)
        return;
    TkdDBGridBase *g = VisibleGrid();
    if (g->SelectedRecords().Count() == 0) {
        TkdAutoCommitScope scope(FQuery);
        FQuery->deleteRecord();
        return;
    }
    // Last to first; the first failure stops, says which record and how many went, and the
    // result is read again in every case.
    const std::vector<db::DataSet::Bookmark> marks = g->SelectedRecords().List();
    const int total = int(marks.size());
    int deleted = 0;
    QString failure;
    {
        TkdWaitCursor wait;
        TkdAutoCommitScope scope(FQuery);
        FQuery->disableControls();
        try {
            for (int i = total - 1; i >= 0; --i) {
                FQuery->gotoBookmark(marks[std::size_t(i)]);
                FQuery->deleteRecord();
                ++deleted;
            }
        } catch (const db::Error &e) {
            failure = e.message;
        } catch (const std::exception &e) {
            failure = QString::fromLocal8Bit(e.what());
        }
        FQuery->enableControls();
    }
    g->SelectedRecords().Clear();
    FQuery->close();
    FQuery->open();
    if (!failure.isEmpty())
        ShowMessageBox(failure + QStringLiteral("\r\n\r\n選択した %1 件のうち、%2 件を削除しました。"
                                                "選択の %3 件目のレコードは削除できませんでした。")
                                     .arg(total)
                                     .arg(deleted)
                                     .arg(total - deleted),
                       MB_OK | MB_ICONERROR);
}

void TfraData::ShowAggregate(const QString &AFunction)
{
    if (!FQuery->isActive())
        return;
    TkdDBGridBase *g = VisibleGrid();
    int item = FSelectedItem;
    if (item < 0 || item >= g->ItemCount())
        item = 0;
    db::Field *f = FGridType ? FGrid1->Columns()[item]->Field() : FGrid2->Rows()[item]->Field();
    if (!f)
        return;
    const QString name = f->name();
    db::Query q(FQuery->connection());
    q.setSql(dataframe::AggregateSQL(AFunction, QuoteName(name), FSQL));
    RestoreParams(&q, SaveParams(FQuery));
    try {
        q.open();
    } catch (const std::exception &) {
        ShowMessageBox(QStringLiteral("集計情報を求めることができません。"), MB_OK | MB_ICONWARNING);
        return;
    }
    if (!q.isActive()) {
        ShowMessageBox(QStringLiteral("集計情報を求めることができません。"), MB_OK | MB_ICONWARNING);
        return;
    }
    if (q.isEmpty() || q.field(0).isNull()) {
        q.close();
        ShowMessageBox(QStringLiteral("レコードがありません"), MB_OK | MB_ICONWARNING);
        return;
    }
    static const QHash<QString, QString> labels{
        {QStringLiteral("COUNT"), QStringLiteral("列の件数 = ")}, {QStringLiteral("SUM"), QStringLiteral("列の合計 = ")},
        {QStringLiteral("AVG"), QStringLiteral("列の平均 = ")},   {QStringLiteral("MAX"), QStringLiteral("列の最大 = ")},
        {QStringLiteral("MIN"), QStringLiteral("列の最小 = ")}};
    const QString value = q.field(0).text();
    q.close();
    ShowMessageBox(u'"' + name + u'"' + labels.value(AFunction) + value, MB_OK);
}
