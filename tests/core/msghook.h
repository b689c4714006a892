#pragma once
// Scripted answers for the message boxes: while an object of this class lives, every box
// is answered from its queue instead of being shown, and what each box would have shown
// is recorded. A box without a scripted answer fails the test and is answered Cancel.
#include "core/kdsub_msg.h"
#include <QList>
#include <functional>
#include <gtest/gtest.h>

class ScriptedMessageBoxes {
public:
    // Changes the request before the answer is given: the user's typing and ticking.
    using Edit = std::function<void(MessageBoxRequest &)>;

    ScriptedMessageBoxes()
    {
        FPrevious = SetMessageBoxHook([this](MessageBoxRequest &r) { return answer(r); });
    }
    ~ScriptedMessageBoxes() { SetMessageBoxHook(std::move(FPrevious)); }
    ScriptedMessageBoxes(const ScriptedMessageBoxes &) = delete;
    ScriptedMessageBoxes &operator=(const ScriptedMessageBoxes &) = delete;

    // Queues the answer to the next box.
    ScriptedMessageBoxes &Answer(int code, Edit edit = {})
    {
        FAnswers.append({code, std::move(edit)});
        return *this;
    }
    // Every box shown so far, as it was shown (before any edit).
    const QList<MessageBoxRequest> &Shown() const { return FShown; }
    const MessageBoxRequest &Last() const { return FShown.back(); }
    qsizetype Pending() const { return FAnswers.size(); }

private:
    int answer(MessageBoxRequest &r)
    {
        FShown.append(r);
        if (FAnswers.isEmpty()) {
            ADD_FAILURE() << "unexpected message box: " << r.text.toStdString();
            return IDCANCEL;
        }
        auto [code, edit] = FAnswers.takeFirst();
        if (edit)
            edit(r);
        return code;
    }
    struct Scripted { int code; Edit edit; };
    QList<Scripted> FAnswers;
    QList<MessageBoxRequest> FShown;
    MessageBoxHook FPrevious;
};
