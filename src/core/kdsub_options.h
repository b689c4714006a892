#pragma once
// The global option records of the program and the shared editor settings.
//
// Every record is a plain struct with one global instance, reached through its static
// Global() (for example `TkdOption::Global().UseLowerName`). The instances start zeroed;
// LoadSettings (core/kdreg.h) fills them once at start-up and SaveSettings writes them back
// at exit. Windows read the fields directly, so a change made in memory takes effect at
// the next use.
//
// Each record is described once by a table of rows (value name, kind, field, default):
// loading, saving and Reset() all walk the same table (OptionTable<R>() below), so a value
// name or a default is written down in exactly one place, kdsub_options.cpp.
//
// Folder defaults are joined to the folders fixed at start-up (core/kdsub_start.h); all
// folder texts end with "/".
#include <QColor>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <span>
#include <variant>

class TkdRegistry;

// The page an object window opens on.
enum TOpenMode : int { omDefine, omSource, omData, omCross, omGrant };
// Heading row of clipboard and Excel output.
enum TTitleMode : int { tmColumnName, tmComment, tmNone };
// Orientation of printed source text.
enum TPrinterOrientation : int { poPortrait, poLandscape };

// A colour as stored: the 32-bit colour value $00BBGGRR; values with the high byte $FF
// name a system colour (index in the low byte); clNone means "no colour".
using TColor = qint32;
inline constexpr TColor clNone = 0x1FFFFFFF;
inline constexpr TColor clWindowText = static_cast<TColor>(0xFF000008);
inline constexpr TColor clWindow = static_cast<TColor>(0xFF000005);
inline constexpr TColor clBtnFace = static_cast<TColor>(0xFF00000F);

// General options, main key.
struct TkdOption {
    int TreeSort = 0;
    bool ShowLevel0 = false;
    bool ShowLevel1 = false;
    bool ShowTable = false;
    bool ShowIndex = false;
    bool ShowView = false;
    bool ShowFunc = false;
    bool ShowType = false;
    bool ShowTrigger = false;
    bool ShowRule = false;
    bool ShowSeq = false;
    bool ShowConst = false;
    TOpenMode OpenMode = omDefine;
    bool UserFirst = false;
    bool TreeData = false;
    bool Progress = false;
    bool RowSelect = false;
    bool DelErr = false;
    bool Find = false;
    bool FindAuto = false;
    bool DefaultAutoQuote = false;
    bool ShowDDL = false;
    bool CloseDDL = false;
    bool BackupData = false;
    bool ShowStorageSource = false;
    bool ShowColumnSource = false;
    bool SaveBeforeSrc = false;
    bool SaveBeforeSrcDialog = false;
    bool SaveBeforeSrcRenum = false;
    bool SaveBeforeSrcHead = false;
    QString SaveBeforeSrcDir;
    bool SaveAfterSrc = false;
    bool SaveAfterSrcDialog = false;
    bool SaveAfterSrcRenum = false;
    bool SaveAfterSrcHead = false;
    QString SaveAfterSrcDir;
    int DataFontSize = 0;
    QString DataFontName;
    int DataShowMode = 0;
    int DataColWidthV = 0;
    int DataColWidthH = 0;
    bool ShowWhereGrid = false;
    bool WhereAutoQuote = false;
    int DefTopRecord = 0;
    QString DateFormat;  // class-library notation; see QtDateFormat()
    QString TimeDelphi;  // class-library notation ("TimeFormat"); see QtTimeFormat()
    QString TimeOracle;  // not stored: TimeDelphi in the server's notation, derived at load
    bool AddStripe = false;
    int SQLBuf = 0;
    bool UsePartial = false;
    int DiagramFontSize = 0;
    QString DiagramFontName;
    int GridFontSize = 0;
    QString GridFontName;
    TTitleMode PasteTitle = tmColumnName;
    int PasteColumn = 0;
    bool PasteDialog = false;
    QString FileDir;
    QString ExcelDir;
    QString ScrExecDir;
    QString ExcelSheet;
    QString ExcelForm;
    int ExcelTop = 0;
    int ExcelLeft = 0;
    QString ExcelFormMatrix;
    int ExcelMatrixRow = 0;
    int ExcelMatrixCol = 0;
    TTitleMode ExcelTitle = tmColumnName;
    int ExcelMode = 0;
    bool ExcelRefresh = false;
    bool ExcelDialog = false;
    int CrossLevel = 0;
    int DataGenCommit = 0;
    bool UpdateToCommit = false;
    bool UpdateMode = false;
    bool ScriptErrStop = false;
    bool ScriptCompDel = false;
    bool UseLowerName = false;  // stored as "UserUpperName"
    bool CodeAssist = false;
    QString TempDir;
    QString ExcelExt;      // read at start-up, never written back
    bool CLOB_TO_CHAR = false;  // read at start-up, never written back
    QString CharacterSet;  // read at start-up, never written back
    int ConnectTimeout = 30;  // seconds a logon may take (0: no limit); read at start-up, never written back
    int Encoding = 0;      // text files: 0 CP932, 1 UTF-7, 2 UTF-8, 3 UTF-16LE, 4 UTF-16BE
    bool flgCallFromTbl = false;  // run-time flag, not stored
    QString NLS_LANG;
    QStringList AlertLogPas;  // "database=folder/" entries
    int IdxRebuild = 0;
    int SleepTime = 0;
    QString OracleHome;  // never stored, stays empty

