// The model store: every parameter, count, run-state scalar and array of a
// case, in one object passed by reference to every routine.  Each subsystem
// keeps its own group of fields in its own header.
#pragma once

#include "control/control_state.hpp"
#include "field/field_state.hpp"
#include "input/input_state.hpp"
#include "magnetisation/magnetisation_state.hpp"
#include "network/network_state.hpp"
#include "output/output_state.hpp"
#include "thermal/thermal_state.hpp"

namespace vorn {

struct Model : ControlState,
               InputState,
               NetworkState,
               FieldState,
               ThermalState,
               OutputState,
               MagnetisationState {};

// Derived counts that follow from NB and NS (NS_half .. NEq).
void set_derived_counts(Model& m);

// Arrays whose shape follows from NB and NS and that the input files fill or
// that hold per-position results; created right after the cable geometry
// (first step file) is known.
void allocate_input_arrays(Model& m);

// The time-dependent arrays, created once before the first run.
void allocate_arrays(Model& m);
// Releases every array of the store.
void deallocate_arrays(Model& m);

}  // namespace vorn
