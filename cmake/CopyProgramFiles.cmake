# Lays out the program folder: const.dat and the runtime folders beside the
# executable. Run with -DSOURCE=<source root> -DDEST=<program folder>.
file(MAKE_DIRECTORY ${DEST})
file(COPY ${SOURCE}/const.dat DESTINATION ${DEST})
foreach(folder res lang skins)
  file(MAKE_DIRECTORY ${DEST}/${folder})
  if(EXISTS ${SOURCE}/${folder})
    file(COPY ${SOURCE}/${folder}/ DESTINATION ${DEST}/${folder})
  endif()
endforeach()
