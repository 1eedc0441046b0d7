#include "forms/mainwindow.h"

#include "app/appstate.h"
#include "budget/budget.h"
#include "budget/potcheck.h"
#include "core/dates.h"
#include "core/notices.h"
#include "core/numfmt.h"
#include "core/record.h"
#include "core/scratchfile.h"
#include "exports/exports.h"
#include "forms/changeamountdialog.h"
#include "forms/entrylistdialog.h"
#include "forms/livereload.h"
#include "forms/potcheckdialog.h"
#include "forms/putback.h"
#include "forms/savingschart.h"
#include "forms/undoactions.h"
#include "platform/accessible.h"
#include "platform/ending.h"
#include "platform/messages.h"
#include "platform/savefile.h"
#include "platform/textcodec.h"
#include "platform/widgets.h"

#include <QAction>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QSignalBlocker>

#include <algorithm>
#include <array>
#include <ctime>
#include <utility>

namespace {

const QString kFreedTip = QStringLiteral("This shows you the amount that has been freed up");

} // namespace

MainWindow::MainWindow(AppState& state, QWidget* parent) : QWidget(parent), state_(state)
{
    // A plain QWidget reads as a "filler"; screen readers look for a frame.
    platform::SetAccessibleRole(this, QAccessible::Window);
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

    captions_[0] = label("labA", QStringLiteral("Monthly amount required"), 255, 180, 1815, 255);
    lab1 = label("lab1", {}, 2175, 180, 975, 255,
                 QStringLiteral("This is the amount of new money required each month"));
    captions_[1] = label("labB", QStringLiteral("Total amount this month"), 255, 540, 1815, 255);
    lab2 = label("lab2", {}, 2175, 540, 975, 255,
                 QStringLiteral("This is the total number of dollars required this month, "
                                "assuming that all of the items to the right are paid in "
                                "this month"));
    captions_[2] = label("labC", QStringLiteral("Bills due this month"), 255, 900, 1815, 255);
    lab3 = label("lab3", {}, 2160, 900, 975, 255,
                 QStringLiteral("This is the amount required to pay the items to the right"));
    captions_[3] = label("labD", QStringLiteral("Net requirement is"), 255, 1260, 1815, 255);
    lab4 = label("lab4", {}, 2160, 1260, 975, 255,
                 QStringLiteral("This is the amount required against future items"));
    // The figures end in a blank and line up on their right edge. Each caption labels its
    // figure for assistive technology (the captions have no mnemonic, so nothing else
    // changes).
    const std::array<QLabel*, 4> figures = {lab1, lab2, lab3, lab4};
    for (std::size_t i = 0; i < figures.size(); ++i) {
        figures[i]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        captions_[i]->setBuddy(figures[i]);
        figureHomes_[i] = figures[i]->geometry();
    }

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
    // List views do not offer their tooltip to a screen reader by themselves; a click in
    // fact only selects, so the description also says what a selection does.
    lstDue->setAccessibleDescription(
        lstDue->toolTip() +
        QStringLiteral(" Selecting one enables Pay and Cancel, and Step while the current "
                       "month is shown."));
    lstDue->setSelectionMode(QAbstractItemView::SingleSelection);
    lstDue->setFont(platform::FixedPitchFont(8.25));
    lstDue->setUniformItemSizes(true);
    platform::Place(lstDue, 3300, 300, 5775, 2580);

    labF = label("labF", QStringLiteral("Graph"), 3525, 2910, 2115, 195, kFreedTip);
    picGraph = new SavingsChart(this);
    picGraph->setObjectName(QStringLiteral("picGraph"));
    platform::Place(picGraph, 120, 3120, 8955, 1275);
    announcer_ = new platform::Announcer(this);

    connect(lstDue, &QListWidget::itemSelectionChanged, this, &MainWindow::lstDue_Click);
    connect(cmdPrev, &QPushButton::clicked, this, &MainWindow::cmdPrev_Click);
    connect(cmdNext, &QPushButton::clicked, this, &MainWindow::cmdNext_Click);
    connect(cmdZero, &QPushButton::clicked, this, &MainWindow::cmdZero_Click);
    connect(cmdPrevYr, &QPushButton::clicked, this, &MainWindow::cmdPrevYr_Click);
    connect(cmdNextYr, &QPushButton::clicked, this, &MainWindow::cmdNextYr_Click);
    connect(cmdStep, &QPushButton::clicked, this, &MainWindow::cmdStep_Click);
    connect(cmdPay, &QPushButton::clicked, this, &MainWindow::cmdPay_Click);
    connect(cmdNoPay, &QPushButton::clicked, this, &MainWindow::cmdNoPay_Click);
    connect(cmdEdit, &QPushButton::clicked, this, &MainWindow::cmdEdit_Click);
    connect(cmdExit, &QPushButton::clicked, this, &MainWindow::cmdExit_Click);
    // The exports hold what these two show: right click, or the Menu key on the list. A
    // list reports the position in its viewport.
    lstDue->setContextMenuPolicy(Qt::CustomContextMenu);
    undoActions_ = new UndoActions(state_, this, [this] { afterChange(); });
    connect(lstDue, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { showExportMenu(lstDue->viewport()->mapToGlobal(pos)); });
    picGraph->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(picGraph, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { showExportMenu(picGraph->mapToGlobal(pos)); });
    connect(picGraph, &SavingsChart::barClicked, this, [this](int offset) {
        if (offset != monthOffset_)
            navigate(offset);
    });

    // One context menu for the figures, the due list and the chart: the pot check starts
    // from the figures, and its shortcut works anywhere in the window.
    exportMenu_ = new QMenu(this);
    exportMenu_->setObjectName(QStringLiteral("mnuExport"));
    QAction* checkPot = exportMenu_->addAction(QStringLiteral("Check the pot..."));
    checkPot->setObjectName(QStringLiteral("mnuCheckPot"));
    checkPot->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_K));
    checkPot->setShortcutContext(Qt::WindowShortcut);
    addAction(checkPot);
    connect(checkPot, &QAction::triggered, this, &MainWindow::checkPot);
    exportMenu_->addSeparator();
    QAction* calendar = exportMenu_->addAction(QStringLiteral("Export calendar..."));
    calendar->setObjectName(QStringLiteral("mnuExportCalendar"));
    connect(calendar, &QAction::triggered, this, [this] { saveExport(true); });
    QAction* table = exportMenu_->addAction(QStringLiteral("Export month table..."));
    table->setObjectName(QStringLiteral("mnuExportTable"));
    connect(table, &QAction::triggered, this, [this] { saveExport(false); });
    for (std::size_t i = 0; i < figures.size(); ++i) {
        for (QLabel* l : {captions_[i], figures[i]}) {
            l->setContextMenuPolicy(Qt::CustomContextMenu);
            connect(l, &QWidget::customContextMenuRequested, this,
                    [this, l](const QPoint& pos) { showExportMenu(l->mapToGlobal(pos)); });
        }
    }
    // The list takes the keys first: arrows choose a due payment, Enter opens the entries.
    lstDue->setFocus();

    Form_Load();
}

