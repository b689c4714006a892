#include "core/kdsub_options.h"

#include "core/kdreg.h"
#include "core/kdreserve.h"
#include "core/kdsub_start.h"

#include <QGuiApplication>
#include <QPalette>
#include <cmath>

// ---------------------------------------------------------------------------------------
// Row builders: one line per stored value.
namespace {

template <class R, class F>
constexpr TOptionRow<R> Bool(const char *value, F R::*field, bool def)
{
    return {value, TOptionKind::Bool, field, def ? 1 : 0};
}

template <class R, class F>
constexpr TOptionRow<R> Int(const char *value, F R::*field, qint64 def)
{
    return {value, TOptionKind::Int, field, def};
}

template <class R>
constexpr TOptionRow<R> Str(const char *value, QString R::*field, const char16_t *def = u"",
                            TDefaultBase base = TDefaultBase::None)
{
    return {value, TOptionKind::Str, field, 0, def, base};
}

template <class R>
constexpr TOptionRow<R> List(const char *value, QStringList R::*field)
{
    return {value, TOptionKind::List, field};
}

template <class R>
constexpr TOptionRow<R> Pass(const char *value, QString R::*field)
{
    return {value, TOptionKind::Pass, field};
}

template <class R>
constexpr TOptionRow<R> DateTime(const char *value, QDateTime R::*field, qint64 days)
{
    return {value, TOptionKind::DateTime, field, days};
}

// A value read at start-up and never written back.
template <class R>
constexpr TOptionRow<R> ReadOnly(TOptionRow<R> row)
{
    row.Written = false;
    return row;
}

constexpr auto Doc = TDefaultBase::DocumentFolder;
constexpr auto App = TDefaultBase::AppDataFolder;

// The font that the stored defaults name; the controls map it to an installed font.
constexpr const char16_t *kGothic = u"ＭＳ ゴシック";

} // namespace

// ---------------------------------------------------------------------------------------
// The tables, rows in reading order.

template <>
std::span<const TOptionRow<TkdOption>> OptionTable<TkdOption>()
{
    using R = TkdOption;
    static const TOptionRow<R> rows[] = {
        Int("TreeSort", &R::TreeSort, 0),
        Bool("ShowLevel0", &R::ShowLevel0, true),
        Bool("ShowLevel1", &R::ShowLevel1, true),
        Bool("TypeTable", &R::ShowTable, true),
        Bool("TypeIndex", &R::ShowIndex, true),
        Bool("TypeView", &R::ShowView, true),
        Bool("TypeFunc", &R::ShowFunc, true),
        Bool("TypeType", &R::ShowType, true),
        Bool("TypeTrigger", &R::ShowTrigger, true),
        Bool("TypeRule", &R::ShowRule, true),
        Bool("TypeSeq", &R::ShowSeq, true),
        Bool("TypeConst", &R::ShowConst, true),
        Bool("UserFirst", &R::UserFirst, false),
        Bool("TreeData", &R::TreeData, false),
        Bool("Progress", &R::Progress, true),
        Bool("RowSelect", &R::RowSelect, false),
        Bool("DelErr", &R::DelErr, false),
        Bool("Find", &R::Find, true),
        Bool("FindAuto", &R::FindAuto, true),
        Int("OpenMode", &R::OpenMode, omDefine),
        Bool("DefaultAutoQuote", &R::DefaultAutoQuote, false),
        Bool("ShowDDL", &R::ShowDDL, false),
        Bool("CloseDDL", &R::CloseDDL, true),
        Bool("BackupData", &R::BackupData, true),
        Bool("ShowStorageSource", &R::ShowStorageSource, true),
        Bool("ShowColumnSource", &R::ShowColumnSource, true),
        Bool("SaveBeforeSource", &R::SaveBeforeSrc, false),
        Bool("SaveBeforeSrcDialog", &R::SaveBeforeSrcDialog, false),
        Bool("SaveBeforeSrcRenum", &R::SaveBeforeSrcRenum, false),
        Bool("SaveBeforeSrcHead", &R::SaveBeforeSrcHead, false),
        Str("SaveBeforeSrcDir", &R::SaveBeforeSrcDir, u"", App),
        Bool("SaveAfterSource", &R::SaveAfterSrc, false),
        Bool("SaveAfterSrcDialog", &R::SaveAfterSrcDialog, false),
        Bool("SaveAfterSrcRenum", &R::SaveAfterSrcRenum, false),
        Bool("SaveAfterSrcHead", &R::SaveAfterSrcHead, false),
        Str("SaveAfterSrcDir", &R::SaveAfterSrcDir, u"", App),
        Str("DataFontName", &R::DataFontName, kGothic),
        Int("DataFontSize", &R::DataFontSize, 10),
        Int("DataShowMode", &R::DataShowMode, 0),
        Int("DataColWidthV", &R::DataColWidthV, 30),
        Int("DataColWidthH", &R::DataColWidthH, 20),
        Bool("ShowWhereGrid", &R::ShowWhereGrid, true),
        Bool("WhereAutoQuote", &R::WhereAutoQuote, true),
        Int("DefTopRecord", &R::DefTopRecord, 1000),
        Str("DateFormat", &R::DateFormat, u"yyyy/MM/dd"),
        Str("TimeFormat", &R::TimeDelphi, u"HH:mm:ss"),
        Int("SQLBuf", &R::SQLBuf, 32),
        Bool("AddStripe", &R::AddStripe, true),
        Bool("UsePartial", &R::UsePartial, true),
        Str("DiagramFontName", &R::DiagramFontName, kGothic),
        Int("DiagramFontSize", &R::DiagramFontSize, 9),
        Str("GridFontName", &R::GridFontName, kGothic),
        Int("GridFontSize", &R::GridFontSize, 9),
        Int("PasteTitle", &R::PasteTitle, tmColumnName),
        Int("PasteColumn", &R::PasteColumn, 0),
        Bool("PasteDialog", &R::PasteDialog, false),
        Str("FileDir", &R::FileDir, u"", Doc),
        Str("ExcelDir", &R::ExcelDir, u"", Doc),
        Str("ScrExecDir", &R::ScrExecDir),
        Str("ExcelSheet", &R::ExcelSheet),
        Str("ExcelForm", &R::ExcelForm),
        Int("ExcelTop", &R::ExcelTop, 0),
        Int("ExcelLeft", &R::ExcelLeft, 0),
        Str("ExcelFormMatrix", &R::ExcelFormMatrix, u"xlsdef/kdmatrix.xls", App),
        Int("ExcelMatrixRow", &R::ExcelMatrixRow, 60),
        Int("ExcelMatrixCol", &R::ExcelMatrixCol, 30),
        Int("ExcelTitle", &R::ExcelTitle, tmColumnName),
        Int("ExcelMode", &R::ExcelMode, 0),
        Bool("ExcelRefresh", &R::ExcelRefresh, false),
        Bool("ExcelDialog", &R::ExcelDialog, false),
        Bool("UpdateToCommit", &R::UpdateToCommit, true),
        Bool("UpdateMode", &R::UpdateMode, true),
        Bool("ScriptCompDel", &R::ScriptCompDel, false),
        Bool("ScriptErrStop", &R::ScriptErrStop, false),
        Int("CrossLevel", &R::CrossLevel, 3),
        Int("DataGenCommit", &R::DataGenCommit, 50),
        Bool("CodeAssist", &R::CodeAssist, true),
        Bool("UserUpperName", &R::UseLowerName, true),
        Str("TempDir", &R::TempDir, u"temp/", App),
        ReadOnly(Str("ExcelExt", &R::ExcelExt)),
        ReadOnly(Bool("CLOB_TO_CHAR", &R::CLOB_TO_CHAR, false)),
        ReadOnly(Str("CharacterSet", &R::CharacterSet, u"UTF8")),
        ReadOnly(Int("ConnectTimeout", &R::ConnectTimeout, 30)),
        Int("Encoding", &R::Encoding, 2),
        List("AlertLogPas", &R::AlertLogPas),
        Int("IdxRebuild", &R::IdxRebuild, 20),
        Int("SleepTime", &R::SleepTime, 70),
        Str("NLS_LANG", &R::NLS_LANG),
    };
    return rows;
}

