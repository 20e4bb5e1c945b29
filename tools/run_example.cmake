# Runs an example case in a scratch copy, so that examples/ stays clean:
#
#   cmake -DVORN_EXE=<vorn> -DEXAMPLES=<source>/examples/VORN_data -DDEST=<dir>
#         [-DCASE_SUB=Demo] [-DCASE_NR=001] -P tools/run_example.cmake
#
# <dir> is made anew: <dir>/VORN_data/<sub>/<case>/ receives a copy of each
# example's input/ and an empty output/ and RunNN/ for each RunNN/ of the
# example (results the examples may hold are not copied).  Then
# `vorn <sub> <nr>` runs in <dir>.  Used by the target run-example and by the
# test RunExampleScript.
cmake_minimum_required(VERSION 3.20)

foreach(var VORN_EXE EXAMPLES DEST)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "run_example.cmake: -D${var}=... is missing")
  endif()
endforeach()
if(NOT DEFINED CASE_SUB)
  set(CASE_SUB Demo)
endif()
if(NOT DEFINED CASE_NR)
  set(CASE_NR 001)
endif()

file(REMOVE_RECURSE "${DEST}")
file(GLOB subdirs LIST_DIRECTORIES true "${EXAMPLES}/*")
foreach(sub IN LISTS subdirs)
  if(NOT IS_DIRECTORY "${sub}")
    continue()
  endif()
  get_filename_component(sub_name "${sub}" NAME)
  file(GLOB cases LIST_DIRECTORIES true "${sub}/*")
  foreach(case IN LISTS cases)
    if(NOT IS_DIRECTORY "${case}/input")
      continue()
    endif()
    get_filename_component(case_name "${case}" NAME)
    set(to "${DEST}/VORN_data/${sub_name}/${case_name}")
    file(COPY "${case}/input" DESTINATION "${to}")
    file(MAKE_DIRECTORY "${to}/output")
    file(GLOB runs LIST_DIRECTORIES true "${case}/Run[0-9][0-9]")
    foreach(run IN LISTS runs)
      get_filename_component(run_name "${run}" NAME)
      file(MAKE_DIRECTORY "${to}/${run_name}")
    endforeach()
  endforeach()
endforeach()

message(STATUS "Running: vorn ${CASE_SUB} ${CASE_NR}   (in ${DEST})")
execute_process(COMMAND "${VORN_EXE}" "${CASE_SUB}" "${CASE_NR}"
                WORKING_DIRECTORY "${DEST}"
                RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "vorn ${CASE_SUB} ${CASE_NR} ended with exit status ${status}")
endif()
