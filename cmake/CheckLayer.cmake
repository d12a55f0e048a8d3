# The layer check: a source may include project headers only from its own
# folder and from the folders its layer lies on (USES), whether the include
# is written "common/ini.h" or <common/ini.h>. A logic folder (any but gui/
# and the windows/ folders) includes no windows folder and no header of Qt
# Gui or Qt Widgets (<QtWidgets/QDialog>, <QtGui>, <QDialog>, ...).
#
# Used by the build (mrv_check_layer in CMakeLists.txt) at configure time,
# and as a script at build time, so an edit that adds such an include fails
# the next build:
#   cmake -DROOT=<source dir> -DFOLDER=<folder> -DUSES=<a;b>
#         -DQT_HEADERS=<Qt's include folder> [-DSTAMP=<file>] -P CheckLayer.cmake

if(CMAKE_SCRIPT_MODE_FILE)
  cmake_policy(VERSION 3.25)
endif()

# windows for gui/ and every folder named windows, else logic.
function(mrv_folder_kind folder out)
  if(folder STREQUAL "gui" OR folder MATCHES "(^|/)windows$")
    set(${out} windows PARENT_SCOPE)
  else()
    set(${out} logic PARENT_SCOPE)
  endif()
endfunction()

function(mrv_check_layer_sources root folder uses qt_headers)
  mrv_folder_kind(${folder} _kind)
  file(GLOB _files ${root}/${folder}/*.cpp ${root}/${folder}/*.h)
  set(_allowed ${folder} ${uses})
  set(_problems)
  foreach(_file ${_files})
    get_filename_component(_name ${_file} NAME)
    file(STRINGS ${_file} _lines REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<]")
    foreach(_line ${_lines})
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*[\"<]([^\">]*)[\">].*$" "\\1" _path "${_line}")
      get_filename_component(_dir "${_path}" DIRECTORY)
      if(_line MATCHES "include[ \t]*<")
        # A system header, unless the path names a header of this tree.
        if(_dir STREQUAL "" OR NOT EXISTS ${root}/${_path})
          if(_kind STREQUAL "logic" AND (_path MATCHES "^Qt(Gui|Widgets)(/|$)"
             OR (qt_headers AND (EXISTS ${qt_headers}/QtGui/${_path} OR EXISTS ${qt_headers}/QtWidgets/${_path}))))
            list(APPEND _problems "${folder}/${_name} includes <${_path}>, of Qt Gui or Widgets, and logic uses Qt Core alone")
          endif()
          continue()
        endif()
      elseif(_dir STREQUAL "")
        set(_dir ${folder})
      endif()
      mrv_folder_kind(${_dir} _dir_kind)
      if(NOT _dir IN_LIST _allowed)
        list(APPEND _problems "${folder}/${_name} includes \"${_path}\", from a layer above it or beside it")
      elseif(_kind STREQUAL "logic" AND _dir_kind STREQUAL "windows")
        list(APPEND _problems "${folder}/${_name} includes the window header \"${_path}\", and logic includes no window")
      endif()
    endforeach()
  endforeach()
  if(_problems)
    list(JOIN _problems "\n  " _text)
    message(FATAL_ERROR "Layer check of ${folder}:\n  ${_text}\n${folder} may include: ${uses}")
  endif()
endfunction()

if(CMAKE_SCRIPT_MODE_FILE)
  mrv_check_layer_sources("${ROOT}" "${FOLDER}" "${USES}" "${QT_HEADERS}")
  if(STAMP)
    file(TOUCH "${STAMP}")
  endif()
endif()