template <>
std::span<const TOptionRow<TkdPrintOption>> OptionTable<TkdPrintOption>()
{
    using R = TkdPrintOption;
    static const TOptionRow<R> rows[] = {
        Int("Orientation", &R::Orientation, poPortrait),
        Int("LeftMargin", &R::MMLeftMargin, 20),
        Int("TopMargin", &R::MMTopMargin, 20),
        Int("RightMargin", &R::MMRightMargin, 20),
        Int("BottomMargin", &R::MMBottomMargin, 20),
        Str("FontName", &R::FontName, kGothic),
        Int("FontSize", &R::FontSize, 10),
    };
    return rows;
}

template <>
std::span<const TOptionRow<TScriptOption>> OptionTable<TScriptOption>()
{
    using R = TScriptOption;
    static const TOptionRow<R> rows[] = {
        Bool("OneScript", &R::OneScript, false),
        Bool("SubDir", &R::Dir, false),
        Bool("SameName", &R::SameName, true),
        Str("Path", &R::Path, u"", Doc),
        List("NameTable", &R::NameTable),
        Int("Schema", &R::Owner, 1),
        Bool("Index", &R::Index, false),
        Bool("Insert", &R::Insert, false),
        Int("InsertMode", &R::InsertMode, 0),
        Bool("Storage", &R::Storage, true),
        Bool("ViewCol", &R::ViewCol, true),
        Bool("Grant", &R::Grant, false),
        Int("GrantMode", &R::GrantMode, 0),
        Bool("NullLine", &R::NullLine, false),
    };
    return rows;
}

template <>
std::span<const TOptionRow<TFormatOption>> OptionTable<TFormatOption>()
{
    using R = TFormatOption;
    static const TOptionRow<R> rows[] = {
        Int("Indent", &R::Indent, 4),
        Int("ItemReturn", &R::ItemReturn, 0),
        Int("ReservePos", &R::ReservePos, 0),
        Int("CommaPos", &R::CommaPos, 0),
        Int("AndPos", &R::AndPos, 0),
        Int("ReserveTrans", &R::ReserveTrans, 0),
        Int("ItemTrans", &R::ItemTrans, 2),
    };
    return rows;
}

