// The option records: defaults on an empty store, a full round trip of every field, the
// names and kinds of the stored values, and the values derived at load.
#include "options_fixture.h"
#include "settings_fixture.h"
#include "support/qstring_printer.h"

#include "core/kdshortcut.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPalette>
#include <QSet>
#include <map>

using settings::SettingsStore;
using settings::Value;
using settings::ValueType;

namespace {

const QString kMain = QStringLiteral("\\Software\\Tarnwell\\ZUMAQ");

QString KeyPath(const QString &sub) { return sub.isEmpty() ? kMain : kMain + QLatin1Char('\\') + sub; }

// The documented defaults that are not false, 0 or empty, by key and value name.
// "{doc}", "{app}" and "{home}" stand for the documents, data and client home folders.
const std::map<std::pair<QString, QString>, QVariant> &DocumentedDefaults()
{
    static const auto table = [] {
        std::map<std::pair<QString, QString>, QVariant> t;
        auto add = [&](const char *key, std::initializer_list<std::pair<const char *, QVariant>> rows) {
            for (const auto &[name, v] : rows)
                t[{QLatin1String(key), QLatin1String(name)}] = v;
        };
        const QString gothic = QStringLiteral("ＭＳ ゴシック");
        add("", {{"ShowLevel0", true}, {"ShowLevel1", true}, {"TypeTable", true}, {"TypeIndex", true},
                 {"TypeView", true}, {"TypeFunc", true}, {"TypeType", true}, {"TypeTrigger", true},
                 {"TypeRule", true}, {"TypeSeq", true}, {"TypeConst", true}, {"Progress", true},
                 {"Find", true}, {"FindAuto", true}, {"CloseDDL", true}, {"BackupData", true},
                 {"ShowStorageSource", true}, {"ShowColumnSource", true},
                 {"SaveBeforeSrcDir", "{app}"}, {"SaveAfterSrcDir", "{app}"}, {"DataFontSize", 10},
                 {"DataFontName", gothic}, {"DataColWidthV", 30}, {"DataColWidthH", 20},
                 {"ShowWhereGrid", true}, {"WhereAutoQuote", true}, {"DefTopRecord", 1000},
                 {"DateFormat", "yyyy/MM/dd"}, {"TimeFormat", "HH:mm:ss"}, {"AddStripe", true},
                 {"SQLBuf", 32}, {"UsePartial", true}, {"DiagramFontSize", 9},
                 {"DiagramFontName", gothic}, {"GridFontSize", 9}, {"GridFontName", gothic},
                 {"FileDir", "{doc}"}, {"ExcelDir", "{doc}"},
                 {"ExcelFormMatrix", "{app}xlsdef/kdmatrix.xls"}, {"ExcelMatrixRow", 60},
                 {"ExcelMatrixCol", 30}, {"CrossLevel", 3}, {"DataGenCommit", 50},
                 {"UpdateToCommit", true}, {"UpdateMode", true}, {"UserUpperName", true},
                 {"CodeAssist", true}, {"TempDir", "{app}temp/"}, {"CharacterSet", "UTF8"}, {"ConnectTimeout", 30},
                 {"Encoding", 2}, {"IdxRebuild", 20}, {"SleepTime", 70}});
        add("PRINTOPTION", {{"LeftMargin", 20}, {"TopMargin", 20}, {"RightMargin", 20},
                            {"BottomMargin", 20}, {"FontName", gothic}, {"FontSize", 10}});
        add("TEXTOUT", {{"SameName", true}, {"Path", "{doc}"}, {"Schema", 1}, {"Storage", true},
                        {"ViewCol", true}});
        add("FORMAT", {{"Indent", 4}, {"ItemTrans", 2}});
        add("EXPORT", {{"FileName", "{doc}bkupdat.dmp"}, {"LogFile", "{doc}psql_bkup.log"}});
        add("IMPORT", {{"FileName", "{doc}bkupdat.dmp"}, {"LogFile", "{doc}psql_res.log"}});
        add("LOADER", {{"SaveDir", "{doc}"}, {"HeaderTo", true}, {"ForceQuote", true},
                       {"OidFrom", true}, {"HeaderFrom", true}, {"ForceNotNull", true}});
        add("COMP", {{"Equrl", true}, {"NotEqurl", true}, {"Only1", true}, {"Only2", true}});
        add("PERFORM", {{"LastAutoSave", QDateTime(QDate(1899, 12, 30), QTime(0, 0))}});
        add("EXPORT_DP", {{"FileName", "EXPDPDAT.DMP"}, {"Grants", true}, {"Indexes", true},
                          {"Rows", true}, {"Constraints", true}, {"LogFile", "EXPDP.LOG"}});
        add("IMPORT_DP", {{"FileName", "EXPDPDAT.DMP"}, {"Grants", true}, {"Indexes", true},
                          {"Rows", true}, {"Constraints", true}, {"LogFile", "IMPDP.LOG"}});
        add("STATSPACK", {{"REPORT", "{doc}REPORT.LST"}});
        add("TRACE", {{"Explan", true}, {"Aggregate", true}, {"TrcPgm", "{home}/BIN/TKPROF.EXE"}});
        add("DBTEST", {{"Session", 10}, {"Error", true}});
        add("EDITOR", {{"FontName", gothic}, {"FontSize", 12},
                       {"FontColor", static_cast<int>(0xFF000008)},
                       {"Color", static_cast<int>(0xFF000005)}, {"NextLine", true}, {"TabSize", 8},
                       {"SelMove", true}, {"ShowRecNo", true}, {"ShowRuler", true}, {"RulerSize", 10},
                       {"EOFColor", 0x1FFFFFFF}, {"CRColor", 0x00808000}, {"ULColor", 0x1FFFFFFF},
                       {"TABColor", 0x00C0C0C0}, {"SemiSpaceColor", 0x1FFFFFFF},
                       {"SpaceColor", 0x00C0C0C0}, {"CommentColor", 0x00008000},
                       {"CommentBkColor", 0x1FFFFFFF}, {"ConstColor", 0x1FFFFFFF},
                       {"ConstBkColor", 0x1FFFFFFF}, {"ReserveColor", 0x00FF0000},
                       {"ReserveBkColor", 0x1FFFFFFF}, {"SearchColor", 0x1FFFFFFF},
                       {"SearchBkColor", 0x00C0C0C0}});
        return t;
    }();
    return table;
}

QVariant Expected(const QString &key, const OptionRowView &row)
{
    const auto &t = DocumentedDefaults();
    const auto it = t.find({key, row.Name});
    if (it == t.end()) {
        switch (row.Kind) {
        case TOptionKind::Bool: return false;
        case TOptionKind::Int: return 0;
        case TOptionKind::List: return QStringList();
        default: return QString();
        }
    }
    QVariant v = it->second;
    if (row.Kind == TOptionKind::Str) {
        QString s = v.toString();
        s.replace(QStringLiteral("{doc}"), DocumentFolder());
        s.replace(QStringLiteral("{app}"), AppDataFolder());
        s.replace(QStringLiteral("{home}"), ClientHomeFolder());
        v = s;
    }
    return v;
}

// The number of values each key holds after a save.
const std::map<QString, int> kValueCounts = {
    {QString(), 84},        {QStringLiteral("PRINTOPTION"), 7}, {QStringLiteral("TEXTOUT"), 14},
    {QStringLiteral("FORMAT"), 7},       {QStringLiteral("EXPORT"), 31},
    {QStringLiteral("IMPORT"), 26},      {QStringLiteral("LOADER"), 22},
    {QStringLiteral("COMP"), 4},         {QStringLiteral("PERFORM"), 1},
    {QStringLiteral("EXPORT_DP"), 12},   {QStringLiteral("IMPORT_DP"), 19},
    {QStringLiteral("STATSPACK"), 4},    {QStringLiteral("TRACE"), 11},
    {QStringLiteral("LOCK"), 1},         {QStringLiteral("DBTEST"), 5},
    {QStringLiteral("EDITOR"), 30},
};

} // namespace

