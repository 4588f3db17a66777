# Debian's hardening for what we build and ship: the stack protector, fortified libc calls,
# position-independent executables, and relocations made read-only and bound at start: what
# DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags gives a package on Debian 12, where PIE
# is the compiler's default. Included before the folders, so every target, the tests among
# them, is built the way the package is.
#
# QJ_HARDENED tells whether the build gets all of it, so that the package checks apply.

include(CheckPIESupported)
set(CMAKE_POSITION_INDEPENDENT_CODE ON)
check_pie_supported()

add_compile_options(-fstack-protector-strong -Wformat -Werror=format-security)
add_link_options(LINKER:-z,relro LINKER:-z,now)

# _FORTIFY_SOURCE works only with optimisation (glibc warns without it, which QJ_WERROR makes an
# error). The sanitizer builds go without it: AddressSanitizer cannot see into the fortified
# copies of memcpy and its kin, and checks those calls better itself. The symbol is undefined
# first, so a compiler or CXXFLAGS that already set another level does not make a warning.
set(QJ_HARDENED_CONFIGS Release RelWithDebInfo MinSizeRel)
if(NOT QJ_SANITIZE AND NOT QJ_FUZZ)
    string(REPLACE ";" "," configs "${QJ_HARDENED_CONFIGS}")
    set(optimised "$<CONFIG:${configs}>")
    add_compile_options("$<${optimised}:-U_FORTIFY_SOURCE>" "$<${optimised}:-D_FORTIFY_SOURCE=2>")
endif()

if(NOT QJ_SANITIZE AND NOT QJ_FUZZ AND CMAKE_BUILD_TYPE IN_LIST QJ_HARDENED_CONFIGS)
    set(QJ_HARDENED ON)
else()
    set(QJ_HARDENED OFF)
endif()
