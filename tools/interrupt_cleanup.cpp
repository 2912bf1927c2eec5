#include "tools/interrupt_cleanup.h"

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <mutex>
#include <pthread.h>
#include <thread>
#include <vector>

namespace trob {

namespace {

std::recursive_mutex& lock() {
    static std::recursive_mutex m;
    return m;
}

std::vector<std::string>& temporaries() {
    static std::vector<std::string> paths;
    return paths;
}

sigset_t interruptions() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);
    return set;
}

} // namespace

void removeTemporariesOnInterrupt() {
    const sigset_t set = interruptions();
    if (pthread_sigmask(SIG_BLOCK, &set, nullptr) != 0) return;
    std::thread([set] {
        int signal = 0;
        if (sigwait(&set, &signal) != 0) return;
        // Held to the end: no output is made or committed meanwhile.
        lock().lock();
        std::error_code ignored;
        // The run goes on meanwhile and may put another file into a folder being removed:
        // such a folder is removed again.
        for (const std::string& path : temporaries())
            for (int attempt = 0; attempt < 100 && std::filesystem::exists(path, ignored);
                 ++attempt)
                std::filesystem::remove_all(path, ignored);
        // Ends the process as the signal's default action does, with its status.
        std::signal(signal, SIG_DFL);
        sigset_t just;
        sigemptyset(&just);
        sigaddset(&just, signal);
        pthread_sigmask(SIG_UNBLOCK, &just, nullptr);
        raise(signal);
    }).detach();
}

MakingTemporary::MakingTemporary() {
    lock().lock();
}

MakingTemporary::~MakingTemporary() {
    lock().unlock();
}

void rememberTemporary(const std::string& path) {
    const std::lock_guard<std::recursive_mutex> hold(lock());
    temporaries().push_back(path);
}

void forgetTemporary(const std::string& path) {
    const std::lock_guard<std::recursive_mutex> hold(lock());
    auto& paths = temporaries();
    if (const auto it = std::find(paths.begin(), paths.end(), path); it != paths.end())
        paths.erase(it);
}

} // namespace trob
