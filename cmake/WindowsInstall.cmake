# `cmake --install` on Windows: one folder with quillpost.exe, its help page, the Qt DLLs and
# exactly the plugins it loads, and the compiler's runtime DLLs. The keyring is the Credential
# Manager, reached through advapi32, a part of Windows itself: nothing more to carry. `cpack -G ZIP` zips that folder;
# res/quillpost.nsi makes the installer from it (scripts/test-windows.sh shows how).
install(TARGETS quillpost RUNTIME DESTINATION .)
install(FILES ${QUILLPOST_HELP_PAGE} DESTINATION .)

foreach(_module Core Gui Widgets Network)
  install(FILES $<TARGET_FILE:Qt6::${_module}> DESTINATION .)
endforeach()
# The window system, the native look, TLS through the system's Schannel (and certificates alone
# without it), and .ico account icons.
foreach(_plugin_dir IN ITEMS
    "QWindowsIntegrationPlugin;platforms" "QWindowsVistaStylePlugin;styles"
    "QSchannelBackendPlugin;tls" "QTlsBackendCertOnlyPlugin;tls" "QICOPlugin;imageformats")
  list(GET _plugin_dir 0 _plugin)
  list(GET _plugin_dir 1 _dir)
  install(FILES $<TARGET_FILE:Qt6::${_plugin}> DESTINATION ${_dir})
endforeach()

if(MINGW)
  foreach(_dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${_dll}
                    OUTPUT_VARIABLE _found OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT IS_ABSOLUTE "${_found}")
      find_file(_found_${_dll} ${_dll} PATHS /usr/x86_64-w64-mingw32/lib NO_CACHE REQUIRED)
      set(_found "${_found_${_dll}}")
    endif()
    install(FILES "${_found}" DESTINATION .)
  endforeach()
else()
  set(CMAKE_INSTALL_SYSTEM_RUNTIME_DESTINATION .)
  include(InstallRequiredSystemLibraries)
endif()

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME Quillpost)
set(CPACK_PACKAGE_VENDOR HALVERN)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME "quillpost-${PROJECT_VERSION}-windows-x64")
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_STRIP_FILES ON)
include(CPack)
