// Message boxes and input dialogs.
#include "core/kdsub_msg.h"
#include <QApplication>
#include <QCheckBox>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QScreen>
#include <QStyle>
#include <QVBoxLayout>
#include <cmath>

namespace {

MessageBoxHook &hookSlot()
{
    static MessageBoxHook hook;
    return hook;
}

QString applicationTitle()
{
    return QGuiApplication::applicationDisplayName();
}

QWidget *ownerWindow()
{
    return QApplication::activeWindow();
}

TNumericEditFactory &numericEditFactory()
{
    static TNumericEditFactory factory;
    return factory;
}

int callHook(MessageBoxRequest &request)
{
    // Copy first: the hook may replace itself while it runs.
    MessageBoxHook hook = hookSlot();
    return hook(request);
}

// The buttons of the button bits, in the order the Windows box shows them.
QList<QMessageBox::StandardButton> buttonsOf(int flags)
{
    switch (flags & 0x0F) {
    case MB_OKCANCEL: return {QMessageBox::Ok, QMessageBox::Cancel};
    case MB_ABORTRETRYIGNORE: return {QMessageBox::Abort, QMessageBox::Retry, QMessageBox::Ignore};
    case MB_YESNOCANCEL: return {QMessageBox::Yes, QMessageBox::No, QMessageBox::Cancel};
    case MB_YESNO: return {QMessageBox::Yes, QMessageBox::No};
    case MB_RETRYCANCEL: return {QMessageBox::Retry, QMessageBox::Cancel};
    default: return {QMessageBox::Ok};
    }
}

int codeOf(int standardButton)
{
    switch (standardButton) {
    case QMessageBox::Ok: return IDOK;
    case QMessageBox::Cancel: return IDCANCEL;
    case QMessageBox::Abort: return IDABORT;
    case QMessageBox::Retry: return IDRETRY;
    case QMessageBox::Ignore: return IDIGNORE;
    case QMessageBox::Yes: return IDYES;
    case QMessageBox::No: return IDNO;
    default: return IDCANCEL;
    }
}

QString captionOf(QMessageBox::StandardButton b)
{
    switch (b) {
    case QMessageBox::Ok: return QStringLiteral("OK");
    case QMessageBox::Cancel: return QStringLiteral("キャンセル");
    case QMessageBox::Abort: return QStringLiteral("中止(&A)");
    case QMessageBox::Retry: return QStringLiteral("再試行(&R)");
    case QMessageBox::Ignore: return QStringLiteral("無視(&I)");
    case QMessageBox::Yes: return QStringLiteral("はい(&Y)");
    case QMessageBox::No: return QStringLiteral("いいえ(&N)");
    default: return QString();
    }
}

// The default button's position (0-based) from bits 8-9.
int defaultIndexOf(int flags)
{
    return (flags & 0x300) >> 8;
}

// The class library's rounding of Round(): halves to even.
int roundHalfEven(double v)
{
    return int(std::nearbyint(v));
}

// MulDiv: a * b / c rounded.
int mulDiv(int a, int b, int c)
{
    return c == 0 ? -1 : roundHalfEven(double(a) * b / c);
}

void copyCheckStates(const QList<QCheckBox *> &checks, QList<MsgCheckItem> &items)
{
    for (qsizetype i = 0; i < items.size() && i < checks.size(); ++i)
        items[i].Checked = checks.at(i)->isChecked();
}

// The states a hook gave back, into the caller's items.
void copyCheckStates(const QList<MsgCheckItem> &answered, QList<MsgCheckItem> &items)
{
    for (qsizetype i = 0; i < items.size() && i < answered.size(); ++i)
        items[i].Checked = answered.at(i).Checked;
}

} // namespace

QSize AverageCharSize(const QFontMetrics &Metrics)
{
    const QString letters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    return QSize(Metrics.horizontalAdvance(letters) / 52, Metrics.height());
}

MessageBoxHook SetMessageBoxHook(MessageBoxHook Hook)
{
    MessageBoxHook previous = std::move(hookSlot());
    hookSlot() = std::move(Hook);
    return previous;
}