    // DateFormat and TimeDelphi converted to QDateTime/QLocale format notation.
    QString QtDateFormat() const;
    QString QtTimeFormat() const;

    static TkdOption &Global();
    void Reset();  // every field to its default (as an empty store would give)
};

// Print settings of source printing, key "PRINTOPTION".
struct TkdPrintOption {
    TPrinterOrientation Orientation = poPortrait;
    int MMLeftMargin = 0;
    int MMTopMargin = 0;
    int MMRightMargin = 0;
    int MMBottomMargin = 0;
    QString FontName;
    int FontSize = 0;

    static TkdPrintOption &Global();
    void Reset();
};

// Script-output options, key "TEXTOUT".
struct TScriptOption {
    bool OneScript = false;
    bool Dir = false;  // stored as "SubDir"
    bool SameName = false;
    QString Path;
    QStringList NameTable;  // "database=name table" entries
    int Owner = 0;          // stored as "Schema": 0 always, 1 when it differs, 2 never
    bool Index = false;
    bool Insert = false;
    int InsertMode = 0;
    bool Storage = false;
    bool ViewCol = false;
    bool Grant = false;
    int GrantMode = 0;
    bool NullLine = false;  // empty lines are left out of scripts

    static TScriptOption &Global();
    void Reset();
};

// Layout options of the SQL formatter, key "FORMAT".
struct TFormatOption {
    int Indent = 0;
    int ItemReturn = 0;
    int ReservePos = 0;
    int CommaPos = 0;
    int AndPos = 0;
    int ReserveTrans = 0;
    int ItemTrans = 0;

    static TFormatOption &Global();
    void Reset();
};

// Backup options, key "EXPORT".
struct TExpOption {
    QString ExpFile;  // stored as "FileName"
    QString UserID;
    bool Grants = false;
    QString ExpPgm;
    bool Background = false;
    QString LogFile;
    int Format = 0;
    QString Compres;
    QString Encoding;
    QString RoleName;
    bool PreData = false;
    bool SecData = false;
    bool PostData = false;
    bool Data = false;
    bool Schema = false;
    bool Blobs = false;
    bool Owner = false;
    bool Tablespaces = false;
    bool UnlogTbl = false;
    bool Securitylbl = false;
    bool CreateDataBase = false;
    bool DropDataBase = false;
    bool ColumnInserts = false;
    bool Inserts = false;
    bool Trigger = false;
    bool DollarQuoting = false;
    bool Authorization = false;
    bool Oid = false;
    bool Quote = false;
    bool Serializable = false;
    QString TimeOutMil;

    static TExpOption &Global();
    void Reset();
};

// Restore options, key "IMPORT".
struct TImpOption {
    QString ImpFile;  // stored as "FileName"
    QString UserID;
    int Format = 0;
    int Mode = 0;
    QString JobNo;
    QString RoleName;
    bool PreData = false;
    bool SecData = false;
    bool PostData = false;
    bool Data = false;
    bool Schema = false;
    bool Owner = false;
    bool Grants = false;
    bool Tablespaces = false;
    bool Securitylbl = false;
    bool CreateDataBase = false;
    bool Clean = false;
    bool Transaction = false;
    bool Trigger = false;
    bool NoData = false;
    bool Authorization = false;
    bool Error = false;
    QString ImpPgm;
    QString LogFile;
    QString SchemaList;
    QString TableList;

