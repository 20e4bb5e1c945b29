#include "support/fmtwrite.hpp"

#include <algorithm>
#include <array>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

namespace vorn {

namespace fmt_detail {

// One compiled format item.  Groups are flattened into GroupBegin/GroupEnd
// pairs, so apply() walks a vector with a small stack of repeat counters
// instead of recursing through a tree.
enum class Code : std::uint8_t {
    Int,       // Iw, Iw.m
    Fixed,     // Fw.d
    Exp,       // Ew.d, Ew.dEe
    Sci,       // ESw.d, ESw.dEe
    Text,      // A, Aw
    Skip,      // nX
    Slash,     // /
    Literal,   // '...' or "..."
    Colon,     // :
    GroupBegin,
    GroupEnd,
};

struct Op {
    Code code;
    int rep = 1;   // repeat count: data descriptors, '/', groups
    int w = 0;     // field width (Text: -1 = the item's own length; Skip: blanks)
    int d = 0;     // digits after the point (Fixed, Exp, Sci); Int: minimum digits, -1 = none
    int e = 0;     // exponent digits (Exp, Sci); 0: default form; -1: E0, minimal digits
    int off = 0;   // Literal: offset in the pool
    int len = 0;   // Literal: length in the pool
};

constexpr int kMaxDepth = 32;  // nesting of parenthesised groups
// Work of one pass through a format, repeat counts multiplied out: steps of
// the writer plus characters written without an item (literals, X, /).  A
// pass that takes no item must end in bounded time and memory; real formats
// stay below a thousand.
constexpr double kMaxPass = 1e6;

constexpr bool is_data(Code c) { return c <= Code::Text; }

}  // namespace fmt_detail

using namespace fmt_detail;

struct Format::Node {
    std::vector<Op> ops;
    std::string pool;          // literal texts, quotes already undoubled
    std::size_t revert = 0;    // index where the format resumes when items outlast it
    bool revert_has_data = false;
    std::size_t item_width = 8;  // rough characters per item, to size the output once
};

namespace {

[[noreturn]] void fail(std::string_view text, const std::string& what) {
    throw FormatError("format \"" + std::string(text) + "\": " + what);
}

const char* kind_name(FItem::Kind k) {
    switch (k) {
        case FItem::Kind::Int: return "an integer";
        case FItem::Kind::Real: return "a real";
        case FItem::Kind::Text: return "a text";
    }
    return "?";
}

// ---------------------------------------------------------------------------
// Parsing.  Blanks outside literals carry no meaning and letters are
// case-insensitive, so the format text is first reduced to a compact upper-case
// copy; literals are copied through verbatim, quotes included.

class Parser {
public:
    Parser(std::string_view text, Format::Node& node) : text_(text), n_(node) {
        s_.reserve(text.size());
        for (std::size_t i = 0; i < text.size(); ++i) {
            const char c = text[i];
            if (c == '\'' || c == '"') {
                std::size_t j = i + 1;
                for (;; ++j) {
                    if (j >= text.size()) fail(text_, "unterminated literal");
                    if (text[j] == c) {
                        if (j + 1 < text.size() && text[j + 1] == c) {
                            ++j;  // doubled quote inside the literal
                            continue;
                        }
                        break;
                    }
                }
                s_.append(text.substr(i, j - i + 1));
                i = j;
            } else if (c != ' ' && c != '\t') {
                s_ += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
            }
        }
    }

    void run() {
        expect('(');
        if (peek() != ')') list(0);
        expect(')');
        if (p_ != s_.size()) bad("text after the closing parenthesis");
        std::size_t width = 0, ndata = 0;
        for (std::size_t k = 0; k < n_.ops.size(); ++k) {
            const Op& op = n_.ops[k];
            if (fmt_detail::is_data(op.code)) {
                ++ndata;
                width += static_cast<std::size_t>(op.w > 0 ? op.w : 8);
                if (k >= n_.revert) n_.revert_has_data = true;
            }
        }
        if (ndata > 0) n_.item_width = width / ndata + 1;
        if (pass_cost() > fmt_detail::kMaxPass)
            fail(text_, "repeat counts expand one pass beyond 1000000 fields and characters");
    }

private:
    // Steps of apply() plus characters written without items in one pass
    // through the whole format (in double: 32 nested counts of 10^6 do not
    // overflow it).
    double pass_cost() const {
        struct Level {
            double rep, cost;
        };
        std::vector<Level> levels{{1, 0}};
        for (const Op& op : n_.ops) {
            switch (op.code) {
                case Code::GroupBegin: levels.push_back({double(op.rep), 0}); break;
                case Code::GroupEnd: {
                    const Level g = levels.back();
                    levels.pop_back();
                    levels.back().cost += 1 + g.rep * (g.cost + 1);
                    break;
                }
                case Code::Skip: levels.back().cost += 1 + op.w; break;
                case Code::Slash: levels.back().cost += 1 + op.rep; break;
                case Code::Literal: levels.back().cost += 1 + op.len; break;
                case Code::Colon: levels.back().cost += 1; break;
                default: levels.back().cost += op.rep; break;  // data: one step per item
            }
        }
        return levels.front().cost;
    }

