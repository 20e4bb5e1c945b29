#include "control/checkpoint.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "control/control.hpp"
#include "control/messages.hpp"
#include "control/step_checks.hpp"
#include "support/outfile.hpp"

namespace vorn {

namespace fs = std::filesystem;

namespace {

constexpr char kMagic[8] = {'V', 'O', 'R', 'N', 'C', 'K', 'P', 'T'};
// Raised whenever the layout of the state changes.
constexpr std::uint32_t kFormat = 2;

double wall_now() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

std::string checkpoint_path(const Model& m) { return m.output_dir + kCheckpointFile; }

// Result files: what the program writes into output/ and RunNN/ (and the
// temporary names of files written whole).
bool is_result_file(const std::string& name) {
    auto ends = [&](const std::string& e) {
        return name.size() > e.size() && name.compare(name.size() - e.size(), e.size(), e) == 0;
    };
    return ends(".dat") || ends(".dat.tmp");
}

// The directories with result files, relative to the case directory:
// output/ and every RunNN/.
std::vector<std::string> result_dirs(const Model& m) {
    std::vector<std::string> dirs{"output/"};
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(m.case_dir, ec)) {
        const std::string n = e.path().filename().string();
        if (is_run_dir_name(n) && e.is_directory(ec)) dirs.push_back(n + "/");
    }
    std::sort(dirs.begin() + 1, dirs.end());
    return dirs;
}

// The result files of a directory of the case, by name.
std::vector<std::string> result_files(const Model& m, const std::string& dir) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(m.case_dir + "/" + dir, ec)) {
        const std::string n = e.path().filename().string();
        if (is_result_file(n) && e.is_regular_file(ec)) names.push_back(n);
    }
    std::sort(names.begin(), names.end());
    return names;
}

// The length of every result file, into the header of a checkpoint.
void measure_files(const Model& m, ResumePoint& h) {
    h.dirs = result_dirs(m);
    std::error_code ec;
    for (const std::string& d : h.dirs)
        for (const std::string& n : result_files(m, d)) {
            const auto size = fs::file_size(m.case_dir + "/" + d + n, ec);
            if (ec) continue;
            h.files.push_back(d + n);
            h.sizes.push_back(size);
        }
}

// Header and file lengths, in the order of the file; the model's state
// follows.
void meta_io(StateArchive& ar, ResumePoint& h) {
    ar(h.format);
    if (ar.loading() && h.format != kFormat) throw ArchiveError("another checkpoint format");
    ar(h.version, h.digest, h.run, h.iter, h.nts, h.nb, h.ns, h.time, h.cpu);
    ar(h.dirs, h.files, h.sizes);
    if (h.files.size() != h.sizes.size()) throw ArchiveError("file lengths do not match");
}

[[noreturn]] void fail_write(const std::string& tmp, const std::string& path, int err) {
    ::unlink(tmp.c_str());
    throw WriteError(path, err);
}

// The bytes under a temporary name, flushed to the disk, then renamed into
// place and the directory flushed: the file is the old one or the new one,
// complete.
void write_atomically(const std::string& path, const std::string& bytes) {
    const std::string tmp = path + ".tmp";
    const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) throw WriteError(path, errno);
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            const int err = n < 0 ? errno : EIO;
            ::close(fd);
            fail_write(tmp, path, err);
        }
        done += std::size_t(n);
    }
    if (::fsync(fd) != 0) {
        const int err = errno;
        ::close(fd);
        fail_write(tmp, path, err);
    }
    if (::close(fd) != 0) fail_write(tmp, path, errno);
    if (::rename(tmp.c_str(), path.c_str()) != 0) fail_write(tmp, path, errno);
    const std::string dir = fs::path(path).parent_path().string();
    const int dfd = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        (void)::fsync(dfd);  // the rename itself; nothing is lost when it fails
        ::close(dfd);
    }
}

