// The Edit commands of the main window: they act on the control that has the focus in the
// active window, mostly an SQL editor; find and replace dialogs; line jump; formatting.
#include "app/fmain.h"

#include "controls/kdcomctrls.h"
#include "controls/kdmacro.h"
#include "controls/kdmemo.h"
#include "core/kdsub_msg.h"

#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextEdit>
#include <QVBoxLayout>

namespace {
// The line edit inside an edit box or an editable combo box.
QLineEdit *LineEditOf(QWidget *w)
{
    if (auto *e = qobject_cast<QLineEdit *>(w))
        return e;
    if (auto *c = qobject_cast<QComboBox *>(w))
        return c->isEditable() ? c->lineEdit() : nullptr;
    return nullptr;
}

// Calls a slot of that name on controls of other kinds (grids, list views) when they have one.
void InvokeIfAny(QWidget *w, const char *slot)
{
    if (!w)
        return;
    const QByteArray sig = QByteArray(slot) + "()";
    if (w->metaObject()->indexOfMethod(sig.constData()) >= 0)
        QMetaObject::invokeMethod(w, slot, Qt::DirectConnection);
}
} // namespace

namespace {
// The standard edit messages, answered by each kind of control as its own edit commands do.
enum class TEditMsg { Undo, Redo, Cut, Copy, Paste, Clear, SelectAll };

template <class TText>
void TextEditMessage(TText *t, TEditMsg msg)
{
    switch (msg) {
    case TEditMsg::Undo:
    case TEditMsg::Redo: t->undo(); break;
    case TEditMsg::Cut: t->cut(); break;
    case TEditMsg::Copy: t->copy(); break;
    case TEditMsg::Paste: t->paste(); break;
    case TEditMsg::Clear: t->textCursor().removeSelectedText(); break;
    case TEditMsg::SelectAll: t->selectAll(); break;
    }
}

void SendEditMessage(QWidget *w, TEditMsg msg)
{
    if (auto *memo = qobject_cast<TkdMemo *>(w)) {
        const bool writable = !memo->isReadOnly();
        switch (msg) {
        case TEditMsg::Undo: memo->UndoMessage(0); break;
        case TEditMsg::Redo: memo->UndoMessage(1); break;
        case TEditMsg::Cut: if (writable) memo->cut(); break;
        case TEditMsg::Copy: memo->copy(); break;
        case TEditMsg::Paste: if (writable) memo->paste(); break;
        case TEditMsg::Clear: if (writable) memo->removeSelectedText(); break;
        case TEditMsg::SelectAll: memo->selectAll(true); break;
        }
    } else if (QLineEdit *e = LineEditOf(w)) {
        // An edit box has no redo: the request undoes, as its undo message does.
        switch (msg) {
        case TEditMsg::Undo:
        case TEditMsg::Redo: e->undo(); break;
        case TEditMsg::Cut: e->cut(); break;
        case TEditMsg::Copy: e->copy(); break;
        case TEditMsg::Paste: e->paste(); break;
        case TEditMsg::Clear: e->del(); break;
        case TEditMsg::SelectAll: e->selectAll(); break;
        }
    } else if (auto *t = qobject_cast<QPlainTextEdit *>(w)) {
        TextEditMessage(t, msg);
    } else if (auto *t = qobject_cast<QTextEdit *>(w)) {
        TextEditMessage(t, msg);
    } else if (msg == TEditMsg::SelectAll) {
        if (auto *s = qobject_cast<QAbstractSpinBox *>(w))
            s->selectAll();
        else if (auto *v = qobject_cast<QAbstractItemView *>(w))
            v->selectAll();
    } else if (msg == TEditMsg::Cut || msg == TEditMsg::Copy || msg == TEditMsg::Paste) {
        // Grids and list views answer with their own copy (and cut and paste where they have them).
        InvokeIfAny(w, msg == TEditMsg::Cut ? "cut" : msg == TEditMsg::Copy ? "copy" : "paste");
    }
}
} // namespace

void TfrmMain::EditUndo(bool redo)
{
    SendEditMessage(FocusedControl(), redo ? TEditMsg::Redo : TEditMsg::Undo);
}

void TfrmMain::EditCut()
{
    SendEditMessage(FocusedControl(), TEditMsg::Cut);
}

