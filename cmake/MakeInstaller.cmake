# Makes the Windows installer from an installed folder with NSIS:
#   cmake -DSTAGE=<installed folder> -DOUTFILE=<setup.exe> -DICON=<icon.ico> -DVERSION=1.2
#         [-DMAKENSIS=makensis] -P cmake/MakeInstaller.cmake
# It lists the folder's files for the installer and, in reverse, for the uninstaller, which so
# removes exactly what was installed.
foreach(_required STAGE OUTFILE ICON VERSION)
  if(NOT DEFINED ${_required})
    message(FATAL_ERROR "MakeInstaller.cmake needs -D${_required}=...")
  endif()
endforeach()
if(NOT DEFINED MAKENSIS)
  find_program(MAKENSIS NAMES makensis REQUIRED)
endif()
get_filename_component(STAGE "${STAGE}" ABSOLUTE)
get_filename_component(OUTFILE "${OUTFILE}" ABSOLUTE)
file(GLOB_RECURSE _files RELATIVE "${STAGE}" LIST_DIRECTORIES false "${STAGE}/*")
list(SORT _files)

set(_install "")
set(_uninstall "")
set(_dirs "")
set(_current_dir "")
foreach(_file IN LISTS _files)
  get_filename_component(_dir "${_file}" DIRECTORY)
  file(TO_NATIVE_PATH "${_file}" _native)
  string(REPLACE "/" "\\" _native "${_native}")
  string(REPLACE "/" "\\" _native_dir "${_dir}")
  if(NOT _dir STREQUAL _current_dir)
    set(_install "${_install}SetOutPath \"$INSTDIR\\${_native_dir}\"\n")
    set(_current_dir "${_dir}")
    if(_dir)
      list(APPEND _dirs "${_native_dir}")
    endif()
  endif()
  set(_install "${_install}File \"${STAGE}/${_file}\"\n")
  set(_uninstall "${_uninstall}Delete \"$INSTDIR\\${_native}\"\n")
endforeach()
list(REMOVE_DUPLICATES _dirs)
list(REVERSE _dirs)
foreach(_dir IN LISTS _dirs)
  set(_uninstall "${_uninstall}RMDir \"$INSTDIR\\${_dir}\"\n")
endforeach()
set(_install "${_install}SetOutPath \"$INSTDIR\"\n")

get_filename_component(_work "${OUTFILE}" DIRECTORY)
file(WRITE "${_work}/installer-files.nsh" "${_install}")
file(WRITE "${_work}/uninstaller-files.nsh" "${_uninstall}")
execute_process(
  COMMAND "${MAKENSIS}" -V2 "-DSTAGE=${STAGE}" "-DOUTFILE=${OUTFILE}" "-DICON=${ICON}" "-DVERSION=${VERSION}"
          "-DFILELIST=${_work}/installer-files.nsh" "-DUNFILELIST=${_work}/uninstaller-files.nsh"
          "${CMAKE_CURRENT_LIST_DIR}/../res/quillpost.nsi"
  RESULT_VARIABLE _made)
if(NOT _made EQUAL 0)
  message(FATAL_ERROR "makensis failed")
endif()
