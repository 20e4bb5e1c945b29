// A text output file (the "unit" of the program's files): opened by the part
// that writes it, closed when that part is done.
//
// Records reach the file whole: they are collected in memory and handed to
// the system in one write per commit, so a process killed at any moment
// leaves the file ending in a complete line.  A commit happens on flush(),
// on close(), and when the collected records exceed kCommitSize.  A file
// opened with OpenMode::Whole is written under a temporary name (the path
// followed by ".tmp") and renamed into place when it is closed, so that it
// exists either complete or not at all.
//
// Every commit, close and rename is checked: a failure (a full disk, a file
// size limit, an I/O error) cuts the file back to the end of its last
// complete record and throws WriteError, which names the file and the
// system's reason.
#pragma once

#include <cstddef>
#include <fstream>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>

#include "support/fmtwrite.hpp"
#include "support/stop.hpp"

namespace vorn {

// A write, flush, close or rename of an output file failed.
class WriteError : public FatalError {
public:
    WriteError(const std::string& path, int err);
};

enum class OpenMode {
    Replace,  // created, or emptied when it exists
    Append,   // created when absent, written at its end
    Keep,     // created when absent, existing content left as it is
    Whole     // like Replace, but appears under its name only when complete
};

class OutFile {
public:
    // Collected records beyond this many bytes are committed at once.
    static constexpr std::size_t kCommitSize = 64 * 1024;

    OutFile() = default;
    ~OutFile();
    OutFile(const OutFile&) = delete;
    OutFile& operator=(const OutFile&) = delete;

    // False when the file cannot be opened (missing directory, no access).
    bool open(const std::string& path, OpenMode mode);
    // Commits the records; a Whole file is renamed into place.
    void close();
    bool is_open() const { return fd_ >= 0; }
    const std::string& path() const { return path_; }

    // One record of plain text.
    void line(std::string_view text);
    // One formatted WRITE (one or more records).
    void fmt(const Format& f, std::span<const FItem> items);
    void fmt(std::string_view spec, std::initializer_list<FItem> items);
    void fmt(std::string_view spec, std::span<const FItem> items);
    // One list-directed WRITE(u,*).
    void free(std::initializer_list<FItem> items);
    // Hands the collected records to the system.
    void flush();

private:
    void add(std::string_view records);
    // Closes the file; a Whole file is renamed into place (keep) or its
    // temporary removed.
    void finish(bool keep);
    // After a failed system call (errno err): the file back to `good`
    // bytes, closed (a Whole file's temporary removed), and WriteError.
    [[noreturn]] void fail(long long good, int err);

    int fd_ = -1;
    bool append_ = false;
    std::string path_;
    std::string pending_;  // complete records not yet committed
    bool whole_ = false;
};

}  // namespace vorn
