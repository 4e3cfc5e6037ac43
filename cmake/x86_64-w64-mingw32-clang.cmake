# Cross-building for 64-bit Windows with Debian's clang and lld, against the
# same mingw-w64 headers, import libraries and libstdc++ as the g++ build.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(triple x86_64-w64-mingw32)
set(CMAKE_C_COMPILER clang)
set(CMAKE_C_COMPILER_TARGET ${triple})
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_CXX_COMPILER_TARGET ${triple})
set(CMAKE_RC_COMPILER ${triple}-windres)
set(CMAKE_SYSROOT /usr/${triple})

# Debian keeps mingw-w64's libstdc++ in a folder named after the threads model
# ("12-posix"), which clang's driver does not look for: name it outright.
file(GLOB gcc_folders /usr/lib/gcc/${triple}/*-posix)
list(GET gcc_folders 0 gcc)
set(CMAKE_CXX_STANDARD_INCLUDE_DIRECTORIES
  ${gcc}/include/c++ ${gcc}/include/c++/${triple} ${gcc}/include/c++/backward)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-fuse-ld=lld -L${gcc}")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-fuse-ld=lld -L${gcc}")
# The posix-threads libstdc++ needs winpthread.
set(CMAKE_CXX_STANDARD_LIBRARIES "-lpthread")

set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

set(CMAKE_CROSSCOMPILING_EMULATOR wine)
