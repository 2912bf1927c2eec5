#pragma once
// Runs one round of tasks at a time on a few threads: the caller and up to `threads - 1`
// workers it keeps for its lifetime. Each task of a round runs on exactly one thread, and the
// round ends when all have; what a task did is then visible to the caller, and to whichever
// thread runs a task in a later round.

#include <condition_variable>
#include <cstddef>
#include <exception>
#include <functional>
#include <mutex>
#include <span>
#include <thread>
#include <vector>

class TaskRounds {
public:
    using Task = std::function<void()>;

    // One thread (`threads` 0 or 1) runs every round on the caller, in order.
    explicit TaskRounds(unsigned threads);
    ~TaskRounds();
    TaskRounds(const TaskRounds&) = delete;
    TaskRounds& operator=(const TaskRounds&) = delete;

    unsigned threads() const { return static_cast<unsigned>(workers.size()) + 1; }

    // Runs `first` on the caller while the workers start on `tasks`, then helps with those
    // left. Tasks are taken in their order: put the longest first. The first exception a task
    // or `first` throws is thrown here once the round is over.
    void run(const Task& first, std::span<const Task> tasks);

private:
    void work();
    // Runs tasks of the current round until none is left to take; the lock is held between.
    void takeTasks(std::unique_lock<std::mutex>& lock);

    std::vector<std::thread> workers;
    std::mutex mutex;
    std::condition_variable started;  // a round begins, or the workers are to stop
    std::condition_variable finished; // the last task of a round is done
    std::span<const Task> round;
    std::size_t nextTask = 0;
    std::size_t tasksDone = 0;
    std::size_t roundNumber = 0;
    std::exception_ptr failure;
    bool stopping = false;
};
