#include "editors/source_editor.h"

#include "browser/fobject.h"
#include "controls/fprint.h"
#include "controls/kdmemo.h"
#include "controls/kdstdctl.h"
#include "core/kddialogsupport.h"
#include "core/kdopeners.h"
#include "core/kdsub_object.h"
#include "core/kdsub_text.h"
#include "editors/name_template.h"
#include "frames/cross_frame.h"
#include "frames/grant_frame.h"
#include "platform/db/dbconnection.h"
#include "platform/db/dbquery.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QMenu>
#include <QSaveFile>
#include <QTabWidget>
#include <QToolBar>
#include <QToolButton>

namespace {

const char *const kTypeCommentState =
    "SELECT obj_description(T.oid, 'pg_type') IS NULL, T.oid FROM pg_type T "
    "JOIN pg_namespace N ON N.oid = T.typnamespace WHERE N.nspname = :SCHEMA AND T.typname = :OBJNAME";
const char *const kUncommentedAttributes =
    "SELECT A.attname FROM pg_type T JOIN pg_attribute A ON A.attrelid = T.typrelid "
    "WHERE T.oid = :OID AND A.attnum > 0 AND NOT A.attisdropped AND col_description(A.attrelid, A.attnum) IS NULL";

TEditorPolicy MakePolicy(TSourceKind kind)
{
    TEditorPolicy p;
    p.Kind = SourceKindName(kind);
    p.LayoutKey = QStringLiteral("SOURCE");
    p.CaptionMode = kind == TSourceKind::Type ? 3 : 4;
    // The frames read a procedure's privileges and references as a routine's (code 52).
    p.ObjType = kind == TSourceKind::Type ? 55 : 52;
    p.OfferCascade = true;
    p.Preview = false;
    p.RunLog = false;
    p.CloseAfterCreate = kind != TSourceKind::Type;
    return p;
}

const TEditorPolicy &PolicyOf(TSourceKind kind)
{
    static const TEditorPolicy function = MakePolicy(TSourceKind::Function);
    static const TEditorPolicy procedure = MakePolicy(TSourceKind::Procedure);
    static const TEditorPolicy type = MakePolicy(TSourceKind::Type);
    switch (kind) {
    case TSourceKind::Procedure: return procedure;
    case TSourceKind::Type: return type;
    default: return function;
    }
}

TSourceKind KindOfCode(int code)
{
    if (code == 55)
        return TSourceKind::Type;
    if (code == 51)
        return TSourceKind::Procedure;
    return TSourceKind::Function;
}

[[noreturn]] void Missing(TSourceMode mode)
{
    if (mode == smShow)
        ShowMessageBox(QStringLiteral("定義情報を読み込めませんでした。"), MB_ICONERROR | MB_OK);
    throw EAbort();
}

QAction *MakeAction(QObject *parent, const char *name, const QString &caption, const QString &hint, int image)
{
    auto *a = new QAction(caption, parent);
    a->setObjectName(QLatin1String(name));
    a->setToolTip(hint.section(u'|', 0, 0));
    a->setStatusTip(hint.section(u'|', 1));
    if (TkdMainForm *host = TkdMainForm::Instance())
        a->setIcon(host->Image(image));
    return a;
}

} // namespace