void TfrmMain::EditCopy()
{
    SendEditMessage(FocusedControl(), TEditMsg::Copy);
}

void TfrmMain::EditPaste()
{
    SendEditMessage(FocusedControl(), TEditMsg::Paste);
}

void TfrmMain::EditDelete()
{
    SendEditMessage(FocusedControl(), TEditMsg::Clear);
}

void TfrmMain::EditRename()
{
    auto *list = qobject_cast<TkdListView *>(FocusedControl());
    if (!list)
        return;
    QTreeWidgetItem *item = list->currentItem();
    if (!item || !item->isSelected()) {
        const QList<QTreeWidgetItem *> sel = list->selectedItems();
        item = sel.isEmpty() ? nullptr : sel.first();
    }
    if (item)
        list->EditCaption(item);
}

void TfrmMain::EditSelectAll()
{
    SendEditMessage(FocusedControl(), TEditMsg::SelectAll);
}

void TfrmMain::EditSelectMode()
{
    if (auto *memo = qobject_cast<TkdMemo *>(FocusedControl()))
        memo->SetSelectionMode(memo->SelectionMode() == TkdMemo::smLine ? TkdMemo::smBox : TkdMemo::smLine);
    UpdateEditActions();
}

// ---------------------------------------------------------------------------------------------
// Find and replace

namespace {
// A find or replace dialog: the text boxes named in `fields` (caption, object name) one per
// row, a match-case box below them, and a column of buttons (caption, object name) on the
// right whose first is the default. A window of its own beside the main window: while it is
// active no main-window shortcut reaches the editors behind it.
struct TSearchDialog {
    QDialog *Dialog;
    QList<QLineEdit *> Fields;
    QCheckBox *MatchCase;
    QList<QPushButton *> Buttons;
};

TSearchDialog MakeSearchDialog(QWidget *owner, const QString &name, const QString &title,
                               const QList<std::pair<QString, QString>> &fields,
                               const QList<std::pair<QString, QString>> &buttons)
{
    TSearchDialog d;
    d.Dialog = new QDialog(owner);
    d.Dialog->setObjectName(name);
    d.Dialog->setWindowTitle(title);
    auto *grid = new QGridLayout(d.Dialog);
    int row = 0;
    for (const auto &[caption, objectName] : fields) {
        grid->addWidget(new QLabel(caption), row, 0);
        auto *edit = new QLineEdit;
        edit->setObjectName(objectName);
        edit->setMinimumWidth(240);
        grid->addWidget(edit, row++, 1);
        d.Fields << edit;
    }
    d.MatchCase = new QCheckBox(QStringLiteral("大文字と小文字を区別する(&C)"));
    grid->addWidget(d.MatchCase, row, 0, 1, 2);
    auto *column = new QVBoxLayout;
    for (const auto &[caption, objectName] : buttons) {
        auto *b = new QPushButton(caption);
        b->setObjectName(objectName);
        column->addWidget(b);
        d.Buttons << b;
    }
    d.Buttons.first()->setDefault(true);
    auto *cancel = new QPushButton(QStringLiteral("キャンセル"));
    QObject::connect(cancel, &QPushButton::clicked, d.Dialog, &QDialog::hide);
    column->addWidget(cancel);
    column->addStretch(1);
    grid->addLayout(column, 0, 2, row + 1, 1);
    return d;
}
} // namespace

QDialog *TfrmMain::FindDialog()
{
    if (FFindDialog)
        return FFindDialog;
    const TSearchDialog d = MakeSearchDialog(this, QStringLiteral("dlgFind"), QStringLiteral("検索"),
                                             {{QStringLiteral("検索する文字列(&N):"), QStringLiteral("edtFindText")}},
                                             {{QStringLiteral("次を検索(&F)"), QStringLiteral("btnFindNext")}});
    FFindDialog = d.Dialog;
    FFindText = d.Fields.at(0);
    FFindCase = d.MatchCase;
    FFindCase->setObjectName(QStringLiteral("chkFindCase"));
    connect(d.Buttons.at(0), &QPushButton::clicked, this, [this] { GuardedCall([this] { EditFindNext(false); }); });
    return FFindDialog;
}

