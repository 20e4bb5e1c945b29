#include "control/driver.hpp"

int main() { return vorn::run_vorn(); }