void write_checkpoint(Model& m) {
    // Everything written so far reaches the files before their lengths are
    // taken.
    for (OutFile* f : {&m.log_unit, &m.qe_unit, &m.qesum_unit, &m.msg_unit})
        if (f->is_open()) f->flush();
    ResumePoint h;
    h.format = kFormat;
    h.version = m.Version;
    h.digest = input_digest(m);
    h.run = m.Run;
    h.iter = m.Iter;
    h.nts = m.NTS;
    h.nb = m.NB;
    h.ns = m.NS;
    h.time = m.Time;
    h.cpu = cpu_seconds() - m.CpuIterStart;
    measure_files(m, h);
    StateArchive ar;
    ar.raw(const_cast<char*>(kMagic), sizeof kMagic);
    meta_io(ar, h);
    model_state_io(ar, m);
    std::string bytes = ar.bytes();
    const std::uint64_t sum = fnv1a(bytes.data(), bytes.size());
    bytes.append(reinterpret_cast<const char*>(&sum), sizeof sum);
    write_atomically(checkpoint_path(m), bytes);
}

std::string trimmed(std::string s) {
    while (!s.empty() && s.back() == ' ') s.pop_back();
    return s;
}

// The command that continues the run (with the root it was given).
std::string resume_hint(const Model& m) {
    const std::string root = m.opts.root_dir.empty() ? "" : "--root " + m.opts.root_dir + " ";
    return "vorn " + root + "--resume " + m.sub_dir + " " + m.case_nr;
}

[[noreturn]] void refuse(Model& m, const std::string& why) {
    stop_on_console(m, "Cannot resume from the checkpoint " + shown_path(checkpoint_path(m)) +
                           ": " + why + ". Program aborted");
}

std::string read_whole(Model& m, const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        stop_on_console(m, "No checkpoint to resume from: " + shown_path(path) +
                               " (a run writes one every --checkpoint-every seconds and when "
                               "SIGTERM or SIGINT stops it). Program aborted");
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) refuse(m, "it cannot be read");
    return bytes;
}

// The result files back to their lengths at the checkpoint; result files
// of the run directories that were not there then are removed.
void cut_back_files(Model& m, const ResumePoint& f) {
    std::error_code ec;
    for (const std::string& d : f.dirs) {
        if (d != "output/" && !is_run_dir_name(d.substr(0, d.size() - 1))) continue;
        for (const std::string& n : result_files(m, d)) {
            const std::string rel = d + n;
            const std::string path = m.case_dir + "/" + rel;
            const auto it = std::find(f.files.begin(), f.files.end(), rel);
            if (it == f.files.end()) {
                if (d != "output/") fs::remove(path, ec);
                continue;
            }
            const std::uint64_t want = f.sizes[std::size_t(it - f.files.begin())];
            const auto have = fs::file_size(path, ec);
            if (ec) continue;
            if (have > want) {
                if (::truncate(path.c_str(), off_t(want)) != 0)
                    refuse(m, "cannot cut " + shown_path(path) + " back to its length then");
            } else if (have < want) {
                warn(m, "Warning: " + shown_path(path) + " is shorter than at the checkpoint (" +
                            std::to_string(have) + " of " + std::to_string(want) + " bytes)");
            }
        }
    }
}

void start_resume(Model& m) {
    const std::string path = checkpoint_path(m);
    ResumePoint r;
    try {
        r = read_checkpoint_image(read_whole(m, path));
    } catch (const ArchiveError&) {
        refuse(m, "it is incomplete or damaged, or of another checkpoint format");
    }
    if (r.version != m.Version) refuse(m, "it was written by vorn " + trimmed(r.version));
    if (r.digest != input_digest(m))
        refuse(m, "the input files of the case, or the options --explicit-mutual and "
                  "--section-by-section, differ from those of the run that wrote it");
    cut_back_files(m, r);
    m.Ckpt.resume = std::make_shared<ResumePoint>(std::move(r));
    m.Ckpt.resuming = 1;
}

}  // namespace

ResumePoint read_checkpoint_image(std::string bytes, bool check_sum) {
    constexpr std::size_t kSum = sizeof(std::uint64_t);
    if (bytes.size() < sizeof kMagic + kSum || std::memcmp(bytes.data(), kMagic, sizeof kMagic) != 0)
        throw ArchiveError("not a checkpoint");
    std::uint64_t sum = 0;
    std::memcpy(&sum, bytes.data() + bytes.size() - kSum, kSum);
    if (check_sum && fnv1a(bytes.data(), bytes.size() - kSum) != sum)
        throw ArchiveError("the checksum does not match");
    bytes.resize(bytes.size() - kSum);
    ResumePoint r;
    r.ar = std::make_unique<StateArchive>(std::move(bytes));
    char magic[sizeof kMagic];
    r.ar->raw(magic, sizeof magic);
    meta_io(*r.ar, r);
    return r;
}