QDialog *TfrmMain::ReplaceDialog()
{
    if (FReplaceDialog)
        return FReplaceDialog;
    const TSearchDialog d = MakeSearchDialog(
        this, QStringLiteral("dlgReplace"), QStringLiteral("置換"),
        {{QStringLiteral("検索する文字列(&N):"), QStringLiteral("edtReplaceFind")},
         {QStringLiteral("置換後の文字列(&P):"), QStringLiteral("edtReplaceText")}},
        {{QStringLiteral("次を検索(&F)"), QStringLiteral("btnReplaceFindNext")},
         {QStringLiteral("置換して次に(&R)"), QStringLiteral("btnReplace")},
         {QStringLiteral("すべて置換(&A)"), QStringLiteral("btnReplaceAll")}});
    FReplaceDialog = d.Dialog;
    FReplFind = d.Fields.at(0);
    FReplText = d.Fields.at(1);
    FReplCase = d.MatchCase;
    FReplCase->setObjectName(QStringLiteral("chkReplaceCase"));
    connect(d.Buttons.at(0), &QPushButton::clicked, this, [this] { GuardedCall([this] { EditFindNext(true); }); });
    connect(d.Buttons.at(1), &QPushButton::clicked, this, [this] { GuardedCall([this] { ReplaceOne(); }); });
    connect(d.Buttons.at(2), &QPushButton::clicked, this, [this] { GuardedCall([this] { ReplaceAll(); }); });
    return FReplaceDialog;
}

void TfrmMain::EditFind()
{
    auto *memo = qobject_cast<TkdMemo *>(FocusedControl());
    if (!memo)
        return;
    FindDialog();
    FFindText->setText(memo->selectedText());
    FFindDialog->show();
    FFindDialog->raise();
    FFindDialog->activateWindow();
    FFindText->setFocus();
}

void TfrmMain::EditReplace()
{
    auto *memo = qobject_cast<TkdMemo *>(FocusedControl());
    if (!memo || memo->isReadOnly())
        return;
    ReplaceDialog();
    FReplFind->setText(memo->selectedText());
    FReplaceDialog->show();
    FReplaceDialog->raise();
    FReplaceDialog->activateWindow();
    FReplFind->setFocus();
}

void TfrmMain::EditFindNext(bool fromReplaceDialog)
{
    auto *memo = qobject_cast<TkdMemo *>(FocusedControl());
    if (!memo)
        return;
    FindDialog();
    ReplaceDialog();
    const QString text = fromReplaceDialog ? FReplFind->text() : FFindText->text();
    const bool matchCase = fromReplaceDialog ? FReplCase->isChecked() : FFindCase->isChecked();
    if (text.isEmpty())
        return;
    memo->setFocus();
    if (!memo->Search(text, TkdMemo::sfrDown | (matchCase ? TkdMemo::sfrMatchCase : 0)))
        ShowMessageBox(QStringLiteral("検索文字列 ") + text + QStringLiteral(" は見つかりませんでした。"),
                       MB_OK | MB_ICONWARNING);
    memo->setFocus();
}

void TfrmMain::EditFindPrev()
{
    auto *memo = qobject_cast<TkdMemo *>(FocusedControl());
    if (!memo)
        return;
    FindDialog();
    const QString text = FFindText->text();
    if (text.isEmpty())
        return;
    memo->setFocus();
    if (!memo->Search(text, FFindCase->isChecked() ? TkdMemo::sfrMatchCase : 0))
        ShowMessageBox(QStringLiteral("検索文字列 ") + text + QStringLiteral(" は見つかりませんでした。"),
                       MB_OK | MB_ICONWARNING);
    memo->setFocus();
}

void TfrmMain::ReplaceOne()
{
    auto *memo = qobject_cast<TkdMemo *>(FocusedControl());
    if (!memo || memo->isReadOnly())
        return;
    ReplaceDialog();
    const QString find = FReplFind->text();
    if (find.isEmpty())
        return;
    const bool matchCase = FReplCase->isChecked();
    if (memo->hasSelectedText()) {
        const QString sel = memo->selectedText();
        const bool same = matchCase ? sel == find : sel.compare(find, Qt::CaseInsensitive) == 0;
        if (same)
            memo->replaceSelectedText(FReplText->text());
    }
    if (!memo->Search(find, TkdMemo::sfrDown | (matchCase ? TkdMemo::sfrMatchCase : 0)))
        ShowMessageBox(QStringLiteral("検索文字列") + find + QStringLiteral("は見つかりませんでした。"),
                       MB_OK | MB_ICONWARNING);
}

