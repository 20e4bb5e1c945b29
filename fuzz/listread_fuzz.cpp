// The list-directed reader on arbitrary text.  The first bytes choose the
// reads: byte 0 gives the number of reads (1..8); each read then has one
// byte with its number of values (0..9; 0 is a read that skips a line) and
// one byte per value for its kind (integer, real or text).  The remaining
// bytes are the file.  A ReadError is the reader's answer to bad text;
// anything else (a crash, a sanitizer report, a hang) is a fault.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "support/listread.hpp"

namespace {

struct Cursor {
    const std::uint8_t* p;
    std::size_t n;
    bool take(std::uint8_t& b) {
        if (n == 0) return false;
        b = *p++;
        --n;
        return true;
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Cursor c{data, size};
    std::uint8_t b = 0;
    if (!c.take(b)) return 0;
    const int reads = 1 + b % 8;
    std::vector<std::vector<int>> kinds(static_cast<std::size_t>(reads));
    for (auto& k : kinds) {
        if (!c.take(b)) return 0;
        const int n = b % 10;
        for (int j = 0; j < n; ++j) {
            if (!c.take(b)) return 0;
            k.push_back(b % 3);
        }
    }
    const std::string text(reinterpret_cast<const char*>(c.p), c.n);

    vorn::ListReader r = vorn::ListReader::from_text(text, "fuzz.txt");
    for (const auto& k : kinds) {
        std::vector<int> ints(k.size(), -7);
        std::vector<double> reals(k.size(), -7.0);
        std::vector<std::string> texts(k.size(), "unchanged");
        std::vector<vorn::RItem> items;
        for (std::size_t j = 0; j < k.size(); ++j) {
            const std::string name = "v" + std::to_string(j + 1);
            if (k[j] == 0) items.emplace_back(name, &ints[j]);
            else if (k[j] == 1) items.emplace_back(name, &reals[j]);
            else items.emplace_back(name, &texts[j]);
        }
        const int line_before = r.next_line();
        try {
            r.read(items);
        } catch (const vorn::ReadError&) {
            // A failed read leaves every target as it was and does not move on.
            for (std::size_t j = 0; j < k.size(); ++j)
                if (ints[j] != -7 || !(reals[j] == -7.0) || texts[j] != "unchanged")
                    __builtin_trap();
            if (r.next_line() != line_before) __builtin_trap();
            break;
        }
        if (r.next_line() <= line_before) __builtin_trap();  // a read uses at least one line
    }

    // The console reader on the same text, answer by answer.
    std::istringstream in(text);
    std::string answer;
    try {
        for (int i = 0; i < 64 && vorn::read_console_item(in, answer);) ++i;
    } catch (const vorn::ReadError&) {
    }
    return 0;
}
