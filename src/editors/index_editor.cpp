#include "editors/index_editor.h"

#include "controls/kdmemo.h"
#include "controls/kdstdctl.h"
#include "core/kdsub_text.h"
#include "editors/column_chooser.h"
#include "platform/db/dbquery.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

const char *const kMethodSql =
    "SELECT amname, pg_indexam_has_property(oid, 'can_unique'), pg_indexam_has_property(oid, 'can_multi_col'), "
    "pg_indexam_has_property(oid, 'can_include') FROM pg_am WHERE amtype = 'i' ORDER BY amname <> 'btree', amname";
const char *const kTableListSql =
    "SELECT C.relname FROM pg_class C JOIN pg_namespace N ON N.oid = C.relnamespace "
    "WHERE N.nspname = :SCHEMA AND C.relkind IN ('r', 'p', 'm') ORDER BY 1";
const char *const kTabColSql =
    "SELECT A.attname FROM pg_class C JOIN pg_namespace N ON C.relnamespace = N.oid "
    "JOIN pg_attribute A ON C.oid = A.attrelid WHERE C.relkind IN ('r', 'p', 't', 'm') AND N.nspname = :SCHEMA "
    "AND C.relname = :TBLNAME AND A.attnum > 0 AND NOT A.attisdropped ORDER BY A.attnum";

TkdComboBox *Combo(QWidget *parent, const char *name, bool editable)
{
    auto *c = new TkdComboBox(parent);
    c->setObjectName(QLatin1String(name));
    c->setEditable(editable);
    c->setMinimumWidth(180);
    return c;
}

// The expressions of txtFunc as one list: lines trimmed, empty ones skipped, ", " between
// lines unless the text so far ends with ",".
QString JoinExpressionLines(const QString &text)
{
    QString joined;
    for (const QString &line : text.split(QLatin1Char('\n'))) {
        const QString t = TrimBlanks(line);
        if (t.isEmpty())
            continue;
        if (!joined.isEmpty() && !joined.endsWith(QLatin1Char(',')))
            joined += QStringLiteral(", ");
        else if (!joined.isEmpty())
            joined += QLatin1Char(' ');
        joined += t;
    }
    return joined;
}

} // namespace

const TEditorPolicy &TfrmIndex::IndexPolicy()
{
    static const TEditorPolicy policy = [] {
        TEditorPolicy p;
        p.Kind = QStringLiteral("INDEX");
        p.LayoutKey = QStringLiteral("INDEX");
        p.CaptionMode = 3;
        p.ObjType = 46;
        p.HasGrant = false;
        p.HasCross = false;
        return p;
    }();
    return policy;
}

