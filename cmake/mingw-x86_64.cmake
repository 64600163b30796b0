# 64-bit Windows: the same code, for testing under Wine on machines that cannot execute
# 32-bit programs (a kernel without IA32 emulation cannot start Wine's 32-bit loader).
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(BRIMSTEAD_TARGET_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