TfrmSource::TfrmSource(TkdConnForm *Owner, const TObjectArgs &Args, TSourceMode Mode, TSourceKind Kind,
                       const TRoutineDef &Routine)
    : TObjectEditor(Owner, PolicyOf(Kind), Mode), FKind(Kind)
{
    setObjectName(QStringLiteral("frmSource"));
    resize(1178, 540);
    SetTaskIcon(SourceKindCode(Kind));
    L_intOID = Routine.Oid;
    L_strTypLst = Routine.ArgList;

    // No definition page: the text is the definition.
    pagObject->removeTab(pagObject->indexOf(tabDefine));
    tabDefine->hide();

    actExec = MakeAction(this, "actExec", QStringLiteral("実行(&E)"),
                         QStringLiteral("プログラムを実行します。|プログラムを実行します。"), 28);
    actSample = MakeAction(this, "actSample", QStringLiteral("サンプル"),
                           QStringLiteral("サンプルコードを表示します。|サンプルコードを表示します。"), 99);
    connect(actExec, &QAction::triggered, this, [this] { GuardedCall([this] { actExecExecute(); }); });
    connect(actSample, &QAction::triggered, this, [this] { GuardedCall([this] { actSampleExecute(); }); });

    // Tool bar: compile, execute, output (print, save), delete, revert, exit.
    tolCmd->insertAction(actDelete, actExec);
    TOutputMenu output;
    output.OutputHint = QStringLiteral("プログラムの内容を外部に出力します。");
    output.SaveHint = QStringLiteral("プログラムソースをファイルに保存します。");
    AddOutputMenu(output);
    // The sample button follows the name panel.
    btnSample = new QToolButton(this);
    btnSample->setObjectName(QStringLiteral("btnSample"));
    btnSample->setDefaultAction(actSample);
    btnSample->setToolButtonStyle(Qt::ToolButtonTextOnly);
    btnSample->setAutoRaise(true);
    if (auto *row = qobject_cast<QHBoxLayout *>(pnlName->parentWidget()->layout()))
        row->addWidget(btnSample);
    btnSample->setVisible(Kind != TSourceKind::Procedure);

    cmbSchema->setEditText(Args.Schema);
    if (auto *conn = dynamic_cast<TfrmObject *>(OwnerForm()); conn && Mode == smShow && Args.ObjectName.isEmpty()) {
        QStringList schemas;
        GuardedCall([&] { conn->GetSchemaInfo(schemas, false); });
        cmbSchema->addItems(schemas);
        cmbSchema->setEditText(Args.Schema);
    }
    cmbSchema->setMaxVisibleItems(20);
    txtName->setText(Args.ObjectName);
    cmbSchema->SetAutoSave(true);
    txtName->SetAutoSave(true);
    txtName->installEventFilter(this);
    cmbSchema->installEventFilter(this);

    FinishSetup();
}

TfrmSource::~TfrmSource() = default;

QString TfrmSource::CaptionOf(TkdConnForm *Owner, TSourceKind Kind, const QString &Schema, const QString &Name,
                              const QString &ArgList)
{
    if (Name.isEmpty() || !Owner)
        return SourceKindName(Kind) + QStringLiteral(" - 新規");
    const TRecParam rec = MakeRecParam(
        Owner->ConnectionParam(QStringLiteral("Server")), Owner->ConnectionParam(QStringLiteral("Database")), Schema,
        Owner->ConnectionParam(QStringLiteral("Port")), Owner->ConnectionParam(QStringLiteral("User_Name")),
        Owner->ConnectionParam(QStringLiteral("Password")), Name, ArgList);
    const int mode = Kind == TSourceKind::Type || ArgList.isEmpty() ? 3 : 4;
    return SourceKindName(Kind) + QStringLiteral(" - ") + FormatRecParam(rec, mode);
}

QWidget *TfrmSource::Open(TkdConnForm *Owner, const TObjectArgs &Args)
{
    TSourceKind kind = KindOfCode(Args.ObjectType);
    TRoutineDef routine;
    if (!Args.ObjectName.isEmpty() && kind != TSourceKind::Type) {
        // The routine is read first: its argument types are part of the caption, and a
        // procedure listed among the functions opens as a procedure.
        if (!LoadRoutineDef(Owner, Args.OID, Args.Schema, Args.ObjectName, kind == TSourceKind::Procedure, routine)
            || routine.Definition.isEmpty())
            Missing(smShow);
        kind = routine.IsProcedure() ? TSourceKind::Procedure : TSourceKind::Function;
    }
    const QString caption = CaptionOf(Owner, kind, Args.Schema, Args.ObjectName, routine.ArgList);
    auto *w = qobject_cast<TfrmSource *>(OpenEditorWindow<TfrmSource>(
        Args, caption, [&] { return new TfrmSource(Owner, Args, smShow, kind, routine); }));
    if (w && !Args.ObjectName.isEmpty() && w->pagObject->currentWidget() == w->tabSource)
        w->txtSource->setFocus();
    return w;
}

void TfrmSource::Script(TkdConnForm *Owner, const TObjectArgs &Args, TScriptSink &Sink)
{
    if (Args.ObjectName.isEmpty())
        throw EAbort();
    const QString login = Owner->CurrentSchema();
    if (Args.ObjectType == 55) {
        TTypeDef def;
        if (!LoadTypeDef(Owner, Args.Schema, Args.ObjectName, def))
            throw EAbort();
        Sink.WriteScript(TypeSourceLines(Owner, Args.Schema, Args.ObjectName, def, {smText, login}));
        return;
    }
    TRoutineDef def;
    if (!LoadRoutineDef(Owner, Args.OID, Args.Schema, Args.ObjectName, Args.ObjectType == 51, def)
        || def.Definition.isEmpty())
        throw EAbort();
    Sink.WriteScript(RoutineSourceLines(def, true, SchemaPrefixFor(smText, def.Schema, login)));
}