class OptionsTest : public FreshSettingsTest {};

TEST_F(OptionsTest, EmptyStoreGivesEveryDocumentedDefault)
{
    WriteFile(MachineFile(), "[\\SOFTWARE\\ORACLE]\n\"ORACLE_HOME\"=\"/opt/client\"\n");
    Restart();
    ReadClientHomeFolder();
    EXPECT_EQ(ClientHomeFolder(), QStringLiteral("/opt/client"));
    EXPECT_TRUE(LoadSettings().isEmpty());
    int checked = 0;
    for (const OptionGroupView &g : AllGroupViews())
        for (const OptionRowView &row : g.Rows()) {
            EXPECT_EQ(row.Value, Expected(g.Key, row)) << qPrintable(g.Key + QLatin1Char('/') + row.Name);
            ++checked;
        }
    EXPECT_EQ(checked, 282);
    // A few fields by name, where the value name differs from the field.
    EXPECT_TRUE(TkdOption::Global().UseLowerName);
    EXPECT_EQ(TkdOption::Global().TempDir, AppDataFolder() + QStringLiteral("temp/"));
    EXPECT_EQ(TkdOption::Global().TimeOracle, QStringLiteral("hh24:mi:ss"));
    EXPECT_EQ(TScriptOption::Global().Owner, 1);
    EXPECT_EQ(TTrcOption::Global().TrcPgm, QStringLiteral("/opt/client/BIN/TKPROF.EXE"));
    // Reset() gives what an empty store gives.
    const auto loaded = AllGroupViews();
    std::vector<std::vector<OptionRowView>> before;
    for (const auto &g : loaded)
        before.push_back(g.Rows());
    ResetAllOptions();
    for (size_t i = 0; i < loaded.size(); ++i) {
        const auto after = loaded[i].Rows();
        for (size_t r = 0; r < after.size(); ++r)
            EXPECT_EQ(after[r].Value, before[i][r].Value) << qPrintable(after[r].Name);
    }
}

