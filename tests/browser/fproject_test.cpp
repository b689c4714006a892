// The schema filter dialog: ticks from the stored list, the check that one schema is
// ticked, storing in list order, and Cancel storing nothing.
#include "browser/fproject.h"
#include "browser/objtree.h"
#include "core/kdconnservices.h"
#include "core/kdsub_msg.h"
#include "core/kdsub_start.h"
#include "core/kdreg.h"
#include "support/qstring_printer.h"

#include <QApplication>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

QString u(const char *s) { return QString::fromUtf8(s); }

class NamedDatabase : public TkdConnServices {
public:
    db::Connection *dbsMain() const override { return nullptr; }
    QString ConnectionParam(const QString &Name) const override
    {
        return Name == QLatin1String("Database") ? u("projdb") : QString();
    }
    int DBVer() const override { return 150000; }
    int DBAMODE() const override { return 0; }
};

// Runs Act on the dialog once it is shown.
void onDialog(std::function<void(TfrmProject *)> Act)
{
    QTimer::singleShot(0, [Act] {
        auto *d = qobject_cast<TfrmProject *>(QApplication::activeModalWidget());
        ASSERT_NE(d, nullptr);
        Act(d);
    });
}

TEST(SchemaFilterDialog, TicksStoresAndChecks)
{
    InitializeSharedUnit();
    QStringList boxes;
    const MessageBoxHook old = SetMessageBoxHook([&](MessageBoxRequest &r) {
        boxes << r.text;
        return IDOK;
    });
    NamedDatabase owner;
    auto schemas = [](QStringList &l) { l = {u("Archive"), u("hr"), u("sales"), u("経理")}; };
    WriteStoredSchemas(u("projdb"), {u("sales"), u("gone"), u("Archive")});

    QStringList shown;
    onDialog([&](TfrmProject *d) {
        for (int i = 0; i < d->chkUserList->count(); ++i)
            if (d->chkUserList->item(i)->checkState() == Qt::Checked)
                shown << d->chkUserList->item(i)->text();
        // nothing ticked: warned, the dialog stays open
        for (int i = 0; i < d->chkUserList->count(); ++i)
            d->chkUserList->item(i)->setCheckState(Qt::Unchecked);
        d->btnOk->click();
        EXPECT_TRUE(d->isVisible());
        d->chkUserList->item(3)->setCheckState(Qt::Checked);
        d->chkUserList->item(0)->setCheckState(Qt::Checked);
        d->btnOk->click();
    });
    EXPECT_TRUE(TfrmProject::ShowWindow(&owner, schemas, QString()));
    EXPECT_EQ(shown, (QStringList{u("Archive"), u("sales")}));
    EXPECT_EQ(boxes, QStringList{u("所属するスキーマを最低一つは選択して下さい。")});
    // written in list order; a stored schema that no longer exists is dropped
    EXPECT_EQ(ReadStoredSchemas(u("projdb")), (QStringList{u("Archive"), u("経理")}));

    onDialog([](TfrmProject *d) {
        d->chkUserList->item(1)->setCheckState(Qt::Checked);
        d->btnCancel->click();
    });
    EXPECT_FALSE(TfrmProject::ShowWindow(&owner, schemas, QString()));
    EXPECT_EQ(ReadStoredSchemas(u("projdb")), (QStringList{u("Archive"), u("経理")}));
    SetMessageBoxHook(old);
}

} // namespace
