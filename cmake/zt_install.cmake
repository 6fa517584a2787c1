# What `cmake --install` puts in place: the programs, and natively a man page for each
# command-line program, written from its own --help so that the two never disagree.
include(GNUInstallDirs)
set(ZT_INSTALL_PROGRAMS zt615)
foreach(program zt615_logger_sim zt615_control zt615_link_utility)
  if(TARGET ${program})
    list(APPEND ZT_INSTALL_PROGRAMS ${program})
  endif()
endforeach()
install(TARGETS ${ZT_INSTALL_PROGRAMS} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR})

if(NOT CMAKE_CROSSCOMPILING)
  find_package(Python3 COMPONENTS Interpreter REQUIRED)
  set(ZT_MAN_SUMMARY_zt615 "read, convert and join ZT615 logged ping files, and talk to the logger")
  set(ZT_MAN_SUMMARY_zt615_logger_sim "a stand-in for the ZT615 logger: recordings and the serial protocol")
  set(ZT_MAN_PAGES)
  foreach(program zt615 zt615_logger_sim)
    if(TARGET ${program})
      set(page ${CMAKE_BINARY_DIR}/man/${program}.1)
      add_custom_command(OUTPUT ${page}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
        COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/scripts/make_man.py
                $<TARGET_FILE:${program}> ${page} "${ZT_MAN_SUMMARY_${program}}"
        DEPENDS ${program} ${CMAKE_SOURCE_DIR}/scripts/make_man.py
        COMMENT "Writing the man page of ${program}" VERBATIM)
      list(APPEND ZT_MAN_PAGES ${page})
    endif()
  endforeach()
  add_custom_target(zt_man_pages ALL DEPENDS ${ZT_MAN_PAGES})
  install(FILES ${ZT_MAN_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()

# The Linux programs carry their C++ runtime, so that the package runs on other
# distributions than the one it was built on (sanitizer builds keep the shared one).
if(NOT WIN32 AND NOT ZT_SANITIZE AND NOT ZT_FUZZ)
  foreach(program zt615 zt615_logger_sim)
    if(TARGET ${program})
      target_link_options(${program} PRIVATE -static-libstdc++ -static-libgcc)
    endif()
  endforeach()
endif()