QString CleanMessageText(const QString &Text)
{
    QString s = Text;
    s.remove(QStringLiteral("[AnyDAC][Phys][PG][libpq] "), Qt::CaseSensitive);
    if (s == QStringLiteral(": "))
        s = QStringLiteral("ERROR: SQL構文エラー");
    // A label shows no tab stops: a TAB (server messages carry them) reads as one blank.
    s.replace(QLatin1Char('\t'), QLatin1Char(' '));
    return s;
}

void SetNumericEditFactory(TNumericEditFactory Factory)
{
    numericEditFactory() = std::move(Factory);
}

void CenterOnActiveWindow(QWidget *Dialog)
{
    QWidget *owner = ownerWindow();
    if (owner == Dialog)
        owner = nullptr;
    QRect area;
    if (owner && owner->isVisible())
        area = owner->window()->frameGeometry();
    else if (QScreen *screen = Dialog->screen())
        area = screen->availableGeometry();
    else
        return;
    QRect r(QPoint(0, 0), Dialog->frameGeometry().size().expandedTo(Dialog->size()));
    r.moveCenter(area.center());
    // Kept on the screen of the owner when the owner stands partly outside it.
    if (QScreen *screen = owner ? owner->screen() : Dialog->screen()) {
        const QRect avail = screen->availableGeometry();
        if (r.right() > avail.right())
            r.moveRight(avail.right());
        if (r.bottom() > avail.bottom())
            r.moveBottom(avail.bottom());
        if (r.left() < avail.left())
            r.moveLeft(avail.left());
        if (r.top() < avail.top())
            r.moveTop(avail.top());
    }
    Dialog->move(r.topLeft());
}

int ShowMessageBox(const QString &Text, int Flags)
{
    const QString text = CleanMessageText(Text);
    QCoreApplication::processEvents();
    if (hookSlot()) {
        MessageBoxRequest request;
        request.kind = MessageBoxRequest::Kind::Message;
        request.caption = applicationTitle();
        request.text = text;
        request.flags = Flags;
        return callHook(request);
    }
    QMessageBox box(ownerWindow());
    box.setWindowTitle(applicationTitle());
    box.setText(text);
    switch (Flags & 0xF0) {
    case MB_ICONERROR: box.setIcon(QMessageBox::Critical); break;
    case MB_ICONQUESTION: box.setIcon(QMessageBox::Question); break;
    case MB_ICONWARNING: box.setIcon(QMessageBox::Warning); break;
    case MB_ICONINFORMATION: box.setIcon(QMessageBox::Information); break;
    default: box.setIcon(QMessageBox::NoIcon); break;
    }
    const QList<QMessageBox::StandardButton> buttons = buttonsOf(Flags);
    for (QMessageBox::StandardButton b : buttons) {
        QPushButton *pb = box.addButton(b);
        pb->setText(captionOf(b));
    }
    const int def = defaultIndexOf(Flags);
    box.setDefaultButton(buttons.value(def < buttons.size() ? def : 0));
    if (buttons.contains(QMessageBox::Cancel))
        box.setEscapeButton(QMessageBox::Cancel);
    else if (buttons.size() == 1)
        box.setEscapeButton(buttons.front());
    box.adjustSize();
    CenterOnActiveWindow(&box);
    box.exec();
    QAbstractButton *clicked = box.clickedButton();
    if (!clicked)
        return buttons.contains(QMessageBox::Cancel) || buttons.size() != 1 ? IDCANCEL : IDOK;
    return codeOf(box.standardButton(clicked));
}