template <>
std::span<const TOptionRow<TExpOption>> OptionTable<TExpOption>()
{
    using R = TExpOption;
    static const TOptionRow<R> rows[] = {
        Str("FileName", &R::ExpFile, u"bkupdat.dmp", Doc),
        Str("UserID", &R::UserID),
        Str("ExpPgm", &R::ExpPgm),
        Bool("Background", &R::Background, false),
        Str("LogFile", &R::LogFile, u"psql_bkup.log", Doc),
        Int("Format", &R::Format, 0),
        Str("Compres", &R::Compres),
        Str("Encoding", &R::Encoding),
        Str("RoleName", &R::RoleName),
        Bool("PreData", &R::PreData, false),
        Bool("SecData", &R::SecData, false),
        Bool("PostData", &R::PostData, false),
        Bool("Data", &R::Data, false),
        Bool("Schema", &R::Schema, false),
        Bool("Blobs", &R::Blobs, false),
        Bool("Owner", &R::Owner, false),
        Bool("Grants", &R::Grants, false),
        Bool("Tablespaces", &R::Tablespaces, false),
        Bool("UnlogTbl", &R::UnlogTbl, false),
        Bool("Securitylbl", &R::Securitylbl, false),
        Bool("CreateDataBase", &R::CreateDataBase, false),
        Bool("DropDataBase", &R::DropDataBase, false),
        Bool("ColumnInserts", &R::ColumnInserts, false),
        Bool("Inserts", &R::Inserts, false),
        Bool("Trigger", &R::Trigger, false),
        Bool("DollarQuoting", &R::DollarQuoting, false),
        Bool("Authorization", &R::Authorization, false),
        Bool("Oid", &R::Oid, false),
        Bool("Quote", &R::Quote, false),
        Bool("Serializable", &R::Serializable, false),
        Str("TimeOutMil", &R::TimeOutMil),
    };
    return rows;
}

template <>
std::span<const TOptionRow<TImpOption>> OptionTable<TImpOption>()
{
    using R = TImpOption;
    static const TOptionRow<R> rows[] = {
        Str("FileName", &R::ImpFile, u"bkupdat.dmp", Doc),
        Str("UserID", &R::UserID),
        Int("Format", &R::Format, 0),
        Int("Mode", &R::Mode, 0),
        Str("JobNo", &R::JobNo),
        Str("RoleName", &R::RoleName),
        Bool("PreData", &R::PreData, false),
        Bool("SecData", &R::SecData, false),
        Bool("PostData", &R::PostData, false),
        Bool("Data", &R::Data, false),
        Bool("Schema", &R::Schema, false),
        Bool("Owner", &R::Owner, false),
        Bool("Grants", &R::Grants, false),
        Bool("Tablespaces", &R::Tablespaces, false),
        Bool("Securitylbl", &R::Securitylbl, false),
        Bool("CreateDataBase", &R::CreateDataBase, false),
        Bool("Clean", &R::Clean, false),
        Bool("Transaction", &R::Transaction, false),
        Bool("Trigger", &R::Trigger, false),
        Bool("NoData", &R::NoData, false),
        Bool("Authorization", &R::Authorization, false),
        Bool("Error", &R::Error, false),
        Str("ImpPgm", &R::ImpPgm),
        Str("LogFile", &R::LogFile, u"psql_res.log", Doc),
        Str("SchemaList", &R::SchemaList),
        Str("TableList", &R::TableList),
    };
    return rows;
}

template <>
std::span<const TOptionRow<TLoadOption>> OptionTable<TLoadOption>()
{
    using R = TLoadOption;
    static const TOptionRow<R> rows[] = {
        Str("SaveDir", &R::SaveDir, u"", Doc),
        Str("DataFile", &R::DataFile),
        Int("Output", &R::Output, 0),
        Int("FormatTo", &R::FormatTo, 0),
        Str("EncodingTo", &R::EncodingTo),
        Str("DelimiterTo", &R::DelimiterTo),
        Str("NullTo", &R::NullTo),
        Bool("OidTo", &R::OidTo, false),
        Bool("HeaderTo", &R::HeaderTo, true),
        Bool("ForceQuote", &R::ForceQuote, true),
        Str("QuoteTo", &R::QuoteTo),
        Str("EscapeTo", &R::EscapeTo),
        Int("Input", &R::Input, 0),
        Int("FormatFrom", &R::FormatFrom, 0),
        Str("EncodingFrom", &R::EncodingFrom),
        Str("DelimiterFrom", &R::DelimiterFrom),
        Str("NullFrom", &R::NullFrom),
        Bool("OidFrom", &R::OidFrom, true),
        Bool("HeaderFrom", &R::HeaderFrom, true),
        Bool("ForceNotNull", &R::ForceNotNull, true),
        Str("QuoteFrom", &R::QuoteFrom),
        Str("EscapeFrom", &R::EscapeFrom),
    };
    return rows;
}

template <>
std::span<const TOptionRow<TCompOption>> OptionTable<TCompOption>()
{
    using R = TCompOption;
    static const TOptionRow<R> rows[] = {
        Bool("Equrl", &R::Equrl, true),
        Bool("NotEqurl", &R::NotEqurl, true),
        Bool("Only1", &R::Only1, true),
        Bool("Only2", &R::Only2, true),
    };
    return rows;
}

template <>
std::span<const TOptionRow<TPerformOption>> OptionTable<TPerformOption>()
{
    using R = TPerformOption;
    static const TOptionRow<R> rows[] = {
        DateTime("LastAutoSave", &R::LastAutoSave, 0),
    };
    return rows;
}

