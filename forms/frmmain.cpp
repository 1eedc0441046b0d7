#include "frmmain.h"

#include "budget.h"
#include "dates.h"
#include "ending.h"
#include "frmchangedollar.h"
#include "frmedit.h"
#include "messages.h"
#include "modmain.h"
#include "numfmt.h"
#include "record.h"
#include "savingschart.h"
#include "textcodec.h"
#include "widgets.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

namespace payment {

namespace {

// Year and month as the month count year * 12 + (month - 1), back to text as "0000-00".
std::string YearMonthText(std::int64_t year, std::int64_t month)
{
    // month is at least 1 here; carrying by division is the "while above 12" loop of
    // the stored arithmetic without its run time for huge durations.
    year += (month - 1) / 12;
    month = (month - 1) % 12 + 1;
    return kestrow::FormatPadded(long(year), 4) + "-" + kestrow::FormatPadded(long(month), 2);
}

} // namespace

std::optional<std::string> SteppedLine(std::string_view line)
{
    auto fields = kestrow::SplitFields(line);
    if (fields.size() < 5)
        return std::nullopt;
    auto parts = kestrow::SplitText(fields[kestrow::FieldDate], '-');
    if (parts.size() < 2)
        return std::nullopt;
    const auto year = kestrow::ParseWhole(parts[0]);
    const auto month = kestrow::ParseWhole(parts[1]);
    if (!year || !month)
        return std::nullopt;
    const std::string yearMonth = YearMonthText(*year, std::int64_t(*month) + 1);
    parts[0] = yearMonth.substr(0, yearMonth.size() - 3);
    parts[1] = yearMonth.substr(yearMonth.size() - 2);
    std::string date = parts[0];
    for (std::size_t i = 1; i < parts.size(); ++i)
        date += "-" + parts[i];
    fields[kestrow::FieldDate] = date;
    return kestrow::JoinFields(fields);
}

std::optional<std::string> PaidDate(std::string_view todayDate, std::int64_t months)
{
    const auto parts = kestrow::SplitText(todayDate, '-');
    if (parts.size() < 3 || months < 0)
        return std::nullopt;
    const auto year = kestrow::ParseWhole(parts[0]);
    const auto month = kestrow::ParseWhole(parts[1]);
    std::int64_t monthCount = 0;
    if (!year || !month || *month < 1 || __builtin_add_overflow(*month, months, &monthCount))
        return std::nullopt;
    return YearMonthText(*year, monthCount) + "-" + parts[2];
}

} // namespace payment

