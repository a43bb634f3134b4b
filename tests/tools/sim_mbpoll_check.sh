#!/bin/sh
# One check of the virtual module by mbpoll, a Modbus master built on
# libmodbus, over the module's own pseudo-terminal (8N1: a pseudo-terminal
# refuses parity settings). The bus-* checks run a bus of several devices.
#   sim_mbpoll_check.sh PATH-TO-rk7140-sim CHECK
set -u
sim=$1
check=$2

if ! command -v mbpoll >/dev/null 2>&1; then
  echo "mbpoll is not installed (Debian package mbpoll)"
  exit 1
fi

dir=$(mktemp -d)
pid=
cleanup() {
  exec 3>&-
  [ -n "$pid" ] && kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
  rm -rf "$dir"
}
trap cleanup EXIT
mkfifo "$dir/control"
case $check in
  bus-*) devices="--module 1 --module 16 --foreign 20:75 --foreign 21:exc:2" ;;
  modbus-tcp) devices="--listen modbus-tcp://127.0.0.1:0" ;;
  *) devices= ;;
esac
# shellcheck disable=SC2086 # the device options are words of their own
"$sim" --static-inputs $devices <"$dir/control" >"$dir/out" 2>"$dir/err" &
pid=$!
exec 3>"$dir/control"  # the module's stdin stays open while the check runs

# Waits (up to about 5 s, a hang guard) until the module's output holds a line matching $1.
await() {
  tries=0
  until grep -q "$1" "$dir/out"; do
    tries=$((tries + 1))
    if [ $tries -gt 100 ]; then
      echo "the module did not say \"$1\""; cat "$dir/out" "$dir/err"; exit 1
    fi
    sleep 0.05
  done
}
await '^ready: '
port=$(sed -n 's/^ready: //p' "$dir/out" | head -n 1)

# mbpoll counts references from 1 unless -0 is given; all numbers here are
# the module's register numbers as sent on the wire.
address=16
mb() { mbpoll -m rtu -a "$address" -b 9600 -d 8 -s 1 -P none -0 -1 -o 1 "$@"; }

# expect TEXT COMMAND...: the command's output must hold TEXT (an extended regular expression).
expect() {
  pattern=$1
  shift
  output=$("$@" 2>&1)
  if ! printf '%s\n' "$output" | grep -Eq "$pattern"; then
    echo "FAILED: $*"
    echo "expected: $pattern"
    printf '%s\n' "$output"
    exit 1
  fi
}

case $check in
  device-type)
    expect '^\[36864\]:[[:space:]]+74$' mb -t 3 -r 0x9000 "$port"
    ;;
  device-type-command)
    echo "type 75" >&3
    await '^ok$'
    expect '^\[36864\]:[[:space:]]+75$' mb -t 3 -r 0x9000 "$port"
    ;;
  holding-registers)
    expect 'Written 2 references' mb -t 4 -r 4104 "$port" 20 300
    expect '^\[4104\]:[[:space:]]+20$' mb -t 4 -r 4104 -c 2 "$port"
    expect '^\[4105\]:[[:space:]]+300$' mb -t 4 -r 4104 -c 2 "$port"
    expect 'Written 1 references' mb -t 4 -r 28676 "$port" 32
    expect '^\[28676\]:[[:space:]]+32$' mb -t 4 -r 28676 "$port"
    ;;
  coils)
    expect 'Written 1 references' mb -t 0 -r 4224 "$port" 1
    expect '^\[4224\]:[[:space:]]+1$' mb -t 0 -r 4224 "$port"
    expect '^\[60062\]:[[:space:]]+2$' mb -t 4 -r 60062 "$port"
    expect 'Written 1 references' mb -t 0 -r 4224 "$port" 0
    expect '^\[4224\]:[[:space:]]+0$' mb -t 0 -r 4224 "$port"
    ;;
  supply-float)
    # "4321": the first register holds the high half, so mbpoll needs -B.
    expect '^\[24583\]:[[:space:]]+2[34]\.[0-9]+$' mb -t 3:float -B -r 24583 "$port"
    ;;
  unmapped-address)
    expect 'Illegal data address' mb -t 4 -r 100 "$port"
    expect 'Illegal data address' mb -t 3 -r 36864 -c 18 "$port"
    ;;
  bus-addresses)
    address=1
    expect '^\[36864\]:[[:space:]]+74$' mb -t 3 -r 0x9000 "$port"
    expect 'Written 1 references' mb -t 0 -r 4096 "$port" 1
    expect '^\[4096\]:[[:space:]]+1$' mb -t 0 -r 4096 "$port"
    address=16
    expect '^\[4096\]:[[:space:]]+0$' mb -t 0 -r 4096 "$port"
    address=20
    expect '^\[36864\]:[[:space:]]+75$' mb -t 3 -r 0x9000 "$port"
    address=21
    expect 'Illegal data address' mb -t 3 -r 0x9000 "$port"
    address=30
    expect 'timed out' mb -t 3 -r 0x9000 "$port"
    ;;
  modbus-tcp)
    # Each mbpoll run is a client of its own, one after another.
    await '^listen: modbus-tcp://'
    tcp_port=$(sed -n 's/^listen: modbus-tcp:\/\/127\.0\.0\.1://p' "$dir/out" | head -n 1)
    mt() { mbpoll -m tcp -a "$address" -p "$tcp_port" -0 -1 "$@"; }
    expect '^\[36864\]:[[:space:]]+74$' mt -t 3 -r 0x9000 127.0.0.1
    expect 'Written 1 references' mt -t 4 -r 4104 127.0.0.1 20
    expect '^\[4104\]:[[:space:]]+20$' mt -t 4 -r 4104 127.0.0.1
    # The same module on its line.
    expect '^\[4104\]:[[:space:]]+20$' mb -t 4 -r 4104 "$port"
    # Nobody at 30: the gateway's exception 0x0B.
    address=30
    expect 'Target device failed to respond' mt -t 3 -r 0x9000 127.0.0.1
    ;;
  *)
    echo "unknown check $check"
    exit 1
    ;;
esac
echo "passed: $check"
