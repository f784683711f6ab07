# CPack's External generator runs this script after it installed the Windows program into its
# staging folder by the same rules as the zip: it writes Quorvane.wxs from
# data/windows/Quorvane.wxs.in with one component per staged file, and wixl makes
# Quorvane-<version>-win64.msi of it. The version is CPACK_PACKAGE_VERSION (`cpack -R` changes it).
cmake_minimum_required(VERSION 3.25)

set(stage "${CPACK_TEMPORARY_DIRECTORY}")
if(NOT EXISTS "${stage}/Quorvane.exe")
    message(FATAL_ERROR "No Quorvane.exe in the staged install (${stage})")
endif()

# A component keeps its GUID from version to version: the GUID is named after the file's place.
set(component_namespace "A0A2E007-526F-4511-A511-8B2A124A0901")

# An element id from a path inside the install folder: the path's hash, so any file name fits.
function(quorvane_wix_id prefix path out)
    string(SHA1 hash "${path}")
    string(SUBSTRING "${hash}" 0 24 hash)
    set(${out} "${prefix}${hash}" PARENT_SCOPE)
endfunction()

function(quorvane_xml_escape text out)
    string(REPLACE "&" "&amp;" text "${text}")
    string(REPLACE "<" "&lt;" text "${text}")
    string(REPLACE ">" "&gt;" text "${text}")
    string(REPLACE "\"" "&quot;" text "${text}")
    set(${out} "${text}" PARENT_SCOPE)
endfunction()

# Sets `folder_text` to the WiX elements of the folder `folder` (relative to the install folder,
# "" for itself), indented by `indent`: a component per file, then its subfolders; and
# `folder_components` to the ids of all their components.
function(quorvane_wix_folder folder indent)
    set(here "${stage}")
    if(folder)
        set(here "${stage}/${folder}")
    endif()
    file(GLOB entries LIST_DIRECTORIES true RELATIVE "${here}" "${here}/*")
    list(SORT entries)
    set(text "")
    set(components "")
    foreach(entry IN LISTS entries)
        set(path "${entry}")
        if(folder)
            set(path "${folder}/${entry}")
        endif()
        quorvane_xml_escape("${entry}" name)
        if(IS_DIRECTORY "${stage}/${path}")
            quorvane_wix_id(d "${path}" id)
            quorvane_wix_folder("${path}" "${indent}  ")
            string(APPEND text "${indent}<Directory Id=\"${id}\" Name=\"${name}\">\n"
                               "${folder_text}${indent}</Directory>\n")
            list(APPEND components ${folder_components})
        else()
            quorvane_wix_id(c "${path}" id)
            quorvane_wix_id(f "${path}" file_id)
            string(UUID guid NAMESPACE "${component_namespace}" NAME "${path}" TYPE SHA1 UPPER)
            quorvane_xml_escape("${path}" source)
            string(APPEND text "${indent}<Component Id=\"${id}\" Guid=\"${guid}\">\n"
                "${indent}  <File Id=\"${file_id}\" Name=\"${name}\" Source=\"${source}\""
                " KeyPath=\"yes\"/>\n"
                "${indent}</Component>\n")
            list(APPEND components "${id}")
        endif()
    endforeach()
    set(folder_text "${text}" PARENT_SCOPE)
    set(folder_components "${components}" PARENT_SCOPE)
endfunction()

quorvane_wix_folder("" "            ")
set(QUORVANE_INSTALL_FILES "${folder_text}")
set(QUORVANE_COMPONENT_REFS "")
foreach(id IN LISTS folder_components)
    string(APPEND QUORVANE_COMPONENT_REFS "      <ComponentRef Id=\"${id}\"/>\n")
endforeach()
set(QUORVANE_VERSION "${CPACK_PACKAGE_VERSION}")
# wixl takes no absolute source paths: the icon's path from the staging folder.
file(RELATIVE_PATH QUORVANE_ICON "${stage}" "${CPACK_QUORVANE_ICON}")
# The first version after this one: its third field, the last that Windows Installer compares,
# one higher.
if(NOT QUORVANE_VERSION MATCHES "^([0-9]+)\\.([0-9]+)\\.([0-9]+)$")
    message(FATAL_ERROR "The installer wants a version of three numbers, not ${QUORVANE_VERSION}")
endif()
math(EXPR next_build "${CMAKE_MATCH_3} + 1")
set(QUORVANE_NEXT_VERSION "${CMAKE_MATCH_1}.${CMAKE_MATCH_2}.${next_build}")

set(wxs "${CPACK_TOPLEVEL_DIRECTORY}/Quorvane.wxs")
set(msi "${CPACK_TOPLEVEL_DIRECTORY}/Quorvane-${CPACK_PACKAGE_VERSION}-win64.msi")
configure_file("${CPACK_QUORVANE_WXS_TEMPLATE}" "${wxs}" @ONLY)
# wixl takes the files' sources relative to the folder it runs in.
execute_process(COMMAND "${CPACK_QUORVANE_WIXL}" -a x64 -o "${msi}" "${wxs}"
                WORKING_DIRECTORY "${stage}" RESULT_VARIABLE status OUTPUT_VARIABLE output
                ERROR_VARIABLE output)
if(NOT status EQUAL 0 OR NOT EXISTS "${msi}")
    message(FATAL_ERROR "wixl failed (${status}) on ${wxs}:\n${output}")
endif()
set(CPACK_EXTERNAL_BUILT_PACKAGES "${msi}")