    static TImpOption &Global();
    void Reset();
};

// COPY unload (…To) and load (…From) options, key "LOADER".
struct TLoadOption {
    QString SaveDir;
    QString DataFile;
    int Output = 0;
    int FormatTo = 0;
    QString EncodingTo;
    QString DelimiterTo;
    QString NullTo;
    bool OidTo = false;
    bool HeaderTo = false;
    bool ForceQuote = false;
    QString QuoteTo;
    QString EscapeTo;
    int Input = 0;
    int FormatFrom = 0;
    QString EncodingFrom;
    QString DelimiterFrom;
    QString NullFrom;
    bool OidFrom = false;
    bool HeaderFrom = false;
    bool ForceNotNull = false;
    QString QuoteFrom;
    QString EscapeFrom;

    static TLoadOption &Global();
    void Reset();
};

// Object-comparison filter, key "COMP".
struct TCompOption {
    bool Equrl = false;
    bool NotEqurl = false;
    bool Only1 = false;
    bool Only2 = false;

    static TCompOption &Global();
    void Reset();
};

// Time of the last statistics snapshot, key "PERFORM" (one value).
struct TPerformOption {
    QDateTime LastAutoSave;

    static TPerformOption &Global();
    void Reset();
};
inline QDateTime &LastAutoSave() { return TPerformOption::Global().LastAutoSave; }

// Data Pump export options, key "EXPORT_DP".
struct TExpdpOption {
    QString ExpdpDirObj;
    QString ExpdpFile;  // stored as "FileName"
    QString UserID;
    QString Pass;       // stored scrambled
    bool Grants = false;
    bool Indexes = false;
    bool Rows = false;
    bool Constraints = false;
    QString ExpPgm;
    bool Background = false;
    QString ExpdpLogDirObj;
    QString LogFile;

    static TExpdpOption &Global();
    void Reset();
};

// Data Pump import options, key "IMPORT_DP".
struct TImpdpOption {
    QString ImpdpDirObj;
    QString ImpFile;  // stored as "FileName"
    QString UserID;
    QString Pass;     // stored scrambled
    bool Grants = false;
    bool Indexes = false;
    bool Rows = false;
    bool Constraints = false;
    QString ImpdpInfoDirObj;
    QString IndexFile;
    bool Ignore = false;
    int IgnoreItem = 0;
    bool Destroy = false;
    QString ImpPgm;
    bool Background = false;
    QString ImpdpLogDirObj;
    QString LogFile;
    QString UserList;
    QString TableList;

    static TImpdpOption &Global();
    void Reset();
};

// Statistics-report settings, key "STATSPACK".
struct TStatsOption {
    QString StatsPack;
    QString Report;
    QString Purge;
    QString Truncate;

    static TStatsOption &Global();
    void Reset();
};

// Trace settings, key "TRACE".
struct TTrcOption {
    QStringList Path;
    bool TKProf = false;
    bool ExplainPlan = false;  // stored as "Explan"
    QString PlanUserID;        // stored as "PlanUser"
    QString PlanPass;          // stored scrambled
    QString PlanTable;
    bool Aggregate = false;
    bool Sys = false;
    QString Sort;
    QString Print;
    QString TrcPgm;

    static TTrcOption &Global();
    void Reset();
};

// Lock-alert paths, key "LOCK" (one list).
struct TLockOption {
    QStringList AlertPath;

    static TLockOption &Global();
    void Reset();
};
inline QStringList &AlertPath() { return TLockOption::Global().AlertPath; }

// Load-test settings, key "DBTEST".
struct TDBTestOption {
    int Session = 0;
    int SpanTime = 0;
    QString UserId;
    QString Password;  // stored as typed
    bool Error = false;

    static TDBTestOption &Global();
    void Reset();
};

