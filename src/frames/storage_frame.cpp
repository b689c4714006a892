#include "frames/storage_frame.h"

#include "controls/kdgrid.h"
#include "controls/kdstdctl.h"
#include "core/kdforms.h"
#include "core/kdsub_options.h"
#include "core/kdsub_text.h"
#include "frames/frame_support.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QRadioButton>
#include <QRegularExpression>
#include <QStackedWidget>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <functional>
#include <stdexcept>

const TVacuumOption VacuumOptions[10] = {
    {"自動バキュームデーモン", "autovacuum_enabled", "AUTOVACUUM_ENABLED"},
    {"VACUUMベースの境界値", "autovacuum_vacuum_threshold", "AUTOVACUUM_VACUUM_THRESHOLD"},
    {"ANALYZEベースの境界値", "autovacuum_analyze_threshold", "AUTOVACUUM_ANALYZE_THRESHOLD"},
    {"VACUUMスケール因数", "autovacuum_vacuum_scale_factor", "AUTOVACUUM_VACUUM_SCALE_FACTOR"},
    {"ANALYZEスケール因数", "autovacuum_analyze_scale_factor", "AUTOVACUUM_ANALYZE_SCALE_FACTOR"},
    {"VACUUMコスト・ディレイ", "autovacuum_vacuum_cost_delay", "AUTOVACUUM_VACUUM_COST_DELAY"},
    {"VACUUMコスト・リミット", "autovacuum_vacuum_cost_limit", "AUTOVACUUM_VACUUM_COST_LIMIT"},
    {"最小フリーズ年数", "autovacuum_freeze_min_age", "AUTOVACUUM_FREEZE_MIN_AGE"},
    {"最大フリーズ年数", "autovacuum_freeze_max_age", "AUTOVACUUM_FREEZE_MAX_AGE"},
    {"テーブルフリーズ年数", "autovacuum_freeze_table_age", "AUTOVACUUM_FREEZE_TABLE_AGE"},
};

namespace {

const QString StorageTypeTexts[3] = {QStringLiteral("標準"), QStringLiteral("継承"), QStringLiteral("一時表")};

// Object names of the nine fields of each target.
const char *const FieldNames[2][9] = {
    {"txtVacuumThreshold", "txtAnalyzeThreshold", "txtVacuumFactor", "txtAnalyzeFactor", "txtVaccumDelay",
     "txtVacuumLimit", "txtFreezeMin", "txtFreezeMax", "txtFreezeTable"},
    {"txtToastVacuumThreshold", "txtToastAnalyzeThreshold", "txtToastVacuumFactor", "txtToastAnalyzeFactor",
     "txtToastVaccumDelay", "txtToastVacuumLimit", "txtToastFreezeMin", "txtToastFreezeMax", "txtToastFreezeTable"},
};

// Option rows that a TOAST table does not have (the ANALYZE settings).
bool IsAnalyzeRow(int row) { return row == 2 || row == 4; }

// The reloptions of a table and its TOAST table, one item per line, and the relation kind.
const char *VacuumSql =
    "SELECT array_to_string(REL.reloptions, E'\\n'), array_to_string(TST.reloptions, E'\\n'), REL.relkind "
    "FROM pg_class REL LEFT OUTER JOIN pg_class TST ON TST.oid = REL.reltoastrelid "
    "JOIN pg_namespace NMS ON NMS.oid = REL.relnamespace "
    "WHERE REL.relkind IN ('r', 'p') AND NMS.nspname = :SCHEMA AND REL.relname = :TBLNAME";

// The classic parents of a table (a partition's parent is no inheritance that can change),
// numbered by name.
const char *ParentsSql =
    "SELECT N.nspname, C.relname, row_number() OVER (ORDER BY C.relname, N.nspname) "
    "FROM pg_inherits I JOIN pg_class C ON C.oid = I.inhparent JOIN pg_namespace N ON N.oid = C.relnamespace "
    "JOIN pg_class C2 ON C2.oid = I.inhrelid JOIN pg_namespace N2 ON N2.oid = C2.relnamespace "
    "WHERE N2.nspname = :SCHEMA AND C2.relname = :TBLNAME AND C2.relkind = 'r' AND NOT C2.relispartition "
    "ORDER BY 3";

// Tables that can be parents: ordinary tables outside the system schemas, partitions left out.
const char *CandidatesSql =
    "SELECT N.nspname, C.relname FROM pg_class C JOIN pg_namespace N ON N.oid = C.relnamespace "
    "WHERE C.relkind = 'r' AND NOT C.relispartition AND N.nspname NOT LIKE E'pg\\\\_%' "
    "AND N.nspname <> 'information_schema' ORDER BY N.nspname, C.relname";

bool IsPlainNumber(const QString &s)
{
    static const QRegularExpression re(QStringLiteral("^[0-9]*\\.?[0-9]*$"));
    return !s.isEmpty() && s != u"." && re.match(s).hasMatch();
}

// A boolean reloption value as the server reads it.
bool IsTrueText(const QString &s)
{
    const QString v = s.trimmed().toLower();
    return v == u"true" || v == u"t" || v == u"on" || v == u"1" || v == u"yes" || v == u"y" || v == u"tr" ||
           v == u"tru" || v == u"ye";
}

// A widget "shown" by the frame's rules (its own flag, whether or not the window is on screen).
bool Shown(const QWidget *w) { return !w->isHidden(); }

class TTBSComboBox : public TkdComboBox
{
public:
    using TkdComboBox::TkdComboBox;
    std::function<void()> OnDropDown;
    void showPopup() override
    {
        if (OnDropDown)
            GuardedCall(OnDropDown);
        TkdComboBox::showPopup();
    }
};

void RemoveLastComma(QStringList &lines)
{
    if (!lines.isEmpty() && lines.last().endsWith(QLatin1Char(',')))
        lines.last().chop(1);
}

} // namespace

