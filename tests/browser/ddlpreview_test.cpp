// The DDL preview: skipped while ShowDDL is off, captions and proposed file names (hostile
// names included), the read-only text, saving with the encoding's byte-order mark, and the
// result of each button.
#include "app/fmain.h"
#include "browser/fddlpreview.h"
#include <Qsci/qsciscintilla.h>
#include "controls/kdstdctl.h"
#include "core/kddialogsupport.h"
#include "core/kdsub_msg.h"
#include "core/kdsub_options.h"
#include "core/kdsub_service.h"
#include "core/msghook.h"
#include "support/qstring_printer.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>

namespace {

void Flush()
{
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

class PreviewTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        SetLogonProc({});
        Main = new TfrmMain;
        Main->SetCloseSteps({});
        Main->show();
        Flush();
        TkdOption::Global().ShowDDL = true;
    }
    void TearDown() override
    {
        SetSaveFileHook({});
        TkdOption::Global().ShowDDL = false;
        Main->SetCloseSteps({});
        Main->close();
        delete Main;
        Flush();
    }
    // Shows the preview and runs `act` on it once it is up.
    bool Show(QStringList &sql, const QString &schema, const QString &name, std::function<void(TfrmDDLPreview *)> act)
    {
        bool seen = false;
        QTimer::singleShot(0, [&] {
            auto *form = qobject_cast<TfrmDDLPreview *>(QApplication::activeModalWidget());
            if (!form) {
                ADD_FAILURE() << "no preview shown";
                if (QApplication::activeModalWidget())
                    QApplication::activeModalWidget()->close();
                return;
            }
            seen = true;
            act(form);
        });
        const bool result = TfrmDDLPreview::ShowWindow(sql, schema, name);
        EXPECT_TRUE(seen);
        return result;
    }

    TfrmMain *Main = nullptr;
};

const QStringList kSQL = {QStringLiteral("CREATE TABLE \"public\".\"t1\" ("), QStringLiteral("  c1 integer"),
                          QStringLiteral(")"), QStringLiteral(";"), QStringLiteral("COMMENT ON TABLE t1 IS '表'"),
                          QStringLiteral(";")};

} // namespace

TEST_F(PreviewTest, ShowDDLOffRunsAtOnceWithoutAWindow)
{
    TkdOption::Global().ShowDDL = false;
    for (QStringList sql : {kSQL, QStringList()}) {
        const QStringList before = sql;
        EXPECT_TRUE(TfrmDDLPreview::ShowWindow(sql, QStringLiteral("public"), QStringLiteral("t1")));
        EXPECT_EQ(sql, before);
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    }
}

TEST(PreviewNames, CaptionsAndProposedFileNames)
{
    struct Case { QString schema, name, caption, file; };
    const QList<Case> cases = {
        {"public", "t1", "public.t1 のコンパイル", "public.t1.sql"},
        {"", "r1", "r1 のコンパイル", "r1.sql"},
        {"", "インデックスの再構築", "インデックスの再構築を実行", "script.sql"},
        {"販売", "顧客 \"一覧\"", "販売.顧客 \"一覧\" のコンパイル", "販売.顧客 一覧.sql"},
        {"a/b", "../etc", "a/b.../etc のコンパイル", "ab...etc.sql"},
        {"..", "..", "..... のコンパイル", "_..._...sql"},
        {"", "/", "/ のコンパイル", "_.sql"},
        {"Mixed Case", "x:y*z?", "Mixed Case.x:y*z? のコンパイル", "Mixed Case.xyz.sql"},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(TfrmDDLPreview::CaptionFor(c.schema, c.name), c.caption) << c.name.toStdString();
        const QString file = TfrmDDLPreview::ProposedFileName(c.schema, c.name);
        EXPECT_EQ(file, c.file) << c.name.toStdString();
        EXPECT_FALSE(file.contains(QLatin1Char('/')));
    }
}

TEST(PreviewNames, SafePathPartKeepsEveryPartInsideItsFolder)
{
    const QList<QPair<QString, QString>> cases = {
        {"", ""}, {"t1", "t1"}, {"..", "_.."}, {".", "_."}, {"/", "_"}, {"\\", "_"},
        {"../..", "...."}, {"a/../b", "a..b"}, {"...", "..."}, {"顧客", "顧客"},
        {QString(63, QLatin1Char('n')), QString(63, QLatin1Char('n'))}, {"\"q\"", "q"},
    };
    for (const auto &[in, out] : cases)
        EXPECT_EQ(SafePathPart(in), out) << in.toStdString();
}

