# Makes the release's files in OUTPUT_DIR, and nothing else there, so that the
# folder is what a release publishes: NAME.zip, with the
# files cmake/release-files.txt names (those it marks signed are signed when a
# certificate is named), its SHA-256 checksum file and a list of the
# toolchain's package versions; and when the release's download address is
# known (RELEASE_URL), the winget and Scoop manifests made from each template in
# cmake/manifests. The zip's files are staged in OUTPUT_DIR-stage. The same
# inputs give the same bytes: the archive's entries are in a fixed order with
# fixed times and modes and no other metadata.
# Run by the release-package target with PROGRAMS_DIR (where the programs were
# built), SOURCE_DIR, VERSION, NAME (the release's, QUORVANE_RELEASE_NAME),
# OUTPUT_DIR, RELEASE_URL and, to sign,
# SIGNING_CERTIFICATE, SIGNING_PASSWORD_FILE, TIMESTAMP_URL, SIGNING_URL.
cmake_minimum_required(VERSION 3.25)
set(stage ${OUTPUT_DIR}-stage/${NAME})
set(zip ${OUTPUT_DIR}/${NAME}.zip)
# Nothing of an earlier package is left to be taken for this one if this fails.
file(REMOVE_RECURSE ${OUTPUT_DIR} ${OUTPUT_DIR}-stage)
file(MAKE_DIRECTORY ${OUTPUT_DIR} ${stage})
set(read_only OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)

# The certificate and the rest may also come from the environment, as in a
# release workflow; the password only comes from a file or the environment, so
# that it never stands on a command line or in the build's cache.
foreach(setting SIGNING_CERTIFICATE SIGNING_PASSWORD_FILE TIMESTAMP_URL SIGNING_URL RELEASE_URL)
  if(NOT ${setting} AND DEFINED ENV{QUORVANE_${setting}})
    set(${setting} "$ENV{QUORVANE_${setting}}")
  endif()
endforeach()

# Each entry of the list: its name in the zip and where it comes from; those to
# sign, when there is a certificate, apart.
file(STRINGS ${SOURCE_DIR}/cmake/release-files.txt listed REGEX "^[^#]")
set(entries "")
set(signed "")
foreach(line ${listed})
  string(REGEX MATCHALL "[^ ]+" fields "${line}")
  list(GET fields 0 entry)
  list(GET fields 1 from)
  if(from STREQUAL "build")
    set(from ${PROGRAMS_DIR}/${entry})
  else()
    set(from ${SOURCE_DIR}/${from})
  endif()
  list(APPEND entries ${entry})
  if(SIGNING_CERTIFICATE AND "signed" IN_LIST fields)
    list(APPEND signed ${entry})
    set(signed_from_${entry} ${from})
  else()
    get_filename_component(folder ${stage}/${entry} DIRECTORY)
    file(MAKE_DIRECTORY ${folder})
    file(COPY_FILE ${from} ${stage}/${entry})
    file(CHMOD ${stage}/${entry} PERMISSIONS ${read_only})
  endif()
endforeach()

