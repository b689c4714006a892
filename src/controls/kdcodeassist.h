#pragma once
// The code-assist popup: a two-column list of candidates under the caret of a SQL editor.
// While it is open every typed character goes to a hidden filter box, which narrows the list
// to the candidates that begin with it, and to the editor, which shows it as usual. Accepting
// a candidate replaces the part being typed, from its start to the caret, with the candidate.
#include "core/kdassist.h"

#include <QIcon>
#include <QStringList>
#include <QTreeWidget>
#include <QVector>
#include <functional>

class QLineEdit;
class QSizeGrip;
class TkdMemo;

class TkdCodeAssist : public QTreeWidget
{
    Q_OBJECT
public:
    // AEdit: the editor; AOwner: the window that contains the popup (the editor's window when
    // null); X, Y: the caret position the editor sent with its request.
    TkdCodeAssist(TkdMemo *AEdit, QWidget *AOwner, int X, int Y);
    ~TkdCodeAssist() override;

    TkdMemo *FOwner;
    QLineEdit *Buf;             // the hidden filter box
    QStringList CaptionList;    // all candidates: inserted text
    QStringList SubItemList;    // all candidates: detail text
    QVector<int> ImageList;     // all candidates: image index, -1 for none
    QStringList CaptionListW;   // the candidates that pass the filter
    QStringList SubItemListW;
    QVector<int> ImageListW;
    int ItemMax = 100;          // rows shown at once after filtering

    // Appends one candidate.
    void AddCandidate(const QString &caption, const QString &detail, int image);
    // Reads objects of the list from the server: those whose name starts with `filter`, from
    // `offset` on in the list's order, at most `limit` (0: all).
    using TObjectReader = std::function<kdassist::TAssistCandidates(const QString &filter, int offset, int limit)>;
    // The candidates [begin, end) are the objects read for `filter`; when `cut`, the server
    // has more, and the popup asks again through `reader` before it would show a row past
    // them, or when the filter no longer extends `filter` (so that typing, paging, End and
    // Backspace show what a whole list would).
    void SetObjectSource(int begin, int end, bool cut, const QString &filter, TObjectReader reader);
    // Puts S into the filter box with its caret after the last character.
    void SetBuffer(const QString &S);
    // Rebuilds the filtered lists and the shown rows from the filter text.
    void ShowItems();
    // Appends the next filtered candidate as a row when there is one.
    void AddItems();
    // Accepts the selected row; ch is the accepting character, which follows the inserted
    // text unless it is CR.
    void Accept(QChar ch);
    // Position (in the editor's text) where the part being typed begins; what lies between it
    // and the caret is replaced by an accepted candidate.
    void SetPrefixStart(long pos) { FPrefixStart = pos; }
    long PrefixStart() const { return FPrefixStart; }

    // Icons of the candidates' image indexes; the main window installs its image list.
    static void SetImageProvider(std::function<QIcon(int)> provider);
    // The icon of an image index: the installed provider's, else the main window's image list.
    static QIcon Image(int index);
    // Names inserted exactly as they stand (never quoted): the value names of the user's key
    // "\Software\Tarnwell\DREM\RESERVE", sorted; a provider set here replaces that list.
    static QStringList VerbatimNames();
    static void SetVerbatimNamesProvider(std::function<QStringList()> provider);
    // The text an accepted candidate inserts.
    static QString InsertTextFor(const QString &caption, int image);

protected:
    bool event(QEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;
    void inputMethodEvent(QInputMethodEvent *e) override;
    void focusOutEvent(QFocusEvent *e) override;
    void wheelEvent(QWheelEvent *e) override;
    void resizeEvent(QResizeEvent *e) override;

private:
    void AddRow(int filteredIndex);
    void SendToEditor(QKeyEvent *e);
    void SendKeyToBuf(QKeyEvent *e);
    void Close();

    // Objects held for the server's list (see SetObjectSource).
    void RefilterLists();
    bool NeedsMoreObjects(int filteredIndex) const;
    void ReadMoreObjects();
    void ReadObjectsFor(const QString &filter);
    TObjectReader FReader;
    int FObjectsBegin = 0, FObjectsEnd = 0;
    bool FObjectsCut = false;
    QString FObjectsFilter;
    QVector<int> FSourceW; // candidate index of each filtered candidate

    long FPrefixStart = 0;
    QSizeGrip *FGrip = nullptr;
    bool FInBuf = false;
};

namespace db { class Query; }

// A window whose SQL editor edits an existing routine offers the routine's arguments as
// code-assist candidates; the function source editor implements this.
class TCodeAssistRoutine
{
public:
    virtual ~TCodeAssistRoutine() = default;
    // The object id of the edited routine; 0 when the window edits none that exists yet.
    virtual quint32 CodeAssistRoutineOid() const = 0;
};

class TkdForm;

// The routine whose arguments code assist offers in Owner's editors: the object id that Owner
// gives as a TCodeAssistRoutine; for a child window only while it edits an existing procedure
// or function (not new, object-type code 51, 52 or 54); 0 for none.
quint32 RoutineOidOf(QWidget *Owner);

// The code-assist host of every child window (register it with SetCodeAssistHook): answers
// the request of the form's SQL editor with the form's code-assist query on its connection,
// the connection's current schema and the form as the popup's owner. Nothing happens without
// a connection or for an editor that is not a TkdMemo; catalog errors propagate.
void CodeAssistHost(TkdForm *form, QWidget *editor, int X, int Y);

// Answers a window's code-assist request (F6 in Memo): reads what the token before the caret
// names from the catalogs through Query and shows the candidates in a popup under the caret
// (X, Y from the request), or inserts the only candidate at once. Nothing happens while the
// option CodeAssist is off or a popup is open. Catalog errors propagate to the caller, and no
// popup is left behind then. DBVer and DBAMode are not used.
void ShowCodeAssist(TkdMemo *Memo, QWidget *Owner, db::Query &Query, const QString &Schema, int DBVer,
                    bool DBAMode, int X, int Y);