TEST_F(OptionsTest, FirstExitLeavesEveryKeyAndValue)
{
    LoadSettings();
    EXPECT_TRUE(SaveSettings().isEmpty());
    SettingsStore store(ConfigFile());
    for (const auto &[sub, count] : kValueCounts)
        EXPECT_EQ(store.valueNames(KeyPath(sub)).size(), count) << qPrintable(sub);
    EXPECT_EQ(store.valueNames(KeyPath(QStringLiteral("SHORTCUT"))).size(), 0);  // no main window
    EXPECT_EQ(store.valueNames(KeyPath(QStringLiteral("RESERVE"))).size(), 397);
    const QStringList subs = store.subKeys(kMain);
    for (const char *k : {"PRINTOPTION", "SHORTCUT", "TEXTOUT", "EXPORT", "IMPORT", "EXPORT_DP", "IMPORT_DP",
                          "LOADER", "STATSPACK", "TRACE", "COMP", "PERFORM", "LOCK", "FORMAT", "DBTEST",
                          "RESERVE", "EDITOR"})
        EXPECT_TRUE(subs.contains(QLatin1String(k))) << k;
}

TEST_F(OptionsTest, StoredValuesHaveTheirNamesAndKinds)
{
    LoadSettings();
    ASSERT_TRUE(SaveSettings().isEmpty());
    SettingsStore store(ConfigFile());
    for (const OptionGroupView &g : AllGroupViews())
        for (const OptionRowView &row : g.Rows()) {
            const auto v = store.value(KeyPath(g.Key), row.Name);
            const QString where = g.Key + QLatin1Char('/') + row.Name;
            if (!row.Written) {
                EXPECT_FALSE(v.has_value()) << qPrintable(where);
                continue;
            }
            ASSERT_TRUE(v.has_value()) << qPrintable(where);
            switch (row.Kind) {
            case TOptionKind::Bool:
                EXPECT_EQ(v->type, ValueType::DWord) << qPrintable(where);
                EXPECT_LE(v->dword, 1u) << qPrintable(where);
                break;
            case TOptionKind::Int: EXPECT_EQ(v->type, ValueType::DWord) << qPrintable(where); break;
            case TOptionKind::DateTime:
                EXPECT_EQ(v->type, ValueType::Binary) << qPrintable(where);
                EXPECT_EQ(v->binary.size(), 8) << qPrintable(where);
                break;
            default: EXPECT_EQ(v->type, ValueType::String) << qPrintable(where);
            }
        }
    // Names as the stored file spells them, where they differ from the fields.
    struct Spot {
        const char *Key, *Name;
        ValueType Type;
    };
    for (const Spot &s : {Spot{"", "UserUpperName", ValueType::DWord}, Spot{"", "TimeFormat", ValueType::String},
                          Spot{"", "SaveBeforeSource", ValueType::DWord}, Spot{"", "AlertLogPas", ValueType::String},
                          Spot{"TEXTOUT", "SubDir", ValueType::DWord}, Spot{"TEXTOUT", "Schema", ValueType::DWord},
                          Spot{"EXPORT", "FileName", ValueType::String}, Spot{"TRACE", "Explan", ValueType::DWord},
                          Spot{"TRACE", "PlanUser", ValueType::String}, Spot{"TRACE", "TKPROF", ValueType::DWord},
                          Spot{"EDITOR", "ShowRecNo", ValueType::DWord}, Spot{"EDITOR", "TabSize", ValueType::DWord},
                          Spot{"PRINTOPTION", "LeftMargin", ValueType::DWord},
                          Spot{"PERFORM", "LastAutoSave", ValueType::Binary}}) {
        const auto v = store.value(KeyPath(QLatin1String(s.Key)), QLatin1String(s.Name));
        ASSERT_TRUE(v.has_value()) << s.Key << "/" << s.Name;
        EXPECT_EQ(v->type, s.Type) << s.Key << "/" << s.Name;
    }
    for (const char *never : {"ExcelExt", "CLOB_TO_CHAR", "CharacterSet", "ConnectTimeout"})
        EXPECT_FALSE(store.value(kMain, QLatin1String(never)).has_value()) << never;
    EXPECT_EQ(store.value(KeyPath(QStringLiteral("EDITOR")), QStringLiteral("FontColor"))->dword, 0xFF000008u);
}

