#pragma once
// The dialogs of the connection-window layer that other windows open through the window-
// opener table (core/kdopeners.h). Results come back through pointers the caller puts into
// the values (QVariant::fromValue<void *>), named below.
//
// "TfrmFieldList": Owner; "Schema", "TableName"; "FieldList" -> QStringList * (read, replaced).
// "TfrmTableList": Owner (a connection window); "TableList" -> QList<TTableChoice> * (appended).
// "TfrmScriptOption": without Owner the options alone; with Owner (a connection window)
//   "ScriptPath", "NameTable" -> QString * (set on OK) and "Accepted" -> bool *.
void RegisterBrowserOpeners();
