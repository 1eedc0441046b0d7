#pragma once
// The main window: the four figures and the due payments of the displayed month, the
// savings chart, month navigation, and Pay / Step / Cancel on the selected due payment.
// Form_Load is the one refresh of the program: every caller that changed the data file
// or the displayed month empties lstDue and calls it again; nothing is cached between
// refreshes.

#include <QWidget>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

class QLabel;
class QListWidget;
class QPushButton;
class SavingsChart;

// The record changes behind Step and Pay, on the text as stored. Month sums are done in
// 64 bits, so no stored duration can overflow them.
namespace payment {

// Step: the stored year and month moved on by one month; the year written with at least
// four digits, the month with two, the day part and any further part kept as written.
// Nothing when the line has fewer than five fields or its date no numeric year and month.
std::optional<std::string> SteppedLine(std::string_view line);

// Pay's new date: today's year and month plus `months`, today's day part as written.
// Nothing when todayDate has no numeric year and month, or months is negative or so large
// that the month count would overflow.
std::optional<std::string> PaidDate(std::string_view todayDate, std::int64_t months);

} // namespace payment

class frmMain : public QWidget
{
    Q_OBJECT
public:
    explicit frmMain(QWidget* parent = nullptr);

    // The refresh: reads the data file from its first line and rebuilds everything shown.
    void Form_Load();

    std::int16_t monthOffset() const { return monthOffset_; }
    double freedAmount() const { return freedAmount_; }

    QLabel* labA = nullptr;
    QLabel* lab1 = nullptr;
    QLabel* labB = nullptr;
    QLabel* lab2 = nullptr;
    QLabel* labC = nullptr;
    QLabel* lab3 = nullptr;
    QLabel* labD = nullptr;
    QLabel* lab4 = nullptr;
    QPushButton* cmdPrev = nullptr;
    QPushButton* cmdNext = nullptr;
    QPushButton* cmdZero = nullptr;
    QPushButton* cmdPrevYr = nullptr;
    QPushButton* cmdNextYr = nullptr;
    QPushButton* cmdStep = nullptr;
    QPushButton* cmdPay = nullptr;
    QPushButton* cmdNoPay = nullptr;
    QPushButton* cmdEdit = nullptr;
    QPushButton* cmdExit = nullptr;
    QLabel* labE = nullptr;
    QListWidget* lstDue = nullptr;
    QLabel* labF = nullptr;
    SavingsChart* picGraph = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void Form_Initialize();
    void lstDue_Click();
    void cmdPrev_Click();
    void cmdNext_Click();
    void cmdZero_Click();
    void cmdPrevYr_Click();
    void cmdNextYr_Click();
    void cmdStep_Click();
    void cmdPay_Click();
    void cmdNoPay_Click();
    void cmdEdit_Click();
    void cmdExit_Click();
    void DrawChart();

    void navigate(int newOffset);
    // Pay and Step: rewrites the data file with the selected record changed.
    void changeSelected(bool pay);
    std::string paidLine(const std::string& line);

    std::int16_t monthOffset_ = 0;
    double freedAmount_ = 0;
};