TEST_F(OptionsTest, EveryFieldSurvivesSaveAndLoad)
{
    LoadSettings();
    const auto groups = AllGroupViews();
    std::vector<std::vector<OptionRowView>> filled;
    for (const auto &g : groups) {
        g.Fill(1);
        filled.push_back(g.Rows());
    }
    ASSERT_TRUE(SaveSettings().isEmpty());
    Restart();
    ASSERT_TRUE(LoadSettings().isEmpty());
    for (size_t i = 0; i < groups.size(); ++i) {
        const auto loaded = groups[i].Rows();
        for (size_t r = 0; r < loaded.size(); ++r) {
            const QString where = groups[i].Key + QLatin1Char('/') + loaded[r].Name;
            if (loaded[r].Written)
                EXPECT_EQ(loaded[r].Value, filled[i][r].Value) << qPrintable(where);
            else
                EXPECT_EQ(loaded[r].Value, Expected(groups[i].Key, loaded[r])) << qPrintable(where);
        }
    }
}

TEST_F(OptionsTest, HandStoredValuesAreReadAsDocumented)
{
    QDir().mkpath(QFileInfo(ConfigFile()).absolutePath());
    WriteFile(ConfigFile(),
              "[\\Software\\Tarnwell\\ZUMAQ]\n"
              "\"UserUpperName\"=dword:00000000\n"
              "\"OpenMode\"=dword:00000004\n"
              "\"DataFontName\"=\"\"\n"               // empty counts as missing
              "\"SQLBuf\"=\"64\"\n"                   // wrong kind
              "\"DefTopRecord\"=hex:01,00,00,00\n"    // wrong kind
              "\"TimeFormat\"=\"hh:nn:ss\"\n"
              "\"ExcelExt\"=\".XLSX\"\n"
              "\"CLOB_TO_CHAR\"=dword:00000001\n"
              "\"CharacterSet\"=\"SJIS\"\n"
              "\"AlertLogPas\"=\"db1=/log/a/\\r\\ndb2=/log/b/\\r\\n\"\n"
              "[\\Software\\Tarnwell\\ZUMAQ\\TEXTOUT]\n"
              "\"NameTable\"=\"a=x\\r\\nb=y\\r\\n\"\n"
              "[\\Software\\Tarnwell\\ZUMAQ\\PERFORM]\n"
              "\"LastAutoSave\"=hex:00,00,00,00\n"      // wrong size
              "[\\Software\\Tarnwell\\ZUMAQ\\EDITOR]\n"
              "\"EOFColor\"=dword:000000ff\n"
              "\"CRColor\"=dword:1fffffff\n"
              "\"FontSize\"=dword:00000010\n"
              "[\\Software\\Tarnwell\\ZUMAQ\\PRINTOPTION]\n"
              "\"FontSize\"=dword:00000008\n");
    Restart();
    ASSERT_TRUE(LoadSettings().isEmpty());
    const TkdOption &o = TkdOption::Global();
    EXPECT_FALSE(o.UseLowerName);
    EXPECT_EQ(o.OpenMode, omGrant);
    EXPECT_EQ(o.DataFontName, QStringLiteral("ＭＳ ゴシック"));
    EXPECT_EQ(o.SQLBuf, 32);
    EXPECT_EQ(o.DefTopRecord, 1000);
    EXPECT_EQ(o.TimeOracle, QStringLiteral("hh24:mi:ss"));
    EXPECT_EQ(o.ExcelExt, QStringLiteral(".XLSX"));
    EXPECT_TRUE(o.CLOB_TO_CHAR);
    EXPECT_EQ(o.CharacterSet, QStringLiteral("SJIS"));
    EXPECT_EQ(o.AlertLogPas, (QStringList{"db1=/log/a/", "db2=/log/b/"}));
    EXPECT_EQ(TScriptOption::Global().NameTable, (QStringList{"a=x", "b=y"}));
    EXPECT_EQ(LastAutoSave(), QDateTime(QDate(1899, 12, 30), QTime(0, 0)));
    const TkdEditorSettings &e = TkdEditorSettings::Global();
    EXPECT_TRUE(e.EofMarkVisible);
    EXPECT_FALSE(e.RetMarkVisible);
    EXPECT_EQ(e.FontSize, 16);
    EXPECT_EQ(TkdPrintOption::Global().FontSize, 8);

    // The values the program never writes stay as they were entered.
    TkdOption::Global().ExcelExt = QStringLiteral(".XLS");
    ASSERT_TRUE(SaveSettings().isEmpty());
    SettingsStore store(ConfigFile());
    EXPECT_EQ(store.value(kMain, QStringLiteral("ExcelExt"))->text, QStringLiteral(".XLSX"));
    EXPECT_EQ(store.value(kMain, QStringLiteral("CharacterSet"))->text, QStringLiteral("SJIS"));
    EXPECT_EQ(store.value(kMain, QStringLiteral("CLOB_TO_CHAR"))->dword, 1u);
}