void MainWindow::Form_Load()
{
    lstDue_Click();

    std::string contents;
    kestrow::Status read = kestrow::Status::success();
    if (state_.hasData()) {
        read = state_.data().readContents(contents);
        if (!read)
            platform::ShowError(this, QString::fromStdString(read.message));
    }
    // Lines the computation cannot use stay in the file untouched; start-up has told the
    // user about them once.
    const kestrow::ParsedFile parsed = kestrow::ParseText(contents);
    if (read && state_.hasData())
        state_.settleHorizon(parsed.records);

    const int horizon = state_.horizonMonths();
    cmdPrev->setEnabled(monthOffset_ != 0);
    cmdPrevYr->setEnabled(monthOffset_ >= 12);
    cmdZero->setEnabled(monthOffset_ != 0);
    cmdNext->setEnabled(monthOffset_ < horizon);
    cmdNextYr->setEnabled(monthOffset_ <= horizon - 12);
    kestrow::BudgetInput input;
    input.records = &parsed.records;
    input.todayDate = state_.todayDate();
    input.horizonMonths = state_.horizonMonths();
    input.monthOffset = monthOffset_;
    kestrow::BudgetFigures figures = kestrow::Compute(input);
    const kestrow::BudgetLabels labels = kestrow::MakeLabels(figures);

    labE->setText(QString::fromStdString(labels.dueCaption));
    lstDue->setAccessibleName(labE->text());
    const std::string lowPoint = kestrow::LowPointText(figures, input.todayDate);
    labF->setToolTip(lowPoint.empty()
                         ? kFreedTip
                         : kFreedTip + QLatin1Char('\n') + QString::fromStdString(lowPoint));
    monthTotals_ = std::move(figures.monthTotals);
    dueSums_ = kestrow::DueSums(input);

    // Sorted once here rather than by the list on every insertion: the order is the
    // case-insensitive text order, which for these lines is date order.
    const std::vector<std::string> dueLines = kestrow::DueLines(figures.due);
    const std::vector<std::size_t> order = kestrow::SortedOrder(dueLines);
    // All rows in one insertion: one by one, the view would lay itself out again for each.
    QStringList texts;
    texts.reserve(qsizetype(order.size()));
    for (const std::size_t i : order)
        texts << platform::DecodeText(dueLines[i]);
    lstDue->addItems(texts);
    {
        // The record numbers are not shown, so the view need not hear of each one.
        const QSignalBlocker quiet(lstDue->model());
        for (int row = 0; row < lstDue->count(); ++row)
            lstDue->item(row)->setData(Qt::UserRole,
                                       figures.due[order[std::size_t(row)]].recordNumber);
    }

    freedAmount_ = figures.freedAmount;
    labF->setText(QString::fromStdString(labels.chartCaption));
    lab1->setText(QString::fromStdString(labels.monthlyRequired));
    lab2->setText(QString::fromStdString(labels.totalThisMonth));
    lab3->setText(QString::fromStdString(labels.billsDue));
    lab4->setText(QString::fromStdString(labels.netRequirement));
    // A figure of millions is wider than the room laid out for it; it takes the room its
    // caption leaves free, then a smaller font, rather than losing its first digits.
    for (std::size_t i = 0; i < captions_.size(); ++i) {
        const QLabel* caption = captions_[i];
        const int captionEnd =
            caption->x() + caption->fontMetrics().horizontalAdvance(caption->text());
        platform::FitFigure(qobject_cast<QLabel*>(caption->buddy()), figureHomes_[i],
                            captionEnd + platform::Twips(105));
    }

    // A screen reader reads each figure with its caption and without the trailing blank,
    // and hears the month and the figures again after every change the user makes. The
    // first refresh comes before the window is shown; its appearance is announced anyway.
    const double amounts[] = {figures.monthlyRequired, figures.totalThisMonth, figures.billsDue,
                              figures.netRequirement};
    QStringList spoken{labE->text()};
    // The lines are joined by ". ", which ends this sentence too.
    if (std::exchange(readAgain_, false))
        spoken.prepend(QStringLiteral("The payments were read again after a change outside "
                                      "Kestrow"));
    for (std::size_t i = 0; i < captions_.size(); ++i) {
        auto* figure = qobject_cast<QLabel*>(captions_[i]->buddy());
        figure->setAccessibleName(captions_[i]->text() + QStringLiteral(": ") +
                                  QString::fromStdString(kestrow::FormatAmount(amounts[i])));
        spoken << figure->accessibleName();
    }
    announcer_->setText(spoken.join(QStringLiteral(". ")));
    if (isVisible())
        announcer_->announce();

    DrawChart();
}

