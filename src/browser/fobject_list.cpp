// The connection window's object tree and object list: creation of the two panes and the
// signals that join them to the window and the main window's status bar.
#include "browser/fobject.h"

#include "browser/fproject.h"
#include "browser/objlist.h"
#include "browser/objtree.h"
#include "controls/kdcomctrls.h"
#include "core/kdforms.h"
#include "core/kdsub_msg.h"

#include <QMdiSubWindow>
#include <QTimer>

void TfrmObject::CreateObjectPanes()
{
    FTreePane = new TObjectTreePane(this);
    FListPane = new TObjectListPane(this);
    trvObject = FTreePane->lstTree;
    lstObject = FListPane->lstObject;
    FTreePane->GetSchemaInfo = [this](QStringList &names) { GetSchemaInfo(names, true); };
    FTreePane->ShowSchemaFilter = [this] {
        return TfrmProject::ShowWindow(this, FTreePane->GetSchemaInfo, QString());
    };
    if (TkdMainForm *host = TkdMainForm::Instance()) {
        auto image = [host](int index) { return host->Image(index); };
        FTreePane->SetImages(image);
        FListPane->SetImages(image);
    }
    FListPane->LoadFindHistory();

    connect(FTreePane, &TObjectTreePane::TreeChange, this, [this] {
        GuardedCall([this] { ShowObject(false); });
    });
    connect(FTreePane, &TObjectTreePane::DispChanged, this, [this](int value) { Disp = value; });
    connect(FTreePane, &TObjectTreePane::Failed, this, [](const QString &message) {
        ShowMessageBox(message, MB_ICONERROR | MB_OK);
    });
    connect(FListPane, &TObjectListPane::FindRequested, this, [this] {
        GuardedCall([this] { ShowObject(false); });
    });
    connect(FListPane, &TObjectListPane::LoopMessage, this, [](int count, int total) {
        if (TkdMainForm *host = TkdMainForm::Instance())
            host->SetLoopMessage(count, total);
    });
    connect(FListPane, &TObjectListPane::FillEnded, this, [this] {
        if (!FCloseAfterFill)
            return;
        FCloseAfterFill = false;
        // After the fill has unwound: the close asks the usual questions then.
        QTimer::singleShot(0, this, [this] {
            if (auto *frame = qobject_cast<QMdiSubWindow *>(parentWidget()))
                frame->close();
            else
                close();
        });
    });
    connect(FListPane, &TObjectListPane::DefMessage, this, [](int) {
        if (TkdMainForm *host = TkdMainForm::Instance())
            host->SetDefMessage();
    });
}

void TfrmObject::ShowTree()
{
    FTreePane->SetDisp(Disp);
    FTreePane->ShowTree();
}

void TfrmObject::ShowObject(bool isGrep)
{
    FListPane->ShowObject(isGrep, FTreePane->Selection(), Disp);
}
