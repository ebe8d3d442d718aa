# The settings file of POSIX systems (settings.reg in the user's configuration folder).
glimra_library(glimra_posix_store
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/FileSettingsStore.cpp
  DEPS glimra_settings)
