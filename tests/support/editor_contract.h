#pragma once
// The contract every editor's entry in the editor table keeps, as checks an editor's tests
// run on its own entry: one window per object (a second open raises the first and gives
// nullptr), an empty name opens a new object, each open mode shows its page, the script
// goes to a memory sink and to a file sink in every encoding without byte-order mark, and an
// object that does not exist gives neither a window nor a script.
//
// Use: fill a TEditorContract with a connection window, the object-type code and an
// existing object, then call CheckEditorContract (or the single checks). A main window must
// exist (TkdMainForm::Instance()); the checks close the windows they open.
#include "core/kdforms.h"
#include "core/kdeditorreg.h"
#include "core/kdsub_msg.h"
#include "core/kdsub_service.h"
#include "support/qstring_printer.h"

#include <QApplication>
#include <QBuffer>
#include <QList>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPair>
#include <QPointer>
#include <functional>
#include <gtest/gtest.h>

struct TEditorContract {
    TkdConnForm *Owner = nullptr;
    int Code = 0;                 // the object-type code to open
    QString Schema;               // an existing object
    QString Name;
    QString TableName;            // triggers, constraints and rules
    quint32 OID = 0;              // functions
    QString MissingName = QStringLiteral("no such object \"x\"");
    // The page each open mode shows (index in the window's page control); modes not
    // listed are not checked. Empty for a window without pages.
    QList<QPair<TOpenMode, int>> PagesOfModes;
    // Reads the page shown; by default the current index of TkdForm::PageControl().
    std::function<int(QWidget *)> CurrentPage;
    // Whether the editor writes a script (false for codes without one).
    bool HasScript = true;
};

