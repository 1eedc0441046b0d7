#include "forms/addrecorddialog.h"

#include "app/appstate.h"
#include "core/numfmt.h"
#include "core/record.h"
#include "forms/putback.h"
#include "forms/recordfields.h"
#include "platform/messages.h"
#include "platform/textcodec.h"
#include "platform/widgets.h"

#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace {

struct BoxLayout
{
    const char* label;
    const char* toolTip;
    int labelTop;
    int boxTop;
    int boxWidth;
    Qt::Alignment alignment;
};

const BoxLayout kBoxLayout[AddRecordDialog::kBoxes] = {
    {"Name", "Enter the name to be associated with this entry", 60, 45, 2655, Qt::AlignLeft},
    {"Type",
     "Enter the type of entry; SG (for SavingsGoal), Mem (for Membership), or Sub (for "
     "Subscription).  Maximum 3 characters.",
     375, 360, 795, Qt::AlignLeft},
    {"Date", "Enter date as YYYY-MM-DD", 690, 675, 1035, Qt::AlignLeft},
    {"Amount", "Enter amount", 1005, 960, 795, Qt::AlignRight},
    {"Duration", "Enter the number of months in which the Amount is to be cumulated", 1320, 1305,
     795, Qt::AlignRight},
};

// Whether c is one of the characters a box takes.
bool oneOf(char32_t c, std::string_view allowed)
{
    return c < 0x80 && allowed.find(static_cast<char>(c)) != std::string_view::npos;
}

// Characters that are keys rather than text (Backspace, Delete, Tab, line ends).
bool isControl(char32_t c)
{
    return c < 0x20 || (c >= 0x7F && c < 0xA0);
}

// The message that refuses character c in box `index`, or an empty text when it may
// stand there. Typed and pasted characters go through the same rules.
QString refusal(int index, char32_t c)
{
    switch (index) {
    case 0:
    case 1:
        // "|" separates the fields of a record.
        if (c == U'|')
            return RefusalText({kestrow::FieldFault::Separator, index});
        break;
    case 2:
        if (!oneOf(c, "0123456789-"))
            return QStringLiteral("Invalid character in date");
        break;
    case 3:
        if (!oneOf(c, "0123456789."))
            return QStringLiteral("Invalid character in amount");
        break;
    case 4:
        if (!oneOf(c, "0123456789"))
            return QStringLiteral("Invalid character in duration");
        break;
    }
    return {};
}

void tell(QWidget* parent, const QString& text)
{
    platform::ShowMessage(parent, text);
}

} // namespace