    char peek() const { return p_ < s_.size() ? s_[p_] : '\0'; }

    [[noreturn]] void bad(const std::string& what) const {
        fail(text_, what + " at '" + s_.substr(std::min(p_, s_.size()), 12) + "'");
    }

    void expect(char c) {
        if (peek() != c) bad(std::string("expected '") + c + "'");
        ++p_;
    }

    // Unsigned decimal number, or -1 when there are no digits here.
    int number() {
        if (peek() < '0' || peek() > '9') return -1;
        long v = 0;
        while (peek() >= '0' && peek() <= '9') {
            v = v * 10 + (s_[p_++] - '0');
            if (v > 1000000) bad("number too large");
        }
        return static_cast<int>(v);
    }

    int required_number(const char* what) {
        const int v = number();
        if (v < 0) bad(std::string("missing ") + what);
        return v;
    }

    void list(int depth) {
        for (;;) {
            item(depth);
            const char c = peek();
            if (c == ')') return;
            if (c == '\0') bad("missing ')'");
            if (c == ',') {
                ++p_;
                if (peek() == ')' || peek() == ',') bad("empty item");
            }
        }
    }

    void item(int depth) {
        Op op{};
        const char c0 = peek();
        if (c0 == '\'' || c0 == '"') {
            literal(c0);
            return;
        }
        if (c0 == ':') {
            ++p_;
            op.code = Code::Colon;
            n_.ops.push_back(op);
            return;
        }
        const int r = number();
        if (r == 0) bad("repeat count of zero");
        op.rep = r > 0 ? r : 1;
        const char c = peek();
        ++p_;
        switch (c) {
            case '(': {
                if (depth + 1 >= fmt_detail::kMaxDepth) bad("groups nested too deeply");
                const std::size_t begin = n_.ops.size();
                op.code = Code::GroupBegin;
                n_.ops.push_back(op);
                if (peek() == ')') bad("empty group");
                list(depth + 1);
                expect(')');
                Op end{};
                end.code = Code::GroupEnd;
                n_.ops.push_back(end);
                // Reversion resumes at the last group of the outermost list.
                if (depth == 0) n_.revert = begin;
                return;
            }
            case '/':
                op.code = Code::Slash;
                break;
            case 'X':
                op.code = Code::Skip;
                op.w = op.rep;
                op.rep = 1;
                break;
            case 'I':
                op.code = Code::Int;
                op.w = required_number("width");
                op.d = -1;
                if (peek() == '.') {
                    ++p_;
                    op.d = required_number("minimum digits");
                    if (op.w > 0 && op.d > op.w) bad("minimum digits exceed the width");
                }
                break;
            case 'F':
            case 'E':
                op.code = c == 'F' ? Code::Fixed : Code::Exp;
                if (c == 'E' && peek() == 'S') {
                    ++p_;
                    op.code = Code::Sci;
                }
                op.w = required_number("width");
                if (op.w == 0) bad("zero width");
                expect('.');
                op.d = required_number("digits");
                if (op.code == Code::Exp && op.d == 0) bad("E needs at least one digit");
                if (op.code != Code::Fixed && peek() == 'E') {
                    ++p_;
                    op.e = required_number("exponent digits");
                    if (op.e == 0) op.e = -1;  // E0: minimal exponent digits
                }
                break;
            case 'A':
                op.code = Code::Text;
                op.w = number();
                if (op.w == 0) bad("zero width");
                break;
            default:
                --p_;
                bad("unsupported edit descriptor");
        }
        n_.ops.push_back(op);
    }

    void literal(char q) {
        ++p_;
        Op op{};
        op.code = Code::Literal;
        op.off = static_cast<int>(n_.pool.size());
        for (;;) {
            const char c = s_[p_++];  // terminated: checked while compacting
            if (c == q) {
                if (peek() != q) break;
                ++p_;
            }
            n_.pool += c;
        }
        op.len = static_cast<int>(n_.pool.size()) - op.off;
        n_.ops.push_back(op);
    }

