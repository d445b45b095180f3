# Windows i686, the build for 32-bit hosts.
set(TAVRIN_MINGW_ARCH i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
