# The same 64-bit Windows target as mingw-w64-x86_64.cmake, compiled by clang instead of GCC, with
# MinGW-w64's headers and libraries and GCC's libstdc++ (posix threads). A second compiler finds
# the constructs that one accepts and the other refuses; the build is checked, not run.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(scrivane_triple x86_64-w64-mingw32)
set(CMAKE_C_COMPILER clang)
set(CMAKE_C_COMPILER_TARGET ${scrivane_triple})
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_CXX_COMPILER_TARGET ${scrivane_triple})
set(CMAKE_RC_COMPILER ${scrivane_triple}-windres)
set(CMAKE_SYSROOT /usr/${scrivane_triple})
set(CMAKE_FIND_ROOT_PATH /usr/${scrivane_triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Clang does not recognise Debian's GCC folder names ("12-posix"), so it is told where libstdc++
# and libgcc are. The posix folder: the win32 thread model has no std::mutex.
file(GLOB scrivane_gcc_dirs LIST_DIRECTORIES true /usr/lib/gcc/${scrivane_triple}/*-posix)
list(SORT scrivane_gcc_dirs COMPARE NATURAL ORDER DESCENDING)
list(GET scrivane_gcc_dirs 0 scrivane_gcc_dir)
set(scrivane_cxx_include ${scrivane_gcc_dir}/include/c++)
set(CMAKE_CXX_STANDARD_INCLUDE_DIRECTORIES ${scrivane_cxx_include} ${scrivane_cxx_include}/${scrivane_triple}
    ${scrivane_cxx_include}/backward)
# Static runtime as with GCC; -pthread puts winpthread after libgcc, whose emulated TLS needs it.
# LLVM's linker: GNU ld, given clang's objects beside GCC's libstdc++, reports every type name the
# two emit at different sizes ("duplicate section ... has different size").
set(CMAKE_EXE_LINKER_FLAGS_INIT "-fuse-ld=lld -L${scrivane_gcc_dir} -static -pthread")