TfrmIndex::TfrmIndex(TkdConnForm *Owner, const TObjectArgs &Args, TSourceMode Mode)
    : TObjectEditor(Owner, IndexPolicy(), Mode)
    , FTableName(Args.TableName)
{
    setObjectName(QStringLiteral("frmIndex"));
    resize(690, 420);
    SetTaskIcon(46);

    auto *outer = new QVBoxLayout(tabDefine);
    lblReadOnly = new QLabel(tabDefine);
    lblReadOnly->setObjectName(QStringLiteral("lblReadOnly"));
    lblReadOnly->setWordWrap(true);
    btnConstraint = new QPushButton(QStringLiteral("制約を開く"), tabDefine);
    btnConstraint->setObjectName(QStringLiteral("btnConstraint"));
    auto *note = new QHBoxLayout;
    note->addWidget(lblReadOnly, 1);
    note->addWidget(btnConstraint);
    outer->addLayout(note);
    lblReadOnly->hide();
    btnConstraint->hide();

    pnlBody = new QWidget(tabDefine);
    pnlBody->setObjectName(QStringLiteral("pnlBody"));
    outer->addWidget(pnlBody, 1);
    auto *body = new QVBoxLayout(pnlBody);
    body->setContentsMargins(0, 0, 0, 0);
    auto *top = new QGridLayout;
    cmbIndexType = Combo(pnlBody, "cmbIndexType", false);
    cmbIndexType->addItem(QStringLiteral("テーブル索引"), 0);
    cmbIndexType->addItem(QStringLiteral("ファンクション索引"), 1);
    chkUnique = new TkdCheckBox(QStringLiteral("重複不可"), pnlBody);
    chkUnique->setObjectName(QStringLiteral("chkUnique"));
    cmbMethod = Combo(pnlBody, "cmbMethod", false);
    cmbTableOwner = Combo(pnlBody, "cmbTableOwner", true);
    cmbTableOwner->setEnabled(false);
    cmbTableName = Combo(pnlBody, "cmbTableName", true);
    cmbTableName->setMaxVisibleItems(20);
    top->addWidget(new QLabel(QStringLiteral("タイプ"), pnlBody), 0, 0);
    top->addWidget(cmbIndexType, 0, 1);
    top->addWidget(chkUnique, 0, 2);
    top->addWidget(new QLabel(QStringLiteral("アクセスメソッド"), pnlBody), 0, 3);
    top->addWidget(cmbMethod, 0, 4);
    auto *lblTableName = new QLabel(QStringLiteral("テーブル"), pnlBody);
    lblTableName->setObjectName(QStringLiteral("lblTableName"));
    top->addWidget(lblTableName, 1, 0);
    top->addWidget(cmbTableOwner, 1, 1);
    top->addWidget(cmbTableName, 1, 2, 1, 3);
    top->setColumnStretch(5, 1);
    body->addLayout(top);

    pagIndexType = new QStackedWidget(pnlBody);
    pagIndexType->setObjectName(QStringLiteral("pagIndexType"));
    tabNormal = new QWidget(pagIndexType);
    tabNormal->setObjectName(QStringLiteral("tabNormal"));
    auto *normal = new QVBoxLayout(tabNormal);
    normal->setContentsMargins(0, 0, 0, 0);
    fraColumns = new TColumnChooser(tabNormal, false);
    normal->addWidget(fraColumns);
    tabFunc = new QWidget(pagIndexType);
    tabFunc->setObjectName(QStringLiteral("tabFunc"));
    auto *func = new QVBoxLayout(tabFunc);
    func->setContentsMargins(0, 0, 0, 0);
    txtFunc = new TkdMemo(tabFunc);
    txtFunc->setObjectName(QStringLiteral("txtFunc"));
    func->addWidget(txtFunc);
    pagIndexType->addWidget(tabNormal);
    pagIndexType->addWidget(tabFunc);
    body->addWidget(pagIndexType, 1);

    tabStorage = AddTablespacePage(cmbTBS);

    // Print and file save of the CREATE INDEX text (the table always schema-qualified).
    TOutputMenu output;
    output.SaveHint = QStringLiteral("プログラムソースをファイルに保存します。");
    AddOutputMenu(output);

    if (cmbSchema) {
        cmbSchema->setEditText(Args.Schema);
        if (auto *conn = OwnerForm(); conn && Mode == smShow && Args.ObjectName.isEmpty()) {
            QStringList schemas;
            GuardedCall([&] {
                schemas = ReadList(QStringLiteral("SELECT nspname FROM pg_namespace WHERE nspname NOT LIKE 'pg\\_%' "
                                                    "AND nspname <> 'information_schema' ORDER BY 1"));
            });
            cmbSchema->addItems(schemas);
            cmbSchema->setEditText(Args.Schema);
        }
    }
    txtName->setText(Args.ObjectName);
    if (Mode == smShow) {
        GuardedCall([this] { LoadMethods(); });
        GuardedCall([this] { LoadTablespaces(); });
    }

    FinishSetup();
    connect(cmbIndexType, &QComboBox::activated, this, [this] {
        cmbIndexTypeSelect();
        OnChange();
    });
    connect(chkUnique, &QCheckBox::clicked, this, [this] { OnChange(); });
    connect(cmbMethod, &QComboBox::activated, this, [this] {
        cmbMethodChange();
        OnChange();
    });
    connect(cmbTableName, &QComboBox::editTextChanged, this, [this] { OnChange(); });
    connect(cmbTableName, &QComboBox::textActivated, this, [this] { GuardedCall([this] { cmbTableNameExit(); }); });
    connect(cmbTableName->lineEdit(), &QLineEdit::editingFinished, this,
            [this] { GuardedCall([this] { cmbTableNameExit(); }); });
    if (cmbSchema)
        connect(cmbSchema, &QComboBox::textActivated, this, [this] {
            cmbTableOwner->setEditText(SchemaText());
            GuardedCall([this] { ShowTableList(); });
        });
    connect(fraColumns, &TColumnChooser::changed, this, [this] { OnChange(); });
    connect(txtFunc, &QsciScintilla::textChanged, this, [this] { OnChange(); });
    connect(cmbTBS, &QComboBox::activated, this, [this] { OnChange(); });
    connect(btnConstraint, &QPushButton::clicked, this, [this] { GuardedCall([this] { btnConstraintClick(); }); });
}