QStringList ParseVacuumOptions(const QStringList &reloptions)
{
    QStringList values(10);
    for (const QString &item : reloptions) {
        const qsizetype eq = item.indexOf(QLatin1Char('='));
        if (eq < 0)
            continue;
        const QString key = item.left(eq).trimmed().toLower();
        const QString value = item.mid(eq + 1).trimmed();
        for (int row = 0; row < 10; ++row) {
            if (key != QLatin1String(VacuumOptions[row].Key))
                continue;
            if (row == 0)
                values[0] = IsTrueText(value) ? QStringLiteral("true") : QStringLiteral("false");
            else if (IsPlainNumber(value))
                values[row] = value;
        }
    }
    return values;
}

namespace {
// Reads one name part at `pos`: a quoted name (doubled quotes inside) or a bare name.
bool ReadNamePart(const QString &s, qsizetype &pos, QString &part)
{
    part.clear();
    if (pos >= s.size())
        return false;
    if (s.at(pos) == u'"') {
        ++pos;
        while (pos < s.size()) {
            if (s.at(pos) == u'"') {
                if (pos + 1 < s.size() && s.at(pos + 1) == u'"') {
                    part += u'"';
                    pos += 2;
                    continue;
                }
                ++pos;
                return !part.isEmpty();
            }
            part += s.at(pos++);
        }
        return false; // no closing quote
    }
    const qsizetype start = pos;
    while (pos < s.size()) {
        const QChar c = s.at(pos);
        const bool ok = c == u'_' || c == u'$' || (c.unicode() < 128 ? c.isLetterOrNumber() : c.isLetterOrNumber() || c.isMark());
        if (!ok)
            break;
        ++pos;
    }
    if (pos == start || s.at(start).isDigit() || s.at(start) == u'$')
        return false;
    // The server folds bare names to lower case (ASCII letters only).
    for (qsizetype i = start; i < pos; ++i) {
        const QChar c = s.at(i);
        part += (c.unicode() < 128) ? c.toLower() : c;
    }
    return true;
}
} // namespace

bool ParseTableName(const QString &text, QString &schema, QString &name)
{
    const QString s = text.trimmed();
    qsizetype pos = 0;
    QString first;
    if (!ReadNamePart(s, pos, first))
        return false;
    if (pos == s.size()) {
        schema.clear();
        name = first;
        return true;
    }
    if (s.at(pos) != u'.')
        return false;
    ++pos;
    QString second;
    if (!ReadNamePart(s, pos, second) || pos != s.size())
        return false;
    schema = first;
    name = second;
    return true;
}

QString QuotedTableName(const QString &text)
{
    QString schema, name;
    if (!ParseTableName(text, schema, name))
        throw std::runtime_error("親テーブル名が正しくありません。");
    return schema.isEmpty() ? QuoteIdentifier(name) : QuoteIdentifier(schema) + QLatin1Char('.') + QuoteIdentifier(name);
}

// ---------------------------------------------------------------------------------------------