void MainWindow::DrawChart()
{
    picGraph->setPlan(MakeChartPlan(monthTotals_, freedAmount_, state_.horizonMonths(),
                                    state_.todayMonth(), monthOffset_, dueSums_,
                                    state_.todayDate()));
}

void MainWindow::checkPot()
{
    std::string contents;
    if (state_.hasData()) {
        if (const kestrow::Status read = state_.data().readContents(contents); !read) {
            platform::ShowError(this, QString::fromStdString(read.message));
            return;
        }
    }
    const kestrow::ParsedFile parsed = kestrow::ParseText(contents);
    kestrow::BudgetInput input;
    input.records = &parsed.records;
    input.todayDate = state_.todayDate();
    input.horizonMonths = state_.horizonMonths();
    const kestrow::PotCheck check(input);
    PotCheckDialog dialog(check, lastPotAmount_, this);
    dialog.exec();
    lastPotAmount_ = dialog.lastAmount();
}

void MainWindow::showExportMenu(const QPoint& globalPos)
{
    undoActions_->addTo(exportMenu_);
    exportMenu_->popup(globalPos);
}

void MainWindow::saveExport(bool calendar)
{
    const QString fileName = platform::AskSaveFileName(
        this, calendar ? QStringLiteral("Export calendar") : QStringLiteral("Export month table"),
        calendar ? QStringLiteral("Kestrow.ics") : QStringLiteral("Kestrow.csv"),
        calendar ? QStringLiteral("iCalendar files (*.ics)") : QStringLiteral("CSV files (*.csv)"));
    if (platform::ProgramEnding() || fileName.isEmpty() || !state_.hasData())
        return;
    const auto fail = [&](const QString& reason) {
        platform::ShowError(
            this, QStringLiteral("Kestrow could not save the %1 as %2: %3.")
                      .arg(calendar ? QStringLiteral("calendar") : QStringLiteral("month table"),
                           QDir::toNativeSeparators(fileName), reason));
    };

    // An export written over the data file would lose every payment.
    const std::string& dataFile = state_.data().dataFile();
    const QString dataPath = QFileInfo(QFile::decodeName(dataFile.c_str())).canonicalFilePath();
    if (!dataPath.isEmpty() && QFileInfo(fileName).canonicalFilePath() == dataPath) {
        fail(QStringLiteral("that is the data file that holds your payments"));
        return;
    }

    std::string contents;
    if (const kestrow::Status read = state_.data().readContents(contents); !read) {
        platform::ShowError(this, QString::fromStdString(read.message));
        return;
    }
    // As on the screen, lines the computation cannot use are left out.
    const kestrow::ParsedFile parsed = kestrow::ParseText(contents);
    kestrow::ExportInput input;
    input.records = &parsed.records;
    input.todayDate = state_.todayDate();
    input.horizonMonths = state_.horizonMonths();
    std::string bytes;
    if (calendar) {
        kestrow::CalendarOptions options;
        options.months = state_.horizonMonths();
        options.stamp = kestrow::LastChangeTime(dataFile).value_or(std::time(nullptr));
        bytes = kestrow::CalendarFile(input, options);
    } else {
        bytes = kestrow::MonthTable(input);
    }
    // Through a scratch file, as the data file is saved: a full disk leaves an older export
    // as it was.
    const kestrow::Status saved =
        kestrow::SaveWholeFile(state_.fileOps(), QFile::encodeName(fileName).toStdString(), bytes);
    if (!saved)
        fail(QString::fromStdString(saved.message));
    else if (!saved.message.empty())
        platform::ShowError(this, QString::fromStdString(saved.message));
}

