// Reads a band matrix written by `vorn_netbench SUB CASE dump FILE`:
//   "VORNBAND" (8 bytes), int32 NEq, NCa, NBw,
//   per row i = 1..NEq: int32 lo, hi, then doubles A(i, lo..hi),
//   NEq doubles: the right-hand side A(i, NCa).
// The band is returned row by row with row length NCa (band columns
// 1..NCa-1, right-hand side in column NCa), as the network solution stores
// it.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

namespace vorn::bench {

struct BandFile {
    int NEq = 0, NCa = 0, NBw = 0;
    std::vector<double> a;  // NEq x NCa, row-major
    double& at(int row, int col) { return a[std::size_t(row - 1) * NCa + std::size_t(col - 1)]; }
    double at(int row, int col) const {
        return a[std::size_t(row - 1) * NCa + std::size_t(col - 1)];
    }
};

inline BandFile read_band_file(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) throw std::runtime_error("cannot open " + path);
    auto get = [&](void* p, std::size_t n) {
        if (std::fread(p, 1, n, f) != n) {
            std::fclose(f);
            throw std::runtime_error(path + " is short");
        }
    };
    char magic[8];
    get(magic, 8);
    std::int32_t head[3];
    get(head, sizeof head);
    BandFile b;
    b.NEq = head[0];
    b.NCa = head[1];
    b.NBw = head[2];
    if (std::memcmp(magic, "VORNBAND", 8) != 0 || b.NEq < 1 || b.NCa < 2 || b.NBw < 1 ||
        b.NBw >= b.NCa) {
        std::fclose(f);
        throw std::runtime_error(path + " is not a band matrix file");
    }
    b.a.assign(std::size_t(b.NEq) * std::size_t(b.NCa), 0.0);
    for (int i = 1; i <= b.NEq; ++i) {
        std::int32_t r[2];
        get(r, sizeof r);
        if (r[0] < 1 || r[1] > b.NCa - 1 || r[1] - r[0] < -1) {
            std::fclose(f);
            throw std::runtime_error(path + ": bad column range in row " + std::to_string(i));
        }
        if (r[1] >= r[0]) get(&b.at(i, r[0]), sizeof(double) * std::size_t(r[1] - r[0] + 1));
    }
    for (int i = 1; i <= b.NEq; ++i) get(&b.at(i, b.NCa), sizeof(double));
    std::fclose(f);
    return b;
}

}  // namespace vorn::bench
