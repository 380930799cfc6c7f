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
set(commands "" build list verify extract)
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
file(REMOVE_RECURSE ${WORK})
