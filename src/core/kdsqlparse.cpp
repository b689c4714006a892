// One-pass analysis of a SELECT, INSERT, UPDATE, DELETE or CREATE VIEW statement into its
// tables, items, conditions and clause lists. Not a grammar: a scan with a current clause,
// a parenthesis depth and quotes; clause keywords count only behind white space.
#include "core/kdsub_sql.h"
#include "core/kdsqllex.h"
#include "core/kdsub_text.h"

using namespace kdsqllex;

ESQLParseError::ESQLParseError(const QString &Message)
    : std::runtime_error(Message.toStdString()), FMessage(Message)
{
}

// ---------------------------------------------------------------------------------------
// TkdParseList

void TkdParseList::SetCapacity(int Value)
{
    if (Value < FCount)
        Value = FCount;
    FCapacity = Value;
    FList.reserve(Value);
}

void TkdParseList::Grow()
{
    int delta = 4;
    if (FCapacity > 64)
        delta = FCapacity / 4;
    else if (FCapacity > 8)
        delta = 16;
    SetCapacity(FCapacity + delta);
}

void TkdParseList::CheckIndex(int Index) const
{
    if (Index < 0 || Index >= FCount)
        throw EListError(Index);
}

int TkdParseList::Add(const QString &AObjectName, const QString &AAlias)
{
    const int index = FCount;
    Insert(index, AObjectName, AAlias);
    return index;
}

void TkdParseList::Insert(int Index, const QString &AObjectName, const QString &AAlias)
{
    if (Index < 0 || Index > FCount)
        throw EListError(Index);
    if (FCount == FCapacity)
        Grow();
    FList.insert(Index, TkdParseItem{AObjectName, AAlias});
    ++FCount;
}

void TkdParseList::Delete(int Index)
{
    CheckIndex(Index);
    FList.removeAt(Index);
    --FCount;
}

void TkdParseList::Clear()
{
    if (FCount == 0)
        return;
    FList.clear();
    FCount = 0;
    FCapacity = 0;
}

int TkdParseList::IndexOf(const QString &AObjectName, const QString &AAlias) const
{
    for (int i = 0; i < FCount; ++i)
        if (FList.at(i).FObjectName == AObjectName && FList.at(i).FAlias == AAlias)
            return i;
    return -1;
}

QString TkdParseList::GetObjectName(int Index) const
{
    CheckIndex(Index);
    return FList.at(Index).FObjectName;
}

QString TkdParseList::GetAlias(int Index) const
{
    CheckIndex(Index);
    return FList.at(Index).FAlias;
}

void TkdParseList::SetObjectName(int Index, const QString &Value)
{
    CheckIndex(Index);
    FList[Index].FObjectName = Value;
}

void TkdParseList::SetAlias(int Index, const QString &Value)
{
    CheckIndex(Index);
    FList[Index].FAlias = Value;
}

// ---------------------------------------------------------------------------------------
// ParseSQL

namespace {

enum class TClause { None, SelectList, SetList, ColumnList, ValueList, TableList, Condition, GroupList, Having, OrderList };

bool IsWordChar(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || (u >= '0' && u <= '9') || u == '_'
           || u == '#' || u == '$';
}

bool IsCompareChar(QChar c)
{
    return c == u'!' || c == u'<' || c == u'=' || c == u'>';
}

// One statement's scan; positions are 0-based indexes into the whole text.
class TParser {
public:
    TParser(const QString &s, TkdParseList &items, TkdParseList &tables, TkdParseList &orders,
            QStringList &conditions, QStringList &groups, QStringList &havings, const QString &message,
            QString &viewName)
        : S(s), N(s.size()), Items(items), Tables(tables), Orders(orders), Conditions(conditions),
          Groups(groups), Havings(havings), Message(message), ViewName(viewName), Tolerant(message.isEmpty())
    {
    }

