// A text output file (the "unit" of the program's files): opened by the part
// that writes it, closed when that part is done.
#pragma once

#include <fstream>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>

#include "support/fmtwrite.hpp"

namespace vorn {

enum class OpenMode {
    Replace,  // created, or emptied when it exists
    Append,   // created when absent, written at its end
    Keep      // created when absent, existing content left as it is
};

class OutFile {
public:
    OutFile() = default;
    OutFile(const OutFile&) = delete;
    OutFile& operator=(const OutFile&) = delete;

    // False when the file cannot be opened (missing directory, no access).
    bool open(const std::string& path, OpenMode mode);
    void close();
    bool is_open() const { return os_.is_open(); }
    const std::string& path() const { return path_; }

    // One record of plain text.
    void line(std::string_view text);
    // One formatted WRITE (one or more records).
    void fmt(const Format& f, std::span<const FItem> items);
    void fmt(std::string_view spec, std::initializer_list<FItem> items);
    void fmt(std::string_view spec, std::span<const FItem> items);
    // One list-directed WRITE(u,*).
    void free(std::initializer_list<FItem> items);
    void flush() { os_.flush(); }

private:
    std::ofstream os_;
    std::string path_;
};

}  // namespace vorn
