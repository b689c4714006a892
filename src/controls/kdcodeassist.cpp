#include "controls/kdcodeassist.h"

#include "controls/kdmacro.h"
#include "controls/kdmemo.h"
#include "core/kdassist.h"
#include "core/kdforms.h"
#include "core/kdreg.h"
#include "core/kdsub_options.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPointer>
#include <QScrollBar>
#include <QSizeGrip>
#include <QWheelEvent>

namespace {
std::function<QIcon(int)> &ImageProvider()
{
    static std::function<QIcon(int)> f;
    return f;
}
std::function<QStringList()> &VerbatimNamesProvider()
{
    static std::function<QStringList()> f;
    return f;
}
} // namespace

void TkdCodeAssist::SetImageProvider(std::function<QIcon(int)> provider)
{
    ImageProvider() = std::move(provider);
}

void TkdCodeAssist::SetVerbatimNamesProvider(std::function<QStringList()> provider)
{
    VerbatimNamesProvider() = std::move(provider);
}

QIcon TkdCodeAssist::Image(int index)
{
    if (ImageProvider())
        return ImageProvider()(index);
    // The main window's image list, whose index is the object-type code.
    if (TkdMainForm *host = TkdMainForm::Instance())
        return host->Image(index);
    return QIcon();
}

QStringList TkdCodeAssist::VerbatimNames()
{
    if (VerbatimNamesProvider())
        return VerbatimNamesProvider()();
    // The value names of the user's key "\Software\Tarnwell\DREM\RESERVE", created empty when
    // missing and never written here; no names when the key cannot be opened.
    TkdRegistry reg(HKEY_CURRENT_USER);
    QStringList names;
    if (reg.OpenKey(QStringLiteral("\\Software\\Tarnwell\\DREM"), true)
        && reg.OpenKey(QStringLiteral("\\Software\\Tarnwell\\DREM\\RESERVE"), true))
        names = reg.GetValueNames();
    reg.CloseKey();
    names.sort();
    return names;
}

QString TkdCodeAssist::InsertTextFor(const QString &caption, int image)
{
    // Keywords go in as keywords: quoting them would turn them into identifiers.
    if (image == kdassist::KeywordImage)
        return caption;
    if (VerbatimNames().contains(caption))
        return caption;
    return kdassist::QuoteForInsert(caption);
}

TkdCodeAssist::TkdCodeAssist(TkdMemo *AEdit, QWidget *AOwner, int X, int Y)
    : QTreeWidget(AOwner ? AOwner : AEdit->window()), FOwner(AEdit)
{
    hide();
    QWidget *owner = parentWidget();
    // A child that the user can resize by its grip.
    setWindowFlags(Qt::SubWindow);
    setMinimumSize(200, 100);
    resize(qMax(200, FOwner->CASize.Width), qMax(100, FOwner->CASize.Height));
    QFont f(QStringLiteral("ＭＳ ゴシック"));
    f.setPointSize(10);
    setFont(f);

    // Under the caret's row, in the owner's coordinates.
    const QPoint editorOrigin = FOwner->mapTo(owner, QPoint(0, 0));
    const int rowHeight = int(FOwner->SendScintilla(QsciScintillaBase::SCI_TEXTHEIGHT, 0UL));
    int left = editorOrigin.x() + X;
    const int top = editorOrigin.y() + Y + rowHeight + 2;
    int w = width(), h = height();
    int d = X + w - FOwner->width() + 30;
    if (d > 0)
        h = qMax(100, h - d);
    if (FOwner->width() < w)
        w = qMax(200, FOwner->width());
    d = X + w - FOwner->width() + 30;
    if (d > 0) {
        left -= d;
        h = 150;
    }
    setGeometry(qMax(0, left), top, w, h);

    setColumnCount(2);
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setIconSize(QSize(16, 16));
    header()->setStretchLastSection(true);
    connect(this, &QTreeWidget::itemDoubleClicked, this, [this] { Accept(QLatin1Char('\r')); });
    connect(verticalScrollBar(), &QScrollBar::actionTriggered, this, [this](int) {
        for (int i = 0; i < 6; ++i)
            AddItems();
    });

    Buf = new QLineEdit(this);
    Buf->hide();
    FGrip = new QSizeGrip(this);
    FGrip->resize(FGrip->sizeHint());
    FPrefixStart = FOwner->SendScintilla(QsciScintillaBase::SCI_GETCURRENTPOS);
}

