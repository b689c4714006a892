#pragma once
// A uniform view of every option group for table-driven tests: each row of a record's
// table as (value name, kind, written, current value of the global record's field).
#include "core/kdsub_options.h"

#include <QDateTime>
#include <QVariant>
#include <functional>
#include <vector>

struct OptionRowView {
    QString Name;
    TOptionKind Kind;
    bool Written;
    QVariant Value;  // bool, int, QString, QStringList or QDateTime
};

struct OptionGroupView {
    QString Key;  // "" for the main key
    std::function<std::vector<OptionRowView>()> Rows;
    // Gives every field of the global record a value unlike its default; salt varies it.
    std::function<void(int salt)> Fill;
};

template <class R>
OptionGroupView MakeGroupView()
{
    OptionGroupView g;
    g.Key = QLatin1String(OptionKey<R>());
    g.Rows = [] {
        std::vector<OptionRowView> out;
        const R &rec = R::Global();
        for (const TOptionRow<R> &row : OptionTable<R>()) {
            QVariant v;
            std::visit(
                [&](auto member) {
                    const auto &f = rec.*member;
                    using F = std::remove_cvref_t<decltype(f)>;
                    if constexpr (std::is_enum_v<F>)
                        v = static_cast<int>(f);
                    else
                        v = QVariant::fromValue(f);
                },
                row.Field);
            out.push_back({QLatin1String(row.Value), row.Kind, row.Written, v});
        }
        return out;
    };
    g.Fill = [](int salt) {
        R &rec = R::Global();
        int n = 0;
        for (const TOptionRow<R> &row : OptionTable<R>()) {
            ++n;
            std::visit(
                [&](auto member) {
                    auto &f = rec.*member;
                    using F = std::remove_cvref_t<decltype(f)>;
                    if constexpr (std::is_same_v<F, bool>)
                        f = row.DefaultNumber == 0;
                    else if constexpr (std::is_same_v<F, int> || std::is_enum_v<F>)
                        f = static_cast<F>(row.DefaultNumber == 2 ? 1 : 2 + ((n + salt) % 3));
                    else if constexpr (std::is_same_v<F, QString>)
                        f = QStringLiteral(" 値 %1-%2 ").arg(QLatin1String(row.Value)).arg(salt);
                    else if constexpr (std::is_same_v<F, QStringList>)
                        f = QStringList{QStringLiteral("db%1=/x/").arg(salt), QStringLiteral("二行目")};
                    else if constexpr (std::is_same_v<F, QDateTime>)
                        f = QDateTime(QDate(2024, 5, 6), QTime(7, 8, 9 + salt % 50));
                },
                row.Field);
        }
    };
    return g;
}

inline std::vector<OptionGroupView> AllGroupViews()
{
    return {MakeGroupView<TkdOption>(),     MakeGroupView<TkdPrintOption>(),
            MakeGroupView<TScriptOption>(), MakeGroupView<TExpOption>(),
            MakeGroupView<TImpOption>(),    MakeGroupView<TExpdpOption>(),
            MakeGroupView<TImpdpOption>(),  MakeGroupView<TLoadOption>(),
            MakeGroupView<TStatsOption>(),  MakeGroupView<TTrcOption>(),
            MakeGroupView<TCompOption>(),   MakeGroupView<TPerformOption>(),
            MakeGroupView<TLockOption>(),   MakeGroupView<TFormatOption>(),
            MakeGroupView<TDBTestOption>(), MakeGroupView<TkdEditorSettings>()};
}
