#include "modmain.h"

namespace modMain {

std::string DataFile;
std::string TempFile;
std::string TodayDate;
std::int16_t TodayMonth = 0;
std::int16_t HorizonMonths = kDefaultHorizon;
std::vector<double> MonthTotals(kDefaultHorizon + 1, 0.0);
std::int32_t DueMonthKey = 0;
std::int32_t EditIndex = 0;
std::int16_t DollarMonths = 0;
double DollarAmount = 0;

namespace {
std::unique_ptr<kestrow::DataStore> store;
}

kestrow::DataStore& Data() { return *store; }

bool HasData() { return store != nullptr && store->isOpen(); }

kestrow::Status OpenData(const std::string& dataFile, const std::string& tempFile)
{
    store.reset();
    store = std::make_unique<kestrow::DataStore>(dataFile, tempFile);
    return store->open();
}

void CloseData()
{
    if (store)
        store->close();
}

void RaiseHorizon(std::int16_t months)
{
    if (months <= HorizonMonths)
        return;
    HorizonMonths = months;
    MonthTotals.resize(std::size_t(HorizonMonths) + 1, 0.0);
}

void ResetForTesting()
{
    store.reset();
    DataFile.clear();
    TempFile.clear();
    TodayDate.clear();
    TodayMonth = 0;
    HorizonMonths = kDefaultHorizon;
    MonthTotals.assign(kDefaultHorizon + 1, 0.0);
    DueMonthKey = 0;
    EditIndex = 0;
    DollarMonths = 0;
    DollarAmount = 0;
}

} // namespace modMain
