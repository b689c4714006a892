#include "browser/ddllog_memo.h"

#include "controls/kdmemo.h"
#include "controls/kdsharedsettings.h"
#include "core/kdforms.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

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

QsciScintilla *BuildStatementWindow(QWidget *window, const char *objectName, bool plain, QWidget *Left,
                                    const QList<QPushButton *> &Buttons)
{
    window->setObjectName(QString::fromLatin1(objectName));
    if (TkdMainForm *host = TkdMainForm::Instance())
        window->setWindowIcon(host->Image(10));
    auto *box = new QVBoxLayout(window);
    box->setContentsMargins(5, 5, 5, 0);
    box->setSpacing(0);
    QsciScintilla *memo = CreateStatementMemo(window, plain);
    box->addWidget(memo, 1);
    auto *pnlBottom = new QWidget(window);
    pnlBottom->setObjectName(QStringLiteral("pnlBottom"));
    pnlBottom->setFixedHeight(37);
    auto *bottom = new QHBoxLayout(pnlBottom);
    bottom->setContentsMargins(0, 0, 0, 0);
    if (Left) {
        Left->setParent(pnlBottom);
        bottom->addWidget(Left);
    }
    bottom->addStretch(1);
    for (QPushButton *b : Buttons) {
        b->setParent(pnlBottom);
        bottom->addWidget(b);
    }
    bottom->addStretch(1);
    box->addWidget(pnlBottom);
    // The controls were made before the memo; tab order follows the layout instead.
    QWidget *prev = memo;
    if (Left) {
        QWidget::setTabOrder(prev, Left);
        prev = Left;
    }
    for (QPushButton *b : Buttons) {
        QWidget::setTabOrder(prev, b);
        prev = b;
    }
    window->resize(592, 366);
    return memo;
}

void CentreOverMainWindow(QWidget *window)
{
    TkdMainForm *host = TkdMainForm::Instance();
    QWidget *main = host ? host->Widget() : nullptr;
    if (!main)
        return;
    const QPoint centre = main->frameGeometry().center();
    window->move(centre.x() - window->width() / 2, centre.y() - window->height() / 2);
}
