#include "app/appstate.h"

void AppState::setToday(std::string date, std::int16_t month)
{
    todayDate_ = std::move(date);
    todayMonth_ = month;
}

kestrow::Status AppState::openData(const std::string& dataFile, const std::string& tempFile)
{
    data_ = std::make_unique<kestrow::DataStore>(dataFile, tempFile, *ops_);
    return data_->open();
}

void AppState::raiseHorizon(std::int16_t months)
{
    if (months > horizon_)
        horizon_ = months;
}

void AppState::settleHorizon(const std::vector<kestrow::UsableRecord>& records)
{
    if (horizonSettled_)
        return;
    horizonSettled_ = true;
    raiseHorizon(kestrow::LargestDuration(records, kestrow::kDefaultHorizon));
}