template <>
std::span<const TOptionRow<TExpdpOption>> OptionTable<TExpdpOption>()
{
    using R = TExpdpOption;
    static const TOptionRow<R> rows[] = {
        Str("ExpdpDirObj", &R::ExpdpDirObj),
        Str("FileName", &R::ExpdpFile, u"EXPDPDAT.DMP"),
        Str("UserID", &R::UserID),
        Pass("Pass", &R::Pass),
        Bool("Grants", &R::Grants, true),
        Bool("Indexes", &R::Indexes, true),
        Bool("Rows", &R::Rows, true),
        Bool("Constraints", &R::Constraints, true),
        Str("ExpPgm", &R::ExpPgm),
        Bool("Background", &R::Background, false),
        Str("ExpdpLogDirObj", &R::ExpdpLogDirObj),
        Str("LogFile", &R::LogFile, u"EXPDP.LOG"),
    };
    return rows;
}

template <>
std::span<const TOptionRow<TImpdpOption>> OptionTable<TImpdpOption>()
{
    using R = TImpdpOption;
    static const TOptionRow<R> rows[] = {
        Str("ImpdpDirObj", &R::ImpdpDirObj),
        Str("FileName", &R::ImpFile, u"EXPDPDAT.DMP"),
        Str("UserID", &R::UserID),
        Pass("Pass", &R::Pass),
        Bool("Grants", &R::Grants, true),
        Bool("Indexes", &R::Indexes, true),
        Bool("Rows", &R::Rows, true),
        Bool("Constraints", &R::Constraints, true),
        Str("ImpdpInfoDirObj", &R::ImpdpInfoDirObj),
        Str("IndexFile", &R::IndexFile),
        Bool("Ignore", &R::Ignore, false),
        Int("IgnoreItem", &R::IgnoreItem, 0),
        Bool("Destroy", &R::Destroy, false),
        Str("ImpPgm", &R::ImpPgm),
        Bool("Background", &R::Background, false),
        Str("ImpdpLogDirObj", &R::ImpdpLogDirObj),
        Str("LogFile", &R::LogFile, u"IMPDP.LOG"),
        Str("UserList", &R::UserList),
        Str("TableList", &R::TableList),
    };
    return rows;
}

template <>
std::span<const TOptionRow<TStatsOption>> OptionTable<TStatsOption>()
{
    using R = TStatsOption;
    static const TOptionRow<R> rows[] = {
        Str("STATSPACK", &R::StatsPack),
        Str("REPORT", &R::Report, u"REPORT.LST", Doc),
        Str("PURGE", &R::Purge),
        Str("TRUNCATE", &R::Truncate),
    };
    return rows;
}

template <>
std::span<const TOptionRow<TTrcOption>> OptionTable<TTrcOption>()
{
    using R = TTrcOption;
    static const TOptionRow<R> rows[] = {
        List("Path", &R::Path),
        Bool("TKPROF", &R::TKProf, false),
        Bool("Explan", &R::ExplainPlan, true),
        Str("PlanUser", &R::PlanUserID),
        Pass("PlanPass", &R::PlanPass),
        Str("PlanTable", &R::PlanTable),
        Bool("Aggregate", &R::Aggregate, true),
        Bool("Sys", &R::Sys, false),
        Str("Sort", &R::Sort),
        Str("Print", &R::Print),
        Str("TrcPgm", &R::TrcPgm, u"/BIN/TKPROF.EXE", TDefaultBase::ClientHome),
    };
    return rows;
}

template <>
std::span<const TOptionRow<TLockOption>> OptionTable<TLockOption>()
{
    using R = TLockOption;
    static const TOptionRow<R> rows[] = {
        List("AlertPath", &R::AlertPath),
    };
    return rows;
}

template <>
std::span<const TOptionRow<TDBTestOption>> OptionTable<TDBTestOption>()
{
    using R = TDBTestOption;
    static const TOptionRow<R> rows[] = {
        Int("Session", &R::Session, 10),
        Int("SpanTime", &R::SpanTime, 0),
        Str("UserId", &R::UserId),
        Str("Password", &R::Password),
        Bool("Error", &R::Error, true),
    };
    return rows;
}

