# Every third-party package comes from Debian; see scripts/install-deps.sh.
find_package(Threads REQUIRED)
find_package(nlohmann_json 3.11 REQUIRED)
find_package(PkgConfig REQUIRED)
pkg_check_modules(HTTPLIB REQUIRED IMPORTED_TARGET cpp-httplib)
# GenICam cameras (GigE Vision, USB3 Vision) through Aravis.
pkg_check_modules(ARAVIS REQUIRED IMPORTED_TARGET aravis-0.8)
find_package(TIFF REQUIRED)
find_package(DCMTK REQUIRED)

find_package(Qt5 5.15 REQUIRED COMPONENTS Core Gui Widgets Svg OpenGL Test)

# VTK 9.1 needs MPI's C target before its own package is read.
find_package(MPI REQUIRED COMPONENTS C)
find_package(VTK REQUIRED COMPONENTS
  CommonCore CommonExecutionModel CommonColor ImagingCore InteractionStyle
  IOImage RenderingCore RenderingOpenGL2 RenderingContextOpenGL2 GUISupportQt)

find_package(qtadvanceddocking REQUIRED)

# Qwt ships no CMake package.
find_path(QWT_INCLUDE_DIR qwt_plot.h PATH_SUFFIXES qwt REQUIRED)
find_library(QWT_LIBRARY qwt-qt5 REQUIRED)
add_library(Qwt::Qwt UNKNOWN IMPORTED)
set_target_properties(Qwt::Qwt PROPERTIES
  IMPORTED_LOCATION ${QWT_LIBRARY}
  INTERFACE_INCLUDE_DIRECTORIES ${QWT_INCLUDE_DIR})
target_link_libraries(Qwt::Qwt INTERFACE Qt5::Widgets Qt5::Svg)

find_package(GTest REQUIRED)
find_package(benchmark QUIET)
