#pragma once
// The application layer's windows that other windows open through the window-opener table:
// "TfrmSample" (Parent: the source editor; "ObjectType"; "SampleWindow" -> QPointer<TfrmSample> *)
// and "TfrmStatList" ("Files" the snapshot names, "FileNameToDate" ->
// std::function<QString(const QString &)> *, "Marked" -> QList<bool> *, "Accepted" -> bool *).
void RegisterAppOpeners();