    std::string_view text_;
    std::string s_;
    std::size_t p_ = 0;
    Format::Node& n_;
};

void put_item(std::string& out, const Op& op, const FItem& it, std::string_view text,
              std::size_t index) {
    const auto mismatch = [&](const char* desc, const char* wants) {
        fail(text, std::string(desc) + " needs " + wants + ", item " + std::to_string(index + 1) +
                       " is " + kind_name(it.kind));
    };
    switch (op.code) {
        case Code::Int:
            if (it.kind != FItem::Kind::Int) mismatch("I", "an integer");
            return put_int(out, it.i, op.w, op.d);
        case Code::Fixed:
            if (it.kind != FItem::Kind::Real) mismatch("F", "a real");
            return put_fixed(out, it.r, op.w, op.d);
        case Code::Exp:
        case Code::Sci:
            if (it.kind != FItem::Kind::Real) mismatch(op.code == Code::Exp ? "E" : "ES", "a real");
            return put_exp(out, it.r, op.w, op.d, op.e, op.code == Code::Sci);
        case Code::Text:
            if (it.kind != FItem::Kind::Text) mismatch("A", "a text");
            return put_text(out, it.s, op.w);
        default:
            return;
    }
}

// Formats named by their text are parsed once per thread and kept.
const Format& cached_format(std::string_view text) {
    struct Hash {
        using is_transparent = void;
        std::size_t operator()(std::string_view s) const {
            return std::hash<std::string_view>{}(s);
        }
    };
    thread_local std::unordered_map<std::string, Format, Hash, std::equal_to<>> cache;
    if (auto it = cache.find(text); it != cache.end()) return it->second;
    Format f(text);
    if (cache.size() >= 256) cache.clear();  // callers use a handful of formats
    return cache.emplace(std::string(text), std::move(f)).first->second;
}

}  // namespace

// ---------------------------------------------------------------------------

Format::Format(std::string_view text) : spec_(text) {
    auto node = std::make_shared<Node>();
    Parser(text, *node).run();
    root_ = std::move(node);
}

Format::~Format() = default;
Format::Format(const Format&) = default;
Format& Format::operator=(const Format&) = default;
Format::Format(Format&&) noexcept = default;
Format& Format::operator=(Format&&) noexcept = default;

std::string Format::apply(std::span<const FItem> items) const {
    const Node& n = *root_;
    const std::vector<Op>& ops = n.ops;
    std::string out;
    out.reserve(items.size() * n.item_width + 16);

    struct Frame {
        std::size_t begin;
        int left;
    };
    std::array<Frame, fmt_detail::kMaxDepth> stack;
    int depth = 0;
    std::size_t next = 0;  // index of the next item
    // Blanks of X descriptors not yet written: they only appear when
    // something follows them in the same record (gfortran drops them at
    // the end of a record).
    std::size_t pending = 0;
    std::size_t pc = 0;

    for (;;) {
        if (pc == ops.size()) {
            if (next == items.size()) break;
            if (!n.revert_has_data) fail(spec_, "items left but no data edit descriptor to take them");
            out += '\n';
            pending = 0;
            pc = n.revert;
            continue;
        }
        const Op& op = ops[pc];
        switch (op.code) {
            case Code::GroupBegin:
                stack[static_cast<std::size_t>(depth++)] = {pc, op.rep};
                ++pc;
                break;
            case Code::GroupEnd: {
                Frame& f = stack[static_cast<std::size_t>(depth - 1)];
                if (--f.left > 0) {
                    pc = f.begin + 1;
                } else {
                    --depth;
                    ++pc;
                }
                break;
            }
            case Code::Skip:
                pending += static_cast<std::size_t>(op.w);
                ++pc;
                break;
            case Code::Slash:
                out.append(static_cast<std::size_t>(op.rep), '\n');
                pending = 0;
                ++pc;
                break;
            case Code::Literal:
                out.append(pending, ' ');
                pending = 0;
                out.append(n.pool, static_cast<std::size_t>(op.off),
                           static_cast<std::size_t>(op.len));
                ++pc;
                break;
            case Code::Colon:
                if (next == items.size()) goto done;
                ++pc;
                break;
            default:  // data edit descriptors
                for (int k = 0; k < op.rep; ++k) {
                    if (next == items.size()) goto done;  // stop at the first one without an item
                    out.append(pending, ' ');
                    pending = 0;
                    put_item(out, op, items[next], spec_, next);
                    ++next;
                }
                ++pc;
                break;
        }
    }
done:
    out += '\n';
    return out;
}

std::string format_records(const Format& f, std::span<const FItem> items) { return f.apply(items); }

std::string format_records(std::string_view text, std::initializer_list<FItem> items) {
    return cached_format(text).apply(std::span<const FItem>(items.begin(), items.size()));
}

std::string format_records(std::string_view text, std::span<const FItem> items) {
    return cached_format(text).apply(items);
}

void write_fmt(std::ostream& os, const Format& f, std::span<const FItem> items) {
    os << f.apply(items);
}

void write_fmt(std::ostream& os, std::string_view text, std::initializer_list<FItem> items) {
    os << format_records(text, items);
}

void write_fmt(std::ostream& os, std::string_view text, std::span<const FItem> items) {
    os << format_records(text, items);
}

}  // namespace vorn
