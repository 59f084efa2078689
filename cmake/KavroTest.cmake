# kavro_add_test(<name> <source>...): one Qt Test executable, registered with ctest, run headless
# (offscreen platform) in a fixed English locale so texts such as dates compare exactly.
function(kavro_add_test name)
    add_executable(${name} ${ARGN})
    target_link_libraries(${name} PRIVATE kavro_testsupport)
    target_precompile_headers(${name} REUSE_FROM kavro_testsupport)
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LANG=en_US.UTF-8;LC_ALL=en_US.UTF-8;KAVRO_TEST=1"
        TIMEOUT 300)
endfunction()
