# Sourced by the benchmark scripts: starts the virtual module with wire timing
# on a pseudo-terminal linked as "$dir/rk", its control channel on fd 3, and
# stops it and removes the folder when the script ends. Needs $build.
sim="$build/tools/sim/rk7140-sim"
ctl="$build/src/cli/rk7140ctl"
dir=$(mktemp -d)
pid=
cleanup() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
  rm -rf "$dir"
}
trap cleanup EXIT INT TERM
mkfifo "$dir/control"
"$sim" --static-inputs --wire-timing --link "$dir/rk" <"$dir/control" >"$dir/out" 2>&1 &
pid=$!
exec 3>"$dir/control"
tries=0
until [ -e "$dir/rk" ]; do
  tries=$((tries + 1)); [ $tries -gt 100 ] && { echo "the virtual module did not start"; exit 1; }
  sleep 0.05
done
