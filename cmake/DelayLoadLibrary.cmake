# Makes a delay-load import library for one system DLL from the tool chain's ordinary import
# library: every function that the ordinary library exports (its code thunks, as nm lists them)
# goes into a module-definition file, from which dlltool writes the delay-load library. A program
# linked with it imports nothing from the DLL at start; the DLL is loaded on the first call.
#
# cmake -DNM=... -DDLLTOOL=... -DIMPORT_LIBRARY=libNAME.a -DDLL=NAME.dll -DDEF=NAME.def
#       -DOUTPUT=libNAME-delay.a -P DelayLoadLibrary.cmake
execute_process(COMMAND ${NM} --defined-only ${IMPORT_LIBRARY} OUTPUT_VARIABLE symbols
                RESULT_VARIABLE status COMMAND_ERROR_IS_FATAL ANY)
string(REGEX MATCHALL "[0-9a-f]+ T [A-Za-z_][A-Za-z0-9_@]*" thunks "${symbols}")
set(exports "")
foreach(thunk IN LISTS thunks)
    string(REGEX REPLACE "^[0-9a-f]+ T " "" name "${thunk}")
    string(APPEND exports "    ${name}\n")
endforeach()
if(exports STREQUAL "")
    message(FATAL_ERROR "${IMPORT_LIBRARY} lists no functions")
endif()
file(WRITE ${DEF} "LIBRARY ${DLL}\nEXPORTS\n${exports}")
execute_process(COMMAND ${DLLTOOL} --def ${DEF} --dllname ${DLL} --output-delaylib ${OUTPUT}
                COMMAND_ERROR_IS_FATAL ANY)
