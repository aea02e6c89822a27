# Fails the build when a program that may run elevated imports a DLL at start other than KERNEL32
# and the C runtime: such an import would be looked up beside the program before its first line
# runs. Every other system DLL must come through the delay-load libraries.
#
# cmake -DOBJDUMP=... -DPROGRAM=setup.exe -P CheckStaticImports.cmake
execute_process(COMMAND ${OBJDUMP} -p ${PROGRAM} OUTPUT_VARIABLE headers COMMAND_ERROR_IS_FATAL ANY)
string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${headers}")
foreach(import IN LISTS imports)
    string(REGEX REPLACE "^DLL Name: " "" dll "${import}")
    string(TOLOWER "${dll}" dll)
    if(NOT dll MATCHES "^(kernel32|msvcrt)\\.dll$")
        message(FATAL_ERROR "${PROGRAM} imports ${dll} at start; only KERNEL32 and the C runtime may be")
    endif()
endforeach()