void MainWindow::lstDue_Click()
{
    const bool one = lstDue->selectedItems().size() == 1;
    cmdPay->setEnabled(one);
    cmdNoPay->setEnabled(cmdPay->isEnabled());
    cmdStep->setEnabled(one && monthOffset_ == 0);
}

void MainWindow::navigate(int newOffset)
{
    monthOffset_ = static_cast<std::int16_t>(newOffset);
    lstDue->clear();
    Form_Load();
}

void MainWindow::watchDataFile()
{
    if (liveReload_ == nullptr && state_.hasData())
        liveReload_ = new LiveReload(
            state_, this, [this] { readAgain(); }, [this] { afterChange(); });
}

void MainWindow::readAgain()
{
    const QStringList selected = SelectedTexts(lstDue);
    monthOffset_ = std::min(monthOffset_, state_.horizonMonths());
    lstDue->clear();
    readAgain_ = true;
    Form_Load();
    SelectTexts(lstDue, selected);
    if (entries_ != nullptr)
        entries_->readAgain();
}

void MainWindow::afterChange()
{
    if (ShowIntroductionIfEmpty(state_, this) == Introduction::Ending)
        return;
    lstDue->clear();
    Form_Load();
}

void MainWindow::cmdPrev_Click()
{
    navigate(monthOffset_ - 1);
}
void MainWindow::cmdNext_Click()
{
    navigate(monthOffset_ + 1);
}
void MainWindow::cmdZero_Click()
{
    navigate(0);
}
void MainWindow::cmdPrevYr_Click()
{
    navigate(monthOffset_ - 12);
}
void MainWindow::cmdNextYr_Click()
{
    navigate(monthOffset_ + 12);
}

