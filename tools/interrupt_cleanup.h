#pragma once
// Outputs under way when trob is interrupted. A run stopped with Ctrl+C (SIGINT), SIGTERM or
// SIGHUP removes the temporary files and folders its outputs were being written into, then
// ends as that signal would have ended it, so an interrupted run leaves nothing behind, as a
// failed one does.

#include <string>

namespace trob {

// Takes the three signals for the whole process: they are blocked in every thread and waited
// for by one of their own. Call first in main, before any other thread starts.
void removeTemporariesOnInterrupt();

// Held while a temporary is made and remembered, so that an interruption finds both done or
// neither.
class MakingTemporary {
public:
    MakingTemporary();
    ~MakingTemporary();
    MakingTemporary(const MakingTemporary&) = delete;
    MakingTemporary& operator=(const MakingTemporary&) = delete;
};

// A file or folder (with what it holds) to remove if the run is interrupted before `forget`.
void rememberTemporary(const std::string& path);
void forgetTemporary(const std::string& path);

} // namespace trob