AddRecordDialog::AddRecordDialog(AppState& state, QWidget* parent) : QDialog(parent), state_(state)
{
    setObjectName(QStringLiteral("frmAdd"));
    setWindowTitle(QStringLiteral("Add a record"));
    // The positions were laid out for an 8-point sans-serif; a larger desktop font would
    // not fit the 19-pixel boxes.
    setFont(platform::SansFont(8.25));
    setFixedSize(platform::Twips(3750), platform::Twips(1965));

    // The boxes and then the buttons are made in the order Tab visits them.
    for (int i = 0; i < kBoxes; ++i) {
        const BoxLayout& layout = kBoxLayout[i];
        auto* label = new QLabel(QString::fromLatin1(layout.label), this);
        label->setObjectName(QStringLiteral("Label%1").arg(i + 1));
        platform::Place(label, 60, layout.labelTop, 855, 255);

        QLineEdit* box = new QLineEdit(this);
        txtIn[i] = box;
        box->setObjectName(QStringLiteral("txtIn(%1)").arg(i));
        box->setToolTip(QString::fromLatin1(layout.toolTip));
        box->setAlignment(layout.alignment | Qt::AlignVCenter);
        platform::Place(box, 1020, layout.boxTop, layout.boxWidth, 285);
        label->setBuddy(box);
        // A box is entered with Tab or a click, never by a drop, so every text it holds
        // has been through the check on leaving. Clicks give the focus here (eventFilter)
        // and only once the box being left has passed its check.
        box->setAcceptDrops(false);
        box->setFocusPolicy(Qt::TabFocus);
        box->installEventFilter(this);
        connect(box, &QLineEdit::textEdited, this,
                [this, i](const QString& text) { txtIn_Edited(i, text); });
    }
    // An amount of millions is wider than its box: the box grows to the right, where the
    // form is empty, rather than showing only the last digits.
    QLineEdit* amount = txtIn[3];
    connect(amount, &QLineEdit::textChanged, this, [this, amount] {
        platform::FitBoxWidth(amount, platform::Twips(kBoxLayout[3].boxWidth),
                              width() - amount->x() - platform::Twips(60));
    });

    cmdUseIt = new QPushButton(QStringLiteral("Use this entry"), this);
    cmdUseIt->setObjectName(QStringLiteral("cmdUseIt"));
    cmdUseIt->setToolTip(QStringLiteral("Click here to use the data you have entered"));
    platform::Place(cmdUseIt, 458, 1680, 1335, 255);
    cmdUseIt->setDefault(true);

    cmdCancel = new QPushButton(QStringLiteral("Finished"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    cmdCancel->setToolTip(
        QStringLiteral("Click here when done; non-blank entries will be ignored"));
    platform::Place(cmdCancel, 1958, 1680, 1335, 255);

    for (QPushButton* button : {cmdUseIt, cmdCancel}) {
        button->setFocusPolicy(Qt::TabFocus);
        button->installEventFilter(this);
    }
    connect(cmdUseIt, &QPushButton::clicked, this, &AddRecordDialog::cmdUseIt_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &AddRecordDialog::cmdCancel_Click);

    Form_Load();
    txtIn[0]->setFocus();
}

void AddRecordDialog::Form_Load()
{
    for (int i = 0; i < kBoxes; ++i)
        setBox(i, QString());
}

void AddRecordDialog::setBox(int index, const QString& text)
{
    accepted_[index] = text;
    txtIn[index]->setText(text);
}

char32_t AddRecordDialog::txtIn_KeyPress(int Index, char32_t KeyAscii)
{
    if (KeyAscii == 8) // Backspace
        return KeyAscii;
    const QString message = refusal(Index, KeyAscii);
    if (message.isEmpty())
        return KeyAscii;
    tell(this, message);
    return 0;
}

// Text that did not come through a key press (pasted, middle-clicked, from an input
// method) goes through the same character rules as typed text; a refused insertion is
// undone as a whole.
void AddRecordDialog::txtIn_Edited(int Index, const QString& text)
{
    const QString& before = accepted_[Index];
    qsizetype head = 0;
    while (head < before.size() && head < text.size() && before[head] == text[head])
        ++head;
    qsizetype tail = 0;
    while (tail < before.size() - head && tail < text.size() - head &&
           before[before.size() - 1 - tail] == text[text.size() - 1 - tail])
        ++tail;
    QString inserted = text.mid(head, text.size() - head - tail);

    QLineEdit* box = txtIn[Index];
    // A line break pasted into the name or type would split the record in the file: line
    // breaks and tabs become blanks, as the box already shows them.
    bool replaced = false;
    for (QChar& c : inserted) {
        if (isControl(c.unicode())) {
            c = QLatin1Char(' ');
            replaced = true;
        }
    }
    for (const char32_t c : inserted.toUcs4()) {
        const QString message = refusal(Index, c);
        if (!message.isEmpty()) {
            setBox(Index, before);
            box->setCursorPosition(int(head));
            tell(this, message);
            return;
        }
    }
    if (replaced) {
        const QString cleaned = text.left(head) + inserted + text.right(tail);
        setBox(Index, cleaned);
        box->setCursorPosition(int(head + inserted.size()));
        return;
    }
    accepted_[Index] = text;
}

bool AddRecordDialog::txtIn_Validate(int Index)
{
    const QString text = txtIn[Index]->text();
    switch (Index) {
    case 0:
    case 1:
        if (text.contains(QLatin1Char('|'))) {
            tell(this, RefusalText({kestrow::FieldFault::Separator, Index}));
            return false;
        }
        if (Index == 1 && text.toUcs4().size() >= 4) {
            tell(this, QStringLiteral("Type can have only three characters"));
            setBox(Index, QString());
            return false;
        }
        return true;
    case 2: {
        // The box shows the result either way: the date normalised, or empty.
        const QString date =
            QString::fromStdString(kestrow::AcceptableDate(platform::EncodeText(text)));
        setBox(Index, date);
        if (date.isEmpty()) {
            tell(this, RefusalText({kestrow::FieldFault::Date, Index}));
            return false;
        }
        return true;
    }
    case 3: {
        if (text.isEmpty())
            return true;
        const auto value = kestrow::AcceptableAmount(text.toStdString());
        if (!value) {
            tell(this, RefusalText({kestrow::FieldFault::Amount, Index}));
            return false;
        }
        setBox(Index, QString::fromStdString(kestrow::FormatAmount(*value)));
        return true;
    }
    case 4:
        if (text.isEmpty())
            return true;
        if (!kestrow::AllDigits(platform::EncodeText(text))) {
            tell(this, QStringLiteral("Number of months must be numeric"));
            setBox(Index, QString());
            return false;
        }
        if (!kestrow::AcceptableDuration(text.toStdString())) {
            tell(this, RefusalText({kestrow::FieldFault::Duration, Index}));
            return false;
        }
        return true;
    }
    return true;
}

void AddRecordDialog::cmdUseIt_Click()
{
    // Enter leaves the focus in its box, so that box has not been checked yet.
    if (const int focused = focusedBox(); focused >= 0 && !txtIn_Validate(focused)) {
        txtIn[focused]->setFocus();
        return;
    }
    for (int i = 0; i < kBoxes; ++i) {
        if (txtIn[i]->text().trimmed().isEmpty()) {
            tell(this, RefusalText({kestrow::FieldFault::Empty, i}));
            txtIn[i]->setFocus();
            return;
        }
    }
    // The boxes were checked when they were left; checking them again costs nothing and
    // keeps a record the program cannot read out of the file whatever way the text got
    // there.
    for (int i = 0; i < kBoxes; ++i) {
        if (!txtIn_Validate(i)) {
            txtIn[i]->setFocus();
            return;
        }
    }

    std::array<std::string, kBoxes> fields;
    for (int i = 0; i < kBoxes; ++i)
        fields[i] = platform::EncodeText(txtIn[i]->text().trimmed());
    const kestrow::FieldCheck check = kestrow::CheckTypedFields(fields, state_.todayDate());
    if (!check) {
        tell(this, RefusalText(check));
        txtIn[check.field]->setFocus();
        return;
    }

    const std::string line =
        kestrow::JoinFields(std::vector<std::string>(fields.begin(), fields.end()));
    const kestrow::Status status = MakeChange(state_, this, [&](kestrow::IfRemoved ifRemoved) {
        return state_.data().append(line, ifRemoved);
    });
    // Not put back: the form closes, for the introduction screen, as at start-up.
    if (status.removedOutside()) {
        if (!status.message.empty())
            platform::ShowError(this, QString::fromStdString(status.message));
        QDialog::reject();
        return;
    }
    if (!status) {
        platform::ShowError(this, QString::fromStdString(status.message));
        return;
    }
    state_.history().record(state_.data(), "Add of " + fields[kestrow::FieldName]);

    state_.raiseHorizon(*kestrow::AcceptableDuration(fields[kestrow::FieldDuration]));
    Form_Load();
    txtIn[0]->setFocus();
}

void AddRecordDialog::cmdCancel_Click()
{
    QDialog::reject();
}

void AddRecordDialog::reject()
{
    cmdCancel_Click();
}

int AddRecordDialog::boxIndex(const QObject* object) const
{
    for (int i = 0; i < kBoxes; ++i)
        if (txtIn[i] == object)
            return i;
    return -1;
}

int AddRecordDialog::focusedBox() const
{
    return boxIndex(focusWidget());
}

bool AddRecordDialog::mayLeaveFocusedBox(const QWidget* target)
{
    const int focused = focusedBox();
    if (focused < 0 || txtIn[focused] == target)
        return true;
    if (txtIn_Validate(focused))
        return true;
    txtIn[focused]->setFocus();
    return false;
}

bool AddRecordDialog::boxKeyPress(int index, QEvent* event)
{
    auto* key = static_cast<QKeyEvent*>(event);
    const Qt::KeyboardModifiers modifiers = key->modifiers();
    switch (key->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        cmdUseIt->click();
        return true;
    case Qt::Key_Escape:
        reject();
        return true;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        if (modifiers & (Qt::ControlModifier | Qt::AltModifier))
            return false;
        return !txtIn_Validate(index); // a refused Tab never reaches the focus chain
    default:
        break;
    }
    // Shortcuts (Ctrl+V and the like) and keys without text pass; what they insert is
    // checked in txtIn_Edited.
    if (modifiers & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return false;
    const QList<uint> typed = key->text().toUcs4();
    if (typed.isEmpty())
        return false;
    for (const char32_t c : typed)
        if (isControl(c))
            return false;
    for (const uint code : typed) {
        if (txtIn_KeyPress(index, code) == 0)
            return true;
    }
    return false;
}

bool AddRecordDialog::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
        if (const int index = boxIndex(watched); index >= 0)
            return boxKeyPress(index, event);
        break;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
        auto* target = qobject_cast<QWidget*>(watched);
        if (target == nullptr || !target->isEnabled())
            break;
        if (boxIndex(watched) < 0 && watched != cmdUseIt && watched != cmdCancel)
            break;
        // The press is swallowed when the box being left refuses, so a button clicked
        // meanwhile does not act.
        if (!mayLeaveFocusedBox(target))
            return true;
        if (focusWidget() != target)
            target->setFocus(Qt::MouseFocusReason);
        break;
    }
    default:
        break;
    }
    return QDialog::eventFilter(watched, event);
}
