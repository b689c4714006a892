// Opening object windows and writing object scripts through the editor table, with fake
// editors on a connection window without a server: the per-code argument table, the
// dispatch of every code, duplicate windows, errors while a window is built, the script
// sinks, and the editor contract kit run on a fake editor.
#include "app/fmain.h"
#include "app/stubconn.h"
#include "core/kdeditorreg.h"
#include "core/kdsub_msg.h"
#include "core/kdsub_options.h"
#include "core/kdsub_service.h"
#include "platform/db/dberror.h"
#include "support/editor_contract.h"
#include "support/qstring_printer.h"
#include "core/msghook.h"

#include <QApplication>
#include <QBuffer>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTabWidget>
#include <gtest/gtest.h>

namespace {

void Flush()
{
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

struct TReceived {
    int EditorCode;
    TObjectArgs Args;
};

// A fake editor: caption by editor code and object, one window per caption, pages for
// omDefine, omSource and omData (other modes show the first page), "missing" objects
// reported once and refused.
class FakeEditor : public TkdForm
{
public:
    FakeEditor(TkdConnForm *owner, const QString &caption, const TObjectArgs &args) : TkdForm(owner->Widget())
    {
        setWindowTitle(caption);
        auto *pages = new QTabWidget(this);
        for (const char *name : {"定義", "ソース", "データ"})
            pages->addTab(new QWidget, QString::fromUtf8(name));
        InitForm();
        SetIsNew(args.ObjectName.isEmpty());
        const int page = args.OpenMode == omSource ? 1 : args.OpenMode == omData ? 2 : 0;
        pages->setCurrentIndex(page);
    }
};

// The stand-in connection window answers OpenObject as the real one does: through the table.
class OpenerConn : public StubConnForm
{
public:
    using StubConnForm::StubConnForm;
    QWidget *OpenObject(int ObjectType, const QString &Schema, const QString &ObjectName, TOpenMode OpenMode,
                        bool ShowRefObject, int DefTopRecord, quint32 OID, const QString &TableName) override
    {
        return OpenObjectWindow(this, ObjectType, Schema, ObjectName, OpenMode, ShowRefObject, DefTopRecord, OID,
                                TableName);
    }
};

class OpenerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        SetLogonProc({});
        Main = new TfrmMain;
        Main->SetCloseSteps({});
        Main->show();
        Flush();
        Conn = new OpenerConn(QStringLiteral("sample_manager"), QStringLiteral("vantor_sample"),
                              QStringLiteral("localhost"), QStringLiteral("5432"));
        Main->AddChildWindow(Conn);
        Main->AddConnection(Conn);
        Flush();
        ClearEditorRegistry();
        Received.clear();
    }
    void TearDown() override
    {
        ClearEditorRegistry();
        Main->SetCloseSteps({});
        Main->close();
        delete Main;
        Flush();
    }

    // Registers a fake editor under every editor code.
    void RegisterFakes(const QList<int> &codes = {2, 4, 45, 46, 47, 51, 52, 55, 57, 58, 66, 68, 69, 127})
    {
        for (int code : codes)
            RegisterEditor(code, [this, code](TkdConnForm *owner, const TObjectArgs &args) -> QWidget * {
                Received.append({code, args});
                if (args.ObjectName.startsWith(QLatin1String("missing"))) {
                    ShowMessageBox(QStringLiteral("オブジェクトが存在しません。"), MB_ICONWARNING | MB_OK);
                    throw EAbort();
                }
                if (args.ObjectName == QLatin1String("lost"))
                    throw db::Error(db::Error::Kind::ConnectionLost, QStringLiteral("サーバとの接続が切れました。"));
                QString caption = QStringLiteral("FAKE%1 - ").arg(code) + owner->Identity() + QLatin1Char(' ')
                    + args.Schema + QLatin1Char('.') + args.ObjectName;
                if (args.ObjectName.isEmpty())
                    caption += QString::number(++FNewCount);
                if (TkdMainForm::Instance()->FindWindow(&TkdForm::staticMetaObject, caption, true))
                    throw EAbort();
                auto *w = new FakeEditor(owner, caption, args);
                TkdMainForm::Instance()->AddChildWindow(w);
                return w;
            }, [code](TkdConnForm *, const TObjectArgs &args, TScriptSink &sink) {
                if (args.ObjectName.startsWith(QLatin1String("missing")))
                    throw EAbort();
                sink.WriteScript({QStringLiteral("-- %1 %2").arg(code).arg(args.OID),
                                  QStringLiteral("CREATE FAKE \"%1\".\"%2\" 表").arg(args.Schema, args.ObjectName),
                                  QString(), QStringLiteral(";")});
                throw EAbort();
            });
    }