TkdCodeAssist::~TkdCodeAssist() = default;

void TkdCodeAssist::resizeEvent(QResizeEvent *e)
{
    QTreeWidget::resizeEvent(e);
    if (FGrip)
        FGrip->move(width() - FGrip->width(), height() - FGrip->height());
}

void TkdCodeAssist::AddCandidate(const QString &caption, const QString &detail, int image)
{
    CaptionList << caption;
    SubItemList << detail;
    ImageList << image;
}

void TkdCodeAssist::SetBuffer(const QString &S)
{
    Buf->setText(S);
    Buf->setCursorPosition(S.size());
}

void TkdCodeAssist::AddRow(int k)
{
    auto *item = new QTreeWidgetItem(this);
    item->setText(0, CaptionListW.at(k));
    item->setText(1, SubItemListW.at(k));
    const int image = ImageListW.at(k);
    if (image >= 0)
        item->setIcon(0, Image(image));
    item->setData(0, Qt::UserRole, image);
}

void TkdCodeAssist::SetObjectSource(int begin, int end, bool cut, const QString &filter, TObjectReader reader)
{
    FObjectsBegin = begin;
    FObjectsEnd = end;
    FObjectsCut = cut;
    FObjectsFilter = kdassist::TrimControl(filter);
    FReader = std::move(reader);
}

void TkdCodeAssist::RefilterLists()
{
    CaptionListW.clear();
    SubItemListW.clear();
    ImageListW.clear();
    FSourceW.clear();
    const QVector<int> pass = kdassist::FilterCandidates(CaptionList, Buf->text());
    for (int i : pass) {
        CaptionListW << CaptionList.at(i);
        SubItemListW << SubItemList.at(i);
        ImageListW << ImageList.value(i, -1);
        FSourceW << i;
    }
}

bool TkdCodeAssist::NeedsMoreObjects(int k) const
{
    // The held objects are the first ones of the list in its order, so the filtered ones
    // are the first filtered ones of the whole list until a row would come from past them.
    return FReader && FObjectsCut && (k >= FSourceW.size() || FSourceW.at(k) >= FObjectsEnd);
}

void TkdCodeAssist::ReadObjectsFor(const QString &filter)
{
    kdassist::TAssistCandidates objects;
    const bool ok = GuardedCall([&] { objects = FReader(filter, 0, kdassist::kAssistObjectRows + 1); });
    if (!ok) {
        FReader = nullptr; // shows what is held; the error has been reported
        return;
    }
    const bool cut = objects.size() > kdassist::kAssistObjectRows;
    const int n = std::min<int>(objects.size(), kdassist::kAssistObjectRows);
    const int held = FObjectsEnd - FObjectsBegin;
    CaptionList.remove(FObjectsBegin, held);
    SubItemList.remove(FObjectsBegin, held);
    ImageList.remove(FObjectsBegin, held);
    for (int i = 0; i < n; ++i) {
        CaptionList.insert(FObjectsBegin + i, objects.Captions.at(i));
        SubItemList.insert(FObjectsBegin + i, objects.Details.at(i));
        ImageList.insert(FObjectsBegin + i, objects.Images.at(i));
    }
    FObjectsEnd = FObjectsBegin + n;
    FObjectsCut = cut;
    FObjectsFilter = filter;
}

