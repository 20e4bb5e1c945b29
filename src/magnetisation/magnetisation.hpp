// Filament magnetisation from the recorded field, current and temperature.
#pragma once

#include "control/model.hpp"

namespace vorn {

void magnetisation_calculation(Model& m);

}  // namespace vorn