QString FormatText(const QString &Fmt, const QVariantList &Args)
{
    QString out;
    qsizetype argIndex = 0;
    const qsizetype n = Fmt.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = Fmt.at(i);
        if (c != u'%') {
            out += c;
            continue;
        }
        qsizetype j = i + 1;
        if (j < n && Fmt.at(j) == u'%') {
            out += u'%';
            i = j;
            continue;
        }
        // [index ":"] ["-"] [width] ["." precision] type
        auto readNumber = [&](int &value) {
            const qsizetype start = j;
            value = 0;
            while (j < n && Fmt.at(j).isDigit() && Fmt.at(j).unicode() < 0x80)
                value = value * 10 + (Fmt.at(j++).unicode() - u'0');
            return j > start;
        };
        int number = 0;
        const qsizetype specStart = j;
        if (readNumber(number) && j < n && Fmt.at(j) == u':') {
            argIndex = number;
            ++j;
        } else {
            j = specStart;
        }
        bool left = false;
        if (j < n && Fmt.at(j) == u'-') {
            left = true;
            ++j;
        }
        int width = -1, precision = -1;
        if (readNumber(number))
            width = number;
        if (j < n && Fmt.at(j) == u'.') {
            ++j;
            readNumber(number);
            precision = number;
        }
        if (j >= n) {
            out += Fmt.mid(i);
            break;
        }
        const QChar type = Fmt.at(j).toLower();
        const QVariant arg = Args.value(argIndex++);
        QString text;
        switch (type.unicode()) {
        case u'd': {
            const qlonglong v = arg.toLongLong();
            text = QString::number(v < 0 ? -v : v);
            if (precision > text.size())
                text = QString(precision - text.size(), u'0') + text;
            if (v < 0)
                text.prepend(u'-');
            break;
        }
        case u'u': text = QString::number(arg.toULongLong()); break;
        case u'x':
            text = QString::number(arg.toULongLong(), 16).toUpper();
            if (precision > text.size())
                text = QString(precision - text.size(), u'0') + text;
            break;
        case u'p': text = QString::number(arg.toULongLong(), 16).toUpper().rightJustified(16, u'0'); break;
        case u'f': text = QString::number(arg.toDouble(), 'f', precision < 0 ? 2 : precision); break;
        case u'm': text = QString::number(arg.toDouble(), 'f', precision < 0 ? 2 : precision); break;
        case u'e': text = QString::number(arg.toDouble(), 'E', precision < 0 ? 14 : std::max(0, precision - 1)); break;
        case u'g': text = QString::number(arg.toDouble(), 'g', precision < 0 ? 15 : precision); break;
        case u'n': {
            const QString plain = QString::number(arg.toDouble(), 'f', precision < 0 ? 2 : precision);
            const qsizetype dot = plain.indexOf(u'.');
            QString intPart = dot < 0 ? plain : plain.left(dot);
            const QString frac = dot < 0 ? QString() : plain.mid(dot);
            const bool negative = intPart.startsWith(u'-');
            if (negative)
                intPart.remove(0, 1);
            for (qsizetype k = intPart.size() - 3; k > 0; k -= 3)
                intPart.insert(k, u',');
            text = (negative ? QStringLiteral("-") : QString()) + intPart + frac;
            break;
        }
        case u's':
            text = arg.toString();
            if (precision >= 0 && text.size() > precision)
                text.truncate(precision);
            break;
        default:
            // Not a conversion: keep the text as written.
            text = Fmt.mid(i, j - i + 1);
            --argIndex;
            break;
        }
        if (width > text.size())
            text = left ? text.leftJustified(width) : text.rightJustified(width);
        out += text;
        i = j;
    }
    return out;
}

int ShowMessageBoxFmt(const QString &Fmt, const QVariantList &Args, int Flags)
{
    return ShowMessageBox(FormatText(Fmt, Args), Flags);
}

// ---- the message with check boxes ------------------------------------------------------