TfraStorage::TfraStorage(QWidget *AOwner) : QWidget(AOwner)
{
    setObjectName(QStringLiteral("fraStorage"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);

    pnlStorageType = new QWidget(this);
    pnlStorageType->setObjectName(QStringLiteral("pnlStorageType"));
    auto *typeLayout = new QHBoxLayout(pnlStorageType);
    typeLayout->setContentsMargins(4, 2, 4, 2);
    typeLayout->addWidget(new QLabel(QStringLiteral("格納方法"), pnlStorageType));
    cmbStorageType = new TkdComboBox(pnlStorageType);
    cmbStorageType->setObjectName(QStringLiteral("cmbStorageType"));
    cmbStorageType->SetCharCase(ecUpperCase);
    cmbStorageType->addItem(StorageTypeTexts[0]);
    cmbStorageType->setMinimumWidth(140);
    typeLayout->addWidget(cmbStorageType);
    typeLayout->addStretch();
    layout->addWidget(pnlStorageType);

    pagStorage = new QStackedWidget(this);
    pagStorage->setObjectName(QStringLiteral("pagStorage"));
    layout->addWidget(pagStorage, 1);

    // Standard storage: tablespace and autovacuum settings.
    tabDefault = new QWidget(pagStorage);
    tabDefault->setObjectName(QStringLiteral("tabDefault"));
    auto *defLayout = new QVBoxLayout(tabDefault);
    auto *tbsRow = new QHBoxLayout;
    tbsRow->addWidget(new QLabel(QStringLiteral("表領域"), tabDefault));
    auto *tbs = new TTBSComboBox(tabDefault);
    tbs->OnDropDown = [this] { cmbTBSDropDown(); };
    cmbTBS = tbs;
    cmbTBS->setObjectName(QStringLiteral("cmbTBS"));
    cmbTBS->setEditable(true);
    cmbTBS->setInsertPolicy(QComboBox::NoInsert);
    cmbTBS->setMaxVisibleItems(20);
    cmbTBS->setMinimumWidth(200);
    tbsRow->addWidget(cmbTBS);
    tbsRow->addStretch();
    defLayout->addLayout(tbsRow);
    chkAutoVacuum = new TkdCheckBox(QStringLiteral("自動バキューム"), tabDefault);
    chkAutoVacuum->setObjectName(QStringLiteral("chkAutoVacuum"));
    defLayout->addWidget(chkAutoVacuum);

    grpAutoVacuum = new QGroupBox(tabDefault);
    grpAutoVacuum->setObjectName(QStringLiteral("grpAutoVacuum"));
    auto *grid = new QGridLayout(grpAutoVacuum);
    rdoVacuumTarget = new QGroupBox(QStringLiteral("バキューム対象"), grpAutoVacuum);
    rdoVacuumTarget->setObjectName(QStringLiteral("rdoVacuumTarget"));
    auto *targetLayout = new QHBoxLayout(rdoVacuumTarget);
    rdoTargetTable = new QRadioButton(QStringLiteral("テーブル"), rdoVacuumTarget);
    rdoTargetToast = new QRadioButton(QStringLiteral("トーストテーブル"), rdoVacuumTarget);
    rdoTargetTable->setChecked(true);
    targetLayout->addWidget(rdoTargetTable);
    targetLayout->addWidget(rdoTargetToast);
    grid->addWidget(rdoVacuumTarget, 0, 0, 1, 2);
    grid->addWidget(new QLabel(QString::fromUtf8(VacuumOptions[0].Label), grpAutoVacuum), 1, 0);
    chkEnabled = new TkdCheckBox(grpAutoVacuum);
    chkEnabled->setObjectName(QStringLiteral("chkEnabled"));
    chkToastEnabled = new TkdCheckBox(grpAutoVacuum);
    chkToastEnabled->setObjectName(QStringLiteral("chkToastEnabled"));
    grid->addWidget(chkEnabled, 1, 1);
    grid->addWidget(chkToastEnabled, 1, 1);
    FEnabled[0] = chkEnabled;
    FEnabled[1] = chkToastEnabled;
    for (int row = 1; row < 10; ++row) {
        auto *label = new QLabel(QString::fromUtf8(VacuumOptions[row].Label), grpAutoVacuum);
        grid->addWidget(label, row + 1, 0);
        if (row == 2)
            lblAnalyzeThreshold = label;
        if (row == 4)
            lblAnalyzeFactor = label;
        for (int t = 0; t < 2; ++t) {
            auto *f = new TkdNumEdit(grpAutoVacuum);
            f->setObjectName(QString::fromLatin1(FieldNames[t][row - 1]));
            f->setMaximumWidth(120);
            grid->addWidget(f, row + 1, 1);
            FFields[t][row - 1] = f;
        }
    }
    grid->setColumnStretch(2, 1);
    defLayout->addWidget(grpAutoVacuum);
    defLayout->addStretch();
    chkAutoVacuum->hide();
    grpAutoVacuum->hide();
    pagStorage->addWidget(tabDefault);

    // Temporary table: data retention.
    tabTemporary = new QWidget(pagStorage);
    tabTemporary->setObjectName(QStringLiteral("tabTemporary"));
    auto *tmpLayout = new QVBoxLayout(tabTemporary);
    grpOnCommit = new QGroupBox(QStringLiteral("データ保持期間"), tabTemporary);
    grpOnCommit->setObjectName(QStringLiteral("grpOnCommit"));
    auto *onCommitLayout = new QVBoxLayout(grpOnCommit);
    rdoTransaction = new TkdRadioButton(QStringLiteral("コミット後にデータ削除"), grpOnCommit);
    rdoTransaction->setObjectName(QStringLiteral("rdoTransaction"));
    rdoSession = new TkdRadioButton(QStringLiteral("セッション終了後にデータ削除"), grpOnCommit);
    rdoSession->setObjectName(QStringLiteral("rdoSession"));
    onCommitLayout->addWidget(rdoTransaction);
    onCommitLayout->addWidget(rdoSession);
    tmpLayout->addWidget(grpOnCommit);
    tmpLayout->addStretch();
    pagStorage->addWidget(tabTemporary);

    // Inheritance: the parent tables.
    tabPartition = new QWidget(pagStorage);
    tabPartition->setObjectName(QStringLiteral("tabPartition"));
    auto *partLayout = new QVBoxLayout(tabPartition);
    auto *bar = new QToolBar(tabPartition);
    btnPartIns = new QToolButton(bar);
    btnPartIns->setObjectName(QStringLiteral("btnPartIns"));
    btnPartIns->setToolTip(QStringLiteral("パーティションの追加"));
    btnPartIns->setIcon(FrameImage(39));
    btnPartDel = new QToolButton(bar);
    btnPartDel->setObjectName(QStringLiteral("btnPartDel"));
    btnPartDel->setToolTip(QStringLiteral("パーティションの削除"));
    btnPartDel->setIcon(FrameImage(40));
    btnField = new QToolButton(bar);
    btnField->setObjectName(QStringLiteral("btnField"));
    btnField->setText(QStringLiteral("項目一覧"));
    bar->addWidget(btnPartIns);
    bar->addWidget(btnPartDel);
    QAction *fieldAction = bar->addWidget(btnField);
    fieldAction->setVisible(false);
    partLayout->addWidget(bar);
    grdPartition = new TkdStringGrid(tabPartition);
    grdPartition->setObjectName(QStringLiteral("grdPartition"));
    grdPartition->SetColCount(1);
    grdPartition->SetFixedRows(1);
    grdPartition->SetRowCount(2);
    grdPartition->SetHeader({QStringLiteral("親テーブル名")});
    grdPartition->setColumnWidth(0, 389);
    grdPartition->verticalHeader()->setDefaultSectionSize(18);
    grdPartition->SetEditStyles(0, gePickList);
    grdPartition->OnGetPickListitems = [this](int c, int r, QStringList &items) { FillPickList(c, r, items); };
    partLayout->addWidget(grdPartition, 1);
    pagStorage->addWidget(tabPartition);
    pagStorage->setCurrentWidget(tabDefault);

    // Every user change marks the host modified.
    connect(cmbStorageType, &QComboBox::currentIndexChanged, this, [this] { cmbStorageTypeChange(); });
    connect(chkAutoVacuum, &QCheckBox::clicked, this, [this] { chkAutoVacuumClick(); });
    connect(rdoTargetTable, &QRadioButton::clicked, this, [this] { rdoVacuumTargetClick(); });
    connect(rdoTargetToast, &QRadioButton::clicked, this, [this] { rdoVacuumTargetClick(); });
    connect(cmbTBS, &QComboBox::currentTextChanged, this, [this] { SetModified(); });
    connect(rdoTransaction, &QRadioButton::toggled, this, [this] { SetModified(); });
    connect(rdoSession, &QRadioButton::toggled, this, [this] { SetModified(); });
    for (int t = 0; t < 2; ++t) {
        connect(FEnabled[t], &QCheckBox::stateChanged, this, [this] { SetModified(); });
        for (TkdNumEdit *f : FFields[t])
            connect(f, &QLineEdit::textChanged, this, [this] { SetModified(); });
    }
    connect(grdPartition, &TkdStringGrid::OnSetEditText, this, [this] { SetModified(); });
    connect(btnPartIns, &QToolButton::clicked, this, [this] { btnPartInsClick(); });
    connect(btnPartDel, &QToolButton::clicked, this, [this] { btnPartDelClick(); });
    rdoVacuumTargetClick();
}

TkdForm *TfraStorage::Host() const
{
    return FrameHost(this);
}

void TfraStorage::SetModified()
{
    if (TkdForm *h = Host())
        h->SetModified(true);
}

bool TfraStorage::HostIsNew() const
{
    TkdForm *h = Host();
    return h && h->IsNew();
}

int TfraStorage::Target() const
{
    return rdoTargetToast->isChecked() ? 1 : 0;
}

TStorageType TfraStorage::StorageType() const
{
    const QString text = cmbStorageType->currentText();
    if (text == StorageTypeTexts[2])
        return ptTemp;
    if (text == StorageTypeTexts[1])
        return ptPartition;
    return ptNormal;
}

void TfraStorage::Init(const QString &Schema, const QString &ObjectName)
{
    FSchema = Schema;
    FObjectName = ObjectName;
    TableName = ObjectName;
    if (!(FObjType < 0 || FObjType == 45))
        return;
    FIsInit = true;
    TkdForm *host = Host();
    FObjType = host ? host->ObjType() : 0;
    const bool isNew = HostIsNew();
    QSignalBlocker block(cmbStorageType);
    cmbStorageType->clear();
    if (!(IsTable() && !isNew && InTempSchema()))
        cmbStorageType->addItem(StorageTypeTexts[0]);
    if (IsTable()) {
        if (isNew) {
            cmbStorageType->addItem(StorageTypeTexts[2]);
            cmbStorageType->addItem(StorageTypeTexts[1]);
        } else if (InTempSchema()) {
            cmbStorageType->addItem(StorageTypeTexts[2]);
        } else {
            cmbStorageType->addItem(StorageTypeTexts[1]);
        }
    }
    cmbStorageType->setCurrentIndex(0);
    cmbStorageTypeChange();
}

void TfraStorage::cmbStorageTypeChange()
{
    btnPartIns->setEnabled(true);
    btnPartDel->setEnabled(true);
    grpAutoVacuum->hide();
    switch (StorageType()) {
    case ptNormal: {
        pagStorage->setCurrentWidget(tabDefault);
        // A partitioned table has no autovacuum settings of its own (the server refuses them).
        const bool vacuum = IsTable() && !FPartitioned;
        grpAutoVacuum->setVisible(vacuum);
        chkAutoVacuum->setVisible(vacuum);
        break;
    }
    case ptPartition:
        pagStorage->setCurrentWidget(tabPartition);
        break;
    case ptTemp:
        pagStorage->setCurrentWidget(tabTemporary);
        grpOnCommit->setVisible(HostIsNew() || !InTempSchema());
        break;
    }
    SetModified();
}

void TfraStorage::ShowDefine()
{
    TkdWaitCursor wait;
    const QString wanted = (IsTable() && !HostIsNew() && InTempSchema())
                               ? StorageTypeTexts[2]
                               : StorageTypeTexts[0];
    TkdConnForm *conn = Host() ? Host()->OwnerForm() : nullptr;
    if (IsTable() && conn) {
        FPartitioned = false;
        const QList<TFrameRow> rows = ReadFrameRows(conn, QString::fromLatin1(VacuumSql), {FSchema, TableName});
        if (!rows.isEmpty()) {
            const TFrameRow &r = rows.first();
            FPartitioned = r.value(2).toString() == u"p";
            const QStringList table = ParseVacuumOptions(r.value(0).toString().split(QLatin1Char('\n')));
            const QStringList toast = ParseVacuumOptions(r.value(1).toString().split(QLatin1Char('\n')));
            // Custom settings are shown whenever any option of the table or its TOAST table is set.
            bool any = false;
            for (int i = 0; i < 10; ++i)
                any = any || !table[i].isEmpty() || !toast[i].isEmpty();
            if (any) {
                chkAutoVacuum->setChecked(true);
                const QStringList *sets[2] = {&table, &toast};
                for (int t = 0; t < 2; ++t) {
                    FEnabled[t]->setChecked(sets[t]->at(0) == u"true");
                    for (int row = 1; row < 10; ++row)
                        FFields[t][row - 1]->setText(sets[t]->at(row));
                }
            }
            chkAutoVacuumClick();
        }
        // Parents.
        grdPartition->SetRowCount(2);
        grdPartition->SetCells(0, 1, QString());
        grdPartition->SetObjects(0, 1, QVariant());
        const QList<QPair<QString, int>> parents = ReadParents();
        grdPartition->SetRowCount(int(parents.size()) + 2);
        for (int k = 0; k < parents.size(); ++k) {
            grdPartition->SetCells(0, k + 1, parents[k].first);
            grdPartition->SetObjects(0, k + 1, parents[k].second);
        }
        grdPartition->SetCells(0, int(parents.size()) + 1, QString());
        grdPartition->SetObjects(0, int(parents.size()) + 1, 0);
        grdPartition->SetCurrentCell(0, 1);
    }
    const int index = cmbStorageType->findText(wanted);
    {
        QSignalBlocker block(cmbStorageType);
        cmbStorageType->setCurrentIndex(index);
    }
    cmbStorageTypeChange();
}

QList<QPair<QString, int>> TfraStorage::ReadParents() const
{
    QList<QPair<QString, int>> parents;
    TkdConnForm *conn = Host() ? Host()->OwnerForm() : nullptr;
    if (!conn)
        return parents;
    for (const TFrameRow &r : ReadFrameRows(conn, QString::fromLatin1(ParentsSql), {FSchema, FObjectName}))
        parents << qMakePair(QuoteIdentifier(r.value(0).toString()) + QLatin1Char('.') +
                                 QuoteIdentifier(r.value(1).toString()),
                             r.value(2).toInt());
    return parents;
}

void TfraStorage::GetVacuumData()
{
    TkdConnForm *conn = Host() ? Host()->OwnerForm() : nullptr;
    if (!conn || !IsTable())
        return;
    TkdWaitCursor wait;
    const QList<TFrameRow> rows = ReadFrameRows(conn, QString::fromLatin1(VacuumSql), {FSchema, TableName});
    if (rows.isEmpty())
        return;
    const int t = Target();
    const QStringList values = ParseVacuumOptions(rows.first().value(t).toString().split(QLatin1Char('\n')));
    FEnabled[t]->setChecked(values[0] == u"true");
    for (int row = 1; row < 10; ++row)
        FFields[t][row - 1]->setText(values[row]);
}

void TfraStorage::Save()
{
    cmbStorageType->Save();
    rdoTransaction->Save();
    rdoSession->Save();
    cmbTBS->Save();
    chkAutoVacuum->Save();
    for (int t = 0; t < 2; ++t) {
        FEnabled[t]->Save();
        for (TkdNumEdit *f : FFields[t])
            f->Save();
    }
    grdPartition->Save();
}

bool TfraStorage::IsCreate() const
{
    return cmbTBS->IsChanged() || rdoTransaction->IsChanged() || rdoSession->IsChanged();
}

void TfraStorage::chkAutoVacuumClick()
{
    const bool on = chkAutoVacuum->isChecked();
    const int t = Target();
    rdoVacuumTarget->setEnabled(on);
    FEnabled[t]->setEnabled(on);
    for (TkdNumEdit *f : FFields[t])
        f->setEnabled(on);
    rdoVacuumTargetClick();
    SetModified();
}

void TfraStorage::rdoVacuumTargetClick()
{
    const int t = Target();
    for (int s = 0; s < 2; ++s) {
        FEnabled[s]->setVisible(s == t);
        for (TkdNumEdit *f : FFields[s])
            f->setVisible(s == t);
    }
    const bool table = t == 0;
    lblAnalyzeThreshold->setEnabled(table);
    lblAnalyzeFactor->setEnabled(table);
    if (table) {
        FFields[0][1]->setEnabled(chkAutoVacuum->isChecked());
        FFields[0][3]->setEnabled(chkAutoVacuum->isChecked());
    } else {
        // A TOAST table has no ANALYZE settings.
        FFields[1][1]->setEnabled(false);
        FFields[1][3]->setEnabled(false);
    }
}

void TfraStorage::btnPartInsClick()
{
    grdPartition->setFocus();
    const int row = grdPartition->RowCount();
    grdPartition->SetRowCount(row + 1);
    grdPartition->SetCells(0, row, QString());
    grdPartition->SetObjects(0, row, 0);
    SetModified();
}

void TfraStorage::btnPartDelClick()
{
    grdPartition->setFocus();
    if (grdPartition->RowCount() > 2 && grdPartition->Row() >= 1)
        grdPartition->DeleteRow(grdPartition->Row());
    SetModified();
}

void TfraStorage::cmbTBSDropDown()
{
    TkdConnForm *conn = Host() ? Host()->OwnerForm() : nullptr;
    if (!conn)
        return;
    const QString text = cmbTBS->currentText();
    QStringList names;
    conn->GetTBS(names);
    names.sort();
    QSignalBlocker block(cmbTBS);
    cmbTBS->clear();
    cmbTBS->addItems(names);
    cmbTBS->setCurrentText(text);
    FTBSFilled = true;
}

void TfraStorage::FillPickList(int col, int row, QStringList &items)
{
    if (col != 0 || row < 1)
        return;
    if (!FPickFilled) {
        TkdConnForm *conn = Host() ? Host()->OwnerForm() : nullptr;
        if (!conn)
            return;
        TkdWaitCursor wait;
        FPickList.clear();
        for (const TFrameRow &r : ReadFrameRows(conn, QString::fromLatin1(CandidatesSql), {}))
            FPickList << QuoteIdentifier(r.value(0).toString()) + QLatin1Char('.') + QuoteIdentifier(r.value(1).toString());
        FPickFilled = true;
    }
    items = FPickList;
}

void TfraStorage::GetSourceCreate(QStringList &Source)
{
    TkdForm *host = Host();
    if (!host)
        return;
    const TkdOption &opt = TkdOption::Global();
    if (opt.flgCallFromTbl)
        host->SourceMode = smShow;
    const bool show = host->SourceMode == smShow;
    if (show && !opt.ShowStorageSource)
        return;
    const bool storage = TScriptOption::Global().Storage;
    TkdWaitCursor wait;
    QStringList lines;
    QWidget *page = pagStorage->currentWidget();
    if (page == tabDefault) {
        if (!host->IsNew() && IsTable()) {
            QStringList parents;
            for (const auto &p : ReadParents())
                parents << p.first;
            if (!parents.isEmpty())
                lines << QStringLiteral("INHERITS (") + parents.join(QStringLiteral(", ")) + QLatin1Char(')');
        }
        if ((show && chkAutoVacuum->isChecked()) || (!show && storage)) {
            QStringList with;
            for (int t = 0; t < 2; ++t) {
                const QString prefix = t == 0 ? QStringLiteral("    ") : QStringLiteral("    TOAST.");
                if (FEnabled[t]->isChecked())
                    with << prefix + QStringLiteral("AUTOVACUUM_ENABLED = TRUE,");
                for (int row = 1; row < 10; ++row) {
                    const QString text = FFields[t][row - 1]->text().trimmed();
                    if (!text.isEmpty() && !(t == 1 && IsAnalyzeRow(row)))
                        with << prefix + QString::fromLatin1(VacuumOptions[row].Word) + QStringLiteral(" = ") + text +
                                    QLatin1Char(',');
                }
            }
            if (!with.isEmpty()) {
                RemoveLastComma(with);
                lines << QStringLiteral("WITH (") << with << QStringLiteral(")");
            }
        }
        if ((show || storage) && Shown(cmbTBS) && !cmbTBS->IsNull())
            lines << QStringLiteral("TABLESPACE ") + QuoteIdentifier(cmbTBS->currentText().trimmed());
    }
    if (page == tabTemporary && IsTable()) {
        if (rdoTransaction->isChecked())
            lines << QStringLiteral("ON COMMIT DELETE ROWS");
        else if (rdoSession->isChecked())
            lines << QStringLiteral("ON COMMIT PRESERVE ROWS");
    }
    if (host->IsNew() && grdPartition->IsChanged()) {
        QStringList parents;
        for (int row = 1; row < grdPartition->RowCount(); ++row)
            if (!grdPartition->IsNull(0, row))
                parents << QuotedTableName(grdPartition->Cells(0, row));
        if (!parents.isEmpty())
            lines << QStringLiteral("INHERITS (") + parents.join(QStringLiteral(", ")) + QLatin1Char(')');
    }
    Source << lines;
}

void TfraStorage::GetSourceAlterV(QStringList &Source) const
{
    if (FPartitioned || !IsTable())
        return; // no autovacuum settings of its own
    const QString s = QStringLiteral("ALTER TABLE ") + QuoteIdentifier(FSchema) + QLatin1Char('.') +
                      QuoteIdentifier(FObjectName);
    const bool on = chkAutoVacuum->isChecked();
    const bool onChanged = chkAutoVacuum->IsChanged();
    QStringList set, reset;
    for (int t = 0; t < 2; ++t) {
        const QString prefix = t == 0 ? QStringLiteral("    ") : QStringLiteral("    TOAST.");
        TkdCheckBox *e = FEnabled[t];
        if (e->isChecked() && (e->IsChanged() || on))
            set << prefix + QStringLiteral("AUTOVACUUM_ENABLED = TRUE,");
        for (int row = 1; row < 10; ++row) {
            if (t == 1 && IsAnalyzeRow(row))
                continue; // a TOAST table has no ANALYZE settings
            TkdNumEdit *f = FFields[t][row - 1];
            const QString text = f->text().trimmed();
            if (!text.isEmpty() && (f->IsChanged() || on))
                set << prefix + QString::fromLatin1(VacuumOptions[row].Word) + QStringLiteral(" = ") + text + QLatin1Char(',');
        }
    }
    for (int t = 0; t < 2; ++t) {
        const QString prefix = t == 0 ? QStringLiteral("    ") : QStringLiteral("    TOAST.");
        TkdCheckBox *e = FEnabled[t];
        const bool tableRule = t == 0;
        auto disabledReset = [&](const QWidget *w) { return !w->isEnabled() && (!tableRule || onChanged); };
        if ((e->IsChanged() && !e->isChecked()) || disabledReset(e))
            reset << prefix + QStringLiteral("AUTOVACUUM_ENABLED,");
        for (int row = 1; row < 10; ++row) {
            if (t == 1 && IsAnalyzeRow(row))
                continue;
            TkdNumEdit *f = FFields[t][row - 1];
            if ((f->IsChanged() && f->text().trimmed().isEmpty()) || disabledReset(f))
                reset << prefix + QString::fromLatin1(VacuumOptions[row].Word) + QLatin1Char(',');
        }
    }
    if (!set.isEmpty()) {
        RemoveLastComma(set);
        Source << s + QStringLiteral(" SET (") << set << QStringLiteral(")") << QStringLiteral(";");
    }
    if (!reset.isEmpty()) {
        RemoveLastComma(reset);
        Source << s + QStringLiteral(" RESET (") << reset << QStringLiteral(")") << QStringLiteral(";");
    }
}

void TfraStorage::GetSourceAlterP(QStringList &Source)
{
    TkdForm *host = Host();
    if (!host || pagStorage->currentWidget() != tabPartition)
        return;
    if (host->SourceMode == smShow && !TkdOption::Global().ShowStorageSource)
        return;
    const QString s = QStringLiteral("ALTER TABLE ") + QuoteIdentifier(FSchema) + QLatin1Char('.') +
                      QuoteIdentifier(FObjectName);
    auto marker = [this](int row) { return grdPartition->Objects(0, row).toInt(); };
    // Every hand-typed name is checked before any statement is built.
    for (int row = 1; row < grdPartition->RowCount(); ++row)
        if (!grdPartition->IsNull(0, row))
            QuotedTableName(grdPartition->Cells(0, row));
    TkdWaitCursor wait;
    QStringList out;
    // Added parents.
    for (int row = 1; row < grdPartition->RowCount(); ++row)
        if (!grdPartition->IsNull(0, row) && marker(row) == 0)
            out << s + QStringLiteral(" INHERIT ") + QuotedTableName(grdPartition->Cells(0, row)) << QStringLiteral(";");
    // Replaced parents: the parent at the row's position is exchanged for the typed name.
    const QList<QPair<QString, int>> parents = ReadParents();
    QStringList removals, additions;
    for (int row = 1; row < grdPartition->RowCount(); ++row) {
        if (marker(row) <= 0 || !grdPartition->IsChangedCell(0, row) || grdPartition->IsNull(0, row))
            continue;
        const QString typed = QuotedTableName(grdPartition->Cells(0, row));
        for (const auto &p : parents)
            if (p.second == marker(row) && p.first != typed) {
                removals << s + QStringLiteral(" NO INHERIT ") + p.first << QStringLiteral(";");
                additions << s + QStringLiteral(" INHERIT ") + typed << QStringLiteral(";");
            }
    }
    out << removals << additions;
    // Removed parents: a position that no filled row carries any more.
    for (const auto &p : parents) {
        bool kept = false;
        for (int row = 1; row < grdPartition->RowCount() && !kept; ++row)
            kept = marker(row) == p.second && !grdPartition->IsNull(0, row);
        if (!kept)
            out << s + QStringLiteral(" NO INHERIT ") + p.first << QStringLiteral(";");
    }
    Source << out;
}
