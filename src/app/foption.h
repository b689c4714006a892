#pragma once
// The options dialog "オプション": the general options (TkdOption), the SQL formatting options
// (TFormatOption) and the hot keys of the main window's actions, on eight pages. It edits the
// records in memory only; they reach the settings file when the program ends. A modal window
// of its own, centred on the screen, that closes only through its buttons.
#include "core/kdforms.h"

#include <QKeySequence>
#include <QList>
#include <QPointer>
#include <functional>
#include <optional>

class QAction;
class QButtonGroup;
class QEventLoop;
class QGroupBox;
class QLabel;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QToolButton;
class QTreeWidgetItem;
class TkdCheckBox;
class TkdComboBox;
class TkdMemo;
class TkdNumEdit;
class TkdStrEdit;
class TkdTreeNode;
class TkdTreeView;

// ---------------------------------------------------------------------------------------------
// Rules of the dialog that need no window.

// What a key released in the hot-key list does.
enum class THotKeyAction { Ignore, Clear, Assign };
struct THotKeyResult {
    THotKeyAction Action = THotKeyAction::Ignore;
    QKeySequence Shortcut; // for Assign
};
// The virtual-key number of a Qt key on the Japanese keyboard (letters and digits as their
// capital ASCII codes, F1 = 112, Delete 46, Space 32, the symbol keys 186 … 226, shifted
// symbols as the key they are typed on); 0 for a key without one.
int HotKeyVirtualKey(int qtKey);
// The rule of the hot-key list: Space clears; Delete, digits and letters, F1 to F10 and the
// symbol keys 186 to 190, 192 to 221 and 223 form a shortcut with the Shift, Ctrl and Alt
// states (a digit or letter alone is ignored); every other key is ignored.
THotKeyResult HotKeyFor(int qtKey, Qt::KeyboardModifiers modifiers);

// A folder box on OK: the text trimmed, then "/" appended unless it ends with one; an empty
// (or blank) box gives defaultFolder.
QString NormalizeFolderText(const QString &text, const QString &defaultFolder);
// The statement the formatting preview formats.
QString OptionSampleSQL();
// The preview: `sql` formatted with `layout`; the statement as it stands when formatting fails.
QString OptionPreviewText(const QString &sql, const TFormatOption &layout);

// ---------------------------------------------------------------------------------------------

class TfrmOption : public TkdForm
{
    Q_OBJECT
public:
    // Shows the dialog modally; true when it ended with OK (the options then hold the new
    // values). Cancel leaves every option and every shortcut as it was.
    static bool ShowWindow();
    // The open dialog while ShowWindow runs (tests drive it through its controls).
    static TfrmOption *Current();

    // Folder and file questions; tests answer them instead of a real dialog. folder: a folder
    // browser, else a file-open dialog with the pipe-notation filter. Nothing for Cancel.
    using TPickHook = std::function<std::optional<QString>(bool folder, const QString &caption,
                                                           const QString &start, const QString &filter)>;
    static TPickHook SetPickHook(TPickHook hook);

    explicit TfrmOption(QWidget *mainWindow);
    ~TfrmOption() override;

    // The steps between creation and showing: samples, font lists, images, first page, the
    // controls loaded from the options, the kept formatting record and the preview.
    void Prepare();
    // Shows the window modally and returns the modal result (1 OK, 2 cancel).
    int ShowModal();
    // The OK checks; true when all pass (the first failure selects its page, shows its
    // message and focuses its box).
    bool CheckControls();
    // Every control into the options, the shortcuts into the actions, the connection windows
    // and the date/time formats updated.
    void ApplyControls();
    // The formatting options as they were when the dialog opened.
    void RestoreFormat();

    void btnOkClick();
    void btnCancelClick();
    void btnHelpClick();
    void FormatChange();
    void txtIndentChange();
    // Leaving a font size box (the data size box also for the other number boxes named so).
    void FontSizeExit(TkdNumEdit *sizeBox, QPlainTextEdit *sample);
    // A key released in the hot-key list.
    void lstShortCutKeyUp(int qtKey, Qt::KeyboardModifiers modifiers);
    // The node of an action in the hot-key list; nullptr when it has none.
    TkdTreeNode *ShortCutNode(const QString &actionName) const;
    int ModalResult() const { return FModalResult; }
    void SetModalResult(int result);

