#pragma once
// What the embedded frames share: the editor window that hosts a frame, the images of the
// main window, and catalog reads through the host's connection window.
#include <QIcon>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>

class QWidget;
class QToolButton;
class QVBoxLayout;
class TkdConnForm;
class TkdForm;

// The editor window that holds `frame` (the frame itself or its nearest TkdForm ancestor);
// nullptr when the frame sits in no editor window.
TkdForm *FrameHost(const QWidget *frame);

// Image `index` of the main image list; an empty icon without a main window.
QIcon FrameImage(int index);

// One result row: each value as text, a NULL as an invalid QVariant.
using TFrameRow = QList<QVariant>;

// Opens `sql` through the connection window's lookup with `values` for its colon parameters
// (in order of first appearance), reads every row and closes the query, also on failure.
QList<TFrameRow> ReadFrameRows(TkdConnForm *conn, const QString &sql, const QStringList &values);

// A PostgreSQL array literal of the numbers ("{1,2,3}") for an `= ANY` parameter.
QString OidArrayText(const QList<quint32> &oids);

// A 24 x 24 button of a frame's vertical tool bar: image `image` of the main image list,
// the hint, the object name; a click runs `work` under the window guard (GuardedCall).
QToolButton *AddFrameToolButton(QWidget *bar, QVBoxLayout *column, const QString &name, int image,
                                const QString &hint, std::function<void()> work);
