# What the Windows program needs beside Quorvane.exe: the Qt DLLs, the Qt plugins it loads
# (window system, TLS, style) and the MinGW-w64 runtime DLLs. They are copied into bin/ at build
# time, so that the programs and the tests run from there, and installed beside the program.

# The Qt DLLs and plugins, each as "file|folder" (folder relative to the program's).
set(quorvane_qt_runtime
    "$<TARGET_FILE:Qt6::Core>|."
    "$<TARGET_FILE:Qt6::Gui>|."
    "$<TARGET_FILE:Qt6::Widgets>|."
    "$<TARGET_FILE:Qt6::Network>|."
    "$<TARGET_FILE:Qt6::QWindowsIntegrationPlugin>|platforms"
    "$<TARGET_FILE:Qt6::QSchannelBackendPlugin>|tls"
    "$<TARGET_FILE:Qt6::QWindowsVistaStylePlugin>|styles"
)

# The MinGW runtime that the Qt DLLs link: the compiler knows where its own copies are.
set(quorvane_mingw_runtime)
foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
    execute_process(COMMAND "${CMAKE_CXX_COMPILER}" -print-file-name=${dll}
                    OUTPUT_VARIABLE dll_path OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT IS_ABSOLUTE "${dll_path}" OR NOT EXISTS "${dll_path}")
        message(FATAL_ERROR "The MinGW runtime ${dll} was not found (${CMAKE_CXX_COMPILER})")
    endif()
    list(APPEND quorvane_mingw_runtime "${dll_path}")
endforeach()

# Copies into bin/ the runtime and, for the tests, Qt Test and the offscreen platform.
set(copy_commands)
foreach(entry IN LISTS quorvane_qt_runtime
        ITEMS "$<TARGET_FILE:Qt6::Test>|." "$<TARGET_FILE:Qt6::QOffscreenIntegrationPlugin>|platforms")
    string(REPLACE "|" ";" parts "${entry}")
    list(GET parts 0 file)
    list(GET parts 1 folder)
    list(APPEND copy_commands
        COMMAND "${CMAKE_COMMAND}" -E make_directory "${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/${folder}"
        COMMAND "${CMAKE_COMMAND}" -E copy_if_different "${file}"
                "${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/${folder}/")
endforeach()
add_custom_target(quorvane_windows_runtime ALL
    ${copy_commands}
    COMMAND "${CMAKE_COMMAND}" -E copy_if_different ${quorvane_mingw_runtime}
            "${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/"
    COMMENT "Qt and MinGW runtime DLLs into bin/"
    VERBATIM)

# The package: everything in one folder, the programs at its top.
foreach(entry IN LISTS quorvane_qt_runtime)
    string(REPLACE "|" ";" parts "${entry}")
    list(GET parts 0 file)
    list(GET parts 1 folder)
    install(FILES "${file}" DESTINATION "${folder}")
endforeach()
install(FILES ${quorvane_mingw_runtime} DESTINATION .)
# Debian's MinGW runtime DLLs carry their debugging sections (libstdc++ 23 MB of them).
if(CMAKE_STRIP)
    foreach(dll IN LISTS quorvane_mingw_runtime)
        get_filename_component(dll_name "${dll}" NAME)
        install(CODE "
            if(CMAKE_INSTALL_DO_STRIP)
                execute_process(COMMAND \"${CMAKE_STRIP}\" --strip-debug
                                \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${dll_name}\")
            endif()")
    endforeach()
endif()
