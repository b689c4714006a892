#pragma once
// Scripts of many objects in a row. A loop that writes the scripts of a selection announces
// its objects first; while the batch lives, the editors' script functions may read the
// catalog facts of the announced objects of their kind together, a block at a time, instead
// of with one or more statements per object. The text of every script is the same either
// way, and an object the block did not return is read on its own as before.
#include <QHash>
#include <QList>
#include <QString>
#include <map>
#include <memory>

class TkdConnForm;

// An announced object as its script function receives it (ScriptArgsOf).
struct TScriptBatchItem {
    QString Schema;
    QString TableName; // triggers, constraints and rules
    QString ObjectName;
    bool operator==(const TScriptBatchItem &) const = default;
};

class TScriptBatch {
public:
    // Becomes the batch of Owner until it is destroyed (an outer batch of the same window
    // comes back then).
    explicit TScriptBatch(TkdConnForm *Owner);
    ~TScriptBatch();
    TScriptBatch(const TScriptBatch &) = delete;
    TScriptBatch &operator=(const TScriptBatch &) = delete;

    // Announces an object by the codes and names the caller passes to OutputScript.
    // Objects without a script are ignored.
    void Add(int ObjectType, const QString &Schema, const QString &ObjectName, const QString &TableName);

    // The live batch of a connection window; nullptr when none.
    static TScriptBatch *Of(TkdConnForm *Owner);

    // The announced objects of an editor code, in the order announced, and the position of
    // one of them (-1 when it was not announced).
    const QList<TScriptBatchItem> &Items(int EditorCode) const;
    int Position(int EditorCode, const TScriptBatchItem &Item) const;

    // A slot for what the script functions of an editor code keep while the batch lives
    // (the facts of the block read last); released with the batch.
    std::shared_ptr<void> &Cache(int EditorCode) { return FCaches[EditorCode]; }

    // The text key of an item, for hashes.
    static QString Key(const QString &Schema, const QString &TableName, const QString &ObjectName);

private:
    struct TKind {
        QList<TScriptBatchItem> Items;
        QHash<QString, int> Positions;
    };
    TkdConnForm *FOwner;
    TScriptBatch *FOuter;
    std::map<int, TKind> FKinds;
    std::map<int, std::shared_ptr<void>> FCaches;
};