template <>
std::span<const TOptionRow<TkdEditorSettings>> OptionTable<TkdEditorSettings>()
{
    using R = TkdEditorSettings;
    static const TOptionRow<R> rows[] = {
        Str("FontName", &R::FontName, kGothic),
        Int("FontSize", &R::FontSize, 12),
        Int("FontColor", &R::FontColor, clWindowText),
        Int("Color", &R::Color, clWindow),
        Bool("AutoIndent", &R::CaretAutoIndent, false),
        Bool("BackSpaceUnIndent", &R::CaretBackSpaceUnIndent, false),
        Bool("FreeCaret", &R::CaretFreeCaret, false),
        Bool("InTab", &R::CaretInTab, false),
        Bool("NextLine", &R::CaretNextLine, true),
        Bool("TabIndent", &R::CaretTabIndent, false),
        Bool("SoftTab", &R::CaretSoftTab, false),
        Int("TabSize", &R::CaretTabSpaceCount, 8),
        Bool("SelMove", &R::CaretSelMove, true),
        Bool("ShowRecNo", &R::LeftbarVisible, true),
        Bool("ShowRuler", &R::RulerVisible, true),
        Int("RulerSize", &R::RulerGaugeRange, 10),
        Int("EOFColor", &R::EofMarkColor, clNone),
        Int("CRColor", &R::RetMarkColor, 0x00808000),
        Int("ULColor", &R::UnderlineColor, clNone),
        Int("TABColor", &R::TabMarkColor, 0x00C0C0C0),
        Int("SemiSpaceColor", &R::SemiSpaceMarkColor, clNone),
        Int("SpaceColor", &R::SpaceMarkColor, 0x00C0C0C0),
        Int("CommentColor", &R::CommentColor, 0x00008000),
        Int("CommentBkColor", &R::CommentBkColor, clNone),
        Int("ConstColor", &R::StrColor, clNone),
        Int("ConstBkColor", &R::StrBkColor, clNone),
        Int("ReserveColor", &R::ReserveColor, 0x00FF0000),
        Int("ReserveBkColor", &R::ReserveBkColor, clNone),
        Int("SearchColor", &R::HitColor, clNone),
        Int("SearchBkColor", &R::HitBkColor, 0x00C0C0C0),
    };
    return rows;
}

template <> const char *OptionKey<TkdOption>() { return ""; }
template <> const char *OptionKey<TkdPrintOption>() { return "PRINTOPTION"; }
template <> const char *OptionKey<TScriptOption>() { return "TEXTOUT"; }
template <> const char *OptionKey<TFormatOption>() { return "FORMAT"; }
template <> const char *OptionKey<TExpOption>() { return "EXPORT"; }
template <> const char *OptionKey<TImpOption>() { return "IMPORT"; }
template <> const char *OptionKey<TLoadOption>() { return "LOADER"; }
template <> const char *OptionKey<TCompOption>() { return "COMP"; }
template <> const char *OptionKey<TPerformOption>() { return "PERFORM"; }
template <> const char *OptionKey<TExpdpOption>() { return "EXPORT_DP"; }
template <> const char *OptionKey<TImpdpOption>() { return "IMPORT_DP"; }
template <> const char *OptionKey<TStatsOption>() { return "STATSPACK"; }
template <> const char *OptionKey<TTrcOption>() { return "TRACE"; }
template <> const char *OptionKey<TLockOption>() { return "LOCK"; }
template <> const char *OptionKey<TDBTestOption>() { return "DBTEST"; }
template <> const char *OptionKey<TkdEditorSettings>() { return "EDITOR"; }

// ---------------------------------------------------------------------------------------
// Defaults

QString OptionDefaultText(const char16_t *text, TDefaultBase base)
{
    const QString tail = QString::fromUtf16(text);
    switch (base) {
    case TDefaultBase::None: return tail;
    case TDefaultBase::DocumentFolder: return DocumentFolder() + tail;
    case TDefaultBase::AppDataFolder: return AppDataFolder() + tail;
    case TDefaultBase::ClientHome: return ClientHomeFolder() + tail;
    }
    return tail;
}

namespace {

template <class R>
void ResetRow(R &record, const TOptionRow<R> &row)
{
    std::visit(
        [&](auto member) {
            auto &field = record.*member;
            using F = std::remove_reference_t<decltype(field)>;
            if constexpr (std::is_same_v<F, bool>)
                field = row.DefaultNumber != 0;
            else if constexpr (std::is_same_v<F, int> || std::is_enum_v<F>)
                field = static_cast<F>(row.DefaultNumber);
            else if constexpr (std::is_same_v<F, QString>)
                field = OptionDefaultText(row.DefaultText, row.DefaultBase);
            else if constexpr (std::is_same_v<F, QStringList>)
                field.clear();
            else if constexpr (std::is_same_v<F, QDateTime>)
                field = DaysToDateTime(static_cast<double>(row.DefaultNumber));
        },
        row.Field);
}

} // namespace

// What is derived from the stored values after every load and reset.
template <class R>
void OptionRecordLoaded(R &) {}
void OptionRecordLoaded(TkdOption &r) { r.TimeOracle = TimeOracleFormat(r.TimeDelphi); }
void OptionRecordLoaded(TkdEditorSettings &r) { r.ApplyFixedSettings(); }

template <class R>
void ResetOptionRecord(R &record)
{
    for (const TOptionRow<R> &row : OptionTable<R>())
        ResetRow(record, row);
    OptionRecordLoaded(record);
}

