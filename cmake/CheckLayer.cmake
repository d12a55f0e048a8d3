# The layer check: a source may include headers only from its own folder and
# from the folders its layer lies on. Windows (frm*, MRVG*, main.cpp) may
# also include the window folders; logic may include no window header.
#
# Used by the build (mrv_check_layer in CMakeLists.txt) at configure time,
# and as a script at build time, so an edit that adds an upward include fails
# the next build:
#   cmake -DROOT=<source dir> -DFOLDER=<folder> -DUSES=<a;b> -DWINDOWS_USE=<c;d>
#         -DALL_WINDOWS=<TRUE|FALSE> [-DSTAMP=<file>] -P CheckLayer.cmake

if(CMAKE_SCRIPT_MODE_FILE)
  cmake_policy(VERSION 3.25)
endif()

function(mrv_check_layer_sources root folder uses windows_use all_windows)
  file(GLOB _files ${root}/${folder}/*.cpp ${root}/${folder}/*.h)
  set(_problems)
  foreach(_file ${_files})
    get_filename_component(_name ${_file} NAME)
    set(_allowed ${folder} ${uses})
    set(_window FALSE)
    if(all_windows OR _name MATCHES "^(frm|MRVG)" OR _name STREQUAL "main.cpp")
      set(_window TRUE)
      list(APPEND _allowed ${windows_use})
    endif()
    file(STRINGS ${_file} _lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
    foreach(_line ${_lines})
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]*)\".*$" "\\1" _path "${_line}")
      get_filename_component(_dir "${_path}" DIRECTORY)
      get_filename_component(_header "${_path}" NAME)
      if(_dir STREQUAL "")
        set(_dir ${folder})
      endif()
      if(NOT _dir IN_LIST _allowed)
        list(APPEND _problems "${folder}/${_name} includes \"${_path}\", from a layer above it or beside it")
      elseif(NOT _window AND _header MATCHES "^(frm|MRVG)")
        list(APPEND _problems "${folder}/${_name} includes the window \"${_path}\", and logic includes no window")
      endif()
    endforeach()
  endforeach()
  if(_problems)
    list(JOIN _problems "\n  " _text)
    message(FATAL_ERROR "Layer check of ${folder}:\n  ${_text}\n"
                        "${folder} may include: ${uses} (windows also: ${windows_use})")
  endif()
endfunction()

if(CMAKE_SCRIPT_MODE_FILE)
  mrv_check_layer_sources("${ROOT}" "${FOLDER}" "${USES}" "${WINDOWS_USE}" "${ALL_WINDOWS}")
  if(STAMP)
    file(TOUCH "${STAMP}")
  endif()
endif()
