# GNOME Shell loads an extension's extension.js as an ES module from GNOME 45 on, and with the
# legacy `imports` before; one file cannot serve both. An extension is written once, as a body
# (helper.js) defining `class Helper` with enable() and disable(), and wrapped here into both
# forms. Each form's metadata lists only the releases it was run on (the API it uses is the same
# from 45 to 49).
set(OVRA_SHELL_VERSIONS_43 [["43", "44"]])
set(OVRA_SHELL_VERSIONS_45 [["45", "46", "47", "48", "49"]])
set(ovra_shell_wrappers ${CMAKE_CURRENT_LIST_DIR}/gnome-shell)

# ovra_gnome_shell_extension(SOURCE_DIR OUTPUT_DIR): SOURCE_DIR, named as the extension's uuid,
# holds helper.js and metadata.json.in; writes OUTPUT_DIR/43/<uuid>/ and OUTPUT_DIR/45/<uuid>/.
function(ovra_gnome_shell_extension source_dir output_dir)
    get_filename_component(uuid ${source_dir} NAME)
    set(OVRA_SHELL_BODY_FILE ${source_dir}/helper.js)
    file(READ ${OVRA_SHELL_BODY_FILE} OVRA_SHELL_BODY)
    file(RELATIVE_PATH OVRA_SHELL_BODY_FILE ${PROJECT_SOURCE_DIR} ${OVRA_SHELL_BODY_FILE})
    foreach(form 43 45)
        set(OVRA_SHELL_VERSIONS ${OVRA_SHELL_VERSIONS_${form}})
        configure_file(${ovra_shell_wrappers}/extension-${form}.js.in
                       ${output_dir}/${form}/${uuid}/extension.js @ONLY)
        configure_file(${source_dir}/metadata.json.in ${output_dir}/${form}/${uuid}/metadata.json
                       @ONLY)
    endforeach()
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${source_dir}/helper.js)
endfunction()

# The form the GNOME Shell of this machine loads (the installed default and the one the
# end-to-end tests run); GNOME 45's when there is no shell here.
set(OVRA_SHELL_FORM 45)
find_program(OVRA_GNOME_SHELL gnome-shell)
if(OVRA_GNOME_SHELL)
    execute_process(COMMAND ${OVRA_GNOME_SHELL} --version OUTPUT_VARIABLE ovra_shell_version
                    ERROR_QUIET TIMEOUT 20)
    if(ovra_shell_version MATCHES "GNOME Shell ([0-9]+)" AND CMAKE_MATCH_1 LESS 45)
        set(OVRA_SHELL_FORM 43)
    endif()
endif()

ovra_gnome_shell_extension(${PROJECT_SOURCE_DIR}/data/gnome-shell/ovra@ovra.app
                           ${PROJECT_BINARY_DIR}/data/gnome-shell)