namespace {

template <class R>
void LoadRow(TkdRegistry &reg, R &record, const TOptionRow<R> &row)
{
    const QString name = QLatin1String(row.Value);
    std::visit(
        [&](auto member) {
            auto &field = record.*member;
            using F = std::remove_reference_t<decltype(field)>;
            if constexpr (std::is_same_v<F, bool>) {
                field = reg.GetBool(name, row.DefaultNumber != 0);
            } else if constexpr (std::is_same_v<F, int> || std::is_enum_v<F>) {
                field = static_cast<F>(reg.GetInteger(name, static_cast<int>(row.DefaultNumber)));
            } else if constexpr (std::is_same_v<F, QString>) {
                if (row.Kind == TOptionKind::Pass)
                    field = UnscramblePassword(reg.GetString(name, QString()));
                else
                    field = reg.GetString(name, OptionDefaultText(row.DefaultText, row.DefaultBase));
            } else if constexpr (std::is_same_v<F, QStringList>) {
                field = TextToList(reg.GetString(name, QString()));
            } else if constexpr (std::is_same_v<F, QDateTime>) {
                field = reg.GetDateTime(name, DaysToDateTime(static_cast<double>(row.DefaultNumber)));
            }
        },
        row.Field);
}

template <class R>
void SaveRow(TkdRegistry &reg, const R &record, const TOptionRow<R> &row)
{
    const QString name = QLatin1String(row.Value);
    std::visit(
        [&](auto member) {
            const auto &field = record.*member;
            using F = std::remove_cvref_t<decltype(field)>;
            if constexpr (std::is_same_v<F, bool>)
                reg.WriteBool(name, field);
            else if constexpr (std::is_same_v<F, int> || std::is_enum_v<F>)
                reg.WriteInteger(name, static_cast<int>(field));
            else if constexpr (std::is_same_v<F, QString>)
                reg.WriteString(name, row.Kind == TOptionKind::Pass ? ScramblePassword(field) : field);
            else if constexpr (std::is_same_v<F, QStringList>)
                reg.WriteString(name, ListToText(field));
            else if constexpr (std::is_same_v<F, QDateTime>)
                reg.WriteDateTime(name, field);
        },
        row.Field);
}

} // namespace

template <class R>
void LoadOptionRecord(TkdRegistry &reg, R &record)
{
    for (const TOptionRow<R> &row : OptionTable<R>())
        LoadRow(reg, record, row);
    OptionRecordLoaded(record);
}

template <class R>
void SaveOptionRecord(TkdRegistry &reg, const R &record)
{
    for (const TOptionRow<R> &row : OptionTable<R>())
        if (row.Written)
            SaveRow(reg, record, row);
}

#define KD_INSTANTIATE(R)                                                                  \
    template void ResetOptionRecord<R>(R &);                                               \
    template void LoadOptionRecord<R>(TkdRegistry &, R &);                                 \
    template void SaveOptionRecord<R>(TkdRegistry &, const R &);
KD_INSTANTIATE(TkdOption)
KD_INSTANTIATE(TkdPrintOption)
KD_INSTANTIATE(TScriptOption)
KD_INSTANTIATE(TFormatOption)
KD_INSTANTIATE(TExpOption)
KD_INSTANTIATE(TImpOption)
KD_INSTANTIATE(TLoadOption)
KD_INSTANTIATE(TCompOption)
KD_INSTANTIATE(TPerformOption)
KD_INSTANTIATE(TExpdpOption)
KD_INSTANTIATE(TImpdpOption)
KD_INSTANTIATE(TStatsOption)
KD_INSTANTIATE(TTrcOption)
KD_INSTANTIATE(TLockOption)
KD_INSTANTIATE(TDBTestOption)
KD_INSTANTIATE(TkdEditorSettings)
#undef KD_INSTANTIATE

void TkdOption::Reset()
{
    *this = TkdOption();
    ResetOptionRecord(*this);
}
void TkdPrintOption::Reset() { ResetOptionRecord(*this); }
void TScriptOption::Reset() { ResetOptionRecord(*this); }
void TFormatOption::Reset() { ResetOptionRecord(*this); }
void TExpOption::Reset() { ResetOptionRecord(*this); }
void TImpOption::Reset() { ResetOptionRecord(*this); }
void TLoadOption::Reset() { ResetOptionRecord(*this); }
void TCompOption::Reset() { ResetOptionRecord(*this); }
void TPerformOption::Reset() { ResetOptionRecord(*this); }
void TExpdpOption::Reset() { ResetOptionRecord(*this); }
void TImpdpOption::Reset() { ResetOptionRecord(*this); }
void TStatsOption::Reset() { ResetOptionRecord(*this); }
void TTrcOption::Reset() { ResetOptionRecord(*this); }
void TLockOption::Reset() { ResetOptionRecord(*this); }
void TDBTestOption::Reset() { ResetOptionRecord(*this); }
void TkdEditorSettings::Reset() { ResetOptionRecord(*this); }

void TkdEditorSettings::ApplyFixedSettings()
{
    FontFixedPitch = true;
    CaretAutoCursor = true;
    CaretLockScroll = false;
    CaretKeepCaret = true;
    ImagebarVisible = false;
    LeftbarLeftMargin = 2;
    LeftbarRightMargin = 2;
    LeftbarColumn = 5;
    LeftbarBkColor = clBtnFace;
    ScrollBars = ssBoth;
    EofMarkVisible = EofMarkColor != clNone;
    RetMarkVisible = RetMarkColor != clNone;
    UnderlineVisible = UnderlineColor != clNone;
    TabMarkVisible = TabMarkColor != clNone;
    SemiSpaceMarkVisible = SemiSpaceMarkColor != clNone;
    SpaceMarkVisible = SpaceMarkColor != clNone;
    MarginLeft = 2;
    Commenter = QStringLiteral("--");
    Quotation = QStringLiteral("'");
    DoubleQuotation = QStringLiteral("\"");
    // Block comments are coloured like line comments.
    Brackets = {TkdEditorBracket{QStringLiteral("/*"), QStringLiteral("*/"), CommentColor,
                                 CommentBkColor}};
    ReserveWordList = UniqueWordsCaseInsensitive(KeywordList());
}

