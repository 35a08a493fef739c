# The units free of system headers (docs/DEVELOPMENT.md), by their paths
# from the top. A unit joins by its source here, once; its header lies
# beside it. The Windows build compiles each into its folder's library
# (bountiq_portable_sources), the build machine's build all of them into one
# (cmake/host.cmake), and the Linux packing tool those of tools/pack/.
set(BOUNTIQ_PORTABLE_SOURCES
  support/Velqora.System.SysUtils.Text.cpp
  support/Velqora.System.Win.Internet.Entities.cpp
  controls/Project.VCL.AxLabel.HtmlParser.cpp
  controls/Project.VCL.AxLabel.HtmlDrawer.cpp
  controls/Project.VCL.AxLabel.HtmlDrawer.Ellipsis.cpp
  support/Velqora.System.Der.cpp
  support/CommandLine.cpp
  app/uCommandLine.cpp
  tools/pack/PeResources.cpp
  tools/pack/PeWriter.cpp
  tools/pack/InstallerResources.cpp)

# bountiq_portable_sources(VAR FOLDER): the units of FOLDER (a path from the
# top), as full paths.
function(bountiq_portable_sources var folder)
  cmake_path(GET CMAKE_CURRENT_FUNCTION_LIST_DIR PARENT_PATH top)
  set(found "")
  foreach(source IN LISTS BOUNTIQ_PORTABLE_SOURCES)
    cmake_path(GET source PARENT_PATH dir)
    if(dir STREQUAL folder)
      list(APPEND found ${top}/${source})
    endif()
  endforeach()
  if(NOT found)
    message(FATAL_ERROR "No portable unit lies in ${folder}/")
  endif()
  set(${var} ${found} PARENT_SCOPE)
endfunction()
