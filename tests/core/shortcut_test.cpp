// Stored shortcut texts and the 67 action shortcuts of the main window.
#include "settings_fixture.h"
#include "support/qstring_printer.h"

#include "core/kdmainservices.h"
#include "core/kdshortcut.h"

#include <QAction>
#include <QSet>
#include <map>
#include <memory>

using settings::SettingsStore;
using settings::Value;

namespace {

const QString kShortcutKey = QStringLiteral("\\Software\\Tarnwell\\ZUMAQ\\SHORTCUT");

// The main window's side: the 67 actions with their design-time shortcuts.
class FakeMainWindow : public TkdMainServices {
public:
    FakeMainWindow()
    {
        for (const TShortcutRow &row : ShortcutRows()) {
            auto a = std::make_unique<QAction>();
            a->setObjectName(QLatin1String(row.Action));
            a->setShortcut(TextToShortCut(QLatin1String(row.Default)));
            FActions[QLatin1String(row.Action)] = std::move(a);
        }
        SetMainServices(this);
    }
    ~FakeMainWindow() override { SetMainServices(nullptr); }

    QAction *FindAction(const QString &name) const override
    {
        const auto it = FActions.find(name);
        return it == FActions.end() ? nullptr : it->second.get();
    }
    void EditorSettingsLoaded(const TkdEditorSettings &s) override { FEditor = s; }
    void CollectEditorSettings(TkdEditorSettings &s) override { s = FEditor; }

    QAction *Action(const char *name) const { return FindAction(QLatin1String(name)); }

    std::map<QString, std::unique_ptr<QAction>> FActions;
    TkdEditorSettings FEditor;
};

} // namespace

TEST(ShortcutText, KeysConvertBothWays)
{
    struct Case {
        QKeySequence Key;
        const char *Text;
    };
    const Case cases[] = {
        {QKeySequence(), ""},
        {QKeySequence(Qt::CTRL | Qt::Key_Z), "Ctrl+Z"},
        {QKeySequence(Qt::SHIFT | Qt::Key_F3), "Shift+F3"},
        {QKeySequence(Qt::SHIFT | Qt::CTRL | Qt::ALT | Qt::Key_A), "Shift+Ctrl+Alt+A"},
        {QKeySequence(Qt::Key_F24), "F24"},
        {QKeySequence(Qt::Key_Delete), "Del"},
        {QKeySequence(Qt::Key_Insert), "Ins"},
        {QKeySequence(Qt::Key_Backspace), "BkSp"},
        {QKeySequence(Qt::ALT | Qt::Key_Return), "Alt+Enter"},
        {QKeySequence(Qt::Key_Escape), "Esc"},
        {QKeySequence(Qt::CTRL | Qt::Key_Space), "Ctrl+Space"},
        {QKeySequence(Qt::Key_PageUp), "PgUp"},
        {QKeySequence(Qt::Key_PageDown), "PgDn"},
        {QKeySequence(Qt::Key_Home), "Home"},
        {QKeySequence(Qt::Key_End), "End"},
        {QKeySequence(Qt::CTRL | Qt::Key_Left), "Ctrl+Left"},
        {QKeySequence(Qt::Key_Up), "Up"},
        {QKeySequence(Qt::Key_Right), "Right"},
        {QKeySequence(Qt::Key_Down), "Down"},
        {QKeySequence(Qt::Key_Tab), "Tab"},
        {QKeySequence(Qt::CTRL | Qt::Key_5), "Ctrl+5"},
        {QKeySequence(Qt::CTRL | Qt::Key_Minus), "Ctrl+-"},
        {QKeySequence(Qt::CTRL | Qt::Key_Plus), "Ctrl++"},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(ShortCutToText(c.Key), QLatin1String(c.Text)) << c.Text;
        EXPECT_EQ(TextToShortCut(QLatin1String(c.Text)), c.Key) << c.Text;
    }
    // Keypad digits are written as digits; names are read without regard to case.
    EXPECT_EQ(ShortCutToText(QKeySequence(Qt::KeypadModifier | Qt::Key_7)), QStringLiteral("7"));
    EXPECT_EQ(TextToShortCut(QStringLiteral("ctrl+shift+pgdn")), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_PageDown));
    EXPECT_EQ(TextToShortCut(QStringLiteral("CTRL+z")), QKeySequence(Qt::CTRL | Qt::Key_Z));
}

TEST(ShortcutText, NoShortcutHasAStoredFormOfItsOwn)
{
    EXPECT_EQ(ShortCutToStoredText(QKeySequence()), QStringLiteral("None"));
    EXPECT_EQ(ShortCutToStoredText(QKeySequence(Qt::CTRL | Qt::Key_S)), QStringLiteral("Ctrl+S"));
    for (const char *none : {"None", "none", " NONE "})
        EXPECT_TRUE(TextToShortCut(QLatin1String(none)).isEmpty()) << none;
    // The display form stays empty for none.
    EXPECT_EQ(ShortCutToText(QKeySequence()), QString());
}

