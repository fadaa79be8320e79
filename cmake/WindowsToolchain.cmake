# Cross build for 64-bit Windows on Debian 12: Debian's mingw-w64 and a Qt 6.4.2 built with it,
# unpacked beside the build folder from its archive on first use. The archive is
# ../shared/toolchains/qt6-mingw-6.4.2.tar.xz next to the sources, or the file named by the
# environment variable QUILLPOST_QT_MINGW_ARCHIVE. moc, rcc and uic come from Debian's own Qt.
set(_qt_mingw_name qt6-mingw-6.4.2)
# Compiler checks run this file again from folders of their own: they take the first run's answer.
if(DEFINED ENV{QUILLPOST_QT_MINGW_DIR_FOUND})
  set(_qt_mingw_dir "$ENV{QUILLPOST_QT_MINGW_DIR_FOUND}")
else()
  get_filename_component(_qt_mingw_parent "${CMAKE_BINARY_DIR}" DIRECTORY)
  set(_qt_mingw_dir "${_qt_mingw_parent}/${_qt_mingw_name}")
endif()

if(NOT EXISTS "${_qt_mingw_dir}/lib/cmake/Qt6/qt.toolchain.cmake")
  if(DEFINED ENV{QUILLPOST_QT_MINGW_ARCHIVE})
    set(_qt_mingw_archive "$ENV{QUILLPOST_QT_MINGW_ARCHIVE}")
  else()
    get_filename_component(_qt_mingw_archive
      "${CMAKE_CURRENT_LIST_DIR}/../../shared/toolchains/${_qt_mingw_name}.tar.xz" ABSOLUTE)
  endif()
  if(NOT EXISTS "${_qt_mingw_archive}")
    message(FATAL_ERROR
      "The Windows build needs Qt 6.4.2 cross-built for mingw-w64 (${_qt_mingw_name}.tar.xz), "
      "and there is none at ${_qt_mingw_archive}.\n"
      "Put the archive there, or set QUILLPOST_QT_MINGW_ARCHIVE to its path, or unpack it so that "
      "${_qt_mingw_dir}/lib/cmake/Qt6/qt.toolchain.cmake exists.")
  endif()
  message(STATUS "Unpacking ${_qt_mingw_archive} into ${_qt_mingw_parent}")
  file(MAKE_DIRECTORY "${_qt_mingw_parent}")
  execute_process(COMMAND ${CMAKE_COMMAND} -E tar xJf "${_qt_mingw_archive}"
                  WORKING_DIRECTORY "${_qt_mingw_parent}" RESULT_VARIABLE _qt_mingw_unpacked)
  if(NOT _qt_mingw_unpacked EQUAL 0 OR NOT EXISTS "${_qt_mingw_dir}/lib/cmake/Qt6/qt.toolchain.cmake")
    message(FATAL_ERROR "Could not unpack ${_qt_mingw_archive} into ${_qt_mingw_parent}.")
  endif()
endif()

set(ENV{QUILLPOST_QT_MINGW_DIR_FOUND} "${_qt_mingw_dir}")
set(QT_CHAINLOAD_TOOLCHAIN_FILE "${_qt_mingw_dir}/mingw64.cmake")
set(QT_HOST_PATH /usr CACHE PATH "Debian's Qt, whose tools the cross build runs")
set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake CACHE PATH "")
# Where the test run and the installation find the Qt DLLs and plugins.
set(QUILLPOST_QT_MINGW_DIR "${_qt_mingw_dir}" CACHE INTERNAL "")
include("${_qt_mingw_dir}/lib/cmake/Qt6/qt.toolchain.cmake")