TkdCheckMessageDialog::TkdCheckMessageDialog(const QString &Text, quint16 Flags,
                                             const QList<MsgCheckItem> &Items, QWidget *Parent)
    : QDialog(Parent)
{
    setWindowTitle(applicationTitle());
    // The icon bits, tested in this order: $20 question, $10 error, both warning.
    FIconKind = MB_ICONINFORMATION;
    if (Flags & 0x20)
        FIconKind = MB_ICONQUESTION;
    if (Flags & 0x10)
        FIconKind = MB_ICONERROR;
    if ((Flags & 0x30) == 0x30)
        FIconKind = MB_ICONWARNING;
    QStyle::StandardPixmap pixmap = QStyle::SP_MessageBoxInformation;
    switch (FIconKind) {
    case MB_ICONQUESTION: pixmap = QStyle::SP_MessageBoxQuestion; break;
    case MB_ICONERROR: pixmap = QStyle::SP_MessageBoxCritical; break;
    case MB_ICONWARNING: pixmap = QStyle::SP_MessageBoxWarning; break;
    default: break;
    }

    auto *outer = new QVBoxLayout(this);
    auto *body = new QHBoxLayout;
    auto *icon = new QLabel(this);
    const int iconSize = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
    icon->setPixmap(style()->standardIcon(pixmap, nullptr, this).pixmap(iconSize, iconSize));
    icon->setAlignment(Qt::AlignTop);
    body->addWidget(icon);
    auto *column = new QVBoxLayout;
    FMessage = new QLabel(CleanMessageText(Text), this);
    FMessage->setObjectName(QStringLiteral("Message"));
    FMessage->setTextFormat(Qt::PlainText);
    FMessage->setWordWrap(true);
    column->addWidget(FMessage);
    for (qsizetype i = 0; i < Items.size(); ++i) {
        auto *check = new QCheckBox(Items.at(i).Caption, this);
        check->setObjectName(QStringLiteral("Check%1").arg(i));
        check->setChecked(Items.at(i).Checked);
        column->addWidget(check);
        FChecks << check;
    }
    body->addLayout(column, 1);
    outer->addLayout(body);

    auto *buttonRow = new QHBoxLayout;
    buttonRow->addStretch();
    const QList<QMessageBox::StandardButton> buttons = buttonsOf(Flags);
    const int def = defaultIndexOf(Flags);
    for (qsizetype i = 0; i < buttons.size(); ++i) {
        auto *pb = new QPushButton(captionOf(buttons.at(i)), this);
        const int code = codeOf(buttons.at(i));
        connect(pb, &QPushButton::clicked, this, [this, code] {
            FResultCode = code;
            done(code);
        });
        buttonRow->addWidget(pb);
        FButtons << pb;
    }
    // The chosen default button takes the focus first; the others follow in their order.
    QPushButton *defButton = FButtons.value(def < FButtons.size() ? def : 0);
    for (QPushButton *pb : FButtons)
        pb->setAutoDefault(pb == defButton);
    defButton->setDefault(true);
    defButton->setFocus();
    outer->addLayout(buttonRow);
}

QPushButton *TkdCheckMessageDialog::DefaultButton() const
{
    for (QPushButton *pb : FButtons)
        if (pb->isDefault())
            return pb;
    return nullptr;
}

void TkdCheckMessageDialog::ReadChecks(QList<MsgCheckItem> &Items) const
{
    copyCheckStates(FChecks, Items);
}

int ShowCheckMessageBox(const QString &Text, quint16 Flags, QList<MsgCheckItem> &Items)
{
    QCoreApplication::processEvents();
    if (hookSlot()) {
        MessageBoxRequest request;
        request.kind = MessageBoxRequest::Kind::CheckMessage;
        request.caption = applicationTitle();
        request.text = CleanMessageText(Text);
        request.flags = Flags;
        request.items = Items;
        const int result = callHook(request);
        copyCheckStates(request.items, Items);
        return result >= IDOK && result <= IDNO ? result : 8;
    }
    TkdCheckMessageDialog dialog(Text, Flags, Items, ownerWindow());
    dialog.adjustSize();
    CenterOnActiveWindow(&dialog);
    const int modal = dialog.exec();
    dialog.ReadChecks(Items);
    // Closing the box counts as Cancel.
    const int result = modal == QDialog::Rejected ? IDCANCEL : dialog.ResultCode();
    return result >= IDOK && result <= IDNO ? result : 8;
}

// ---- the input dialog ------------------------------------------------------------------