TEST_F(OptionsTest, EditorSettingsSetTheirFixedValues)
{
    LoadSettings();
    const TkdEditorSettings &e = TkdEditorSettings::Global();
    EXPECT_TRUE(e.FontFixedPitch);
    EXPECT_TRUE(e.CaretAutoCursor);
    EXPECT_FALSE(e.CaretLockScroll);
    EXPECT_TRUE(e.CaretKeepCaret);
    EXPECT_FALSE(e.ImagebarVisible);
    EXPECT_EQ(e.LeftbarLeftMargin, 2);
    EXPECT_EQ(e.LeftbarRightMargin, 2);
    EXPECT_EQ(e.LeftbarColumn, 5);
    EXPECT_EQ(e.LeftbarBkColor, clBtnFace);
    EXPECT_EQ(e.ScrollBars, ssBoth);
    EXPECT_EQ(e.MarginLeft, 2);
    EXPECT_EQ(e.Commenter, QStringLiteral("--"));
    EXPECT_EQ(e.Quotation, QStringLiteral("'"));
    EXPECT_EQ(e.DoubleQuotation, QStringLiteral("\""));
    // Marks: CR teal, TAB and space silver; EOF, underline and semi-space hidden.
    EXPECT_TRUE(e.RetMarkVisible);
    EXPECT_TRUE(e.TabMarkVisible);
    EXPECT_TRUE(e.SpaceMarkVisible);
    EXPECT_FALSE(e.EofMarkVisible);
    EXPECT_FALSE(e.UnderlineVisible);
    EXPECT_FALSE(e.SemiSpaceMarkVisible);
    ASSERT_EQ(e.Brackets.size(), 1);
    EXPECT_EQ(e.Brackets.first(), (TkdEditorBracket{QStringLiteral("/*"), QStringLiteral("*/"), 0x00008000, clNone}));
    EXPECT_EQ(e.ReserveWordList.size(), 397);
}

