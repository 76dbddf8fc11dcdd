# The sample script of the simulated controller, found wherever the tests run.
foreach(target zjig_nuvoton_jtag_form_tests zjig_nuvoton_jtag_form_window_tests)
    if(TARGET ${target})
        target_compile_definitions(${target} PRIVATE
            ZJIG_SIM_FIRMWARE_DIR="${PROJECT_SOURCE_DIR}/sim-firmware/")
    endif()
endforeach()
