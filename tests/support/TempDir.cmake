# The temporary folder helper, shared by the tests and the benchmarks: both
# include this file, the first one defines the library. Its include folder
# also gives both the header-only helpers of support/ (MachineFrame.h,
# ScopedEnv.h).
include_guard(GLOBAL)
add_library(tolvane_tempdir STATIC ${CMAKE_CURRENT_LIST_DIR}/TempDir.cpp)
target_include_directories(tolvane_tempdir PUBLIC ${CMAKE_CURRENT_LIST_DIR}/..)
