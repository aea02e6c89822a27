# The zstd library behind the dense method. Native builds link the system's libzstd (Debian's
# libzstd-dev); the MinGW build compiles a release no older than that from Debian's source package,
# which scripts/deps.sh fetches with `apt-get source` (dpkg-source verifies its checksums) into
# build/deps/, outside the tracked tree. Two Windows variants:
#   parlavox_zstd_full     encoder and decoder, optimised for speed (qdmx.exe, the tests);
#   parlavox_zstd_decoder  the decoder alone, optimised for size (the setup programs), without
#                          error strings, with the single-symbol Huffman decoder and the short
#                          sequence decoder only, without legacy formats, and (but for the block
#                          decoder) without inlining.
# A program chooses the decoder-only variant by setting its PARLAVOX_ZSTD_DECODER_ONLY property;
# parlavox_zstd (linked by the dense method's library) resolves to the right one for each program.
# The upstream release of the Windows programs' zstd: Debian's source package 1.5.7+dfsg-1 of the
# suite trixie (scripts/deps.sh pins both).
set(PARLAVOX_ZSTD_VERSION 1.5.7)
set(PARLAVOX_ZSTD_SOURCE_NAME libzstd-${PARLAVOX_ZSTD_VERSION}+dfsg)

# The upstream version a zstd.h declares.
function(parlavox_zstd_header_version header out)
    file(STRINGS ${header} _lines REGEX "^#define ZSTD_VERSION_(MAJOR|MINOR|RELEASE) ")
    string(REGEX REPLACE "[^0-9]+([0-9]+)[^0-9]+([0-9]+)[^0-9]+([0-9]+).*" "\\1.\\2.\\3" _version "${_lines}")
    set(${out} ${_version} PARENT_SCOPE)
endfunction()

# The build machine's libzstd (Debian's libzstd-dev), which the native programs link: the Windows
# programs must not ship an older decoder than the one the native tests exercise.
find_path(ZSTD_NATIVE_INCLUDE_DIR zstd.h PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH REQUIRED)
parlavox_zstd_header_version(${ZSTD_NATIVE_INCLUDE_DIR}/zstd.h _zstd_native)

add_library(parlavox_zstd INTERFACE)
if(NOT CMAKE_CROSSCOMPILING)
    find_library(ZSTD_LIBRARY zstd REQUIRED)
    if(PARLAVOX_ZSTD_VERSION VERSION_LESS _zstd_native)
        message(FATAL_ERROR "The Windows programs' zstd ${PARLAVOX_ZSTD_VERSION} is older than the native "
                            "libzstd ${_zstd_native}: pin a newer source package in scripts/deps.sh")
    endif()
    target_include_directories(parlavox_zstd SYSTEM INTERFACE ${ZSTD_NATIVE_INCLUDE_DIR})
    target_link_libraries(parlavox_zstd INTERFACE ${ZSTD_LIBRARY})
    return()
endif()

set(PARLAVOX_ZSTD_SOURCE_DIR ${PROJECT_SOURCE_DIR}/build/deps/${PARLAVOX_ZSTD_SOURCE_NAME}
    CACHE PATH "Unpacked zstd source package (scripts/deps.sh fetches it)")
set(_zstd_lib ${PARLAVOX_ZSTD_SOURCE_DIR}/lib)
if(NOT EXISTS ${_zstd_lib}/zstd.h)
    message(FATAL_ERROR "No zstd sources in ${PARLAVOX_ZSTD_SOURCE_DIR}: run scripts/deps.sh "
                        "(or `source scripts/deps.sh && parlavox_fetch_zstd_source`) first")
endif()
parlavox_zstd_header_version(${_zstd_lib}/zstd.h _zstd_windows)
if(_zstd_windows VERSION_LESS _zstd_native)
    message(FATAL_ERROR "The Windows programs' zstd ${_zstd_windows} (${PARLAVOX_ZSTD_SOURCE_DIR}) is older "
                        "than the native libzstd ${_zstd_native}")
endif()
message(STATUS "zstd for the Windows programs: ${_zstd_windows} from ${PARLAVOX_ZSTD_SOURCE_DIR} "
               "(native libzstd ${_zstd_native})")
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
# built with ZSTD_NO_INLINE. Of the two sequence decoders only the one that prefetches the matches'
# sources is kept: the dense method's 64 MiB window makes far matches common, whose loads otherwise
# stall the loop (the install benchmark's decoding thread: about a tenth less CPU time than with
# the short-offset decoder; both together cost 14 KB).
set(_zstd_block_decoder ${_zstd_lib}/decompress/zstd_decompress_block.c)
list(REMOVE_ITEM _zstd_decompress ${_zstd_block_decoder})
set(_zstd_decoder_definitions ${_zstd_common_definitions} ZSTD_STRIP_ERROR_STRINGS HUF_FORCE_DECOMPRESS_X1
    ZSTD_FORCE_DECOMPRESS_SEQUENCES_LONG)
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