void TkdCodeAssist::ReadMoreObjects()
{
    const QString filter = kdassist::TrimControl(Buf->text());
    if (filter.compare(FObjectsFilter, Qt::CaseInsensitive) != 0) {
        // The user typed further: ask for that prefix, again bounded.
        ReadObjectsFor(filter);
    } else {
        // Paging past the held objects: the rest of the list.
        kdassist::TAssistCandidates rest;
        if (!GuardedCall([&] { rest = FReader(FObjectsFilter, FObjectsEnd - FObjectsBegin, 0); })) {
            FReader = nullptr;
            return;
        }
        for (int i = 0; i < rest.size(); ++i) {
            CaptionList.insert(FObjectsEnd + i, rest.Captions.at(i));
            SubItemList.insert(FObjectsEnd + i, rest.Details.at(i));
            ImageList.insert(FObjectsEnd + i, rest.Images.at(i));
        }
        FObjectsEnd += rest.size();
        FObjectsCut = false;
    }
    RefilterLists();
}

void TkdCodeAssist::ShowItems()
{
    if (isVisible())
        setFocus();
    clear();
    // A filter that no longer extends the one the objects were read for (Backspace past
    // it) needs the objects of the shorter prefix.
    if (FReader && !kdassist::TrimControl(Buf->text()).startsWith(FObjectsFilter, Qt::CaseInsensitive))
        ReadObjectsFor(kdassist::TrimControl(Buf->text()));
    RefilterLists();
    for (int k = 0; k < ItemMax; ++k) {
        if (NeedsMoreObjects(k))
            ReadMoreObjects();
        if (k >= CaptionListW.size())
            break;
        AddRow(k);
        if (k == 0) {
            setCurrentItem(topLevelItem(0));
            topLevelItem(0)->setSelected(true);
        }
    }
}

void TkdCodeAssist::AddItems()
{
    const int n = topLevelItemCount();
    if (NeedsMoreObjects(n))
        ReadMoreObjects();
    if (n < CaptionListW.size())
        AddRow(n);
}

void TkdCodeAssist::Close()
{
    FOwner->CloseCodeAssist();
}

void TkdCodeAssist::SendToEditor(QKeyEvent *e)
{
    QKeyEvent copy(e->type(), e->key(), e->modifiers(), e->text(), e->isAutoRepeat(), e->count());
    QCoreApplication::sendEvent(FOwner, &copy);
}

void TkdCodeAssist::SendKeyToBuf(QKeyEvent *e)
{
    // A key the filter box does not take would come back here through its parent.
    FInBuf = true;
    QKeyEvent copy(e->type(), e->key(), e->modifiers(), e->text(), e->isAutoRepeat(), e->count());
    QCoreApplication::sendEvent(Buf, &copy);
    FInBuf = false;
}

void TkdCodeAssist::Accept(QChar ch)
{
    QPointer<TkdCodeAssist> guard(this);
    TkdMemo *ed = FOwner;
    if (QTreeWidgetItem *item = currentItem(); item && item->isSelected()) {
        const QString text = InsertTextFor(item->text(0), item->data(0, Qt::UserRole).toInt());
        // Exactly the part being typed, from its start to the caret, gives way to the name.
        const long caret = ed->SendScintilla(QsciScintillaBase::SCI_GETCURRENTPOS);
        const long start = qMin(FPrefixStart, caret);
        ed->beginUndoAction();
        ed->SendScintilla(QsciScintillaBase::SCI_SETSEL, (unsigned long)start, (long)caret);
        ed->replaceSelectedText(text);
        ed->endUndoAction();
    }
    ed->CloseCodeAssist();
    if (ch != QLatin1Char('\r')) {
        int key = ch.unicode();
        if (ch == QLatin1Char('\t'))
            key = Qt::Key_Tab;
        else if (ch == QLatin1Char(' '))
            key = Qt::Key_Space;
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, QString(ch));
        QCoreApplication::sendEvent(ed, &press);
    }
}