TEST_F(PreviewTest, WindowShowsTheStatementsReadOnly)
{
    QStringList sql = kSQL;
    QString caption, text;
    bool readOnly = false, modifyHidden = false;
    const bool ok = Show(sql, QStringLiteral("public"), QStringLiteral("t1"), [&](TfrmDDLPreview *f) {
        caption = f->windowTitle();
        text = f->txtLog->text();
        readOnly = f->txtLog->isReadOnly();
        modifyHidden = !f->chkModifySource->isVisible();
        f->btnOK->click();
    });
    EXPECT_TRUE(ok);
    EXPECT_EQ(caption, QStringLiteral("public.t1 のコンパイル"));
    EXPECT_EQ(text, kSQL.join(QLatin1Char('\n')));
    EXPECT_TRUE(readOnly);
    EXPECT_TRUE(modifyHidden);
    EXPECT_EQ(sql, kSQL);
}

TEST_F(PreviewTest, CancelAndCloseReturnFalseAndKeepTheList)
{
    for (int how = 0; how < 2; ++how) {
        QStringList sql = kSQL;
        const bool ok = Show(sql, {}, QStringLiteral("r1"), [&](TfrmDDLPreview *f) {
            if (how == 0)
                f->btnCancel->click();
            else
                f->close();
        });
        EXPECT_FALSE(ok) << how;
        EXPECT_EQ(sql, kSQL);
    }
}

TEST_F(PreviewTest, SaveWritesTheEncodingsMarkAndCancelAfterSavingRunsNothing)
{
    QTemporaryDir dir;
    struct Case { int option; QByteArray bom; TFileEncoding enc; };
    const QList<Case> cases = {{2, "\xEF\xBB\xBF", TFileEncoding::Utf8},
                               {3, "\xFF\xFE", TFileEncoding::Utf16LE},
                               {4, "\xFE\xFF", TFileEncoding::Utf16BE},
                               {0, "", TFileEncoding::Ansi}};
    for (const Case &c : cases) {
        TkdOption::Global().Encoding = c.option;
        const QString path = dir.filePath(QStringLiteral("out%1.sql").arg(c.option));
        TSaveFileRequest asked;
        SetSaveFileHook([&](const TSaveFileRequest &r) -> std::optional<QString> {
            asked = r;
            return path;
        });
        ScriptedMessageBoxes boxes;
        boxes.Answer(IDOK);
        QStringList sql = kSQL;
        const bool ok = Show(sql, QStringLiteral("public"), QStringLiteral("t1"), [&](TfrmDDLPreview *f) {
            f->btnSave->click();
            f->btnCancel->click();
        });
        EXPECT_FALSE(ok);
        EXPECT_EQ(asked.Title, QStringLiteral("SQL文の保存"));
        EXPECT_EQ(asked.FileName, QStringLiteral("public.t1.sql"));
        EXPECT_EQ(asked.DefaultSuffix, QStringLiteral("SQL"));
        ASSERT_EQ(boxes.Shown().size(), 1);
        EXPECT_EQ(boxes.Last().text, QStringLiteral("SQL文の保存が完了しました。"));
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        EXPECT_TRUE(bytes.startsWith(c.bom)) << c.option;
        EXPECT_EQ(DecodeFileText(bytes, c.enc), kSQL.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"));
    }
    TkdOption::Global().Encoding = 0;
}

TEST_F(PreviewTest, CancelledSaveWritesNothingAndAFailedSaveKeepsTheDialog)
{
    QTemporaryDir dir;
    SetSaveFileHook([](const TSaveFileRequest &) -> std::optional<QString> { return std::nullopt; });
    QStringList sql = kSQL;
    ScriptedMessageBoxes none;
    EXPECT_TRUE(Show(sql, {}, QStringLiteral("インデックスの再構築"), [&](TfrmDDLPreview *f) {
        f->btnSave->click();
        f->btnOK->click();
    }));
    EXPECT_TRUE(none.Shown().isEmpty());
    // A folder that does not exist: the error is shown and the dialog stays open.
    const QString bad = dir.filePath(QStringLiteral("no/such/folder/x.sql"));
    SetSaveFileHook([&](const TSaveFileRequest &) -> std::optional<QString> { return bad; });
    ScriptedMessageBoxes boxes;
    boxes.Answer(IDOK);
    bool stillOpen = false;
    EXPECT_TRUE(Show(sql, {}, QStringLiteral("r1"), [&](TfrmDDLPreview *f) {
        f->btnSave->click();
        stillOpen = f->isVisible();
        f->btnOK->click();
    }));
    EXPECT_TRUE(stillOpen);
    ASSERT_EQ(boxes.Shown().size(), 1);
    EXPECT_TRUE(boxes.Last().text.contains(bad));
    EXPECT_FALSE(QFile::exists(bad));
}

TEST_F(PreviewTest, GeometryIsKeptUnderItsKey)
{
    QStringList sql = kSQL;
    Show(sql, {}, QStringLiteral("r1"), [&](TfrmDDLPreview *f) {
        f->resize(700, 420);
        f->btnOK->click();
    });
    QSize size;
    Show(sql, {}, QStringLiteral("r1"), [&](TfrmDDLPreview *f) {
        size = f->size();
        f->btnOK->click();
    });
    EXPECT_EQ(size, QSize(700, 420));
}
