#include "control/driver.hpp"

int main(int argc, char** argv) { return vorn::run_vorn(argc, argv); }