// ---------------------------------------------------------------------------------------------
// State

bool TfrmSource::TypeGrantPage() const
{
    return FKind == TSourceKind::Type && OwnerForm() && OwnerForm()->DBVer() >= 90200;
}

bool TfrmSource::SourceChanged() const
{
    return IsNew() || txtSource->text() != FLoadedText;
}

void TfrmSource::ChangedIsNew()
{
    if (!pagObject)
        return;
    const QString kind = SourceKindName(FKind);
    if (IsNew()) {
        setWindowTitle(kind + QStringLiteral(" - 新規"));
        SetTaskCaption(QStringLiteral("新規"));
    } else {
        setWindowTitle(CaptionOf(OwnerForm(), FKind, SchemaText(), NameText(), L_strTypLst));
        SetTaskCaption(NameText());
    }
    pnlName->setEnabled(IsNew());
    const TEditCharCase nameCase = IsNew() && !UseLowerName() ? ecLowerCase : ecNormal;
    txtName->SetCharCase(nameCase);
    cmbSchema->SetCharCase(nameCase);
    {
        // The source page stays; the others need an existing object (a type's privileges a
        // server from 9.2 on).
        QSignalBlocker block(pagObject);
        pagObject->setTabVisible(pagObject->indexOf(tabGrant),
                                 !IsNew() && (FKind != TSourceKind::Type || TypeGrantPage()));
        pagObject->setTabVisible(pagObject->indexOf(tabCross), !IsNew());
    }
    if (IsNew() && SourceMode == smShow)
        txtName->setFocus();
    UpdateActions();
}

void TfrmSource::UpdateEditorActions()
{
    const bool existing = !IsNew();
    actCompile->setEnabled(true);
    actExec->setEnabled(FKind == TSourceKind::Function && existing && !Modified());
    actSample->setEnabled(true);
}

// ---------------------------------------------------------------------------------------------
// Loading

void TfrmSource::LoadDefinition()
{
    TkdConnForm *owner = OwnerForm();
    const QString login = owner->CurrentSchema();
    QStringList lines;
    if (FKind == TSourceKind::Type) {
        TTypeDef def;
        if (!LoadTypeDef(owner, SchemaText(), NameText(), def))
            ObjectMissing();
        FTypeDef = def;
        L_strDataType = QString(def.TypType);
        lines = TypeSourceLines(owner, SchemaText(), NameText(), def, {SourceMode, login});
        // A type's privileges are read on every load: Compile applies them again after the
        // type has been re-created.
        if (SourceMode == smShow && TypeGrantPage())
            fraGrant->ShowData(SchemaText(), NameText(), -1, QString(), L_strDataType);
    } else {
        TRoutineDef def;
        if (!LoadRoutineDef(owner, L_intOID, SchemaText(), NameText(), FKind == TSourceKind::Procedure, def)
            || def.Definition.isEmpty())
            ObjectMissing();
        L_intOID = def.Oid;
        L_strTypLst = def.ArgList;
        lines = RoutineSourceLines(def, SourceMode == smText, SchemaPrefixFor(smText, def.Schema, login));
    }
    FSourceLines = lines;
    // Every load fills the text, whatever the page: Compile runs what the text holds.
    txtSource->setText(lines.join(u'\n'));
    txtSource->SendScintilla(QsciScintillaBase::SCI_EMPTYUNDOBUFFER);
    txtSource->setCursorPosition(0, 0);
    FLoadedText = txtSource->text();
}

void TfrmSource::SaveControls()
{
    txtName->Save();
    cmbSchema->Save();
    if (IsNew()) {
        FSourceLines.clear();
        FLoadedText.clear();
    }
}

void TfrmSource::GetSourceCreate(QStringList &Lines)
{
    if (IsNew()) {
        // A new object keeps what the user wrote so far.
        Lines << SourceTextLines(txtSource->text());
        return;
    }
    Lines << FSourceLines;
}

void TfrmSource::GetSourceAlter(QStringList &Lines)
{
    Lines << SourceTextLines(txtSource->text());
}

void TfrmSource::GetSourceDrop(QStringList &Lines)
{
    if (FKind == TSourceKind::Type)
        Lines << TypeDropStatement(SchemaText(), NameText(), false) << QStringLiteral(";");
}

