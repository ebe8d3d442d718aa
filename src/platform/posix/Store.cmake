# The files of POSIX systems that are replaced whole: read, replaced by rename, locked; and the
# per-user folders they live in.
glimra_library(glimra_posix_files SOURCES ${CMAKE_CURRENT_LIST_DIR}/AtomicFile.cpp ${CMAKE_CURRENT_LIST_DIR}/UserFolders.cpp)

# The settings file of POSIX systems (settings.reg in the user's configuration folder): the text
# encodings and the registry-export document (no file system), the atomically replaced file, and
# the store on top of them.
glimra_library(glimra_posix_store
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/TextEncoding.cpp
    ${CMAKE_CURRENT_LIST_DIR}/RegistryExportDocument.cpp
    ${CMAKE_CURRENT_LIST_DIR}/FileSettingsStore.cpp
  DEPS glimra_settings glimra_posix_files)