    // Analyses from Start; NestedAt receives the start of a nested statement (tolerant mode)
    // or -1.
    TkdSQLType Run(qsizetype Start, qsizetype &NestedAt);

private:
    [[noreturn]] void Fail() const { throw ESQLParseError(Message); }
    QString Trim(qsizetype a, qsizetype b) const // characters a..b, both included
    {
        if (a < 0)
            a = 0;
        if (b >= N)
            b = N - 1;
        if (b < a)
            return QString();
        return TrimBlanks(S.mid(a, b - a + 1));
    }
    void AddText(QStringList &list, const QString &text) const
    {
        if (!text.isEmpty())
            list.append(text);
    }
    void AddToken(qsizetype a, qsizetype b)
    {
        if (FClause == TClause::Condition)
            AddText(Conditions, Trim(a, b));
        else if (FClause == TClause::Having)
            AddText(Havings, Trim(a, b));
    }
    bool InCondition() const { return FClause == TClause::Condition || FClause == TClause::Having; }
    static void AddParsePair(TkdParseList &list, const QString &first, const QString &second, bool table)
    {
        if (first.isEmpty() && second.isEmpty())
            return;
        if (first.isEmpty()) {
            list.Add(second, QString());
            return;
        }
        if (table && second.isEmpty()) {
            const qsizetype blank = first.indexOf(u' ');
            if (blank >= 0) {
                list.Add(first.left(blank), first.mid(blank + 1));
                return;
            }
        }
        list.Add(first, second);
    }
    void ClosePair(TkdParseList &list, qsizetype pos, bool setPart, bool table)
    {
        if (setPart && FItemStart == FPartStart)
            FPartStart = pos;
        AddParsePair(list, Trim(FItemStart, FPartStart - 1), Trim(FPartStart, pos - 1), table);
    }
    // Closes the pending item by its clause; Raise makes the clauses that cannot end here fail.
    void CloseItem(qsizetype pos, bool setPart = true)
    {
        switch (FClause) {
        case TClause::SelectList: ClosePair(Items, pos, setPart, false); break;
        case TClause::TableList: ClosePair(Tables, pos, setPart, true); break;
        case TClause::OrderList: ClosePair(Orders, pos, setPart, false); break;
        case TClause::SetList:
            if (FEqualsPos == FItemStart && (FEqualsPos >= N || S.at(FEqualsPos) != u'='))
                AddParsePair(Items, Trim(FItemStart, pos - 1), QString(), false);
            else
                AddParsePair(Items, Trim(FItemStart, FEqualsPos - 1), Trim(FEqualsPos + 1, pos - 1), false);
            break;
        case TClause::ColumnList: {
            const QString column = Trim(FItemStart, pos - 1);
            if (!column.isEmpty())
                Items.Add(column, QString());
            break;
        }
        case TClause::ValueList: AddText(FValues, Trim(FItemStart, pos - 1)); break;
        case TClause::GroupList: AddText(Groups, Trim(FItemStart, pos - 1)); break;
        case TClause::Condition: AddText(Conditions, Trim(FPartStart, pos - 1)); break;
        case TClause::Having: AddText(Havings, Trim(FPartStart, pos - 1)); break;
        case TClause::None: break;
        }
    }
    void SetMarkers(qsizetype pos) { FItemStart = FPartStart = FEqualsPos = pos; }
    // Index of the last character of the quoted text opened at q, -1 when it never closes.
    qsizetype QuoteEnd(qsizetype q) const;

    const QString &S;
    const qsizetype N;
    TkdParseList &Items, &Tables, &Orders;
    QStringList &Conditions, &Groups, &Havings;
    const QString &Message;
    QString &ViewName;
    const bool Tolerant;

