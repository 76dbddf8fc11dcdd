# Stand-ins for the vendor D2XX library, loaded at run time by the d2xx
# backend tests: a complete one and one that lacks FT_GetDriverVersion.
add_library(fake_d2xx MODULE ${CMAKE_CURRENT_LIST_DIR}/fake_d2xx.c)
add_library(fake_d2xx_partial MODULE ${CMAKE_CURRENT_LIST_DIR}/fake_d2xx.c)
target_compile_definitions(fake_d2xx_partial PRIVATE FAKE_D2XX_WITHOUT_DRIVER_VERSION)

if(TARGET zjig_jiglink_tests)
    target_compile_definitions(zjig_jiglink_tests PRIVATE
        ZJIG_FAKE_D2XX_PATH="$<TARGET_FILE:fake_d2xx>"
        ZJIG_FAKE_D2XX_PARTIAL_PATH="$<TARGET_FILE:fake_d2xx_partial>")
    add_dependencies(zjig_jiglink_tests fake_d2xx fake_d2xx_partial)
endif()