void ResetAllOptions()
{
    TkdOption::Global().Reset();
    TkdPrintOption::Global().Reset();
    TScriptOption::Global().Reset();
    TFormatOption::Global().Reset();
    TExpOption::Global().Reset();
    TImpOption::Global().Reset();
    TLoadOption::Global().Reset();
    TCompOption::Global().Reset();
    TPerformOption::Global().Reset();
    TExpdpOption::Global().Reset();
    TImpdpOption::Global().Reset();
    TStatsOption::Global().Reset();
    TTrcOption::Global().Reset();
    TLockOption::Global().Reset();
    TDBTestOption::Global().Reset();
    TkdEditorSettings::Global().Reset();
}

void ClearAllOptions()
{
    TkdOption::Global() = TkdOption();
    TkdPrintOption::Global() = TkdPrintOption();
    TScriptOption::Global() = TScriptOption();
    TFormatOption::Global() = TFormatOption();
    TExpOption::Global() = TExpOption();
    TImpOption::Global() = TImpOption();
    TLoadOption::Global() = TLoadOption();
    TCompOption::Global() = TCompOption();
    TPerformOption::Global() = TPerformOption();
    TExpdpOption::Global() = TExpdpOption();
    TImpdpOption::Global() = TImpdpOption();
    TStatsOption::Global() = TStatsOption();
    TTrcOption::Global() = TTrcOption();
    TLockOption::Global() = TLockOption();
    TDBTestOption::Global() = TDBTestOption();
    TkdEditorSettings::Global() = TkdEditorSettings();
}

// ---------------------------------------------------------------------------------------
// Colours

namespace {

// System colour indexes of the stored form and the palette roles that stand for them.
struct TSystemColor {
    int Index;
    QPalette::ColorGroup Group;
    QPalette::ColorRole Role;
};
constexpr TSystemColor kSystemColors[] = {
    {1, QPalette::Active, QPalette::Window},            // desktop
    {4, QPalette::Active, QPalette::Window},            // menu
    {5, QPalette::Active, QPalette::Base},              // window
    {7, QPalette::Active, QPalette::WindowText},        // menu text
    {8, QPalette::Active, QPalette::Text},              // window text
    {13, QPalette::Active, QPalette::Highlight},
    {14, QPalette::Active, QPalette::HighlightedText},
    {15, QPalette::Active, QPalette::Button},           // button face
    {16, QPalette::Active, QPalette::Mid},              // button shadow
    {17, QPalette::Disabled, QPalette::Text},           // grey text
    {18, QPalette::Active, QPalette::ButtonText},
    {20, QPalette::Active, QPalette::Light},            // button highlight
    {23, QPalette::Active, QPalette::ToolTipText},      // info text
    {24, QPalette::Active, QPalette::ToolTipBase},      // info background
};

} // namespace

QColor TColorToQColor(TColor color)
{
    const quint32 c = static_cast<quint32>(color);
    if ((c & 0xFF000000u) == 0)
        return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
    if ((c & 0xFF000000u) == 0xFF000000u) {
        const int index = static_cast<int>(c & 0xFF);
        for (const TSystemColor &s : kSystemColors)
            if (s.Index == index)
                return QGuiApplication::palette().color(s.Group, s.Role);
    }
    return QColor();
}

TColor QColorToTColor(const QColor &color)
{
    if (!color.isValid())
        return clNone;
    return static_cast<TColor>(static_cast<quint32>(color.red()) | (static_cast<quint32>(color.green()) << 8)
                               | (static_cast<quint32>(color.blue()) << 16));
}

// ---------------------------------------------------------------------------------------
// Global instances (created on first use, live until the program ends).

#define KD_GLOBAL_RECORD(R)                                                                \
    R &R::Global()                                                                         \
    {                                                                                      \
        static R instance;                                                                 \
        return instance;                                                                   \
    }
KD_GLOBAL_RECORD(TkdOption)
KD_GLOBAL_RECORD(TkdPrintOption)
KD_GLOBAL_RECORD(TScriptOption)
KD_GLOBAL_RECORD(TFormatOption)
KD_GLOBAL_RECORD(TExpOption)
KD_GLOBAL_RECORD(TImpOption)
KD_GLOBAL_RECORD(TLoadOption)
KD_GLOBAL_RECORD(TCompOption)
KD_GLOBAL_RECORD(TPerformOption)
KD_GLOBAL_RECORD(TExpdpOption)
KD_GLOBAL_RECORD(TImpdpOption)
KD_GLOBAL_RECORD(TStatsOption)
KD_GLOBAL_RECORD(TTrcOption)
KD_GLOBAL_RECORD(TLockOption)
KD_GLOBAL_RECORD(TDBTestOption)
KD_GLOBAL_RECORD(TkdEditorSettings)
#undef KD_GLOBAL_RECORD

// ---------------------------------------------------------------------------------------
// Formats, lists and date-times

QString TimeOracleFormat(const QString &timeDelphi)
{
    QString s = timeDelphi;
    s.replace(QStringLiteral("hh"), QStringLiteral("hh24"), Qt::CaseInsensitive);
    s.replace(QStringLiteral("mm"), QStringLiteral("mi"), Qt::CaseInsensitive);
    s.replace(QStringLiteral("nn"), QStringLiteral("mi"), Qt::CaseInsensitive);
    return s;
}