TEST(ShortcutText, TextsThatDoNotConvertGiveNoShortcut)
{
    for (const char *bad : {"Ctrl+", "Ctrl+NoSuchKey", "F25", "F0", "Hyper+A", "Ctrl+A,Ctrl+B", "Shift+F03"})
        EXPECT_TRUE(TextToShortCut(QLatin1String(bad)).isEmpty()) << bad << " -> " << qPrintable(TextToShortCut(QLatin1String(bad)).toString());
}

TEST(ShortcutRows, SixtySevenRowsWithTheirNamesAndDefaults)
{
    const auto rows = ShortcutRows();
    ASSERT_EQ(rows.size(), 67u);
    QSet<QString> values, actions;
    int withDefault = 0;
    for (const TShortcutRow &r : rows) {
        values.insert(QLatin1String(r.Value));
        actions.insert(QLatin1String(r.Action));
        const QString value = QLatin1String(r.Value);
        const QString action = QLatin1String(r.Action);
        // The value is the action's name without "act"; object-list actions carry "Object".
        if (value.startsWith(QLatin1String("Object")))
            EXPECT_EQ(action, QStringLiteral("act") + value.mid(6)) << r.Value;
        else
            EXPECT_EQ(action, QStringLiteral("act") + value) << r.Value;
        if (*r.Default) {
            ++withDefault;
            EXPECT_FALSE(TextToShortCut(QLatin1String(r.Default)).isEmpty()) << r.Default;
        }
    }
    EXPECT_EQ(values.size(), 67);
    EXPECT_EQ(actions.size(), 67);
    EXPECT_EQ(withDefault, 16);
    EXPECT_EQ(QLatin1String(rows.front().Value), QStringLiteral("DBCommit"));
    EXPECT_EQ(QLatin1String(rows.back().Value), QStringLiteral("ToolScriptOption"));
}

class ShortcutStoreTest : public FreshSettingsTest {};

TEST_F(ShortcutStoreTest, StoredShortcutsReachTheActions)
{
    {
        FakeMainWindow main;
        LoadSettings();
        EXPECT_EQ(main.Action("actEditCopy")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_C));
        EXPECT_EQ(main.Action("actDelete")->shortcut(), QKeySequence(Qt::Key_Delete));
        EXPECT_EQ(main.Action("actEditComment")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Minus));
        // The user changes one shortcut and clears another.
        main.Action("actViewSQL")->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Q));
        main.Action("actEditFind")->setShortcut(QKeySequence());
        main.Action("actDBCommit")->setShortcut(QKeySequence(Qt::Key_F9));
        ASSERT_TRUE(SaveSettings().isEmpty());
    }
    SettingsStore store(ConfigFile());
    EXPECT_EQ(store.valueNames(kShortcutKey).size(), 67);
    EXPECT_EQ(store.value(kShortcutKey, QStringLiteral("ViewSQL"))->text, QStringLiteral("Shift+Ctrl+Q"));
    EXPECT_EQ(store.value(kShortcutKey, QStringLiteral("EditFind"))->text, QStringLiteral("None"));
    EXPECT_EQ(store.value(kShortcutKey, QStringLiteral("ObjectDelete"))->text, QStringLiteral("Del"));
    EXPECT_EQ(store.value(kShortcutKey, QStringLiteral("EditFindPrev"))->text, QStringLiteral("Shift+F3"));

    // A text typed by hand that does not convert.
    ASSERT_TRUE(store.setValue(kShortcutKey, QStringLiteral("EditCut"), Value::fromString(QStringLiteral("Ctrl+Banana"))));
    // A file of an older version: an empty text stands for "not set" and gives the default.
    ASSERT_TRUE(store.setValue(kShortcutKey, QStringLiteral("EditCopy"), Value::fromString(QString())));

    Restart();
    FakeMainWindow next;
    LoadSettings();
    EXPECT_EQ(next.Action("actViewSQL")->shortcut(), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Q));
    EXPECT_EQ(next.Action("actDBCommit")->shortcut(), QKeySequence(Qt::Key_F9));
    // A cleared shortcut stays cleared after a restart.
    EXPECT_TRUE(next.Action("actEditFind")->shortcut().isEmpty());
    EXPECT_TRUE(next.Action("actEditCut")->shortcut().isEmpty());
    EXPECT_EQ(next.Action("actEditCopy")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_C));
}

TEST_F(ShortcutStoreTest, EditorSettingsPassThroughTheMainWindow)
{
    FakeMainWindow main;
    LoadSettings();
    EXPECT_EQ(main.FEditor.FontSize, 12);
    EXPECT_EQ(main.FEditor.ReserveWordList.size(), 397);
    main.FEditor.FontSize = 15;
    main.FEditor.EofMarkColor = 0x000000FF;
    ASSERT_TRUE(SaveSettings().isEmpty());
    Restart();
    FakeMainWindow next;
    LoadSettings();
    EXPECT_EQ(next.FEditor.FontSize, 15);
    EXPECT_TRUE(next.FEditor.EofMarkVisible);
}
