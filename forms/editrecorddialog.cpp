#include "forms/editrecorddialog.h"

#include "app/appstate.h"
#include "core/dates.h"
#include "core/numfmt.h"
#include "core/record.h"
#include "core/text.h"
#include "forms/putback.h"
#include "forms/recordfields.h"
#include "platform/messages.h"
#include "platform/textcodec.h"
#include "platform/widgets.h"

#include <QApplication>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <algorithm>
#include <array>
#include <vector>

namespace {

constexpr int kName = 0;
constexpr int kType = 1;
constexpr int kDate = 2;
constexpr int kAmount = 3;
constexpr int kDuration = 4;

struct Box
{
    const char* label;
    const char* tooltip;
    int top;
    int width;
};

constexpr Box kBoxLayout[EditRecordDialog::kBoxes] = {
    {"Name", "Make any desired changes to the Name", 0, 2655},
    {"Type", "Make any desired changes to the Type; maximum 3 characters", 315, 795},
    {"Date", "Make any desired changes to the Date", 630, 1035},
    {"Amount", "Make any desired changes to the Amount", 945, 795},
    {"Duration", "Make any desired changes to the Duration", 1260, 795},
};

std::string Text(const QLineEdit* box)
{
    return platform::EncodeText(box->text());
}

} // namespace

EditRecordDialog::EditRecordDialog(AppState& state, std::int32_t recordNumber, QWidget* parent)
    : QDialog(parent), state_(state), recordNumber_(recordNumber)
{
    setObjectName(QStringLiteral("frmChange"));
    setWindowTitle(QStringLiteral("Edit a record"));
    setFixedSize(platform::Twips(3720), platform::Twips(1905));
    // The size the twip positions were laid out for; the controls inherit it.
    setFont(platform::SansFont(8.25));

    for (int i = 0; i < kBoxes; ++i) {
        const Box& b = kBoxLayout[i];
        Label[i] = new QLabel(QString::fromUtf8(b.label), this);
        Label[i]->setObjectName(QStringLiteral("Label%1").arg(i + 1));
        platform::Place(Label[i], 0, b.top + 15, 855, 255);

        txtIn[i] = new QLineEdit(this);
        txtIn[i]->setObjectName(QStringLiteral("txtIn(%1)").arg(i));
        txtIn[i]->setToolTip(QString::fromUtf8(b.tooltip));
        if (i == kAmount || i == kDuration)
            txtIn[i]->setAlignment(Qt::AlignRight);
        platform::Place(txtIn[i], 960, b.top, b.width, 285);
        Label[i]->setBuddy(txtIn[i]);
        txtIn[i]->installEventFilter(this);
    }
    // An amount of millions is wider than its box: the box grows to the right, where the
    // form is empty, rather than showing only the last digits.
    QLineEdit* amount = txtIn[kAmount];
    connect(amount, &QLineEdit::textChanged, this, [this, amount] {
        platform::FitBoxWidth(amount, platform::Twips(kBoxLayout[kAmount].width),
                              width() - amount->x() - platform::Twips(60));
    });
    Label[kBoxes] = new QLabel(QStringLiteral("(in months)"), this);
    Label[kBoxes]->setObjectName(QStringLiteral("Label6"));
    platform::Place(Label[kBoxes], 1860, 1275, 855, 255);
    // The unit labels the duration box too. Qt names a box after its first label, so the
    // box is still read as "Duration".
    Label[kBoxes]->setBuddy(txtIn[kDuration]);

    cmdAccept = new QPushButton(QStringLiteral("Accept"), this);
    cmdAccept->setObjectName(QStringLiteral("cmdAccept"));
    cmdAccept->setToolTip(QStringLiteral("Click to accept the changes"));
    cmdAccept->setDefault(true);
    platform::Place(cmdAccept, 398, 1635, 1335, 255);

    cmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    cmdCancel->setToolTip(QStringLiteral("Click to ignore the changes"));
    platform::Place(cmdCancel, 1898, 1635, 1335, 255);

    connect(cmdAccept, &QPushButton::clicked, this, &EditRecordDialog::cmdAccept_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &EditRecordDialog::cmdCancel_Click);

    Form_Load();
    txtIn[kName]->setFocus();
}

EditRecordDialog::~EditRecordDialog()
{
    closing_ = true;
    for (QLineEdit* box : txtIn)
        box->removeEventFilter(this);
    // An unfinished rewrite abandons itself when rewrite_ goes.
}

int EditRecordDialog::exec()
{
    if (!loaded_) {
        closing_ = true;
        setResult(Rejected);
        return Rejected;
    }
    return QDialog::exec();
}

std::optional<std::string> EditRecordDialog::beginEdit()
{
    rewrite_.reset();
    if (!state_.hasData())
        return std::nullopt;
    rewrite_.emplace(state_.data().beginRewrite());
    if (!rewrite_->active()) {
        platform::ShowError(this, QString::fromStdString(rewrite_->startStatus().message));
        return std::nullopt;
    }
    auto line = rewrite_->copyUntil(recordNumber_);
    // No such record (the list and the file disagree): nothing is changed.
    if (!line) {
        rewrite_->abandon();
        return std::nullopt;
    }
    // The lines before the record could not be written (a full disk): the user hears why
    // now, not after typing a change that cannot be saved.
    if (rewrite_->writeFailed()) {
        platform::ShowError(this, QString::fromStdString(rewrite_->complete().message));
        return std::nullopt;
    }
    return line;
}

