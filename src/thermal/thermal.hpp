// Thermal model: set-up, heat generation and temperatures.
#pragma once

#include "control/model.hpp"

namespace vorn {

void initialize_2(Model& m);
void initialize_hf(Model& m);
void heat_per_section(Model& m);
void temp_calculation(Model& m);

}  // namespace vorn
