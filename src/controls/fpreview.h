#pragma once
// The print preview: shows the recorded pages of the print document one at a time, on a
// sheet at its physical size on the screen times the zoom, with page navigation and zoom.
// Its 印刷 returns to the print dialog.
#include <QDialog>
#include <QHash>
#include <QImage>

class QAction;
class QLabel;
class QScrollArea;
class QToolBar;

class TfrmPreview : public QDialog
{
    Q_OBJECT
public:
    explicit TfrmPreview(QWidget *AParent = nullptr);

    // Shows the pages of the print document; true when the user chose 印刷. The main window
    // is hidden while the preview is open and shown again on every exit.
    static bool ShowWindow();

    int FPage = 1;
    double FRate = 1.0;

    QToolBar *tolCmd;
    QScrollArea *scrPreview;
    QLabel *imgPreview;
    QAction *actPrint, *actPrevPage, *actNextPage, *actZoomUp, *actZoomDown, *actExit;

    // Renders the current page at the current zoom and updates the actions.
    void ShowPage();
    // The rendered sheet of a page (0-based) at a zoom, cached per page and zoom.
    QImage RenderPage(int AIndex, double ARate);
    void UpdateActions();

protected:
    void showEvent(QShowEvent *AEvent) override;

private:
    bool FShown = false;
    QHash<qint64, QImage> FCache;
};
