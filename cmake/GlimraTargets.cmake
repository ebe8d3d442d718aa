# glimra_library(NAME SOURCES ... [DEPS ...] [PUBLIC_LIBS ...])
# A static library of one layer; sources are relative to the calling folder, headers are included
# as "layer/File.h" from src/.
function(glimra_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS;PUBLIC_LIBS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${ARG_DEPS} ${ARG_PUBLIC_LIBS})
endfunction()

# glimra_test(NAME SOURCES ... DEPS ...)
# A GoogleTest binary. Natively every test case becomes a CTest test; under a cross-compiler the
# binary runs whole, once, through the emulator (starting Wine per test case costs too much).
function(glimra_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} glimra_test_support)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  if(CMAKE_CROSSCOMPILING)
    add_test(NAME ${name} COMMAND ${name} --gtest_brief=1)
  else()
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60)
  endif()
endfunction()

# Client code for Wayland protocols, made with wayland-scanner into folder: the generated sources
# (headers included, so that targets depend on them) go into out_var.
function(glimra_wayland_protocols out_var scanner folder)
  file(MAKE_DIRECTORY ${folder})
  set(sources)
  foreach(protocol ${ARGN})
    get_filename_component(stem ${protocol} NAME_WE)
    add_custom_command(
      OUTPUT ${folder}/${stem}-client-protocol.h ${folder}/${stem}-protocol.c
      COMMAND ${scanner} client-header ${protocol} ${folder}/${stem}-client-protocol.h
      COMMAND ${scanner} private-code ${protocol} ${folder}/${stem}-protocol.c
      DEPENDS ${protocol}
      VERBATIM)
    list(APPEND sources ${folder}/${stem}-protocol.c ${folder}/${stem}-client-protocol.h)
  endforeach()
  set(${out_var} ${sources} PARENT_SCOPE)
endfunction()
