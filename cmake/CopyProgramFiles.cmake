# Lays out the program folder: const.dat and the runtime folders beside the
# executable. Run with -DSOURCE=<source root> -DDEST=<program folder>
# -DVERSION=<a.b.c.d>: the build's version goes into const.dat as "App.Ver".
file(MAKE_DIRECTORY ${DEST})
file(READ ${SOURCE}/const.dat settings)
string(REPLACE "[setting]\n" "[setting]\nApp.Ver=${VERSION}\n" settings "${settings}")
file(WRITE ${DEST}/const.dat.new "${settings}")
file(COPY_FILE ${DEST}/const.dat.new ${DEST}/const.dat ONLY_IF_DIFFERENT)
file(REMOVE ${DEST}/const.dat.new)
foreach(folder res lang skins)
  file(MAKE_DIRECTORY ${DEST}/${folder})
  if(EXISTS ${SOURCE}/${folder})
    file(COPY ${SOURCE}/${folder}/ DESTINATION ${DEST}/${folder})
  endif()
endforeach()