bool TkdCodeAssist::event(QEvent *e)
{
    // Tab accepts a candidate instead of moving the focus.
    if (e->type() == QEvent::KeyPress) {
        auto *k = static_cast<QKeyEvent *>(e);
        if (k->key() == Qt::Key_Tab || k->key() == Qt::Key_Backtab) {
            keyPressEvent(k);
            return true;
        }
    }
    return QTreeWidget::event(e);
}

void TkdCodeAssist::keyPressEvent(QKeyEvent *e)
{
    const int key = e->key();
    if (FInBuf) {
        e->accept();
        return;
    }
    if (IsModifierKey(key)) {
        QTreeWidget::keyPressEvent(e);
        return;
    }
    const bool ctrl = e->modifiers() & Qt::ControlModifier;
    const QString text = e->text();
    auto toEditor = [&] { SendToEditor(e); };

    switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        Accept(QLatin1Char('\r'));
        return;
    case Qt::Key_Tab:
        Accept(QLatin1Char('\t'));
        return;
    case Qt::Key_Escape:
        Close();
        return;
    case Qt::Key_Backspace:
        if (Buf->cursorPosition() == 0) {
            Close();
            toEditor();
            return;
        }
        SendKeyToBuf(e);
        ShowItems();
        toEditor();
        return;
    case Qt::Key_Space:
        if (!ctrl)
            Accept(QLatin1Char(' '));
        return;
    case Qt::Key_PageDown:
        for (int i = 0; i < 8; ++i)
            AddItems();
        QTreeWidget::keyPressEvent(e);
        return;
    case Qt::Key_End:
        // Every remaining candidate: the objects not yet read first.
        while (FReader && FObjectsCut)
            ReadMoreObjects();
        for (int i = CaptionListW.size() - topLevelItemCount(); i > 0; --i)
            AddItems();
        QTreeWidget::keyPressEvent(e);
        return;
    case Qt::Key_Home:
    case Qt::Key_PageUp:
        SendKeyToBuf(e);
        QTreeWidget::keyPressEvent(e);
        return;
    case Qt::Key_Left:
        if (Buf->cursorPosition() == 0) {
            Close();
            toEditor();
            return;
        }
        SendKeyToBuf(e);
        toEditor();
        return;
    case Qt::Key_Right:
        if (Buf->cursorPosition() >= Buf->text().size()) {
            Close();
            toEditor();
            return;
        }
        SendKeyToBuf(e);
        toEditor();
        return;
    case Qt::Key_Down:
        AddItems();
        QTreeWidget::keyPressEvent(e);
        return;
    case Qt::Key_Up:
        QTreeWidget::keyPressEvent(e);
        return;
    case Qt::Key_Delete:
        SendKeyToBuf(e);
        ShowItems();
        toEditor();
        return;
    default:
        break;
    }
    if (ctrl && key == Qt::Key_V) {
        FOwner->paste();
        return;
    }
    if (ctrl && key == Qt::Key_X) {
        FOwner->cut();
        return;
    }
    if (text.size() == 1 && QStringLiteral("%,.;").contains(text.at(0))) {
        Accept(text.at(0));
        return;
    }
    if (!text.isEmpty() && text.at(0).isPrint() && !ctrl && !(e->modifiers() & Qt::AltModifier)) {
        // A typed character narrows the list and goes on to the editor.
        SendKeyToBuf(e);
        ShowItems();
        toEditor();
        return;
    }
    // Any other key moves the filter caret and the editor's caret alike.
    SendKeyToBuf(e);
    toEditor();
}

void TkdCodeAssist::inputMethodEvent(QInputMethodEvent *e)
{
    if (e->commitString().isEmpty()) {
        e->accept();
        return;
    }
    Buf->insert(e->commitString());
    ShowItems();
    QInputMethodEvent copy;
    copy.setCommitString(e->commitString());
    QCoreApplication::sendEvent(FOwner, &copy);
    e->accept();
}

void TkdCodeAssist::focusOutEvent(QFocusEvent *e)
{
    QWidget *f = QApplication::focusWidget();
    if (isEnabled() && f != FOwner && f != this && !isAncestorOf(f)) {
        Close();
        return;
    }
    QTreeWidget::focusOutEvent(e);
}

