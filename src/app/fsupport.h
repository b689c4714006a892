#pragma once
// The support information dialog: what a support desk asks for first (program version and
// path, the database client library, the system, the user's group and the search path), to
// copy or print.
#include <QDialog>
#include <QStringList>

class QPlainTextEdit;

// What the text is made of; gathered from the running system by SupportFacts().
struct TSupportFacts {
    QString Version;       // "0.1 (x86_64)"
    QString ProgramPath;
    QString LibpqPath;     // empty when unknown
    int LibpqVersion = 0;  // PQlibVersion(), 0 when unknown
    QString OS;
    QString Group;
    QString Path;          // the PATH variable as it is
};
TSupportFacts SupportFacts();
// The lines of the text. Paths are shown as they are (case matters here); the search path is
// cut at each ":", a final ":" giving a last line of blanks.
QStringList SupportText(const TSupportFacts &facts);

class TfrmSupport : public QDialog
{
    Q_OBJECT
public:
    explicit TfrmSupport(QWidget *parent = nullptr);
    static int ShowWindow(QWidget *parent);

    void actCopyExecute();
    void actPrintExecute();

    QPlainTextEdit *txtSupport = nullptr;
};