TEST_F(OptionsTest, PasswordsAreStoredScrambledExceptTheLoadTestOne)
{
    LoadSettings();
    TExpdpOption::Global().Pass = QStringLiteral("tiger");
    TTrcOption::Global().PlanPass = QStringLiteral(" 秘密 ");
    TDBTestOption::Global().Password = QStringLiteral("plain");
    ASSERT_TRUE(SaveSettings().isEmpty());
    const QString first = SettingsStore(ConfigFile()).value(KeyPath(QStringLiteral("EXPORT_DP")), QStringLiteral("Pass"))->text;
    EXPECT_EQ(first.size(), 132);
    // The scrambled text starts from a random byte, so two saves agree once in 256; over
    // several saves the stored text must change.
    QSet<QString> seen{first};
    for (int i = 0; i < 8 && seen.size() < 2; ++i) {
        ASSERT_TRUE(SaveSettings().isEmpty());
        seen.insert(SettingsStore(ConfigFile()).value(KeyPath(QStringLiteral("EXPORT_DP")), QStringLiteral("Pass"))->text);
    }
    EXPECT_GE(seen.size(), 2);
    SettingsStore store(ConfigFile());
    EXPECT_FALSE(FileText().contains(QStringLiteral("tiger")));
    EXPECT_EQ(store.value(KeyPath(QStringLiteral("DBTEST")), QStringLiteral("Password"))->text, QStringLiteral("plain"));
    EXPECT_EQ(store.value(KeyPath(QStringLiteral("IMPORT_DP")), QStringLiteral("Pass"))->text, QString());

    Restart();
    LoadSettings();
    EXPECT_EQ(TExpdpOption::Global().Pass, QStringLiteral("tiger"));
    EXPECT_EQ(TTrcOption::Global().PlanPass, QStringLiteral(" 秘密 "));
    EXPECT_EQ(TDBTestOption::Global().Password, QStringLiteral("plain"));
    EXPECT_EQ(TImpdpOption::Global().Pass, QString());
}

TEST_F(OptionsTest, SaveGoesOnPastAGroupThatFailsAndReportsOnce)
{
    LoadSettings();
    // Every write fails: the file's place is taken by a folder that cannot be replaced.
    ASSERT_TRUE(QFile::remove(ConfigFile()));
    ASSERT_TRUE(QDir().mkpath(ConfigFile() + QStringLiteral("/blocker")));
    Restart();
    LoadSettings();
    const QStringList warnings = SaveSettings();
    ASSERT_EQ(warnings.size(), 1);
    for (const char *group : {"PRINTOPTION", "SHORTCUT", "TEXTOUT", "EDITOR", "RESERVE", "DBTEST"})
        EXPECT_TRUE(warnings.first().contains(QLatin1String(group))) << group;

    // Once the place is free again, the next save writes everything.
    QDir(ConfigFile()).removeRecursively();
    EXPECT_TRUE(SaveSettings().isEmpty());
    EXPECT_EQ(SettingsStore(ConfigFile()).valueNames(KeyPath(QStringLiteral("EDITOR"))).size(), 30);
}