if(SIGNING_CERTIFICATE)
  # A private folder for the password file, readable by this user alone.
  set(private ${OUTPUT_DIR}-stage/signing)
  file(REMOVE_RECURSE ${private})
  file(MAKE_DIRECTORY ${private})
  file(CHMOD ${private} DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
  if(NOT SIGNING_PASSWORD_FILE)
    set(SIGNING_PASSWORD_FILE ${private}/password)
    file(WRITE ${SIGNING_PASSWORD_FILE} "$ENV{QUORVANE_SIGNING_PASSWORD}")
  endif()
  # The signing time is the release's own (SOURCE_DATE_EPOCH) when it has one,
  # so that signing the same commit with the same key gives the same bytes.
  set(options -h sha256 -n Quorvane)
  if(SIGNING_URL)
    list(APPEND options -i ${SIGNING_URL})
  endif()
  if(DEFINED ENV{SOURCE_DATE_EPOCH})
    list(APPEND options -time $ENV{SOURCE_DATE_EPOCH})
  endif()
  if(TIMESTAMP_URL)
    list(APPEND options -ts ${TIMESTAMP_URL})
  endif()
  foreach(file_name ${signed})
    execute_process(COMMAND osslsigncode sign -pkcs12 ${SIGNING_CERTIFICATE}
      -readpass ${SIGNING_PASSWORD_FILE} ${options} -in ${signed_from_${file_name}} -out ${stage}/${file_name}
      RESULT_VARIABLE failed OUTPUT_VARIABLE said ERROR_VARIABLE said)
    if(failed)
      file(REMOVE_RECURSE ${private} ${stage})
      message(FATAL_ERROR "could not sign ${file_name} with ${SIGNING_CERTIFICATE}:\n${said}")
    endif()
    file(CHMOD ${stage}/${file_name} PERMISSIONS ${read_only})
    message(STATUS "Signed ${file_name} with ${SIGNING_CERTIFICATE}")
  endforeach()
  file(REMOVE_RECURSE ${private})
endif()

# Info-ZIP with -X stores only what is fixed here: names, sizes, the modes set
# above and these times (a DOS time, so the time zone is fixed too).
execute_process(COMMAND touch -d "2026-01-01 00:00:00 UTC" ${entries} WORKING_DIRECTORY ${stage})
execute_process(COMMAND ${CMAKE_COMMAND} -E env TZ=UTC zip -X -q ${zip} ${entries}
  WORKING_DIRECTORY ${stage} RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "could not write ${zip}")
endif()
file(SHA256 ${zip} hash)
file(WRITE ${zip}.sha256 "${hash}  ${NAME}.zip\n")
message(STATUS "${zip}\nSHA-256 ${hash}")

# What the executables' and the signatures' bytes depend on, for anyone who
# rebuilds this release from its source to compare the two: the compiler and
# linker, the build tools, the signer and the zip's writer. A package that is
# not installed says so.
set(toolchain g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix-runtime mingw-w64-x86-64-dev
  binutils-mingw-w64-x86-64 cmake ninja-build osslsigncode zip)
set(toolchain_list ${OUTPUT_DIR}/${NAME}.toolchain.txt)
file(REMOVE ${toolchain_list})
foreach(package ${toolchain})
  execute_process(COMMAND dpkg-query -W "-f=\${Package} \${Version}\\n" ${package}
    OUTPUT_VARIABLE line RESULT_VARIABLE failed ERROR_QUIET)
  if(failed EQUAL 0)
    file(APPEND ${toolchain_list} "${line}")
  elseif(failed EQUAL 1)
    file(APPEND ${toolchain_list} "${package} (not installed)\n")
  else()
    file(REMOVE ${toolchain_list})
    message(STATUS "No toolchain list: the build's packages are not Debian's")
    break()
  endif()
endforeach()

# The package managers' manifests, for a release at
# https://github.com/OWNER/REPO/releases/download/vVERSION.
if(RELEASE_URL)
  string(REGEX REPLACE "/+$" "" RELEASE_URL "${RELEASE_URL}")
  string(REGEX MATCH "^(https://.+)/releases/download/v${VERSION}$" matched "${RELEASE_URL}")
  if(NOT matched)
    message(FATAL_ERROR "QUORVANE_RELEASE_URL is ${RELEASE_URL}; it must be the release's "
      "download address, https://github.com/OWNER/REPO/releases/download/v${VERSION}")
  endif()
  set(PROJECT_URL ${CMAKE_MATCH_1})
  set(ZIP_URL ${RELEASE_URL}/${NAME}.zip)
  # Scoop's autoupdate puts each later release's version in place of $version.
  string(REPLACE ${VERSION} "$version" AUTOUPDATE_ZIP ${NAME}.zip)
  set(ZIP_SHA256 ${hash})
  string(TOUPPER ${hash} ZIP_SHA256_UPPER)
  file(GLOB templates ${SOURCE_DIR}/cmake/manifests/*.in)
  foreach(template ${templates})
    get_filename_component(manifest ${template} NAME_WLE)
    configure_file(${template} ${OUTPUT_DIR}/${manifest} @ONLY)
  endforeach()
  message(STATUS "winget and Scoop manifests for ${ZIP_URL}")
endif()
