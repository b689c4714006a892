// The full-text search options dialog offscreen: the word comes back upper-cased unless case
// counts, a blank word is refused with the dialog left open, Cancel changes nothing.
#include "browser/fgrep.h"
#include "core/kdsub_msg.h"
#include "support/modal.h"
#include "support/qstring_printer.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

QString u(const char *s) { return QString::fromUtf8(s); }

void onDialog(std::function<void(TfrmGrep *)> Act) { OnModalDialog<TfrmGrep>(std::move(Act)); }

TEST(GrepDialog, WordScopeAndCase)
{
    QStringList boxes;
    const MessageBoxHook old = SetMessageBoxHook([&](MessageBoxRequest &r) {
        boxes << r.text;
        return IDOK;
    });
    struct Case {
        const char *Typed;
        int Scope;
        bool CharCase;
        const char *Word;
    };
    const Case cases[] = {
        {"abc", 0, false, "ABC"},
        {"abc", 3, true, "abc"},
        {"  lead", 2, false, "  LEAD"},
        {"ｓｅｌｅｃｔ", 1, false, "ＳＥＬＥＣＴ"},
    };
    for (const Case &c : cases) {
        QString word = u("old");
        int mode = 1;
        bool charCase = true;
        bool shownUnchecked = false;
        onDialog([&](TfrmGrep *d) {
            shownUnchecked = !d->chkCharCase->isChecked() && d->rdoObject[1]->isChecked()
                             && d->txtGrepWord->text() == u("old");
            d->txtGrepWord->setText(u(c.Typed));
            d->rdoObject[c.Scope]->setChecked(true);
            d->chkCharCase->setChecked(c.CharCase);
            d->btnOk->click();
        });
        ASSERT_TRUE(TfrmGrep::ShowWindow(word, mode, charCase)) << c.Typed;
        EXPECT_TRUE(shownUnchecked);
        EXPECT_EQ(word, u(c.Word));
        EXPECT_EQ(mode, c.Scope);
        EXPECT_EQ(charCase, c.CharCase);
    }

    // blanks only: refused, the dialog stays; then cancel leaves everything
    QString word = u("keep");
    int mode = 2;
    bool charCase = true;
    bool stayed = false;
    onDialog([&](TfrmGrep *d) {
        d->txtGrepWord->setText(u("   "));
        d->btnOk->click();
        stayed = d->isVisible();
        d->btnCancel->click();
    });
    EXPECT_FALSE(TfrmGrep::ShowWindow(word, mode, charCase));
    EXPECT_TRUE(stayed);
    EXPECT_EQ(boxes, QStringList({u("検索する文字列を指定して下さい。")}));
    EXPECT_EQ(word, u("keep"));
    EXPECT_EQ(mode, 2);
    EXPECT_TRUE(charCase);
    SetMessageBoxHook(old);
}

} // namespace
