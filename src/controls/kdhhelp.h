#pragma once
// Help of the program: one component, created with the main window, takes the application's
// help requests and opens the page for a help context with the desktop's viewer. The help is
// a folder of HTML pages shipped with the program ("help" next to it, or resources/help of the
// source tree); the page of context N is N.html, the default topic index.html.
#include <QObject>
#include <QPoint>
#include <QUrl>
#include <functional>

// Help commands of the application's help requests.
inline constexpr int HELP_CONTEXT = 1;
inline constexpr int HELP_INDEX = 3;
inline constexpr int HELP_CONTEXTPOPUP = 8;
inline constexpr int HELP_FINDER = 11;
inline constexpr int HELP_SETPOPUP_POS = 13;

class THTMLHelp : public QObject
{
    Q_OBJECT
public:
    explicit THTMLHelp(QObject *AOwner = nullptr);
    ~THTMLHelp() override;

    // Answers one help request. Returns false and leaves CallHelp alone when the help file is
    // not this kind of help (see HelpFile); otherwise CallHelp becomes false.
    bool OnApplicationHelp(int Command, qintptr Data, bool &CallHelp);
    QPoint PopupPos() const { return FPopupPos; }

    // The application's help file; empty means the program's own name with ".chm", which
    // stands for the folder of HTML pages.
    static void SetApplicationHelpFile(const QString &file);
    static QString ApplicationHelpFile();
    // The folder of the pages; empty when none is found.
    static QString HelpFolder();
    // The page of a help context, whether or not it exists (opening a missing page names it in
    // an error message); empty when no help folder is found.
    static QString PageFor(int context);
    // Opens a page; tests install their own opener. The default is the desktop's viewer.
    static void SetOpenHook(std::function<bool(const QUrl &)> hook);
    // The component that takes the application's help requests (the last one created).
    static THTMLHelp *Instance();

private:
    bool Open(const QString &page);
    QPoint FPopupPos;
};

// F1 or the Help button of a window: shows the page of its help context.
void ShowHelpContext(int context);