namespace editor_contract {

inline void Flush()
{
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

// Answers every message box with OK while it lives and counts them.
class AnswerBoxes {
public:
    AnswerBoxes()
    {
        FPrevious = SetMessageBoxHook([this](MessageBoxRequest &r) {
            Texts << r.text;
            return IDOK;
        });
    }
    ~AnswerBoxes() { SetMessageBoxHook(std::move(FPrevious)); }
    QStringList Texts;
private:
    MessageBoxHook FPrevious;
};

inline void CloseWindow(QWidget *w)
{
    if (!w)
        return;
    QPointer<QWidget> p(w);
    if (auto *sub = qobject_cast<QMdiSubWindow *>(w->parentWidget()))
        sub->close();
    else
        w->close();
    Flush();
    if (p)
        delete p.data();
    Flush();
}

inline QWidget *ActiveChild()
{
    TkdMainForm *host = TkdMainForm::Instance();
    if (!host)
        return nullptr;
    auto *area = host->Widget()->findChild<QMdiArea *>();
    if (!area || !area->activeSubWindow())
        return nullptr;
    return area->activeSubWindow()->widget();
}

inline QWidget *Open(const TEditorContract &c, const QString &name, TOpenMode mode = omDefine)
{
    return c.Owner->OpenObject(c.Code, c.Schema, name, mode, false, 0, c.OID, c.TableName);
}

} // namespace editor_contract

// A second open of the same object gives nullptr, creates no window and brings the first
// window to the front.
inline void CheckDuplicateWindow(const TEditorContract &c)
{
    using namespace editor_contract;
    TkdMainForm *host = TkdMainForm::Instance();
    ASSERT_NE(host, nullptr);
    QWidget *first = Open(c, c.Name);
    ASSERT_NE(first, nullptr) << "the existing object opens";
    Flush();
    QWidget *other = Open(c, QString()); // a new object's window takes the front
    Flush();
    const qsizetype count = host->ChildWindows().size();
    QWidget *second = Open(c, c.Name);
    Flush();
    EXPECT_EQ(second, nullptr) << "a second window of the same object";
    EXPECT_EQ(host->ChildWindows().size(), count);
    if (ActiveChild()) {
        EXPECT_EQ(ActiveChild(), first) << "the open window is brought to the front";
    }
    CloseWindow(second);
    CloseWindow(other);
    CloseWindow(first);
}

// An empty name opens the window of a new object.
inline void CheckNewObject(const TEditorContract &c)
{
    using namespace editor_contract;
    QWidget *w = Open(c, QString());
    ASSERT_NE(w, nullptr);
    if (auto *form = qobject_cast<TkdForm *>(w)) {
        EXPECT_TRUE(form->IsNew());
    }
    CloseWindow(w);
}

// Each listed open mode shows its page.
inline void CheckOpenModes(const TEditorContract &c)
{
    using namespace editor_contract;
    for (const auto &[mode, page] : c.PagesOfModes) {
        QWidget *w = Open(c, c.Name, mode);
        ASSERT_NE(w, nullptr) << "mode " << int(mode);
        int shown = -1;
        if (c.CurrentPage)
            shown = c.CurrentPage(w);
        else if (auto *form = qobject_cast<TkdForm *>(w); form && form->PageControl())
            shown = form->PageControl()->currentIndex();
        EXPECT_EQ(shown, page) << "mode " << int(mode);
        CloseWindow(w);
    }
}

// The script goes to a memory sink as lines and to a file sink in every encoding as the
// same text without byte-order mark; two scripts in one file follow one another.
inline void CheckScriptSinks(const TEditorContract &c)
{
    TScriptSink memory;
    const bool written = c.Owner->OutputScript(c.Code, c.Schema, c.Name, memory, QString(), QString(), c.OID, c.TableName);
    if (!c.HasScript) {
        EXPECT_FALSE(written);
        EXPECT_EQ(memory.LineCount(), 0);
        return;
    }
    ASSERT_TRUE(written);
    ASSERT_FALSE(memory.Lines().isEmpty());
    for (TFileEncoding enc : {TFileEncoding::Ansi, TFileEncoding::Utf7, TFileEncoding::Utf8,
                              TFileEncoding::Utf16LE, TFileEncoding::Utf16BE}) {
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        TScriptSink file(&buffer, enc);
        EXPECT_TRUE(c.Owner->OutputScript(c.Code, c.Schema, c.Name, file, QString(), QString(), c.OID, c.TableName));
        EXPECT_TRUE(c.Owner->OutputScript(c.Code, c.Schema, c.Name, file, QString(), QString(), c.OID, c.TableName));
        const QByteArray one = TScriptSink::EncodeLines(memory.Lines(), enc);
        EXPECT_EQ(buffer.data(), one + one) << "encoding " << int(enc);
        EXPECT_FALSE(buffer.data().startsWith("\xEF\xBB\xBF") || buffer.data().startsWith("\xFF\xFE")
                     || buffer.data().startsWith("\xFE\xFF"));
    }
}

// An object that does not exist gives no window and no script.
inline void CheckVanishedObject(const TEditorContract &c)
{
    using namespace editor_contract;
    AnswerBoxes boxes;
    QWidget *w = Open(c, c.MissingName);
    EXPECT_EQ(w, nullptr);
    CloseWindow(w);
    TScriptSink memory;
    EXPECT_FALSE(c.Owner->OutputScript(c.Code, c.Schema, c.MissingName, memory, QString(), QString(), c.OID, c.TableName));
    EXPECT_EQ(memory.LineCount(), 0);
    EXPECT_LE(boxes.Texts.size(), 1) << "at most one message for a missing object";
}

inline void CheckEditorContract(const TEditorContract &c)
{
    {
        SCOPED_TRACE("duplicate window");
        CheckDuplicateWindow(c);
    }
    {
        SCOPED_TRACE("new object");
        CheckNewObject(c);
    }
    {
        SCOPED_TRACE("open modes");
        CheckOpenModes(c);
    }
    {
        SCOPED_TRACE("script sinks");
        CheckScriptSinks(c);
    }
    {
        SCOPED_TRACE("vanished object");
        CheckVanishedObject(c);
    }
}
