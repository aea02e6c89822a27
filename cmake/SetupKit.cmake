# The publisher's kit and the installation layout.
#
# Windows build: the target setup-kit packs parlavox-setup-kit-VERSION.zip (setup-template.exe,
# qdmx.exe, PUBLISHING.md, the sample dictionary as example/), and `cmake --install` puts
# qdmx.exe and setup-template.exe side by side in bin/.
# Native build: `cmake --install` puts qdmx in bin/ and the kit's other files in
# share/parlavox-setup/ (where qdmx make-setup looks for the template) and share/doc/; the Windows
# programs come from a Windows build folder (PARLAVOX_WINDOWS_BUILD_DIR) when it has them.
include(GNUInstallDirs)
set(_kit_share ${CMAKE_INSTALL_DATADIR}/parlavox-setup)
set(_kit_doc ${CMAKE_INSTALL_DATADIR}/doc/parlavox-setup)
set(_resources ${PROJECT_SOURCE_DIR}/resources)

install(FILES ${PROJECT_SOURCE_DIR}/docs/PUBLISHING.md DESTINATION ${_kit_doc})
install(FILES ${_resources}/support.txt DESTINATION ${_kit_share}/example)
install(DIRECTORY ${_resources}/dictionary ${_resources}/vellumor DESTINATION ${_kit_share}/example)

if(WIN32)
    install(TARGETS qdmx setup-template RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    install(TARGETS velmor RUNTIME DESTINATION ${_kit_share}/example/vellumor)

    set(_name parlavox-setup-kit-${PROJECT_VERSION})
    set(_stage ${CMAKE_BINARY_DIR}/kit)
    set(_zip ${CMAKE_BINARY_DIR}/${_name}.zip)
    file(GLOB_RECURSE _example_files CONFIGURE_DEPENDS ${_resources}/dictionary/* ${_resources}/vellumor/*)
    add_custom_command(OUTPUT ${_zip}
        COMMAND ${CMAKE_COMMAND} -E rm -rf ${_stage}/${_name} ${_zip}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${_stage}/${_name}/example
        COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:setup-template> $<TARGET_FILE:qdmx>
                ${PROJECT_SOURCE_DIR}/docs/PUBLISHING.md ${_stage}/${_name}
        COMMAND ${CMAKE_COMMAND} -E copy ${_resources}/support.txt ${_stage}/${_name}/example
        COMMAND ${CMAKE_COMMAND} -E copy_directory ${_resources}/dictionary ${_stage}/${_name}/example/dictionary
        COMMAND ${CMAKE_COMMAND} -E copy_directory ${_resources}/vellumor ${_stage}/${_name}/example/vellumor
        COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:velmor> ${_stage}/${_name}/example/vellumor
        COMMAND ${CMAKE_COMMAND} -E chdir ${_stage} ${CMAKE_COMMAND} -E tar cf ${_zip} --format=zip ${_name}
        DEPENDS setup-template qdmx velmor ${PROJECT_SOURCE_DIR}/docs/PUBLISHING.md ${_resources}/support.txt
                ${_example_files}
        COMMENT "Packing the publisher's kit ${_name}.zip")
    add_custom_target(setup-kit ALL DEPENDS ${_zip})
else()
    install(TARGETS qdmx RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    set(PARLAVOX_WINDOWS_BUILD_DIR ${PROJECT_SOURCE_DIR}/build/windows CACHE PATH
        "Windows build folder whose setup-template.exe and velmor.exe the native installation takes")
    install(FILES ${PARLAVOX_WINDOWS_BUILD_DIR}/setup/win32/setup-template.exe DESTINATION ${_kit_share} OPTIONAL)
    install(PROGRAMS ${PARLAVOX_WINDOWS_BUILD_DIR}/tools/velmor/velmor.exe
            DESTINATION ${_kit_share}/example/vellumor OPTIONAL)
endif()