frmMain::frmMain(QWidget* parent) : QWidget(parent)
{
    Form_Initialize();
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Kestrow Budget Calculator"));
    setFixedSize(platform::Twips(9165), platform::Twips(4425));
    setFont(platform::SansFont(8.25));

    auto label = [this](const char* name, const QString& text, int left, int top, int width,
                        int height, const QString& tip = {}) {
        auto* l = new QLabel(text, this);
        l->setObjectName(QString::fromLatin1(name));
        l->setToolTip(tip);
        platform::Place(l, left, top, width, height);
        return l;
    };
    auto button = [this](const char* name, const QString& text, int left, int top, int width,
                         int height, const QString& tip) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(QString::fromLatin1(name));
        b->setToolTip(tip);
        // Enter presses the button that has the focus, and cmdEdit otherwise.
        b->setAutoDefault(true);
        platform::Place(b, left, top, width, height);
        return b;
    };

    labA = label("labA", QStringLiteral("Monthly amount required"), 255, 180, 1815, 255);
    lab1 = label("lab1", {}, 2175, 180, 975, 255,
                 QStringLiteral("This is the amount of new money required each month"));
    labB = label("labB", QStringLiteral("Total amount this month"), 255, 540, 1815, 255);
    lab2 = label("lab2", {}, 2175, 540, 975, 255,
                 QStringLiteral("This is the total number of dollars required this month, "
                                "assuming that all of the items to the right are paid in "
                                "this month"));
    labC = label("labC", QStringLiteral("Bills due this month"), 255, 900, 1815, 255);
    lab3 = label("lab3", {}, 2160, 900, 975, 255,
                 QStringLiteral("This is the amount required to pay the items to the right"));
    labD = label("labD", QStringLiteral("Net requirement is"), 255, 1260, 1815, 255);
    lab4 = label("lab4", {}, 2160, 1260, 975, 255,
                 QStringLiteral("This is the amount required against future items"));
    // The figures end in a blank and line up on their right edge.
    for (QLabel* figure : {lab1, lab2, lab3, lab4})
        figure->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    cmdPrev = button("cmdPrev", QStringLiteral("Prev Mon"), 120, 1800, 855, 315,
                     QStringLiteral("Look at the previous month"));
    cmdNext = button("cmdNext", QStringLiteral("Next Mon"), 1560, 1800, 855, 315,
                     QStringLiteral("Look at the next month"));
    cmdZero = button("cmdZero", QStringLiteral("Now"), 1020, 1980, 495, 315,
                     QStringLiteral("Click to return to the current month"));
    cmdPrevYr = button("cmdPrevYr", QStringLiteral("Prev Yr"), 120, 2160, 855, 315,
                       QStringLiteral("Look at the previous year"));
    cmdNextYr = button("cmdNextYr", QStringLiteral("Next Yr"), 1560, 2160, 855, 315,
                       QStringLiteral("Look at the next year"));

    cmdStep = button("cmdStep", QStringLiteral("Step ->"), 2520, 1680, 735, 375,
                     QStringLiteral("Move the item selected in the list to the right to the "
                                    "following month"));
    cmdPay = button("cmdPay", QStringLiteral("Pay ->"), 2520, 2100, 735, 375,
                    QStringLiteral("Pay the item selected in the list to the right"));
    cmdNoPay = button("cmdNoPay", QStringLiteral("Cancel"), 2520, 2520, 735, 375,
                      QStringLiteral("Cancel the selection in the list to the right"));
    for (QPushButton* b : {cmdStep, cmdPay, cmdNoPay})
        b->setEnabled(false);

    cmdEdit = button("cmdEdit", QStringLiteral("Edit Entries"), 120, 2520, 1035, 375,
                     QStringLiteral("Add, delete, or change entries in the list"));
    cmdEdit->setDefault(true);
    cmdExit = button("cmdExit", QStringLiteral("Exit"), 1260, 2520, 735, 375,
                     QStringLiteral("Exit from the calculator"));

    labE = label("labE", QStringLiteral("Payments due in"), 3360, 60, 5655, 195);
    lstDue = new QListWidget(this);
    lstDue->setObjectName(QStringLiteral("lstDue"));
    // A screen reader names the list by its caption, "Payments due in" and the month
    // (set with the caption at every refresh).
    lstDue->setToolTip(QStringLiteral("A list of items due in the captioned month.  Click on an "
                                      "item to pay it today."));
    // List views do not offer their tooltip to a screen reader by themselves.
    lstDue->setAccessibleDescription(lstDue->toolTip());
    lstDue->setSelectionMode(QAbstractItemView::SingleSelection);
    lstDue->setFont(platform::FixedPitchFont(8.25));
    lstDue->setUniformItemSizes(true);
    platform::Place(lstDue, 3300, 300, 5775, 2580);

    labF = label("labF", QStringLiteral("Graph"), 3525, 2910, 2115, 195,
                 QStringLiteral("This shows you the amount that has been freed up"));
    picGraph = new SavingsChart(this);
    picGraph->setObjectName(QStringLiteral("picGraph"));
    platform::Place(picGraph, 120, 3120, 8955, 1275);

    connect(lstDue, &QListWidget::itemSelectionChanged, this, &frmMain::lstDue_Click);
    connect(cmdPrev, &QPushButton::clicked, this, &frmMain::cmdPrev_Click);
    connect(cmdNext, &QPushButton::clicked, this, &frmMain::cmdNext_Click);
    connect(cmdZero, &QPushButton::clicked, this, &frmMain::cmdZero_Click);
    connect(cmdPrevYr, &QPushButton::clicked, this, &frmMain::cmdPrevYr_Click);
    connect(cmdNextYr, &QPushButton::clicked, this, &frmMain::cmdNextYr_Click);
    connect(cmdStep, &QPushButton::clicked, this, &frmMain::cmdStep_Click);
    connect(cmdPay, &QPushButton::clicked, this, &frmMain::cmdPay_Click);
    connect(cmdNoPay, &QPushButton::clicked, this, &frmMain::cmdNoPay_Click);
    connect(cmdEdit, &QPushButton::clicked, this, &frmMain::cmdEdit_Click);
    connect(cmdExit, &QPushButton::clicked, this, &frmMain::cmdExit_Click);
    // The list takes the keys first: arrows choose a due payment, Enter opens the entries.
    lstDue->setFocus();

    Form_Load();
}