// The settings shared by every SQL editor, key "EDITOR".
//
// A plain value record of the editor-property set: the SQL editor control (controls layer)
// copies it into each editor and the editor options dialog edits a copy of it. Thirty
// values are stored; the rest are fixed settings that loading and Reset() always set the
// same way. The global instance is TkdEditorSettings::Global(); after LoadSettings the main
// window copies it into its editor-property object, and before SaveSettings it copies that
// object back (TkdMainServices, core/kdmainservices.h).
struct TkdEditorBracket {
    QString Left;
    QString Right;
    TColor Color = clNone;
    TColor BkColor = clNone;
    bool operator==(const TkdEditorBracket &) const = default;
};

enum TScrollStyle : int { ssNone, ssHorizontal, ssVertical, ssBoth };

struct TkdEditorSettings {
    // Font
    QString FontName;
    int FontSize = 0;
    TColor FontColor = 0;
    bool FontFixedPitch = false;  // fixed: true
    TColor Color = 0;             // background
    // Caret
    bool CaretAutoCursor = false;  // fixed: true
    bool CaretAutoIndent = false;
    bool CaretBackSpaceUnIndent = false;
    bool CaretFreeCaret = false;
    bool CaretInTab = false;
    bool CaretLockScroll = false;  // fixed: false
    bool CaretNextLine = false;
    bool CaretTabIndent = false;
    bool CaretSoftTab = false;
    int CaretTabSpaceCount = 0;  // stored as "TabSize"
    bool CaretSelMove = false;
    bool CaretKeepCaret = false;  // fixed: true
    // Image bar and left bar (line numbers)
    bool ImagebarVisible = false;  // fixed: false
    bool LeftbarVisible = false;   // stored as "ShowRecNo"
    int LeftbarLeftMargin = 0;     // fixed: 2
    int LeftbarRightMargin = 0;    // fixed: 2
    int LeftbarColumn = 0;         // fixed: 5
    TColor LeftbarBkColor = 0;     // fixed: clBtnFace
    // Ruler and scroll bars
    bool RulerVisible = false;  // stored as "ShowRuler"
    int RulerGaugeRange = 0;    // stored as "RulerSize"
    TScrollStyle ScrollBars = ssNone;  // fixed: ssBoth
    // Marks: the colour is stored; a mark is visible when its colour is not clNone
    TColor EofMarkColor = 0;
    bool EofMarkVisible = false;
    TColor RetMarkColor = 0;
    bool RetMarkVisible = false;
    TColor UnderlineColor = 0;
    bool UnderlineVisible = false;
    TColor TabMarkColor = 0;
    bool TabMarkVisible = false;
    TColor SemiSpaceMarkColor = 0;
    bool SemiSpaceMarkVisible = false;
    TColor SpaceMarkColor = 0;
    bool SpaceMarkVisible = false;
    // Margin and view
    int MarginLeft = 0;         // fixed: 2
    QString Commenter;          // fixed: "--"
    QString Quotation;          // fixed: "'"
    QString DoubleQuotation;    // fixed: "\""
    TColor CommentColor = 0;
    TColor CommentBkColor = 0;
    TColor StrColor = 0;        // string literals, stored as "ConstColor"
    TColor StrBkColor = 0;
    TColor ReserveColor = 0;    // reserved words
    TColor ReserveBkColor = 0;
    TColor HitColor = 0;        // search hits, stored as "SearchColor"
    TColor HitBkColor = 0;
    QList<TkdEditorBracket> Brackets;  // fixed: "/*" "*/" in the comment colours
    // The reserved words the editors colour: a copy of KeywordList, each word once
    // (compared without regard to case).
    QStringList ReserveWordList;

    static TkdEditorSettings &Global();
    void Reset();
    // Sets the fixed settings, the visibility of the marks and the comment bracket from
    // the stored values; run after every load and reset.
    void ApplyFixedSettings();
    bool operator==(const TkdEditorSettings &) const = default;
};

// ---------------------------------------------------------------------------------------
// The option tables.

// How a value is stored: Bool (dword 0/1), Int (dword), Str (string; an empty stored text
// counts as missing), List (string holding the lines, each followed by CR LF), Pass (string
// holding ScramblePassword of the field), DateTime (binary, the 8 bytes of the day count
// since 1899-12-30 as a double).
enum class TOptionKind { Bool, Int, Str, List, Pass, DateTime };

