#include "support/outfile.hpp"

#include <filesystem>

namespace vorn {

bool OutFile::open(const std::string& path, OpenMode mode) {
    close();
    path_ = path;
    std::ios::openmode om = std::ios::out;
    if (mode == OpenMode::Append) {
        om |= std::ios::app;
    } else if (mode == OpenMode::Keep) {
        std::error_code ec;
        if (std::filesystem::exists(path, ec)) om |= std::ios::in;  // no truncation
    } else {
        om |= std::ios::trunc;
    }
    os_.open(path, om);
    return os_.is_open();
}

void OutFile::close() {
    if (os_.is_open()) os_.close();
    os_.clear();
}

void OutFile::line(std::string_view text) {
    os_ << text << '\n';
}

void OutFile::fmt(const Format& f, std::span<const FItem> items) { os_ << f.apply(items); }

void OutFile::fmt(std::string_view spec, std::initializer_list<FItem> items) {
    os_ << format_records(spec, std::span<const FItem>(items.begin(), items.size()));
}

void OutFile::fmt(std::string_view spec, std::span<const FItem> items) {
    os_ << format_records(spec, items);
}

void OutFile::free(std::initializer_list<FItem> items) {
    os_ << list_directed(std::span<const FItem>(items.begin(), items.size()));
}

}  // namespace vorn