    QWidget *Open(int code, const QString &schema, const QString &name, TOpenMode mode = omDefine,
                  int top = 0, quint32 oid = 0, const QString &table = QString(), bool ref = false)
    {
        return Conn->OpenObject(code, schema, name, mode, ref, top, oid, table);
    }
    void CloseAll()
    {
        for (QWidget *w : Main->ChildWindows())
            if (w != Conn)
                editor_contract::CloseWindow(w);
        Flush();
    }

    TfrmMain *Main = nullptr;
    OpenerConn *Conn = nullptr;
    QList<TReceived> Received;
    int FNewCount = 0;
};

TObjectArgs Args(int type, const QString &schema, const QString &name, TOpenMode mode = omDefine, int top = 0,
                 quint32 oid = 0, const QString &table = QString())
{
    TObjectArgs a;
    a.ObjectType = type;
    a.Schema = schema;
    a.ObjectName = name;
    a.OpenMode = mode;
    a.DefTopRecord = top;
    a.OID = oid;
    a.TableName = table;
    return a;
}

} // namespace

// The per-code table of what each editor receives, alone: the caller always passes the
// same values (schema s, name n, mode omData, row count 7, OID 99, table t).
TEST(OpenArgsTable, EachCodePassesWhatItsEditorTakes)
{
    struct Case {
        int code;
        QString name; // the caller's name
        int editor;
        TObjectArgs expected;
    };
    const QString s = QStringLiteral("s"), n = QStringLiteral("n"), t = QStringLiteral("t");
    const QList<Case> cases = {
        {2, n, 2, Args(2, {}, n, omData)},
        {3, n, 2, Args(3, {}, n, omData)},
        {4, n, 4, Args(4, {}, n, omData)},
        {126, n, 4, Args(126, {}, n, omData)},
        {45, n, 45, Args(45, s, n, omData, 7)},
        {46, n, 46, Args(46, s, n, omData)},            // never a table
        {47, n, 47, Args(47, s, n, omData, 7)},
        {51, n, 51, Args(51, s, n, omData)},            // no OID
        {52, n, 52, Args(52, s, n, omData, 0, 99)},
        {55, n, 55, Args(55, s, n, omData)},            // no OID
        {57, n, 57, Args(57, s, n, omData, 0, 0, t)},
        {58, n, 58, Args(58, s, n, omData)},
        {66, n, 66, Args(66, s, n, omDefine, 0, 0, t)}, // no page
        {68, n, 68, Args(68, {}, n, omData)},
        {69, n, 69, Args(69, {}, n, omData)},
        {73, QStringLiteral("sales.p2024"), 45, Args(73, s, QStringLiteral("sales"), omData)},
        {73, QStringLiteral("a.b.c"), 45, Args(73, s, QStringLiteral("a"), omData)},
        {73, QStringLiteral("noparent"), 45, Args(73, s, QString(), omData)},
        {74, QStringLiteral("idx.part"), 46, Args(74, s, QStringLiteral("idx"), omData)},
        {74, QStringLiteral("noparent"), 46, Args(74, s, QString(), omData)},
        {127, n, 127, Args(127, s, n, omData, 0, 0, t)},
    };
    for (const Case &c : cases) {
        int editor = 0;
        TObjectArgs args;
        ASSERT_TRUE(OpenArgsOf(c.code, s, c.name, omData, 7, 99, t, editor, args)) << c.code;
        EXPECT_EQ(editor, c.editor) << c.code;
        EXPECT_EQ(args, c.expected) << c.code << " " << c.name.toStdString();
    }
    for (int code : {0, 1, 48, 71, 72, 94, 128, -1}) {
        int editor = -5;
        TObjectArgs args;
        EXPECT_FALSE(OpenArgsOf(code, s, n, omData, 7, 99, t, editor, args)) << code;
    }
}