QWidget *TfrmIndex::Open(TkdConnForm *Owner, const TObjectArgs &Args)
{
    return OpenEditorWindow<TfrmIndex>(Owner, Args, IndexPolicy());
}

void TfrmIndex::Script(TkdConnForm *Owner, const TObjectArgs &Args, TScriptSink &Sink)
{
    TIndexDef def;
    if (!LoadIndexDef(Owner, Args.Schema, Args.ObjectName, def))
        throw EAbort();
    TIndexTextOptions opt;
    opt.Prefix = SchemaPrefixFor(smText, def.TableSchema, Owner->CurrentSchema());
    Sink.WriteScript(IndexCreateLines(def, opt));
}

const TIndexMethod *TfrmIndex::Method(const QString &Name) const
{
    for (const TIndexMethod &m : FMethods)
        if (m.Name == Name)
            return &m;
    return nullptr;
}

void TfrmIndex::LoadMethods()
{
    FMethods.clear();
    db::Query *q = OwnerForm()->OpenSQL(QString::fromLatin1(kMethodSql), {});
    while (!q->eof()) {
        FMethods << TIndexMethod{q->field(0).asString(), q->field(1).asBoolean(), q->field(2).asBoolean(),
                                 q->field(3).asBoolean()};
        q->next();
    }
    q->close();
    const QSignalBlocker block(cmbMethod);
    cmbMethod->clear();
    for (const TIndexMethod &m : FMethods)
        cmbMethod->addItem(m.Name);
    cmbMethod->setCurrentIndex(cmbMethod->count() > 0 ? 0 : -1);
}

void TfrmIndex::LoadTablespaces()
{
    FDefaultTBS = FillTablespaces(cmbTBS);
}

void TfrmIndex::ShowTableList()
{
    if (SchemaText().isEmpty())
        return;
    TkdWaitCursor wait;
    const QString table = cmbTableName->Text();
    const QStringList tables = ReadList(QString::fromLatin1(kTableListSql), {SchemaText()});
    const QSignalBlocker block(cmbTableName);
    cmbTableName->clear();
    cmbTableName->addItems(tables);
    cmbTableName->setEditText(table);
}

void TfrmIndex::ShowTabCol()
{
    TkdWaitCursor wait;
    FShownTable = cmbTableName->Text();
    const QStringList columns = FShownTable.isEmpty()
                                    ? QStringList()
                                    : ReadList(QString::fromLatin1(kTabColSql), {cmbTableOwner->Text(), FShownTable});
    fraColumns->SetTableColumns(columns);
    fraColumns->SetItems({});
}

void TfrmIndex::cmbTableNameExit()
{
    if (cmbTableName->Text() == FShownTable || cmbTableOwner->IsNull() || cmbTableName->IsNull())
        return;
    ShowTabCol();
}

void TfrmIndex::cmbIndexTypeSelect()
{
    pagIndexType->setCurrentWidget(GetIndexKind() == 1 ? tabFunc : tabNormal);
}

void TfrmIndex::cmbMethodChange()
{
    UpdateRules();
}

// UNIQUE only where the method can; a method that cannot loses the tick.
void TfrmIndex::UpdateRules()
{
    const TIndexMethod *m = Method(cmbMethod->currentText());
    const bool canUnique = m ? m->CanUnique : cmbMethod->currentText() == QLatin1String("btree");
    if (!canUnique && chkUnique->isChecked())
        chkUnique->setChecked(false);
    chkUnique->setEnabled(canUnique);
}

int TfrmIndex::GetIndexKind() const
{
    return cmbIndexType->currentIndex() < 0 ? 0 : cmbIndexType->currentData().toInt();
}

