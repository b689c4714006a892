#pragma once
// The source editor of functions, procedures and types: the object's CREATE text in an SQL
// editor, run as it stands by Compile (statement by statement, in one transaction), with a
// privilege page and a reference page. A new function or type starts from a template that
// follows the schema and name boxes; a sample source can be shown beside it. A type is
// re-created by DROP TYPE and its text, and keeps its privileges and comments.
#include "editors/object_editor.h"
#include "editors/source_def.h"

#include <QPointer>

class QToolButton;
class TfrmSample;

class TfrmSource : public TObjectEditor
{
    Q_OBJECT
public:
    // Routine: the function or procedure already read (Oid 0 for a new one or a type).
    TfrmSource(TkdConnForm *Owner, const TObjectArgs &Args, TSourceMode Mode, TSourceKind Kind,
               const TRoutineDef &Routine = TRoutineDef());
    ~TfrmSource() override;

    // The editor table's entries (codes 51, 52 and 55).
    static QWidget *Open(TkdConnForm *Owner, const TObjectArgs &Args);
    static void Script(TkdConnForm *Owner, const TObjectArgs &Args, TScriptSink &Sink);
    // The caption of a window on an object: kind + " - " + the identity (with the argument
    // types for a routine), or kind + " - 新規".
    static QString CaptionOf(TkdConnForm *Owner, TSourceKind Kind, const QString &Schema, const QString &Name,
                             const QString &ArgList);

    TSourceKind Kind() const { return FKind; }
    quint32 OID() const { return L_intOID; }
    void SetOID(quint32 Value) { L_intOID = Value; }
    QString ArgList() const { return L_strTypLst; }
    // True when the text differs from the one last loaded (a new object: always).
    bool SourceChanged() const;

    void ChangedIsNew() override;
    void Compile() override;

    // Handlers (public so that tests reach them as the user would).
    // Leaving the name (false) or the schema box (true) of a new object: an empty text gets
    // the template, otherwise the old name in the text follows the box.
    void txtNameExit(bool SchemaBox);
    void actExecExecute();
    void actSampleExecute();

    QAction *actExec = nullptr;
    QAction *actSample = nullptr;
    QToolButton *btnSample = nullptr;

protected:
    void LoadDefinition() override;
    void SaveControls() override;
    void GetSourceCreate(QStringList &Lines) override;
    void GetSourceAlter(QStringList &Lines) override;
    void GetSourceDrop(QStringList &Lines) override;
    QString DropStatement(bool Cascade) const override;
    void UpdateEditorActions() override;
    // Print and save: the text as the memo holds it.
    QStringList OutputText() override;
    void ShowGrant() override;
    void ShowCross() override;
    bool eventFilter(QObject *Watched, QEvent *Event) override;

private:
    bool TypeGrantPage() const;
    void RestoreTypeComments();

    TSourceKind FKind;
    quint32 L_intOID = 0;
    QString L_strTypLst;
    QString L_strDataType;
    TTypeDef FTypeDef;
    QStringList FSourceLines;
    QString FLoadedText;
    QPointer<TfrmSample> SampleWindow;
};
