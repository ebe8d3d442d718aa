# The settings store of the Windows programs: the registry under HKEY_CURRENT_USER.
glimra_library(glimra_win32_store
  SOURCES RegistrySettingsStore.cpp
  DEPS glimra_settings
  PUBLIC_LIBS advapi32)
