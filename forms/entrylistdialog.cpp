#include "forms/entrylistdialog.h"

#include "app/appstate.h"
#include "budget/entryrows.h"
#include "forms/addrecorddialog.h"
#include "forms/editrecorddialog.h"
#include "forms/introdialog.h"
#include "forms/livereload.h"
#include "forms/putback.h"
#include "forms/undoactions.h"
#include "platform/accessible.h"
#include "platform/ending.h"
#include "platform/messages.h"
#include "platform/printer.h"
#include "platform/textcodec.h"
#include "platform/widgets.h"

#include <QFrame>
#include <QKeyEvent>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>

#include <vector>

namespace {

struct OrderButton
{
    const char* caption;
    const char* tooltip;
    int left;
    int width;
};

constexpr OrderButton kOrderButtons[EntryListDialog::kOrders] = {
    {"Name", "Sort the list by Name", 60, 915},
    {"Type", "Sort the list by Type", 1080, 915},
    {"Date", "Sort the list by Date", 2070, 915},
    {"Amount", "Sort the list by Amount", 2940, 915},
    {"Duration", "Sort the list by Duration", 3900, 915},
    {"Raw", "Display the list in the sequence in which the items were entered", 5040, 675},
};

QPushButton* MakeButton(QWidget* parent, const char* name, const char* caption, const char* tooltip,
                        int left)
{
    auto* button = new QPushButton(QString::fromUtf8(caption), parent);
    button->setObjectName(QString::fromUtf8(name));
    button->setToolTip(QString::fromUtf8(tooltip));
    platform::Place(button, left, 2760, 1155, 315);
    return button;
}

// A change that was made may still carry a warning; a failed one carries the reason.
void ReportStatus(QWidget* parent, const kestrow::Status& status)
{
    if (!status.message.empty())
        platform::ShowError(parent, QString::fromStdString(status.message));
}

} // namespace

EntryListDialog::EntryListDialog(AppState& state, QWidget* parent) : QDialog(parent), state_(state)
{
    setObjectName(QStringLiteral("frmEdit"));
    setWindowTitle(QStringLiteral("Edit Entries"));
    setFixedSize(platform::Twips(6930), platform::Twips(3195));
    // The size the twip positions were laid out for; the controls inherit it.
    setFont(platform::SansFont(8.25));

    lstDisplay = new QListWidget(this);
    lstDisplay->setObjectName(QStringLiteral("lstDisplay"));
    lstDisplay->setAccessibleName(QStringLiteral("Entries"));
    lstDisplay->setToolTip(
        QStringLiteral("Click (or Ctrl-click) to select items to edit or delete"));
    // List views do not offer their tooltip to a screen reader by themselves.
    lstDisplay->setAccessibleDescription(lstDisplay->toolTip());
    lstDisplay->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lstDisplay->setFont(platform::FixedPitchFont(8.25));
    // The rows arrive in their order already (the case-insensitive order of every sorted
    // list of Kestrow); the widget's own sorting would compare case-sensitively.
    lstDisplay->setSortingEnabled(false);
    platform::Place(lstDisplay, 60, 60, 6795, 1950);

    auto* fraSortHow = new QFrame(this);
    // The six orders are one group of radio buttons to a screen reader, named for what
    // they choose.
    platform::SetAccessibleRole(fraSortHow, QAccessible::Grouping);
    fraSortHow->setAccessibleName(QStringLiteral("Sort by"));
    fraSortHow->setObjectName(QStringLiteral("fraSortHow"));
    fraSortHow->setFrameShape(QFrame::NoFrame);
    platform::Place(fraSortHow, 548, 2280, 5835, 195);
    for (int i = 0; i < kOrders; ++i) {
        const OrderButton& b = kOrderButtons[i];
        Option1[i] = new QRadioButton(QString::fromUtf8(b.caption), fraSortHow);
        Option1[i]->setObjectName(QStringLiteral("Option1(%1)").arg(i));
        Option1[i]->setToolTip(QString::fromUtf8(b.tooltip));
        platform::Place(Option1[i], b.left, 0, b.width, 195);
    }
    // Every opening starts in the "Name" order.
    Option1[0]->setChecked(true);

    cmdAdd = MakeButton(this, "cmdAdd", "New entry", "Click to add a new item to the list", 90);
    cmdPrint = MakeButton(this, "cmdPrint", "Print", "Click to print the list as displayed", 1492);
    cmdEdit = MakeButton(this, "cmdEdit", "Edit", "Click to edit the selected item", 2894);
    cmdDelete =
        MakeButton(this, "cmdDelete", "Delete", "Click to delete the selected item or items", 4296);
    cmdDone = MakeButton(this, "cmdDone", "Done", "Click when done", 5700);
    cmdAdd->setDefault(true);
    cmdEdit->setEnabled(false);
    cmdDelete->setEnabled(false);

    connect(lstDisplay, &QListWidget::itemSelectionChanged, this,
            &EntryListDialog::lstDisplay_Click);
    for (int i = 0; i < kOrders; ++i) {
        connect(Option1[i], &QRadioButton::toggled, this, [this, i](bool on) {
            if (on)
                Option1_Click(i);
        });
    }
    connect(cmdAdd, &QPushButton::clicked, this, &EntryListDialog::cmdAdd_Click);
    connect(cmdEdit, &QPushButton::clicked, this, &EntryListDialog::cmdEdit_Click);
    connect(cmdDelete, &QPushButton::clicked, this, &EntryListDialog::cmdDelete_Click);
    connect(cmdPrint, &QPushButton::clicked, this, &EntryListDialog::cmdPrint_Click);
    connect(cmdDone, &QPushButton::clicked, this, &EntryListDialog::cmdDone_Click);

    // Undo and redo: the keys, and a context menu of the list.
    auto* undo = new UndoActions(state_, this, [this] { afterChange(); });
    lstDisplay->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(lstDisplay, &QWidget::customContextMenuRequested, this, [this, undo](QPoint pos) {
        auto* menu = new QMenu(this);
        menu->setObjectName(QStringLiteral("mnuEntries"));
        menu->setAttribute(Qt::WA_DeleteOnClose);
        undo->addTo(menu);
        menu->popup(lstDisplay->viewport()->mapToGlobal(pos));
    });

    Form_Load();
    lstDisplay->setFocus();
}