void frmMain::Form_Initialize()
{
    monthOffset_ = 0;
}

void frmMain::Form_Load()
{
    lstDue_Click();

    const int horizon = modMain::HorizonMonths;
    cmdPrev->setEnabled(monthOffset_ != 0);
    cmdPrevYr->setEnabled(monthOffset_ >= 12);
    cmdZero->setEnabled(monthOffset_ != 0);
    cmdNext->setEnabled(monthOffset_ < horizon);
    cmdNextYr->setEnabled(monthOffset_ <= horizon - 12);

    std::vector<std::string> lines;
    if (modMain::HasData()) {
        const kestrow::Status read = modMain::Data().readLines(lines);
        if (!read)
            platform::ShowError(this, QString::fromStdString(read.message));
    }
    // Lines the computation cannot use stay in the file untouched; start-up has told the
    // user about them once.
    const kestrow::ParsedFile parsed = kestrow::ParseLines(lines);
    kestrow::BudgetInput input;
    input.records = &parsed.records;
    input.todayDate = modMain::TodayDate;
    input.horizonMonths = modMain::HorizonMonths;
    input.monthOffset = monthOffset_;
    kestrow::BudgetFigures figures = kestrow::Compute(input);
    const kestrow::BudgetLabels labels = kestrow::MakeLabels(figures);

    labE->setText(QString::fromStdString(labels.labE));
    lstDue->setAccessibleName(labE->text());
    modMain::DueMonthKey = figures.dueMonthKey;
    modMain::MonthTotals = std::move(figures.monthTotals);

    // Sorted once here rather than by the list on every insertion: the order is the
    // case-insensitive text order, which for these lines is date order.
    const std::vector<std::string> dueLines = kestrow::DueLines(figures.due);
    const std::vector<std::size_t> order = kestrow::SortedOrder(dueLines);
    lstDue->setUpdatesEnabled(false);
    for (const std::size_t i : order) {
        auto* item = new QListWidgetItem(platform::DecodeText(dueLines[i]));
        item->setData(Qt::UserRole, figures.due[i].recordNumber);
        lstDue->addItem(item);
    }
    lstDue->setUpdatesEnabled(true);

    freedAmount_ = figures.freedAmount;
    labF->setText(QString::fromStdString(labels.labF));
    lab1->setText(QString::fromStdString(labels.lab1));
    lab2->setText(QString::fromStdString(labels.lab2));
    lab3->setText(QString::fromStdString(labels.lab3));
    lab4->setText(QString::fromStdString(labels.lab4));

    DrawChart();
}

void frmMain::DrawChart()
{
    picGraph->setPlan(MakeChartPlan(modMain::MonthTotals, freedAmount_, modMain::HorizonMonths,
                                    modMain::TodayMonth, monthOffset_));
}