void MainWindow::cmdStep_Click()
{
    changeSelected(false);
}
void MainWindow::cmdPay_Click()
{
    changeSelected(true);
}

void MainWindow::cmdNoPay_Click()
{
    lstDue->clearSelection();
}

void MainWindow::changeSelected(bool pay)
{
    const QList<QListWidgetItem*> selected = lstDue->selectedItems();
    if (selected.size() != 1 || !state_.hasData())
        return;
    const std::int32_t n = selected.front()->data(Qt::UserRole).toInt();

    // The store refuses a rewrite of a file changed outside Kestrow since this window read
    // it (it has then read it again): the refresh below shows the file as it is now.
    kestrow::Rewrite rewrite = state_.data().beginRewrite();
    kestrow::Status done = rewrite.startStatus();
    std::string name;
    if (rewrite.active()) {
        const std::optional<std::string> line = rewrite.copyUntil(n);
        if (line)
            name = kestrow::SplitFields(*line)[kestrow::FieldName];
        // When the lines before the record could not be written (a full disk), the user
        // hears why at once rather than after answering the dialog: the line is not
        // written and complete() reports the failure.
        if (line && !rewrite.writeFailed()) {
            // A line that cannot be changed is written back as it was.
            std::string changed = *line;
            std::string newDate;
            std::optional<kestrow::PayTerms> terms;
            if (pay) {
                terms = kestrow::PayTermsOf(*line, state_.todayDate());
                if (terms)
                    newDate = terms->newDate;
            } else if (auto stepped = kestrow::SteppedLine(*line)) {
                changed = *stepped;
                newDate = kestrow::SplitFields(changed)[kestrow::FieldDate];
            }
            if (!newDate.empty() && !kestrow::FourDigitYear(newDate)) {
                rewrite.abandon();
                platform::ShowMessage(
                    this, QString::fromStdString(kestrow::notices::YearBeyond9999(newDate)));
                lstDue->clear();
                Form_Load();
                return;
            }
            if (terms) {
                const std::vector<std::string> fields = kestrow::SplitFields(*line);
                ChangeAmountDialog dialog(platform::DecodeText(fields[kestrow::FieldName]),
                                          terms->months, terms->amount, this);
                dialog.exec();
                changed = kestrow::PaidLine(*line, *terms, dialog.amount());
            }
            if (platform::ProgramEnding()) {
                rewrite.abandon();
                return;
            }
            rewrite.writeLine(changed);
        }
        rewrite.copyRest();
        done = MakeChange(state_, this, [&rewrite](kestrow::IfRemoved ifRemoved) {
            return rewrite.complete(ifRemoved);
        });
    }
    if (done)
        state_.history().record(state_.data(), (pay ? "Pay of " : "Step of ") + name);
    if (!done.message.empty())
        platform::ShowError(this, QString::fromStdString(done.message));

    lstDue->clear();
    // The data file removed outside Kestrow and not put back: as at start-up without one.
    if (done.removedOutside() && ShowIntroductionIfEmpty(state_, this) == Introduction::Ending)
        return;
    Form_Load();
}

void MainWindow::cmdEdit_Click()
{
    {
        EntryListDialog dialog(state_, this);
        entries_ = &dialog;
        dialog.exec();
        entries_ = nullptr;
    }
    if (platform::ProgramEnding())
        return;
    lstDue->clear();
    Form_Load();
}

void MainWindow::cmdExit_Click()
{
    platform::EndProgram();
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (!platform::ProgramEnding())
        cmdExit_Click();
    event->accept();
}

// A plain window has no default button of its own: Enter anywhere that does not use it
// (the due list, the labels) presses "Edit Entries".
void MainWindow::keyPressEvent(QKeyEvent* event)
{
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && cmdEdit->isEnabled()) {
        cmdEdit->click();
        return;
    }
    QWidget::keyPressEvent(event);
}
