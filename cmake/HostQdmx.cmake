# The qdmx that packs the setup's payload at build time must run on the build machine. When
# cross-compiling, the same sources are configured once more for the host (tests off) as an
# external project inside this build folder and only its qdmx is built, unless
# PARLAVOX_BUILD_MACHINE_QDMX names a qdmx built already (scripts/test passes its Linux build's,
# which saves compiling the library a third time); otherwise the qdmx of this build serves. Sets
# PARLAVOX_HOST_QDMX (the program) and PARLAVOX_HOST_QDMX_TARGET (what packing depends on).
set(PARLAVOX_BUILD_MACHINE_QDMX "" CACHE FILEPATH "A qdmx for the build machine; empty: built with this build")
if(PARLAVOX_BUILD_MACHINE_QDMX AND NOT EXISTS ${PARLAVOX_BUILD_MACHINE_QDMX})
    message(WARNING "PARLAVOX_BUILD_MACHINE_QDMX: no program ${PARLAVOX_BUILD_MACHINE_QDMX}; building one")
    set(PARLAVOX_BUILD_MACHINE_QDMX "" CACHE FILEPATH "" FORCE)
endif()
if(CMAKE_CROSSCOMPILING AND PARLAVOX_BUILD_MACHINE_QDMX)
    set(PARLAVOX_HOST_QDMX ${PARLAVOX_BUILD_MACHINE_QDMX})
    set(PARLAVOX_HOST_QDMX_TARGET ${PARLAVOX_BUILD_MACHINE_QDMX})
    return()
endif()
if(CMAKE_CROSSCOMPILING)
    include(ExternalProject)
    set(_host_dir ${CMAKE_BINARY_DIR}/host-tools)
    # Under make the nested build joins the outer build's job server.
    if(CMAKE_GENERATOR MATCHES "Makefiles")
        set(_host_build $(MAKE) qdmx)
    else()
        set(_host_build ${CMAKE_COMMAND} --build ${_host_dir} --target qdmx)
    endif()
    ExternalProject_Add(host_tools
        SOURCE_DIR ${PROJECT_SOURCE_DIR}
        BINARY_DIR ${_host_dir}
        CMAKE_ARGS -DCMAKE_BUILD_TYPE=Release -DPARLAVOX_TESTS=OFF -DPARLAVOX_FUZZ=OFF -DPARLAVOX_BENCH=OFF
        BUILD_COMMAND ${_host_build}
        INSTALL_COMMAND ""
        BUILD_ALWAYS ON
        BUILD_BYPRODUCTS ${_host_dir}/tools/qdmx/qdmx
        EXCLUDE_FROM_ALL ON)
    set(PARLAVOX_HOST_QDMX ${_host_dir}/tools/qdmx/qdmx)
    set(PARLAVOX_HOST_QDMX_TARGET host_tools)
else()
    set(PARLAVOX_HOST_QDMX $<TARGET_FILE:qdmx>)
    set(PARLAVOX_HOST_QDMX_TARGET qdmx)
endif()
