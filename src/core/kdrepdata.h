#pragma once
// The report-item table of report definitions, as far as menus need it.
#include <QString>

// The index of the first report item whose label (Column 0) or key word (Column 1) equals
// Text; 0 when none does (0 is also the object-list item "OBJECT").
int RepDataIndex(const QString &Text, int Column);
