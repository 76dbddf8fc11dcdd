# The desktop program itself, run as a child process by the test of its stop
# signals, and the source folder for the simulated JIG's firmware files.
if(TARGET zjig_gui_tests)
    target_compile_definitions(zjig_gui_tests PRIVATE
        ZJIG_GUI_BINARY="$<TARGET_FILE:zentravox-jig>"
        ZJIG_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
    add_dependencies(zjig_gui_tests zentravox-jig)
endif()
