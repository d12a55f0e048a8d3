# The layer check on a small tree of its own: each include below either
# passes or stops the check, written with quotes or with angle brackets.
#   cmake -DROOT=<empty temporary folder> -DCHECK=<CheckLayer.cmake> -DQT_HEADERS=<dir> -P this
cmake_policy(VERSION 3.25)
file(REMOVE_RECURSE ${ROOT})
foreach(_header common/text.h app/core/model.h app/exec/run.h app/windows/frmMain.h)
  file(WRITE ${ROOT}/${_header} "#pragma once\n")
endforeach()

# folder | include | passes
set(_cases
  "app/core|\"common/text.h\"|YES"
  "app/core|<common/text.h>|YES"
  "app/core|<QString>|YES"
  "app/core|<vector>|YES"
  "app/core|\"app/exec/run.h\"|NO"
  "app/core|<app/exec/run.h>|NO"
  "app/core|<app/windows/frmMain.h>|NO"
  "app/core|<QtWidgets/QDialog>|NO"
  "app/core|<QtWidgets>|NO"
  "app/core|<QDialog>|NO"
  "app/core|<QtGui/QColor>|NO"
  "app/windows|<QDialog>|YES"
  "app/windows|<app/core/model.h>|YES"
  "app/windows|\"app/exec/run.h\"|NO")
set(_failed)
foreach(_case ${_cases})
  string(REPLACE "|" ";" _f "${_case}")
  list(GET _f 0 _folder)
  list(GET _f 1 _include)
  list(GET _f 2 _passes)
  file(WRITE ${ROOT}/${_folder}/probe.cpp "#include ${_include}\n")
  execute_process(COMMAND ${CMAKE_COMMAND} -DROOT=${ROOT} -DFOLDER=${_folder} "-DUSES=common\;app/core"
    -DQT_HEADERS=${QT_HEADERS} -P ${CHECK} RESULT_VARIABLE _rc OUTPUT_QUIET ERROR_QUIET)
  file(REMOVE ${ROOT}/${_folder}/probe.cpp)
  set(_passed NO)
  if(_rc EQUAL 0)
    set(_passed YES)
  endif()
  if(NOT _passed STREQUAL _passes)
    list(APPEND _failed "${_folder}: #include ${_include} passed: ${_passed}, expected ${_passes}")
  endif()
endforeach()
file(REMOVE_RECURSE ${ROOT})
if(_failed)
  list(JOIN _failed "\n  " _text)
  message(FATAL_ERROR "Layer check:\n  ${_text}")
endif()
