# The four pictures for Windows: drawn from the SVGs at build time into a multi-size .ico each
# (icon 128 becomes the executable's own icon) and one PNG per size, which the program loads as
# ":/icons/<id>/<size>.png" (Qt for Windows may lack Qt Svg). The drawing tool is built for the
# machine that builds, against its Qt Svg.
set(QUILLPOST_ICON_SIZES 16 20 24 32 40 48 256)
set(QUILLPOST_ICON_IDS 128 129 130 131)
set(_icons_out "${CMAKE_BINARY_DIR}/icons")

if(CMAKE_CROSSCOMPILING)
  include(ExternalProject)
  set(_render_dir "${CMAKE_BINARY_DIR}/icon-render-host")
  set(_render_tool "${_render_dir}/quillpost_icon_render")
  set(_render_args -DCMAKE_BUILD_TYPE=Release)
  if(CMAKE_CXX_COMPILER_LAUNCHER)
    list(APPEND _render_args "-DCMAKE_CXX_COMPILER_LAUNCHER=${CMAKE_CXX_COMPILER_LAUNCHER}")
  endif()
  ExternalProject_Add(quillpost_icon_render_host
    SOURCE_DIR "${PROJECT_SOURCE_DIR}/res/icon-render"
    BINARY_DIR "${_render_dir}"
    CMAKE_ARGS ${_render_args}
    INSTALL_COMMAND ""
    BUILD_BYPRODUCTS "${_render_tool}")
  set(_render_depends quillpost_icon_render_host "${_render_tool}")
else()
  find_package(Qt6 6.4 REQUIRED COMPONENTS Svg)
  add_subdirectory("${PROJECT_SOURCE_DIR}/res/icon-render" "${CMAKE_BINARY_DIR}/icon-render")
  set(_render_tool $<TARGET_FILE:quillpost_icon_render>)
  set(_render_depends quillpost_icon_render)
endif()

set(_icon_pngs)
foreach(_id IN LISTS QUILLPOST_ICON_IDS)
  set(_pngs)
  foreach(_size IN LISTS QUILLPOST_ICON_SIZES)
    list(APPEND _pngs "${_icons_out}/${_id}/${_size}.png")
  endforeach()
  add_custom_command(
    OUTPUT "${_icons_out}/${_id}.ico" ${_pngs}
    COMMAND ${_render_tool} "${PROJECT_SOURCE_DIR}/res/icons/${_id}.svg" "${_icons_out}/${_id}.ico"
            "${_icons_out}/${_id}" ${QUILLPOST_ICON_SIZES}
    DEPENDS "${PROJECT_SOURCE_DIR}/res/icons/${_id}.svg" ${_render_depends}
    COMMENT "Drawing icon ${_id}"
    VERBATIM)
  list(APPEND _icon_pngs ${_pngs})
endforeach()
set(QUILLPOST_APP_ICO "${_icons_out}/128.ico" CACHE INTERNAL "the executable's own icon")

qt_add_resources(quillpost_core "icons"
  PREFIX "/icons"
  BASE "${_icons_out}"
  FILES ${_icon_pngs})
