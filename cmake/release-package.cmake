# Makes Quorvane-<version>-win64.zip (the executable, the README and the
# licence) and its SHA-256 checksum file. The same inputs give the same bytes:
# the archive's entries are in a fixed order with fixed times and modes and no
# other metadata.
# Run by the release-package target with EXECUTABLE, SOURCE_DIR, VERSION, OUTPUT_DIR.
set(name Quorvane-${VERSION}-win64)
set(stage ${OUTPUT_DIR}/${name})
file(REMOVE_RECURSE ${stage})
file(MAKE_DIRECTORY ${stage})
set(read_only OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
file(COPY ${EXECUTABLE} DESTINATION ${stage} FILE_PERMISSIONS ${read_only})
file(COPY ${SOURCE_DIR}/README.md DESTINATION ${stage} FILE_PERMISSIONS ${read_only})
file(COPY_FILE ${SOURCE_DIR}/LICENSE ${stage}/LICENSE.txt)
file(CHMOD ${stage}/LICENSE.txt PERMISSIONS ${read_only})

set(zip ${OUTPUT_DIR}/${name}.zip)
file(REMOVE ${zip})
set(entries Quorvane.exe README.md LICENSE.txt)
# Info-ZIP with -X stores only what is fixed here: names, sizes, the modes set
# above and these times (a DOS time, so the time zone is fixed too).
execute_process(COMMAND touch -d "2026-01-01 00:00:00 UTC" ${entries} WORKING_DIRECTORY ${stage})
execute_process(COMMAND ${CMAKE_COMMAND} -E env TZ=UTC zip -X -q ${zip} ${entries}
  WORKING_DIRECTORY ${stage} RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "could not write ${zip}")
endif()
file(SHA256 ${zip} hash)
file(WRITE ${zip}.sha256 "${hash}  ${name}.zip\n")
message(STATUS "${zip}\nSHA-256 ${hash}")