std::uint64_t input_digest(const Model& m) {
    std::vector<fs::path> files;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(m.input_dir, ec))
        if (e.is_regular_file(ec)) files.push_back(e.path());
    std::sort(files.begin(), files.end());
    std::uint64_t h = fnv1a("vorn-inputs", 11);
    for (const fs::path& p : files) {
        const std::string name = p.filename().string();
        h = fnv1a(name.data(), name.size() + 1, h);  // with its terminating zero
        std::ifstream in(p, std::ios::binary);
        const std::string body((std::istreambuf_iterator<char>(in)),
                               std::istreambuf_iterator<char>());
        const std::uint64_t n = body.size();
        h = fnv1a(&n, sizeof n, h);
        h = fnv1a(body.data(), body.size(), h);
    }
    const char opts[2] = {char(m.opts.explicit_mutual), char(m.opts.section_by_section)};
    return fnv1a(opts, sizeof opts, h);
}

void checkpoint_start(Model& m) {
    m.Ckpt.path = checkpoint_path(m);
    m.Ckpt.wall_last = wall_now();
    if (m.opts.resume) {
        start_resume(m);
        return;
    }
    std::error_code ec;
    if (fs::exists(m.Ckpt.path, ec)) {
        warn(m, "Warning: the checkpoint " + shown_path(m.Ckpt.path) +
                    " of an earlier run is removed: this run starts at t = 0 (" +
                    resume_hint(m) + " would have continued it)");
        fs::remove(m.Ckpt.path, ec);
    }
    fs::remove(m.Ckpt.path + ".tmp", ec);
}

void checkpoint_after_step(Model& m) {
    const bool signalled = interrupt_signal() != 0;
    const double every = m.opts.checkpoint_every;
    if (!signalled && !(every > 0 && wall_now() - m.Ckpt.wall_last >= every)) return;
    write_checkpoint(m);
    m.Ckpt.wall_last = wall_now();
    m.Ckpt.t_written = m.Time;
    if (signalled)
        warn(m, "Checkpoint written at t = " + seconds_text(m.Time) + " s: " + resume_hint(m) +
                    " continues the run");
}

bool checkpoint_resume_point(const Model& m, int& run, int& iter) {
    if (!m.Ckpt.resume) return false;
    run = m.Ckpt.resume->run;
    iter = m.Ckpt.resume->iter;
    return true;
}

bool checkpoint_restore(Model& m) {
    if (!m.Ckpt.resume) return false;
    ResumePoint& r = *m.Ckpt.resume;
    if (m.Run != r.run || m.Iter != r.iter) return false;
    try {
        if (r.nb != m.NB || r.ns != m.NS) throw ArchiveError("a cable of another size");
        model_state_io(*r.ar, m);
        if (r.ar->left() != 0) throw ArchiveError("data left over");
    } catch (const ArchiveError&) {
        stop_with_message(m, "Cannot resume from the checkpoint " + shown_path(m.Ckpt.path) +
                                 ": its state does not fit this case. Program aborted");
    }
    m.CpuIterStart = cpu_seconds() - r.cpu;
    m.Ckpt.t_written = m.Time;
    m.Ckpt.resume.reset();
    m.Ckpt.resuming = 0;
    msg(m, "Run resumed from the checkpoint at t = " + seconds_text(m.Time) + " s (run " +
               std::to_string(m.Run) + ", QE iteration " + std::to_string(m.Iter) +
               ", time step " + std::to_string(m.NTS) + ")");
    return true;
}

OpenMode fresh_file_mode(const Model& m) {
    return m.Ckpt.resuming == 1 ? OpenMode::Append : OpenMode::Replace;
}

void checkpoint_remove(Model& m) {
    if (m.Ckpt.path.empty()) return;
    std::error_code ec;
    fs::remove(m.Ckpt.path, ec);
    fs::remove(m.Ckpt.path + ".tmp", ec);
}

}  // namespace vorn
