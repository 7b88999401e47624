# Sourced by run.sh and test.sh: compiles go through ccache when it is installed.
# The same sources are compiled in several build folders (the release tree, the platform-free
# build, a fresh root's clone): a file compiled once with the same compiler, flags and
# preprocessed text is then not compiled again, whichever folder it sits in. Paths are hashed
# relative to the checkout and the compiler by its contents, so that another checkout or a
# root with the same compiler package finds what was compiled here. The builds whose bytes
# the reproducibility stage compares never read this cache. QUENFALL_CCACHE=0 turns it off.
if [ "${QUENFALL_CCACHE:-1}" != 0 ] && command -v ccache >/dev/null; then
  export CMAKE_C_COMPILER_LAUNCHER=ccache CMAKE_CXX_COMPILER_LAUNCHER=ccache
  export CCACHE_BASEDIR=$PWD CCACHE_NOHASHDIR=1 CCACHE_COMPILERCHECK=content
  # The locale only changes the language of the compiler's messages, and a fresh root has
  # none set where this machine has one: without this, nothing compiled here would be found.
  export CCACHE_SLOPPINESS=locale
  # Named, so that a build that sets a HOME of its own (debhelper does) uses the same cache.
  CCACHE_DIR=$(ccache --get-config cache_dir)
  export CCACHE_DIR
else
  unset CMAKE_C_COMPILER_LAUNCHER CMAKE_CXX_COMPILER_LAUNCHER
fi