void TfrmIndex::SetReadOnly(bool ReadOnly)
{
    FReadOnly = ReadOnly;
    pnlBody->setEnabled(!ReadOnly);
    tabStorage->setEnabled(!ReadOnly);
    txtSource->setReadOnly(ReadOnly);
    const bool constraint = ReadOnly && !FLoaded.ConstraintName.isEmpty();
    if (constraint)
        lblReadOnly->setText(QStringLiteral("この索引は制約 %1 の索引です。変更は制約エディタで行って下さい。").arg(FLoaded.ConstraintName));
    else if (ReadOnly)
        lblReadOnly->setText(QStringLiteral("TOASTテーブルの索引は参照のみできます。"));
    lblReadOnly->setVisible(ReadOnly);
    btnConstraint->setVisible(constraint);
}

void TfrmIndex::btnConstraintClick()
{
    if (FLoaded.ConstraintName.isEmpty())
        return;
    OwnerForm()->OpenObject(66, FLoaded.TableSchema, FLoaded.ConstraintName, omDefine, false, 0, 0, FLoaded.Table);
}

void TfrmIndex::LoadDefinition()
{
    TIndexDef def;
    if (!LoadIndexDef(OwnerForm(), SchemaText(), NameText(), def))
        ObjectMissing();
    FLoaded = def;
    SetIsToastObject(def.TableKind == QLatin1Char('t'));
    if (SourceMode != smShow)
        return;
    if (!Method(def.Method)) {
        cmbMethod->addItem(def.Method);
        FMethods << TIndexMethod{def.Method, false, false, false};
    }
    cmbMethod->setCurrentIndex(cmbMethod->findText(def.Method));
    cmbTableOwner->setEditText(def.TableSchema);
    cmbTableName->setEditText(def.Table);
    ShowTabCol();
    bool expression = false;
    for (const TIndexColumn &c : def.Columns)
        expression = expression || c.Name.isEmpty();
    const bool ordered = IndexMethodOrdered(def.Method);
    cmbIndexType->setCurrentIndex(expression ? 1 : 0);
    if (expression) {
        QStringList elements;
        for (const TIndexColumn &c : def.Columns)
            elements << IndexColumnText(c, ordered);
        txtFunc->setText(elements.join(QStringLiteral(", ")));
    } else {
        txtFunc->setText(QString());
        QList<TColumnChooser::TItem> items;
        for (int i = 0; i < def.Columns.size(); ++i) {
            const TIndexColumn &c = def.Columns[i];
            const QString display = IndexColumnText(c, ordered);
            items << TColumnChooser::TItem{c.Name, display == c.Name ? QString() : display, i};
        }
        fraColumns->SetItems(items);
    }
    chkUnique->setChecked(def.Unique);
    if (!def.Tablespace.isEmpty()) {
        if (cmbTBS->findText(def.Tablespace) < 0)
            cmbTBS->addItem(def.Tablespace);
        SelectComboItem(cmbTBS, def.Tablespace);
    } else {
        SelectComboItem(cmbTBS, FDefaultTBS);
    }
}

void TfrmIndex::SaveControls()
{
    if (IsNew() && SourceMode == smShow) {
        FLoaded = TIndexDef();
        SetIsToastObject(false);
        cmbTableOwner->setEditText(SchemaText());
        if (cmbTableName->Text().isEmpty() && !FTableName.isEmpty())
            cmbTableName->setEditText(FTableName);
        GuardedCall([this] { ShowTableList(); });
        if (!cmbTableName->Text().isEmpty() && FShownTable != cmbTableName->Text())
            GuardedCall([this] { ShowTabCol(); });
    }
    cmbIndexTypeSelect();
    UpdateRules();
    SetReadOnly(!IsNew() && (IsToastObject() || !FLoaded.ConstraintName.isEmpty()));
    for (TkdComboBox *c : {cmbIndexType, cmbMethod, cmbTableOwner, cmbTableName, cmbTBS})
        c->Save();
    chkUnique->Save();
    FSaved = SourceMode == smShow ? ControlsDef() : FLoaded;
}

