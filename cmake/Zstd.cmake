# The zstd library behind the dense method. Native builds link the system's libzstd (Debian's
# libzstd-dev); the MinGW build compiles the same upstream release from Debian's source package,
# which scripts/deps.sh fetches with `apt-get source` (dpkg-source verifies its checksums) into
# build/deps/, outside the tracked tree. Two Windows variants:
#   parlavox_zstd_full     encoder and decoder, optimised for speed (qdmx.exe, the tests);
#   parlavox_zstd_decoder  the decoder alone, optimised for size (the setup programs), without
#                          error strings, with the single-symbol Huffman decoder and the short
#                          sequence decoder only, without legacy formats, and (but for the block
#                          decoder) without inlining.
# A program chooses the decoder-only variant by setting its PARLAVOX_ZSTD_DECODER_ONLY property;
# parlavox_zstd (linked by the dense method's library) resolves to the right one for each program.
set(PARLAVOX_ZSTD_VERSION 1.5.4)
add_library(parlavox_zstd INTERFACE)
if(NOT CMAKE_CROSSCOMPILING)
    find_path(ZSTD_INCLUDE_DIR zstd.h REQUIRED)
    find_library(ZSTD_LIBRARY zstd REQUIRED)
    file(STRINGS ${ZSTD_INCLUDE_DIR}/zstd.h _zstd_version_lines REGEX "^#define ZSTD_VERSION_(MAJOR|MINOR|RELEASE) ")
    string(REGEX REPLACE "[^0-9]+([0-9]+)[^0-9]+([0-9]+)[^0-9]+([0-9]+).*" "\\1.\\2.\\3" _zstd_found "${_zstd_version_lines}")
    if(NOT _zstd_found VERSION_EQUAL PARLAVOX_ZSTD_VERSION)
        message(WARNING "libzstd ${_zstd_found} found; the Windows programs are built from ${PARLAVOX_ZSTD_VERSION}")
    endif()
    target_include_directories(parlavox_zstd SYSTEM INTERFACE ${ZSTD_INCLUDE_DIR})
    target_link_libraries(parlavox_zstd INTERFACE ${ZSTD_LIBRARY})
    return()
endif()

set(PARLAVOX_ZSTD_SOURCE_DIR ${PROJECT_SOURCE_DIR}/build/deps/libzstd-${PARLAVOX_ZSTD_VERSION}+dfsg2
    CACHE PATH "Unpacked zstd source package (scripts/deps.sh fetches it)")
set(_zstd_lib ${PARLAVOX_ZSTD_SOURCE_DIR}/lib)
if(NOT EXISTS ${_zstd_lib}/zstd.h)
    message(FATAL_ERROR "No zstd sources in ${PARLAVOX_ZSTD_SOURCE_DIR}: run scripts/deps.sh "
                        "(or `source scripts/deps.sh && parlavox_fetch_zstd_source`) first")
endif()
file(GLOB _zstd_common ${_zstd_lib}/common/*.c)
file(GLOB _zstd_decompress ${_zstd_lib}/decompress/*.c)
file(GLOB _zstd_compress ${_zstd_lib}/compress/*.c)
# No assembly (the x86-64 Huffman loops are written for ELF) and no threads in either variant.
set(_zstd_common_definitions ZSTD_DISABLE_ASM ZSTD_LEGACY_SUPPORT=0 XXH_NAMESPACE=ZSTD_)

add_library(parlavox_zstd_full STATIC ${_zstd_common} ${_zstd_decompress} ${_zstd_compress})
target_compile_definitions(parlavox_zstd_full PRIVATE ${_zstd_common_definitions})
target_compile_options(parlavox_zstd_full PRIVATE -O2 -w)

# The block decoder (literals and sequences, the loop an installation spends its time in) keeps
# its inlining: without it the decoder runs at half speed (about 620 instead of 1,150 MB/s on the
# text corpus, 340 instead of 590 on binaries, natively) for 10 KB less code. Everything else is
# built with ZSTD_NO_INLINE.
set(_zstd_block_decoder ${_zstd_lib}/decompress/zstd_decompress_block.c)
list(REMOVE_ITEM _zstd_decompress ${_zstd_block_decoder})
set(_zstd_decoder_definitions ${_zstd_common_definitions} ZSTD_STRIP_ERROR_STRINGS HUF_FORCE_DECOMPRESS_X1
    ZSTD_FORCE_DECOMPRESS_SEQUENCES_SHORT)
add_library(parlavox_zstd_block_decoder OBJECT ${_zstd_block_decoder})
target_compile_definitions(parlavox_zstd_block_decoder PRIVATE ${_zstd_decoder_definitions})
target_compile_options(parlavox_zstd_block_decoder PRIVATE -Os -w)
add_library(parlavox_zstd_decoder STATIC ${_zstd_common} ${_zstd_decompress}
                                         $<TARGET_OBJECTS:parlavox_zstd_block_decoder>)
target_compile_definitions(parlavox_zstd_decoder PRIVATE ${_zstd_decoder_definitions} ZSTD_NO_INLINE)
target_compile_options(parlavox_zstd_decoder PRIVATE -Os -w)

target_include_directories(parlavox_zstd SYSTEM INTERFACE ${_zstd_lib})
target_link_libraries(parlavox_zstd INTERFACE
    $<IF:$<BOOL:$<TARGET_PROPERTY:PARLAVOX_ZSTD_DECODER_ONLY>>,parlavox_zstd_decoder,parlavox_zstd_full>)
