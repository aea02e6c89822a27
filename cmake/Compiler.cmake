# Warnings, sanitizers and static linking shared by every target.
add_compile_options(-Wall -Wextra)
# Debug information names files relative to the source tree: no build machine's path is recorded,
# and two clones compile to the same objects, so that a compiler cache serves a fresh clone too.
add_compile_options(-fdebug-prefix-map=${PROJECT_SOURCE_DIR}=.)
if(PARLAVOX_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined)
endif()
if(PARLAVOX_FUZZ)
    # Coverage feedback from the libraries too, not only from the fuzz targets' own sources.
    add_compile_options(-fsanitize=fuzzer-no-link)
endif()
if(WIN32)
    # One self-contained executable per program: no MinGW runtime DLLs beside it.
    add_link_options(-static -static-libgcc -static-libstdc++)
    # Each function and object in a section of its own, so that a program linked with
    # --gc-sections (the setup programs) keeps only what it uses.
    add_compile_options(-ffunction-sections -fdata-sections)
    # The libraries of the setup programs also carry intermediate code for their link-time
    # optimisation (setup/win32/CMakeLists.txt); every other program links their machine code.
    add_link_options(-fno-lto)
    add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
endif()