TkdInputQueryDialog::TkdInputQueryDialog(const QString &Caption, const QString &Prompt,
                                         const QString &Value, const QList<MsgCheckItem> &Items,
                                         bool Numeric, QWidget *Parent)
    : QDialog(Parent)
{
    // Laid out in dialog units of the form's font, as the original dialog is.
    setWindowTitle(Caption);
    const QSize unit = AverageCharSize(fontMetrics());
    const int ux = unit.width(), uy = unit.height();
    const int clientWidth = mulDiv(180, ux, 4);

    FPrompt = new QLabel(Prompt, this);
    FPrompt->setTextFormat(Qt::PlainText);
    FPrompt->setWordWrap(true);
    FPrompt->move(mulDiv(8, ux, 4), mulDiv(8, uy, 8));
    FPrompt->setMaximumWidth(mulDiv(164, ux, 4));
    FPrompt->adjustSize();

    if (Numeric && numericEditFactory()) {
        // The number box of the controls layer (digits, one decimal point, no minus sign).
        FEdit = numericEditFactory()(this);
        FEdit->setMaxLength(9);
    } else if (Numeric) {
        // Without it, a plain box that keeps digits and one decimal point.
        FEdit = new QLineEdit(this);
        FEdit->setValidator(new QRegularExpressionValidator(
            QRegularExpression(QStringLiteral("[0-9]*\\.?[0-9]*")), FEdit));
        FEdit->setMaxLength(9);
    } else {
        FEdit = new QLineEdit(this);
        FEdit->setMaxLength(255);
    }
    FEdit->setGeometry(FPrompt->x(), FPrompt->y() + FPrompt->height() + 5, mulDiv(164, ux, 4), 20);
    FEdit->setText(Value);
    FEdit->selectAll();

    const int buttonWidth = mulDiv(50, ux, 4), buttonHeight = mulDiv(14, uy, 8);
    int y = FEdit->y() + FEdit->height() + 2;
    for (qsizetype i = 0; i < Items.size(); ++i) {
        auto *check = new QCheckBox(Items.at(i).Caption, this);
        check->setObjectName(QStringLiteral("Check%1").arg(i));
        check->setChecked(Items.at(i).Checked);
        check->adjustSize();
        check->setGeometry(FEdit->x(), y, clientWidth - FEdit->x(), check->height());
        y += check->height();
        FChecks << check;
    }
    if (!Items.isEmpty())
        y -= 9;

    FOk = new QPushButton(QStringLiteral("OK"), this);
    FOk->setDefault(true);
    FOk->setGeometry(mulDiv(38, ux, 4), y + 14, buttonWidth, buttonHeight);
    connect(FOk, &QPushButton::clicked, this, &QDialog::accept);
    FCancel = new QPushButton(QStringLiteral("キャンセル"), this);
    FCancel->setGeometry(mulDiv(92, ux, 4), y + 14, buttonWidth, buttonHeight);
    connect(FCancel, &QPushButton::clicked, this, &QDialog::reject);

    setFixedSize(clientWidth, FCancel->y() + FCancel->height() + 13);
    FEdit->setFocus();
}

void TkdInputQueryDialog::ReadChecks(QList<MsgCheckItem> &Items) const
{
    copyCheckStates(FChecks, Items);
}

bool InputQueryWithChecks(const QString &Caption, const QString &Prompt, QString &Value,
                          QList<MsgCheckItem> &Items, bool Numeric)
{
    if (hookSlot()) {
        MessageBoxRequest request;
        request.kind = MessageBoxRequest::Kind::Input;
        request.caption = Caption;
        request.text = Prompt;
        request.value = Value;
        request.numeric = Numeric;
        request.items = Items;
        if (callHook(request) != IDOK)
            return false;
        // The length limit of the edit box applies to the answer as well.
        Value = request.value.left(Numeric ? 9 : 255);
        copyCheckStates(request.items, Items);
        return true;
    }
    TkdInputQueryDialog dialog(Caption, Prompt, Value, Items, Numeric, ownerWindow());
    CenterOnActiveWindow(&dialog);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    Value = dialog.Edit()->text();
    dialog.ReadChecks(Items);
    return true;
}
