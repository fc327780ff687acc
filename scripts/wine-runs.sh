# Sourced by the scripts that run Windows programs. wine_runs tells whether
# this machine can start Wine at all: its loader is a 32-bit program, and a
# kernel built without 32-bit support refuses it ("Exec format error") however
# the packages are installed. Such a machine still builds the Windows files.
wine_runs() {
  command -v wine >/dev/null && WINEDEBUG=-all wine --version >/dev/null 2>&1
}

# The notice printed where Windows programs are not run.
wine_cannot_run_notice() {
  echo "== $1 skipped: this machine cannot start Wine (its kernel runs no 32-bit programs: 'wine --version' fails)" >&2
}
