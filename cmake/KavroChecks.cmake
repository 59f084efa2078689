# Compiler checks for our own code.
#
# kavro_warnings: the warnings every target of ours is built with (-Wall -Wextra). With
# -DKAVRO_WERROR=ON (CI) a warning fails the build. kavro_link_warnings() links it into every
# program and library defined below the top folder, so a new target cannot forget it.
#
# -DKAVRO_SANITIZE=ON builds everything with AddressSanitizer and UndefinedBehaviorSanitizer
# (scripts/test --sanitize, in its own build folder).

option(KAVRO_WERROR "Treat compiler warnings in our own code as errors" OFF)
option(KAVRO_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)

add_library(kavro_warnings INTERFACE)
target_compile_options(kavro_warnings INTERFACE -Wall -Wextra $<$<BOOL:${KAVRO_WERROR}>:-Werror>)

if(KAVRO_SANITIZE)
    set(KAVRO_SANITIZE_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=undefined
        -fno-omit-frame-pointer)
    add_compile_options(${KAVRO_SANITIZE_FLAGS})
    add_link_options(${KAVRO_SANITIZE_FLAGS})
endif()

function(kavro_link_warnings dir)
    get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
    foreach(t ${targets})
        get_target_property(type ${t} TYPE)
        if(type MATCHES "^(EXECUTABLE|STATIC_LIBRARY|SHARED_LIBRARY|OBJECT_LIBRARY|MODULE_LIBRARY)$")
            target_link_libraries(${t} PRIVATE kavro_warnings)
        endif()
    endforeach()
    get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
    foreach(sub ${subdirs})
        kavro_link_warnings(${sub})
    endforeach()
endfunction()
