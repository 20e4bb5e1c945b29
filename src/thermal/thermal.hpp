// Thermal model: set-up, heat generation and temperatures.
#pragma once

#include "control/model.hpp"

namespace vorn {

void initialize_2(Model& m);
void initialize_hf(Model& m);
// Thermal neighbour tables of the sections and their centre distances;
// called at the start of initialize_hf.
void neighbour_tables(Model& m);
void heat_per_section(Model& m);
void temp_calculation(Model& m);

}  // namespace vorn