QString TfrmSource::DropStatement(bool Cascade) const
{
    if (FKind == TSourceKind::Type)
        return TypeDropStatement(SchemaText(), NameText(), Cascade);
    return RoutineDropStatement(FKind == TSourceKind::Procedure, SchemaText(), NameText(), L_strTypLst, Cascade);
}

void TfrmSource::ShowGrant()
{
    if (FKind == TSourceKind::Type) {
        if (!TypeGrantPage())
            fraGrant->ShowData(SchemaText(), NameText(), -1, QString(), L_strDataType);
        return; // read by the load already
    }
    fraGrant->ShowData(SchemaText(), NameText(), L_intOID, L_strTypLst);
}

void TfrmSource::ShowCross()
{
    if (FKind == TSourceKind::Type)
        fraCross->ShowData(SchemaText(), NameText());
    else
        fraCross->ShowData(SchemaText(), NameText(), QString(), L_strTypLst, L_intOID);
}

// ---------------------------------------------------------------------------------------------
// Template and renaming

bool TfrmSource::eventFilter(QObject *Watched, QEvent *Event)
{
    // Leaving the box for another control of this window; switching to another window or
    // opening a popup is no exit, nor is the focus moving on by itself while the window is
    // hidden (closed, or put away behind another maximised window).
    if (Event->type() == QEvent::FocusOut && (Watched == txtName || Watched == cmbSchema) && pnlName->isEnabled()
        && isVisible()) {
        QWidget *next = QApplication::focusWidget();
        if (next && next != Watched && isAncestorOf(next) && !static_cast<QWidget *>(Watched)->isAncestorOf(next)) {
            const bool schemaBox = Watched == cmbSchema;
            GuardedCall([this, schemaBox] { txtNameExit(schemaBox); });
        }
    }
    return TObjectEditor::eventFilter(Watched, Event);
}

void TfrmSource::txtNameExit(bool SchemaBox)
{
    if (!IsNew())
        return;
    const QString schema = SchemaText();
    const QString name = NameText();
    if (TrimBlanks(txtSource->text()).isEmpty()) {
        QStringList lines;
        if (FKind == TSourceKind::Function)
            lines = FunctionTemplate(schema, name);
        else if (FKind == TSourceKind::Type)
            lines = TypeTemplate(schema, name);
        if (!lines.isEmpty())
            txtSource->setText(lines.join(u'\n'));
    } else {
        const QString old = SchemaBox ? cmbSchema->SaveValue() : txtName->SaveValue();
        const QString now = SchemaBox ? schema : name;
        QString text = txtSource->text();
        if (old != now
            && RenameInTemplateText(text, SchemaBox ? TTemplatePart::Schema : TTemplatePart::Name, QuoteIdentifier(old),
                                    QuoteIdentifier(now)))
            txtSource->setText(text);
    }
    if (SchemaBox)
        cmbSchema->Save();
    else
        txtName->Save();
}

// ---------------------------------------------------------------------------------------------
// Compile

void TfrmSource::RestoreTypeComments()
{
    // DROP TYPE took the comments with it; a text that writes no comment of its own gets the
    // old ones back.
    TkdConnForm *owner = OwnerForm();
    db::Query *q = owner->OpenSQL(QString::fromLatin1(kTypeCommentState), {SchemaText(), NameText()});
    if (q->eof()) {
        q->close();
        return;
    }
    const bool noComment = q->field(0).asString() == QLatin1String("t");
    const QString oid = q->field(1).asString();
    q->close();
    const QString type = QuoteIdentifier(SchemaText()) + u'.' + QuoteIdentifier(NameText());
    if (noComment && FTypeDef.HasComment)
        owner->ExecuteSQL(QStringLiteral("COMMENT ON TYPE ") + type + QStringLiteral(" IS ") + QuoteLiteral(FTypeDef.Comment));
    if (FTypeDef.AttributeComments.isEmpty())
        return;
    QStringList bare;
    q = owner->OpenSQL(QString::fromLatin1(kUncommentedAttributes), {oid});
    for (; !q->eof(); q->next())
        bare << q->field(0).asString();
    q->close();
    for (const auto &[attribute, comment] : FTypeDef.AttributeComments)
        if (bare.contains(attribute))
            owner->ExecuteSQL(QStringLiteral("COMMENT ON COLUMN ") + type + u'.' + QuoteIdentifier(attribute)
                              + QStringLiteral(" IS ") + QuoteLiteral(comment));
}

