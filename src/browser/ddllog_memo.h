#pragma once
// The read-only statement view and the window layout that the DDL preview and the run log share.
#include <QList>

class QHBoxLayout;
class QPushButton;
class QsciScintilla;
class QWidget;

// A read-only TkdMemo (returned as its editor base, so that callers need not include the
// memo's header) without line numbers, ruler or word wrap, with the shared editor
// settings; `plain` also shows every kind of text in the font colour (the run log).
QsciScintilla *CreateStatementMemo(QWidget *parent, bool plain);

// Lays out a statement window: object name and the main window's icon, the memo filling the
// window above a 37-pixel bottom panel holding Left (a check box, may be nullptr) on the left
// and Buttons centred, and the initial size. Returns the memo.
QsciScintilla *BuildStatementWindow(QWidget *window, const char *objectName, bool plain, QWidget *Left,
                                    const QList<QPushButton *> &Buttons);

// Moves window so that it stands centred over the main window (nothing without one).
void CentreOverMainWindow(QWidget *window);
