# The Windows program: a GUI executable (no console window) with its icon, version information
# and manifest. Included after the quillpost target exists.
set_target_properties(quillpost PROPERTIES WIN32_EXECUTABLE TRUE)

# The manifest carries the project's version, as the version information does.
set(QUILLPOST_MANIFEST "${CMAKE_BINARY_DIR}/quillpost.manifest")
configure_file("${PROJECT_SOURCE_DIR}/res/quillpost.manifest.in" "${QUILLPOST_MANIFEST}" @ONLY)
configure_file("${PROJECT_SOURCE_DIR}/res/quillpost.rc.in" "${CMAKE_BINARY_DIR}/quillpost.rc" @ONLY)
target_sources(quillpost PRIVATE "${CMAKE_BINARY_DIR}/quillpost.rc")
set_source_files_properties("${CMAKE_BINARY_DIR}/quillpost.rc" PROPERTIES
  OBJECT_DEPENDS "${QUILLPOST_APP_ICO};${QUILLPOST_MANIFEST}")
if(MSVC)
  # The linker merges the manifest into the one it makes itself.
  target_sources(quillpost PRIVATE "${QUILLPOST_MANIFEST}")
else()
  set_source_files_properties("${CMAKE_BINARY_DIR}/quillpost.rc" PROPERTIES
    COMPILE_DEFINITIONS QUILLPOST_RC_MANIFEST)
endif()