TEST(ScriptArgsTable, EachCodeScriptsThroughItsEditor)
{
    const QString s = QStringLiteral("s"), n = QStringLiteral("n"), t = QStringLiteral("t");
    const QString ns = QStringLiteral("ns"), nn = QStringLiteral("nn");
    struct Case { int code; int editor; TObjectArgs expected; };
    auto copyArgs = [&](int type, bool index) {
        TObjectArgs a = Args(type, s, n);
        a.NewSchema = ns;
        a.NewObjectName = nn;
        a.Index = index;
        return a;
    };
    const QList<Case> cases = {
        {2, 2, Args(2, {}, n)}, {3, 2, Args(3, {}, n)},
        {4, 4, Args(4, {}, n)}, {126, 4, Args(126, {}, n)}, // the login schema like any schema
        {45, 45, copyArgs(45, true)}, {47, 47, copyArgs(47, false)},
        {46, 46, Args(46, s, n)}, {58, 58, Args(58, s, n)}, {55, 55, Args(55, s, n)},
        {51, 51, Args(51, s, n, omDefine, 0, 99)}, // procedures by their OID
        {52, 52, Args(52, s, n, omDefine, 0, 99)},
        {57, 57, Args(57, s, n, omDefine, 0, 0, t)}, {66, 66, Args(66, s, n, omDefine, 0, 0, t)},
        {127, 127, Args(127, s, n, omDefine, 0, 0, t)},
        {68, 68, Args(68, {}, n)}, {69, 69, Args(69, {}, n)},
    };
    for (const Case &c : cases) {
        int editor = 0;
        TObjectArgs args;
        ASSERT_TRUE(ScriptArgsOf(c.code, s, n, ns, nn, 99, t, true, editor, args)) << c.code;
        EXPECT_EQ(editor, c.editor) << c.code;
        EXPECT_EQ(args, c.expected) << c.code;
    }
    for (int code : {48, 73, 74, 0}) {
        int editor = 0;
        TObjectArgs args;
        EXPECT_FALSE(ScriptArgsOf(code, s, n, ns, nn, 99, t, true, editor, args)) << code;
    }
}

TEST_F(OpenerTest, EveryCodeOpensItsEditorWithItsArguments)
{
    RegisterFakes();
    ScriptedMessageBoxes boxes;
    const QList<int> codes = {2, 3, 4, 126, 45, 46, 47, 51, 52, 55, 57, 58, 66, 68, 69, 73, 74, 127};
    for (int code : codes) {
        Received.clear();
        const QString name = code == 73 || code == 74 ? QStringLiteral("parent.part") : QStringLiteral("obj%1").arg(code);
        QWidget *w = Open(code, QStringLiteral("s"), name, omSource, 5, 77, QStringLiteral("t"));
        ASSERT_NE(w, nullptr) << code;
        ASSERT_EQ(Received.size(), 1) << code;
        int editor = 0;
        TObjectArgs expected;
        ASSERT_TRUE(OpenArgsOf(code, QStringLiteral("s"), name, omSource, 5, 77, QStringLiteral("t"), editor, expected));
        EXPECT_EQ(Received.first().EditorCode, editor) << code;
        EXPECT_EQ(Received.first().Args, expected) << code;
        CloseAll();
    }
    // A code without an editor gives nothing and shows nothing.
    Received.clear();
    EXPECT_EQ(Open(48, QStringLiteral("s"), QStringLiteral("x")), nullptr);
    EXPECT_TRUE(Received.isEmpty());
    EXPECT_TRUE(boxes.Shown().isEmpty());
}

