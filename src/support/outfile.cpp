#include "support/outfile.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <exception>
#include <filesystem>

namespace vorn {

namespace {

std::string temporary_name(const std::string& path) { return path + ".tmp"; }

// The path as the user should look for it: absolute.
std::string shown(const std::string& path) {
    std::error_code ec;
    const auto p = std::filesystem::absolute(path, ec);
    return ec ? path : p.string();
}

}  // namespace

WriteError::WriteError(const std::string& path, int err)
    : FatalError("Cannot write " + shown(path) + ": " + std::strerror(err) + ". Program aborted") {}

OutFile::~OutFile() {
    // A file left open while a stop unwinds is not complete: a Whole file
    // then never appears under its name.  A destructor cannot report a
    // failure; every writer closes its files itself.
    try {
        finish(std::uncaught_exceptions() == 0);
    } catch (const WriteError&) {
    }
}

bool OutFile::open(const std::string& path, OpenMode mode) {
    close();
    path_ = path;
    whole_ = mode == OpenMode::Whole;
    append_ = mode == OpenMode::Append;
    int flags = O_WRONLY | O_CREAT | O_CLOEXEC;
    if (mode == OpenMode::Append)
        flags |= O_APPEND;
    else if (mode != OpenMode::Keep)  // Keep: no truncation
        flags |= O_TRUNC;
    const std::string name = whole_ ? temporary_name(path) : path;
    do {
        fd_ = ::open(name.c_str(), flags, 0666);
    } while (fd_ < 0 && errno == EINTR);
    if (fd_ < 0) whole_ = false;
    return fd_ >= 0;
}

void OutFile::close() { finish(true); }

void OutFile::fail(long long good, int err) {
    // The records before this commit are complete: the file keeps them.
    if (good >= 0) (void)!::ftruncate(fd_, off_t(good));
    pending_.clear();
    ::close(fd_);
    fd_ = -1;
    if (whole_) {
        std::error_code ec;
        std::filesystem::remove(temporary_name(path_), ec);
        whole_ = false;
    }
    throw WriteError(path_, err);
}

void OutFile::finish(bool keep) {
    if (fd_ >= 0) {
        // Records already made are complete: they are kept, except in a
        // Whole file that is abandoned.
        if (keep || !whole_) flush();
        pending_.clear();
        const int fd = fd_;
        fd_ = -1;
        if (::close(fd) != 0 && errno != EINTR && keep) {
            const int err = errno;
            if (whole_) {
                std::error_code ec;
                std::filesystem::remove(temporary_name(path_), ec);
                whole_ = false;
            }
            throw WriteError(path_, err);
        }
        if (whole_) {
            whole_ = false;
            std::error_code ec;
            if (keep) {
                std::filesystem::rename(temporary_name(path_), path_, ec);
                if (ec) throw WriteError(path_, ec.value());
            } else {
                std::filesystem::remove(temporary_name(path_), ec);
            }
        }
    }
    whole_ = false;
}

void OutFile::flush() {
    if (pending_.empty() || fd_ < 0) return;
    // Where this commit starts: the end of the complete records (in an
    // appended file its end, where the write goes).
    const off_t good = ::lseek(fd_, 0, append_ ? SEEK_END : SEEK_CUR);
    const char* p = pending_.data();
    std::size_t left = pending_.size();
    while (left > 0) {
        const ssize_t n = ::write(fd_, p, left);
        if (n < 0 && errno == EINTR) continue;
        // A write that takes nothing is a full device.
        if (n <= 0) fail(good, n < 0 ? errno : ENOSPC);
        p += n;
        left -= std::size_t(n);
    }
    pending_.clear();
}

void OutFile::add(std::string_view records) {
    if (fd_ < 0) return;  // as a write to a unit that is not open
    pending_ += records;
    if (pending_.size() > kCommitSize) flush();
}

void OutFile::line(std::string_view text) {
    if (fd_ < 0) return;
    pending_ += text;
    add("\n");
}

void OutFile::fmt(const Format& f, std::span<const FItem> items) { add(f.apply(items)); }

void OutFile::fmt(std::string_view spec, std::initializer_list<FItem> items) {
    add(format_records(spec, std::span<const FItem>(items.begin(), items.size())));
}

void OutFile::fmt(std::string_view spec, std::span<const FItem> items) {
    add(format_records(spec, items));
}

void OutFile::free(std::initializer_list<FItem> items) {
    add(list_directed(std::span<const FItem>(items.begin(), items.size())));
}

}  // namespace vorn
