// The edit-descriptor writer on arbitrary formats and values.  Byte 0 gives
// the number of items (0..15); each item is a kind byte (integer, real,
// text) followed by 8 bytes of value (integer, real) or by a length byte and
// that many bytes (text).  The remaining bytes are the format.  A
// FormatError is the writer's answer to a malformed format or an item that
// does not match its descriptor; anything else is a fault.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "support/fmtwrite.hpp"

namespace {

struct Cursor {
    const std::uint8_t* p;
    std::size_t n;
    bool take(void* out, std::size_t k) {
        if (n < k) return false;
        std::memcpy(out, p, k);
        p += k;
        n -= k;
        return true;
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Cursor c{data, size};
    std::uint8_t count = 0;
    if (!c.take(&count, 1)) return 0;
    std::deque<std::string> texts;  // stable storage for the text items
    std::vector<vorn::FItem> items;
    for (int k = 0; k < count % 16; ++k) {
        std::uint8_t kind = 0;
        if (!c.take(&kind, 1)) return 0;
        if (kind % 3 == 0) {
            std::int64_t v = 0;
            if (!c.take(&v, sizeof v)) return 0;
            items.emplace_back(static_cast<long long>(v));
        } else if (kind % 3 == 1) {
            double v = 0;
            if (!c.take(&v, sizeof v)) return 0;
            items.emplace_back(v);
        } else {
            std::uint8_t len = 0;
            if (!c.take(&len, 1)) return 0;
            std::string s(len % 64, ' ');
            if (!c.take(s.data(), s.size())) return 0;
            texts.push_back(std::move(s));
            items.emplace_back(std::string_view(texts.back()));
        }
    }
    const std::string spec(reinterpret_cast<const char*>(c.p), c.n);

    try {
        const vorn::Format f(spec);
        const std::string out = f.apply(items);
        if (out.empty() || out.back() != '\n') __builtin_trap();  // records end in a newline
    } catch (const vorn::FormatError&) {
    }

    // The single-field writers with small widths: exactly w characters.
    const int w = static_cast<int>(count) % 40, d = static_cast<int>(count) / 40;
    auto field = [w](auto make) {
        try {
            if (make().size() != static_cast<std::size_t>(w)) __builtin_trap();
        } catch (const vorn::FormatError&) {
        }
    };
    for (const vorn::FItem& it : items) {
        if (it.kind == vorn::FItem::Kind::Int) {
            if (w > 0) field([&] { return vorn::edit_i(it.i, w); });
        } else if (it.kind == vorn::FItem::Kind::Real) {
            field([&] { return vorn::edit_f(it.r, w, d); });
            field([&] { return vorn::edit_e(it.r, w, d); });
            field([&] { return vorn::edit_es(it.r, w, d); });
        } else {
            field([&] { return vorn::edit_a(it.s, w); });
        }
    }
    vorn::list_directed(items);
    return 0;
}