TEST_F(OpenerTest, PartitionNamesOpenTheParent)
{
    RegisterFakes();
    QWidget *table = Open(73, QStringLiteral("sales"), QStringLiteral("orders.orders_2024"));
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(Received.last().Args.ObjectName, QStringLiteral("orders"));
    EXPECT_FALSE(qobject_cast<TkdForm *>(table)->IsNew());
    // Without "." the name is empty: the editor takes it for a new object.
    QWidget *fresh = Open(74, QStringLiteral("sales"), QStringLiteral("orders_idx"));
    ASSERT_NE(fresh, nullptr);
    EXPECT_EQ(Received.last().EditorCode, 46);
    EXPECT_TRUE(Received.last().Args.ObjectName.isEmpty());
    EXPECT_TRUE(qobject_cast<TkdForm *>(fresh)->IsNew());
    CloseAll();
}

TEST_F(OpenerTest, SecondOpenRaisesTheFirstAndGivesNothing)
{
    RegisterFakes();
    QWidget *first = Open(45, QStringLiteral("s"), QStringLiteral("t1"), omDefine, 0, 0, {}, true);
    ASSERT_NE(first, nullptr);
    QWidget *other = Open(47, QStringLiteral("s"), QStringLiteral("v1"));
    ASSERT_NE(other, nullptr);
    Flush();
    const qsizetype count = Main->ChildWindows().size();
    // ShowRefObject changes nothing: the same object is the same window.
    EXPECT_EQ(Open(45, QStringLiteral("s"), QStringLiteral("t1"), omData, 0, 0, {}, false), nullptr);
    Flush();
    EXPECT_EQ(Main->ChildWindows().size(), count);
    EXPECT_EQ(editor_contract::ActiveChild(), first);
    CloseAll();
}

TEST_F(OpenerTest, EditorNotRegisteredSaysSoAndUnknownCodeIsSilent)
{
    RegisterFakes({45});
    ScriptedMessageBoxes boxes;
    boxes.Answer(IDOK);
    EXPECT_EQ(Open(57, QStringLiteral("s"), QStringLiteral("trg"), omDefine, 0, 0, QStringLiteral("t")), nullptr);
    ASSERT_EQ(boxes.Shown().size(), 1);
    EXPECT_EQ(boxes.Last().text, QStringLiteral("このオブジェクトのウィンドウはまだ利用できません。"));
    EXPECT_EQ(Open(999, QStringLiteral("s"), QStringLiteral("x")), nullptr);
    EXPECT_EQ(boxes.Shown().size(), 1);
    EXPECT_EQ(Main->ChildWindows().size(), 1); // the connection window alone
}

TEST_F(OpenerTest, ErrorWhileBuildingIsShownOnceAndLeavesNoWindow)
{
    RegisterFakes();
    ScriptedMessageBoxes boxes;
    boxes.Answer(IDOK);
    EXPECT_EQ(Open(45, QStringLiteral("s"), QStringLiteral("lost")), nullptr);
    ASSERT_EQ(boxes.Shown().size(), 1);
    EXPECT_TRUE(boxes.Last().text.contains(QStringLiteral("接続が切れました")));
    // An editor that reported the problem itself ends silently: one box, its own.
    boxes.Answer(IDOK);
    EXPECT_EQ(Open(45, QStringLiteral("s"), QStringLiteral("missing_t")), nullptr);
    ASSERT_EQ(boxes.Shown().size(), 2);
    EXPECT_EQ(boxes.Last().text, QStringLiteral("オブジェクトが存在しません。"));
    Flush();
    EXPECT_EQ(Main->ChildWindows().size(), 1);
}