void EditRecordDialog::Form_Load()
{
    const auto line = beginEdit();
    if (!line)
        return;
    auto fields = kestrow::SplitFields(*line);
    fields.resize(std::max<std::size_t>(fields.size(), kBoxes));
    for (int i = 0; i < kBoxes; ++i) {
        std::string& field = fields[std::size_t(i)];
        // A box holds at most maxLength() characters and would cut a longer field without
        // a word; such a field is shown cut short. A name or type is then kept exactly as
        // stored; a longer date, amount or duration cannot be valid and must be typed anew.
        if (field.size() > std::size_t(txtIn[i]->maxLength())) {
            const std::string shown =
                kestrow::ShownText(field, kestrow::kLongestShown, kestrow::ValidUtf8(field));
            if (i == kName || i == kType) {
                kept_[i] = std::move(field);
                txtIn[i]->setReadOnly(true);
                txtIn[i]->setToolTip(QStringLiteral("Too long to change here: shown cut short, "
                                                    "and kept as it is"));
            }
            txtIn[i]->setText(platform::DecodeText(shown));
            continue;
        }
        txtIn[i]->setText(platform::DecodeText(field));
    }
    loaded_ = true;
}

bool EditRecordDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::FocusOut && !closing_) {
        const auto reason = static_cast<QFocusEvent*>(event)->reason();
        // Switching to another window or opening a menu is not leaving the box, and the
        // way to "Cancel" must not be stopped by a check of what is being thrown away.
        const bool leaving = reason != Qt::ActiveWindowFocusReason &&
                             reason != Qt::PopupFocusReason &&
                             QApplication::focusWidget() != cmdCancel;
        for (int i = 0; i < kBoxes && leaving; ++i) {
            if (watched == txtIn[i])
                txtIn_LostFocus(i);
        }
    }
    return QDialog::eventFilter(watched, event);
}

void EditRecordDialog::txtIn_LostFocus(int Index)
{
    if (Index == kDate)
        leaveDate();
    else if (Index == kAmount)
        leaveAmount();
}

bool EditRecordDialog::leaveDate()
{
    const std::string date = kestrow::AcceptableDate(Text(txtIn[kDate]));
    if (date.empty())
        platform::ShowMessage(this, QStringLiteral("Invalid date"));
    txtIn[kDate]->setText(QString::fromStdString(date));
    return !date.empty();
}

void EditRecordDialog::leaveAmount()
{
    // Text that is not a number stays as typed, for "Accept" to refuse; it is never
    // turned into an amount the user did not type.
    if (const auto amount = kestrow::ParseAmount(Text(txtIn[kAmount])))
        txtIn[kAmount]->setText(QString::fromStdString(kestrow::FormatAmount(*amount)));
}

void EditRecordDialog::refuse(int index, const QString& message)
{
    platform::ShowMessage(this, message);
    txtIn[index]->setFocus();
}

void EditRecordDialog::cmdAccept_Click()
{
    if (!rewrite_ || !rewrite_->active())
        return;
    // Started with Enter, the focus is still in a box whose leaving step has not run.
    const QWidget* focused = focusWidget();
    if (focused == txtIn[kDate] && !leaveDate())
        return;
    if (focused == txtIn[kAmount])
        leaveAmount();
    std::array<std::string, kBoxes> typed;
    for (int i = 0; i < kBoxes; ++i)
        typed[i] = kept_[i] ? *kept_[i] : Text(txtIn[i]);
    const kestrow::FieldCheck check = kestrow::CheckTypedFields(typed, state_.todayDate());
    if (!check) {
        if (check.fault == kestrow::FieldFault::Date)
            txtIn[kDate]->clear();
        refuse(check.field, RefusalText(check));
        return;
    }
    const std::string date = kestrow::AcceptableDate(typed[kDate]);
    const int months = *kestrow::AcceptableDuration(typed[kDuration]);
    txtIn[kDate]->setText(
        QString::fromStdString(kestrow::StepDate(date, months, state_.todayDate())));

    std::vector<std::string> fields;
    for (int i = 0; i < kBoxes; ++i)
        fields.push_back(kept_[i] ? *kept_[i] : Text(txtIn[i]));
    rewrite_->writeLine(kestrow::JoinFields(fields));
    rewrite_->copyRest();
    const kestrow::Status done = MakeChange(state_, this, [this](kestrow::IfRemoved ifRemoved) {
        return rewrite_->complete(ifRemoved);
    });
    if (done.changedOutside() || done.removedOutside()) {
        // The record number may name another payment now, or none: the entry list, read
        // again, is where the user chooses again.
        if (!done.message.empty())
            platform::ShowError(this, QString::fromStdString(done.message));
        closing_ = true;
        QDialog::reject();
        return;
    }
    if (!done) {
        platform::ShowError(this, QString::fromStdString(done.message));
        // The data file is as it was; the form stays with the user's text for another
        // try, unless the rewrite cannot even be started again.
        if (!beginEdit()) {
            closing_ = true;
            QDialog::reject();
        }
        return;
    }
    state_.history().record(state_.data(), "Edit of " + fields[kName]);
    if (!done.message.empty())
        platform::ShowError(this, QString::fromStdString(done.message));
    closing_ = true;
    accept();
}

void EditRecordDialog::cmdCancel_Click()
{
    closing_ = true;
    if (rewrite_)
        rewrite_->abandon();
    QDialog::reject();
}

void EditRecordDialog::reject()
{
    cmdCancel_Click();
}
