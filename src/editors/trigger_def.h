#pragma once
// A trigger as the trigger editor shows it, read from the catalogs and written back as
// CREATE and DROP text; the argument list as the user types it; the rules that enable and
// tick the editor's controls. Plain values and functions, used by the window and by the
// script entry of the editor table alike.
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

class TkdConnForm;
struct TScriptBatchItem;

enum class TTriggerTiming { Before, After, InsteadOf };

struct TTriggerDef {
    QString Schema;                  // schema of the table (or view)
    QString Table;
    QString Name;
    QChar TableKind;                 // relkind of the table: r, p, f, v
    TTriggerTiming Timing = TTriggerTiming::Before;
    bool Insert = false;
    bool Update = false;
    bool Delete = false;
    bool Truncate = false;
    bool Row = false;
    QStringList UpdateColumns;       // UPDATE OF, column names as stored
    QString When;                    // the WHEN condition as the server prints it, parentheses included
    bool Constraint = false;
    QString RefSchema, RefTable;     // FROM of a constraint trigger
    bool Deferrable = false;
    bool InitDeferred = false;
    QString FuncSchema, FuncName;
    QStringList Args;                // the arguments, each as its text
    QChar Enabled = QLatin1Char('O'); // tgenabled: O, D, R, A
    QString OldTable, NewTable;      // REFERENCING OLD / NEW TABLE AS
    bool operator==(const TTriggerDef &) const = default;
};

// Timing, events and row level from the bits of pg_trigger.tgtype.
void DecodeTriggerType(int TgType, TTriggerDef &Def);
int EncodeTriggerType(const TTriggerDef &Def);

// The arguments of pg_trigger.tgargs: each ends with a zero byte. Text in UTF-8.
QStringList SplitTriggerArgs(const QByteArray &TgArgs);

// The WHEN condition inside the text of pg_get_triggerdef: the text between the WHEN that
// follows FOR EACH at the top level and the top-level EXECUTE, trimmed; empty when none.
// Words inside literals, quoted names and parentheses never count.
QString CutTriggerWhen(const QString &TriggerDef);

// The argument box's text: each argument as a literal in single quotes (inner quotes
// doubled), separated by ", ", as the server lists them.
QString TriggerArgsText(const QStringList &Args);

// Splits a comma list whose elements may be quoted with Quote (a doubled Quote inside stands
// for one): a quoted element is its content, a bare element its trimmed text.
struct TListItem {
    QString Text;
    bool Quoted = false;
};
enum class TListError { None, Unclosed, AfterQuote, QuoteInBare, Empty };
TListError SplitQuotedList(const QString &Text, QChar Quote, QList<TListItem> &Items);

// Reads the argument box. Elements are separated by commas outside quotes; a quoted
// element ('...' with '' for a quote) is its content, a bare element its trimmed text.
// Returns false with a message for an unclosed quote, text after a closing quote, or an
// empty element; Args is then left unchanged.
bool ParseTriggerArgs(const QString &Text, QStringList &Args, QString &Error);

// Reads a trigger by table schema, table and name; false when there is none. Server errors
// are thrown.
bool LoadTriggerDef(TkdConnForm *Conn, const QString &Schema, const QString &Table, const QString &Name,
                    TTriggerDef &Def);
// Many triggers in one statement (script loops over a selection), with the facts the read
// above gives: those among Items (schema, table, name) that exist, by TScriptBatch::Key.
// LoadTriggerDef takes an announced trigger from here.
QHash<QString, TTriggerDef> LoadTriggerDefBlock(TkdConnForm *Conn, const QList<TScriptBatchItem> &Items);

// The CREATE [CONSTRAINT] TRIGGER statement and, for a trigger that is not simply enabled,
// the ALTER TABLE that disables it again (or enables it for replicas / always), each ended
// by a line ";". Prefix: the schema prefix of the table ("" or "schema."). Clauses that do
// not apply to the chosen timing and events are left out: UPDATE OF only with UPDATE and
// not INSTEAD OF, WHEN not with INSTEAD OF, FROM and deferral only for a constraint trigger.
QStringList TriggerCreateLines(const TTriggerDef &Def, const QString &Prefix);

// "DROP TRIGGER name ON schema.table" (+ " CASCADE").
QString TriggerDropStatement(const QString &Schema, const QString &Table, const QString &Name, bool Cascade);

// ---- control rules -------------------------------------------------------------------------

// The ticks of the timing and event controls and what the rules make of them.
struct TTriggerControls {
    // values (changed by the rules where they force a choice)
    bool Before = true, After = false, Instead = false;
    bool Insert = false, Update = false, Delete = false, Truncate = false;
    bool Row = false, Constraint = false, Deferrable = false;
    // enabled states set by the rules
    bool BeforeOn = true, AfterOn = true, InsteadOn = true;
    bool TruncateOn = true, RowOn = true;
    bool RefOn = false;          // schema and table of FROM
    bool DeferrableOn = false;   // "制約遅延あり"
    bool CheckTimeOn = false;    // "各文実行後" / "トランザクション終了時"
    bool UpdColOn = false;       // "変更列" and its chooser
    bool WhenOn = true;          // "制限"
    bool ConstraintOn = true;    // "制約トリガー"
    bool ParamOn = false;        // "引数"
    bool ClearTable = false;     // the table box names no object of an admissible kind
};

// Applies the rules. Kind: "TABLE", "VIEW" or empty (the table box names nothing);
// IsNew: the trigger does not exist yet; FunctionEmpty: no trigger function chosen.
void ApplyTriggerRules(TTriggerControls &C, const QString &Kind, bool IsNew, bool FunctionEmpty);

// The kind filter of the table box's list: "TABLE", "VIEW" or "" (tables, then views).
QString TriggerTableListKind(const TTriggerControls &C, int DBVer);
