# Test executables of the Windows build run under Wine, in a private prefix inside the build folder.
set(PARLAVOX_WINEPREFIX "${CMAKE_BINARY_DIR}/wineprefix")
# Every prefix of the build folder (this one, the end-to-end runs', the walk-through's) is a copy of
# one booted template prefix.
set(PARLAVOX_WINE_TEMPLATE "${CMAKE_BINARY_DIR}/wine-template")
set(PARLAVOX_FRESH_WINE_PREFIX "${PROJECT_SOURCE_DIR}/tests/support/fresh-wine-prefix.sh")
configure_file(${CMAKE_CURRENT_LIST_DIR}/wine-run.sh.in ${CMAKE_BINARY_DIR}/wine-run @ONLY
               FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ
                                WORLD_EXECUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run)