TEST_F(OpenerTest, ScriptsGoToMemoryAndFilesWithoutMark)
{
    RegisterFakes();
    TScriptOption::Global().NullLine = true;
    TScriptSink memory;
    EXPECT_TRUE(Conn->OutputScript(45, QStringLiteral("s"), QStringLiteral("顧客"), memory));
    EXPECT_EQ(memory.Lines(), (QStringList{QStringLiteral("-- 45 0"), QStringLiteral("CREATE FAKE \"s\".\"顧客\" 表"),
                                           QStringLiteral(";")}));
    // Two scripts in one memory sink follow one another.
    EXPECT_TRUE(Conn->OutputScript(47, QStringLiteral("s"), QStringLiteral("v"), memory));
    EXPECT_EQ(memory.Lines().size(), 6);
    TScriptOption::Global().NullLine = false;

    for (TFileEncoding enc : {TFileEncoding::Ansi, TFileEncoding::Utf7, TFileEncoding::Utf8, TFileEncoding::Utf16LE,
                              TFileEncoding::Utf16BE}) {
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        TScriptSink file(&buffer, enc);
        ASSERT_TRUE(Conn->OutputScript(45, QStringLiteral("s"), QStringLiteral("顧客"), file));
        ASSERT_TRUE(Conn->OutputScript(45, QStringLiteral("s"), QStringLiteral("t2"), file));
        const QString text = QStringLiteral("-- 45 0\r\nCREATE FAKE \"s\".\"顧客\" 表\r\n\r\n;\r\n"
                                            "-- 45 0\r\nCREATE FAKE \"s\".\"t2\" 表\r\n\r\n;\r\n");
        QByteArray expected = EncodeFileText(text, enc);
        const QByteArray bom = EncodeFileText(QString(), enc);
        expected.remove(0, bom.size());
        EXPECT_EQ(buffer.data(), expected) << int(enc);
        EXPECT_EQ(DecodeFileText(buffer.data(), enc), text) << int(enc);
    }
}

TEST_F(OpenerTest, ProcedureAndLoginSchemaScriptsAndCodesWithout)
{
    RegisterFakes();
    TScriptSink memory;
    // 51 goes to the source editor's entry with its OID; 126 is scripted as a schema.
    EXPECT_TRUE(Conn->OutputScript(51, QStringLiteral("s"), QStringLiteral("proc"), memory, {}, {}, 4242));
    EXPECT_EQ(memory.Lines().first(), QStringLiteral("-- 51 4242"));
    EXPECT_TRUE(Conn->OutputScript(126, QString(), QStringLiteral("login"), memory));
    EXPECT_EQ(memory.Lines().at(4), QStringLiteral("-- 4 0"));
    const qint64 lines = memory.LineCount();
    // No script: a code without one, a vanished object, an editor without a script entry.
    EXPECT_FALSE(Conn->OutputScript(48, QStringLiteral("s"), QStringLiteral("x"), memory));
    EXPECT_FALSE(Conn->OutputScript(73, QStringLiteral("s"), QStringLiteral("a.b"), memory));
    EXPECT_FALSE(Conn->OutputScript(45, QStringLiteral("s"), QStringLiteral("missing"), memory));
    RegisterEditor(58, [](TkdConnForm *, const TObjectArgs &) -> QWidget * { return nullptr; });
    EXPECT_FALSE(Conn->OutputScript(58, QStringLiteral("s"), QStringLiteral("seq"), memory));
    UnregisterEditor(46);
    EXPECT_FALSE(Conn->OutputScript(46, QStringLiteral("s"), QStringLiteral("i"), memory));
    EXPECT_EQ(memory.LineCount(), lines);
}

TEST_F(OpenerTest, ScriptSinkReportsAFullDevice)
{
    QBuffer buffer;
    buffer.open(QIODevice::ReadOnly); // refuses writes
    TScriptSink file(&buffer, TFileEncoding::Utf8);
    EXPECT_THROW(file.WriteLines({QStringLiteral("x")}), TkdFileError);
    // Through OutputScript the failure is swallowed: false, nothing claimed.
    RegisterFakes();
    EXPECT_FALSE(Conn->OutputScript(45, QStringLiteral("s"), QStringLiteral("t"), file));
}

TEST_F(OpenerTest, ContractKitPassesOnAFakeEditor)
{
    RegisterFakes();
    TEditorContract c;
    c.Owner = Conn;
    c.Code = 45;
    c.Schema = QStringLiteral("sales");
    c.Name = QStringLiteral("Customers \"x\"");
    c.MissingName = QStringLiteral("missing_table");
    c.PagesOfModes = {{omDefine, 0}, {omSource, 1}, {omData, 2}, {omCross, 0}, {omGrant, 0}};
    CheckEditorContract(c);
    Flush();
    EXPECT_EQ(Main->ChildWindows().size(), 1);
}
