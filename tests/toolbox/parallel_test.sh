#!/usr/bin/env bash
# tarn_tune run in order, on 2 local worker processes (parcellfun) and on a
# loopback cluster of one octave-pserver (netcellfun): the three results
# must be the same to the bit. Prints the wall time of each run.
#   tests/toolbox/parallel_test.sh ROOT BUILD_DIR OCTAVE_CLI [DATA_SET [GRID]]
# DATA_SET (default iris) and GRID (Octave code for the grid options,
# default a small one) make the same check a measurement on larger work.
#
# octave-pserver refuses to run as root, so the server runs as an
# unprivileged user that this test creates (tarn-pserver), started
# directly (Debian's pserver.m 4.0.1 takes no options struct):
#   /usr/libexec/octave-pserver --octave-binary=/usr/bin/octave-cli --no-auth
# It listens on every address without authentication, so the test runs
# it, and the client, in a network namespace of their own where only the
# loopback interface exists, and with a /tmp of their own (the server
# keeps its pid file and error log there under fixed names). The server
# is stopped by its process id. The copy of tarn that the server runs
# lies in a folder readable by all (in the build folder, which the
# private /tmp does not hide); the client's copy in a folder only root
# reads, so the server finds the task function on its own path, as
# servers of a real cluster do.
# Exit 77 (skipped) without root, the parallel package or unshare.
set -euo pipefail
root="$(cd "$1" && pwd)"
build="$(cd "$2" && pwd)"
octave="$3"
data_set="${4:-iris}"
grid="${5:-}"
[ -n "$grid" ] || grid="{'Vigilance', [0 0.5], 'Gamma', [0.5 1 2], 'KFold', 5}"
user=tarn-pserver
pserver=/usr/libexec/octave-pserver

skip() { echo "ToolboxParallel skipped: $*"; exit 77; }
[ "$(id -u)" -eq 0 ] || skip "it creates a user and a network namespace, which needs root"
[ -x "$pserver" ] || skip "$pserver is missing: install the Debian package octave-parallel" \
                          "(scripts/install_dependencies.sh does)"
command -v unshare >/dev/null 2>&1 && command -v ip >/dev/null 2>&1 ||
  skip "unshare (util-linux) and ip (iproute2) are needed for the network namespace"
unshare --net --mount true 2>/dev/null || skip "this machine does not allow namespaces"

# In /var/tmp: the server's user must reach it, whatever the folders above
# the build allow, and the private /tmp below must not hide it.
work="$(mktemp -d /var/tmp/tarn_parallel_test.XXXXXX)"
chmod 755 "$work"
created_user=0
cleanup() {
  rm -rf "$work"
  if [ "$created_user" = 1 ]; then userdel "$user" 2>/dev/null || true; fi
}
trap cleanup EXIT
if ! id "$user" >/dev/null 2>&1; then
  useradd --system --no-create-home --home-dir /nonexistent --shell /usr/sbin/nologin "$user"
  created_user=1
fi

# Two copies of tarn: the toolbox and whatever file each command of the
# plug-in layer is on the test's path.
mkdir -p "$work/server" "$work/client"
chmod 700 "$work/client"
"$octave" --no-gui --norc --quiet --no-history --eval "
  addpath ('$build'); addpath ('$root/toolbox');
  for name = {'tarn_learn', 'tarn_score', 'tarn_evidence', 'tarn_resume'}
    file = which (name{1});
    if (! isempty (file))
      copyfile (file, '$work/server'); copyfile (file, '$work/client');
    endif
  endfor"
for copy in server client; do
  cp -r "$root/toolbox/." "$work/$copy/"
  cp -r "$root/data" "$work/$copy/"
done
chmod -R a+rX "$work/server"
# The check itself too: the private /tmp may hide the repository.
cp "$root/tests/toolbox/parallel_check.m" "$work/client/"

cat > "$work/run.sh" <<EOF
set -euo pipefail
ip link set lo up
pidfile="/tmp/.octave-\$(hostname).pid"
mount -t tmpfs -o mode=1777 tarn-parallel-test /tmp
cd "$work/server"
runuser -u "$user" -- "$pserver" --octave-binary=/usr/bin/octave-cli --no-auth
for i in \$(seq 100); do [ -s "\$pidfile" ] && break; sleep 0.1; done
pid="\$(cat "\$pidfile")"
status=0
"$octave" --no-gui --norc --quiet --no-history --eval "
  addpath ('$work/client');
  exit (parallel_check ('$work/server', '$data_set', \"$grid\"))" || status=\$?
kill "\$pid"
# Gone, or a zombie where nothing reaps the daemon.
for i in \$(seq 50); do
  state="\$(ps -o stat= -p "\$pid" || true)"
  [ -z "\$state" ] || [ "\${state#Z}" != "\$state" ] && break
  sleep 0.1
done
exit "\$status"
EOF
unshare --net --mount bash "$work/run.sh"
