#include "support/outfile.hpp"

#include <exception>
#include <filesystem>

namespace vorn {

namespace {

std::string temporary_name(const std::string& path) { return path + ".tmp"; }

}  // namespace

OutFile::~OutFile() {
    // A file left open while a stop unwinds is not complete: a Whole file
    // then never appears under its name.
    finish(std::uncaught_exceptions() == 0);
}

bool OutFile::open(const std::string& path, OpenMode mode) {
    close();
    path_ = path;
    whole_ = mode == OpenMode::Whole;
    std::ios::openmode om = std::ios::out;
    if (mode == OpenMode::Append) {
        om |= std::ios::app;
    } else if (mode == OpenMode::Keep) {
        std::error_code ec;
        if (std::filesystem::exists(path, ec)) om |= std::ios::in;  // no truncation
    } else {
        om |= std::ios::trunc;
    }
    // Unbuffered: every commit is one write of complete records.
    os_.rdbuf()->pubsetbuf(nullptr, 0);
    os_.open(whole_ ? temporary_name(path) : path, om);
    return os_.is_open();
}

void OutFile::close() { finish(true); }

void OutFile::finish(bool keep) {
    if (os_.is_open()) {
        // Records already made are complete: they are kept, except in a
        // Whole file that is abandoned.
        if (keep || !whole_) flush();
        pending_.clear();
        os_.close();
        if (whole_) {
            std::error_code ec;
            if (keep)
                std::filesystem::rename(temporary_name(path_), path_, ec);
            else
                std::filesystem::remove(temporary_name(path_), ec);
        }
    }
    os_.clear();
    whole_ = false;
}

void OutFile::flush() {
    if (pending_.empty() || !os_.is_open()) return;
    os_.write(pending_.data(), std::streamsize(pending_.size()));
    os_.flush();
    pending_.clear();
}

void OutFile::add(std::string_view records) {
    if (!os_.is_open()) return;  // as a write to a unit that is not open
    pending_ += records;
    if (pending_.size() > kCommitSize) flush();
}

void OutFile::line(std::string_view text) {
    if (!os_.is_open()) return;
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
