# The qdmx that packs the setup's payload at build time must run on the build machine. When
# cross-compiling, the same sources are configured once more for the host (tests off) as an
# external project inside this build folder and only its qdmx is built; otherwise the qdmx of
# this build serves. Sets PARLAVOX_HOST_QDMX (the program) and PARLAVOX_HOST_QDMX_TARGET.
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