void TfrmMain::ReplaceAll()
{
    auto *memo = qobject_cast<TkdMemo *>(FocusedControl());
    if (!memo || memo->isReadOnly())
        return;
    ReplaceDialog();
    const QString find = FReplFind->text();
    // An empty find text would match everywhere and never end.
    if (find.isEmpty())
        return;
    const QString with = FReplText->text();
    const Qt::CaseSensitivity cs = FReplCase->isChecked() ? Qt::CaseSensitive : Qt::CaseInsensitive;
    // Each search goes on after the text just put in, so a replacement that holds the find
    // text is not found again. The text is rebuilt in one pass and put back as one undo step.
    const QString text = memo->text();
    QString out;
    out.reserve(text.size());
    int count = 0, from = 0;
    for (int at = text.indexOf(find, 0, cs); at >= 0; at = text.indexOf(find, from, cs)) {
        out += QStringView(text).mid(from, at - from);
        out += with;
        from = at + find.size();
        ++count;
    }
    if (count > 0) {
        out += QStringView(text).mid(from);
        memo->beginUndoAction();
        memo->selectAll(true);
        memo->replaceSelectedText(out);
        memo->endUndoAction();
    }
    memo->setCursorPosition(0, 0);
    ShowMessageBox(QString::number(count) + QStringLiteral("個の置換を行いました。"), MB_OK | MB_ICONINFORMATION);
}

// ---------------------------------------------------------------------------------------------

void TfrmMain::EditJump()
{
    auto *memo = qobject_cast<TkdMemo *>(FocusedControl());
    if (!memo)
        return;
    QString value;
    QList<MsgCheckItem> none;
    if (!InputQueryWithChecks(QStringLiteral("行ジャンプ"), QStringLiteral("指定行"), value, none, true))
        return;
    const QString trimmed = value.trimmed();
    bool ok = false;
    const int line = trimmed.toInt(&ok);
    if (ok && memo->GetLineNumberCount() >= line)
        memo->Jump(qMax(1, line));
    else
        ShowMessageBox(QStringLiteral("指定行 ") + trimmed + QStringLiteral(" は見つかりませんでした。"),
                       MB_OK | MB_ICONWARNING);
}

void TfrmMain::EditCase(bool upper)
{
    QWidget *w = FocusedControl();
    const QLocale locale;
    if (auto *memo = qobject_cast<TkdMemo *>(w)) {
        if (upper)
            memo->SelUpperCase();
        else
            memo->SelLowerCase();
    } else if (QLineEdit *e = LineEditOf(w)) {
        if (!e->hasSelectedText() || e->isReadOnly())
            return;
        const int start = e->selectionStart();
        const QString text = upper ? locale.toUpper(e->selectedText()) : locale.toLower(e->selectedText());
        e->insert(text);
        e->setSelection(start, text.size());
    }
}

void TfrmMain::EditIndent(bool forward)
{
    if (auto *memo = qobject_cast<TkdMemo *>(FocusedControl())) {
        if (forward)
            memo->SelTabIndent();
        else
            memo->SelTabUnIndent();
    }
}

void TfrmMain::EditComment()
{
    if (auto *memo = qobject_cast<TkdMemo *>(FocusedControl()))
        memo->SelCommentOut();
}

void TfrmMain::EditMacroSave()
{
    auto *memo = qobject_cast<TkdMemo *>(FocusedControl());
    if (!memo || memo->isReadOnly())
        return;
    TkdMacroList *macros = SharedMacroList();
    if (macros && macros->Status() == TkdMacroStatus::msRecording)
        memo->EndRec();
    else
        memo->BeginRec();
    UpdateEditActions();
}

void TfrmMain::EditMacroExec()
{
    auto *memo = qobject_cast<TkdMemo *>(FocusedControl());
    TkdMacroList *macros = SharedMacroList();
    if (memo && !memo->isReadOnly() && macros && macros->Status() == TkdMacroStatus::msWaiting)
        memo->Execute();
}