void TkdCodeAssist::wheelEvent(QWheelEvent *e)
{
    for (int i = 0; i < 8; ++i)
        AddItems();
    QTreeWidget::wheelEvent(e);
}

quint32 RoutineOidOf(QWidget *Owner)
{
    auto *routine = dynamic_cast<TCodeAssistRoutine *>(Owner);
    if (!routine)
        return 0;
    // A child window offers the arguments only of a procedure or function that exists.
    if (auto *form = qobject_cast<TkdForm *>(Owner)) {
        const int type = form->ObjType();
        if (form->IsNew() || (type != 51 && type != 52 && type != 54))
            return 0;
    }
    return routine->CodeAssistRoutineOid();
}

void CodeAssistHost(TkdForm *form, QWidget *editor, int X, int Y)
{
    auto *memo = qobject_cast<TkdMemo *>(editor);
    TkdConnForm *conn = form ? form->OwnerForm() : nullptr;
    if (!memo || !conn)
        return;
    db::Query *query = form->CodeAssistQuery();
    if (!query)
        return;
    TkdWaitCursor wait;
    ShowCodeAssist(memo, form, *query, conn->CurrentSchema(), conn->DBVer(), conn->DBAMODE() != 0, X, Y);
}

void ShowCodeAssist(TkdMemo *Memo, QWidget *Owner, db::Query &Query, const QString &Schema, int DBVer,
                    bool DBAMode, int X, int Y)
{
    (void)DBVer;
    (void)DBAMode;
    if (!Memo || !TkdOption::Global().CodeAssist || Memo->CodeAssist)
        return;
    const kdassist::TAssistToken token = Memo->GetCodeAssistTokenInfo();
    kdassist::TAssistRequest request;
    request.Token = token.Text;
    request.EditorText = Memo->text();
    request.Schema = Schema;
    request.Keywords = Memo->ReserveWordList();
    request.FunctionOid = RoutineOidOf(Owner);
    // Everything is read before the popup exists, so a failing catalog statement leaves no
    // popup behind and the next request works.
    const kdassist::TAssistResult result = kdassist::GatherCodeAssist(Query, request);
    if (result.Kind == kdassist::TAssistListKind::None)
        return;

    auto *popup = new TkdCodeAssist(Memo, Owner, X, Y);
    Memo->CodeAssist = popup;
    int line = 0, index = 0;
    Memo->getCursorPosition(&line, &index);
    popup->SetPrefixStart(Memo->positionFromLineIndex(line, token.PrefixStart));
    popup->setHeaderLabels({result.Caption0, result.Caption1});
    popup->setColumnWidth(0, Memo->CASize.ColumnWidth.value(0, 125));
    popup->setColumnWidth(1, Memo->CASize.ColumnWidth.value(1, 90));
    const kdassist::TAssistCandidates &c = result.Candidates;
    popup->CaptionList = c.Captions;
    popup->SubItemList = c.Details;
    popup->ImageList = c.Images;
    if (result.Kind == kdassist::TAssistListKind::Objects) {
        db::Query *query = &Query;
        const QString schema = result.ListSchema;
        popup->SetObjectSource(result.ObjectsBegin, result.ObjectsEnd, result.ObjectsCut, result.Filter,
                               [query, schema](const QString &filter, int offset, int limit) {
                                   return kdassist::ReadObjects(*query, schema, filter, offset, limit);
                               });
    }
    if (result.HasPrefix)
        popup->SetBuffer(result.Filter);
    popup->ShowItems();
    if (popup->topLevelItemCount() == 1) {
        popup->Accept(QLatin1Char('\r'));
        return;
    }
    popup->show();
    popup->raise();
    popup->setFocus();
    if (QTreeWidgetItem *first = popup->topLevelItem(0)) {
        popup->setCurrentItem(first);
        first->setSelected(true);
    }
}