TEST(OptionFormats, TimeOracleConvertsHoursAndMinutes)
{
    const std::pair<const char *, const char *> cases[] = {
        {"HH:mm:ss", "hh24:mi:ss"},
        {"hh:nn:ss", "hh24:mi:ss"},
        {"HH:MM", "hh24:mi"},
        {"HH:NN", "hh24:mi"},
        {"", ""},
    };
    for (const auto &[in, out] : cases)
        EXPECT_EQ(TimeOracleFormat(QLatin1String(in)), QLatin1String(out)) << in;
}

TEST(OptionFormats, ClassLibraryFormatsBecomeQtFormats)
{
    const std::pair<const char *, const char *> cases[] = {
        {"yyyy/MM/dd", "yyyy/MM/dd"},
        {"yy/mm/dd", "yy/MM/dd"},
        {"HH:mm:ss", "HH:mm:ss"},
        {"hh:nn:ss", "HH:mm:ss"},
        {"h:n", "H:m"},
        {"yyyy-mm-dd hh:nn:ss.zzz", "yyyy-MM-dd HH:mm:ss.zzz"},
        {"hh:mm am/pm", "HH:mm AP"},
        {"dd \"de\" mmmm", "dd 'de' MMMM"},
    };
    const QDateTime sample(QDate(2024, 3, 9), QTime(14, 5, 7, 250));
    for (const auto &[in, out] : cases)
        EXPECT_EQ(DelphiToQtFormat(QLatin1String(in)), QLatin1String(out)) << in;
    EXPECT_EQ(sample.toString(DelphiToQtFormat(QStringLiteral("yyyy/mm/dd hh:nn:ss"))),
              QStringLiteral("2024/03/09 14:05:07"));
}

TEST(OptionFormats, ListsAndDateTimesConvertBothWays)
{
    const std::pair<QStringList, const char *> lists[] = {
        {{}, ""}, {{"a"}, "a\r\n"}, {{"a", "", "b"}, "a\r\n\r\nb\r\n"},
    };
    for (const auto &[list, text] : lists) {
        EXPECT_EQ(ListToText(list), QLatin1String(text));
        EXPECT_EQ(TextToList(QLatin1String(text)), list);
    }
    EXPECT_EQ(TextToList(QStringLiteral("a\nb\rc")), (QStringList{"a", "b", "c"}));

    const std::pair<double, QDateTime> dates[] = {
        {0.0, QDateTime(QDate(1899, 12, 30), QTime(0, 0))},
        {2.25, QDateTime(QDate(1900, 1, 1), QTime(6, 0))},
        {-1.5, QDateTime(QDate(1899, 12, 29), QTime(12, 0))},
        {45000.5, QDateTime(QDate(2023, 3, 15), QTime(12, 0))},
    };
    for (const auto &[days, dt] : dates) {
        EXPECT_EQ(DaysToDateTime(days), dt) << days;
        EXPECT_DOUBLE_EQ(DateTimeToDays(dt), days);
    }
}

TEST(OptionColors, StoredColoursBecomeQColors)
{
    const QPalette pal = QGuiApplication::palette();
    const std::pair<TColor, QColor> cases[] = {
        {0x00808000, QColor(0x00, 0x80, 0x80)},   // teal: $00BBGGRR
        {0x00FF0000, QColor(0x00, 0x00, 0xFF)},   // blue
        {0x00C0C0C0, QColor(0xC0, 0xC0, 0xC0)},
        {clWindow, pal.color(QPalette::Active, QPalette::Base)},
        {clWindowText, pal.color(QPalette::Active, QPalette::Text)},
        {clBtnFace, pal.color(QPalette::Active, QPalette::Button)},
        {clNone, QColor()},
    };
    for (const auto &[stored, color] : cases)
        EXPECT_EQ(TColorToQColor(stored), color) << std::hex << stored;
    EXPECT_EQ(QColorToTColor(QColor(0x00, 0x80, 0x80)), 0x00808000);
    EXPECT_EQ(QColorToTColor(QColor()), clNone);
}
