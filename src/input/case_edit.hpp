// Case editing by parameter name: `vorn set CASE_DIR NAME=VALUE ...` and
// `vorn get CASE_DIR [NAME ...]`.  The names, their places in the step files
// and their units come from the readers' item table (input/step_items.hpp).
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace vorn {

// Rewrites the named values of the step files of the case in place (every
// other character of the files stays as it is), then reads and validates the
// whole input as a run does.  Returns 0 when the edited case is valid; 1 when
// a name is unknown, a value has the wrong type or the validation stops --
// the files are then left as they were and the reasons go to `err`.
int set_case_values(const std::string& case_dir, const std::vector<std::string>& assignments,
                    std::ostream& out, std::ostream& err);

// Prints "NAME = VALUE UNIT  (file)" for each name, or for every value of the
// step files when no name is given.  Returns 0, or 1 after a message to `err`.
int get_case_values(const std::string& case_dir, const std::vector<std::string>& names,
                    std::ostream& out, std::ostream& err);

}  // namespace vorn
