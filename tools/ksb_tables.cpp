// vorn_ksb DIR: computes the predefined self-field tables KSB01-08.csv ..
// KSB02-36.csv for their reference cables and writes them into DIR.
#include <iostream>
#include <string>

#include "field/sf_tables.hpp"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: vorn_ksb DIR\n";
        return 2;
    }
    std::string dir = argv[1];
    if (!dir.empty() && dir.back() != '/') dir += '/';
    if (!vorn::write_sf_tables(dir)) {
        std::cerr << "vorn_ksb: cannot write the tables into " << dir << "\n";
        return 1;
    }
    for (const auto& [NS, diam_class] : vorn::sf_table_list())
        std::cout << dir << vorn::sf_table_name(NS, diam_class) << "\n";
    return 0;
}
