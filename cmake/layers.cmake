# The layers of src/ and what each may not use. Dependencies point one way:
#   base <- imaging, capture, settings <- forms <- overlay, magnifier <- shell
# base knows nothing of ours; imaging, capture and settings know base and no window of ours; forms
# knows base and imaging and no subsystem; overlay and magnifier use forms, imaging, capture and
# settings, and reach each other only through the narrow links the shell wires.
#
# Included by src/CMakeLists.txt (the checks at configure time) and run as a script by the build
# (`cmake -DSCRIVANE_SRC=... -P layers.cmake`), which checks the includes again whenever a source
# changes.
set(scrivane_layer_rules
  "base:imaging,capture,settings,forms,overlay,magnifier,shell"
  "imaging:forms,overlay,magnifier,shell"
  "capture:forms,overlay,magnifier,shell"
  "settings:forms,overlay,magnifier,shell"
  "forms:capture,settings,overlay,magnifier,shell"
  "overlay:magnifier,shell"
  "magnifier:overlay,shell")

# scrivane_forbidden_layers(layer out): the subsystems `layer` may not use.
function(scrivane_forbidden_layers layer out)
  set(result "")
  foreach(rule IN LISTS scrivane_layer_rules)
    string(REPLACE ":" ";" parts "${rule}")
    list(GET parts 0 name)
    if(name STREQUAL layer)
      list(GET parts 1 forbidden)
      string(REPLACE "," ";" result "${forbidden}")
    endif()
  endforeach()
  set(${out} ${result} PARENT_SCOPE)
endfunction()

# scrivane_check_includes(src_dir): stops with every include of a forbidden subsystem's header
# ("forms/window.h" from src/imaging, say), whether or not anything is linked for it.
function(scrivane_check_includes src_dir)
  set(violations "")
  foreach(rule IN LISTS scrivane_layer_rules)
    string(REPLACE ":" ";" parts "${rule}")
    list(GET parts 0 layer)
    scrivane_forbidden_layers(${layer} forbidden)
    string(JOIN "|" alternatives ${forbidden})
    file(GLOB_RECURSE files "${src_dir}/${layer}/*.h" "${src_dir}/${layer}/*.cpp" "${src_dir}/${layer}/*.in")
    foreach(file IN LISTS files)
      file(STRINGS "${file}" lines REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<](${alternatives})/")
      foreach(line IN LISTS lines)
        file(RELATIVE_PATH shown "${src_dir}/.." "${file}")
        string(STRIP "${line}" line)
        list(APPEND violations "  ${shown}: ${line}")
      endforeach()
    endforeach()
  endforeach()
  if(violations)
    list(JOIN violations "\n" text)
    message(FATAL_ERROR "A layer of src/ includes a header of a layer it may not use:\n${text}")
  endif()
endfunction()

if(CMAKE_SCRIPT_MODE_FILE AND SCRIVANE_SRC)
  scrivane_check_includes("${SCRIVANE_SRC}")
  if(SCRIVANE_STAMP)
    file(TOUCH "${SCRIVANE_STAMP}")
  endif()
endif()
