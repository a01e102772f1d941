# cmake -DSOURCE_DIR=<project> -DWORK_DIR=<folder for scratch trees> -P LayerIncludes_test.cmake
#
# Runs the layer include check on small scratch trees of three layers (low <- mid <- top, where mid
# links low PUBLIC): a tree whose includes are all declared passes, and each kind of undeclared
# include fails, named by file, line and layer.

cmake_minimum_required(VERSION 3.25)

string(RANDOM LENGTH 12 tag)
set(root ${WORK_DIR}/LayerIncludes_test_${tag})

# Writes the scratch tree: three layers and one extra file `file` with the text `text`.
function(write_tree file text)
  file(REMOVE_RECURSE ${root})
  file(WRITE ${root}/src/low/CMakeLists.txt "sonorel_library(low)\n")
  file(WRITE ${root}/src/low/Low.h "#pragma once\n")
  file(WRITE ${root}/src/mid/CMakeLists.txt "# a comment (with parentheses)\nsonorel_library(mid PUBLIC low\n  PRIVATE Qt6::Core)\n")
  file(WRITE ${root}/src/mid/Mid.h "#pragma once\n\n#include \"low/Low.h\"\n")
  file(WRITE ${root}/src/top/CMakeLists.txt "sonorel_library(top PUBLIC Qt6::Widgets PRIVATE mid)\n")
  file(WRITE ${root}/src/top/Top.cpp "#include \"top/Top.h\"\n\n#include \"mid/Mid.h\"\n#include <QWidget>\n")
  file(WRITE ${root}/src/top/Top.h "#pragma once\n// [a comment; with list characters]\n#include <string>\n")
  if(file)
    file(WRITE ${root}/${file} "${text}")
  endif()
endfunction()

set(failures 0)
set(count 0)
# One case: the extra file and its text, and the message the check must give ("" to pass).
function(check name file text expected)
  math(EXPR count "${count} + 1")
  set(count ${count} PARENT_SCOPE)
  write_tree("${file}" "${text}")
  execute_process(COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${root} -P ${SOURCE_DIR}/cmake/LayerIncludes.cmake
    RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE out)
  string(FIND "${out}" "${expected}" at)
  if(expected STREQUAL "" AND NOT result EQUAL 0)
    message("FAILED ${name}: the check refused a tree whose includes are declared:\n${out}")
  elseif(NOT expected STREQUAL "" AND (result EQUAL 0 OR at EQUAL -1))
    message("FAILED ${name}: expected a failure naming\n  ${expected}\ngot (exit ${result}):\n${out}")
  else()
    return()
  endif()
  math(EXPR failures "${failures} + 1")
  set(failures ${failures} PARENT_SCOPE)
endfunction()

check("declared includes pass" "" "" "")
check("a layer reached only through a PUBLIC link" src/top/Deep.cpp "#include \"top/Top.h\"\n\n#include \"low/Low.h\"\n"
  "src/top/Deep.cpp:3: includes layer low (low), which src/top does not declare")
check("a header including a PRIVATE layer" src/top/Wide.h "#pragma once\n#include \"mid/Mid.h\"\n"
  "src/top/Wide.h:2: a header includes layer mid (mid), which src/top declares PRIVATE only")
check("a lower layer including a higher one" src/low/Up.cpp "// [x]; y\n#  include \"top/Top.h\"\n"
  "src/low/Up.cpp:2: includes layer top (top), which src/low does not declare")
check("a path in no layer folder" src/mid/Lost.cpp "#include \"nowhere/Gone.h\"\n"
  "src/mid/Lost.cpp:1: includes \"nowhere/Gone.h\", which lies in no layer folder")
file(REMOVE_RECURSE ${root})

if(failures GREATER 0)
  message(FATAL_ERROR "${failures} case(s) failed")
endif()
message("LayerIncludes_test: ${count} cases passed")
