#include "control/case_lock.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace vorn {

namespace {

// The process id the lock file names ("" when empty).
std::string read_holder(int fd) {
    char buf[32] = {};
    const ssize_t n = ::pread(fd, buf, sizeof buf - 1, 0);
    std::string s = n > 0 ? std::string(buf, std::size_t(n)) : std::string();
    while (!s.empty() && (s.back() == '\n' || s.back() == ' ')) s.pop_back();
    return s;
}

}  // namespace

CaseLock::Result CaseLock::take(const std::string& dir, std::string& holder) {
    release();
    path_ = dir + ".vorn-lock";
    const int fd = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        holder = std::strerror(errno);
        return Result::Failed;
    }
    holder = read_holder(fd);
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return Result::Held;
    }
    fd_ = fd;
    const std::string pid = std::to_string(::getpid()) + "\n";
    const bool stale = !holder.empty();
    if (::ftruncate(fd_, 0) != 0 || ::pwrite(fd_, pid.data(), pid.size(), 0) < 0) {
        // The lock itself holds; only the name of its holder is missing.
    }
    return stale ? Result::TakenOver : Result::Taken;
}

void CaseLock::release() {
    if (fd_ < 0) return;
    (void)!::ftruncate(fd_, 0);
    ::close(fd_);  // lets the lock go
    fd_ = -1;
}

}  // namespace vorn
