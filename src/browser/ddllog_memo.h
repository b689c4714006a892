#pragma once
// The read-only statement view that the DDL preview and the run log share.
class QsciScintilla;
class QWidget;

// A read-only TkdMemo (returned as its editor base, so that callers need not include the
// memo's header) without line numbers, ruler or word wrap, with the shared editor
// settings; `plain` also shows every kind of text in the font colour (the run log).
QsciScintilla *CreateStatementMemo(QWidget *parent, bool plain);
