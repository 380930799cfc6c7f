# Runs the packer binary the way a publisher does: --help, usage errors, build, verify, failures.
# cmake -DPACKER=<packer> [-DEMULATOR=<wine64>] -DWORK=<scratch folder> -P CliTest.cmake

function(run expected)
  execute_process(COMMAND ${EMULATOR} ${PACKER} ${ARGN} RESULT_VARIABLE code
                  OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT code EQUAL expected)
    message(FATAL_ERROR "packer ${ARGN}: exit code ${code}, expected ${expected}\n${out}\n${err}")
  endif()
  set(out "${out}" PARENT_SCOPE)
  set(err "${err}" PARENT_SCOPE)
endfunction()

function(expect_in text pattern)
  string(FIND "${text}" "${pattern}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "expected \"${pattern}\" in:\n${text}")
  endif()
endfunction()

file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/files)
file(WRITE ${WORK}/stub.exe "MZ stand-in launcher")
file(WRITE ${WORK}/files/viewer.exe "viewer bytes viewer bytes viewer bytes")
file(WRITE ${WORK}/m.json [=[
{"items": [
  {"name": "ProjectType", "number": 1},
  {"name": "OrvaneViewer.exe", "file": "files/viewer.exe", "form": "zlib"}]}
]=])

# Under Wine every start costs seconds: there the top-level help stands for all of them.
set(commands "" build list verify extract pack-folder)
if(EMULATOR)
  set(commands "")
endif()
foreach(command IN LISTS commands)
  run(0 ${command} --help)
  expect_in("${out}" "Usage:")
endforeach()
run(2)
run(2 build --manifest ${WORK}/m.json)
run(2 list)
run(2 frobnicate)

run(0 build --manifest ${WORK}/m.json --launcher ${WORK}/stub.exe --output ${WORK}/out.exe)
run(0 verify ${WORK}/out.exe)
expect_in("${out}" "ok: 2 items")
run(0 list ${WORK}/out.exe)
expect_in("${out}" "ORVANEVIEWER.EXE")
run(0 extract ${WORK}/out.exe --output ${WORK}/x)
file(READ ${WORK}/x/ORVANEVIEWER.EXE extracted)
if(NOT extracted STREQUAL "viewer bytes viewer bytes viewer bytes")
  message(FATAL_ERROR "extracted viewer differs: ${extracted}")
endif()

run(1 verify ${WORK}/stub.exe)
run(1 list ${WORK}/does-not-exist.exe)
expect_in("${err}" "cannot open")
file(WRITE ${WORK}/bad.json "{\"items\": [{\"name\": \"A\", \"nmber\": 1}]}")
run(1 build --manifest ${WORK}/bad.json --launcher ${WORK}/stub.exe --output ${WORK}/bad.exe)
expect_in("${err}" "unknown key \"nmber\"")

# pack-folder over a kit as its build leaves it and a small project.
foreach(program OrvaneViewer.exe Zenthra.dll Quillet.dll Dirrow.dll Lodera.dll
        5C18E7A2-9B4D-4E61-B3F8-0D27C6A94E15.dll A7F29D03-6E1B-4C85-92A4-E8B53D07F6C1.dll
        19E4B6C8-D273-4A5F-8E01-C6A9F2B47D38.dll E82C07B5-31F9-4D6A-A5C3-7B14E96F02D8.dll
        msvcr71.dll ORVUnInst.exe)
  file(WRITE ${WORK}/kit/${program} "kit ${program}")
endforeach()
file(WRITE ${WORK}/project/start.orv "start project")
file(WRITE ${WORK}/project/data/scene.txt "a scene")
run(0 pack-folder --project ${WORK}/project --kit ${WORK}/kit --launcher ${WORK}/stub.exe
    --output ${WORK}/folder.exe --type folder --name Demo --manifest-out ${WORK}/folder.json)
run(0 verify ${WORK}/folder.exe)
expect_in("${out}" "ok: 23 items")
run(0 build --manifest ${WORK}/folder.json --launcher ${WORK}/stub.exe --output ${WORK}/again.exe)
file(SHA256 ${WORK}/folder.exe first)
file(SHA256 ${WORK}/again.exe second)
if(NOT first STREQUAL second)
  message(FATAL_ERROR "the manifest pack-folder wrote builds another package")
endif()
run(2 pack-folder --project ${WORK}/project --kit ${WORK}/kit --launcher ${WORK}/stub.exe
    --output ${WORK}/bad.exe --type service)
run(2 pack-folder --project ${WORK}/project --kit ${WORK}/kit --launcher ${WORK}/stub.exe
    --output ${WORK}/bad.exe --type run --shortcut x)
expect_in("${err}" "--shortcut is not used by --type run")
file(REMOVE ${WORK}/kit/Lodera.dll)
run(1 pack-folder --project ${WORK}/project --kit ${WORK}/kit --launcher ${WORK}/stub.exe
    --output ${WORK}/bad.exe --type run)
expect_in("${err}" "lacks channels\\Lodera.dll")
file(REMOVE_RECURSE ${WORK})
