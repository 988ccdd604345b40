# Sourced by the build scripts: options every build shares. ccache when it is
# installed; links limited to $LANTROVE_LINK_JOBS at once (default 2), since a
# link of a sanitized test program takes far more memory than a compile.
LANTROVE_BUILD_OPTIONS=("-DLANTROVE_LINK_JOBS=${LANTROVE_LINK_JOBS:-2}")
if command -v ccache >/dev/null 2>&1 && [ -z "${LANTROVE_NO_CCACHE:-}" ]; then
  LANTROVE_BUILD_OPTIONS+=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
else
  LANTROVE_BUILD_OPTIONS+=(-DCMAKE_C_COMPILER_LAUNCHER= -DCMAKE_CXX_COMPILER_LAUNCHER=)
fi