    QTabWidget *pagOption = nullptr;
    QPushButton *btnOk = nullptr;
    QPushButton *btnCancel = nullptr;
    QPushButton *btnHelp = nullptr;
    // Page "オブジェクトリスト"
    QWidget *tabObjectList = nullptr;
    TkdCheckBox *chkData = nullptr, *chkRowSelect = nullptr, *chkDelErr = nullptr, *chkFind = nullptr,
                *chkFindAuto = nullptr, *chkProgress = nullptr, *chkUserFirst = nullptr;
    QToolButton *btnTable = nullptr, *btnIndex = nullptr, *btnView = nullptr, *btnFunc = nullptr,
                *btnType = nullptr, *btnTrigger = nullptr, *btnSeq = nullptr, *btnConst = nullptr,
                *btnRule = nullptr;
    QButtonGroup *rdoSort = nullptr;
    // Page "定義情報"
    QWidget *tabDefine = nullptr;
    TkdComboBox *cmbOpenMode = nullptr;
    TkdCheckBox *chkShowDDL = nullptr, *chkShowStorageSource = nullptr, *chkShowColumnSource = nullptr,
                *chkCloseDDL = nullptr, *chkBeforeSource = nullptr, *chkBeforeSrcDialog = nullptr,
                *chkBeforeSrcRenum = nullptr, *chkBeforeSrcHead = nullptr, *chkAfterSource = nullptr,
                *chkAfterSrcDialog = nullptr, *chkAfterSrcRenum = nullptr, *chkAfterSrcHead = nullptr,
                *chkBackupData = nullptr, *chkDefaultAutoQuote = nullptr;
    QGroupBox *grpBeforeSource = nullptr, *grpAfterSource = nullptr;
    QLabel *lblBeforeSource = nullptr, *lblAfterSource = nullptr;
    TkdStrEdit *txtBeforeSource = nullptr, *txtAfterSource = nullptr;
    QToolButton *btnBeforeSource = nullptr, *btnAfterSource = nullptr;
    // Page "SQL実行"
    QWidget *tabSQL = nullptr;
    QListWidget *lstDiagramFontName = nullptr, *lstGridFontName = nullptr;
    TkdNumEdit *txtDiagramFontSize = nullptr, *txtGridFontSize = nullptr, *txtSQLBuf = nullptr;
    QPlainTextEdit *txtDiagramFontSample = nullptr, *txtGridFontSample = nullptr;
    TkdCheckBox *chkUsePartial = nullptr;
    // Page "データ"
    QWidget *tabQuery = nullptr;
    TkdNumEdit *txtDefTopRecord = nullptr, *txtDataFontSize = nullptr, *txtDataColWidthH = nullptr,
               *txtDataColWidthV = nullptr;
    QListWidget *lstDataFontName = nullptr;
    QPlainTextEdit *txtDataFontSample = nullptr;
    QButtonGroup *rdoDataShowMode = nullptr;
    TkdCheckBox *chkShowWhereGrid = nullptr, *chkWhereAutoQuote = nullptr, *chkUpdateMode = nullptr,
                *chkAddStripe = nullptr;
    TkdComboBox *cmbDateFormat = nullptr, *cmbTimeFormat = nullptr;
    // Page "整形出力"
    QWidget *TabFormat = nullptr;
    TkdNumEdit *txtIndent = nullptr;
    QButtonGroup *rdoItemReturn = nullptr, *rdoReserveTran = nullptr, *rdoItemTran = nullptr,
                 *rdoCommaPos = nullptr, *rdoAndPos = nullptr, *rdoReservePos = nullptr;
    QGroupBox *grpCommaPos = nullptr, *grpAndPos = nullptr;
    TkdMemo *txtFormat = nullptr;
    // Page "キー操作"
    QWidget *tabKey = nullptr;
    TkdTreeView *lstShortCut = nullptr;
    // Page "外部出力"
    QWidget *tabOutput = nullptr;
    TkdStrEdit *txtExcelDir = nullptr, *txtFormSQL = nullptr, *txtFormMatrix = nullptr, *txtFileDir = nullptr;
    QToolButton *btnExcelDir = nullptr, *btnFormSQL = nullptr, *btnFormMatrix = nullptr, *btnFileDir = nullptr;
    QButtonGroup *rdoExcel = nullptr, *rdoExcelTitle = nullptr, *rdoPasteColumn = nullptr, *rdoPasteTitle = nullptr;
    TkdCheckBox *chkExcelDialog = nullptr, *chkExcelRefresh = nullptr, *chkPasteDialog = nullptr;
    TkdNumEdit *txtSQLTop = nullptr, *txtMatrixRow = nullptr, *txtMatrixCol = nullptr;
    TkdComboBox *cmbSQLLeft = nullptr, *cmbEncoding = nullptr;
    // Page "詳細設定"
    QWidget *tabOther = nullptr;
    TkdNumEdit *txtCrossLevel = nullptr, *txtDataGenCommit = nullptr;
    TkdStrEdit *txtTempDir = nullptr;
    QToolButton *btnTempDir = nullptr;
    TkdCheckBox *chkUseUpperName = nullptr, *chkCodeAssist = nullptr, *chkUpdateToCommit = nullptr;

protected:
    void closeEvent(QCloseEvent *e) override;
    bool eventFilter(QObject *watched, QEvent *e) override;

private:
    void BuildObjectListPage();
    void BuildDefinePage();
    void BuildSQLPage();
    void BuildQueryPage();
    void BuildFormatPage();
    void BuildKeyPage();
    void BuildOutputPage();
    void BuildOtherPage();
    void LoadControls();
    void LoadShortCuts();
    void FillFontList(QListWidget *list, QPlainTextEdit *sample, const QString &name, int size);
    void chkFindClick();
    void chkBeforeSourceClick();
    void chkAfterSourceClick();
    void PickFolder(TkdStrEdit *box, const QString &caption);
    void PickFormFile(TkdStrEdit *box);
    void ApplyToConnectionWindows(bool orderChanged);
    TFormatOption FormatFromControls() const;

    int FModalResult = 0;
    QEventLoop *FLoop = nullptr;
    int PreIndent = 0;
    QString SampleSQL;
    TFormatOption FKeptFormat;
    QList<QWidget *> FDataSizeExits;
};
