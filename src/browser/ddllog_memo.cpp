#include "browser/ddllog_memo.h"

#include "controls/kdmemo.h"
#include "controls/kdsharedsettings.h"

QsciScintilla *CreateStatementMemo(QWidget *parent, bool plain)
{
    auto *memo = new TkdMemo(parent);
    memo->setObjectName(QStringLiteral("txtLog"));
    ApplySharedSettings(memo);
    TkdMemoProp prop = memo->Prop();
    prop.Leftbar.Visible = false;
    prop.Ruler.Visible = false;
    prop.ScrollBarsBoth = false;
    if (plain) {
        const TColor font = prop.Font.Color;
        for (TFountainColor *c : {&prop.View.Colors.Comment, &prop.View.Colors.Str, &prop.View.Colors.Reserve,
                                  &prop.View.CommentBracket}) {
            c->Color = font;
            c->Bold = c->Italic = c->Underline = false;
        }
        prop.ReserveWordList.clear();
    }
    memo->ApplyProp(prop);
    if (plain)
        memo->SetReserveWordList({});
    memo->setWrapMode(QsciScintilla::WrapNone);
    memo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    memo->setReadOnly(true);
    memo->setBraceMatching(QsciScintilla::NoBraceMatch);
    // No horizontal scroll bar: measuring every line's width after each append is wasted.
    memo->SendScintilla(QsciScintillaBase::SCI_SETSCROLLWIDTHTRACKING, 0UL);
    return memo;
}