// What a string default is joined to.
enum class TDefaultBase { None, DocumentFolder, AppDataFolder, ClientHome };

template <class R>
using TOptionField = std::variant<bool R::*, int R::*, QString R::*, QStringList R::*,
                                  QDateTime R::*, TOpenMode R::*, TTitleMode R::*,
                                  TPrinterOrientation R::*>;

template <class R>
struct TOptionRow {
    const char *Value;          // value name in the record's key
    TOptionKind Kind;
    TOptionField<R> Field;
    qint64 DefaultNumber = 0;   // Bool/Int default; DateTime: whole days since 1899-12-30
    const char16_t *DefaultText = u"";  // Str default, appended to DefaultBase
    TDefaultBase DefaultBase = TDefaultBase::None;
    bool Written = true;        // false: read at start-up, never written back
};

// One table per record, rows in reading order. Defined for every record above.
template <class R>
std::span<const TOptionRow<R>> OptionTable();

// The key of a record relative to the main key ("" for TkdOption).
template <class R>
const char *OptionKey();

// Row operations that every record shares.
template <class R>
void ResetOptionRecord(R &record);
// Reads every row from the current key of reg (defaults for what is missing).
template <class R>
void LoadOptionRecord(TkdRegistry &reg, R &record);
// Writes every written row into the current key of reg; throws as TkdRegistry's writers.
template <class R>
void SaveOptionRecord(TkdRegistry &reg, const R &record);

// The default of a string row, joined to its folder.
QString OptionDefaultText(const char16_t *text, TDefaultBase base);

// TimeDelphi in the server's notation: "hh" becomes "hh24", and the minute tokens "nn"
// and "mm" become "mi", all without regard to case ("hh:nn:ss" -> "hh24:mi:ss").
QString TimeOracleFormat(const QString &timeDelphi);

// A date/time format of the class library's notation in QDateTime's notation:
// y/yy/yyyy, m..mmmm, d..dddd, h/hh, n/nn (minutes; m/mm right after an hour token also
// mean minutes), s/ss, z/zzz, am/pm and ampm, "/" and ":" separators, quoted literals.
QString DelphiToQtFormat(const QString &format);

// The program's date and time display formats, in the class library's notation. Qt has no
// process-wide format to set, so the program keeps its own: the main window fills it from
// the options DateFormat and TimeDelphi at start-up (and the options dialog again after a
// change), and every grid, picker and text that shows a date or time formats with it.
struct TkdFormatSettings {
    QString ShortDateFormat = QStringLiteral("yyyy/MM/dd");
    QString LongDateFormat = QStringLiteral("yyyy/MM/dd");
    QString ShortTimeFormat = QStringLiteral("HH:mm:ss");
    QString LongTimeFormat = QStringLiteral("HH:mm:ss");

    static TkdFormatSettings &Global();
    // The short formats in QDateTime's notation; date and time are joined by one blank.
    QString QtDate() const { return DelphiToQtFormat(ShortDateFormat); }
    QString QtTime() const { return DelphiToQtFormat(ShortTimeFormat); }
    QString QtDateTime() const { return QtDate() + QLatin1Char(' ') + QtTime(); }
};

// Short and long date format := dateFormat, short and long time format := timeFormat.
void ApplyDateTimeFormats(const QString &dateFormat, const QString &timeFormat);

// String lists as stored: every line followed by CR LF; read back by splitting at CR LF,
// CR or LF (a final line break gives no extra empty line).
QString ListToText(const QStringList &list);
QStringList TextToList(const QString &text);

// TDateTime (days since 1899-12-30 as a double) <-> QDateTime in local time.
double DateTimeToDays(const QDateTime &dt);
QDateTime DaysToDateTime(double days);

// Every option record back to its defaults (including the editor settings).
void ResetAllOptions();
// Every option record zeroed, as before LoadSettings (start-up and finalisation).
void ClearAllOptions();

// A stored colour as a QColor: $00BBGGRR as it stands, a system colour ($FF000000 + index)
// through the application's palette (window, window text, button face, highlight, ...),
// clNone (and any other value) as an invalid QColor.
QColor TColorToQColor(TColor color);
// The stored form of a QColor; an invalid QColor gives clNone.
TColor QColorToTColor(const QColor &color);
