# Cross build for 64-bit Windows with the mingw-w64 posix-thread toolchain.
# Test programs run through Wine (scripts/wine-run), so CTest works unchanged.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TOOLCHAIN_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER   ${TOOLCHAIN_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TOOLCHAIN_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER  ${TOOLCHAIN_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TOOLCHAIN_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run)

# A compiler cache speeds up rebuilds in several checkouts when one is installed.
find_program(ORIN_CCACHE ccache)
if(ORIN_CCACHE)
  # Paths relative to the checkout, so that checkouts share their entries.
  get_filename_component(ORIN_SOURCE_ROOT ${CMAKE_CURRENT_LIST_DIR}/.. ABSOLUTE)
  set(CMAKE_CXX_COMPILER_LAUNCHER env CCACHE_BASEDIR=${ORIN_SOURCE_ROOT} CCACHE_NOHASHDIR=1
      ${ORIN_CCACHE})
endif()