TIndexDef TfrmIndex::ControlsDef() const
{
    if (SourceMode != smShow)
        return FLoaded;
    TIndexDef d = FLoaded;
    d.Definition.clear();
    d.Schema = SchemaText();
    d.Name = NameText();
    d.TableSchema = cmbTableOwner->Text().isEmpty() ? SchemaText() : cmbTableOwner->Text();
    d.Table = cmbTableName->Text();
    d.Method = cmbMethod->currentText().isEmpty() ? QStringLiteral("btree") : cmbMethod->currentText();
    d.Unique = chkUnique->isChecked() && chkUnique->isEnabled();
    const bool sameMethod = d.Method == FLoaded.Method;
    d.Columns.clear();
    if (GetIndexKind() == 1) {
        const QString text = JoinExpressionLines(txtFunc->text());
        if (!text.isEmpty()) {
            TIndexColumn c;
            c.Expression = text;
            d.Columns << c;
        }
    } else {
        for (const TColumnChooser::TItem &it : fraColumns->Items()) {
            TIndexColumn c;
            if (it.Tag >= 0 && it.Tag < FLoaded.Columns.size() && FLoaded.Columns[it.Tag].Name == it.Name) {
                c = FLoaded.Columns[it.Tag];
                // An operator class belongs to its method; another method takes its default.
                if (!sameMethod)
                    c.OpClass.clear();
            } else {
                c.Name = it.Name;
            }
            d.Columns << c;
        }
    }
    const TIndexMethod *m = Method(d.Method);
    if (m && !m->CanInclude)
        d.Include.clear();
    const QString tbs = cmbTBS->currentText();
    d.Tablespace = (tbs == FDefaultTBS && FLoaded.Tablespace.isEmpty()) ? QString() : tbs;
    return d;
}

void TfrmIndex::ValidateInput()
{
    if (FReadOnly)
        throw EAbort();
    if (!DefinePageShown() && pagObject->currentWidget() != tabStorage)
        return;
    if (cmbTableName->IsNull()) {
        pagObject->setCurrentWidget(tabDefine);
        Refuse(QStringLiteral("テーブル名を入力して下さい。"), cmbTableName);
    }
    if (GetIndexKind() == 0) {
        const int count = fraColumns->lstIdxCol->count();
        if (count == 0)
            Refuse(QStringLiteral("インデックス列を指定して下さい。"), fraColumns->lstIdxCol);
        const TIndexMethod *m = Method(cmbMethod->currentText());
        if (count > 1 && m && !m->CanMultiCol) {
            const QString method = m->Name == QLatin1String("hash") ? QStringLiteral("ハッシュ") : m->Name.toUpper();
            Refuse(method + QStringLiteral("使用時は1項目のみ指定して下さい。"), fraColumns->lstIdxCol);
        }
    } else if (TrimBlanks(txtFunc->text()).isEmpty()) {
        Refuse(QStringLiteral("式列を指定して下さい。"), txtFunc);
    }
}

bool TfrmIndex::MustRecreate() const
{
    if (TObjectEditor::MustRecreate())
        return true;
    TIndexDef now = ControlsDef();
    TIndexDef saved = FSaved;
    now.Tablespace.clear();
    saved.Tablespace.clear();
    return !(now == saved);
}

void TfrmIndex::GetSourceCreate(QStringList &Lines)
{
    TIndexTextOptions opt;
    const TIndexDef def = ControlsDef();
    opt.Prefix = SourceMode == smText ? SchemaPrefixFor(smText, def.TableSchema, OwnerForm()->CurrentSchema())
                                      : QuoteIdentifier(def.TableSchema) + QLatin1Char('.');
    Lines += IndexCreateLines(def, opt);
}

void TfrmIndex::GetSourceAlter(QStringList &Lines)
{
    const TIndexDef def = ControlsDef();
    if (def.Tablespace != FSaved.Tablespace)
        Lines += IndexTablespaceLines(SchemaText(), NameText(), def.Tablespace.isEmpty() ? FDefaultTBS : def.Tablespace);
}

void TfrmIndex::GetSourceDrop(QStringList &Lines)
{
    Lines += IndexDropLines(SchemaText(), NameText());
}

QString TfrmIndex::DropStatement(bool Cascade) const
{
    Q_UNUSED(Cascade);
    return IndexDropStatement(SchemaText(), NameText());
}

void TfrmIndex::ChangedIsNewEditor()
{
    // The table of an existing index is fixed: its columns, INCLUDE list and predicate
    // belong to that table.
    cmbTableName->setEnabled(IsNew());
}

void TfrmIndex::UpdateEditorActions()
{
    if (FReadOnly) {
        actCompile->setEnabled(false);
        actDelete->setEnabled(false);
    }
}
