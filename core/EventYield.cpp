#include "core/EventYield.h"

#include <QCoreApplication>

#include <chrono>
#include <future>

namespace {
int yieldDepth = 0;
qint64 yieldIntervalMs = 15;
} // namespace

void LetWindowEventsRun()
{
    ++yieldDepth;
    QCoreApplication::processEvents();
    --yieldDepth;
}

void RunLettingWindowEventsRun(const std::function<void()>& work)
{
    std::future<void> done = std::async(std::launch::async, work);
    while (done.wait_for(std::chrono::milliseconds(10)) != std::future_status::ready)
        LetWindowEventsRun();
    done.get();
}

bool IsInsideCommandYield() { return yieldDepth > 0; }

ThrottledYield::ThrottledYield() { sinceYield_.start(); }

bool ThrottledYield::Poll()
{
    if (sinceYield_.elapsed() < yieldIntervalMs)
        return false;
    LetWindowEventsRun();
    sinceYield_.restart();
    return true;
}

void ThrottledYield::SetInterval(qint64 milliseconds) { yieldIntervalMs = milliseconds; }

qint64 ThrottledYield::Interval() { return yieldIntervalMs; }
