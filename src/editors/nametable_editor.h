#pragma once
// The script-name table editor: chooses the table of a connection's database that names the
// script file of each object, creates it when it does not exist, fills it with one row per
// object, shows its rows for editing and registers it in the script options. Only a table
// that exists with the four columns is registered.
#include "core/kdforms.h"

class QAction;
class QComboBox;
class QToolButton;
class TfraData;
class TkdComboBox;

class TfrmNameTable : public TkdForm
{
    Q_OBJECT
public:
    // The result of the last Reload.
    enum TRelRes { rrDefault, rrNone, rrSelect, rrLayout };

    explicit TfrmNameTable(TkdConnForm *Owner);
    // The modal window for the connection of `Owner`; returns when it has closed.
    static void ShowWindow(TkdConnForm *Owner);
    // Fills the connection box from the main window's connections, selects the one of
    // `Owner` and loads its registration (errors are shown; the window still opens).
    void Prepare(TkdConnForm *Owner);

    TRelRes RelRes() const { return L_enmRelRes; }
    void cmbDBNameSelect();
    void Reload() override;
    void DBChange() override;
    void LoadWindowLayout() override;
    void SaveWindowLayout() override;
    void btnCommitClick();
    void mnuInstDataClick();

    QComboBox *cmbDBName = nullptr;
    TkdComboBox *cmbSchema = nullptr;
    TkdComboBox *cmbName = nullptr;
    TfraData *fraData = nullptr;
    QToolButton *btnCommit = nullptr;
    QToolButton *btnExit = nullptr;
    QAction *mnuInstData = nullptr;

private:
    QString Database() const;
    void SetCaption();
    void FillConnections(const QString &Select);
    void UpdateInstData();
    QList<TkdConnForm *> FConnections;
    TRelRes L_enmRelRes = rrDefault;
};
