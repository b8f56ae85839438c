# The folders of src/ include each other downward only. Each target's include root
# already refuses a layer it does not stand on; this check adds what an include path
# cannot say: the front ends take from the layers under the session only their data
# types, never the loop, the thread control or memory access.
#   cmake -DSOURCE_DIR=<repository> -P layers.cmake
set(allowed_text text)
set(allowed_z80 z80)
set(allowed_files files text)
set(allowed_hardware hardware z80 files text)
set(allowed_link link)
set(allowed_machine machine z80 hardware link)
set(allowed_debugger debugger machine z80 hardware link files text)
set(allowed_session session debugger machine z80 hardware link files text)
set(frontend_data machine/host_interface.h machine/loop_end.h hardware/lcd_picture.h
    hardware/key_codes.h z80/cpu_registers.h debugger/address_range.h debugger/stop_info.h
    hardware/lcd_shades.h hardware/machine_model.h hardware/hardware_clock.h
    machine/real_speed.h)
set(allowed_shell shell session text)
set(allowed_headless headless session text)

set(faults "")
foreach(folder text z80 files hardware link machine debugger session shell headless)
  file(GLOB_RECURSE sources ${SOURCE_DIR}/src/${folder}/*.h ${SOURCE_DIR}/src/${folder}/*.cpp)
  foreach(source ${sources})
    file(STRINGS ${source} includes REGEX "^#include \"[a-z0-9_]+(/[a-z0-9_]+)+\\.h\"")
    foreach(line ${includes})
      string(REGEX REPLACE "^#include \"(([a-z0-9_]+)(/[a-z0-9_]+)+\\.h)\".*" "\\1;\\2" parts "${line}")
      list(GET parts 0 header)
      list(GET parts 1 layer)
      list(FIND allowed_${folder} ${layer} found)
      if(found EQUAL -1 AND folder MATCHES "^(shell|headless)$")
        list(FIND frontend_data ${header} found)
      endif()
      if(found EQUAL -1)
        string(APPEND faults "\n  ${source}: ${header}")
      endif()
    endforeach()
  endforeach()
endforeach()
if(faults)
  message(FATAL_ERROR "includes against the layers:${faults}")
endif()
