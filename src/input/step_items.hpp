// The values of the sixteen step files inp_STEP01.txt .. inp_STEP16.txt, in
// file order, record by record: the one table that both the reader of the
// step files and the case editing by name (vorn set / vorn get) use.
#pragma once

#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "control/model.hpp"
#include "support/listread.hpp"

namespace vorn {

// One value of a step file: its name, where it goes in the store and its unit
// in the file (empty for a dimensionless value).  An unused value is named
// "reserved"; it has no place in the store (a null member) unless the store
// keeps it anyway.
struct StepItem {
    const char* name;
    std::variant<int Model::*, double Model::*, std::string Model::*> field;
    const char* unit;

    bool reserved() const { return std::string_view(name) == "reserved"; }
    bool is_int() const { return field.index() == 0; }
    bool is_real() const { return field.index() == 1; }
    bool is_text() const { return field.index() == 2; }
};

// One READ of a step file: its values, which may run over several lines.
using StepRecord = std::vector<StepItem>;

// The records of step file 1..16 (index 0 is step 1).
const std::vector<std::vector<StepRecord>>& step_file_records();

// "inp_STEP01.txt" .. "inp_STEP16.txt".
std::string step_file_name(int step);

// Reads one record into the store (the unused values are read, checked for
// their type and dropped); with `places`, also where each value is written.
void read_step_record(ListReader& r, Model& m, const StepRecord& record,
                      std::vector<ValuePlace>* places = nullptr);

// Where a named value is: step 1..16, record, value within the record.
struct StepItemPlace {
    int step = 0;
    int record = 0;
    int value = 0;
    const StepItem* item = nullptr;
};

// The place of the value `name` (exact, case-sensitive); item == nullptr
// when there is none ("reserved" names none).
StepItemPlace find_step_item(std::string_view name);

// The names closest to `name` (case-insensitive edit distance), best first.
std::vector<std::string> close_step_item_names(std::string_view name, std::size_t count = 5);

}  // namespace vorn