    TkdSQLType FKind = TkdSQLType::sqltNone;
    TClause FClause = TClause::None;
    qsizetype FItemStart = 0, FPartStart = 0, FEqualsPos = 0;
    int FDepth = 0;
    bool FLeft = false, FRight = false, FInner = false, FOuter = false, FJoin = false;
    QStringList FValues;
};

qsizetype TParser::QuoteEnd(qsizetype q) const
{
    const QChar quote = S.at(q);
    if (quote == u'$') {
        const int len = DollarTagLength(S, q);
        const qsizetype e = DollarBodyEnd(S, q, len);
        return e < 0 ? -1 : e - 1;
    }
    const bool escape = quote == u'\'' && IsEscapeQuote(S, q);
    for (qsizetype i = q + 1; i < N; ++i) {
        const QChar c = S.at(i);
        if (escape && c == u'\\') {
            ++i;
        } else if (c == quote) {
            if (i + 1 < N && S.at(i + 1) == quote)
                ++i; // a doubled quote stands for itself
            else
                return i;
        }
    }
    return -1;
}

TkdSQLType TParser::Run(qsizetype Start, qsizetype &NestedAt)
{
    NestedAt = -1;
    // Step 1: the statement kind is the first of the five keywords found.
    static const char16_t *const kinds[] = {u"SELECT", u"INSERT", u"UPDATE", u"DELETE", u"CREATE VIEW"};
    qsizetype p = -1;
    for (qsizetype i = Start; i < N && p < 0; ++i) {
        for (int k = 0; k < 5; ++k) {
            const QStringView kw(kinds[k]);
            if (i + kw.size() <= N && QStringView(S).mid(i, kw.size()).compare(kw, Qt::CaseInsensitive) == 0) {
                FKind = TkdSQLType(k + 1);
                p = i + (k == 4 ? 12 : 6);
                break;
            }
        }
    }
    if (p < 0)
        return TkdSQLType::sqltNone;
    FClause = FKind == TkdSQLType::sqltSelect ? TClause::SelectList : TClause::TableList;
    SetMarkers(p);

    bool quoteOpen = false;
    // Step 2: the scan.
    while (p < N) {
        const QChar c = S.at(p);
        // Quoted text: literals, quoted names and dollar-quoted bodies are read as one token.
        const bool viewNameQuote = c == u'"' && FKind == TkdSQLType::sqltCreateView && ViewName.isEmpty();
        if (viewNameQuote) {
            // A quoted view name is passed over as a whole (its blanks are no word breaks)
            // and stays part of the name.
            const qsizetype e = QuoteEnd(p);
            p = e < 0 ? p + 1 : e + 1;
            continue;
        }
        if ((c == u'\'' || (c == u'"' && !viewNameQuote) || (c == u'$' && DollarTagLength(S, p) > 0))) {
            if (FDepth == 0) {
                const bool escape = c == u'\'' && IsEscapeQuote(S, p);
                const qsizetype start = escape ? p - 1 : p;
                if (InCondition())
                    AddToken(FPartStart, start - 1);
                FPartStart = start;
            }
            const qsizetype e = QuoteEnd(p);
            if (e < 0) {
                quoteOpen = true;
                p = N;
                break;
            }
            if (FDepth == 0) {
                if (InCondition())
                    AddToken(FPartStart, e);
                FPartStart = e + 1;
            }
            p = e + 1;
            continue;
        }
        if (c == u'(') {
            if (FDepth == 0) {
                if (FKind == TkdSQLType::sqltInsert && FClause == TClause::TableList) {
                    ClosePair(Tables, p, true, true);
                    FClause = TClause::ColumnList;
                    FItemStart = FEqualsPos = p + 1;
                } else if (FClause == TClause::ValueList) {
                    FValues.clear();
                    FItemStart = FEqualsPos = p + 1;
                } else if (InCondition()) {
                    AddToken(FPartStart, p - 1);
                }
                FPartStart = p;
            }
            ++FDepth;
            ++p;
            continue;
        }
        if (c == u')') {
            if (--FDepth < 0)
                Fail();
            if (FDepth == 0) {
                if (InCondition()) {
                    AddToken(FPartStart, p);
                } else if (FClause == TClause::ColumnList) {
                    const QString column = Trim(FItemStart, p - 1);
                    if (!column.isEmpty())
                        Items.Add(column, QString());
                    FClause = TClause::ValueList;
                    FItemStart = p + 1;
                } else if (FClause == TClause::ValueList) {
                    AddText(FValues, Trim(FItemStart, p - 1));
                    FItemStart = p + 1;
                }
                FPartStart = p + 1;
            }
            ++p;
            continue;
        }
        if (c == u',') {
            const bool listDepth = FDepth == 1 && (FClause == TClause::ColumnList || FClause == TClause::ValueList);
            if (FDepth == 0 || listDepth || Tolerant) {
                if (InCondition())
                    Fail();
                CloseItem(p);
                SetMarkers(p + 1);
            }
            ++p;
            continue;
        }
        if (IsCompareChar(c) && (FDepth == 0 || Tolerant)) {
            if (FClause == TClause::Condition) {
                AddToken(FPartStart, p - 1);
                qsizetype q = p;
                while (q < N && IsCompareChar(S.at(q)))
                    ++q;
                Conditions.append(S.mid(p, q - p));
                FPartStart = q;
                p = q;
                continue;
            }
            if (c == u'=' && FEqualsPos == FItemStart)
                FEqualsPos = p;
            ++p;
            continue;
        }
        if (IsBlankChar(c) && (FDepth == 0 || Tolerant)) {
            if (InCondition())
                AddToken(FPartStart, p - 1);
            FPartStart = InCondition() ? p : FPartStart;
            qsizetype q = p;
            while (q < N && IsBlankChar(S.at(q)))
                ++q;
            if (q >= N) {
                p = N;
                break;
            }
            qsizetype wend = q;
            while (wend < N && IsWordChar(S.at(wend)))
                ++wend;
            const QString w = S.mid(q, wend - q).toUpper();
            const bool table = FClause == TClause::TableList;
            bool keyword = true;
            if (w == u"FROM") {
                if (FClause == TClause::SelectList)
                    CloseItem(q);
                FClause = TClause::TableList;
            } else if ((w == u"LEFT" || w == u"RIGHT") && table) {
                ClosePair(Tables, q, false, true);
                (w == u"LEFT" ? FLeft : FRight) = true;
            } else if ((w == u"INNER" || w == u"OUTER") && table) {
                if (!FLeft && !FRight)
                    ClosePair(Tables, q, false, true);
                (w == u"INNER" ? FInner : FOuter) = true;
            } else if (w == u"JOIN" && table) {
                if (!FLeft && !FRight && !FInner && !FOuter)
                    ClosePair(Tables, q, false, true);
                FJoin = true;
            } else if (w == u"ON" && table && FJoin) {
                ClosePair(Tables, q, false, true);
                FClause = TClause::Condition;
                FLeft = FRight = FInner = FOuter = FJoin = false;
            } else if (w == u"WHERE" || w == u"GROUP" || w == u"ORDER") {
                if (FClause == TClause::SelectList)
                    Fail();
                CloseItem(q);
                FClause = w.at(0) == u'W' ? TClause::Condition : w.at(0) == u'G' ? TClause::GroupList : TClause::OrderList;
            } else if (w == u"HAVING") {
                if (FClause == TClause::SelectList || FClause == TClause::OrderList)
                    Fail();
                CloseItem(q);
                FClause = TClause::Having;
            } else if (w == u"SET" && FKind == TkdSQLType::sqltUpdate) {
                if (table)
                    CloseItem(q);
                FClause = TClause::SetList;
            } else if (w == u"INTO") {
            } else if (w.isEmpty() && S.at(q) == u'(' && FKind == TkdSQLType::sqltInsert && table) {
                ClosePair(Tables, q, false, true);
                FClause = TClause::ColumnList;
                SetMarkers(q + 1);
                p = q; // the "(" itself is read next
                continue;
            } else if (w == u"VALUES" && FKind == TkdSQLType::sqltInsert) {
                if (table)
                    ClosePair(Tables, q, false, true);
                FClause = TClause::ValueList;
            } else if (w == u"AS" && FKind == TkdSQLType::sqltCreateView) {
                if (table)
                    ViewName = FPartStart <= q - 2 ? S.mid(FPartStart, q - 1 - FPartStart) : QString();
            } else if (w == u"SELECT" && FKind == TkdSQLType::sqltCreateView && !ViewName.isEmpty()) {
                FClause = TClause::SelectList;
            } else if (w == u"BY") {
            } else if (w == u"UNION" || w == u"FOR") {
                Fail();
            } else if (w == u"SELECT" || w == u"INSERT" || w == u"UPDATE" || w == u"DELETE") {
                if (Tolerant) {
                    NestedAt = q;
                    p = q;
                    break;
                }
                p = wend;
                continue;
            } else if (w.isEmpty() && S.at(q) == u';' && (S.at(q - 1) == u'\n' || S.at(q - 1) == u' ')
                       && (q + 1 >= N || S.at(q + 1) == u'\r' || S.at(q + 1) == u' ')) {
                if (!Tolerant) {
                    p = q;
                    break;
                }
                p = q + 1;
                continue;
            } else {
                keyword = false;
            }
            if (keyword) {
                SetMarkers(wend + 1);
                p = wend;
            } else {
                FPartStart = q;
                p = q;
            }
            continue;
        }
        ++p;
    }

    // Step 3: the pending item.
    if (!Trim(FItemStart, p - 1).isEmpty())
        CloseItem(p);
    // Step 4: checks.
    if (quoteOpen)
        Fail();
    if (FDepth > 0 && !Tolerant)
        Fail();
    if (FKind == TkdSQLType::sqltInsert) {
        if (Items.Count() == 0) {
            for (const QString &v : std::as_const(FValues))
                Items.Add(QString(), v);
        } else {
            if (FValues.size() != Items.Count())
                Fail();
            for (int k = 0; k < Items.Count(); ++k)
                Items.SetAlias(k, FValues.at(k));
        }
    }
    return FKind;
}

} // namespace

TkdSQLType ParseSQL(const QString &SQLText, TkdParseList &Items, TkdParseList &Tables,
                    TkdParseList &Orders, QStringList &Conditions, QStringList &Groups,
                    QStringList &Havings, const QString &ErrorMessage, QString &ViewName)
{
    ViewName.clear();
    TkdSQLType result = TkdSQLType::sqltNone;
    bool first = true;
    qsizetype start = 0;
    // A nested statement (tolerant mode) is analysed in turn with the same lists; a loop
    // rather than a recursion keeps deep nesting from exhausting the stack.
    for (;;) {
        TParser parser(SQLText, Items, Tables, Orders, Conditions, Groups, Havings, ErrorMessage, ViewName);
        qsizetype nested = -1;
        const TkdSQLType kind = parser.Run(start, nested);
        if (first)
            result = kind;
        first = false;
        if (nested < 0)
            break;
        ViewName.clear();
        start = nested;
    }
    return result;
}
