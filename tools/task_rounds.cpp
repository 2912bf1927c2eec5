#include "tools/task_rounds.h"

TaskRounds::TaskRounds(unsigned threads) {
    for (unsigned t = 1; t < threads; ++t)
        workers.emplace_back([this] { work(); });
}

TaskRounds::~TaskRounds() {
    {
        std::lock_guard lock(mutex);
        stopping = true;
    }
    started.notify_all();
    for (std::thread& w : workers)
        w.join();
}

void TaskRounds::takeTasks(std::unique_lock<std::mutex>& lock) {
    while (nextTask < round.size()) {
        const Task& task = round[nextTask++];
        lock.unlock();
        std::exception_ptr thrown;
        try {
            task();
        } catch (...) {
            thrown = std::current_exception();
        }
        lock.lock();
        if (thrown && !failure) failure = thrown;
        if (++tasksDone == round.size()) finished.notify_all();
    }
}

void TaskRounds::work() {
    std::unique_lock lock(mutex);
    std::size_t seen = roundNumber;
    for (;;) {
        started.wait(lock, [&] { return stopping || roundNumber != seen; });
        if (stopping) return;
        seen = roundNumber;
        takeTasks(lock);
    }
}

void TaskRounds::run(const Task& first, std::span<const Task> tasks) {
    std::unique_lock lock(mutex);
    round = tasks;
    nextTask = 0;
    tasksDone = 0;
    failure = nullptr;
    ++roundNumber;
    lock.unlock();
    if (!workers.empty() && !tasks.empty()) started.notify_all();
    std::exception_ptr thrown;
    try {
        if (first) first();
    } catch (...) {
        thrown = std::current_exception();
    }
    lock.lock();
    takeTasks(lock);
    finished.wait(lock, [&] { return tasksDone == round.size(); });
    round = {};
    if (!thrown) thrown = failure;
    lock.unlock();
    if (thrown) std::rethrow_exception(thrown);
}
