# Builds the Windows installer, so that two builds of the same sources give the same bytes:
#   cmake -DDEFINITIONS=<file> -DVERSION=<version> -DSTAGE=<folder> -DOUTPUT=<msi> -P msi.cmake
# The definitions file, which packaging/CMakeLists.txt writes, names the tools, the program and
# its icon, the title, description, publisher and release date.
#
# wixl stamps the package with the time it runs and with a package code of its own drawing,
# and the cabinet inside it with the files' times. Here the files and both stamps carry the
# release date, and the package code is made from the contents: a package with other
# contents gets another code, as Windows Installer requires.
include(${DEFINITIONS})

# The upgrade code is the same for every version, for ever, so that a later one replaces this
# one. The product code is made from the version: installing the same version again repairs
# it instead of adding a second entry to the installed apps.
set(upgrade_code 25648577-EF56-4DB0-91B2-90F0327C1427)
string(UUID product_code NAMESPACE ${upgrade_code} NAME ${VERSION} TYPE SHA1 UPPER)
set(time "${RELEASE_DATE} 00:00:00")

file(REMOVE_RECURSE ${STAGE})
file(MAKE_DIRECTORY ${STAGE})
file(COPY ${PROGRAM} ${ICON} ${WXS} DESTINATION ${STAGE})
get_filename_component(program ${PROGRAM} NAME)
get_filename_component(icon ${ICON} NAME)
get_filename_component(wxs ${WXS} NAME)
execute_process(COMMAND touch --date=${time}Z ${program} ${icon} WORKING_DIRECTORY ${STAGE}
    COMMAND_ERROR_IS_FATAL ANY)

set(contents ${TITLE} ${DESCRIPTION} ${VERSION} ${PUBLISHER} ${product_code})
foreach(file IN ITEMS ${program} ${icon} ${wxs})
    file(SHA256 ${STAGE}/${file} hash)
    list(APPEND contents ${hash})
endforeach()
string(UUID package_code NAMESPACE ${upgrade_code} NAME "${contents}" TYPE SHA1 UPPER)

# wixl reads its sources relative to the folder it runs in.
execute_process(
    COMMAND ${CMAKE_COMMAND} -E env TZ=UTC ${FAKETIME} -f "${time}"
        ${WIXL} --arch x64 --output ${OUTPUT} -D "Title=${TITLE}" -D "Description=${DESCRIPTION}"
        -D Version=${VERSION} -D "Publisher=${PUBLISHER}"
        -D UpgradeCode=${upgrade_code} -D ProductCode=${product_code}
        -D Program=${program} -D Icon=${icon} ${wxs}
    WORKING_DIRECTORY ${STAGE}
    COMMAND_ERROR_IS_FATAL ANY)
execute_process(
    COMMAND ${CMAKE_COMMAND} -E env TZ=UTC ${FAKETIME} -f "${time}"
        ${MSIBUILD} ${OUTPUT} -s "${TITLE} ${VERSION}" "${PUBLISHER}" "x64;1033" "{${package_code}}"
    COMMAND_ERROR_IS_FATAL ANY)