void TfrmSource::Compile()
{
    CommitActiveEdit();
    if (KdIsBlankText(NameText()))
        Refuse(QStringLiteral("名前を入力して下さい。"), txtName);
    if (cmbSchema->IsNull())
        Refuse(QStringLiteral("スキーマ名を入力して下さい。"), cmbSchema);
    if (IsNew()) {
        CheckNameLength(NameText(), txtName);
        CheckNameLength(SchemaText(), cmbSchema);
    }
    TkdConnForm *owner = OwnerForm();
    auto *conn = dynamic_cast<TfrmObject *>(owner);
    const bool wasNew = IsNew();
    const bool isType = FKind == TSourceKind::Type;
    const int code = SourceKindCode(FKind);
    if (!wasNew && conn)
        conn->SaveBeforeSource(SchemaText(), NameText(), code, L_intOID);

    // A routine's text always runs (CREATE OR REPLACE); a type's only when it was edited,
    // after DROP TYPE, and with its privileges and comments applied again.
    const bool runText = !isType || SourceChanged();
    const bool recreate = isType && !wasNew && runText;
    QStringList ddl;
    if (recreate)
        ddl << TypeDropStatement(SchemaText(), NameText(), false) << QStringLiteral(";");
    if (runText)
        ddl << SourceTextLines(txtSource->text());
    // A re-created type first gets its old owner and access list back (the privilege page lists only
    // the grantees holding something, so its full re-issue would leave PUBLIC's default
    // USAGE in place after a REVOKE), then the changes made on the privilege page.
    QStringList grants;
    if (recreate)
        grants << TypeOwnerAndAclLines(FTypeDef, SchemaText(), NameText());
    if (!wasNew)
        fraGrant->GetSource(grants);
    const QList<quint32> oidsBefore = !isType && wasNew ? RoutineOids(owner, SchemaText(), NameText()) : QList<quint32>();

    db::Connection *c = owner->dbsMain();
    c->startTransaction();
    try {
        TkdWaitCursor wait;
        for (const QString &s : SplitSourceStatements(ddl))
            owner->ExecuteSQL(s);
        if (recreate)
            RestoreTypeComments();
        for (const QString &s : SplitSourceStatements(grants))
            owner->ExecuteSQL(s);
        c->commit();
    } catch (const EAbort &) {
        try {
            c->rollback();
        } catch (...) {
        }
        throw;
    } catch (const std::exception &e) {
        // Nothing of this compile stays; the text stays as typed for the next attempt.
        try {
            c->rollback();
        } catch (...) {
        }
        ShowMessageBox(QString::fromUtf8(e.what()), MB_ICONERROR | MB_OK);
        UpdateActions();
        return;
    }

    ShowMessageBox(QStringLiteral("コンパイルは正常に終了しました。"), MB_ICONINFORMATION | MB_OK);
    if (!isType && wasNew) {
        // The routine the text created: the one OID that was not there before.
        QList<quint32> created;
        for (quint32 oid : RoutineOids(owner, SchemaText(), NameText()))
            if (!oidsBefore.contains(oid))
                created << oid;
        if (created.size() == 1)
            L_intOID = created.first();
    }
    FLoadedText = txtSource->text();
    SetModified(false);
    if (conn)
        conn->SaveAfterSource(SchemaText(), NameText(), code, L_intOID);
    if (wasNew && !isType) {
        actExitExecute();
        return;
    }
    if (wasNew)
        SetIsNew(false);
    UpdateActions();
}

// ---------------------------------------------------------------------------------------------
// Execute, output, sample

void TfrmSource::actExecExecute()
{
    if (FKind != TSourceKind::Function || IsNew())
        return;
    TOpenerArgs a;
    a.Owner = OwnerForm();
    a.Parent = this;
    a.Values.insert(QStringLiteral("Schema"), SchemaText());
    a.Values.insert(QStringLiteral("ObjectName"), NameText());
    a.Values.insert(QStringLiteral("ObjectType"), ObjType());
    a.Values.insert(QStringLiteral("Oid"), L_intOID);
    kdopeners::Open(QStringLiteral("TfrmExecProc"), a);
}

QStringList TfrmSource::OutputText()
{
    return SourceTextLines(txtSource->text());
}

void TfrmSource::actSampleExecute()
{
    TOpenerArgs a;
    a.Owner = OwnerForm();
    a.Parent = this;
    a.Values.insert(QStringLiteral("ObjectType"), SourceKindCode(FKind));
    a.Values.insert(QStringLiteral("SampleWindow"), QVariant::fromValue<void *>(&SampleWindow));
    kdopeners::Open(QStringLiteral("TfrmSample"), a);
}
