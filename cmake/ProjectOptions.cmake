# One interface target that every target of the project links: language level, warnings and
# the optional sanitizers.
option(QUORVANE_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
option(QUORVANE_WERROR "Treat warnings as errors" OFF)

set(CMAKE_CXX_STANDARD 20)
set(CMAKE_CXX_STANDARD_REQUIRED ON)
set(CMAKE_CXX_EXTENSIONS OFF)

add_library(quorvane_options INTERFACE)
target_compile_features(quorvane_options INTERFACE cxx_std_20)

if(MSVC)
    target_compile_options(quorvane_options INTERFACE /W4 /utf-8)
else()
    target_compile_options(quorvane_options INTERFACE
        -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wno-sign-conversion
        -Wnon-virtual-dtor -Woverloaded-virtual)
    if(QUORVANE_WERROR)
        target_compile_options(quorvane_options INTERFACE -Werror)
    endif()
endif()

# The Windows headers without the parts that clash with the standard library (min, max) and
# without the rarely used APIs; a file that needs one of those includes its header itself.
if(WIN32)
    target_compile_definitions(quorvane_options INTERFACE NOMINMAX WIN32_LEAN_AND_MEAN)
endif()

if(QUORVANE_SANITIZE)
    target_compile_options(quorvane_options INTERFACE
        -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    target_link_options(quorvane_options INTERFACE -fsanitize=address,undefined)
endif()
