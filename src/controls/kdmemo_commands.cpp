// Search, indentation, character positions and selection mode of the SQL editor, as the main
// window's editing commands use them.
#include "controls/kdmemo.h"

#include <Qsci/qsciscintilla.h>

namespace {
// Characters of a position counted as the editor counts them: each earlier line's characters
// and two for its line break.
int CharPos(const TkdMemo *m, int line, int index)
{
    int n = 0;
    for (int l = 0; l < line; ++l)
        n += m->RowText(l).size() + 2;
    return n + index;
}

void LineIndexOfChar(const TkdMemo *m, int pos, int *line, int *index)
{
    const int count = qMax(1, m->lines());
    int l = 0;
    pos = qMax(0, pos);
    while (l < count - 1) {
        const int len = m->RowText(l).size() + 2;
        if (pos < len)
            break;
        pos -= len;
        ++l;
    }
    *line = l;
    *index = qMin(pos, int(m->RowText(l).size()));
}
} // namespace

bool TkdMemo::Search(const QString &Text, int Options)
{
    if (Text.isEmpty() || lines() == 0)
        return false;
    const bool down = Options & sfrDown;
    const Qt::CaseSensitivity cs = (Options & sfrMatchCase) ? Qt::CaseSensitive : Qt::CaseInsensitive;
    int l1 = 0, i1 = 0, l2 = 0, i2 = 0;
    if (hasSelectedText())
        getSelection(&l1, &i1, &l2, &i2);
    else {
        getCursorPosition(&l1, &i1);
        l2 = l1;
        i2 = i1;
    }
    // Plain text: a line at a time, so a match never spans a line break.
    const int n = lines();
    if (down) {
        for (int l = l2; l < n; ++l) {
            const int at = RowText(l).indexOf(Text, l == l2 ? i2 : 0, cs);
            if (at >= 0) {
                setSelection(l, at, l, at + Text.size());
                ensureLineVisible(l);
                return true;
            }
        }
    } else {
        for (int l = l1; l >= 0; --l) {
            const QString row = RowText(l);
            int from = l == l1 ? i1 - Text.size() : row.size() - Text.size();
            if (from < 0)
                continue;
            const int at = row.lastIndexOf(Text, from, cs);
            if (at >= 0) {
                setSelection(l, at, l, at + Text.size());
                ensureLineVisible(l);
                return true;
            }
        }
    }
    return false;
}

void TkdMemo::SelTabIndent()
{
    ShiftSelectedRows(true);
}

void TkdMemo::SelTabUnIndent()
{
    ShiftSelectedRows(false);
}

void TkdMemo::ShiftSelectedRows(bool forward)
{
    if (isReadOnly() || lines() == 0)
        return;
    int l1 = 0, i1 = 0, l2 = 0, i2 = 0;
    if (hasSelectedText()) {
        getSelection(&l1, &i1, &l2, &i2);
        // A selection ending at the start of a row leaves that row alone.
        if (i2 == 0 && l2 > l1)
            --l2;
    } else {
        getCursorPosition(&l1, &i1);
        l2 = l1;
    }
    beginUndoAction();
    for (int l = l1; l <= l2; ++l) {
        if (forward)
            indent(l);
        else
            unindent(l);
    }
    endUndoAction();
}

int TkdMemo::SelStart() const
{
    int l1 = 0, i1 = 0, l2 = 0, i2 = 0;
    if (hasSelectedText())
        getSelection(&l1, &i1, &l2, &i2);
    else
        getCursorPosition(&l1, &i1);
    return CharPos(this, l1, i1);
}

int TkdMemo::SelLength() const
{
    if (!hasSelectedText())
        return 0;
    int l1 = 0, i1 = 0, l2 = 0, i2 = 0;
    getSelection(&l1, &i1, &l2, &i2);
    return CharPos(this, l2, i2) - CharPos(this, l1, i1);
}

void TkdMemo::SetSelStart(int Value)
{
    int line = 0, index = 0;
    LineIndexOfChar(this, Value, &line, &index);
    setCursorPosition(line, index);
}

void TkdMemo::SetSelLength(int Value)
{
    const int start = SelStart();
    int l1 = 0, i1 = 0, l2 = 0, i2 = 0;
    LineIndexOfChar(this, start, &l1, &i1);
    LineIndexOfChar(this, start + qMax(0, Value), &l2, &i2);
    setSelection(l1, i1, l2, i2);
}

int TkdMemo::Row() const
{
    int line = 0, index = 0;
    getCursorPosition(&line, &index);
    return line;
}

int TkdMemo::Col() const
{
    int line = 0, index = 0;
    getCursorPosition(&line, &index);
    return index;
}

TkdMemo::TSelectionMode TkdMemo::SelectionMode() const
{
    // The mode is kept on the editor: a click resets the control's own current selection mode.
    return property("kdBoxMode").toBool() ? smBox : smLine;
}

void TkdMemo::SetSelectionMode(TSelectionMode Mode)
{
    setProperty("kdBoxMode", Mode == smBox);
    SendScintilla(SCI_SETSELECTIONMODE, Mode == smBox ? SC_SEL_RECTANGLE : SC_SEL_STREAM);
}
