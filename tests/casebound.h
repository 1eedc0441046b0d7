#pragma once
// A bound on one test case: when the case has not finished in time, the run ends with the
// case's name, so that a hang fails loudly rather than waiting for the test runner.

#include <QByteArray>
#include <QtGlobal>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace casebound {

class CaseBound
{
public:
    CaseBound(QByteArray name, std::chrono::seconds limit) : name_(std::move(name))
    {
        thread_ = std::thread([this, limit] {
            std::unique_lock lock(mutex_);
            if (!finished_.wait_for(lock, limit, [this] { return done_; }))
                qFatal("case \"%s\" did not finish in %lld s", name_.constData(),
                       static_cast<long long>(limit.count()));
        });
    }
    ~CaseBound()
    {
        {
            std::lock_guard lock(mutex_);
            done_ = true;
        }
        finished_.notify_one();
        thread_.join();
    }
    CaseBound(const CaseBound&) = delete;
    CaseBound& operator=(const CaseBound&) = delete;

private:
    QByteArray name_;
    std::mutex mutex_;
    std::condition_variable finished_;
    bool done_ = false;
    std::thread thread_;
};

} // namespace casebound
