# The zjig program itself, run as a child process by the tests whose point is
# a signal or a closed standard descriptor.
if(TARGET zjig_cli_tests)
    target_compile_definitions(zjig_cli_tests PRIVATE ZJIG_BINARY="$<TARGET_FILE:zjig>"
                               ZJIG_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
    add_dependencies(zjig_cli_tests zjig)
endif()
