# The settings store that lives in memory, for the tests and the benchmarks; never in a product.
# Both folders include this file, and the library is made once.
if(NOT TARGET glimra_memory_store)
  add_library(glimra_memory_store STATIC ${CMAKE_CURRENT_LIST_DIR}/MemorySettingsStore.cpp)
  target_include_directories(glimra_memory_store PUBLIC ${PROJECT_SOURCE_DIR}/tests)
  target_link_libraries(glimra_memory_store PUBLIC glimra_settings)
endif()
