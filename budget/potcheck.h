#pragma once
// Is the pot on track? The user types what the savings pot holds today (Kestrow never
// stores it); the check compares it with what the pot must hold now, the current month's
// "Total amount this month", and when the pot is short it finds the first month whose
// payments the pot, kept as it is, cannot meet, and the monthly amount that catches up
// by then. The main window's dialog and kestrow-report --pot both ask a PotCheck, so the
// two give the same verdict.
//
// Money is decided in whole cents as the figures show them: a pot that holds 2,031.74
// when 2,031.74 is shown as needed is on track, whatever the last bits of the sums.

#include "budget/budget.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrow {

// What the pot may be said to hold: an amount the record forms accept (2,100 or 2100.5)
// below a million billion dollars, beyond which whole cents no longer fit the check.
std::optional<double> PotAmount(std::string_view typed);

// A payment the verdict names.
struct PotPayment
{
    std::string name; // as stored
    double amount = 0;
};

struct PotVerdict
{
    // Whole cents.
    std::int64_t holds = 0;
    std::int64_t required = 0;   // the current month's total amount
    std::int64_t difference = 0; // holds - required; on track when not below 0
    // When short by S = -difference: the first month offset k, 0 to the horizon - 1, at
    // which the pot's need beyond the freed money falls below S, and its "yyyy-mm".
    int shortOffset = -1;
    std::string shortMonth;
    std::int64_t topUpNow = 0; // cents: S when k is 0
    int catchUpMonths = 0;     // k when k is 1 or more
    // Cents: S / k rounded up to a whole cent, so that k set-asides of the amount shown
    // cover S.
    std::int64_t catchUpMonthly = 0;
    double monthlyRequired = 0;
    double newMonthly = 0; // monthlyRequired + catchUpMonthly
    // The payments listed as due at shortOffset: how many, and the three largest (ties in
    // file order), largest first.
    std::size_t dueCount = 0;
    std::vector<PotPayment> largestDue;

    bool onTrack() const { return difference >= 0; }
};

class PotCheck
{
public:
    // Computes once what does not depend on the amount: the figures of the current month
    // and when each payment falls due (input.monthOffset is not used). The records must
    // outlive the check.
    explicit PotCheck(const BudgetInput& input);

    // The verdict for an amount PotAmount accepted; cheap enough to follow every key.
    PotVerdict verdict(double holds) const;

private:
    BudgetInput input_;
    double monthlyRequired_ = 0;
    std::int64_t required_ = 0;
    std::vector<std::int64_t> need_; // cents the pot needs beyond the freed money, per offset
    std::vector<DueRhythm> rhythms_;
};

// The verdict in words, in the figures' money format, as UTF-8: "The pot holds 2,100.00
// and needs 2,031.74 now: 68.26 to spare." or "31.74 short. Kept as it is, the pot runs
// short in 2027-03, when Car insurance 600.00 is due. Set aside 1,551.81 a month instead of
// 1,543.87 for the next 4 months, through 2027-03."
std::string VerdictText(const PotVerdict& verdict);

// Where the freed money comes from: "The pot never needs to hold less than 1,207.88; its
// lowest need is in 2029-05." Empty when the horizon has no month before its last.
std::string LowPointText(const BudgetFigures& figures, std::string_view todayDate);

} // namespace kestrow