void frmMain::lstDue_Click()
{
    const bool one = lstDue->selectedItems().size() == 1;
    cmdPay->setEnabled(one);
    cmdNoPay->setEnabled(cmdPay->isEnabled());
    cmdStep->setEnabled(one && monthOffset_ == 0);
}

void frmMain::navigate(int newOffset)
{
    monthOffset_ = static_cast<std::int16_t>(newOffset);
    lstDue->clear();
    Form_Load();
}

void frmMain::cmdPrev_Click()
{
    navigate(monthOffset_ - 1);
}
void frmMain::cmdNext_Click()
{
    navigate(monthOffset_ + 1);
}
void frmMain::cmdZero_Click()
{
    navigate(0);
}
void frmMain::cmdPrevYr_Click()
{
    navigate(monthOffset_ - 12);
}
void frmMain::cmdNextYr_Click()
{
    navigate(monthOffset_ + 12);
}

void frmMain::cmdStep_Click()
{
    changeSelected(false);
}
void frmMain::cmdPay_Click()
{
    changeSelected(true);
}

void frmMain::cmdNoPay_Click()
{
    lstDue->clearSelection();
}

std::string frmMain::paidLine(const std::string& line)
{
    auto fields = kestrow::SplitFields(line);
    if (fields.size() < 5)
        return line;
    const auto duration = kestrow::ParseWhole(fields[kestrow::FieldDuration]);
    const auto oldAmount = kestrow::ParseAmount(fields[kestrow::FieldAmount]);
    if (!duration || *duration > 32767 || !oldAmount)
        return line;
    const auto date = payment::PaidDate(modMain::TodayDate, *duration);
    if (!date)
        return line;
    fields[kestrow::FieldDate] = *date;

    modMain::DollarMonths = static_cast<std::int16_t>(*duration);
    modMain::DollarAmount = *oldAmount;
    frmChangeDollar dlg(this);
    dlg.exec();
    // The amount is rewritten only when the user confirmed a different one; otherwise the
    // stored text stays as it was, whatever its form.
    if (modMain::DollarAmount != *oldAmount)
        fields[kestrow::FieldAmount] = kestrow::FormatAmount(modMain::DollarAmount);
    return kestrow::JoinFields(fields);
}

void frmMain::changeSelected(bool pay)
{
    const QList<QListWidgetItem*> selected = lstDue->selectedItems();
    if (selected.size() != 1 || !modMain::HasData())
        return;
    const std::int32_t n = selected.front()->data(Qt::UserRole).toInt();

    kestrow::Rewrite rewrite = modMain::Data().beginRewrite();
    kestrow::Status done = rewrite.startStatus();
    if (rewrite.active()) {
        // A line that cannot be changed is written back as it was.
        if (const std::optional<std::string> line = rewrite.copyUntil(n)) {
            std::string changed = *line;
            if (pay)
                changed = paidLine(*line);
            else if (auto stepped = payment::SteppedLine(*line))
                changed = *stepped;
            if (platform::ProgramEnding()) {
                rewrite.abandon();
                return;
            }
            rewrite.writeLine(changed);
        }
        rewrite.copyRest();
        done = rewrite.complete();
    }
    if (!done.message.empty())
        platform::ShowError(this, QString::fromStdString(done.message));

    lstDue->clear();
    Form_Load();
}

void frmMain::cmdEdit_Click()
{
    frmEdit dlg(this);
    dlg.exec();
    if (platform::ProgramEnding())
        return;
    lstDue->clear();
    Form_Load();
}

void frmMain::cmdExit_Click()
{
    platform::EndProgram();
}

void frmMain::closeEvent(QCloseEvent* event)
{
    if (!platform::ProgramEnding())
        cmdExit_Click();
    event->accept();
}

// A plain window has no default button of its own: Enter anywhere that does not use it
// (the due list, the labels) presses "Edit Entries".
void frmMain::keyPressEvent(QKeyEvent* event)
{
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && cmdEdit->isEnabled()) {
        cmdEdit->click();
        return;
    }
    QWidget::keyPressEvent(event);
}
