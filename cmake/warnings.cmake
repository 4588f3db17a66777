# The warnings every target of ours is built with. -Wconversion catches the silent narrowing
# that byte arithmetic on frames invites; -Wshadow a local hiding a member of the same name.
# QJ_WERROR turns them into errors, so the tree stays clean instead of collecting them.
# clang counts sign changes as conversions too (g++ does not for C++); that would flag every
# table looked up by an int wire id or index, which the tables check at their edge instead.
set(QJ_WARNINGS -Wall -Wextra -Wpedantic -Wshadow -Wconversion
    $<$<CXX_COMPILER_ID:Clang>:-Wno-sign-conversion>)

function(qj_warnings target)
    target_compile_options(${target} PRIVATE ${QJ_WARNINGS} $<$<BOOL:${QJ_WERROR}>:-Werror>)
endfunction()

# Applies qj_warnings to every target in DIR and the folders below it that compiles sources,
# so a new library or test picks them up without a line of its own.
function(qj_warnings_everywhere dir)
    get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
    foreach(target IN LISTS targets)
        get_target_property(type ${target} TYPE)
        if(type MATCHES "^(EXECUTABLE|STATIC_LIBRARY|SHARED_LIBRARY|MODULE_LIBRARY|OBJECT_LIBRARY)$")
            qj_warnings(${target})
        endif()
    endforeach()
    get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
    foreach(subdir IN LISTS subdirs)
        qj_warnings_everywhere(${subdir})
    endforeach()
endfunction()