int EntryListDialog::chosenOrder() const
{
    for (int i = 0; i < kOrders; ++i) {
        if (Option1[i]->isChecked())
            return i;
    }
    return 0;
}

void EntryListDialog::Form_Load()
{
    lstDisplay->clear();
    lstDisplay_Click();
    if (!state_.hasData())
        return;
    const kestrow::Status read = state_.data().readLines(lines_);
    if (!read)
        platform::ShowError(this, QString::fromStdString(read.message));
    const auto rows = kestrow::SortedEntryRows(
        lines_, static_cast<kestrow::EntryOrder>(chosenOrder()), state_.todayDate());
    for (const auto& row : rows) {
        auto* item = new QListWidgetItem(platform::DecodeText(row.text));
        item->setData(Qt::UserRole, row.recordNumber);
        lstDisplay->addItem(item);
    }
    lstDisplay_Click();
}

void EntryListDialog::readAgain()
{
    const QStringList selected = SelectedTexts(lstDisplay);
    Form_Load();
    SelectTexts(lstDisplay, selected);
}

void EntryListDialog::lstDisplay_Click()
{
    const auto selected = lstDisplay->selectedItems().size();
    cmdDelete->setEnabled(selected >= 1);
    cmdEdit->setEnabled(selected == 1);
}

void EntryListDialog::Option1_Click(int /*Index*/)
{
    Form_Load();
}

void EntryListDialog::cmdAdd_Click()
{
    const bool hadPayments = state_.hasData() && state_.data().length() > 0;
    {
        AddRecordDialog dialog(state_, this);
        dialog.exec();
    }
    if (platform::ProgramEnding())
        return;
    // Only the data file removed outside Kestrow and not put back empties it here.
    if (hadPayments && ShowIntroductionIfEmpty(state_, this) == Introduction::Ending)
        return;
    Form_Load();
}

void EntryListDialog::cmdEdit_Click()
{
    const auto selected = lstDisplay->selectedItems();
    if (selected.size() != 1)
        return;
    {
        EditRecordDialog dialog(state_, selected.front()->data(Qt::UserRole).toInt(), this);
        if (dialog.Form_Load())
            dialog.exec();
    }
    if (platform::ProgramEnding())
        return;
    // Only the data file removed outside Kestrow and not put back empties it here.
    if (ShowIntroductionIfEmpty(state_, this) == Introduction::Ending)
        return;
    Form_Load();
}

void EntryListDialog::cmdDelete_Click()
{
    // Record numbers in the order of the rows; the store sorts them and drops each line
    // in one rewrite, so the numbers still name the lines they were read from.
    std::vector<std::int32_t> numbers;
    for (int row = 0; row < lstDisplay->count(); ++row) {
        const QListWidgetItem* item = lstDisplay->item(row);
        if (item->isSelected())
            numbers.push_back(item->data(Qt::UserRole).toInt());
    }
    if (numbers.empty() || !state_.hasData())
        return;
    const kestrow::Status deleted = MakeChange(state_, this, [&](kestrow::IfRemoved ifRemoved) {
        return state_.data().rewriteDeleting(numbers, ifRemoved);
    });
    if (deleted) {
        const std::size_t first = std::size_t(numbers.front()) - 1;
        state_.history().record(state_.data(),
                                numbers.size() == 1 && first < lines_.size()
                                    ? "Delete of " + kestrow::SplitFields(lines_[first])[0]
                                    : "Delete of " + std::to_string(numbers.size()) + " entries");
    }
    ReportStatus(this, deleted);
    afterChange();
}

void EntryListDialog::afterChange()
{
    switch (ShowIntroductionIfEmpty(state_, this)) {
    case Introduction::Ending:
        return;
    case Introduction::Restored:
        // Undone on the introduction screen: back to the main window, as before the change.
        accept();
        return;
    case Introduction::NotShown:
    case Introduction::Continued:
        Form_Load();
        return;
    }
}

void EntryListDialog::cmdPrint_Click()
{
    QStringList lines;
    lines.reserve(lstDisplay->count());
    for (int row = 0; row < lstDisplay->count(); ++row)
        lines << lstDisplay->item(row)->text();
    platform::PrintLines(this, lines, QStringLiteral("Kestrow entries"));
}

void EntryListDialog::cmdDone_Click()
{
    accept();
}

void EntryListDialog::keyPressEvent(QKeyEvent* event)
{
    const bool plain =
        event->modifiers() == Qt::NoModifier || event->modifiers() == Qt::KeypadModifier;
    if (event->key() == Qt::Key_Escape && plain) {
        if (cmdEdit->isEnabled())
            cmdEdit->click();
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}
