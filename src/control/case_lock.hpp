// One run per case at a time: a run holds an exclusive lock (flock) on the
// file ".vorn-lock" of the case's output directory, which names its process
// id.  The system releases the lock when the process ends, however it ends;
// a run that ends normally also empties the file, so a lock file that still
// names a process when its lock is free was left by a run that died.
#pragma once

#include <string>

namespace vorn {

class CaseLock {
public:
    CaseLock() = default;
    ~CaseLock() { release(); }
    CaseLock(const CaseLock&) = delete;
    CaseLock& operator=(const CaseLock&) = delete;

    enum class Result { Taken, TakenOver, Held, Failed };
    // Takes the lock of `dir` (ending with '/').  Held: another process has
    // it, `holder` its process id as the file names it; TakenOver: the file
    // named a process that is gone (`holder`); Failed: the file cannot be
    // made (errno in `holder`).
    Result take(const std::string& dir, std::string& holder);
    // Empties the file and lets the lock go.
    void release();
    const std::string& path() const { return path_; }

private:
    int fd_ = -1;
    std::string path_;
};

}  // namespace vorn