QString DelphiToQtFormat(const QString &format)
{
    QString out;
    const qsizetype n = format.size();
    bool lastWasHour = false;
    auto run = [&](qsizetype i) {
        const QChar c = format.at(i).toLower();
        qsizetype j = i;
        while (j < n && format.at(j).toLower() == c)
            ++j;
        return j - i;
    };
    auto literal = [&](const QString &text) {
        if (text.isEmpty())
            return;
        QString t = text;
        t.replace(QLatin1Char('\''), QStringLiteral("''"));
        out += QLatin1Char('\'') + t + QLatin1Char('\'');
    };
    for (qsizetype i = 0; i < n;) {
        const QChar ch = format.at(i);
        const QChar c = ch.toLower();
        if (ch == QLatin1Char('"') || ch == QLatin1Char('\'')) {
            const qsizetype end = format.indexOf(ch, i + 1);
            const qsizetype stop = end < 0 ? n : end;
            literal(format.mid(i + 1, stop - i - 1));
            i = stop + 1;
            continue;
        }
        if (format.mid(i, 5).compare(QLatin1String("am/pm"), Qt::CaseInsensitive) == 0) {
            out += QStringLiteral("AP");
            i += 5;
            continue;
        }
        if (format.mid(i, 4).compare(QLatin1String("ampm"), Qt::CaseInsensitive) == 0
            || format.mid(i, 3).compare(QLatin1String("a/p"), Qt::CaseInsensitive) == 0) {
            const bool ampm = format.mid(i, 4).compare(QLatin1String("ampm"), Qt::CaseInsensitive) == 0;
            out += QStringLiteral("AP");
            i += ampm ? 4 : 3;
            continue;
        }
        const qsizetype len = run(i);
        if (c == QLatin1Char('y')) {
            out += len <= 2 ? QStringLiteral("yy") : QStringLiteral("yyyy");
            lastWasHour = false;
        } else if (c == QLatin1Char('m')) {
            if (lastWasHour && len <= 2)
                out += len == 1 ? QStringLiteral("m") : QStringLiteral("mm");
            else
                out += QString(qMin<qsizetype>(len, 4), QLatin1Char('M'));
            lastWasHour = false;
        } else if (c == QLatin1Char('n')) {
            out += len == 1 ? QStringLiteral("m") : QStringLiteral("mm");
            lastWasHour = false;
        } else if (c == QLatin1Char('d')) {
            out += QString(qMin<qsizetype>(len, 4), QLatin1Char('d'));
            lastWasHour = false;
        } else if (c == QLatin1Char('h')) {
            out += len == 1 ? QStringLiteral("H") : QStringLiteral("HH");
            lastWasHour = true;
        } else if (c == QLatin1Char('s')) {
            out += len == 1 ? QStringLiteral("s") : QStringLiteral("ss");
        } else if (c == QLatin1Char('z')) {
            out += len >= 3 ? QStringLiteral("zzz") : QStringLiteral("z");
        } else if (ch.isLetter()) {
            literal(format.mid(i, len));
        } else {
            out += ch;  // separators and punctuation
            i += 1;
            continue;
        }
        i += len;
    }
    return out;
}

TkdFormatSettings &TkdFormatSettings::Global()
{
    static TkdFormatSettings settings;
    return settings;
}

void ApplyDateTimeFormats(const QString &dateFormat, const QString &timeFormat)
{
    TkdFormatSettings &f = TkdFormatSettings::Global();
    f.ShortDateFormat = dateFormat;
    f.LongDateFormat = dateFormat;
    f.ShortTimeFormat = timeFormat;
    f.LongTimeFormat = timeFormat;
}

QString TkdOption::QtDateFormat() const { return DelphiToQtFormat(DateFormat); }
QString TkdOption::QtTimeFormat() const { return DelphiToQtFormat(TimeDelphi); }

QString ListToText(const QStringList &list)
{
    QString text;
    for (const QString &line : list)
        text += line + QStringLiteral("\r\n");
    return text;
}

QStringList TextToList(const QString &text)
{
    QStringList list;
    const qsizetype n = text.size();
    qsizetype start = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            list.append(text.mid(start, i - start));
            if (c == QLatin1Char('\r') && i + 1 < n && text.at(i + 1) == QLatin1Char('\n'))
                ++i;
            start = i + 1;
        }
    }
    if (start < n)
        list.append(text.mid(start));
    return list;
}

namespace {
QDateTime DayZero() { return QDateTime(QDate(1899, 12, 30), QTime(0, 0)); }
} // namespace

double DateTimeToDays(const QDateTime &dt)
{
    if (!dt.isValid())
        return 0.0;
    const QDateTime zero = DayZero();
    const qint64 days = zero.date().daysTo(dt.date());
    const double frac = dt.time().msecsSinceStartOfDay() / 86400000.0;
    // The class library counts days before 1899-12-30 negative with a positive fraction.
    return days >= 0 ? days + frac : days - frac;
}

QDateTime DaysToDateTime(double days)
{
    const double whole = days >= 0 ? std::floor(days) : std::ceil(days);
    const double frac = std::fabs(days - whole);
    const QDate date = DayZero().date().addDays(static_cast<qint64>(whole));
    const int ms = qBound(0, static_cast<int>(std::llround(frac * 86400000.0)), 86399999);
    return QDateTime(date, QTime::fromMSecsSinceStartOfDay(ms));
}
