# The layers of src/ and what each may not use. Dependencies point one way:
#   base <- imaging, capture, settings <- forms <- overlay, magnifier <- shell
# base knows nothing of ours; imaging, capture and settings know base and no window of ours (nor
# each other); forms knows base and imaging and no subsystem; overlay and magnifier use forms,
# imaging, capture and settings, and reach each other only through the narrow links the shell wires.
#
# Nor do files include each other in a loop, directly or round several others (a file and its
# header count as one): whatever two pieces of code need of each other goes into a small interface
# that one of them implements. The subsystems are held to the same between themselves.
#
# Included by src/CMakeLists.txt (the checks at configure time) and run as a script by the build
# (`cmake -DSCRIVANE_SRC=... -P layers.cmake`), which checks the includes again whenever a source
# changes.
# Run as a script, the file has no project to set its policies (`IN_LIST`, `while(TRUE)`).
cmake_policy(VERSION 3.25)

set(scrivane_layer_rules
  "base:imaging,capture,settings,forms,overlay,magnifier,shell"
  "imaging:capture,settings,forms,overlay,magnifier,shell"
  "capture:imaging,settings,forms,overlay,magnifier,shell"
  "settings:imaging,capture,forms,overlay,magnifier,shell"
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

# The layers whose files are held to no loop. The shell's application object (shell/start_up.h)
# holds its forms, and they still reach the rest of the program back through it.
set(scrivane_loop_free_layers base imaging capture settings forms overlay magnifier resources)

# scrivane_find_loop(nodes prefix out): one loop of the graph whose edges from node N are the list
# variable ${prefix}N, as "a -> b -> a"; empty when there is none.
function(scrivane_find_loop nodes prefix out)
  # What points at nothing that is left cannot be in a loop: take it away until nothing changes.
  set(left ${nodes})
  set(changed TRUE)
  while(changed)
    set(changed FALSE)
    set(next "")
    foreach(node IN LISTS left)
      set(keep FALSE)
      foreach(to IN LISTS ${prefix}${node})
        if(to IN_LIST left)
          set(keep TRUE)
          break()
        endif()
      endforeach()
      if(keep)
        list(APPEND next ${node})
      else()
        set(changed TRUE)
      endif()
    endforeach()
    set(left ${next})
  endwhile()
  set(${out} "" PARENT_SCOPE)
  if(NOT left)
    return()
  endif()
  # Every node left points at another one left: walking from any of them comes round to a node
  # already on the path.
  list(GET left 0 node)
  set(path ${node})
  while(TRUE)
    set(step "")
    foreach(to IN LISTS ${prefix}${node})
      if(to IN_LIST left)
        set(step ${to})
        break()
      endif()
    endforeach()
    list(FIND path ${step} at)
    if(at GREATER -1)
      list(SUBLIST path ${at} -1 loop)
      list(APPEND loop ${step})
      list(JOIN loop " -> " text)
      set(${out} "${text}" PARENT_SCOPE)
      return()
    endif()
    list(APPEND path ${step})
    set(node ${step})
  endwhile()
endfunction()

# scrivane_check_loops(src_dir): stops with a loop of includes between the files of the loop-free
# layers (overlay/a.cpp includes overlay/b.h and b.cpp includes a.h), or between the subsystems.
function(scrivane_check_loops src_dir)
  set(units "")
  set(layers "")
  file(GLOB_RECURSE files "${src_dir}/*.h" "${src_dir}/*.cpp" "${src_dir}/*.in")
  foreach(file IN LISTS files)
    file(RELATIVE_PATH name "${src_dir}" "${file}")
    string(REGEX REPLACE "(\\.h|\\.cpp)(\\.in)?$" "" unit "${name}")
    string(REGEX REPLACE "/.*" "" layer "${unit}")
    list(APPEND units ${unit})
    list(APPEND layers ${layer})
    file(STRINGS "${file}" lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"[a-z_]+/[^\"]+\"")
    foreach(line IN LISTS lines)
      string(REGEX REPLACE "^[^\"]*\"([^\"]+)\\.h\".*" "\\1" to "${line}")
      string(REGEX REPLACE "/.*" "" toLayer "${to}")
      if(NOT to STREQUAL unit)
        list(APPEND file_${unit} ${to})
      endif()
      if(NOT toLayer STREQUAL layer)
        list(APPEND layer_${layer} ${toLayer})
      endif()
    endforeach()
  endforeach()
  list(REMOVE_DUPLICATES units)
  list(REMOVE_DUPLICATES layers)
  set(checked "")
  foreach(unit IN LISTS units)
    string(REGEX REPLACE "/.*" "" layer "${unit}")
    if(layer IN_LIST scrivane_loop_free_layers)
      list(APPEND checked ${unit})
    endif()
  endforeach()
  set(found "")
  scrivane_find_loop("${checked}" file_ loop)
  if(loop)
    list(APPEND found "  files: ${loop}")
  endif()
  scrivane_find_loop("${layers}" layer_ loop)
  if(loop)
    list(APPEND found "  subsystems: ${loop}")
  endif()
  if(found)
    list(JOIN found "\n" text)
    message(FATAL_ERROR "Code of src/ includes itself in a loop:\n${text}")
  endif()
endfunction()

if(CMAKE_SCRIPT_MODE_FILE AND SCRIVANE_SRC)
  scrivane_check_includes("${SCRIVANE_SRC}")
  scrivane_check_loops("${SCRIVANE_SRC}")
  if(SCRIVANE_STAMP)
    file(TOUCH "${SCRIVANE_STAMP}")
  endif()
endif()
