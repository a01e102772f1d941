# One static library per source folder. Every .cpp of the folder belongs to it, so a new file
# needs no edit here; a folder with no sources yet still yields a linkable library.
# PUBLIC lists the layers the folder's headers include, PRIVATE those only its sources include
# (DEPS, the older spelling, counts as PUBLIC).
# The library exposes its own headers alone, under their path below src/ (through a link in the
# build tree), so a file that includes a layer its folder does not declare fails to compile.
function(sonorel_library name)
  cmake_parse_arguments(ARG "" "" "PUBLIC;PRIVATE;DEPS;EXCLUDE" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  foreach(ex IN LISTS ARG_EXCLUDE)
    list(REMOVE_ITEM sources ${CMAKE_CURRENT_SOURCE_DIR}/${ex})
  endforeach()
  set(has_cpp FALSE)
  foreach(s IN LISTS sources)
    if(s MATCHES "\\.cpp$")
      set(has_cpp TRUE)
    endif()
  endforeach()
  if(NOT has_cpp)
    set(stub ${CMAKE_CURRENT_BINARY_DIR}/${name}_empty.cpp)
    file(WRITE ${stub} "// ${name} has no sources yet\n")
    list(APPEND sources ${stub})
  endif()
  add_library(${name} STATIC ${sources})
  file(RELATIVE_PATH folder ${PROJECT_SOURCE_DIR}/src ${CMAKE_CURRENT_SOURCE_DIR})
  set(include_root ${PROJECT_BINARY_DIR}/include/${name})
  get_filename_component(link_parent ${include_root}/${folder} DIRECTORY)
  file(MAKE_DIRECTORY ${link_parent})
  file(CREATE_LINK ${CMAKE_CURRENT_SOURCE_DIR} ${include_root}/${folder} SYMBOLIC)
  target_include_directories(${name} PUBLIC ${include_root})
  target_link_libraries(${name} PUBLIC ${ARG_PUBLIC} ${ARG_DEPS} PRIVATE ${ARG_PRIVATE})
endfunction()

# Every tests/<folder>/*_test.cpp is one test program with a plain main; every *_uitest.cpp one
# with a QApplication (offscreen). Each program makes its own fresh home and XDG folders when it
# starts (tests/support/test_home.h), so no test touches a real user's files or another run's.
function(sonorel_tests folder)
  cmake_parse_arguments(ARG "" "DIR" "DEPS" ${ARGN})
  set(dir ${CMAKE_CURRENT_SOURCE_DIR}/${ARG_DIR})
  file(GLOB plain CONFIGURE_DEPENDS ${dir}/*_test.cpp)
  file(GLOB ui CONFIGURE_DEPENDS ${dir}/*_uitest.cpp)
  foreach(src IN LISTS plain ui)
    get_filename_component(base ${src} NAME_WE)
    set(exe ${folder}_${base})
    string(REPLACE "/" "_" exe ${exe})
    add_executable(${exe} ${src})
    if(src IN_LIST ui)
      target_link_libraries(${exe} PRIVATE test_support_ui ${ARG_DEPS})
    else()
      target_link_libraries(${exe} PRIVATE test_support ${ARG_DEPS})
    endif()
    # Where the tests find files of the source tree (the shipped help, for one), whatever the
    # compiler makes of __FILE__.
    target_compile_definitions(${exe} PRIVATE SONOREL_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
    add_test(NAME ${exe} COMMAND ${exe})
    sonorel_test_environment(environment)
    set_tests_properties(${exe} PROPERTIES TIMEOUT 600 ENVIRONMENT "${environment}")
  endforeach()
endfunction()

# The environment every test starts with: offscreen Qt and the sanitizers' options. Its home and
# XDG folders it makes itself, fresh for each run (tests/support/test_home.h, bench/run_briefly.sh).
function(sonorel_test_environment var)
  set(${var} "QT_QPA_PLATFORM=offscreen;LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/lsan.supp:print_suppressions=0;UBSAN_OPTIONS=print_stacktrace=1;ASAN_OPTIONS=detect_leaks=1" PARENT_SCOPE)
endfunction()
